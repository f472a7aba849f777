#pragma once

#include "core/VCppMemMgr.h"
#include "core/VKernelTypes.h"
#include "core/VObject.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <type_traits>

namespace qirn {

// A growable array of plain values (numbers, flags, pointers) with 1-based
// positions, grown by a step of elements at a time in one block of the
// kernel's memory. The values are moved as bytes, hence plain values only.
//
// Flags: unique (a value already present is refused), delete-data (values
// leaving the array go through DoDeleteDataRange, which subclasses use to
// release what they hold) and data-not-owned (the block is the caller's: it
// is never freed, and is copied into a block of the array's own before it
// grows).
template <class T>
class VArrayOf : public VObject {
	static_assert(std::is_trivially_copyable_v<T>, "VArrayOf holds plain values only");

public:
	static constexpr sLONG kDefaultGrowthStep = 10;
	static constexpr int32 kMemoryTag = 'arr ';

	explicit VArrayOf(sLONG inGrowthStep = kDefaultGrowthStep)
		: fGrowthStep(inGrowthStep > 0 ? inGrowthStep : kDefaultGrowthStep)
	{
	}
	~VArrayOf() override
	{
		// A subclass's DoDeleteDataRange is gone by now: it empties itself.
		_FreeData();
	}
	VArrayOf(const VArrayOf&) = delete;
	VArrayOf& operator=(const VArrayOf&) = delete;

	sLONG GetCount() const { return fCount; }
	bool IsEmpty() const { return fCount == 0; }
	sLONG GetAllocatedCount() const { return fAllocatedCount; }
	sLONG GetGrowthStep() const { return fGrowthStep; }
	void SetGrowthStep(sLONG inStep) { fGrowthStep = inStep > 0 ? inStep : kDefaultGrowthStep; }

	bool IsUnique() const { return fUnique; }
	void SetUnique(bool inUnique) { fUnique = inUnique; }
	bool GetDeleteData() const { return fDeleteData; }
	void SetDeleteData(bool inDelete) { fDeleteData = inDelete; }
	bool IsDataOwned() const { return !fDataNotOwned; }

	// The values in place (null when none was ever allocated); valid until
	// the array changes.
	const T* GetData() const { return fData; }

	// The value at a 1-based position; T{} outside 1...count.
	T GetNth(sLONG inPos) const { return _IsPos(inPos) ? fData[inPos - 1] : T{}; }
	T GetFirst() const { return GetNth(1); }
	T GetLast() const { return GetNth(fCount); }
	// Replaces a value; false outside 1...count, or when the unique flag
	// refuses the value (present elsewhere). The old value goes through
	// DoDeleteDataRange with the delete-data flag.
	bool SetNth(const T& inValue, sLONG inPos)
	{
		if (!_IsPos(inPos))
			return false;
		if (fUnique) {
			const sLONG found = FindPos(inValue);
			if (found != 0 && found != inPos)
				return false;
			if (found == inPos)
				return true;
		}
		if (fDeleteData)
			DoDeleteDataRange(fData + inPos - 1, fData + inPos);
		fData[inPos - 1] = inValue;
		return true;
	}

	// Inserts before a 1-based position (count + 1 appends). False for a
	// position outside 1...count + 1, a value the unique flag refuses, or
	// no memory.
	bool AddNth(const T& inValue, sLONG inPos)
	{
		if (inPos < 1 || inPos > fCount + 1)
			return false;
		if (fUnique && FindPos(inValue) != 0)
			return false;
		if (fCount == fAllocatedCount && !_Grow())
			return false;
		T* at = fData + inPos - 1;
		if (inPos <= fCount)
			std::memmove(static_cast<void*>(at + 1), at, sizeof(T) * static_cast<size_t>(fCount - inPos + 1));
		*at = inValue;
		++fCount;
		return true;
	}
	bool AddHead(const T& inValue) { return AddNth(inValue, 1); }
	bool AddTail(const T& inValue) { return AddNth(inValue, fCount + 1); }

	// Removes inCount values from a 1-based position (fewer at the end).
	void DeleteNth(sLONG inPos, sLONG inCount = 1)
	{
		if (!_IsPos(inPos) || inCount <= 0)
			return;
		if (inCount > fCount - inPos + 1)
			inCount = fCount - inPos + 1;
		T* begin = fData + inPos - 1;
		if (fDeleteData)
			DoDeleteDataRange(begin, begin + inCount);
		std::memmove(static_cast<void*>(begin), begin + inCount,
					 sizeof(T) * static_cast<size_t>(fCount - inPos - inCount + 1));
		fCount -= inCount;
	}
	// Removes the first occurrence of a value; false when absent.
	bool DeleteItem(const T& inValue)
	{
		const sLONG pos = FindPos(inValue);
		if (pos == 0)
			return false;
		DeleteNth(pos);
		return true;
	}
	// Empties the array and lets go of its block.
	void DeleteAll()
	{
		if (fDeleteData && fCount > 0)
			DoDeleteDataRange(fData, fData + fCount);
		fCount = 0;
		_FreeData();
	}

	// The 1-based position of the first occurrence of a value, 0 when absent.
	sLONG FindPos(const T& inValue, sLONG inStartPos = 1) const
	{
		if (inStartPos < 1)
			inStartPos = 1;
		if (inStartPos > fCount)
			return 0;
		const T* end = fData + fCount;
		const T* found = DoFindData(fData + inStartPos - 1, end, inValue);
		return found == end ? 0 : static_cast<sLONG>(found - fData) + 1;
	}
	bool Contains(const T& inValue) const { return FindPos(inValue) != 0; }

	// Takes the caller's block of inCount values as the array's data, without
	// owning it; the values it held before are deleted.
	void SetDataNotOwned(T* inData, sLONG inCount)
	{
		DeleteAll();
		fData = inData;
		fCount = fAllocatedCount = (inData != nullptr && inCount > 0) ? inCount : 0;
		fDataNotOwned = inData != nullptr;
	}

protected:
	// The first position in [inBegin, inEnd) holding the value, or inEnd.
	virtual const T* DoFindData(const T* inBegin, const T* inEnd, const T& inValue) const
	{
		for (const T* value = inBegin; value != inEnd; ++value) {
			if (*value == inValue)
				return value;
		}
		return inEnd;
	}
	// Called for the values leaving the array when the delete-data flag is
	// set; plain values need nothing.
	virtual void DoDeleteDataRange(T* /*inBegin*/, T* /*inEnd*/) {}

private:
	bool _IsPos(sLONG inPos) const { return inPos >= 1 && inPos <= fCount; }

	// Room for count + step values, or for count + 1 when that much cannot
	// be had.
	bool _Grow()
	{
		constexpr sLONG kMaxCount = static_cast<sLONG>(
			std::min<size_t>(std::numeric_limits<sLONG>::max(), std::numeric_limits<size_t>::max() / sizeof(T)));
		if (fCount >= kMaxCount)
			return false;
		const sLONG wanted = fCount > kMaxCount - fGrowthStep ? kMaxCount : fCount + fGrowthStep;
		return _Reallocate(wanted) || (wanted != fCount + 1 && _Reallocate(fCount + 1));
	}
	bool _Reallocate(sLONG inCount)
	{
		const size_t size = sizeof(T) * static_cast<size_t>(inCount);
		T* data;
		if (fData == nullptr || fDataNotOwned) {
			data = static_cast<T*>(VObject::sCppMemMgr->Malloc(size, false, kMemoryTag));
			if (data != nullptr && fCount > 0)
				std::memcpy(static_cast<void*>(data), fData, sizeof(T) * static_cast<size_t>(fCount));
		} else {
			data = static_cast<T*>(VObject::sCppMemMgr->Realloc(fData, size));
		}
		if (data == nullptr)
			return false;
		fData = data;
		fAllocatedCount = inCount;
		fDataNotOwned = false;
		return true;
	}
	void _FreeData()
	{
		if (fData != nullptr && !fDataNotOwned)
			VObject::sCppMemMgr->Free(fData);
		fData = nullptr;
		fCount = fAllocatedCount = 0;
		fDataNotOwned = false;
	}

	T* fData = nullptr;
	sLONG fCount = 0;
	sLONG fAllocatedCount = 0;
	sLONG fGrowthStep = kDefaultGrowthStep;
	bool fUnique = false;
	bool fDeleteData = false;
	bool fDataNotOwned = false;
};

} // namespace qirn
