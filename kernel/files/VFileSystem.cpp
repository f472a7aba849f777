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
	return new VFileSystem(inName, inRoot, inOptions);
}

VFileSystem::VFileSystem(const VString& inName, IFolder* inRoot, uint32 inOptions)
	: fName(inName), fRoot(RetainRefCountable(inRoot)), fOptions(inOptions)
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

} // namespace qirn
