#pragma once

#include "core/VValue.h"

namespace qirn {

// What a container lends to the multi-criteria sort: its element storage,
// bracketed by LockAndGetData and UnlockData, and the comparison and exchange
// of two elements by index (from 0) in that storage.
class ISortable {
public:
	virtual ~ISortable() = default;

	virtual uBYTE* LockAndGetData() const { return nullptr; }
	virtual void UnlockData() const {}
	virtual void SwapElements(uBYTE* inData, sLONG inA, sLONG inB) = 0;
	virtual CompareResult CompareElements(uBYTE* inData, sLONG inA, sLONG inB) = 0;

	// Sorts the elements inFirst..inLast (indexes from 0, both included) of
	// every sortable of the null-ended list: the first inCriteria sortables are
	// the keys, in order of precedence, each with its descending flag; every
	// sortable of the list receives the same permutation. Neither stable nor
	// recursive.
	static void MultiCriteriaQSort(ISortable** inSortables, uBYTE* inDescending, sLONG inCriteria, sLONG inFirst,
								   sLONG inLast);
	// 0 for elements equal by every criterion; otherwise the first deciding
	// result, 1 meaning that element a comes after element b.
	static CompareResult MultiCriteriaCompare(ISortable** inSortables, uBYTE** inData, uBYTE* inDescending,
											  sLONG inCriteria, sLONG inA, sLONG inB);
	static void MultiCriteriaSwap(ISortable** inSortables, uBYTE** inData, sLONG inA, sLONG inB);
};

} // namespace qirn
