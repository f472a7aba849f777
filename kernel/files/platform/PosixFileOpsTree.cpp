#include "files/platform/PosixFileOps.h"
#include "files/platform/PosixFileOpsAt.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/sysmacros.h>
#include <string>
#include <sys/ioctl.h>
#include <unistd.h>
#include <vector>

namespace qirn::PosixFileOps {

namespace {

struct Entry {
	std::string fName;
	unsigned char fType = DT_UNKNOWN;
};

// The whole listing first, then the work: entries removed or added while a
// folder is read may otherwise be skipped or met twice.
int32 ReadEntries(int inFolder, std::vector<Entry>& outEntries)
{
	const int copy = ::fcntl(inFolder, F_DUPFD_CLOEXEC, 0);
	if (copy < 0)
		return errno;
	DIR* folder = ::fdopendir(copy);
	if (folder == nullptr) {
		const int32 error = errno;
		::close(copy);
		return error;
	}
	::rewinddir(folder);
	int32 error = 0;
	for (;;) {
		errno = 0;
		const dirent* entry = ::readdir(folder);
		if (entry == nullptr) {
			error = errno;
			break;
		}
		const char* name = entry->d_name;
		if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
			continue;
		outEntries.push_back(Entry{name, entry->d_type});
	}
	::closedir(folder);
	return error;
}

// ---- Forced removal ------------------------------------------------------

constexpr int kLockFlags = FS_IMMUTABLE_FL | FS_APPEND_FL;

bool MayChangeMode(const struct stat& inStat)
{
	const uid_t user = ::geteuid();
	return user == 0 || inStat.st_uid == user;
}

// Clears the immutable and append-only flags of an open file or folder;
// answers whether there were any. Only root may, and not every file system
// keeps them: a refusal leaves the entry as it is and its removal says why.
bool ClearLockFlags(int inDescriptor)
{
	int flags = 0;
	if (::ioctl(inDescriptor, FS_IOC_GETFLAGS, &flags) != 0 || (flags & kLockFlags) == 0)
		return false;
	flags &= ~kLockFlags;
	return ::ioctl(inDescriptor, FS_IOC_SETFLAGS, &flags) == 0;
}

// Gives a folder's owner read, write and search, and a file's owner read and
// write, when root or the owner asks; clears lock flags of files and folders
// (never opening anything else: a device's open may act).
void UnlockEntry(int inFolder, const char* inName)
{
	struct stat status{};
	if (::fstatat(inFolder, inName, &status, AT_SYMLINK_NOFOLLOW) != 0 || S_ISLNK(status.st_mode))
		return;
	const mode_t wanted = S_ISDIR(status.st_mode) ? 0700 : 0600;
	if ((status.st_mode & wanted) != wanted && MayChangeMode(status))
		::fchmodat(inFolder, inName, (status.st_mode & 07777) | wanted, 0);
	if (S_ISDIR(status.st_mode) || S_ISREG(status.st_mode)) {
		StDescriptor entry(RetryOnInterrupt([&] {
			return ::openat(inFolder, inName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
		}));
		if (entry.IsOpen())
			ClearLockFlags(entry.Get());
	}
}

int32 RemoveEntry(int inFolder, const char* inName, bool inIsFolder, bool inForced)
{
	const int flag = inIsFolder ? AT_REMOVEDIR : 0;
	if (::unlinkat(inFolder, inName, flag) == 0)
		return 0;
	const int32 error = errno;
	if (!inForced || (error != EPERM && error != EACCES))
		return error;
	UnlockEntry(inFolder, inName);
	return ::unlinkat(inFolder, inName, flag) == 0 ? 0 : errno;
}

// Opens a sub-folder to empty it: never through a link, never into another
// mount (its files are not this tree's).
int32 OpenSubFolder(int inFolder, const char* inName, dev_t inRootDevice, bool inForced, StDescriptor& outFolder)
{
	struct statx status{};
	if (::statx(inFolder, inName, AT_SYMLINK_NOFOLLOW, STATX_TYPE | STATX_MODE | STATX_UID, &status) != 0)
		return errno;
	if ((status.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT) != 0 && (status.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0)
		return EBUSY;
	if (makedev(status.stx_dev_major, status.stx_dev_minor) != inRootDevice)
		return EBUSY;
	if (inForced)
		UnlockEntry(inFolder, inName);
	outFolder.Reset(RetryOnInterrupt([&] {
		return ::openat(inFolder, inName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
	}));
	if (!outFolder.IsOpen())
		return errno;
	if (inForced)
		ClearLockFlags(outFolder.Get());
	return 0;
}

} // namespace

int32 RemoveContents(int inFolder, dev_t inRootDevice, bool inForced)
{
	std::vector<Entry> entries;
	if (const int32 error = ReadEntries(inFolder, entries); error != 0)
		return error;
	for (const Entry& entry : entries) {
		bool isFolder = entry.fType == DT_DIR;
		if (entry.fType == DT_UNKNOWN) {
			struct stat status{};
			if (::fstatat(inFolder, entry.fName.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0)
				return errno;
			isFolder = S_ISDIR(status.st_mode);
		}
		if (isFolder) {
			StDescriptor sub;
			if (const int32 error = OpenSubFolder(inFolder, entry.fName.c_str(), inRootDevice, inForced, sub); error != 0)
				return error;
			if (const int32 error = RemoveContents(sub.Get(), inRootDevice, inForced); error != 0)
				return error;
		}
		if (const int32 error = RemoveEntry(inFolder, entry.fName.c_str(), isFolder, inForced); error != 0)
			return error;
	}
	return 0;
}

namespace {

// The parent of a forced removal, opened up for the walk and given back its
// mode and lock flags afterwards, whatever the walk gave.
class StOpenedParent {
public:
	explicit StOpenedParent(const StParent& inParent) : fParent(inParent)
	{
		struct stat status{};
		if (::fstat(inParent.Folder(), &status) != 0)
			return;
		// Root needs no mode bits; another user cannot change them.
		if (::geteuid() != 0 && status.st_uid == ::geteuid() && (status.st_mode & 0700) != 0700) {
			if (::chmod(ProcPath().c_str(), (status.st_mode & 07777) | 0700) == 0) {
				fMode = status.st_mode & 07777;
				fModeChanged = true;
			}
		}
		StDescriptor folder(RetryOnInterrupt([&] { return ::open(ProcPath().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
		int flags = 0;
		if (folder.IsOpen() && ::ioctl(folder.Get(), FS_IOC_GETFLAGS, &flags) == 0 && (flags & kLockFlags) != 0) {
			int cleared = flags & ~kLockFlags;
			if (::ioctl(folder.Get(), FS_IOC_SETFLAGS, &cleared) == 0) {
				fFlags = flags;
				fFlagsChanged = true;
			}
		}
	}

	// The first failure of putting things back, or 0.
	int32 Restore()
	{
		int32 error = 0;
		if (fModeChanged && ::chmod(ProcPath().c_str(), fMode) != 0)
			error = errno;
		if (fFlagsChanged) {
			StDescriptor folder(RetryOnInterrupt([&] { return ::open(ProcPath().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
			if (!folder.IsOpen() || ::ioctl(folder.Get(), FS_IOC_SETFLAGS, &fFlags) != 0) {
				if (error == 0)
					error = errno;
			}
		}
		fModeChanged = fFlagsChanged = false;
		return error;
	}

private:
	// The folder through its descriptor: reached without searching the
	// folder's own path, which may be what is not allowed.
	std::string ProcPath() const { return "/proc/self/fd/" + std::to_string(fParent.Folder()); }

	const StParent& fParent;
	mode_t fMode = 0;
	int fFlags = 0;
	bool fModeChanged = false;
	bool fFlagsChanged = false;
};

} // namespace

int32 RemoveTree(const char* inPath, bool inForced, int32* outRestoreError)
{
	if (outRestoreError != nullptr)
		*outRestoreError = 0;
	StParent parent(inPath);
	if (parent.Error() != 0)
		return parent.Error();
	struct stat status{};
	if (::fstatat(parent.Folder(), parent.Name(), &status, AT_SYMLINK_NOFOLLOW) != 0)
		return errno;
	if (S_ISLNK(status.st_mode))
		return ::unlinkat(parent.Folder(), parent.Name(), 0) == 0 ? 0 : errno; // the link, never what it leads to
	if (!S_ISDIR(status.st_mode))
		return ENOTDIR;

	if (!inForced) {
		StDescriptor folder(RetryOnInterrupt([&] {
			return ::openat(parent.Folder(), parent.Name(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
		}));
		if (!folder.IsOpen())
			return errno;
		if (const int32 error = RemoveContents(folder.Get(), status.st_dev, false); error != 0)
			return error;
		return RemoveEntry(parent.Folder(), parent.Name(), true, false);
	}

	StOpenedParent opened(parent);
	int32 error = 0;
	{
		StDescriptor folder;
		UnlockEntry(parent.Folder(), parent.Name());
		folder.Reset(RetryOnInterrupt([&] {
			return ::openat(parent.Folder(), parent.Name(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
		}));
		if (!folder.IsOpen()) {
			error = errno;
		} else {
			ClearLockFlags(folder.Get());
			error = RemoveContents(folder.Get(), status.st_dev, true);
		}
	}
	if (error == 0)
		error = RemoveEntry(parent.Folder(), parent.Name(), true, true);
	const int32 restoreError = opened.Restore();
	if (outRestoreError != nullptr)
		*outRestoreError = restoreError;
	return error;
}

// ---- Copy of a folder ----------------------------------------------------

namespace {

// The folders on the path from the copied root to where the walk is: a
// folder met again (through a bind mount) is not entered a second time.
using FolderPath = std::vector<std::pair<dev_t, ino_t>>;

bool IsOnPath(const FolderPath& inPath, const struct stat& inStat)
{
	for (const auto& [device, inode] : inPath) {
		if (device == inStat.st_dev && inode == inStat.st_ino)
			return true;
	}
	return false;
}

// EINVAL when the folder inFolder is the source folder or lies inside it,
// checked upwards from inFolder through "..", whatever the path's length.
int32 CheckOutsideOf(int inFolder, const struct stat& inSource)
{
	struct stat root{};
	if (::stat("/", &root) != 0)
		return errno;
	StDescriptor current(RetryOnInterrupt([&] { return ::openat(inFolder, ".", O_PATH | O_DIRECTORY | O_CLOEXEC); }));
	if (!current.IsOpen())
		return errno;
	for (;;) {
		struct stat here{};
		if (::fstat(current.Get(), &here) != 0)
			return errno;
		if (IsSameEntry(here, inSource))
			return EINVAL;
		if (IsSameEntry(here, root))
			return 0;
		StDescriptor up(RetryOnInterrupt([&] { return ::openat(current.Get(), "..", O_PATH | O_DIRECTORY | O_CLOEXEC); }));
		if (!up.IsOpen())
			return errno;
		struct stat above{};
		if (::fstat(up.Get(), &above) != 0)
			return errno;
		if (IsSameEntry(above, here))
			return 0; // the top of this process's tree
		current = std::move(up);
	}
}

int32 CopyFolder(StDescriptor inFrom, const struct stat& inFromStat, int inTargetParent, const char* inTargetName,
	FolderPath& ioPath)
{
	if (::mkdirat(inTargetParent, inTargetName, 0700) != 0)
		return errno;
	StDescriptor to(RetryOnInterrupt([&] {
		return ::openat(inTargetParent, inTargetName, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
	}));
	if (!to.IsOpen())
		return errno;
	std::vector<Entry> entries;
	if (const int32 error = ReadEntries(inFrom.Get(), entries); error != 0)
		return error;
	for (const Entry& entry : entries) {
		const char* name = entry.fName.c_str();
		struct stat status{};
		if (::fstatat(inFrom.Get(), name, &status, AT_SYMLINK_NOFOLLOW) != 0)
			return errno;
		int32 error = 0;
		if (S_ISDIR(status.st_mode)) {
			if (IsOnPath(ioPath, status))
				continue;
			StDescriptor sub(RetryOnInterrupt([&] {
				return ::openat(inFrom.Get(), name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
			}));
			if (!sub.IsOpen())
				return errno;
			ioPath.emplace_back(status.st_dev, status.st_ino);
			error = CopyFolder(std::move(sub), status, to.Get(), name, ioPath);
			ioPath.pop_back();
		} else {
			error = CopyEntry(inFrom.Get(), name, status, to.Get(), name);
		}
		if (error != 0)
			return error;
	}
	// Mode and times last: filling the folder changed its times, and a
	// read-only mode would have stopped the filling.
	if (::fchmod(to.Get(), inFromStat.st_mode & 07777) != 0)
		return errno;
	const timespec times[2] = {inFromStat.st_atim, inFromStat.st_mtim};
	if (::futimens(to.Get(), times) != 0)
		return errno;
	return 0;
}

} // namespace

int32 CopyTree(const char* inSource, const char* inTarget)
{
	StParent source(inSource);
	if (source.Error() != 0)
		return source.Error();
	StParent target(inTarget);
	if (target.Error() != 0)
		return target.Error();
	struct stat sourceStat{};
	if (::fstatat(source.Folder(), source.Name(), &sourceStat, AT_SYMLINK_NOFOLLOW) != 0)
		return errno;
	if (!S_ISDIR(sourceStat.st_mode))
		return CopyFile(inSource, inTarget, false);
	struct stat targetStat{};
	if (::fstatat(target.Folder(), target.Name(), &targetStat, AT_SYMLINK_NOFOLLOW) == 0)
		return IsSameEntry(targetStat, sourceStat) ? EINVAL : EEXIST;
	if (errno != ENOENT)
		return errno;
	// Refused before anything is made: a copy into itself would never end.
	if (const int32 error = CheckOutsideOf(target.Folder(), sourceStat); error != 0)
		return error;

	StDescriptor from(RetryOnInterrupt([&] {
		return ::openat(source.Folder(), source.Name(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
	}));
	if (!from.IsOpen())
		return errno;
	// Built under a temporary name and renamed into place whole.
	const std::string temporary = TemporaryName();
	FolderPath path{{sourceStat.st_dev, sourceStat.st_ino}};
	int32 error = CopyFolder(std::move(from), sourceStat, target.Folder(), temporary.c_str(), path);
	if (error == 0)
		error = RenameExclusiveAt(target.Folder(), temporary.c_str(), target.Folder(), target.Name());
	if (error != 0) {
		UnlockEntry(target.Folder(), temporary.c_str());
		StDescriptor partial(RetryOnInterrupt([&] {
			return ::openat(target.Folder(), temporary.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
		}));
		if (partial.IsOpen()) {
			struct stat partialStat{};
			if (::fstat(partial.Get(), &partialStat) == 0 &&
				RemoveContents(partial.Get(), partialStat.st_dev, true) == 0)
				::unlinkat(target.Folder(), temporary.c_str(), AT_REMOVEDIR);
		}
	}
	return error;
}

} // namespace qirn::PosixFileOps
