#pragma once

#include <cstddef>
#include <cstdint>

namespace qirn {

// 64-bit integers are long long on purpose: on Linux int64_t is long, and a
// kernel that mixed the two would make its numeric overloads ambiguous.
using int8 = signed char;
using uint8 = unsigned char;
using int16 = short;
using uint16 = unsigned short;
using int32 = int;
using uint32 = unsigned int;
using int64 = long long;
using uint64 = unsigned long long;

using sBYTE = int8;
using uBYTE = uint8;
using sWORD = int16;
using uWORD = uint16;
using sLONG = int32;
using uLONG = uint32;
using sLONG8 = int64;
using uLONG8 = uint64;
using Real = double;

using VSize = size_t;
using VIndex = int32;

using UniChar = char16_t;

// A four-character code, packed with its first character in the high byte,
// as the multi-character literal 'abcd' is.
using OsType = uint32;

// High 32 bits: the component signature; low 32 bits: the signed number.
using VError = uint64;

constexpr VError VE_OK = 0;

constexpr VError MAKE_VERROR(OsType inSignature, int32 inNumber)
{
	return (static_cast<VError>(inSignature) << 32) | static_cast<uint32>(inNumber);
}

constexpr OsType COMPONENT_FROM_VERROR(VError inError)
{
	return static_cast<OsType>(inError >> 32);
}

constexpr int32 ERRCODE_FROM_VERROR(VError inError)
{
	return static_cast<int32>(static_cast<uint32>(inError & 0xFFFFFFFFu));
}

constexpr OsType kCOMPONENT_SIGNATURE_KERNEL = 'qirn';

constexpr VError VE_UNKNOWN_ERROR = MAKE_VERROR('qirn', 1);
constexpr VError VE_MEMORY_FULL = MAKE_VERROR('qirn', 100);
constexpr VError VE_STRING_ALLOC_FAILED = MAKE_VERROR('qirn', 107);
// Too little stack left to go one level deeper.
constexpr VError VE_STACK_OVERFLOW = MAKE_VERROR('qirn', 108);

// Strings and text.
constexpr VError VE_UNIMPLEMENTED = MAKE_VERROR('qirn', 2);
constexpr VError VE_STRING_BASE64_DECODING_FAILED = MAKE_VERROR('qirn', 210);
constexpr VError VE_TEXT_CONVERSION_FAILED = MAKE_VERROR('qirn', 300);

} // namespace qirn
