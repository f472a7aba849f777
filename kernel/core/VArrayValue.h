#pragma once

#include "core/ISortable.h"
#include "core/VValueInfo.h"
#include "core/VValueMultiple.h"

namespace qirn {

class VDuration;
class VTime;
class VValueSingle;

// How Find matches an element against the value sought.
enum CompareMethod : sLONG {
	CM_GREATER_OR_EQUAL = -2,
	CM_GREATER = -1,
	CM_EQUAL = 0,
	CM_SMALLER = 1,
	CM_SMALLER_OR_EQUAL = 2
};

namespace arrays {

// Whether a comparison result satisfies the method (an unknown method
// matches nothing).
inline bool Matches(CompareResult inResult, CompareMethod inMethod)
{
	switch (inMethod) {
		case CM_GREATER_OR_EQUAL:
			return inResult == CR_EQUAL || inResult == CR_BIGGER;
		case CM_GREATER:
			return inResult == CR_BIGGER;
		case CM_EQUAL:
			return inResult == CR_EQUAL;
		case CM_SMALLER:
			return inResult == CR_SMALLER;
		case CM_SMALLER_OR_EQUAL:
			return inResult == CR_SMALLER || inResult == CR_EQUAL;
	}
	return false;
}

// Two values that are neither smaller nor greater (a NaN against anything)
// are equal.
template <typename T>
inline CompareResult Compare(T inA, T inB)
{
	return inA < inB ? CR_SMALLER : (inB < inA ? CR_BIGGER : CR_EQUAL);
}

} // namespace arrays

// An indexed series of elements of one kind in one flat block from the memory
// manager (tag 'varr'). Insertion, deletion, copying and sorting are done
// here once; each typed array adds its accessors, searches, stream form and
// element comparison. Public positions count from 1; the storage-level
// operations take indexes from 0.
//
// Behind the storage size the block may keep spare room, so that appending
// one element at a time grows it geometrically; the count, the storage size
// and the stream forms do not show it.
class VArrayValue : public VValueMultiple, public ISortable {
public:
	VArrayValue(const VArrayValue&) = delete;
	VArrayValue& operator=(const VArrayValue&) = delete;
	~VArrayValue() override;

	VIndex GetCount() const override { return fCount; }
	bool ValidIndex(sLONG inPosition) const { return inPosition >= 1 && inPosition <= fCount; }
	// The bytes the elements take in the storage.
	sLONG GetDataSize() const { return fDataSize; }
	void Clear() override { SetCount(0); }
	void Destroy() { SetCount(0); }

	virtual uint16 GetElemValueKind() const = 0;

	// A negative count is 0. Shrinking releases the elements that go; growing
	// adds zeroed (absent, false) elements. False, with the array unchanged,
	// when the storage cannot be had or would not fit the 32-bit storage size.
	virtual bool SetCount(sLONG inCount);
	// The same resizing of the storage to a byte size, the count unchanged.
	bool SetDataSize(sLONG inBytes);
	// Inserts inCount zeroed elements before inPosition (1..count + 1).
	// False, with nothing changed, for a position outside that range, a
	// negative count or a refused resize; true for a count of 0.
	virtual bool Insert(sLONG inPosition, sLONG inCount);
	// Deletes up to inCount elements from inPosition (1..count); nothing for
	// a position outside it or a count below 1.
	virtual void Delete(sLONG inPosition, sLONG inCount);

	// The position (from 1) of the first element from inStart, going up or
	// down, that matches the value by the method; -1 when none does.
	virtual sLONG Find(const VValueSingle& inValue, sLONG inStart, uBYTE inForward,
					   CompareMethod inMethod) const = 0;
	// Sorts the elements inFrom..inTo (positions from 1, both included);
	// nothing unless 1 <= inFrom < inTo <= count.
	virtual void Sort(sLONG inFrom, sLONG inTo, uBYTE inDescending);
	// Scrambles the order in a fixed way.
	virtual void Unsort();

	virtual void FromValue(const VValueSingle& inValue, sLONG inPosition) = 0;
	virtual void GetValue(VValueSingle& outValue, sLONG inPosition) const = 0;
	// A new single value of the element kind, owned by the caller.
	[[nodiscard]] virtual VValueSingle* CloneValue(sLONG inPosition) const = 0;
	// Makes this array a copy of the source, owning copies of its elements.
	// Copying the array into itself changes nothing; an array of another
	// element layout is refused (false). When the storage cannot be had the
	// array is emptied and the answer is false.
	virtual bool Copy(const VArrayValue& inSource);

	uBYTE* LockAndGetData() const override { return fData; }
	void UnlockData() const override {}

	// Storage level, indexes from 0.
	virtual void MoveElements(sLONG inFrom, sLONG inTo, sLONG inCount);
	virtual void DeleteElements(sLONG inFrom, sLONG inCount);
	virtual void InitElements(sLONG inFrom, sLONG inCount);

	// Appending: one element at the end through the typed setter; the new
	// count is the answer (the old one when the array could not grow).
	sLONG AppendBoolean(uint8 inValue);
	sLONG AppendByte(sBYTE inValue);
	sLONG AppendWord(sWORD inValue);
	sLONG AppendLong(sLONG inValue);
	sLONG AppendLong8(sLONG8 inValue);
	sLONG AppendReal(Real inValue);
	sLONG AppendDuration(const VDuration& inValue);
	sLONG AppendTime(const VTime& inValue);
	sLONG AppendString(const VString& inValue);

	// Sorts the first array over all its elements and applies the same
	// permutation to the others of the null-ended list (15 arrays at the
	// most). Nothing is sorted, and the answer is false, when a listed array
	// is shorter than the first.
	static bool SynchronizedSort(uBYTE inDescending, VArrayValue* inFirst, ...);

	// Arrays have no flat form.
	const void* LoadFromPtr(const void* inData, bool) override { return inData; }
	void* WriteToPtr(void* ioData, bool, size_t) const override { return ioData; }

	bool CanBeEvaluated() const override { return true; }
	bool CanBeStreamed() const override { return true; }

	// The count and the elements, after the kind (65535) when inParam is
	// 'VVAL'. Reading refuses a negative count, or one that the rest of the
	// stream could not hold, with 200 before anything is sized, and a count
	// the storage cannot take with 100.
	VError WriteToStream(VStream* ioStream, sLONG inParam = 0) const override;
	VError ReadFromStream(VStream* ioStream, sLONG inParam = 0) override;

protected:
	explicit VArrayValue(uLONG inElemSize) : fElemSize(inElemSize) {}

	// The bytes the storage takes for a count (Booleans take bits).
	sLONG8 _StorageBytes(sLONG8 inCount) const
	{
		return fElemSize == 0 ? (inCount + 8) / 8 : inCount * static_cast<sLONG8>(fElemSize);
	}
	// Resizes the storage: new bytes are zero. False when refused. The spare
	// room is kept zero (bytes given up by a shrink are cleared), so growth
	// within it, an append's usual case, is only a new size.
	bool _ResizeStorage(sLONG8 inBytes)
	{
		if (inBytes > fDataSize && inBytes <= fCapacity) {
			fDataSize = static_cast<sLONG>(inBytes);
			return true;
		}
		return _ResizeStorageOutOfRoom(inBytes);
	}
	bool _ResizeStorageOutOfRoom(sLONG8 inBytes);
	void _FreeStorage();

	// The element forms of the stream, after the count.
	virtual void DoWriteElements(VStream* ioStream) const = 0;
	virtual void DoReadElements(VStream* ioStream) = 0;
	// The fewest bytes the stream form of inCount elements takes.
	virtual sLONG8 DoGetMinStreamBytes(sLONG inCount) const
	{
		return inCount * static_cast<sLONG8>(fElemSize);
	}
	// Whether the elements are pointers to values this array owns.
	virtual bool DoOwnsElements() const { return false; }

	uLONG fElemSize;
	sLONG fCount = 0;
	uBYTE* fData = nullptr;
	sLONG fDataSize = 0;

private:
	// The allocated bytes, at least fDataSize; those beyond it are zero.
	sLONG8 fCapacity = 0;
};

// The descriptor of an array kind: every way of making a value gives a new
// empty array, as arrays have no flat form.
template <class T, uint16 kKind, typename Elem>
class VValueInfo_array : public VValueInfo_default<T, kKind> {
public:
	VValueInfo_array() = default;
};

// What every typed array class repeats: its descriptor and its clone.
template <class Self, class Base>
class VArrayValueOf : public Base {
public:
	using Base::Base;

	const VValueInfo* GetValueInfo() const override { return &Self::sInfo; }
	VValue* Clone() const override
	{
		Self* clone = new Self();
		clone->Copy(*this);
		return clone;
	}
};

} // namespace qirn
