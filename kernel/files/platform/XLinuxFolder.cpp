#include "files/platform/XLinuxFolder.h"

#include "core/VMemory.h"
#include "core/VTime.h"
#include "files/FileErrorCodes.h"
#include "files/VFolder.h"
#include "files/platform/PosixFileOps.h"
#include "files/platform/PosixFileOpsAt.h"
#include "files/platform/XLinuxFile.h"
#include "files/platform/XLinuxPathBytes.h"
#include "host/HostReveal.h"
#include "host/HostTrash.h"
#include "runtime/VErrorBase.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qirn {

namespace {

VError PosixError(int32 inErrno)
{
	return inErrno == 0 ? VE_OK : MAKE_VERROR(kCOMPONENT_SIGNATURE_POSIX, inErrno);
}

VError LastPosixError()
{
	return MAKE_VERROR(kCOMPONENT_SIGNATURE_POSIX, errno);
}

// The target of a move or copy: the destination's path and the name.
char* AllocateTargetPath(const VFolder& inDestination, const VString& inName, VFilePath& outTarget)
{
	outTarget = inDestination.GetPath();
	if (!outTarget.ToSubFolder(inName) || !outTarget.IsFolder())
		return nullptr;
	return XLinuxFile::AllocatePosixPathFromFilePath(outTarget);
}

struct StPosixPath {
	explicit StPosixPath(char* inPath) : fPath(inPath) {}
	~StPosixPath() { VMemory::DisposePtr(fPath); }
	StPosixPath(const StPosixPath&) = delete;
	StPosixPath& operator=(const StPosixPath&) = delete;
	// Null, or empty: the path names no byte string.
	bool IsUsable() const { return fPath != nullptr && fPath[0] != 0; }
	char* fPath;
};

} // namespace

XLinuxFolder::XLinuxFolder(const char* inPosixPath)
{
	if (inPosixPath == nullptr)
		return;
	size_t length = std::strlen(inPosixPath);
	const bool addSlash = length == 0 || inPosixPath[length - 1] != '/';
	fPosixPath = static_cast<char*>(VMemory::NewPtr(length + (addSlash ? 2 : 1), XLinuxFile::kTag_PosixPath));
	if (fPosixPath != nullptr) {
		std::memcpy(fPosixPath, inPosixPath, length);
		if (addSlash)
			fPosixPath[length++] = '/';
		fPosixPath[length] = 0;
	}
}

XLinuxFolder::~XLinuxFolder()
{
	VMemory::DisposePtr(fPosixPath);
}

void XLinuxFolder::Init(VFolder* inOwner)
{
	fOwner = inOwner;
	if (fPosixPath == nullptr)
		fPosixPath = XLinuxFile::AllocatePosixPathFromFilePath(inOwner->GetPath());
}

VError XLinuxFolder::Create() const
{
	const PosixFileOps::StParent parent(GetPosixPathBytes());
	if (parent.Error() != 0)
		return PosixError(parent.Error());
	return ::mkdirat(parent.Folder(), parent.Name(), 0755) == 0 ? VE_OK : LastPosixError();
}

VError XLinuxFolder::Delete() const
{
	// A link in the folder's place is refused, never followed nor removed:
	// removing links is the forced removal's business.
	const PosixFileOps::StParent parent(GetPosixPathBytes());
	if (parent.Error() != 0)
		return PosixError(parent.Error());
	struct stat status{};
	if (::fstatat(parent.Folder(), parent.Name(), &status, AT_SYMLINK_NOFOLLOW) != 0)
		return LastPosixError();
	if (!S_ISDIR(status.st_mode))
		return PosixError(ENOTDIR);
	return ::unlinkat(parent.Folder(), parent.Name(), AT_REMOVEDIR) == 0 ? VE_OK : LastPosixError();
}

bool XLinuxFolder::Exists(bool inFollowLinks) const
{
	struct stat status{};
	return _Stat(inFollowLinks, status) == 0 && S_ISDIR(status.st_mode);
}

int32 XLinuxFolder::_Stat(bool inFollowLinks, struct stat& outStatus) const
{
	const PosixFileOps::StParent parent(GetPosixPathBytes());
	if (parent.Error() != 0)
		return parent.Error();
	return ::fstatat(parent.Folder(), parent.Name(), &outStatus, inFollowLinks ? 0 : AT_SYMLINK_NOFOLLOW) == 0 ? 0
																											   : errno;
}

bool XLinuxFolder::GetIdentity(uint64& outDevice, uint64& outInode) const
{
	struct stat status{};
	if (_Stat(true, status) != 0)
		return false;
	outDevice = status.st_dev;
	outInode = status.st_ino;
	return true;
}

bool XLinuxFolder::IsLink() const
{
	struct stat status{};
	return _Stat(false, status) == 0 && S_ISLNK(status.st_mode);
}

VError XLinuxFolder::DeleteTree() const
{
	return PosixError(PosixFileOps::RemoveTree(GetPosixPathBytes(), false));
}

std::string XLinuxFolder::RealPath(const char* inPosixPath, bool inMustExist)
{
	std::string path;
	if (!XLinuxFile::RealPath(inPosixPath, inMustExist, path))
		return std::string();
	if (path.empty() || path.back() != '/')
		path.push_back('/');
	return path;
}

VError XLinuxFolder::MoveToTrash() const
{
	return PosixError(host::MoveToTrash(GetPosixPathBytes()));
}

VError XLinuxFolder::RevealInFinder() const
{
	return PosixError(host::RevealItem(GetPosixPathBytes()));
}

VError XLinuxFolder::IsHidden(bool& outHidden) const
{
	outHidden = false;
	struct stat status{};
	if (const int32 error = _Stat(true, status); error != 0)
		return PosixError(error);
	VString name;
	fOwner->GetName(name);
	outHidden = !name.IsEmpty() && name.GetCPointer()[0] == u'.';
	return VE_OK;
}

VError XLinuxFolder::Rename(const VString& inNewName, VFolder** outFolder) const
{
	if (outFolder != nullptr)
		*outFolder = nullptr;
	VFilePath target(fOwner->GetPath());
	if (!target.SetName(inNewName))
		return VE_FILE_BAD_NAME; // raised by SetName
	StPosixPath targetBytes(XLinuxFile::AllocatePosixPathFromFilePath(target));
	if (!targetBytes.IsUsable())
		return PosixError(targetBytes.fPath == nullptr ? ENOMEM : EINVAL);
	const int32 error = PosixFileOps::RenameExclusive(GetPosixPathBytes(), targetBytes.fPath);
	if (error == 0 && outFolder != nullptr)
		*outFolder = new VFolder(target, fOwner->GetFileSystem());
	return PosixError(error);
}

VError XLinuxFolder::Move(const VFolder& inDestination, const VString* inName, VFolder** outFolder) const
{
	if (outFolder != nullptr)
		*outFolder = nullptr;
	VString name;
	if (inName != nullptr && !inName->IsEmpty())
		name.FromString(*inName);
	else
		fOwner->GetName(name);
	VFilePath target;
	StPosixPath targetBytes(AllocateTargetPath(inDestination, name, target));
	if (!targetBytes.IsUsable())
		return PosixError(targetBytes.fPath == nullptr && target.IsValid() ? ENOMEM : EINVAL);
	const int32 error = PosixFileOps::Move(GetPosixPathBytes(), targetBytes.fPath, false);
	if (error == 0 && outFolder != nullptr)
		*outFolder = new VFolder(target, inDestination.GetFileSystem());
	return PosixError(error);
}

VError XLinuxFolder::CopyToNonExistingFolder(const VFolder& inDestination, const VString& inName) const
{
	VFilePath target;
	StPosixPath targetBytes(AllocateTargetPath(inDestination, inName, target));
	if (!targetBytes.IsUsable())
		return PosixError(targetBytes.fPath == nullptr && target.IsValid() ? ENOMEM : EINVAL);
	return PosixError(PosixFileOps::CopyTree(GetPosixPathBytes(), targetBytes.fPath));
}

VError XLinuxFolder::GetTimeAttributes(VTime* outModified, VTime* outCreated, VTime* outAccessed) const
{
	return XLinuxFile::GetTimeAttributes(GetPosixPathBytes(), true, outModified, outCreated, outAccessed);
}

VError XLinuxFolder::SetTimeAttributes(const VTime* inModified, const VTime* inCreated, const VTime* inAccessed) const
{
	return XLinuxFile::SetTimeAttributes(GetPosixPathBytes(), inModified, inCreated, inAccessed);
}

VError XLinuxFolder::GetVolumeCapacity(sLONG8* outTotal) const
{
	return XLinuxFile::GetVolumeFreeSpace(GetPosixPathBytes(), nullptr, outTotal, false, nullptr);
}

VError XLinuxFolder::GetVolumeFreeSpace(sLONG8* outFree, bool inWithQuotas) const
{
	return XLinuxFile::GetVolumeFreeSpace(GetPosixPathBytes(), outFree, nullptr, inWithQuotas, nullptr);
}

VError XLinuxFolder::GetFolderAttributes(uint32& outAttributes) const
{
	return XLinuxFile::GetPathAttributes(GetPosixPathBytes(), true, outAttributes);
}

VError XLinuxFolder::SetFolderAttributes(uint32 inAttributes) const
{
	return XLinuxFile::SetPathAttributes(GetPosixPathBytes(), true, inAttributes);
}

VError XLinuxFolder::GetPosixPath(VString& outPath) const
{
	XLinuxPathBytes::ToText(GetPosixPathBytes(), std::strlen(GetPosixPathBytes()), outPath);
	return VE_OK;
}

VError XLinuxFolder::MakeWritableByAll() const
{
	return _ChangeMode(0777);
}

VError XLinuxFolder::GetPermissions(uint16* outMode) const
{
	struct stat status{};
	const int32 error = _Stat(true, status);
	const bool known = error == 0;
	if (outMode != nullptr)
		*outMode = known ? static_cast<uint16>(status.st_mode & 0777) : 0;
	return PosixError(error);
}

VError XLinuxFolder::SetPermissions(uint16 inMode) const
{
	return _ChangeMode(inMode & 0777);
}

bool XLinuxFolder::IsWritableByAll() const
{
	// As the folder's own layer has always answered: any write bit counts.
	struct stat status{};
	return _Stat(true, status) == 0 && (status.st_mode & 0222) != 0;
}

VError XLinuxFolder::GetOwner(uint32& outUser, uint32& outGroup) const
{
	struct stat status{};
	if (const int32 error = _Stat(true, status); error != 0)
		return PosixError(error);
	outUser = status.st_uid;
	outGroup = status.st_gid;
	return VE_OK;
}

bool XLinuxFolder::IsTraversable() const
{
	uint32 permission = 0;
	return XLinuxFile::GetEffectivePermission(GetPosixPathBytes(), permission) == VE_OK && (permission & 1) != 0;
}

VError XLinuxFolder::_ChangeMode(uint32 inMode) const
{
	const PosixFileOps::StParent parent(GetPosixPathBytes());
	if (parent.Error() != 0)
		return PosixError(parent.Error());
	return ::fchmodat(parent.Folder(), parent.Name(), static_cast<mode_t>(inMode), 0) == 0 ? VE_OK : LastPosixError();
}

VError XLinuxFolder::DeleteForced() const
{
	int32 restoreError = 0;
	const int32 error = PosixFileOps::RemoveTree(GetPosixPathBytes(), true, &restoreError);
	if (restoreError != 0 && fOwner != nullptr)
		fOwner->_ThrowRestoreError(PosixError(restoreError));
	return PosixError(error);
}

} // namespace qirn
