#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

// The character-set enumeration shared by strings, streams and files.
enum CharSet : int32 {
	VTC_DefaultTextExport = -2,
	VTC_Unknown = -1,
	VTC_None = 0,
	VTC_UTF_16_BIGENDIAN = 1,
	VTC_UTF_16_SMALLENDIAN = 2,
	VTC_UTF_32_BIGENDIAN = 3,
	VTC_UTF_32_SMALLENDIAN = 4,
	VTC_UTF_32_RAW_BIGENDIAN = 5,
	VTC_UTF_32_RAW_SMALLENDIAN = 6,
	VTC_UTF_8 = 7,
	VTC_UTF_7 = 8,
	VTC_US_ASCII = 9,
	VTC_UTF_16 = VTC_UTF_16_SMALLENDIAN,
	VTC_UTF_32 = VTC_UTF_32_SMALLENDIAN
};

} // namespace qirn
