#pragma once

#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "files/IFile.h"
#include "files/VFilePath.h"
#include "files/platform/XLinuxFile.h"

#include <atomic>
#include <functional>
#include <optional>

namespace qirn {

class VFileDesc;
class VFileError;
class VFileKind;
class VFolder;
class VTime;
class VURL;

// How a file is opened.
enum FileAccess : int32 {
	FA_READ = 0,
	FA_READ_WRITE = 1,		 // exclusive: a lock held elsewhere refuses the open
	FA_SHARED = 2,			 // read-write, shared with other shared openers
	FA_MAX = 3,				 // read-write exclusive, else read only
};

// Open options.
constexpr uint32 FO_OpenResourceFork = 0x01; // no forks on Linux: refused
constexpr uint32 FO_CreateIfNotFound = 0x02; // 0644 less the umask
constexpr uint32 FO_Overwrite = 0x04;		 // emptied once the lock is held
constexpr uint32 FO_ReadAhead = 0x08;
constexpr uint32 FO_NoCache = 0x20;
constexpr uint32 FO_NoCacheWrite = 0x40;
constexpr uint32 FO_FollowLink = 0x80; // without it a final link is refused

// Copy and move options.
constexpr uint32 FCP_Overwrite = 0x04; // an existing target (never the source itself) is replaced

// A file on disk by its path, optionally in a named file system: every file
// operation of the kernel. Failures are VFileErrors raised on the task (the
// system's errno kept below them as a 'POSX' cause) and answered.
class VFile : public VObject, public IFile {
public:
	VFile(const VFile& inOther);
	explicit VFile(const VURL& inURL);
	VFile(const VString& inFullPath, FilePathStyle inStyle = FPS_SYSTEM);
	explicit VFile(const VFilePath& inPath, VFileSystem* inFileSystem = nullptr);
	VFile(const VFolder& inFolder, const VString& inRelativePath, FilePathStyle inStyle = FPS_SYSTEM);
	VFile(const VFilePath& inBase, const VString& inRelativePath, FilePathStyle inStyle);
	// The platform file takes the bytes as its POSIX path, exactly.
	VFile(const char* inPosixPath, const VFilePath& inPath, VFileSystem* inFileSystem);
	~VFile() override;

	VFile& operator=(const VFile&) = delete;

	// Opening ----------------------------------------------------------------

	// *outDesc is null, then a new descriptor (the caller deletes it).
	VError Open(FileAccess inAccess, VFileDesc** outDesc, uint32 inOptions = 0) const;
	VError Create(uint32 inOptions = 0) const;

	// Copy, move, rename ----------------------------------------------------

	// A destination that is a folder path receives the file under its own
	// name. The source itself (same path, same inode) is refused, touching
	// nothing.
	VError CopyTo(const VFilePath& inDestination, VFile** outFile, uint32 inOptions = 0) const;
	VError CopyTo(const VFile& inDestination, uint32 inOptions = 0) const;
	VError CopyTo(const VFolder& inDestination, VFile** outFile, uint32 inOptions = 0) const;
	VError CopyTo(const IFile& inDestination, uint32 inOptions) const override;
	VError CopyTo(const IFolder& inDestination, VFile** outFile, uint32 inOptions) const override;
	VError CopyFrom(const VFile& inSource, uint32 inOptions = 0) const;
	// Never replaces: an existing name is refused.
	VError Rename(const VString& inNewName, VFile** outFile) const;
	VError Move(const VFilePath& inDestination, VFile** outFile, uint32 inOptions = 0) const;
	VError Move(const VFile& inDestination, uint32 inOptions = 0) const;
	VError Move(const VFolder& inDestination, VFile** outFile, uint32 inOptions = 0) const;

	// A file that is not there is no error.
	VError Delete() const override;
	VError MoveToTrash() const;

	// Attributes -------------------------------------------------------------

	bool Exists() const override;
	VError GetSize(sLONG8* outSize) const override;
	bool HasResourceFork() const;
	VError GetResourceForkSize(sLONG8* outSize) const;
	VError GetTimeAttributes(VTime* outModified, VTime* outCreated, VTime* outAccessed) const override;
	// Linux keeps no settable creation time: inCreated is ignored.
	VError SetTimeAttributes(const VTime* inModified, const VTime* inCreated, const VTime* inAccessed) const;
	// Bits: 1 locked (immutable), 2 hidden (a name beginning with '.').
	VError GetFileAttributes(uint32& outAttributes) const;
	VError SetFileAttributes(uint32 inAttributes) const;
	VError GetVolumeFreeSpace(sLONG8* outFree, sLONG8* outTotal, bool inWithQuotas = true, uint32 inMaxAgeMs = 0,
							  const VFileDesc* inDesc = nullptr) const;
	bool RevealInFinder() const;

	// Links ------------------------------------------------------------------

	bool IsAliasFile() const;
	VError ResolveAlias(VFilePath& outTarget) const;
	static VError ResolveAliasFile(VFile** ioFile, bool inDeleteUnresolved);
	static VError ResolveAliasFile(VRefPtr<VFile>& ioFile, bool inDeleteUnresolved);
	[[nodiscard]] static VFile* CreateAndResolveAlias(const VFolder& inFolder, const VString& inName,
													  FilePathStyle inStyle = FPS_SYSTEM);
	VError CreateAlias(const VFilePath& inTarget, const VFilePath* inRelativeTo) const;

	bool IsSameFile(const VFile* inOther) const;
	bool ConformsTo(const VFileKind& inKind) const;
	bool ConformsTo(const VString& inKindIdentifier) const;

	// Owner and permissions -------------------------------------------------

	VError MAC_GetKind(uint32* outKind) const;
	VError MAC_GetCreator(uint32* outCreator) const;
	VError MAC_SetKind(uint32 inKind) const;
	VError MAC_SetCreator(uint32 inCreator) const;
	VError Mac_GetOwner(uint32& outUser, uint32& outGroup) const;
	VError MAC_SetExtensionVisible(bool inVisible) const;
	VError MAC_MakeWritableByAll() const;
	bool MAC_IsWritableByAll() const;
	VError MAC_SetPermissions(uint16 inMode) const;
	VError MAC_GetPermissions(uint16* outMode) const;
	bool MAC_IsSymbolicLink() const;
	VError MAC_CreateSymbolicLink(const VFilePath& inTarget, bool inRelative) const;

	// URLs -------------------------------------------------------------------

	void GetURL(VString& outURL, bool inEncoded) const;
	void GetRelativeURL(VFolder* inBaseFolder, VString& outURL, bool inEncoded) const;

	// A new empty file (mode 0600) in the temporary folder, named "qrn_" and 32
	// hexadecimal digits; null when it cannot be made.
	[[nodiscard]] static VFile* CreateTemporaryFile();

	// Content ----------------------------------------------------------------

	VError GetContent(VMemoryBuffer<>& outContent) const override;
	VError GetData(void* outData, VSize inSize, VSize* outRead) const override;
	VError SetContent(const void* inData, VSize inSize) const override;
	VError AppendContent(const void* inData, VSize inSize) const override;
	bool IsWritable() const override;
	VError Unlock() const;

	// Path -------------------------------------------------------------------

	const VFilePath& GetPath() const override { return fPath; }
	void GetPlatformPath(VString& outPath, FilePathStyle inStyle) const override;
	VString GetPathWithFileSystem() const override;
	VFileSystem* GetFileSystem() const override { return fFileSystem; }
	[[nodiscard]] IFolder* RetainParentFolder(bool inSandboxed) const override;
	void GetNameWithoutExtension(VString& outName) const override { IFile::GetNameWithoutExtension(outName); }

	const XLinuxFile& GetImpl() const { return fImpl; }

	using VObject::DebugDump;
	CharSet DebugDump(char* ioBuffer, int32& ioSize) const override;

private:
	struct VolumeInfo;

	void _Bind();
	VError _Move(const VFilePath& inDestination, VFileSystem* inFileSystem, VFile** outFile, uint32 inOptions) const;
	// The file system a copy or move lands in: this file's, when its root
	// holds the destination; none otherwise.
	VFileSystem* _FileSystemHolding(const VFilePath& inDestination) const;
	// What the file system's attributes cache knows, when it knows the path.
	std::optional<bool> _CachedExistence() const;
	bool _CachedTimes(VTime* outModified, VTime* outCreated, VTime* outAccessed) const;
	// Makes the folder the file lives in, with its missing ancestors.
	void _CreateParentFolder() const;
	// The platform's answer as the operation's: a system cause becomes a
	// VFileError with inDefault as its code; kernel codes pass unchanged.
	VError _Wrap(VError inNative, VError inDefault) const;
	VError _WrapWith(VError inNative, VError inDefault, const std::function<void(VFileError&)>& inParameters) const;

	XLinuxFile fImpl;
	VFilePath fPath;
	VFileSystem* fFileSystem = nullptr;
	mutable std::atomic<VolumeInfo*> fVolumeInfo{nullptr};
};

} // namespace qirn
