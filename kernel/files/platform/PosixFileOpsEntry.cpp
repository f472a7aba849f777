#include "files/platform/PosixFileOps.h"
#include "files/platform/PosixFileOpsAt.h"

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace qirn::PosixFileOps {

namespace {

// The entry's own path, or its target's when following links.
int32 Resolved(const char* inPath, bool inFollowLinks, std::string& outPath)
{
	if (!inFollowLinks) {
		outPath = inPath;
		return 0;
	}
	return RealPath(inPath, true, outPath);
}

// Opens a file or folder to reach its inode flags: nothing else is opened
// (a FIFO would block, a device may act).
int32 OpenForFlags(const char* inPath, bool inFollowLinks, StDescriptor& outEntry, bool& outHasFlags)
{
	outHasFlags = false;
	std::string path;
	if (const int32 error = Resolved(inPath, inFollowLinks, path); error != 0)
		return error;
	StParent parent(path.c_str());
	if (parent.Error() != 0)
		return parent.Error();
	struct stat status{};
	if (::fstatat(parent.Folder(), parent.Name(), &status, AT_SYMLINK_NOFOLLOW) != 0)
		return errno;
	if (!S_ISREG(status.st_mode) && !S_ISDIR(status.st_mode))
		return 0;
	outEntry = StDescriptor(RetryOnInterrupt([&] {
		return ::openat(parent.Folder(), parent.Name(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
	}));
	if (!outEntry.IsOpen())
		return errno;
	outHasFlags = true;
	return 0;
}

} // namespace

int32 Stat(const char* inPath, bool inFollowLinks, struct stat& outStat)
{
	StParent parent(inPath);
	if (parent.Error() != 0)
		return parent.Error();
	const int flags = inFollowLinks ? 0 : AT_SYMLINK_NOFOLLOW;
	return ::fstatat(parent.Folder(), parent.Name(), &outStat, flags) == 0 ? 0 : errno;
}

int32 RemoveFile(const char* inPath)
{
	StParent parent(inPath);
	if (parent.Error() != 0)
		return parent.Error();
	if (::unlinkat(parent.Folder(), parent.Name(), 0) == 0)
		return 0;
	const int32 error = errno;
	// Linux answers EISDIR for a folder, but not every file system agrees.
	struct stat status{};
	if (error == EPERM && ::fstatat(parent.Folder(), parent.Name(), &status, AT_SYMLINK_NOFOLLOW) == 0 &&
		S_ISDIR(status.st_mode))
		return EISDIR;
	return error;
}

int32 SetMode(const char* inPath, uint32 inMode)
{
	StParent parent(inPath);
	if (parent.Error() != 0)
		return parent.Error();
	struct stat status{};
	if (::fstatat(parent.Folder(), parent.Name(), &status, AT_SYMLINK_NOFOLLOW) != 0)
		return errno;
	if (S_ISLNK(status.st_mode))
		return EOPNOTSUPP;
	return ::fchmodat(parent.Folder(), parent.Name(), inMode & 07777, 0) == 0 ? 0 : errno;
}

int32 MakeLink(const char* inText, const char* inPath, bool inReplace)
{
	StParent parent(inPath);
	if (parent.Error() != 0)
		return parent.Error();
	if (!inReplace)
		return ::symlinkat(inText, parent.Folder(), parent.Name()) == 0 ? 0 : errno;
	struct stat existing{};
	if (::fstatat(parent.Folder(), parent.Name(), &existing, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(existing.st_mode))
		return EISDIR;
	// Built beside and renamed over: the old entry stays until the new link
	// is there.
	const std::string temporary = TemporaryName();
	if (::symlinkat(inText, parent.Folder(), temporary.c_str()) != 0)
		return errno;
	if (::renameat(parent.Folder(), temporary.c_str(), parent.Folder(), parent.Name()) != 0) {
		const int32 error = errno;
		::unlinkat(parent.Folder(), temporary.c_str(), 0);
		return error;
	}
	return 0;
}

int32 ReadLink(const char* inPath, std::string& outText)
{
	outText.clear();
	StParent parent(inPath);
	if (parent.Error() != 0)
		return parent.Error();
	std::string text(256, '\0');
	for (;;) {
		const ssize_t length = ::readlinkat(parent.Folder(), parent.Name(), text.data(), text.size());
		if (length < 0)
			return errno;
		if (static_cast<size_t>(length) < text.size()) {
			text.resize(static_cast<size_t>(length));
			outText = std::move(text);
			return 0;
		}
		text.resize(text.size() * 2);
	}
}

int32 RealPath(const char* inPath, bool inMustExist, std::string& outPath)
{
	outPath.clear();
	if (*inPath == 0)
		return 0;
	char* resolved = ::realpath(inPath, nullptr);
	if (resolved != nullptr) {
		outPath = resolved;
		::free(resolved);
		return 0;
	}
	const int32 error = errno;
	if (inMustExist || error != ENOENT)
		return error;
	std::string path(inPath);
	while (path.size() > 1 && path.back() == '/')
		path.pop_back();
	const size_t cut = path.rfind('/');
	if (cut == std::string::npos) {
		if (const int32 headError = RealPath(".", true, outPath); headError != 0)
			return headError;
	} else if (cut == 0) {
		outPath.assign(1, '/');
	} else {
		// Only the last element may be missing.
		if (const int32 headError = RealPath(path.substr(0, cut).c_str(), true, outPath); headError != 0)
			return headError;
	}
	if (outPath.back() != '/')
		outPath += '/';
	outPath += path.substr(cut == std::string::npos ? 0 : cut + 1);
	return 0;
}

int32 GetImmutable(const char* inPath, bool inFollowLinks, bool& outImmutable)
{
	outImmutable = false;
	StDescriptor entry;
	bool hasFlags = false;
	if (const int32 error = OpenForFlags(inPath, inFollowLinks, entry, hasFlags); error != 0 || !hasFlags)
		return error;
	int flags = 0;
	if (::ioctl(entry.Get(), FS_IOC_GETFLAGS, &flags) != 0)
		return errno == ENOTTY || errno == EOPNOTSUPP ? 0 : errno; // a file system without flags: none set
	outImmutable = (flags & FS_IMMUTABLE_FL) != 0;
	return 0;
}

int32 SetImmutable(const char* inPath, bool inFollowLinks, bool inImmutable)
{
	StDescriptor entry;
	bool hasFlags = false;
	if (const int32 error = OpenForFlags(inPath, inFollowLinks, entry, hasFlags); error != 0)
		return error;
	if (!hasFlags)
		return EOPNOTSUPP;
	int flags = 0;
	if (::ioctl(entry.Get(), FS_IOC_GETFLAGS, &flags) != 0)
		return errno == ENOTTY ? EOPNOTSUPP : errno;
	const int wanted = inImmutable ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
	if (wanted == flags)
		return 0;
	return ::ioctl(entry.Get(), FS_IOC_SETFLAGS, &wanted) == 0 ? 0 : errno;
}

} // namespace qirn::PosixFileOps
