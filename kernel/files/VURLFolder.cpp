// URLs made from a folder and a relative text: apart, so that URLs alone
// never need the folder class.
#include "files/VURL.h"

#include "files/VFilePath.h"
#include "files/VFolder.h"

namespace qirn {

VURL::VURL(const VFolder& inFolder, const VString& inRelativePath, EURLPathStyle inStyle) : VURL()
{
	FromRelativePath(inFolder, inRelativePath, inStyle);
}

void VURL::FromRelativePath(const VFolder& inFolder, const VString& inRelativePath, EURLPathStyle inStyle)
{
	VString text(inRelativePath);
	if (inStyle == eURL_WIN_STYLE)
		text.Exchange(u'\\', u'/');
	const VFilePath path(inFolder.GetPath(), text, inStyle == eURL_HFS_STYLE ? FPS_SYSTEM : FPS_POSIX);
	FromFilePath(path);
}

} // namespace qirn
