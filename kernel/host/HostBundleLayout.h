#pragma once

// Where a bundle folder keeps its parts. Plain C++ only, usable before main.
//
// An application-style bundle keeps them in "Contents" ("Contents/MacOS/<exe>",
// "Contents/Resources", ...); a folder without "Contents" keeps them at its
// top, its executable beside its Info.plist. A ".framework" keeps them at its
// top, and its executable is the file named as the framework ("X.framework/X").

#include <string>

namespace qirn::host {

// Whether the folder's extension is "framework" (any case).
bool IsFrameworkPath(const std::string& inBundlePath);

// The folder that holds the bundle's parts: "<bundle>/Contents", or the
// bundle itself for a framework or a folder without "Contents".
std::string GetBundleContentsPath(const std::string& inBundlePath);

// The executable's path (whether or not it exists); empty when the bundle's
// Info.plist names none (a framework's needs no Info.plist).
std::string GetBundleExecutablePath(const std::string& inBundlePath);

// "Resources", "PlugIns" and "Frameworks" in the contents folder (whether or
// not they exist).
std::string GetBundleResourcesPath(const std::string& inBundlePath);
std::string GetBundlePlugInsPath(const std::string& inBundlePath);
std::string GetBundleFrameworksPath(const std::string& inBundlePath);

} // namespace qirn::host
