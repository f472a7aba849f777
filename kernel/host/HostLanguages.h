#pragma once

// The user's preferred languages, as the locale settings of the environment
// give them. Plain C++ only, usable before main.

#include <string>
#include <vector>

namespace qirn::host {

// The languages of LANGUAGE (a list separated by ':'), LC_ALL, LC_MESSAGES
// and LANG, in that order, each as a language tag ("fr_FR.UTF-8" gives
// "fr-FR"), without repeats. The C and POSIX locales name no language and are
// left out; so is an empty setting.
std::vector<std::string> CopyPreferredLanguages();

// One locale setting as a language tag: the character set (".UTF-8") and the
// modifier ("@euro") dropped, '_' written '-'. Empty for "C", "POSIX" and
// anything that does not start with a letter.
std::string LanguageTagFromLocaleName(const std::string& inName);

} // namespace qirn::host
