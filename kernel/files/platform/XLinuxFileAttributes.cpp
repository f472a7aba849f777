// Attributes of any path: flags, times, free space, rights.
#include "core/VTime.h"
#include "files/VFileDesc.h"
#include "files/platform/PosixFileOps.h"
#include "files/platform/XLinuxFile.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <vector>

namespace qirn {

namespace ops = PosixFileOps;

namespace {

sLONG8 EpochMilliseconds()
{
	VTime epoch;
	epoch.FromUTCTime(1970, 1, 1, 0, 0, 0, 0);
	return epoch.GetMilliseconds();
}

void ToVTime(const timespec& inTime, VTime& outTime)
{
	outTime.FromMilliseconds(EpochMilliseconds() + static_cast<sLONG8>(inTime.tv_sec) * 1000 +
							 inTime.tv_nsec / 1000000);
}

timespec ToTimespec(const VTime& inTime)
{
	const sLONG8 milliseconds = inTime.GetMilliseconds() - EpochMilliseconds();
	sLONG8 seconds = milliseconds / 1000;
	sLONG8 rest = milliseconds % 1000;
	if (rest < 0) {
		rest += 1000;
		--seconds;
	}
	return timespec{static_cast<time_t>(seconds), static_cast<long>(rest * 1000000)};
}

} // namespace

VError XLinuxFile::GetPathAttributes(const char* inPath, bool inFollowLinks, uint32& outAttributes)
{
	outAttributes = 0;
	bool immutable = false;
	if (const int32 error = ops::GetImmutable(inPath, inFollowLinks, immutable); error != 0)
		return PosixCause(error);
	if (immutable)
		outAttributes |= 1;
	if (PosixNameBeginsWithDot(inPath))
		outAttributes |= 2;
	return VE_OK;
}

VError XLinuxFile::SetPathAttributes(const char* inPath, bool inFollowLinks, uint32 inAttributes)
{
	bool immutable = false;
	if (const int32 error = ops::GetImmutable(inPath, inFollowLinks, immutable); error != 0)
		return PosixCause(error);
	if (immutable == ((inAttributes & 1) != 0))
		return VE_OK;
	return PosixCause(ops::SetImmutable(inPath, inFollowLinks, (inAttributes & 1) != 0));
}

VError XLinuxFile::GetTimeAttributes(const char* inPath, bool inFollowLinks, VTime* outModified, VTime* outCreated,
									 VTime* outAccessed)
{
	ops::Times times;
	if (const int32 error = ops::GetTimes(inPath, inFollowLinks, times); error != 0)
		return PosixCause(error);
	if (outModified != nullptr)
		ToVTime(times.fModification, *outModified);
	if (outCreated != nullptr)
		ToVTime(times.fCreation, *outCreated);
	if (outAccessed != nullptr)
		ToVTime(times.fAccess, *outAccessed);
	return VE_OK;
}

VError XLinuxFile::SetTimeAttributes(const char* inPath, const VTime* inModified, const VTime* /*inCreated*/,
									 const VTime* inAccessed)
{
	const bool hasModified = inModified != nullptr && !inModified->IsNull();
	const bool hasAccessed = inAccessed != nullptr && !inAccessed->IsNull();
	const timespec modified = hasModified ? ToTimespec(*inModified) : timespec{};
	const timespec accessed = hasAccessed ? ToTimespec(*inAccessed) : timespec{};
	return PosixCause(ops::SetTimes(inPath, hasModified ? &modified : nullptr, hasAccessed ? &accessed : nullptr));
}

VError XLinuxFile::GetVolumeFreeSpace(const char* inPath, sLONG8* outFree, sLONG8* outTotal, bool inWithQuotas,
									  const VFileDesc* inDesc)
{
	struct statvfs volume{};
	int result;
	if (inDesc != nullptr) {
		result = ::fstatvfs(inDesc->GetImpl().GetDescriptor(), &volume);
	} else {
		result = ::statvfs(inPath, &volume);
		if (result != 0) {
			std::string folder(inPath);
			const size_t cut = folder.rfind('/');
			folder = cut == std::string::npos ? "." : cut == 0 ? "/" : folder.substr(0, cut);
			result = ::statvfs(folder.c_str(), &volume);
		}
	}
	if (result != 0) {
		const int32 error = errno;
		if (outFree != nullptr)
			*outFree = 0;
		if (outTotal != nullptr)
			*outTotal = 0;
		return PosixCause(error);
	}
	const sLONG8 block = static_cast<sLONG8>(volume.f_frsize);
	if (outFree != nullptr)
		*outFree = block * static_cast<sLONG8>(inWithQuotas ? volume.f_bavail : volume.f_bfree);
	if (outTotal != nullptr)
		*outTotal = block * static_cast<sLONG8>(volume.f_blocks);
	return VE_OK;
}

VError XLinuxFile::UnlockPath(const char* inPath, bool inFollowLinks)
{
	return PosixCause(ops::Unlock(inPath, inFollowLinks));
}

VError XLinuxFile::GetEffectivePermission(const char* inPath, uint32& outPermission)
{
	outPermission = 0;
	struct stat status{};
	if (const int32 error = ops::Stat(inPath, false, status); error != 0)
		return PosixCause(error);
	bool immutable = false;
	ops::GetImmutable(inPath, false, immutable);
	const uid_t user = ::geteuid();
	if (user == 0) {
		outPermission = 7;
		return VE_OK;
	}
	if (immutable)
		return VE_OK;
	if (status.st_uid == user) {
		outPermission = (status.st_mode >> 6) & 7;
		return VE_OK;
	}
	bool inGroup = ::getegid() == status.st_gid;
	if (!inGroup) {
		const int count = ::getgroups(0, nullptr);
		if (count > 0) {
			std::vector<gid_t> groups(static_cast<size_t>(count));
			const int got = ::getgroups(count, groups.data());
			for (int i = 0; i < got && !inGroup; ++i)
				inGroup = groups[static_cast<size_t>(i)] == status.st_gid;
		}
	}
	outPermission = inGroup ? (status.st_mode >> 3) & 7 : status.st_mode & 7;
	return VE_OK;
}

bool XLinuxFile::RealPath(const char* inPath, bool inMustExist, std::string& outPath)
{
	return inPath != nullptr && ops::RealPath(inPath, inMustExist, outPath) == 0;
}

} // namespace qirn
