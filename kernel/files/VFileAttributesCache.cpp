#include "files/VFileAttributesCache.h"

#include "files/IFile.h"
#include "files/IFolder.h"
#include "files/VFilePath.h"

#include <mutex>

namespace qirn {

namespace {

// Files only, visible ones, not recursive.
constexpr uint32 kVisibleFiles = 4;

void Collect(VFileAttributesCache::AttributesMap& ioMap, const IFile& inFile)
{
	VFileAttributesCache::Attributes attributes;
	if (inFile.GetTimeAttributes(&attributes.fModified, &attributes.fCreated, &attributes.fAccessed) != VE_OK)
		return;
	VString path;
	inFile.GetPath().GetPath(path);
	ioMap.emplace(std::move(path), attributes);
}

} // namespace

bool VFileAttributesCache::FileExists(const VFilePath& inPath) const
{
	VString path;
	inPath.GetPath(path);
	std::shared_lock lock(fLock);
	return fAttributes.find(path) != fAttributes.end();
}

bool VFileAttributesCache::GetTimeAttributes(const VFilePath& inPath, VTime* outModified, VTime* outCreated,
											 VTime* outAccessed) const
{
	VString path;
	inPath.GetPath(path);
	std::shared_lock lock(fLock);
	AttributesMap::const_iterator found = fAttributes.find(path);
	if (found == fAttributes.end())
		return false;
	if (outModified != nullptr)
		*outModified = found->second.fModified;
	if (outCreated != nullptr)
		*outCreated = found->second.fCreated;
	if (outAccessed != nullptr)
		*outAccessed = found->second.fAccessed;
	return true;
}

void VFileAttributesCache::CollectFileAttributes(AttributesMap& ioMap, const IFile* inFile)
{
	if (inFile != nullptr)
		Collect(ioMap, *inFile);
}

void VFileAttributesCache::CollectFileAttributes(AttributesMap& ioMap, const IFolder* inFolder)
{
	if (inFolder == nullptr)
		return;
	inFolder->IterateFiles(
		[&ioMap](IFile* inFile, IFileAttributeAccessor*) {
			if (inFile != nullptr)
				Collect(ioMap, *inFile);
			return true;
		},
		kVisibleFiles);
}

void VFileAttributesCache::SwapMap(AttributesMap& ioMap)
{
	std::unique_lock lock(fLock);
	fAttributes.swap(ioMap);
}

void VFileAttributesCache::Clear()
{
	// The old entries are freed after the lock is left.
	AttributesMap old;
	std::unique_lock lock(fLock);
	fAttributes.swap(old);
}

} // namespace qirn
