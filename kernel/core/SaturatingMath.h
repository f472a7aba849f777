#pragma once

#include "core/VKernelTypes.h"

#include <limits>

namespace qirn {

// 64-bit sums and products that stop at the ends of the range instead of
// overflowing: a count of milliseconds that cannot grow further stays at
// its largest, rather than turning negative.
inline sLONG8 SaturatingAdd(sLONG8 inA, sLONG8 inB)
{
	sLONG8 result;
	if (__builtin_add_overflow(inA, inB, &result))
		return inB > 0 ? std::numeric_limits<sLONG8>::max() : std::numeric_limits<sLONG8>::min();
	return result;
}

inline sLONG8 SaturatingSubtract(sLONG8 inA, sLONG8 inB)
{
	sLONG8 result;
	if (__builtin_sub_overflow(inA, inB, &result))
		return inB < 0 ? std::numeric_limits<sLONG8>::max() : std::numeric_limits<sLONG8>::min();
	return result;
}

inline sLONG8 SaturatingMultiply(sLONG8 inA, sLONG8 inB)
{
	sLONG8 result;
	if (__builtin_mul_overflow(inA, inB, &result))
		return (inA < 0) != (inB < 0) ? std::numeric_limits<sLONG8>::min() : std::numeric_limits<sLONG8>::max();
	return result;
}

} // namespace qirn
