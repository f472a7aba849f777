#pragma once

#include "core/VObject.h"
#include "files/VFolderKinds.h"

#include <string>

struct stat;

namespace qirn {

class VFilePath;
class VFolder;
class VString;
class VTime;

// The Linux side of a VFolder: the disk operations on its POSIX path, over
// the POSIX file layer (PosixFileOps), GIO's trash, GLib's XDG folders and
// the desktop's file manager over D-Bus. Answers 0 or raw errors ('POSX'
// with the errno value, or a kernel code); turning them into VFileErrors is
// VFolder's business.
class XLinuxFolder : public VObject {
public:
	XLinuxFolder() = default;
	// The POSIX text taken as it is (a walker's entry).
	explicit XLinuxFolder(const char* inPosixPath);
	~XLinuxFolder() override;
	XLinuxFolder(const XLinuxFolder&) = delete;
	XLinuxFolder& operator=(const XLinuxFolder&) = delete;

	// Binds the owner and, when no path was given, takes the owner's.
	void Init(VFolder* inOwner);

	// The path as bytes ending with '/'; empty when the owner's path has none.
	const char* GetPosixPathBytes() const { return fPosixPath != nullptr ? fPosixPath : ""; }

	VError Create() const;
	// Removes the folder when it is empty; a link in its place is refused
	// (ENOTDIR), never followed.
	VError Delete() const;
	bool Exists(bool inFollowLinks) const;
	VError MoveToTrash() const;
	VError RevealInFinder() const;
	VError IsHidden(bool& outHidden) const;
	// Renames in place, never replacing.
	VError Rename(const VString& inNewName, VFolder** outFolder) const;
	// Into the destination under the name (this folder's own when null or
	// empty), never replacing.
	VError Move(const VFolder& inDestination, const VString* inName, VFolder** outFolder) const;
	// The whole tree to a target that must not exist yet.
	VError CopyToNonExistingFolder(const VFolder& inDestination, const VString& inName) const;
	VError GetTimeAttributes(VTime* outModified, VTime* outCreated, VTime* outAccessed) const;
	// Linux keeps no way to set a creation time: it is ignored.
	VError SetTimeAttributes(const VTime* inModified, const VTime* inCreated, const VTime* inAccessed) const;
	VError GetVolumeCapacity(sLONG8* outTotal) const;
	VError GetVolumeFreeSpace(sLONG8* outFree, bool inWithQuotas) const;
	VError GetPosixPath(VString& outPath) const;
	VError MakeWritableByAll() const;
	VError GetPermissions(uint16* outMode) const;
	VError SetPermissions(uint16 inMode) const;
	bool IsWritableByAll() const;
	VError GetOwner(uint32& outUser, uint32& outGroup) const;
	bool IsTraversable() const;
	// Bits: 1 locked, 2 hidden (a name beginning with '.').
	VError GetFolderAttributes(uint32& outAttributes) const;
	VError SetFolderAttributes(uint32 inAttributes) const;
	// The whole tree removed: links as links, a folder that resists unlocked,
	// a parent the owner cannot write opened up and given its mode back.
	VError DeleteForced() const;

	// The folder of the kind (null and 0 when there is none for it); GLib's
	// XDG folders.
	static VError RetainSystemFolder(ESystemFolderKind inKind, bool inCreate, VFolder** outFolder);

	// Whether the path itself (a final '/' ignored) is a symbolic link.
	bool IsLink() const;
	// The folder and everything below it, stopping at the first failure; a
	// link in its place is removed as a link.
	VError DeleteTree() const;

	// The real path (links and steps resolved), ending with '/'; empty when
	// it cannot be resolved. Without inMustExist a missing last element is
	// kept as given.
	static std::string RealPath(const char* inPosixPath, bool inMustExist = true);

	// The device and inode the path leads to (links followed); false when it
	// leads nowhere. A walk uses them to know the folders it is inside.
	bool GetIdentity(uint64& outDevice, uint64& outInode) const;

private:
	// errno values, on paths of any length.
	int32 _Stat(bool inFollowLinks, struct stat& outStatus) const;
	VError _ChangeMode(uint32 inMode) const;

	VFolder* fOwner = nullptr;
	char* fPosixPath = nullptr;
};

} // namespace qirn
