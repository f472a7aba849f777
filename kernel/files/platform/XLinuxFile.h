#pragma once

#include "core/VObject.h"

#include <string>

namespace qirn {

enum FileAccess : int32;
class VFile;
class VFileDesc;
class VFileKind;
class VFilePath;
class VFileSystem;
class VString;
class VTime;

// An errno value as the platform layer answers it: a 'POSX' cause, 0 for 0.
inline VError PosixCause(int32 inErrno)
{
	return inErrno == 0 ? VE_OK : MAKE_VERROR('POSX', inErrno);
}

// The Linux file layer. Its static path services are the only place where
// kernel paths meet the system's path text: POSIX paths are bytes, taken
// and given back exactly (XLinuxPathBytes), and every absolute path lies on
// the one volume "/" (XLinuxVolumes), so the conversions are string work.
//
// An instance is the platform part of one VFile: it keeps the file's POSIX
// path as bytes and answers 0, a 'POSX' cause (an errno value) or a kernel
// code, which VFile turns into its errors. Every operation is a call into
// the POSIX layer (PosixFileOps.h) or the host's trash: none follows a final
// link unless it says so. Copies and moves run on the calling thread: a
// fiber task calling them blocks its thread for their length.
class XLinuxFile : public VObject {
public:
	XLinuxFile() = default;
	explicit XLinuxFile(const char* inPosixPath);
	XLinuxFile(const XLinuxFile&) = delete;
	XLinuxFile& operator=(const XLinuxFile&) = delete;

	// Records the owner and, unless bytes were given, takes its path's.
	void Init(VFile* inOwner);
	const char* GetPosixBytes() const { return fPosixPath.c_str(); }

	// File operations --------------------------------------------------------

	VError Open(FileAccess inAccess, uint32 inOptions, VFileDesc** outDesc) const;
	// Mode 0644 less the umask; with option 4 an existing file is replaced.
	VError Create(uint32 inOptions, uint32 inMode = 0644) const;
	// A destination that is a folder path gets this file's name. Option 4
	// replaces an existing target, never the source itself (EINVAL).
	VError Copy(const VFilePath& inDestination, VFileSystem* inFileSystem, VFile** outFile, uint32 inOptions) const;
	VError Move(const VFilePath& inDestination, VFileSystem* inFileSystem, VFile** outFile, uint32 inOptions) const;
	VError Rename(const VString& inNewName, VFile** outFile) const;
	// Never replaces: an existing target is EEXIST.
	static VError RenamePath(const char* inFrom, const VFilePath& inTo);
	VError Delete() const;
	VError MoveToTrash() const;
	// A regular file or a link (dangling or not).
	bool Exists() const;
	// A link's own size.
	VError GetSize(sLONG8* outSize) const;
	// Linux files have no forks: none, of size 0.
	bool HasResourceFork() const { return false; }
	VError GetResourceForkSize(sLONG8* outSize) const;
	VError GetTimeAttributes(VTime* outModified, VTime* outCreated, VTime* outAccessed) const;
	VError SetTimeAttributes(const VTime* inModified, const VTime* inCreated, const VTime* inAccessed) const;
	VError GetFileAttributes(uint32& outAttributes) const;
	VError SetFileAttributes(uint32 inAttributes) const;
	VError GetVolumeFreeSpace(sLONG8* outFree, sLONG8* outTotal, bool inWithQuotas, const VFileDesc* inDesc) const;
	// Shows the file in the desktop's file manager (FileManager1 on the
	// session bus).
	VError RevealInFinder() const;
	bool IsSymbolicLink() const;
	VError ReadSymbolicLink(VString& outText) const;
	// Links are this system's aliases: a link resolves (realpath) to its
	// final target; a plain file is no alias (611 raised on the owner).
	VError ResolveAlias(VFilePath& outTarget) const;
	bool IsAliasFile() const { return IsSymbolicLink(); }
	// A link to the target, relative to inRelativeTo's folder when given.
	VError CreateAlias(const VFilePath& inTarget, const VFilePath* inRelativeTo) const;
	VError CreateSymbolicLink(const VFilePath& inTarget, bool inAbsolute) const;
	VError GetOwner(uint32& outUser, uint32& outGroup) const;
	VError MakeWritableByAll() const;
	bool IsWritableByAll() const;
	VError SetPermissions(uint16 inMode) const;
	VError GetPermissions(uint16* outMode) const;
	// By the file's extension: Linux has no type identifiers of files.
	VError ConformsTo(const VFileKind& inKind, bool& outConforms) const;
	VError GetPosixPath(VString& outPath) const;
	VError Unlock() const;

	// Path operations ---------------------------------------------------------

	// Bits: 1 locked (the immutable inode flag), 2 hidden (a name beginning
	// with '.': Linux keeps no other hidden mark, so setting 2 changes nothing).
	static VError GetPathAttributes(const char* inPath, bool inFollowLinks, uint32& outAttributes);
	static VError SetPathAttributes(const char* inPath, bool inFollowLinks, uint32 inAttributes);
	static VError GetTimeAttributes(const char* inPath, bool inFollowLinks, VTime* outModified, VTime* outCreated,
									VTime* outAccessed);
	// Never follows a final link; the creation time cannot be set on Linux.
	static VError SetTimeAttributes(const char* inPath, const VTime* inModified, const VTime* inCreated,
									const VTime* inAccessed);
	static VError GetVolumeFreeSpace(const char* inPath, sLONG8* outFree, sLONG8* outTotal, bool inWithQuotas,
									 const VFileDesc* inDesc);
	// Clears the immutable and append-only flags and, for root or the owner,
	// completes the owner's bits (0700 for a folder, 0600 otherwise).
	static VError UnlockPath(const char* inPath, bool inFollowLinks);
	// The caller's rights on the entry: 4 read, 2 write, 1 execute or search.
	static VError GetEffectivePermission(const char* inPath, uint32& outPermission);
	// The entry's real path, every link followed, without opening it. With
	// inMustExist false a missing last element is kept as given.
	static bool RealPath(const char* inPath, bool inMustExist, std::string& outPath);

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

private:
	VError _CopyOrMove(bool inCopy, const VFilePath& inDestination, VFileSystem* inFileSystem, VFile** outFile,
					   uint32 inOptions) const;

	VFile* fOwner = nullptr;
	std::string fPosixPath;
};

// The platform part of an open VFileDesc: the descriptor (closed with it)
// and the descriptor's own position.
class XLinuxFileDesc : public VObject {
public:
	explicit XLinuxFileDesc(int inDescriptor) : fDescriptor(inDescriptor) {}
	~XLinuxFileDesc() override;
	XLinuxFileDesc(const XLinuxFileDesc&) = delete;
	XLinuxFileDesc& operator=(const XLinuxFileDesc&) = delete;

	int GetDescriptor() const { return fDescriptor; }
	VError GetSize(sLONG8* outSize) const;
	VError SetSize(sLONG8 inSize) const;
	VError Flush() const;
	sLONG8 GetPos() const { return fPosition; }
	void SetPos(sLONG8 inPosition, bool inFromStart) { fPosition = inFromStart ? inPosition : fPosition + inPosition; }
	// At inOffset, or the position plus inOffset without inFromStart (the
	// position then advances). ioCount gets what was moved: a short read is
	// the end of the file (200), a short write 'POSX' EINVAL.
	VError GetData(void* outData, VSize& ioCount, sLONG8 inOffset, bool inFromStart);
	VError PutData(const void* inData, VSize& ioCount, sLONG8 inOffset, bool inFromStart);

private:
	int fDescriptor;
	sLONG8 fPosition = 0;
};

} // namespace qirn
