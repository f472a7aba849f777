#pragma once

#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "files/IFileAttributeAccessor.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "files/platform/XLinuxFSObjectIterator.h"

#include <type_traits>

namespace qirn {

// The items directly inside a folder, one at a time, as the walker X finds
// them (option bits as XLinuxFSObjectIterator's). The first item is fetched
// at construction; Current() is null once there are no more.
template <class T, class X>
class VFSObjectIterator : public VObject, public IFileAttributeAccessor {
public:
	VFSObjectIterator(const VFolder* inFolder, uint32 inOptions)
		: fFolder(inFolder), fOptions(inOptions & ~(std::is_same_v<T, VFolder> ? 4u : 2u))
	{
		fWalker = new X(inFolder, fOptions);
		_Fetch();
	}
	~VFSObjectIterator() override
	{
		delete fWalker;
		ReleaseRefCountable(&fCurrent);
	}
	VFSObjectIterator(const VFSObjectIterator&) = delete;
	VFSObjectIterator& operator=(const VFSObjectIterator&) = delete;

	T* Current() const { return fCurrent; }
	T* operator->() const { return fCurrent; }
	// 0 before the first item, then 1, 2...
	int32 GetIndex() const { return fIndex; }

	T* Next()
	{
		_Fetch();
		return fCurrent;
	}
	VFSObjectIterator& operator++()
	{
		_Fetch();
		return *this;
	}

	VError GetTime(VTime* outModified, VTime* outCreated, VTime* outAccessed) const override
	{
		if (fCurrent == nullptr)
			return MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 3);
		return fCurrent->GetTimeAttributes(outModified, outCreated, outAccessed);
	}

private:
	void _Fetch()
	{
		ReleaseRefCountable(&fCurrent);
		if (fWalker == nullptr)
			return;
		fCurrent = fWalker->Next();
		if (fCurrent != nullptr) {
			++fIndex;
		} else {
			delete fWalker;
			fWalker = nullptr;
		}
	}

	VRefPtr<const VFolder> fFolder;
	T* fCurrent = nullptr;
	int32 fIndex = 0;
	uint32 fOptions = 0;
	X* fWalker = nullptr;
};

using VFolderIterator = VFSObjectIterator<VFolder, XLinuxFolderIterator>;
using VFileIterator = VFSObjectIterator<VFile, XLinuxFileIterator>;

} // namespace qirn
