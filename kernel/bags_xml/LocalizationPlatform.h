#pragma once

#include "core/VString.h"

namespace qirn {

// The name this system answers to in the platform lists of localization
// files ("kq:includeIf", "kq:excludeIf"), beside "mac" and "win".
inline constexpr const char* kLocalizationPlatformName = "linux";

// Whether an attribute keeps a translation unit from this platform:
// "kq:excludeIf" when its list names this platform; "kq:includeIf" when it
// names another platform and not this one. A list of other words, and any
// other attribute, exclude nothing. The list is split at spaces; names
// match as a person reads them.
bool IsExcludedOnThisPlatform(const VString& inAttributeName, const VString& inList);

} // namespace qirn
