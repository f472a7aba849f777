#include "json/VJSONFileCache.h"

#include "files/VFilePath.h"
#include "json/VStorageLocker.h"

namespace qirn {

VJSONValue VJSONFileCache::GetValue(const VFilePath& inPath) const
{
	VString key;
	inPath.GetPosixPath(key);
	StGraphThenLock lock(fLock);
	auto found = fDocuments.find(key);
	return found != fDocuments.end() ? found->second : VJSONValue();
}

void VJSONFileCache::SetValue(const VFilePath& inPath, const VJSONValue& inValue)
{
	VString key;
	inPath.GetPosixPath(key);
	// The document replaced or removed goes after the lock is let go: freeing
	// a tree may take long.
	VJSONValue previous;
	{
		StGraphThenLock lock(fLock);
		if (inValue.IsUndefined()) {
			auto found = fDocuments.find(key);
			if (found == fDocuments.end())
				return;
			previous = std::move(found->second);
			fDocuments.erase(found);
		} else {
			VJSONValue& slot = fDocuments[key];
			previous = std::move(slot);
			slot = inValue;
		}
	}
}

size_t VJSONFileCache::GetCount() const
{
	StGraphThenLock lock(fLock);
	return fDocuments.size();
}

} // namespace qirn
