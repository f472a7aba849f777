#include "files/platform/PosixFileOpsAt.h"

#include <atomic>
#include <climits>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <string_view>
#include <sys/random.h>
#include <unistd.h>
#include <vector>

namespace qirn::PosixFileOps {

void StDescriptor::Reset(int inDescriptor)
{
	if (fDescriptor >= 0)
		::close(fDescriptor); // never retried: Linux frees the descriptor even when interrupted
	fDescriptor = inDescriptor;
}

int OpenFolder(const char* inPath, int inFlags)
{
	const int flags = inFlags | O_DIRECTORY | O_CLOEXEC;
	std::string_view rest(inPath);
	if (rest.size() < PATH_MAX)
		return RetryOnInterrupt([&] { return ::openat(AT_FDCWD, inPath, flags); });

	// Too long for one call: open the longest head that fits, then go on from
	// there. Folders on the way are followed as the system would follow them.
	StDescriptor current;
	int at = AT_FDCWD;
	while (rest.size() >= PATH_MAX) {
		const size_t cut = rest.substr(0, PATH_MAX - 1).rfind('/');
		if (cut == std::string_view::npos) {
			errno = ENAMETOOLONG;
			return -1;
		}
		const std::string head(rest.substr(0, cut == 0 ? 1 : cut));
		const int next = RetryOnInterrupt([&] { return ::openat(at, head.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC); });
		if (next < 0)
			return -1;
		current.Reset(next);
		at = next;
		rest.remove_prefix(cut);
		while (!rest.empty() && rest.front() == '/')
			rest.remove_prefix(1);
	}
	const std::string last(rest.empty() ? "." : rest);
	return RetryOnInterrupt([&] { return ::openat(at, last.c_str(), flags); });
}

StParent::StParent(const char* inPath)
{
	std::string_view path(inPath != nullptr ? inPath : "");
	if (path.empty()) {
		fError = ENOENT;
		return;
	}
	while (path.size() > 1 && path.back() == '/')
		path.remove_suffix(1);
	const size_t slash = path.rfind('/');
	if (slash == std::string_view::npos) {
		fFolderPath.assign(1, '.');
		fName.assign(path);
	} else {
		fFolderPath.assign(slash == 0 ? path.substr(0, 1) : path.substr(0, slash));
		fName.assign(path.substr(slash + 1));
	}
	if (fName.empty() || fName == "." || fName == "..") {
		fError = EINVAL;
		return;
	}
	fFolder.Reset(OpenFolder(fFolderPath.c_str(), O_PATH));
	if (!fFolder.IsOpen())
		fError = errno;
}

std::string TemporaryName()
{
	uint64 random = 0;
	if (::getrandom(&random, sizeof(random), GRND_NONBLOCK) != sizeof(random)) {
		// No entropy yet (early boot): a process-wide counter mixed with the
		// time and process still never repeats within this process, and the
		// exclusive creation catches a meeting with another one.
		static std::atomic<uint64> sCounter{0};
		timespec now{};
		::clock_gettime(CLOCK_REALTIME, &now);
		random = (static_cast<uint64>(now.tv_nsec) << 20) ^ static_cast<uint64>(now.tv_sec) ^
			(static_cast<uint64>(::getpid()) << 40) ^ sCounter.fetch_add(0x9E3779B97F4A7C15ull);
	}
	static constexpr char kDigits[] = "0123456789abcdef";
	std::string name = ".qrn_";
	for (int shift = 60; shift >= 0; shift -= 4)
		name += kDigits[(random >> shift) & 0xF];
	return name;
}

namespace {

// Errors after which copy_file_range is given up for plain reads and writes:
// the two files on file systems it cannot join, or a system without it.
bool CopyRangeUnavailable(int inError)
{
	return inError == EXDEV || inError == ENOSYS || inError == EOPNOTSUPP || inError == EINVAL || inError == EBADF;
}

int32 CopyBytesByReadAndWrite(int inFrom, int inTo)
{
	constexpr size_t kBufferSize = 256 * 1024;
	std::vector<char> buffer(kBufferSize);
	for (;;) {
		const ssize_t got = RetryOnInterrupt([&] { return ::read(inFrom, buffer.data(), buffer.size()); });
		if (got < 0)
			return errno;
		if (got == 0)
			return 0;
		size_t done = 0;
		while (done < static_cast<size_t>(got)) {
			const ssize_t put = RetryOnInterrupt([&] { return ::write(inTo, buffer.data() + done, got - done); });
			if (put < 0)
				return errno;
			if (put == 0)
				return ENOSPC;
			done += static_cast<size_t>(put);
		}
	}
}

} // namespace

int32 CopyBytes(int inFrom, int inTo)
{
	constexpr size_t kRangeChunk = size_t(1) << 30;
	bool copiedAny = false;
	for (;;) {
		const ssize_t copied = RetryOnInterrupt([&] { return ::copy_file_range(inFrom, nullptr, inTo, nullptr, kRangeChunk, 0); });
		if (copied > 0) {
			copiedAny = true;
			continue;
		}
		if (copied == 0) {
			// Files the system sizes at 0 (under /proc, say) give nothing to
			// copy_file_range and still have bytes to read.
			return copiedAny ? 0 : CopyBytesByReadAndWrite(inFrom, inTo);
		}
		if (!CopyRangeUnavailable(errno))
			return errno;
		// Both offsets stand after what was copied: reading and writing go
		// on from there.
		return CopyBytesByReadAndWrite(inFrom, inTo);
	}
}

namespace {

int32 CopyLinkText(int inSourceFolder, const char* inSourceName, const struct stat& inStat, std::string& outText)
{
	size_t size = inStat.st_size > 0 ? static_cast<size_t>(inStat.st_size) + 1 : 256;
	for (;;) {
		outText.resize(size);
		const ssize_t length = ::readlinkat(inSourceFolder, inSourceName, outText.data(), size);
		if (length < 0)
			return errno;
		if (static_cast<size_t>(length) < size) {
			outText.resize(static_cast<size_t>(length));
			return 0;
		}
		size *= 2; // the link changed since it was measured
	}
}

int32 CopyFileEntry(int inSourceFolder, const char* inSourceName, const struct stat& inStat, int inTargetFolder,
	const char* inTargetName)
{
	// Non-blocking, so that a FIFO put in the file's place since it was
	// looked at never stalls the copy; it is then refused.
	StDescriptor from(RetryOnInterrupt([&] {
		return ::openat(inSourceFolder, inSourceName, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
	}));
	if (!from.IsOpen())
		return errno;
	struct stat opened{};
	if (::fstat(from.Get(), &opened) != 0)
		return errno;
	if (!S_ISREG(opened.st_mode) || !IsSameEntry(opened, inStat))
		return EAGAIN;
	// Written owner-only until complete, then given the source's mode.
	StDescriptor to(RetryOnInterrupt([&] {
		return ::openat(inTargetFolder, inTargetName, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
	}));
	if (!to.IsOpen())
		return errno;
	if (const int32 error = CopyBytes(from.Get(), to.Get()); error != 0)
		return error;
	if (::fchmod(to.Get(), inStat.st_mode & 07777) != 0)
		return errno;
	const timespec times[2] = {inStat.st_atim, inStat.st_mtim};
	if (::futimens(to.Get(), times) != 0)
		return errno;
	// Some file systems (NFS, FUSE) report a failed write only here.
	if (::close(to.Release()) != 0 && errno != EINTR)
		return errno;
	return 0;
}

} // namespace

int32 CopyEntry(int inSourceFolder, const char* inSourceName, const struct stat& inStat, int inTargetFolder,
	const char* inTargetName)
{
	const timespec times[2] = {inStat.st_atim, inStat.st_mtim};
	switch (inStat.st_mode & S_IFMT) {
	case S_IFDIR:
		return EISDIR;
	case S_IFREG:
		return CopyFileEntry(inSourceFolder, inSourceName, inStat, inTargetFolder, inTargetName);
	case S_IFLNK: {
		std::string text;
		if (const int32 error = CopyLinkText(inSourceFolder, inSourceName, inStat, text); error != 0)
			return error;
		if (::symlinkat(text.c_str(), inTargetFolder, inTargetName) != 0)
			return errno;
		if (::utimensat(inTargetFolder, inTargetName, times, AT_SYMLINK_NOFOLLOW) != 0)
			return errno;
		return 0;
	}
	default:
		// FIFOs, sockets and devices are made again (devices need root).
		if (::mknodat(inTargetFolder, inTargetName, inStat.st_mode & (S_IFMT | 0600), inStat.st_rdev) != 0)
			return errno;
		if (::fchmodat(inTargetFolder, inTargetName, inStat.st_mode & 07777, 0) != 0)
			return errno;
		if (::utimensat(inTargetFolder, inTargetName, times, AT_SYMLINK_NOFOLLOW) != 0)
			return errno;
		return 0;
	}
}

} // namespace qirn::PosixFileOps
