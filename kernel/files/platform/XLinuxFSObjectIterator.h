#pragma once

#include "core/VObject.h"
#include "files/VFilePath.h"

#include <dirent.h>
#include <string>

namespace qirn {

class VFile;
class VFileSystem;
class VFolder;
class VTime;

// The directory walker under the folder iterators: one entry of one folder
// per step, with the iterator option bits (2 folders, 4 files and links,
// 8 hidden entries too, 16 links resolved to their targets). Paths are
// built whole, whatever their length: nothing is cut to a buffer.
class XLinuxFSObjectIterator : public VObject {
public:
	XLinuxFSObjectIterator(const VFolder* inFolder, uint32 inOptions);
	~XLinuxFSObjectIterator() override;
	XLinuxFSObjectIterator(const XLinuxFSObjectIterator&) = delete;
	XLinuxFSObjectIterator& operator=(const XLinuxFSObjectIterator&) = delete;

	// The next entry's kernel path and POSIX bytes; false at the end, or
	// when the folder could not be opened.
	bool GetNextPath(VFilePath& outPath, std::string& outPosixPath);

protected:
	VFileSystem* GetFileSystem() const { return fFileSystem; }

private:
	uint32 fOptions = 0;
	VFileSystem* fFileSystem = nullptr; // not retained: the iterator keeps its folder
	DIR* fDir = nullptr;
	std::string fFolderRealPath; // ends with '/'
	std::string fRootRealPath;	 // ends with '/'; empty without a file system
};

// Yields the folders of the walk.
class XLinuxFolderIterator : public XLinuxFSObjectIterator {
public:
	using XLinuxFSObjectIterator::XLinuxFSObjectIterator;

	// A new folder (one reference for the caller), null at the end.
	[[nodiscard]] VFolder* Next();
	static VError GetTimeAttributes(const VFolder* inFolder, VTime* outModified, VTime* outCreated,
									VTime* outAccessed);
};

// Yields the files (and links) of the walk.
class XLinuxFileIterator : public XLinuxFSObjectIterator {
public:
	using XLinuxFSObjectIterator::XLinuxFSObjectIterator;

	// A new file (one reference for the caller), null at the end.
	[[nodiscard]] VFile* Next();
};

} // namespace qirn
