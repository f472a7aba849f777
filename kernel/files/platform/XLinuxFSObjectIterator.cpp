#include "files/platform/XLinuxFSObjectIterator.h"

#include "core/VMemory.h"
#include "files/VFile.h"
#include "files/VFileSystem.h"
#include "files/VFolder.h"
#include "files/platform/PosixFileOpsAt.h"
#include "files/platform/XLinuxFile.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qirn {

namespace {

constexpr uint32 kYieldFolders = 2;
constexpr uint32 kYieldFiles = 4;
constexpr uint32 kYieldHidden = 8;
constexpr uint32 kResolveLinks = 16;

} // namespace

XLinuxFSObjectIterator::XLinuxFSObjectIterator(const VFolder* inFolder, uint32 inOptions)
	: fOptions(inOptions), fFileSystem(inFolder->GetFileSystem())
{
	const char* path = inFolder->GetPlatform().GetPosixPathBytes();
	const int folder = PosixFileOps::OpenFolder(path, O_RDONLY);
	if (folder < 0)
		return;
	fDir = ::fdopendir(folder);
	if (fDir == nullptr) {
		::close(folder);
		return;
	}
	// Entries are named from the folder's real path; a folder too deep for
	// realpath keeps the path it was given, so that it is still walked.
	fFolderRealPath = XLinuxFolder::RealPath(path);
	if (fFolderRealPath.empty()) {
		fFolderRealPath = path;
		if (fFolderRealPath.empty() || fFolderRealPath.back() != '/')
			fFolderRealPath.push_back('/');
	}
	if (fFileSystem != nullptr) {
		char* root = XLinuxFile::AllocatePosixPathFromFilePath(fFileSystem->GetRoot());
		if (root != nullptr) {
			fRootRealPath = XLinuxFolder::RealPath(root);
			VMemory::DisposePtr(root);
		}
	}
}

XLinuxFSObjectIterator::~XLinuxFSObjectIterator()
{
	if (fDir != nullptr)
		::closedir(fDir);
}

bool XLinuxFSObjectIterator::GetNextPath(VFilePath& outPath, std::string& outPosixPath)
{
	if (fDir == nullptr)
		return false;
	for (;;) {
		errno = 0;
		const dirent* entry = ::readdir(fDir);
		if (entry == nullptr)
			return false;
		const char* name = entry->d_name;
		if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
			continue;
		const unsigned char type = entry->d_type;
		if (type != DT_UNKNOWN && type != DT_DIR && type != DT_REG && type != DT_LNK)
			continue;
		const bool hidden = name[0] == '.';
		if (hidden && (fOptions & kYieldHidden) == 0)
			continue;

		outPosixPath.assign(fFolderRealPath).append(name);
		struct stat status{};
		if (::fstatat(::dirfd(fDir), name, &status, AT_SYMLINK_NOFOLLOW) != 0)
			continue;
		if (S_ISLNK(status.st_mode) && (fOptions & kResolveLinks) != 0) {
			// The target by its real path, never by opening it: a FIFO would
			// block. A link leading nowhere is skipped.
			std::string real;
			if (!XLinuxFile::RealPath(outPosixPath.c_str(), true, real))
				continue;
			outPosixPath.swap(real);
			if (::lstat(outPosixPath.c_str(), &status) != 0)
				continue;
		}
		const bool isFolder = S_ISDIR(status.st_mode);
		if (!isFolder && !S_ISREG(status.st_mode) && !S_ISLNK(status.st_mode))
			continue;
		if (isFolder ? (fOptions & kYieldFolders) == 0 : (fOptions & kYieldFiles) == 0)
			continue;
		if (isFolder && outPosixPath.back() != '/')
			outPosixPath.push_back('/');
		// Outside the file system's root (through a link): not given out.
		if (!fRootRealPath.empty() && outPosixPath.compare(0, fRootRealPath.size(), fRootRealPath) != 0)
			continue;
		XLinuxFile::GetFilePathFromPosixPath(outPosixPath.c_str(), isFolder, outPath);
		if (!outPath.IsValid())
			continue;
		if (fFileSystem != nullptr && fRootRealPath.empty() && !outPath.IsChildOf(fFileSystem->GetRoot()))
			continue;
		return true;
	}
}

VFolder* XLinuxFolderIterator::Next()
{
	VFilePath path;
	std::string posix;
	if (!GetNextPath(path, posix))
		return nullptr;
	return new VFolder(posix.c_str(), path, GetFileSystem());
}

VFile* XLinuxFileIterator::Next()
{
	VFilePath path;
	std::string posix;
	if (!GetNextPath(path, posix))
		return nullptr;
	return new VFile(posix.c_str(), path, GetFileSystem());
}

VError XLinuxFolderIterator::GetTimeAttributes(const VFolder* inFolder, VTime* outModified, VTime* outCreated,
											   VTime* outAccessed)
{
	return inFolder->GetTimeAttributes(outModified, outCreated, outAccessed);
}

} // namespace qirn
