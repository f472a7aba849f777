#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "core/VTime.h"

#include <map>
#include <shared_mutex>

namespace qirn {

class IFile;
class IFolder;
class VFilePath;

// Remembers, for a set of file paths, that the files exist and their three
// times, so that a file system can answer without asking the disk. The
// owner fills a fresh map outside the cache and swaps it in whole; readers
// share the lock.
class VFileAttributesCache : public VObject, public IRefCountable {
public:
	struct Attributes {
		VTime fModified;
		VTime fCreated;
		VTime fAccessed;
	};
	// Keys are path texts compared unit for unit: on Linux two names that
	// differ only in case or composition are two files.
	struct RawOrder {
		bool operator()(const VString& inA, const VString& inB) const
		{
			return inA.CompareToStringRaw(inB) == CR_SMALLER;
		}
	};
	using AttributesMap = std::map<VString, Attributes, RawOrder>;

	VFileAttributesCache() = default;
	VFileAttributesCache(const VFileAttributesCache&) = delete;
	VFileAttributesCache& operator=(const VFileAttributesCache&) = delete;

	bool FileExists(const VFilePath& inPath) const;
	// Copies the times asked for (any may be null) when the path is known;
	// false, nothing written, otherwise.
	bool GetTimeAttributes(const VFilePath& inPath, VTime* outModified, VTime* outCreated, VTime* outAccessed) const;

	// Adds the file's times unless they cannot be read; an entry already
	// there stays. A null file adds nothing.
	static void CollectFileAttributes(AttributesMap& ioMap, const IFile* inFile);
	// The same for each visible file directly inside the folder.
	static void CollectFileAttributes(AttributesMap& ioMap, const IFolder* inFolder);

	// Exchanges the cache's map with the caller's, which gets the old one.
	void SwapMap(AttributesMap& ioMap);
	void Clear();

private:
	~VFileAttributesCache() override = default;

	mutable std::shared_mutex fLock;
	AttributesMap fAttributes;
};

} // namespace qirn
