#pragma once

#include "core/VString.h"

namespace qirn {

// Names of files hold no character that a file system or a path refuses or
// reads specially: the codes 0x00 to 0x1F, '"', '%', '*', '/', ':', '<',
// '>', '?', '\' and '|' travel as '%' and two upper-case hexadecimal digits
// ("a:b" is "a%3Ab").
VString EncodeReservedFileCharacters(const VString& inText);
// Turns every '%' followed by two hexadecimal digits (of either case) into
// the character of that code, reserved or not ("%41" is "A"); any other '%'
// is copied as it stands.
VString DecodeReservedFileCharacters(const VString& inText);

} // namespace qirn
