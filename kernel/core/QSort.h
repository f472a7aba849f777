#pragma once

#include "core/VKernelTypes.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <type_traits>
#include <utility>

namespace qirn {

namespace sorting {

// The one quicksort of the kernel, shared by the interface sort and the typed
// one. inOps answers Bigger(a, b) and Smaller(a, b) in the requested order
// and exchanges with Swap(a, b). The pending ranges live on a fixed stack:
// the larger part is always the one pushed, so 32 ranges serve any 32-bit
// count. The pivot is the upper middle, moved to the start of the range;
// callers rely on the resulting order of equal elements.
//
// The upper-middle pivot splits some inputs (organ pipes) one element at a
// time. Ops that can sort a range some other way with the very same result
// (numbers whose equal values are indistinguishable) offer
// FinishDegenerateRange(lo, hi): it is asked once a range lies deeper than
// twice the logarithm of the count, and answers true when it sorted it.
template <class Ops>
void QuickSortRange(sLONG inFirst, sLONG inLast, Ops& inOps)
{
	struct Range {
		sLONG fLo;
		sLONG fHi;
		int fLevel;
	};
	int levelLimit = 2;
	for (sLONG n = inLast - inFirst + 1; n > 1; n >>= 1)
		levelLimit += 2;
	Range stack[32];
	int depth = 0;
	sLONG lo = inFirst;
	sLONG hi = inLast;
	int level = 0;
	while (true) {
		if constexpr (requires { inOps.FinishDegenerateRange(lo, hi); }) {
			if (level > levelLimit && inOps.FinishDegenerateRange(lo, hi)) {
				if (depth == 0)
					return;
				--depth;
				lo = stack[depth].fLo;
				hi = stack[depth].fHi;
				level = stack[depth].fLevel;
				continue;
			}
		}
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
		Range next{0, -1, level + 1};
		if (j - 1 - lo < hi - i) {
			if (rightWorth)
				stack[depth++] = Range{i, hi, level + 1};
			if (leftWorth)
				next = Range{lo, j - 1, level + 1};
		} else {
			if (leftWorth)
				stack[depth++] = Range{lo, j - 1, level + 1};
			if (rightWorth)
				next = Range{i, hi, level + 1};
		}
		if (next.fHi <= next.fLo) {
			if (depth == 0)
				return;
			next = stack[--depth];
		}
		lo = next.fLo;
		hi = next.fHi;
		level = next.fLevel;
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

	// Integers equal in order are equal in every bit, so any sort leaves the
	// same values; so do reals, unless a NaN (equal to everything) or a
	// negative zero (equal to the positive one) could end elsewhere.
	bool FinishDegenerateRange(sLONG inLo, sLONG inHi)
	{
		T* begin = fValues + inLo;
		T* end = fValues + inHi + 1;
		if constexpr (std::is_floating_point_v<T>) {
			if (fRefused)
				return false;
			fRefused = std::any_of(begin, end, [](T v) { return std::isnan(v) || (v == 0 && std::signbit(v)); });
			if (fRefused)
				return false;
		}
		if constexpr (kDescending)
			std::sort(begin, end, std::greater<T>());
		else
			std::sort(begin, end);
		return true;
	}
	bool fRefused = false;
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
		sorting::PlainOps<T, true> ops{inValues, false};
		sorting::SortRange(0, inCount - 1, ops);
	} else {
		sorting::PlainOps<T, false> ops{inValues, false};
		sorting::SortRange(0, inCount - 1, ops);
	}
}

} // namespace qirn
