#pragma once

// The main bundle and its Info.plist. Plain C++ only: this runs before main,
// before the kernel's memory manager exists.
//
// The bundle is found from the running executable: ".../X.app/Contents/MacOS/exe"
// gives ".../X.app"; an executable outside that layout gives its own folder.
// A folder with a "Contents" folder keeps its Info.plist there; a plain
// folder's is "Info.plist" beside the executable.

#include <cstddef>
#include <string>

namespace qirn::host {

// The running executable's full path.
bool CopyExecutablePath(char* outPath, size_t inSize);

// The main bundle's folder, without a trailing '/'.
bool CopyMainBundlePath(char* outPath, size_t inSize);

// The bundle folder that holds an executable path, by the rule above.
std::string GetBundlePathForExecutable(const std::string& inExecutablePath);

// The Info.plist path of a bundle folder (whether or not the file exists).
std::string GetInfoPlistPath(const std::string& inBundlePath);

// A string value of a bundle's Info.plist (XML or binary). False when the
// file, the key or a string value is missing, or when it does not fit.
bool CopyBundleInfoString(const char* inBundlePath, const char* inKey, char* outValue, size_t inSize);
bool CopyMainBundleInfoString(const char* inKey, char* outValue, size_t inSize);

} // namespace qirn::host
