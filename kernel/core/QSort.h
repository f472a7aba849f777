#pragma once

#include "core/VKernelTypes.h"

#include <utility>

namespace qirn {

namespace sorting {

// The one quicksort of the kernel, shared by the interface sort and the typed
// one. inOps answers Bigger(a, b) and Smaller(a, b) in the requested order
// and exchanges with Swap(a, b). The pending ranges live on a fixed stack:
// the larger part is always the one pushed, so 32 ranges serve any 32-bit
// count. The pivot is the upper middle, moved to the start of the range;
// callers rely on the resulting order of equal elements.
template <class Ops>
void QuickSortRange(sLONG inFirst, sLONG inLast, Ops& inOps)
{
	struct Range {
		sLONG fLo;
		sLONG fHi;
	};
	Range stack[32];
	int depth = 0;
	sLONG lo = inFirst;
	sLONG hi = inLast;
	while (true) {
		const sLONG mid = lo + (hi - lo + 1) / 2;
		inOps.Swap(mid, lo);
		sLONG i = lo;
		sLONG j = hi + 1;
		while (true) {
			do
				++i;
			while (i <= hi && !inOps.Bigger(i, lo));
			do
				--j;
			while (j > lo && !inOps.Smaller(j, lo));
			if (j < i)
				break;
			inOps.Swap(i, j);
		}
		inOps.Swap(lo, j);

		// Left part [lo, j - 1], right part [i, hi]; what lies between equals
		// the pivot and is in place.
		const bool leftWorth = j - 1 - lo >= 1;
		const bool rightWorth = hi - i >= 1;
		Range next{0, -1};
		if (j - 1 - lo < hi - i) {
			if (rightWorth)
				stack[depth++] = Range{i, hi};
			if (leftWorth)
				next = Range{lo, j - 1};
		} else {
			if (leftWorth)
				stack[depth++] = Range{lo, j - 1};
			if (rightWorth)
				next = Range{i, hi};
		}
		if (next.fHi <= next.fLo) {
			if (depth == 0)
				return;
			next = stack[--depth];
		}
		lo = next.fLo;
		hi = next.fHi;
	}
}

// Below ten elements: the biggest of first..end goes to end, end moving
// down; among equal candidates the lowest position wins.
template <class Ops>
void SelectionSortRange(sLONG inFirst, sLONG inLast, Ops& inOps)
{
	for (sLONG end = inLast; end > inFirst; --end) {
		sLONG best = inFirst;
		for (sLONG k = inFirst + 1; k <= end; ++k) {
			if (inOps.Bigger(k, best))
				best = k;
		}
		if (best != end)
			inOps.Swap(best, end);
	}
}

// Ranges of ten elements or more are quicksorted, smaller ones selected.
template <class Ops>
void SortRange(sLONG inFirst, sLONG inLast, Ops& inOps)
{
	if (inLast - inFirst < 1)
		return;
	if (inLast - inFirst >= 9)
		QuickSortRange(inFirst, inLast, inOps);
	else
		SelectionSortRange(inFirst, inLast, inOps);
}

template <typename T, bool kDescending>
struct PlainOps {
	T* fValues;
	// A value neither smaller nor greater than another (a NaN) counts as equal.
	bool Bigger(sLONG inA, sLONG inB) const
	{
		if constexpr (kDescending)
			return fValues[inA] < fValues[inB];
		else
			return fValues[inA] > fValues[inB];
	}
	bool Smaller(sLONG inA, sLONG inB) const
	{
		if constexpr (kDescending)
			return fValues[inA] > fValues[inB];
		else
			return fValues[inA] < fValues[inB];
	}
	void Swap(sLONG inA, sLONG inB) const { std::swap(fValues[inA], fValues[inB]); }
};

} // namespace sorting

// Sorts inCount values in place, ascending when inDescending is 0, with the
// type's own order and no indirect call.
template <typename T>
void QSort(T* inValues, sLONG inCount, uBYTE inDescending)
{
	if (inValues == nullptr || inCount < 2)
		return;
	if (inDescending != 0) {
		sorting::PlainOps<T, true> ops{inValues};
		sorting::SortRange(0, inCount - 1, ops);
	} else {
		sorting::PlainOps<T, false> ops{inValues};
		sorting::SortRange(0, inCount - 1, ops);
	}
}

} // namespace qirn
