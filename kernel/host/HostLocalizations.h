#pragma once

// The localizations of a bundle and the one the user prefers among them.
// Plain C++ only, usable before main.
//
// A bundle's localizations are the names of the "<name>.lproj" folders of its
// resources folder (HostBundleLayout).

#include <string>
#include <vector>

namespace qirn::host {

// The names of the bundle's ".lproj" folders, without the extension, in name
// order (byte order, so the pick below is the same everywhere). Hidden
// entries and files are left out; links to folders count.
std::vector<std::string> CopyBundleLocalizations(const std::string& inBundlePath);

// The localization to use. First the first preferred language that names one
// of the localizations exactly (case and '-' or '_' aside); then the first
// preferred language whose language part is that of a localization (the bare
// language's folder first, else the first by name); else the development
// region when it is one of the localizations; else the first localization.
// "C" and "POSIX" name no language. Empty only without localizations.
std::string ChoosePreferredLocalization(const std::vector<std::string>& inLocalizations,
										const std::vector<std::string>& inPreferredLanguages,
										const std::string& inDevelopmentRegion);

// The above for the main bundle, with the user's languages (HostLanguages)
// and its Info.plist's "CFBundleDevelopmentRegion". Empty when the main
// bundle has no localizations.
std::string CopyMainBundlePreferredLocalization();

} // namespace qirn::host
