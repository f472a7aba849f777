#pragma once

#include "core/QSort.h"
#include "core/VArrayValue.h"
#include "core/VValueSingle.h"
#include "files/VStream.h"

#include <limits>
#include <type_traits>

namespace qirn {

// The arrays whose elements are numbers stored flat: bytes, words, longs,
// 8-byte longs, reals, durations (milliseconds) and times (stamps). Self
// gives the conversions of its element kind:
//   static T Extract(const VValueSingle&)      the value as an element
//   static void Give(VValueSingle&, T)         an element into a value
//   static VValueSingle* NewElementValue()     an empty value of the kind
//   static CompareResult CompareToValue(T, const VValueSingle&)
// kOwnSort: sorted in place by QSort rather than through the interface.
template <class Self, typename T, uint16 kElemKind, bool kOwnSort>
class VArrayNumeric : public VArrayValue {
public:
	using Element = T;

	uint16 GetElemValueKind() const override { return kElemKind; }

	using VArrayValue::Find;
	sLONG Find(const VValueSingle& inValue, sLONG inStart, uBYTE inForward, CompareMethod inMethod) const override
	{
		return _Find(Self::Extract(inValue), inStart, inForward, inMethod);
	}
	void FromValue(const VValueSingle& inValue, sLONG inPosition) override
	{
		_Set(Self::Extract(inValue), inPosition);
	}
	void GetValue(VValueSingle& outValue, sLONG inPosition) const override
	{
		Self::Give(outValue, _Get(inPosition));
	}
	VValueSingle* CloneValue(sLONG inPosition) const override
	{
		VValueSingle* value = Self::NewElementValue();
		GetValue(*value, inPosition);
		return value;
	}
	CompareResult CompareTo(const VValueSingle& inValue, bool, VIndex inPosition) const override
	{
		return Self::CompareToValue(_Get(inPosition), inValue);
	}

	void Sort(sLONG inFrom, sLONG inTo, uBYTE inDescending) override
	{
		if constexpr (kOwnSort) {
			if (inFrom < 1 || inFrom >= inTo || inTo > fCount)
				return;
			QSort(_Values() + (inFrom - 1), inTo - inFrom + 1, inDescending);
		} else {
			VArrayValue::Sort(inFrom, inTo, inDescending);
		}
	}

	void SwapElements(uBYTE* inData, sLONG inA, sLONG inB) override
	{
		T* values = reinterpret_cast<T*>(inData);
		std::swap(values[inA], values[inB]);
	}
	CompareResult CompareElements(uBYTE* inData, sLONG inA, sLONG inB) override
	{
		const T* values = reinterpret_cast<const T*>(inData);
		return arrays::Compare(values[inA], values[inB]);
	}

protected:
	VArrayNumeric() : VArrayValue(sizeof(T)) {}

	T* _Values() const { return reinterpret_cast<T*>(fData); }
	T _Get(sLONG inPosition) const { return ValidIndex(inPosition) ? _Values()[inPosition - 1] : T(0); }
	void _Set(T inValue, sLONG inPosition)
	{
		if (ValidIndex(inPosition))
			_Values()[inPosition - 1] = inValue;
	}

	sLONG _Find(T inValue, sLONG inStart, uBYTE inForward, CompareMethod inMethod) const
	{
		if (fCount == 0 || inStart < 1 || inStart > fCount || fData == nullptr)
			return -1;
		const T* values = _Values();
		const sLONG step = inForward != 0 ? 1 : -1;
		for (sLONG i = inStart - 1; i >= 0 && i < fCount; i += step) {
			if (_Matches(values[i], inValue, inMethod))
				return i + 1;
		}
		return -1;
	}

	// By halving, in an array sorted ascending.
	sLONG _QuickFind(T inValue) const
	{
		if (fCount == 0 || fData == nullptr)
			return -1;
		const T* values = _Values();
		sLONG lo = 0;
		sLONG hi = fCount - 1;
		while (lo <= hi) {
			const sLONG mid = lo + (hi - lo) / 2;
			if (values[mid] == inValue)
				return mid + 1;
			if (values[mid] < inValue)
				lo = mid + 1;
			else
				hi = mid - 1;
		}
		return -1;
	}

	// An empty array answers the limit that every element would replace.
	T _Min() const
	{
		T least = std::numeric_limits<T>::max();
		const T* values = _Values();
		for (sLONG i = 0; i < fCount; ++i)
			least = values[i] < least ? values[i] : least;
		return least;
	}
	T _Max() const
	{
		T most = std::numeric_limits<T>::lowest();
		const T* values = _Values();
		for (sLONG i = 0; i < fCount; ++i)
			most = values[i] > most ? values[i] : most;
		return most;
	}

	void DoWriteElements(VStream* ioStream) const override
	{
		const T* values = _Values();
		if constexpr (sizeof(T) == 1)
			ioStream->PutData(values, static_cast<VSize>(fCount));
		else if constexpr (sizeof(T) == 2)
			ioStream->PutWords(values, fCount);
		else if constexpr (sizeof(T) == 4)
			ioStream->PutLongs(values, fCount);
		else if constexpr (std::is_floating_point_v<T>)
			ioStream->PutReals(values, fCount);
		else
			ioStream->PutLong8s(reinterpret_cast<const sLONG8*>(values), fCount);
	}
	void DoReadElements(VStream* ioStream) override
	{
		T* values = _Values();
		sLONG count = fCount;
		if constexpr (sizeof(T) == 1)
			ioStream->GetData(values, static_cast<VSize>(count));
		else if constexpr (sizeof(T) == 2)
			ioStream->GetWords(values, &count);
		else if constexpr (sizeof(T) == 4)
			ioStream->GetLongs(values, &count);
		else if constexpr (std::is_floating_point_v<T>)
			ioStream->GetReals(values, &count);
		else
			ioStream->GetLong8s(reinterpret_cast<sLONG8*>(values), &count);
	}

private:
	// Native relations: a NaN matches no method.
	static bool _Matches(T inElement, T inValue, CompareMethod inMethod)
	{
		switch (inMethod) {
			case CM_GREATER_OR_EQUAL:
				return inElement >= inValue;
			case CM_GREATER:
				return inElement > inValue;
			case CM_EQUAL:
				return inElement == inValue;
			case CM_SMALLER:
				return inElement < inValue;
			case CM_SMALLER_OR_EQUAL:
				return inElement <= inValue;
		}
		return false;
	}
};

} // namespace qirn
