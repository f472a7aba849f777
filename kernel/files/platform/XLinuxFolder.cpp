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
#include <sys/statvfs.h>
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

void TimeFromTimespec(const timespec& inTime, VTime& outTime)
{
	struct tm parts{};
	const time_t seconds = inTime.tv_sec;
	::gmtime_r(&seconds, &parts);
	outTime.FromUTCTime(static_cast<sWORD>(parts.tm_year + 1900), static_cast<sWORD>(parts.tm_mon + 1),
		static_cast<sWORD>(parts.tm_mday), static_cast<sWORD>(parts.tm_hour), static_cast<sWORD>(parts.tm_min),
		static_cast<sWORD>(parts.tm_sec), static_cast<sWORD>(inTime.tv_nsec / 1000000));
}

timespec TimespecFromTime(const VTime& inTime)
{
	sWORD year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
	inTime.GetUTCTime(year, month, day, hour, minute, second, millisecond);
	struct tm parts{};
	parts.tm_year = year - 1900;
	parts.tm_mon = month - 1;
	parts.tm_mday = day;
	parts.tm_hour = hour;
	parts.tm_min = minute;
	parts.tm_sec = second;
	return timespec{::timegm(&parts), static_cast<long>(millisecond) * 1000000};
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

std::string XLinuxFolder::RealPath(const char* inPosixPath)
{
	char* real = ::realpath(inPosixPath, nullptr);
	if (real == nullptr)
		return std::string();
	std::string path(real);
	std::free(real);
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
	PosixFileOps::Times times;
	if (const int32 error = PosixFileOps::GetTimes(GetPosixPathBytes(), true, times); error != 0)
		return PosixError(error);
	if (outModified != nullptr)
		TimeFromTimespec(times.fModification, *outModified);
	if (outCreated != nullptr)
		TimeFromTimespec(times.fCreation, *outCreated);
	if (outAccessed != nullptr)
		TimeFromTimespec(times.fAccess, *outAccessed);
	return VE_OK;
}

VError XLinuxFolder::SetTimeAttributes(const VTime* inModified, const VTime*, const VTime* inAccessed) const
{
	const timespec modified = inModified != nullptr ? TimespecFromTime(*inModified) : timespec{};
	const timespec accessed = inAccessed != nullptr ? TimespecFromTime(*inAccessed) : timespec{};
	return PosixError(PosixFileOps::SetTimes(GetPosixPathBytes(), inModified != nullptr ? &modified : nullptr,
		inAccessed != nullptr ? &accessed : nullptr));
}

VError XLinuxFolder::GetVolumeCapacity(sLONG8* outTotal) const
{
	struct statvfs volume{};
	if (const int32 error = _StatVolume(volume); error != 0)
		return PosixError(error);
	if (outTotal != nullptr)
		*outTotal = static_cast<sLONG8>(volume.f_frsize) * static_cast<sLONG8>(volume.f_blocks);
	return VE_OK;
}

VError XLinuxFolder::GetVolumeFreeSpace(sLONG8* outFree, bool inWithQuotas) const
{
	struct statvfs volume{};
	if (const int32 error = _StatVolume(volume); error != 0)
		return PosixError(error);
	if (outFree != nullptr)
		*outFree = static_cast<sLONG8>(volume.f_frsize) *
				   static_cast<sLONG8>(inWithQuotas ? volume.f_bavail : volume.f_bfree);
	return VE_OK;
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
	const PosixFileOps::StParent parent(GetPosixPathBytes());
	return parent.Error() == 0 && ::faccessat(parent.Folder(), parent.Name(), X_OK, AT_EACCESS) == 0;
}

VError XLinuxFolder::_ChangeMode(uint32 inMode) const
{
	const PosixFileOps::StParent parent(GetPosixPathBytes());
	if (parent.Error() != 0)
		return PosixError(parent.Error());
	return ::fchmodat(parent.Folder(), parent.Name(), static_cast<mode_t>(inMode), 0) == 0 ? VE_OK : LastPosixError();
}

int32 XLinuxFolder::_StatVolume(struct statvfs& outVolume) const
{
	const PosixFileOps::StDescriptor folder(PosixFileOps::OpenFolder(GetPosixPathBytes(), O_PATH));
	if (!folder.IsOpen())
		return errno;
	return ::fstatvfs(folder.Get(), &outVolume) == 0 ? 0 : errno;
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
