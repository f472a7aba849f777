#include "files/platform/PosixFileOps.h"
#include "files/platform/PosixFileOpsAt.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

namespace qirn::PosixFileOps {

int32 Open(const char* inPath, EAccess inAccess, uint32 inOptions, int& outDescriptor, bool* outReadOnly)
{
	outDescriptor = -1;
	if (outReadOnly != nullptr)
		*outReadOnly = inAccess == EAccess::kRead;
	if ((inOptions & kOpenResourceFork) != 0)
		return ENOTSUP;
	if (inAccess == EAccess::kReadWriteElseRead) {
		if (Open(inPath, EAccess::kReadWriteExclusive, inOptions, outDescriptor) == 0) {
			if (outReadOnly != nullptr)
				*outReadOnly = false;
			return 0;
		}
		if (outReadOnly != nullptr)
			*outReadOnly = true;
		return Open(inPath, EAccess::kRead, inOptions, outDescriptor);
	}

	StParent parent(inPath);
	if (parent.Error() != 0)
		return parent.Error();
	const bool writing = inAccess != EAccess::kRead;
	// Never O_TRUNC: the file is emptied only once this descriptor holds its
	// lock, so a truncating open cannot empty a file locked elsewhere.
	int flags = (writing ? O_RDWR : O_RDONLY) | O_NOCTTY | O_CLOEXEC;
	if ((inOptions & kOpenFollowLink) == 0)
		flags |= O_NOFOLLOW;
	if ((inOptions & kOpenCreate) != 0)
		flags |= O_CREAT;
	StDescriptor file(RetryOnInterrupt([&] { return ::openat(parent.Folder(), parent.Name(), flags, 0644); }));
	if (!file.IsOpen())
		return errno;
	if (writing) {
		const int lock = (inAccess == EAccess::kReadWriteExclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
		if (RetryOnInterrupt([&] { return ::flock(file.Get(), lock); }) != 0)
			return errno == EWOULDBLOCK ? EACCES : errno;
		if ((inOptions & kOpenTruncate) != 0 && RetryOnInterrupt([&] { return ::ftruncate(file.Get(), 0); }) != 0)
			return errno;
	}
	if ((inOptions & kOpenReadAhead) != 0)
		::posix_fadvise(file.Get(), 0, 0, POSIX_FADV_SEQUENTIAL); // advice only: its failure changes nothing
	outDescriptor = file.Release();
	return 0;
}

int32 Create(const char* inPath, bool inReplace, uint32 inMode)
{
	StParent parent(inPath);
	if (parent.Error() != 0)
		return parent.Error();
	if (inReplace) {
		struct stat existing{};
		if (::fstatat(parent.Folder(), parent.Name(), &existing, AT_SYMLINK_NOFOLLOW) == 0) {
			if (S_ISDIR(existing.st_mode))
				return EISDIR;
			if (::unlinkat(parent.Folder(), parent.Name(), 0) != 0 && errno != ENOENT)
				return errno;
		} else if (errno != ENOENT) {
			return errno;
		}
	}
	StDescriptor file(RetryOnInterrupt([&] {
		return ::openat(parent.Folder(), parent.Name(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, inMode);
	}));
	if (!file.IsOpen())
		return errno;
	if (::close(file.Release()) != 0 && errno != EINTR)
		return errno;
	return 0;
}

} // namespace qirn::PosixFileOps
