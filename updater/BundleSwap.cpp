#include "BundleSwap.h"

#include "files/VFile.h"
#include "files/VFileError.h"
#include "core/VTime.h"
#include "files/VFolder.h"
#include "files/VFolderIterator.h"
#include "runtime/VError.h"
#include "runtime/VErrorBase.h"
#include "files/FolderErrorCodes.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>

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

} // namespace

int ExchangeEntries(const VFolder& inFirst, const VFolder& inSecond)
{
	if (::renameat2(AT_FDCWD, inFirst.GetPlatform().GetPosixPathBytes(), AT_FDCWD,
					inSecond.GetPlatform().GetPosixPathBytes(), RENAME_EXCHANGE) == 0)
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
			error = CopyFolderContentsInto(*folder.Current(), *target, inOnFileCopied);
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

} // namespace qirn
