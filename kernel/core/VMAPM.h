#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

// The double of a packed decimal number as stored by the arbitrary-precision
// format: a 32-bit exponent, an 8-bit sign (0 zero, 1 positive, -1 negative),
// a 32-bit digit count, then the digits two to a byte (tens first), packed
// without gaps; the value is 0.d1d2d3... times ten to the exponent. Corrupt
// data (a digit byte above 99, a count below 1) give 0.0.
Real MAPM_FloatToReal(const void* inData);

} // namespace qirn
