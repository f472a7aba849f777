#pragma once

#include "core/VObject.h"

namespace qirn {

class VFileKind;
class VFilePath;
class VString;

// The Linux file layer. Its static path services are the only place where
// kernel paths meet the system's path text: POSIX paths are bytes, taken
// and given back exactly (XLinuxPathBytes), and every absolute path lies on
// the one volume "/" (XLinuxVolumes), so the conversions are string work.
class XLinuxFile : public VObject {
public:
	// Path services ----------------------------------------------------------

	// The path's POSIX text as a NUL-terminated byte string from the memory
	// manager (VMemory::DisposePtr frees it); null when memory is short.
	[[nodiscard]] static char* AllocatePosixPathFromFilePath(const VFilePath& inPath);
	// The same from POSIX text. Text that names no byte string (a lone
	// surrogate, a NUL that would cut the path short) gives an empty string.
	[[nodiscard]] static char* AllocatePosixPathFromString(const VString& inPosixPath);
	// A path from POSIX bytes: null clears it; a folder gets its final '/'.
	static void GetFilePathFromPosixPath(const char* inPosixPath, bool inIsFolder, VFilePath& outPath);
	// Whether the last element (a final '/' ignored) begins with '.'; false
	// for a text shorter than two bytes.
	static bool PosixNameBeginsWithDot(const char* inPosixPath);

	// An absolute POSIX path as the kernel's text: the root's volume name,
	// then the elements, each followed by ':' for a folder; a ':' in a name
	// becomes '/'. Runs of '/' and "." steps go; ".." steps stay as "::" for
	// the path to resolve. False for a text that is not absolute or a root
	// with no volume. Nothing is asked of the disk: inMustExist changes
	// nothing on Linux.
	static bool PosixFullPathToHFS(const char* inPosixPath, bool inMustExist, VString& outHFSPath);
	static bool PosixFullPathToHFS(const VString& inPosixPath, bool inMustExist, VString& outHFSPath);
	// The reverse: the volume's mount path, then the elements with '/' and
	// ':' swapped. False, the text then beginning with "/" and the name, when
	// no volume has that name.
	static bool HFSFullPathToPosix(const VString& inHFSPath, VString& outPosixPath);

	static constexpr int32 kTag_PosixPath = 'ppth';

	// File kinds -------------------------------------------------------------

	// Linux has no system type database: there are no public kinds (null),
	// and a kind conforms to another when it is that kind or reaches it
	// through the parent identifiers of kinds the manager knows.
	[[nodiscard]] static VFileKind* CreatePublicFileKind(const VString& inIdentifier);
	[[nodiscard]] static VFileKind* CreatePublicFileKindFromOsKind(const VString& inOsKind);
	[[nodiscard]] static VFileKind* CreatePublicFileKindFromExtension(const VString& inExtension);
	static bool IsFileKindConformsTo(const VFileKind& inKind, const VFileKind& inParentKind);
};

} // namespace qirn
