#include "files/platform/PosixFileOps.h"
#include "files/platform/PosixFileOpsAt.h"

#include <fcntl.h>
#include <sys/stat.h>

namespace qirn::PosixFileOps {

namespace {

timespec ToTimespec(const statx_timestamp& inTime)
{
	timespec time{};
	time.tv_sec = inTime.tv_sec;
	time.tv_nsec = inTime.tv_nsec;
	return time;
}

} // namespace

int32 GetTimes(const char* inPath, bool inFollowLinks, Times& outTimes)
{
	outTimes = Times{};
	StParent parent(inPath);
	if (parent.Error() != 0)
		return parent.Error();
	struct statx status{};
	const int flags = inFollowLinks ? 0 : AT_SYMLINK_NOFOLLOW;
	if (::statx(parent.Folder(), parent.Name(), flags, STATX_MTIME | STATX_ATIME | STATX_BTIME, &status) != 0)
		return errno;
	outTimes.fModification = ToTimespec(status.stx_mtime);
	outTimes.fAccess = ToTimespec(status.stx_atime);
	// Not every file system keeps a birth time (tmpfs before 5.x, NFS): the
	// modification time then stands for it, the earliest time known.
	outTimes.fCreation = (status.stx_mask & STATX_BTIME) != 0 ? ToTimespec(status.stx_btime) : outTimes.fModification;
	return 0;
}

int32 SetTimes(const char* inPath, const timespec* inModification, const timespec* inAccess)
{
	StParent parent(inPath);
	if (parent.Error() != 0)
		return parent.Error();
	timespec times[2] = {{0, UTIME_OMIT}, {0, UTIME_OMIT}};
	if (inAccess != nullptr)
		times[0] = *inAccess;
	if (inModification != nullptr)
		times[1] = *inModification;
	return ::utimensat(parent.Folder(), parent.Name(), times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

} // namespace qirn::PosixFileOps
