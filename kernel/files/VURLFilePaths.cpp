#include "files/VURL.h"

#include "core/TextUnits.h"
#include "files/VFilePath.h"

namespace qirn {

void VURL::FromFilePath(const VString& inPath, EURLPathStyle inStyle, const VString& inPrefix)
{
	VString path(inPath);
	if (inStyle == eURL_WIN_STYLE)
		WindowsPathToPosix(path);
	else if (inStyle == eURL_HFS_STYLE)
		HFSPathToPosix(path, true);
	VString text(inPrefix);
	if (path.GetUniChar(1) == u'/' && path.GetUniChar(2) == u'/') {
		// "//server/share": the server is the network location.
		text.AppendUniChars(path.GetCPointer() + 2, path.GetLength() - 2);
	} else {
		if (path.GetUniChar(1) != u'/')
			text.AppendUniChar(u'/');
		text.AppendString(path);
	}
	fURL.Swap(text);
	fEncodedURL.Clear();
	fIsValid = _BuildURLArray(fURL, true, fParts);
}

void VURL::FromFilePath(const VFilePath& inPath)
{
	VString posix;
	inPath.GetPosixPath(posix);
	if (posix.IsEmpty()) {
		Clear();
		return;
	}
	bool network = posix.GetUniChar(1) == u'/' && posix.GetUniChar(2) == u'/';
	VString text(network ? "file:" : "file://");
	if (posix.GetUniChar(1) != u'/')
		text.AppendUniChar(u'/');
	text.AppendString(posix);
	fURL.Swap(text);
	fEncodedURL.Clear();
	// The whole path is the path: a '?' or '#' in a name is part of it.
	fIsValid = _BuildURLArray(fURL, true, fParts);
}

bool VURL::GetFilePath(VFilePath& outPath) const
{
	const Part& scheme = fParts[e_Scheme];
	if (scheme.fLength > 0 &&
		!EqualsASCIIIgnoringCase(fURL.GetCPointer() + scheme.fStart - 1, static_cast<size_t>(scheme.fLength), "file")) {
		outPath.Clear();
		return false;
	}
	VString posix;
	_GetPart(e_Path, posix);
	if (posix.GetUniChar(1) != u'/')
		posix.Insert(u'/', 1);
	outPath.FromFullPath(posix, FPS_POSIX);
	if (!outPath.IsValid())
		outPath.Clear();
	return outPath.IsValid();
}

void VURL::Convert(VString& ioText, EURLPathStyle inFrom, EURLPathStyle inTo, bool inRelative)
{
	ConvertPathStyle(ioText, inFrom, inTo, inRelative);
}

void VURL::HFS_to_POSIX(VString& ioText, bool inRelative)
{
	HFSPathToPosix(ioText, inRelative);
}

void VURL::POSIX_to_HFS(VString& ioText, bool inRelative)
{
	PosixPathToHFS(ioText, inRelative);
}

void VURL::WIN_to_POSIX(VString& ioText)
{
	WindowsPathToPosix(ioText);
}

void VURL::POSIX_to_WIN(VString& ioText)
{
	PosixPathToWindows(ioText);
}

} // namespace qirn
