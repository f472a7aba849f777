#include "files/VFolder.h"

#include "files/VFileSystem.h"
#include "files/VFolderIterator.h"
#include "files/FolderErrorCodes.h"
#include "runtime/VError.h"

namespace qirn {

namespace {

constexpr uint32 kRecursive = 1;
constexpr uint32 kFolders = 2;
constexpr uint32 kFiles = 4;
constexpr uint32 kHidden = 8;

// Adds a folder's identity to the walked path. False, adding nothing, when
// it is there already (a link back to an ancestor: the walk would never end)
// or cannot be read: the folder is not entered.
bool EnterOnce(const VFolder& inFolder, std::vector<std::pair<uint64, uint64>>& ioPath)
{
	uint64 device = 0;
	uint64 inode = 0;
	if (!inFolder.GetPlatform().GetIdentity(device, inode))
		return false;
	for (const auto& [pathDevice, pathInode] : ioPath) {
		if (pathDevice == device && pathInode == inode)
			return false;
	}
	ioPath.emplace_back(device, inode);
	return true;
}

} // namespace

bool VFolder::GetElements(std::vector<VRefPtr<IFile>>* outFiles, std::vector<VRefPtr<IFolder>>* outFolders,
						  bool inWithInvisible) const
{
	if (!Exists())
		return false;
	const uint32 hidden = inWithInvisible ? kHidden : 0;
	if (outFiles != nullptr) {
		for (VFileIterator file(this, kFiles | hidden); file.Current() != nullptr; ++file)
			outFiles->push_back(VRefPtr<IFile>(file.Current()));
	}
	if (outFolders != nullptr) {
		for (VFolderIterator folder(this, kFolders | hidden); folder.Current() != nullptr; ++folder)
			outFolders->push_back(VRefPtr<IFolder>(folder.Current()));
	}
	return true;
}

void VFolder::GetContents(std::vector<VRefPtr<VFile>>* outFiles, std::vector<VRefPtr<VFolder>>* outFolders) const
{
	if (!Exists())
		return;
	if (outFiles != nullptr) {
		for (VFileIterator file(this, kFiles); file.Current() != nullptr; ++file)
			outFiles->push_back(VRefPtr<VFile>(file.Current()));
	}
	if (outFolders != nullptr) {
		for (VFolderIterator folder(this, kFolders); folder.Current() != nullptr; ++folder)
			outFolders->push_back(VRefPtr<VFolder>(folder.Current()));
	}
}

bool VFolder::IterateFolders(const std::function<bool(IFolder*, IFileAttributeAccessor*)>& inFunction,
							 uint32 inOptions) const
{
	if (!Exists())
		return false;
	FolderIdentities path;
	EnterOnce(*this, path);
	bool stopped = false;
	return _IterateFolders(inFunction, inOptions, path, stopped);
}

bool VFolder::_IterateFolders(const std::function<bool(IFolder*, IFileAttributeAccessor*)>& inFunction,
							  uint32 inOptions, FolderIdentities& ioPath, bool& ioStopped) const
{
	for (VFolderIterator folder(this, (inOptions | kFolders) & ~kFiles); folder.Current() != nullptr; ++folder) {
		if (!inFunction(folder.Current(), &folder)) {
			ioStopped = true;
			return true;
		}
		if ((inOptions & kRecursive) == 0)
			continue;
		if (!EnterOnce(*folder.Current(), ioPath))
			continue;
		folder->_IterateFolders(inFunction, inOptions | kFolders, ioPath, ioStopped);
		ioPath.pop_back();
		if (ioStopped)
			return true;
	}
	return true;
}

bool VFolder::IterateFiles(const std::function<bool(IFile*, IFileAttributeAccessor*)>& inFunction,
						   uint32 inOptions) const
{
	if (!Exists())
		return false;
	FolderIdentities path;
	EnterOnce(*this, path);
	bool stopped = false;
	return _IterateFiles(inFunction, inOptions, path, stopped);
}

bool VFolder::_IterateFiles(const std::function<bool(IFile*, IFileAttributeAccessor*)>& inFunction,
							uint32 inOptions, FolderIdentities& ioPath, bool& ioStopped) const
{
	for (VFileIterator file(this, (inOptions | kFiles) & ~kFolders); file.Current() != nullptr; ++file) {
		if (!inFunction(file.Current(), &file)) {
			ioStopped = true;
			return true;
		}
	}
	if ((inOptions & kRecursive) == 0)
		return true;
	for (VFolderIterator folder(this, (inOptions & ~kFiles) | kFolders); folder.Current() != nullptr; ++folder) {
		if (!EnterOnce(*folder.Current(), ioPath))
			continue;
		folder->_IterateFiles(inFunction, inOptions | kFiles, ioPath, ioStopped);
		ioPath.pop_back();
		if (ioStopped)
			return true;
	}
	return true;
}

VFile* VFolder::RetainRelativeFile(const VString& inRelativePath, FilePathStyle inStyle) const
{
	VFilePath path;
	path.FromRelativePath(fPath, inRelativePath, inStyle, fFileSystem != nullptr);
	if (!path.IsFile() || (fFileSystem != nullptr && !fFileSystem->IsAuthorized(path)))
		return nullptr;
	return new VFile(path, fFileSystem);
}

IFile* VFolder::_RetainRelativeIFile(const VString& inRelativePath, FilePathStyle inStyle) const
{
	return RetainRelativeFile(inRelativePath, inStyle);
}

VError VFolder::ResolveAliasFolder(VFolder** ioFolder, bool inDeleteIfUnresolved)
{
	VFolder* folder = *ioFolder;
	if (folder == nullptr || !folder->GetPath().IsFolder() || folder->GetPlatform().Exists(false))
		return VE_OK;
	VString text;
	folder->GetPath().GetPath(text);
	text.Truncate(text.GetLength() - 1);
	VRefPtr<VFile> alias = VRefPtr<VFile>::Adopt(new VFile(VFilePath(text, FPS_SYSTEM)));
	if (!alias->IsAliasFile() || !alias->Exists())
		return VE_OK;
	VFilePath target;
	const VError error = alias->ResolveAlias(target);
	if (error == VE_OK && target.IsFolder()) {
		*ioFolder = new VFolder(target);
		folder->Release();
		return VE_OK;
	}
	if (inDeleteIfUnresolved)
		return alias->Delete();
	if (error == VE_OK)
		return folder->_Throw(VE_FOLDER_ALIAS_NOT_A_FOLDER);
	return error;
}

VFolder* VFolder::CreateAndResolveAlias(const VFolder& inParent, const VString& inName)
{
	VFolder* folder = inParent.RetainRelativeFolder(inName, FPS_SYSTEM);
	if (folder == nullptr)
		return nullptr;
	if (ResolveAliasFolder(&folder, true) != VE_OK) {
		folder->Release();
		return nullptr;
	}
	return folder;
}

} // namespace qirn
