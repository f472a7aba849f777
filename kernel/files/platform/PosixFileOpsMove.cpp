#include "files/platform/PosixFileOps.h"
#include "files/platform/PosixFileOpsAt.h"

#include <fcntl.h>
#include <unistd.h>

namespace qirn::PosixFileOps {

namespace {

// What stands at a target, and whether putting the source there is refused
// before anything is touched.
struct TargetCheck {
	bool fExists = false;
	struct stat fStat{};
};

// A target that is the source itself, or the file a source link points to
// (replacing it by the link would lose its bytes), is EINVAL; a folder
// target is refused (never replaced); an existing one is EEXIST unless
// inReplace.
int32 CheckTarget(const StParent& inSource, const struct stat& inSourceStat, const StParent& inTarget, bool inReplace,
	TargetCheck& outCheck)
{
	if (::fstatat(inTarget.Folder(), inTarget.Name(), &outCheck.fStat, AT_SYMLINK_NOFOLLOW) != 0)
		return errno == ENOENT ? 0 : errno;
	outCheck.fExists = true;
	if (IsSameEntry(outCheck.fStat, inSourceStat))
		return EINVAL;
	if (S_ISLNK(inSourceStat.st_mode)) {
		struct stat linked{};
		if (::fstatat(inSource.Folder(), inSource.Name(), &linked, 0) == 0 && IsSameEntry(linked, outCheck.fStat))
			return EINVAL;
	}
	if (S_ISDIR(outCheck.fStat.st_mode))
		return S_ISDIR(inSourceStat.st_mode) ? EEXIST : EISDIR;
	if (!inReplace || S_ISDIR(inSourceStat.st_mode))
		return EEXIST;
	return 0;
}

// Writes what a move across file systems copied to the disk before its
// source goes: the only copy must not be the one still in memory.
int32 SyncFolderFileSystem(int inFolder)
{
	StDescriptor folder(RetryOnInterrupt([&] { return ::openat(inFolder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC); }));
	if (!folder.IsOpen()) {
		::sync(); // a folder this process cannot read: every file system then
		return 0;
	}
	return ::syncfs(folder.Get()) == 0 ? 0 : errno;
}

// The placeholder is made exclusively: its creation is the refusal of an
// existing target, and replacing it loses nothing of anyone's.
int32 RenameOverPlaceholderAt(int inSourceFolder, const char* inSourceName, int inTargetFolder, const char* inTargetName)
{
	struct stat sourceStat{};
	if (::fstatat(inSourceFolder, inSourceName, &sourceStat, AT_SYMLINK_NOFOLLOW) != 0)
		return errno;
	const bool folder = S_ISDIR(sourceStat.st_mode);
	if (folder) {
		if (::mkdirat(inTargetFolder, inTargetName, 0700) != 0)
			return errno;
	} else {
		StDescriptor placeholder(RetryOnInterrupt([&] {
			return ::openat(inTargetFolder, inTargetName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
		}));
		if (!placeholder.IsOpen())
			return errno;
	}
	struct stat placeholderStat{};
	if (::fstatat(inTargetFolder, inTargetName, &placeholderStat, AT_SYMLINK_NOFOLLOW) != 0)
		return errno;
	if (::renameat(inSourceFolder, inSourceName, inTargetFolder, inTargetName) == 0)
		return 0;
	const int32 error = errno;
	struct stat now{};
	if (::fstatat(inTargetFolder, inTargetName, &now, AT_SYMLINK_NOFOLLOW) == 0 && IsSameEntry(now, placeholderStat))
		::unlinkat(inTargetFolder, inTargetName, folder ? AT_REMOVEDIR : 0);
	return error;
}

} // namespace

int32 RenameOverPlaceholder(const char* inSource, const char* inTarget)
{
	StParent source(inSource);
	if (source.Error() != 0)
		return source.Error();
	StParent target(inTarget);
	if (target.Error() != 0)
		return target.Error();
	return RenameOverPlaceholderAt(source.Folder(), source.Name(), target.Folder(), target.Name());
}

int32 RenameExclusiveAt(int inSourceFolder, const char* inSourceName, int inTargetFolder, const char* inTargetName)
{
	if (::renameat2(inSourceFolder, inSourceName, inTargetFolder, inTargetName, RENAME_NOREPLACE) == 0)
		return 0;
	const int32 error = errno;
	// EINVAL is also the answer for a folder moved into itself: the
	// placeholder's rename then gives it again.
	if (error != EINVAL && error != ENOSYS)
		return error;
	return RenameOverPlaceholderAt(inSourceFolder, inSourceName, inTargetFolder, inTargetName);
}

int32 RenameExclusive(const char* inSource, const char* inTarget)
{
	StParent source(inSource);
	if (source.Error() != 0)
		return source.Error();
	StParent target(inTarget);
	if (target.Error() != 0)
		return target.Error();
	return RenameExclusiveAt(source.Folder(), source.Name(), target.Folder(), target.Name());
}

int32 CopyFile(const char* inSource, const char* inTarget, bool inReplace)
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
	if (S_ISDIR(sourceStat.st_mode))
		return EISDIR;
	TargetCheck check;
	if (const int32 error = CheckTarget(source, sourceStat, target, inReplace, check); error != 0)
		return error;

	// Built beside the target and renamed into place: whatever fails, no
	// partial target is ever seen under its name.
	const std::string temporary = TemporaryName();
	int32 error = CopyEntry(source.Folder(), source.Name(), sourceStat, target.Folder(), temporary.c_str());
	if (error == 0) {
		if (check.fExists)
			error = ::renameat(target.Folder(), temporary.c_str(), target.Folder(), target.Name()) == 0 ? 0 : errno;
		else
			error = RenameExclusiveAt(target.Folder(), temporary.c_str(), target.Folder(), target.Name());
	}
	if (error != 0)
		::unlinkat(target.Folder(), temporary.c_str(), 0);
	return error;
}

int32 Move(const char* inSource, const char* inTarget, bool inReplace)
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
	TargetCheck check;
	if (const int32 error = CheckTarget(source, sourceStat, target, inReplace, check); error != 0)
		return error;

	int32 error = 0;
	if (check.fExists)
		error = ::renameat(source.Folder(), source.Name(), target.Folder(), target.Name()) == 0 ? 0 : errno;
	else
		error = RenameExclusiveAt(source.Folder(), source.Name(), target.Folder(), target.Name());
	if (error != EXDEV)
		return error;

	// Across file systems: copy all, put it on disk, and only then let the
	// source go. The system answers EXDEV before it looks at permissions:
	// what could not be renamed away is not copied either.
	if (::faccessat(source.Folder(), ".", W_OK | X_OK, AT_EACCESS) != 0)
		return errno;
	const bool folder = S_ISDIR(sourceStat.st_mode);
	error = folder ? CopyTree(inSource, inTarget) : CopyFile(inSource, inTarget, inReplace);
	if (error == 0)
		error = SyncFolderFileSystem(target.Folder());
	if (error != 0)
		return error;
	// Forced, as a rename would have taken the folder whatever its contents'
	// modes.
	if (folder)
		return RemoveTree(inSource, true);
	return ::unlinkat(source.Folder(), source.Name(), 0) == 0 ? 0 : errno;
}

} // namespace qirn::PosixFileOps
