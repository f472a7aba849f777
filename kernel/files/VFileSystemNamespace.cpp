#include "files/VFileSystemNamespace.h"

#include "files/IFile.h"
#include "files/IFolder.h"
#include "files/VFile.h"
#include "files/VFileSystem.h"
#include "files/VFolder.h"

namespace qirn {

namespace {

bool EndsWithSlash(const VString& inText)
{
	return !inText.IsEmpty() && inText.GetUniChar(inText.GetLength()) == u'/';
}

} // namespace

VFileSystemNamespace::VFileSystemNamespace(VFileSystemNamespace* inParent) : fParent(RetainRefCountable(inParent))
{
	fFileSystems.max_load_factor(1.0f);
}

VFileSystemNamespace::~VFileSystemNamespace()
{
	fFileSystems.clear();
	ReleaseRefCountable(&fParent);
}

// ---- Registration ----------------------------------------------------------

void VFileSystemNamespace::RegisterFileSystem(VFileSystem* inFileSystem)
{
	if (inFileSystem == nullptr)
		return;
	VRefPtr<VFileSystem> replaced;
	{
		StLocker<VCriticalSection> lock(fLock);
		VRefPtr<VFileSystem>& slot = fFileSystems[inFileSystem->GetName()];
		replaced = std::move(slot);
		slot = VRefPtr<VFileSystem>(inFileSystem);
	}
	// The one replaced is released outside the lock: with option 0x04 its end
	// deletes a whole folder.
}

VError VFileSystemNamespace::RegisterFileSystem(const VString& inName, IFolder* inRoot, uint32 inOptions)
{
	VError error = VE_OK;
	VRefPtr<VFileSystem> fileSystem = VRefPtr<VFileSystem>::Adopt(VFileSystem::Create(inName, inRoot, inOptions, &error));
	RegisterFileSystem(fileSystem.Get());
	return error;
}

void VFileSystemNamespace::UnregisterFileSystem(const VString& inName)
{
	VRefPtr<VFileSystem> removed;
	{
		StLocker<VCriticalSection> lock(fLock);
		auto found = fFileSystems.find(inName);
		if (found == fFileSystems.end())
			return;
		removed = std::move(found->second);
		fFileSystems.erase(found);
	}
}

// ---- Lookups -----------------------------------------------------------------

VFileSystem* VFileSystemNamespace::RetainFileSystem(const VString& inName, uint32 inOptions) const
{
	for (const VFileSystemNamespace* space = this; space != nullptr; space = space->fParent) {
		VRefPtr<VFileSystem> found;
		{
			StLocker<VCriticalSection> lock(space->fLock);
			auto entry = space->fFileSystems.find(inName);
			if (entry != space->fFileSystems.end())
				found = entry->second;
		}
		if (found)
			return (inOptions & kSkipHidden) != 0 && found->IsHidden() ? nullptr : found.Forget();
		if ((inOptions & kSearchParents) == 0)
			break;
	}
	return nullptr;
}

VFolder* VFileSystemNamespace::RetainFileSystemRootFolder(const VString& inName, uint32 inOptions) const
{
	VRefPtr<VFileSystem> fileSystem = VRefPtr<VFileSystem>::Adopt(RetainFileSystem(inName, inOptions));
	return fileSystem ? fileSystem->RetainRootFolder() : nullptr;
}

void VFileSystemNamespace::RetainMapOfFileSystems(FileSystemMap& ioMap, uint32 inOptions) const
{
	if ((inOptions & kSearchParents) != 0 && fParent != nullptr)
		fParent->RetainMapOfFileSystems(ioMap, inOptions);
	StLocker<VCriticalSection> lock(fLock);
	for (const auto& [name, fileSystem] : fFileSystems) {
		if ((inOptions & kSkipHidden) != 0 && fileSystem->IsHidden())
			continue;
		ioMap[name] = fileSystem;
	}
}

// ---- Paths with a file system -------------------------------------------------

bool VFileSystemNamespace::ParsePathWithFileSystem(const VString& inText, VRefPtr<VFileSystem>& outFileSystem,
												   VString& outRest, uint32 inOptions) const
{
	if (inText.IsEmpty() || inText.GetUniChar(1) != u'/')
		return false;
	const VIndex slash = inText.FindUniChar(u'/', 2);
	if (slash <= 0)
		return false;
	VRefPtr<VFileSystem> fileSystem =
		VRefPtr<VFileSystem>::Adopt(RetainFileSystem(inText.GetSubString(2, slash - 2), inOptions));
	if (!fileSystem)
		return false;
	const VFilePath& root = fileSystem->GetRoot();
	if (!root.IsFolder())
		return false;
	VFilePath resolved(root, inText.GetSubString(slash + 1, inText.GetLength() - slash), FPS_POSIX);
	VString rest;
	if (!resolved.IsValid() || !resolved.IsSameOrChildOf(root) || !resolved.GetRelativePosixPath(root, rest))
		return false;
	outFileSystem = std::move(fileSystem);
	outRest = rest;
	return true;
}

IFile* VFileSystemNamespace::RetainFile(const VString& inText, IFolder* inBase, uint32 inOptions,
										bool inAllowFullPosixPath) const
{
	return RetainFile(this, inText, inBase, inOptions, inAllowFullPosixPath);
}

IFolder* VFileSystemNamespace::RetainFolder(const VString& inText, IFolder* inBase, uint32 inOptions,
											bool inAllowFullPosixPath) const
{
	return RetainFolder(this, inText, inBase, inOptions, inAllowFullPosixPath);
}

IFile* VFileSystemNamespace::RetainFile(const VFileSystemNamespace* inNamespace, const VString& inText,
										IFolder* inBase, uint32 inOptions, bool inAllowFullPosixPath)
{
	if (inText.IsEmpty())
		return nullptr;
	if (inText.GetUniChar(1) != u'/')
		return inBase != nullptr ? inBase->_RetainRelativeIFile(inText, FPS_POSIX) : nullptr;
	VRefPtr<VFileSystem> fileSystem;
	VString rest;
	if (inNamespace != nullptr && inNamespace->ParsePathWithFileSystem(inText, fileSystem, rest, inOptions) &&
		!rest.IsEmpty() && !EndsWithSlash(rest)) {
		VRefPtr<VFolder> root = VRefPtr<VFolder>::Adopt(fileSystem->RetainRootFolder());
		return root ? root->_RetainRelativeIFile(rest, FPS_POSIX) : nullptr;
	}
	if (!inAllowFullPosixPath || inBase != nullptr)
		return nullptr;
	VFilePath path(inText, FPS_POSIX);
	return path.IsFile() ? new VFile(path) : nullptr;
}

IFolder* VFileSystemNamespace::RetainFolder(const VFileSystemNamespace* inNamespace, const VString& inText,
											IFolder* inBase, uint32 inOptions, bool inAllowFullPosixPath)
{
	if (inText.IsEmpty())
		return nullptr;
	VString text(inText);
	if (!EndsWithSlash(text))
		text.AppendUniChar(u'/');
	if (text.GetUniChar(1) != u'/')
		return inBase != nullptr ? inBase->RetainRelativeFolder(text, FPS_POSIX) : nullptr;
	VRefPtr<VFileSystem> fileSystem;
	VString rest;
	if (inNamespace != nullptr && inNamespace->ParsePathWithFileSystem(text, fileSystem, rest, inOptions)) {
		VRefPtr<VFolder> root = VRefPtr<VFolder>::Adopt(fileSystem->RetainRootFolder());
		if (!root || rest.IsEmpty())
			return root.Forget();
		return root->RetainRelativeFolder(rest, FPS_POSIX);
	}
	if (!inAllowFullPosixPath || inBase != nullptr)
		return nullptr;
	VFilePath path(text, FPS_POSIX);
	return path.IsFolder() ? new VFolder(path) : nullptr;
}

} // namespace qirn
