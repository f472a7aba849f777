// The operations of one file, each a call into the POSIX layer.
#include "core/VMemory.h"
#include "files/VFile.h"
#include "files/VFileDesc.h"
#include "files/VFileError.h"
#include "files/VFileKind.h"
#include "files/FileErrorCodes.h"
#include "files/platform/PosixFileOps.h"
#include "files/platform/XLinuxFile.h"
#include "files/platform/XLinuxPathBytes.h"
#include "host/HostReveal.h"
#include "host/HostTrash.h"
#include "runtime/VError.h"

#include <cerrno>
#include <memory>
#include <sys/stat.h>

namespace qirn {

namespace ops = PosixFileOps;

namespace {

// A path's POSIX bytes.
std::string BytesOf(const VFilePath& inPath)
{
	std::unique_ptr<char, decltype(&VMemory::DisposePtr)> bytes(XLinuxFile::AllocatePosixPathFromFilePath(inPath),
																&VMemory::DisposePtr);
	return bytes ? std::string(bytes.get()) : std::string();
}

// The target of a copy or move: a folder path gets the file's name.
VFilePath TargetOf(const VFilePath& inDestination, const VFilePath& inSource)
{
	VFilePath target(inDestination);
	if (!target.IsFile()) {
		VString name;
		inSource.GetFileName(name);
		target.ToSubFile(name);
	}
	return target;
}

} // namespace

XLinuxFile::XLinuxFile(const char* inPosixPath) : fPosixPath(inPosixPath != nullptr ? inPosixPath : "") {}

void XLinuxFile::Init(VFile* inOwner)
{
	fOwner = inOwner;
	if (fPosixPath.empty())
		fPosixPath = BytesOf(inOwner->GetPath());
}

VError XLinuxFile::Open(FileAccess inAccess, uint32 inOptions, VFileDesc** outDesc) const
{
	*outDesc = nullptr;
	if (inAccess < FA_READ || inAccess > FA_MAX)
		return PosixCause(EINVAL);
	int descriptor = -1;
	bool readOnly = false;
	const int32 error = ops::Open(fPosixPath.c_str(), static_cast<ops::EAccess>(inAccess), inOptions, descriptor, &readOnly);
	if (error != 0)
		return PosixCause(error);
	*outDesc = new VFileDesc(fOwner, descriptor, readOnly ? FA_READ : inAccess);
	return VE_OK;
}

VError XLinuxFile::Create(uint32 inOptions, uint32 inMode) const
{
	return PosixCause(ops::Create(fPosixPath.c_str(), (inOptions & FO_Overwrite) != 0, inMode));
}

VError XLinuxFile::_CopyOrMove(bool inCopy, const VFilePath& inDestination, VFileSystem* inFileSystem, VFile** outFile,
							   uint32 inOptions) const
{
	if (outFile != nullptr)
		*outFile = nullptr;
	const VFilePath target = TargetOf(inDestination, fOwner->GetPath());
	const std::string targetBytes = BytesOf(target);
	const bool replace = (inOptions & FCP_Overwrite) != 0;
	// The POSIX layer refuses the source itself (EINVAL) before touching
	// anything, and replaces nothing unless asked, even within one folder.
	const int32 error = inCopy ? ops::CopyFile(fPosixPath.c_str(), targetBytes.c_str(), replace)
							   : ops::Move(fPosixPath.c_str(), targetBytes.c_str(), replace);
	if (error != 0)
		return PosixCause(error);
	if (outFile != nullptr)
		*outFile = new VFile(target, inFileSystem);
	return VE_OK;
}

VError XLinuxFile::Copy(const VFilePath& inDestination, VFileSystem* inFileSystem, VFile** outFile,
						uint32 inOptions) const
{
	return _CopyOrMove(true, inDestination, inFileSystem, outFile, inOptions);
}

VError XLinuxFile::Move(const VFilePath& inDestination, VFileSystem* inFileSystem, VFile** outFile,
						uint32 inOptions) const
{
	return _CopyOrMove(false, inDestination, inFileSystem, outFile, inOptions);
}

VError XLinuxFile::Rename(const VString& inNewName, VFile** outFile) const
{
	if (outFile != nullptr)
		*outFile = nullptr;
	VFilePath target(fOwner->GetPath());
	if (!target.SetName(inNewName))
		return PosixCause(EINVAL);
	const VError error = RenamePath(fPosixPath.c_str(), target);
	if (error == VE_OK && outFile != nullptr)
		*outFile = new VFile(target, fOwner->GetFileSystem());
	return error;
}

VError XLinuxFile::RenamePath(const char* inFrom, const VFilePath& inTo)
{
	return PosixCause(ops::RenameExclusive(inFrom, BytesOf(inTo).c_str()));
}

VError XLinuxFile::Delete() const
{
	return PosixCause(ops::RemoveFile(fPosixPath.c_str()));
}

VError XLinuxFile::MoveToTrash() const
{
	return PosixCause(host::MoveToTrash(fPosixPath.c_str()));
}

bool XLinuxFile::Exists() const
{
	struct stat status{};
	return ops::Stat(fPosixPath.c_str(), false, status) == 0 && (S_ISREG(status.st_mode) || S_ISLNK(status.st_mode));
}

VError XLinuxFile::GetSize(sLONG8* outSize) const
{
	*outSize = 0;
	struct stat status{};
	if (const int32 error = ops::Stat(fPosixPath.c_str(), false, status); error != 0)
		return PosixCause(error);
	*outSize = status.st_size;
	return VE_OK;
}

VError XLinuxFile::GetResourceForkSize(sLONG8* outSize) const
{
	*outSize = 0;
	return VE_OK;
}

VError XLinuxFile::GetTimeAttributes(VTime* outModified, VTime* outCreated, VTime* outAccessed) const
{
	return GetTimeAttributes(fPosixPath.c_str(), false, outModified, outCreated, outAccessed);
}

VError XLinuxFile::SetTimeAttributes(const VTime* inModified, const VTime* inCreated, const VTime* inAccessed) const
{
	return SetTimeAttributes(fPosixPath.c_str(), inModified, inCreated, inAccessed);
}

VError XLinuxFile::GetFileAttributes(uint32& outAttributes) const
{
	return GetPathAttributes(fPosixPath.c_str(), false, outAttributes);
}

VError XLinuxFile::SetFileAttributes(uint32 inAttributes) const
{
	return SetPathAttributes(fPosixPath.c_str(), false, inAttributes);
}

VError XLinuxFile::GetVolumeFreeSpace(sLONG8* outFree, sLONG8* outTotal, bool inWithQuotas,
									  const VFileDesc* inDesc) const
{
	return GetVolumeFreeSpace(fPosixPath.c_str(), outFree, outTotal, inWithQuotas, inDesc);
}

VError XLinuxFile::RevealInFinder() const
{
	return PosixCause(host::RevealItem(fPosixPath.c_str()));
}

bool XLinuxFile::IsSymbolicLink() const
{
	struct stat status{};
	return ops::Stat(fPosixPath.c_str(), false, status) == 0 && S_ISLNK(status.st_mode);
}

VError XLinuxFile::ReadSymbolicLink(VString& outText) const
{
	outText.Clear();
	std::string text;
	if (const int32 error = ops::ReadLink(fPosixPath.c_str(), text); error != 0)
		return PosixCause(error);
	XLinuxPathBytes::ToText(text.data(), text.size(), outText);
	return VE_OK;
}

VError XLinuxFile::ResolveAlias(VFilePath& outTarget) const
{
	struct stat status{};
	if (const int32 error = ops::Stat(fPosixPath.c_str(), false, status); error != 0)
		return PosixCause(error);
	if (!S_ISLNK(status.st_mode)) {
		// A plain file is no alias: said on the file, as the system would.
		VFileError* error = new VFileError(fOwner, VE_FILE_CANNOT_RESOLVE_ALIAS);
		_PushRetainedError(error);
		return VE_FILE_CANNOT_RESOLVE_ALIAS;
	}
	// Never opened: the target may be a FIFO or a device.
	std::string real;
	if (const int32 error = ops::RealPath(fPosixPath.c_str(), true, real); error != 0)
		return PosixCause(error);
	struct stat target{};
	const bool isFolder = ops::Stat(real.c_str(), false, target) == 0 && S_ISDIR(target.st_mode);
	GetFilePathFromPosixPath(real.c_str(), isFolder, outTarget);
	return VE_OK;
}

VError XLinuxFile::CreateAlias(const VFilePath& inTarget, const VFilePath* inRelativeTo) const
{
	// A relative link is written relative to the link's own folder, which is
	// what keeps it valid when both move together; the anchor asked for only
	// says that the caller wants it relative.
	return CreateSymbolicLink(inTarget, inRelativeTo == nullptr);
}

VError XLinuxFile::CreateSymbolicLink(const VFilePath& inTarget, bool inAbsolute) const
{
	VString targetPosix;
	inTarget.GetPosixPath(targetPosix);
	VString text;
	if (!inAbsolute) {
		VFilePath folder;
		fOwner->GetPath().GetFolder(folder);
		VString prefix;
		VString relative;
		while (folder.IsValid() && !inTarget.GetRelativePosixPath(folder, relative)) {
			if (!folder.ToParent()) {
				folder.Clear();
				break;
			}
			prefix.AppendString(CVSTR("../"));
		}
		if (folder.IsValid() && !relative.IsEmpty()) {
			text = prefix;
			text.AppendString(relative);
		}
	}
	if (text.IsEmpty())
		text = targetPosix;
	std::string bytes;
	if (!XLinuxPathBytes::ToBytes(text, bytes) || bytes.find('\0') != std::string::npos)
		return PosixCause(EINVAL);
	return PosixCause(ops::MakeLink(bytes.c_str(), fPosixPath.c_str(), true));
}

VError XLinuxFile::GetOwner(uint32& outUser, uint32& outGroup) const
{
	outUser = 0;
	outGroup = 0;
	struct stat status{};
	if (const int32 error = ops::Stat(fPosixPath.c_str(), true, status); error != 0)
		return PosixCause(error);
	outUser = status.st_uid;
	outGroup = status.st_gid;
	return VE_OK;
}

VError XLinuxFile::MakeWritableByAll() const
{
	struct stat status{};
	if (const int32 error = ops::Stat(fPosixPath.c_str(), false, status); error != 0)
		return PosixCause(error);
	return PosixCause(ops::SetMode(fPosixPath.c_str(), (status.st_mode & 07777) | 0666));
}

bool XLinuxFile::IsWritableByAll() const
{
	struct stat status{};
	return ops::Stat(fPosixPath.c_str(), false, status) == 0 && (status.st_mode & S_IWOTH) != 0;
}

VError XLinuxFile::SetPermissions(uint16 inMode) const
{
	return PosixCause(ops::SetMode(fPosixPath.c_str(), inMode & 0777));
}

VError XLinuxFile::GetPermissions(uint16* outMode) const
{
	*outMode = 0;
	struct stat status{};
	if (const int32 error = ops::Stat(fPosixPath.c_str(), false, status); error != 0)
		return PosixCause(error);
	*outMode = static_cast<uint16>(status.st_mode & 0777);
	return VE_OK;
}

VError XLinuxFile::ConformsTo(const VFileKind& inKind, bool& outConforms) const
{
	VString extension;
	fOwner->GetPath().GetExtension(extension);
	outConforms = inKind.MatchExtension(extension);
	return VE_OK;
}

VError XLinuxFile::GetPosixPath(VString& outPath) const
{
	XLinuxPathBytes::ToText(fPosixPath.data(), fPosixPath.size(), outPath);
	return VE_OK;
}

VError XLinuxFile::Unlock() const
{
	return UnlockPath(fPosixPath.c_str(), true);
}

} // namespace qirn
