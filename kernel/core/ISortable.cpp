#include "core/ISortable.h"

#include "core/QSort.h"
#include "core/VMemory.h"

namespace qirn {

CompareResult ISortable::MultiCriteriaCompare(ISortable** inSortables, uBYTE** inData, uBYTE* inDescending,
											  sLONG inCriteria, sLONG inA, sLONG inB)
{
	for (sLONG k = 0; k < inCriteria; ++k) {
		const CompareResult result = inSortables[k]->CompareElements(inData[k], inA, inB);
		if (result == CR_EQUAL)
			continue;
		// Anything but 1 (-1000, not comparable, included) counts as smaller.
		if (inDescending[k] != 0)
			return result == CR_BIGGER ? CR_SMALLER : CR_BIGGER;
		return result;
	}
	return CR_EQUAL;
}

void ISortable::MultiCriteriaSwap(ISortable** inSortables, uBYTE** inData, sLONG inA, sLONG inB)
{
	for (sLONG k = 0; inSortables[k] != nullptr; ++k)
		inSortables[k]->SwapElements(inData[k], inA, inB);
}

namespace {

struct MultiCriteriaOps {
	ISortable** fSortables;
	uBYTE** fData;
	uBYTE* fDescending;
	sLONG fCriteria;

	CompareResult Compare(sLONG inA, sLONG inB) const
	{
		return ISortable::MultiCriteriaCompare(fSortables, fData, fDescending, fCriteria, inA, inB);
	}
	bool Bigger(sLONG inA, sLONG inB) const { return Compare(inA, inB) == CR_BIGGER; }
	bool Smaller(sLONG inA, sLONG inB) const
	{
		const CompareResult result = Compare(inA, inB);
		return result != CR_EQUAL && result != CR_BIGGER;
	}
	void Swap(sLONG inA, sLONG inB) const { ISortable::MultiCriteriaSwap(fSortables, fData, inA, inB); }
};

} // namespace

void ISortable::MultiCriteriaQSort(ISortable** inSortables, uBYTE* inDescending, sLONG inCriteria, sLONG inFirst,
								   sLONG inLast)
{
	if (inSortables == nullptr || inLast - inFirst < 1)
		return;
	sLONG count = 0;
	while (inSortables[count] != nullptr)
		++count;
	if (count == 0)
		return;
	// A criterion needs a sortable of the list to compare.
	if (inCriteria > count)
		inCriteria = count;
	uBYTE** data = static_cast<uBYTE**>(VMemory::NewPtr(sizeof(uBYTE*) * static_cast<size_t>(count), 'sort'));
	if (data == nullptr)
		return;
	for (sLONG k = 0; k < count; ++k)
		data[k] = inSortables[k]->LockAndGetData();

	MultiCriteriaOps ops{inSortables, data, inDescending, inCriteria};
	sorting::SortRange(inFirst, inLast, ops);

	for (sLONG k = 0; k < count; ++k)
		inSortables[k]->UnlockData();
	VMemory::DisposePtr(data);
}

} // namespace qirn
