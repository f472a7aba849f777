// The path forms that start from a folder: they stand apart so that paths
// alone never need the folder class.
#include "files/VFilePath.h"

#include "files/VFolder.h"

namespace qirn {

VFilePath::VFilePath(const VFolder& inBase, const VString& inRelativePath, FilePathStyle inStyle,
					 bool inRefuseAbsolute)
{
	FromRelativePath(inBase.GetPath(), inRelativePath, inStyle, inRefuseAbsolute);
}

VFilePath& VFilePath::FromRelativePath(const VFolder& inBase, const VString& inRelativePath, FilePathStyle inStyle,
									   bool inRefuseAbsolute)
{
	return FromRelativePath(inBase.GetPath(), inRelativePath, inStyle, inRefuseAbsolute);
}

} // namespace qirn
