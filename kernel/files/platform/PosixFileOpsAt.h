#pragma once

// What the sources of the POSIX file layer share: descriptors closed at the
// end of a scope, paths of any length reached through directory
// descriptors, temporary names, and the copy of one entry. Internal: not
// installed.

#include "core/VKernelTypes.h"

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <utility>

namespace qirn::PosixFileOps {

// Calls a system function again for as long as a signal interrupts it.
template <typename F>
auto RetryOnInterrupt(F&& inCall) -> decltype(inCall())
{
	decltype(inCall()) result;
	do {
		result = inCall();
	} while (result == -1 && errno == EINTR);
	return result;
}

// A descriptor, closed when the scope ends.
class StDescriptor {
public:
	StDescriptor() = default;
	explicit StDescriptor(int inDescriptor) : fDescriptor(inDescriptor) {}
	~StDescriptor() { Reset(); }
	StDescriptor(StDescriptor&& ioOther) noexcept : fDescriptor(std::exchange(ioOther.fDescriptor, -1)) {}
	StDescriptor& operator=(StDescriptor&& ioOther) noexcept
	{
		if (this != &ioOther)
			Reset(std::exchange(ioOther.fDescriptor, -1));
		return *this;
	}
	StDescriptor(const StDescriptor&) = delete;
	StDescriptor& operator=(const StDescriptor&) = delete;

	int Get() const { return fDescriptor; }
	bool IsOpen() const { return fDescriptor >= 0; }
	int Release() { return std::exchange(fDescriptor, -1); }
	void Reset(int inDescriptor = -1);

private:
	int fDescriptor = -1;
};

// A path's folder, open (O_PATH), and its last component: every operation
// works on the pair, so that a path longer than PATH_MAX is reached one
// piece at a time and the last component is never resolved by accident.
// Final '/' are dropped ("link/" names the link). A path whose last
// component is "." or ".." names no entry of its folder: EINVAL.
class StParent {
public:
	explicit StParent(const char* inPath);

	int32 Error() const { return fError; }
	int Folder() const { return fFolder.Get(); }
	const char* Name() const { return fName.c_str(); }
	// The folder's own path as given ("." for a bare name).
	const std::string& FolderPath() const { return fFolderPath; }

private:
	int32 fError = 0;
	StDescriptor fFolder;
	std::string fFolderPath;
	std::string fName;
};

// Opens a folder of any path length, following links on the way as the
// system would, with the flags given (O_DIRECTORY and O_CLOEXEC added).
// Answers the descriptor or -1 with errno set.
int OpenFolder(const char* inPath, int inFlags);

// A name for a temporary entry beside a target: hidden, short enough for any
// folder, random so that concurrent copies never meet.
std::string TemporaryName();

// Copies the bytes of one open file to another, with copy_file_range while
// the system can and read and write otherwise; a short write is an error
// (ENOSPC when the system gave none).
int32 CopyBytes(int inFrom, int inTo);

// Makes inName in inTargetFolder (which must not exist) a copy of the entry
// inSourceName of inSourceFolder described by inStat, folders excepted: a
// file with its bytes, a link with its text, anything else with mknod; then
// its mode and times. A failure may leave a partial entry, which the caller
// removes.
int32 CopyEntry(int inSourceFolder, const char* inSourceName, const struct stat& inStat, int inTargetFolder,
	const char* inTargetName);

// Same file, by device and inode.
inline bool IsSameEntry(const struct stat& inA, const struct stat& inB)
{
	return inA.st_dev == inB.st_dev && inA.st_ino == inB.st_ino;
}

// Removes what inFolder holds (the walk of RemoveTree). inRootDevice is the
// tree's device: nothing mounted below is entered.
int32 RemoveContents(int inFolder, dev_t inRootDevice, bool inForced);

// The exclusive rename on descriptors, with the placeholder fallback.
int32 RenameExclusiveAt(int inSourceFolder, const char* inSourceName, int inTargetFolder, const char* inTargetName);

} // namespace qirn::PosixFileOps
