#pragma once

#include "core/VByteSwap.h"
#include "core/VCompareOptions.h"
#include "core/VDuration.h"
#include "core/VString.h"
#include "core/VValueInfo.h"
#include "core/VValueSingle.h"
#include "files/VStream.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <type_traits>

namespace qirn {

namespace scalar {

constexpr uint16 kBoolean = 1;
constexpr uint16 kByte = 2;

// Reals go to integers toward zero; what lies outside the target (and NaN,
// which is no number) saturates instead of being undefined.
template <typename I>
inline I TruncateReal(Real inValue)
{
	if (std::isnan(inValue))
		return 0;
	if (inValue <= static_cast<Real>(std::numeric_limits<I>::min()))
		return std::numeric_limits<I>::min();
	if (inValue >= static_cast<Real>(std::numeric_limits<I>::max()))
		return std::numeric_limits<I>::max();
	return static_cast<I>(inValue);
}

// The fixed tolerance of real comparisons without options.
constexpr Real kRealEpsilon = 1e-6;

// Equal values are equal whatever the tolerance: an epsilon of 0 asks for
// exact comparison, and an infinity minus itself is no number.
inline CompareResult CompareReals(Real inA, Real inB, Real inEpsilon)
{
	if (inA == inB || std::fabs(inA - inB) < inEpsilon)
		return CR_EQUAL;
	return inA > inB ? CR_BIGGER : CR_SMALLER;
}

template <typename T>
inline CompareResult CompareData(T inA, T inB)
{
	return inA == inB ? CR_EQUAL : (inA > inB ? CR_BIGGER : CR_SMALLER);
}

// The floor of a number read from JSON when the integer type holds it;
// anything else (NaN included) gives 0.
template <typename I>
inline I FloorIfHeld(Real inValue)
{
	static_assert(std::is_signed_v<I>);
	const Real floored = std::floor(inValue);
	// The range is [min, -min): both bounds are powers of two, exact in a double.
	const Real low = static_cast<Real>(std::numeric_limits<I>::min());
	if (!(floored >= low && floored < -low))
		return 0;
	return static_cast<I>(floored);
}

// What a scalar reads of a JSON value. Kept out of line (VScalarJSON.cpp) so
// that this header does not need the JSON model.
struct JSONReading {
	bool fNull;
	bool fBoolean;
	Real fNumber;
};
JSONReading ReadJSON(const VJSONValue& inValue);
// JSON null for a null scalar, a JSON Boolean for a Boolean, else a number.
void WriteJSON(VJSONValue& outValue, bool inNull, bool inIsBoolean, Real inDatum);

template <typename T>
inline T Read(const void* inPtr)
{
	T value;
	std::memcpy(&value, inPtr, sizeof(T));
	return value;
}

} // namespace scalar

// The descriptor of a scalar kind: values hold 0 when generated, flat data
// are the datum in native order.
template <class Self, uint16 kKind, typename T>
class VValueInfo_scalar : public VValueInfo {
public:
	VValueInfo_scalar() : VValueInfo(kKind) {}

	VValue* Generate() const override { return new Self(); }
	VValue* Generate(VBlob*) const override { return new Self(); }
	VValue* LoadFromPtr(const void* inBackStore, bool inRefOnly) const override
	{
		Self* value = new Self();
		value->LoadFromPtr(inBackStore, inRefOnly);
		return value;
	}
	void* ByteSwapPtr(void* inBackStore, bool) const override
	{
		if constexpr (sizeof(T) > 1) {
			T value = scalar::Read<T>(inBackStore);
			value = ByteSwap(value);
			std::memcpy(inBackStore, &value, sizeof(T));
		}
		return static_cast<char*>(inBackStore) + sizeof(T);
	}
	CompareResult CompareTwoPtrToData(const void* inPtr1, const void* inPtr2, bool inDiacritical) const override
	{
		T a = scalar::Read<T>(inPtr1);
		T b = scalar::Read<T>(inPtr2);
		if constexpr (std::is_floating_point_v<T>) {
			if (!inDiacritical)
				return scalar::CompareReals(a, b, scalar::kRealEpsilon);
		}
		return scalar::CompareData(a, b);
	}
	CompareResult CompareTwoPtrToDataBegining(const void* inPtr1, const void* inPtr2,
											  bool inDiacritical) const override
	{
		return CompareTwoPtrToData(inPtr1, inPtr2, inDiacritical);
	}
	CompareResult CompareTwoPtrToDataWithOptions(const void* inPtr1, const void* inPtr2,
												 const VCompareOptions&) const override
	{
		return scalar::CompareData(scalar::Read<T>(inPtr1), scalar::Read<T>(inPtr2));
	}
	VSize GetSizeOfValueDataPtr(const void*) const override { return sizeof(T); }
	VSize GetAvgSpace() const override { return sizeof(T); }
};

// What the six scalar kinds share: one datum, converted among the kinds by
// the rules of each target width, with flat and stream forms. Self names the
// concrete class, whose static descriptor is sInfo.
template <class Self, uint16 kKind, typename T>
class VScalarValue : public VValueSingle {
public:
	using Datum = T;
	static constexpr bool kIsBoolean = kKind == scalar::kBoolean;
	static constexpr bool kIsReal = std::is_floating_point_v<T>;

	VScalarValue() : fValue(0) {}
	explicit VScalarValue(T inValue) : fValue(inValue) {}
	VScalarValue(const VScalarValue& inOther) : VValueSingle(inOther), fValue(inOther.fValue) {}
	VScalarValue& operator=(const VScalarValue& inOther)
	{
		_StoreFrom(inOther.fValue, inOther);
		return *this;
	}
	// With inInit set the value starts at 0; otherwise the datum is read
	// through the pointer.
	VScalarValue(const T* inDataPtr, uint8 inInit) : fValue(inInit != 0 ? T(0) : *inDataPtr) {}

	T Get() const { return fValue; }

	const VValueInfo* GetValueInfo() const override { return &Self::sInfo; }
	VValueSingle* Clone() const override
	{
		Self* clone = new Self(static_cast<const Self&>(*this));
		clone->SetDirty(true);
		return clone;
	}
	bool CanBeEvaluated() const override { return true; }
	void Clear() override { _Store(0); }

	// Getters
	uint8 GetBoolean() const override
	{
		if constexpr (kIsBoolean)
			return fValue;
		else
			return fValue != 0 ? 1 : 0;
	}
	sBYTE GetByte() const override { return static_cast<sBYTE>(_AsLong()); }
	sWORD GetWord() const override { return static_cast<sWORD>(_AsLong()); }
	sLONG GetLong() const override { return _AsLong(); }
	sLONG8 GetLong8() const override
	{
		if constexpr (kIsReal)
			return scalar::TruncateReal<sLONG8>(fValue);
		else
			return static_cast<sLONG8>(fValue);
	}
	Real GetReal() const override { return static_cast<Real>(fValue); }

	// Each target gets the datum through its setter of this kind's width.
	void GetDuration(VDuration& outValue) const override { _GiveTo(outValue); }
	void GetString(VString& outValue) const override { _GiveTo(outValue); }
	void GetValue(VValueSingle& outValue) const override { _GiveTo(outValue); }

	// Setters
	void FromBoolean(uint8 inValue) override { _FromInteger(inValue, true); }
	void FromByte(sBYTE inValue) override { _FromInteger(inValue, true); }
	void FromWord(sWORD inValue) override { _FromInteger(inValue, false); }
	void FromLong(sLONG inValue) override { _FromInteger(inValue, false); }
	void FromLong8(sLONG8 inValue) override { _FromInteger(inValue, false); }
	void FromReal(Real inValue) override
	{
		if constexpr (kIsBoolean)
			_Store(inValue != 0.0 ? 1 : 0);
		else if constexpr (kIsReal)
			_Store(inValue);
		else if constexpr (sizeof(T) == 8)
			_Store(scalar::TruncateReal<sLONG8>(inValue));
		else
			_Store(static_cast<T>(scalar::TruncateReal<sLONG>(inValue)));
	}
	void FromString(const VString& inValue) override
	{
		if constexpr (sizeof(T) == 8) {
			// A null text makes a Long8 or a Real null, keeping its datum.
			if (inValue.IsNull()) {
				SetNull(true);
				SetDirty(true);
				return;
			}
		}
		if constexpr (kKind == 3)
			_StoreFrom(static_cast<T>(inValue.GetLong()), inValue);
		else
			_StoreFrom(_ConvertFrom(inValue), inValue);
	}
	void FromDuration(const VDuration& inValue) override { _StoreFrom(_ConvertFrom(inValue), inValue); }
	void FromValue(const VValueSingle& inValue) override { _StoreFrom(_ConvertFrom(inValue), inValue); }
	bool FromValueSameKind(const VValue* inValue) override
	{
		const Self* other = static_cast<const Self*>(inValue);
		fValue = other->fValue;
		SetNull(other->IsNull());
		SetDirty(true);
		return true;
	}

	// JSON null reads as null and anything else as not null. A real keeps
	// its datum under null; integer kinds read 0 for what they cannot hold.
	VError GetJSONValue(VJSONValue& outJSONValue, uint32 /*inOptions*/) const override
	{
		scalar::WriteJSON(outJSONValue, IsNull(), kIsBoolean, static_cast<Real>(fValue));
		return VE_OK;
	}
	VError FromJSONValue(const VJSONValue& inJSONValue) override
	{
		const scalar::JSONReading reading = scalar::ReadJSON(inJSONValue);
		if constexpr (kIsBoolean)
			fValue = reading.fBoolean ? 1 : 0;
		else if constexpr (kIsReal) {
			if (!reading.fNull)
				fValue = reading.fNumber;
		} else
			fValue = scalar::FloorIfHeld<T>(reading.fNumber);
		SetNull(reading.fNull);
		SetDirty(true);
		return VE_OK;
	}

	CompareResult CompareTo(const VValueSingle& inValue, bool = false) const override
	{
		if constexpr (kIsBoolean)
			return scalar::CompareData<uint8>(fValue, inValue.GetBoolean());
		else if constexpr (kIsReal)
			return scalar::CompareReals(fValue, inValue.GetReal(), scalar::kRealEpsilon);
		else if constexpr (sizeof(T) == 8)
			return scalar::CompareData<sLONG8>(fValue, inValue.GetLong8());
		else
			return scalar::CompareData<sLONG>(fValue, inValue.GetLong());
	}

	// Same-kind comparisons: the data, with the fixed tolerance for reals.
	CompareResult CompareToSameKind(const VValue* inValue, bool = false) const override
	{
		return _Compare(static_cast<const Self*>(inValue)->fValue, scalar::kRealEpsilon);
	}
	CompareResult CompareToSameKindPtr(const void* inPtr, bool = false) const override
	{
		return _Compare(scalar::Read<T>(inPtr), scalar::kRealEpsilon);
	}
	CompareResult CompareToSameKindWithOptions(const VValue* inValue, const VCompareOptions& inOptions) const override
	{
		return _Compare(static_cast<const Self*>(inValue)->fValue, inOptions.GetEpsilon());
	}
	CompareResult CompareToSameKindPtrWithOptions(const void* inPtr, const VCompareOptions& inOptions) const override
	{
		return _Compare(scalar::Read<T>(inPtr), inOptions.GetEpsilon());
	}

	// Flat form: the datum in native order, a Boolean as 0 or 1.
	const void* LoadFromPtr(const void* inData, bool) override
	{
		T value = scalar::Read<T>(inData);
		if constexpr (kIsBoolean)
			value = value != 0 ? 1 : 0;
		_Store(value);
		return static_cast<const char*>(inData) + sizeof(T);
	}
	void* WriteToPtr(void* ioData, bool, size_t) const override
	{
		T value = fValue;
		if constexpr (kIsBoolean)
			value = value != 0 ? 1 : 0;
		std::memcpy(ioData, &value, sizeof(T));
		return static_cast<char*>(ioData) + sizeof(T);
	}
	VSize GetSpace(VSize) const override { return sizeof(T); }

	// Stream form: a Boolean and a Byte take a 16-bit word. The flags are not
	// streamed, and reading leaves them alone.
	VError WriteToStream(VStream* ioStream, sLONG inParam = 0) const override
	{
		VValueSingle::WriteToStream(ioStream, inParam);
		if constexpr (kIsBoolean)
			ioStream->PutWord(static_cast<uWORD>(fValue));
		else if constexpr (kKind == scalar::kByte)
			ioStream->PutWord(static_cast<sWORD>(fValue));
		else
			ioStream->Put(fValue);
		return ioStream->GetLastError();
	}
	VError ReadFromStream(VStream* ioStream, sLONG = 0) override
	{
		if constexpr (kIsBoolean || kKind == scalar::kByte) {
			uWORD word = 0;
			if (ioStream->GetWord(word) == VE_OK) {
				if constexpr (kIsBoolean)
					fValue = word != 0 ? 1 : 0;
				else
					fValue = static_cast<T>(static_cast<uint8>(word & 0xFF));
			}
		} else {
			T value;
			if (ioStream->Get(value) == VE_OK)
				fValue = value;
		}
		return ioStream->GetLastError();
	}

protected:
	// Stores a datum: not null, dirty.
	void _Store(T inValue)
	{
		fValue = inValue;
		SetNull(false);
		SetDirty(true);
	}

	T fValue;

private:
	sLONG _AsLong() const
	{
		if constexpr (kIsReal)
			return scalar::TruncateReal<sLONG>(fValue);
		else
			return static_cast<sLONG>(fValue);
	}

	template <typename I>
	void _FromInteger(I inValue, bool inIsBooleanOrByte)
	{
		if constexpr (kIsBoolean)
			_Store(inIsBooleanOrByte ? static_cast<uint8>(inValue) : (inValue != 0 ? 1 : 0));
		else
			_Store(static_cast<T>(inValue));
	}

	T _ConvertFrom(const VValueSingle& inValue) const
	{
		if constexpr (kIsBoolean)
			return inValue.GetBoolean();
		else if constexpr (kIsReal)
			return inValue.GetReal();
		else if constexpr (kKind == scalar::kByte || kKind == 3)
			return static_cast<T>(inValue.GetWord());
		else if constexpr (sizeof(T) == 8)
			return inValue.GetLong8();
		else
			return inValue.GetLong();
	}

	void _StoreFrom(T inValue, const VValueSingle& inSource)
	{
		fValue = inValue;
		SetNull(inSource.IsNull());
		SetDirty(true);
	}

	void _GiveTo(VValueSingle& outValue) const
	{
		if constexpr (kIsBoolean)
			outValue.FromBoolean(fValue);
		else if constexpr (kIsReal)
			outValue.FromReal(fValue);
		else if constexpr (sizeof(T) == 8)
			outValue.FromLong8(fValue);
		else if constexpr (sizeof(T) == 4)
			outValue.FromLong(fValue);
		else
			outValue.FromWord(static_cast<sWORD>(fValue));
	}

	CompareResult _Compare(T inOther, Real inEpsilon) const
	{
		if constexpr (kIsReal)
			return scalar::CompareReals(fValue, inOther, inEpsilon);
		else
			return scalar::CompareData(fValue, inOther);
	}
};

} // namespace qirn
