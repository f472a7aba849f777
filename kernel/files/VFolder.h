#pragma once

#include "core/VObject.h"
#include "files/IFolder.h"
#include "files/VFolderKinds.h"
#include "files/platform/XLinuxFolder.h"

#include <utility>
#include <vector>

namespace qirn {

class VFile;
class VFileSystem;
class VTime;

// A folder on disk: a reference-counted handle on a folder path, which may
// belong to a file system. It never changes once made: operations that
// move it hand back a new folder. Failures are VFileErrors on the folder
// (with the system's cause beneath) raised on the current task; the
// operation answers the error's code.
class VFolder : public VObject, public IFolder {
public:
	// CopyTo and CopyContentsTo option bits.
	static constexpr uint32 kCopyReplace = 4;
	static constexpr uint32 kCopyKeepGoing = 8;
	static constexpr uint32 kCopyWithoutHidden = 16;

	explicit VFolder(const VFilePath& inPath, VFileSystem* inFileSystem = nullptr);
	VFolder(const VFolder& inOther);
	VFolder(const VString& inFullPath, FilePathStyle inStyle);
	// A folder below the parent, in the parent's file system while it lies
	// inside its root.
	VFolder(const VFolder& inParent, const VString& inRelativePath, FilePathStyle inStyle);
	// A walker's entry: the POSIX text is taken as it is.
	VFolder(const char* inPosixPath, const VFilePath& inPath, VFileSystem* inFileSystem);
	VFolder& operator=(const VFolder&) = delete;

	// Existence and creation ---------------------------------------------------
	// False for a path that is not a folder path; links are followed.
	bool Exists() const override;
	VError Create() const;
	// The missing parents first; with the flag every folder made here becomes
	// writable by all.
	VError CreateRecursive(bool inMakeWritableByAll = false) const;
	VError MakeWritableByAll() const;
	// True when the folder does not exist or holds nothing, hidden entries
	// counted.
	bool IsEmpty() const;

	// Deletion ----------------------------------------------------------------
	// A folder that is not empty is emptied first with the flag, refused (651)
	// without. A folder whose path is a link: with the flag the link is
	// removed, never what it leads to; without, refused.
	VError Delete(bool inDeleteContents) const;
	// Sub-folders (with the flag) and files, stopping at the first error.
	VError DeleteContents(bool inDeleteSubFolders) const;
	// The whole tree, unlocking what resists; a link is removed as a link.
	VError DeleteForced() const;
	// Nothing to do for a missing folder.
	VError MoveToTrash() const;

	// Renaming, moving, copying -----------------------------------------------
	// Never replaces: an existing target fails.
	VError Rename(const VString& inNewName, VFolder** outFolder = nullptr) const;
	VError Move(const VFolder& inDestination, VFolder** outFolder) const;
	VError Move(const VFolder& inDestination, const VString& inNewName, VFolder** outFolder) const;
	// Into the destination, under this folder's name or the one given. A
	// target that is this folder, lies inside it or holds it is refused
	// (660) before anything changes.
	VError CopyTo(const VFolder& inDestination, VFolder** outFolder, uint32 inOptions) const;
	VError CopyTo(const VFolder& inDestination, const VString& inName, VFolder** outFolder,
				  uint32 inOptions) const;
	VError CopyContentsTo(const VFolder& inDestination, uint32 inOptions) const;

	// Contents ------------------------------------------------------------------
	// The visible files and sub-folders (either list may be null).
	void GetContents(std::vector<VRefPtr<VFile>>* outFiles, std::vector<VRefPtr<VFolder>>* outFolders) const;
	[[nodiscard]] VFile* RetainRelativeFile(const VString& inRelativePath, FilePathStyle inStyle) const;
	bool GetElements(std::vector<VRefPtr<IFile>>* outFiles, std::vector<VRefPtr<IFolder>>* outFolders,
					 bool inWithInvisible) const override;
	// Recursion (option 1) never enters a folder already on the walked path:
	// a link back to an ancestor is handed to the function, not walked again.
	bool IterateFiles(const std::function<bool(IFile*, IFileAttributeAccessor*)>& inFunction,
					  uint32 inOptions) const override;
	bool IterateFolders(const std::function<bool(IFolder*, IFileAttributeAccessor*)>& inFunction,
						uint32 inOptions) const override;
	[[nodiscard]] VFolder* RetainRelativeFolder(const VString& inRelativePath, FilePathStyle inStyle,
												VFileSystem* inFileSystem = nullptr) const override;
	[[nodiscard]] IFile* _RetainRelativeIFile(const VString& inRelativePath, FilePathStyle inStyle) const override;
	[[nodiscard]] VFolder* RetainParentFolder(bool inSandboxed = false) const override;

	// Paths, URLs, attributes -----------------------------------------------
	const VFilePath& GetPath() const override { return fPath; }
	VFileSystem* GetFileSystem() const override { return fFileSystem; }
	void GetPlatformPath(VString& outPath, FilePathStyle inStyle) const override;
	VString GetPathWithFileSystem() const override;
	void GetURL(VString& outURL, bool inEncoded) const;
	void GetRelativeURL(const VFolder* inBase, VString& outURL, bool inEncoded) const;
	VError GetTimeAttributes(VTime* outModified, VTime* outCreated, VTime* outAccessed) const override;
	VError SetTimeAttributes(const VTime* inModified, const VTime* inCreated, const VTime* inAccessed) const;
	VError GetVolumeCapacity(sLONG8* outTotal) const;
	VError GetVolumeFreeSpace(sLONG8* outFree, bool inWithQuotas = true) const;
	VError MAC_GetPermissions(uint16* outMode) const;
	VError MAC_SetPermissions(uint16 inMode) const;
	VError Mac_GetOwner(uint32& outUser, uint32& outGroup) const;
	VError IsHidden(bool& outHidden) const { return fPlatform.IsHidden(outHidden); }
	bool IsWritableByAll() const { return fPlatform.IsWritableByAll(); }
	// Bits: 1 locked, 2 hidden (a name beginning with '.').
	VError GetFolderAttributes(uint32& outAttributes) const { return fPlatform.GetFolderAttributes(outAttributes); }
	VError SetFolderAttributes(uint32 inAttributes) const { return fPlatform.SetFolderAttributes(inAttributes); }

	// The system folder of the kind (one reference for the caller); null when
	// Linux has none.
	[[nodiscard]] static VFolder* RetainSystemFolder(ESystemFolderKind inKind, bool inCreate);
	// Shows the folder in the desktop's file manager; with the flag, its
	// first file or folder instead. False, with 656 raised, when it could not.
	bool RevealInFinder(bool inRevealContent = false) const;

	// A folder named by a link (or alias) in its place becomes the folder the
	// link leads to. One that cannot be resolved to a folder is deleted with
	// the flag (the folder pointed to kept), refused without (618).
	static VError ResolveAliasFolder(VFolder** ioFolder, bool inDeleteIfUnresolved);
	[[nodiscard]] static VFolder* CreateAndResolveAlias(const VFolder& inParent, const VString& inName);

	const XLinuxFolder& GetPlatform() const { return fPlatform; }

	// What putting a parent's mode back after a forced removal failed with:
	// raised (655) beneath the removal's own answer.
	void _ThrowRestoreError(VError inNativeError) const;

private:
	~VFolder() override;

	void _Init(VFileSystem* inFileSystem);
	// The folder error rule: a native error becomes a VFileError of
	// inDefault on this folder with the native cause kept; any other code
	// passes unchanged; 0 is 0.
	VError _Wrap(VError inError, VError inDefault) const;
	VError _Throw(VError inError) const;
	VError _ThrowCopyIntoItself(const VFilePath& inDestination) const;
	// Where the target lies from this folder, by the paths' texts and by
	// what the disk says they lead to.
	enum class ERelation { kApart, kSame, kInside, kHolds };
	ERelation _RelationTo(const VFolder& inTarget) const;

	using FolderIdentities = std::vector<std::pair<uint64, uint64>>;
	bool _IterateFiles(const std::function<bool(IFile*, IFileAttributeAccessor*)>& inFunction, uint32 inOptions,
					   FolderIdentities& ioPath, bool& ioStopped) const;
	bool _IterateFolders(const std::function<bool(IFolder*, IFileAttributeAccessor*)>& inFunction,
						 uint32 inOptions, FolderIdentities& ioPath, bool& ioStopped) const;

	XLinuxFolder fPlatform;
	VFilePath fPath;
	VFileSystem* fFileSystem = nullptr;
};

} // namespace qirn
