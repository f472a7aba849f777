#include "files/VFileSystem.h"

#include "files/FolderErrorCodes.h"
#include "files/IFolder.h"
#include "files/VFileAttributesCache.h"
#include "files/VFolder.h"
#include "runtime/VError.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"

namespace qirn {

VFileSystem* VFileSystem::Create(const VString& inName, IFolder* inRoot, uint32 inOptions, VError* outError)
{
	return Create(inName, inRoot, inOptions, 0, 0, outError);
}

VFileSystem* VFileSystem::Create(const VString& inName, IFolder* inRoot, uint32 inOptions, uint64 inQuota,
								 uint64 inUsed, VError* outError)
{
	if (inName.IsEmpty() || inName.FindUniChar(u'/') > 0) {
		auto* error = new VErrorBase(VE_FILE_SYSTEM_BAD_NAME);
		error->SetString(CVSTR("name"), inName);
		_PushRetainedError(error);
		if (outError != nullptr)
			*outError = VE_FILE_SYSTEM_BAD_NAME;
		return nullptr;
	}
	if (outError != nullptr)
		*outError = VE_OK;
	return new VFileSystem(inName, inRoot, inOptions, inQuota, inUsed);
}

VFileSystem::VFileSystem(const VString& inName, IFolder* inRoot, uint32 inOptions, uint64 inQuota, uint64 inUsed)
	: fName(inName), fRoot(RetainRefCountable(inRoot)), fQuota(inQuota), fOptions(inOptions), fUsed(inUsed)
{
	if ((fOptions & kAttributesCache) != 0) {
		VFileSystem* rootFileSystem = fRoot != nullptr ? fRoot->GetFileSystem() : nullptr;
		VFileAttributesCache* shared = rootFileSystem != nullptr ? rootFileSystem->GetAttributesCache() : nullptr;
		fCache = shared != nullptr ? RetainRefCountable(shared) : new VFileAttributesCache();
	}
}

VFileSystem::~VFileSystem()
{
	if ((fOptions & kDeleteRootAtEnd) != 0) {
		if (const VFolder* root = dynamic_cast<const VFolder*>(fRoot); root != nullptr && root->Exists()) {
			StErrorContextInstaller scope(false, false);
			root->Delete(true);
		}
	}
	ReleaseRefCountable(&fRoot);
	ReleaseRefCountable(&fCache);
}

const VFilePath& VFileSystem::GetRoot() const
{
	static const VFilePath sNoPath;
	return fRoot != nullptr ? fRoot->GetPath() : sNoPath;
}

VFolder* VFileSystem::RetainRootFolder() const
{
	if (fRoot == nullptr)
		return nullptr;
	IFolder* root = fRoot->RetainRelativeFolder(VString(), FPS_POSIX, const_cast<VFileSystem*>(this));
	VFolder* folder = dynamic_cast<VFolder*>(root);
	if (folder == nullptr && root != nullptr)
		root->Release();
	return folder;
}

bool VFileSystem::GetPathWithName(const VFilePath& inPath, VString& outText) const
{
	VString relative;
	if (!inPath.GetRelativePosixPath(GetRoot(), relative))
		return false;
	outText.Clear();
	outText.AppendUniChar(u'/');
	outText.AppendString(GetName());
	outText.AppendUniChar(u'/');
	outText.AppendString(relative);
	return true;
}

bool VFileSystem::IsAuthorized(const VFilePath& inPath) const
{
	return inPath.IsSameOrChildOf(GetRoot());
}

uint64 VFileSystem::GetFreeQuota() const
{
	const uint64 used = fUsed.load(std::memory_order_relaxed);
	return used < fQuota ? fQuota - used : 0;
}

VError VFileSystem::Request(uint64 inBytes)
{
	if (!IsWritable())
		return VE_FILE_SYSTEM_NOT_WRITABLE;
	if (fQuota == 0)
		return VE_OK;
	uint64 used = fUsed.load(std::memory_order_relaxed);
	do {
		const uint64 free = used < fQuota ? fQuota - used : 0;
		if (free < inBytes)
			return VE_FILE_SYSTEM_QUOTA_EXCEEDED;
	} while (!fUsed.compare_exchange_weak(used, used + inBytes, std::memory_order_relaxed));
	return VE_OK;
}

VError VFileSystem::Relinquish(uint64 inBytes)
{
	if (!IsWritable())
		return VE_FILE_SYSTEM_NOT_WRITABLE;
	if (fQuota == 0)
		return VE_OK;
	uint64 used = fUsed.load(std::memory_order_relaxed);
	while (!fUsed.compare_exchange_weak(used, used > inBytes ? used - inBytes : 0, std::memory_order_relaxed)) {
	}
	return VE_OK;
}

} // namespace qirn
