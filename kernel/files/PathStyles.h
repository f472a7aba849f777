#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

class VString;

// Styles of path text. 0 is the kernel's own form (volume name first, ':'
// between elements, a folder ending with ':'); every other value reads and
// writes POSIX text.
enum FilePathStyle {
	FPS_SYSTEM = 0,
	FPS_POSIX = 1,
};

// Styles of the path-style conversions; HFS style is the kernel's own form.
enum EURLPathStyle {
	eURL_POSIX_STYLE = 0,
	eURL_HFS_STYLE = 1,
	eURL_WIN_STYLE = 2,
};

// The path-style conversions, in place. A full path (inRelative false) maps
// the mount point to its volume and back through the platform file layer; a
// relative text maps separators and steps alone:
//   POSIX "a/b/" is "a:b:", "../x" is ":x", "a/../b" is "a::b", and a ':' in a
//   POSIX name is a '/' in the kernel's name, and the reverse.
// Any pair of styles not named below leaves the text as it is.
void ConvertPathStyle(VString& ioText, EURLPathStyle inFrom, EURLPathStyle inTo, bool inRelative);
void PosixPathToHFS(VString& ioText, bool inRelative);
void HFSPathToPosix(VString& ioText, bool inRelative);
// Every '/' becomes a backslash, and the reverse.
void PosixPathToWindows(VString& ioText);
void WindowsPathToPosix(VString& ioText);

// The relative rules on raw units, appending to ioOut.
void AppendPosixRelativeAsHFS(const UniChar* inUnits, VIndex inLength, VString& ioOut);
void AppendHFSRelativeAsPosix(const UniChar* inUnits, VIndex inLength, VString& ioOut);

} // namespace qirn
