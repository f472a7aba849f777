// What files ask of folders and file systems.
#include "files/VFile.h"

#include "files/FileErrorCodes.h"
#include "files/VFileError.h"
#include "runtime/VError.h"

namespace qirn {

VFileSystem* VFile::_FileSystemHolding(const VFilePath& /*inDestination*/) const
{
	return nullptr;
}

std::optional<bool> VFile::_CachedExistence() const
{
	return std::nullopt;
}

bool VFile::_CachedTimes(VTime* /*outModified*/, VTime* /*outCreated*/, VTime* /*outAccessed*/) const
{
	return false;
}

void VFile::_CreateParentFolder() const {}

VString VFile::GetPathWithFileSystem() const
{
	VString path;
	GetPlatformPath(path, FPS_POSIX);
	return path;
}

IFolder* VFile::RetainParentFolder(bool /*inSandboxed*/) const
{
	return nullptr;
}

} // namespace qirn
