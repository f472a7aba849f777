#pragma once

namespace qirn {

class VString;
class VValueSingle;

// The typed value an attribute's XML text stands for: an integer (VLong,
// or VLong8 beyond 32 bits), a real, INF, -INF, NaN, true, false, a UUID of
// 32 hexadecimal digits; anything else is a copy of the text. A new value
// the caller owns; never null.
VValueSingle* ParseXMLValue(const VString& inText);

} // namespace qirn
