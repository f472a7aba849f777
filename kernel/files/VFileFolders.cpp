// What files ask of folders and file systems.
#include "files/VFile.h"

#include "core/VUUID.h"
#include "files/FileErrorCodes.h"
#include "files/VFileAttributesCache.h"
#include "files/VFileError.h"
#include "files/VFileSystem.h"
#include "files/VFolder.h"
#include "runtime/VError.h"
#include "runtime/VErrorContext.h"

namespace qirn {

VFile::VFile(const VFolder& inFolder, const VString& inRelativePath, FilePathStyle inStyle)
{
	fPath.FromRelativePath(inFolder.GetPath(), inRelativePath, inStyle, false);
	VFileSystem* fileSystem = inFolder.GetFileSystem();
	fFileSystem = fileSystem != nullptr && fPath.IsChildOf(fileSystem->GetRoot()) ? fileSystem : nullptr;
	_Bind();
}

VFileSystem* VFile::_FileSystemHolding(const VFilePath& inDestination) const
{
	return fFileSystem != nullptr && inDestination.IsSameOrChildOf(fFileSystem->GetRoot()) ? fFileSystem : nullptr;
}

std::optional<bool> VFile::_CachedExistence() const
{
	const VFileAttributesCache* cache = fFileSystem != nullptr ? fFileSystem->GetAttributesCache() : nullptr;
	if (cache != nullptr && cache->FileExists(fPath))
		return true;
	return std::nullopt;
}

bool VFile::_CachedTimes(VTime* outModified, VTime* outCreated, VTime* outAccessed) const
{
	const VFileAttributesCache* cache = fFileSystem != nullptr ? fFileSystem->GetAttributesCache() : nullptr;
	return cache != nullptr && cache->GetTimeAttributes(fPath, outModified, outCreated, outAccessed);
}

void VFile::_CreateParentFolder() const
{
	// Its failure shows as the open's that follows.
	StErrorContextInstaller quiet(false, true);
	if (VRefPtr<IFolder> parent = VRefPtr<IFolder>::Adopt(RetainParentFolder(false)); parent)
		static_cast<VFolder*>(parent.Get())->CreateRecursive();
}

VError VFile::CopyTo(const VFolder& inDestination, VFile** outFile, uint32 inOptions) const
{
	return CopyTo(inDestination.GetPath(), outFile, inOptions);
}

VError VFile::Move(const VFolder& inDestination, VFile** outFile, uint32 inOptions) const
{
	return _Move(inDestination.GetPath(), inDestination.GetFileSystem(), outFile, inOptions);
}

VString VFile::GetPathWithFileSystem() const
{
	VString text;
	if (fFileSystem == nullptr || !fFileSystem->GetPathWithName(fPath, text))
		GetPlatformPath(text, FPS_POSIX);
	return text;
}

IFolder* VFile::RetainParentFolder(bool inSandboxed) const
{
	VFilePath parent;
	if (!fPath.GetParent(parent))
		return nullptr;
	if (fFileSystem != nullptr && fFileSystem->IsAuthorized(parent))
		return new VFolder(parent, fFileSystem);
	if (inSandboxed && fFileSystem != nullptr)
		return nullptr;
	// Out of the file system's root, the folder belongs to none (as a
	// folder's own parent does).
	return new VFolder(parent);
}

void VFile::GetRelativeURL(VFolder* inBaseFolder, VString& outURL, bool inEncoded) const
{
	GetURL(outURL, inEncoded);
	if (inBaseFolder == nullptr)
		return;
	VString base;
	inBaseFolder->GetURL(base, inEncoded);
	// Names are case-sensitive here: the base must match unit for unit.
	if (outURL.BeginsWithRawString(base))
		outURL.Remove(1, base.GetLength());
}

VFile* VFile::CreateAndResolveAlias(const VFolder& inFolder, const VString& inName, FilePathStyle inStyle)
{
	VFile* file = new VFile(inFolder, inName, inStyle);
	if (ResolveAliasFile(&file, true) != VE_OK) {
		file->Release();
		return nullptr;
	}
	return file;
}

VFile* VFile::CreateTemporaryFile()
{
	VRefPtr<VFolder> folder = VRefPtr<VFolder>::Adopt(VFolder::RetainSystemFolder(eFK_Temporary, true));
	if (!folder)
		return nullptr;
	VString digits;
	VUUID(true).GetString(digits);
	VString name("qrn_");
	name.AppendString(digits);
	VFile* file = new VFile(*folder, name, FPS_SYSTEM);
	// The temporary folder is shared: only the owner may read what goes in.
	if (file->_Wrap(file->fImpl.Create(0, 0600), VE_FILE_CANNOT_CREATE) != VE_OK) {
		file->Release();
		return nullptr;
	}
	return file;
}

} // namespace qirn
