#include "files/VFolder.h"

#include "files/VFolderIterator.h"
#include "runtime/VError.h"

namespace qirn {

namespace {

constexpr uint32 kRecursive = 1;
constexpr uint32 kFolders = 2;
constexpr uint32 kFiles = 4;
constexpr uint32 kHidden = 8;

} // namespace

bool VFolder::GetElements(std::vector<VRefPtr<IFile>>* outFiles, std::vector<VRefPtr<IFolder>>* outFolders,
						  bool inWithInvisible) const
{
	if (!Exists())
		return false;
	if (outFiles != nullptr)
		_ThrowError(VE_UNIMPLEMENTED); // files come with the file class
	if (outFolders != nullptr) {
		for (VFolderIterator folder(this, kFolders | (inWithInvisible ? kHidden : 0)); folder.Current() != nullptr;
			 ++folder)
			outFolders->push_back(VRefPtr<IFolder>(folder.Current()));
	}
	return true;
}

bool VFolder::IterateFolders(const std::function<bool(IFolder*, IFileAttributeAccessor*)>& inFunction,
							 uint32 inOptions) const
{
	if (!Exists())
		return false;
	FolderIdentities path;
	uint64 device = 0;
	uint64 inode = 0;
	if (fPlatform.GetIdentity(device, inode))
		path.emplace_back(device, inode);
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
		// A folder already on the walked path (a link back to an ancestor) is
		// not entered again: the walk would never end.
		uint64 device = 0;
		uint64 inode = 0;
		if (!folder->GetPlatform().GetIdentity(device, inode))
			continue;
		bool onPath = false;
		for (const auto& [pathDevice, pathInode] : ioPath)
			onPath = onPath || (pathDevice == device && pathInode == inode);
		if (onPath)
			continue;
		ioPath.emplace_back(device, inode);
		folder->_IterateFolders(inFunction, inOptions | kFolders, ioPath, ioStopped);
		ioPath.pop_back();
		if (ioStopped)
			return true;
	}
	return true;
}

bool VFolder::IterateFiles(const std::function<bool(IFile*, IFileAttributeAccessor*)>&, uint32) const
{
	if (!Exists())
		return false;
	_ThrowError(VE_UNIMPLEMENTED); // files come with the file class
	return false;
}

IFile* VFolder::_RetainRelativeIFile(const VString&, FilePathStyle) const
{
	_ThrowError(VE_UNIMPLEMENTED); // files come with the file class
	return nullptr;
}

} // namespace qirn
