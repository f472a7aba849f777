#pragma once

#include "core/VString.h"

namespace qirn {

// Appends what XML 1.0 allows of the units: no control character (tab, line
// feed and carriage return only with inKeepLineSpace), no U+FFFE or U+FFFF,
// no surrogate that is not half of a pair.
void AppendXMLChars(VString& ioOut, const UniChar* inBegin, const UniChar* inEnd, bool inKeepLineSpace);

} // namespace qirn
