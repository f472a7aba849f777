#include "BundleSwap.h"

#include "files/VFile.h"
#include "files/VFileError.h"
#include "core/VTime.h"
#include "files/VFolder.h"
#include "files/VFolderIterator.h"
#include "runtime/VError.h"
#include "runtime/VErrorBase.h"
#include "files/FolderErrorCodes.h"
#include "files/platform/XLinuxFolder.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <string>

namespace qirn {

namespace {

VError PosixError(int inErrno)
{
	return MAKE_VERROR(kCOMPONENT_SIGNATURE_POSIX, inErrno);
}

// Mode and times of the source folder onto the target, once the target's
// contents are in (writing them would change its times again).
VError CopyFolderAttributes(const VFolder& inSource, const VFolder& inTarget)
{
	uint16 mode = 0;
	VError error = inSource.MAC_GetPermissions(&mode);
	if (error == VE_OK)
		error = inTarget.MAC_SetPermissions(mode);
	VTime modified;
	VTime accessed;
	if (error == VE_OK)
		error = inSource.GetTimeAttributes(&modified, nullptr, &accessed);
	if (error == VE_OK)
		error = inTarget.SetTimeAttributes(&modified, nullptr, &accessed);
	return error;
}

std::string WithoutFinalSlash(std::string inPath)
{
	while (inPath.size() > 1 && inPath.back() == '/')
		inPath.pop_back();
	return inPath;
}

// The kernel's iterators yield nothing for a folder they cannot open: a
// folder of the bundle that cannot be listed (unreadable to this user)
// fails the copy, and the swap rolls back, instead of copying as empty.
VError CheckListable(const VFolder& inFolder)
{
	DIR* dir = ::opendir(inFolder.GetPlatform().GetPosixPathBytes());
	if (dir == nullptr)
		return ThrowFolderSystemError(inFolder, errno, VE_FOLDER_CANNOT_GET_ATTRIBUTES);
	::closedir(dir);
	return VE_OK;
}

// Where the two paths lead on the disk, through every link: the update
// given as a link to the bundle it replaces is, once the bundle traded
// places with the empty folder, that very folder. Copying it into itself
// would install an empty bundle and call it a success; copying a bundle into
// a folder inside it would never end. Refused as the kernel's own folder
// copy refuses them, before anything is copied.
VError CheckNotIntoItself(const VFolder& inSource, const VFolder& inDestination)
{
	const std::string source = XLinuxFolder::RealPath(inSource.GetPlatform().GetPosixPathBytes());
	const std::string destination = XLinuxFolder::RealPath(inDestination.GetPlatform().GetPosixPathBytes());
	if (source.empty() || destination.empty() || destination.compare(0, source.size(), source) != 0)
		return VE_OK;
	auto* error = new VFileError(&inSource, VE_FOLDER_COPY_INTO_ITSELF);
	VString text;
	inDestination.GetPath().GetPath(text);
	error->SetString(VString("destination"), text);
	_PushRetainedError(error);
	return VE_FOLDER_COPY_INTO_ITSELF;
}

VError CopyTree(const VFolder& inSource, const VFolder& inDestination, const std::function<void()>& inOnFileCopied)
{
	if (const VError error = CheckListable(inSource); error != VE_OK)
		return error;
	// Hidden entries too: a bundle is copied whole. Sub-folders first, as
	// the kernel's own copy does; links are files to the iterators.
	for (VFolderIterator folder(&inSource, 2 | 8); folder.Current() != nullptr; ++folder) {
		VString name;
		folder->GetPath().GetName(name);
		VRefPtr<VFolder> target = VRefPtr<VFolder>::Adopt(new VFolder(inDestination, name, FPS_SYSTEM));
		VError error = target->Create();
		if (error == VE_OK)
			error = CopyTree(*folder.Current(), *target, inOnFileCopied);
		if (error != VE_OK)
			return error;
	}
	for (VFileIterator file(&inSource, 4 | 8); file.Current() != nullptr; ++file) {
		if (const VError error = file->CopyTo(inDestination.GetPath(), nullptr, 0); error != VE_OK)
			return error;
		if (inOnFileCopied)
			inOnFileCopied();
	}
	return CopyFolderAttributes(inSource, inDestination);
}

} // namespace

int ExchangeEntries(const VFolder& inFirst, const VFolder& inSecond)
{
	// Without the folder paths' final '/': with it a bundle that is a link
	// could not move (ENOTDIR); without it the link itself trades places,
	// as a rename moves a link and not what it leads to.
	const std::string first = WithoutFinalSlash(inFirst.GetPlatform().GetPosixPathBytes());
	const std::string second = WithoutFinalSlash(inSecond.GetPlatform().GetPosixPathBytes());
	if (::renameat2(AT_FDCWD, first.c_str(), AT_FDCWD, second.c_str(), RENAME_EXCHANGE) == 0)
		return 0;
	return errno;
}

bool IsExchangeUnsupported(int inErrno)
{
	return inErrno == EINVAL || inErrno == ENOSYS || inErrno == ENOTSUP;
}

VError ThrowFolderSystemError(const VFolder& inFolder, int inErrno, VError inDefault)
{
	const VError native = PosixError(inErrno);
	auto* error = new VFileError(&inFolder, VErrorBase::EncodedNativeErrorToVError(native, inDefault));
	const VError code = error->GetError();
	_PushRetainedError(error, native);
	return code;
}

VError CopyFolderContentsInto(const VFolder& inSource, const VFolder& inDestination,
							  const std::function<void()>& inOnFileCopied)
{
	if (const VError error = CheckNotIntoItself(inSource, inDestination); error != VE_OK)
		return error;
	return CopyTree(inSource, inDestination, inOnFileCopied);
}

} // namespace qirn
