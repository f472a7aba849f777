#pragma once

#include "core/VString.h"

namespace qirn {

// The localized text of a key, as the process's localizer gives it; without
// one, or when it lacks the key, the fallback (UTF-8) when given, else an
// empty string.
VString LocalizeString(const VString& inKey, const char* inFallback = nullptr);

} // namespace qirn
