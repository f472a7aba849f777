#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

// The character-set enumeration shared by strings, streams and files. The
// Unicode forms (1 to 7) have portable converters; every other set goes
// through the platform's converters.
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
	VTC_EBCDIC_037 = 10,
	VTC_PC_437 = 11,

	VTC_MacRoman = 100,
	VTC_Windows_1252 = 101,
	VTC_MacCentralEurope = 102,
	VTC_Windows_1250 = 103,
	VTC_MacCyrillic = 104,
	VTC_Windows_1251 = 105,
	VTC_MacGreek = 106,
	VTC_Windows_1253 = 107,
	VTC_MacTurkish = 108,
	VTC_Windows_1254 = 109,
	VTC_MacArabic = 110,
	VTC_Windows_1256 = 111,
	VTC_MacHebrew = 112,
	VTC_Windows_1255 = 113,
	VTC_MacCentralEurope2 = 114,
	VTC_Windows_1257 = 115,
	VTC_MacChineseSimplified = 116,
	VTC_GBK = 117,
	VTC_MacChineseTraditional = 118,
	VTC_PC_950 = 119,
	VTC_MacJapanese = 120,

	VTC_ShiftJIS = 1000,
	VTC_ISO_2022_JP = 1001,
	VTC_Big5 = 1002,
	VTC_EUC_KR = 1003,
	VTC_KOI8_R = 1004,
	VTC_ISO_8859_1 = 1005,
	VTC_ISO_8859_2 = 1006,
	VTC_ISO_8859_3 = 1007,
	VTC_ISO_8859_4 = 1008,
	VTC_ISO_8859_5 = 1009,
	VTC_ISO_8859_6 = 1010,
	VTC_ISO_8859_7 = 1011,
	VTC_ISO_8859_8 = 1012,
	VTC_ISO_8859_9 = 1013,
	VTC_ISO_8859_10 = 1014,
	VTC_ISO_8859_13 = 1015,
	VTC_GB2312 = 1016,
	VTC_GB2312_80 = 1017,
	VTC_ISO_8859_15 = 1018,
	VTC_Windows_31J = 1019,

	VTC_UTF_16 = VTC_UTF_16_SMALLENDIAN,
	VTC_UTF_32 = VTC_UTF_32_SMALLENDIAN,
	VTC_UTF_32_RAW = VTC_UTF_32_RAW_SMALLENDIAN,
	VTC_StdLib_char = VTC_UTF_8
};

// Line-end conventions used when text is written out; any other value leaves
// the text alone.
enum ECarriageReturnMode : int32 {
	eCRM_NONE = 1,
	eCRM_CRLF = 2,
	eCRM_CR = 3,
	eCRM_LF = 4
};

} // namespace qirn
