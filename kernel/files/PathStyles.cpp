#include "files/PathStyles.h"

#include "core/VString.h"
#include "files/platform/XLinuxFile.h"

namespace qirn {

void AppendPosixRelativeAsHFS(const UniChar* inUnits, VIndex inLength, VString& ioOut)
{
	const VIndex start = ioOut.GetLength();
	// Each separator or step written comes from at least one unit read.
	UniChar* buffer = ioOut.GetCPointerForWrite(start + inLength);
	if (buffer == nullptr)
		return;
	UniChar* out = buffer + start;
	VIndex pending = 0;
	VIndex i = 0;
	while (i < inLength) {
		const UniChar unit = inUnits[i];
		const bool elementStart = i == 0 || inUnits[i - 1] == u'/';
		if (elementStart && unit == u'.') {
			// "." and ".." are steps when a separator or the end follows,
			// so "a/.." is the folder holding a, as "a/../" is.
			if (i + 1 == inLength || inUnits[i + 1] == u'/') {
				i += (i + 1 == inLength) ? 1 : 2;
				continue;
			}
			if (inUnits[i + 1] == u'.' && (i + 2 == inLength || inUnits[i + 2] == u'/')) {
				++pending;
				i += (i + 2 == inLength) ? 2 : 3;
				continue;
			}
		}
		if (unit == u'/') {
			if (i == 0 || inUnits[i - 1] != u'/')
				++pending;
			++i;
			continue;
		}
		for (; pending > 0; --pending)
			*out++ = u':';
		*out++ = unit == u':' ? u'/' : unit;
		++i;
	}
	for (; pending > 0; --pending)
		*out++ = u':';
	ioOut.Validate(static_cast<VIndex>(out - buffer));
}

void AppendHFSRelativeAsPosix(const UniChar* inUnits, VIndex inLength, VString& ioOut)
{
	const VIndex start = ioOut.GetLength();
	// n separators give at most "/" and n - 1 times "../".
	UniChar* buffer = ioOut.GetCPointerForWrite(start + 3 * inLength);
	if (buffer == nullptr)
		return;
	UniChar* out = buffer + start;
	VIndex pending = 0;
	bool leading = true;
	auto flush = [&]() {
		// Separators that open the text climb from where it starts: ":x" is
		// "x", "::x" is "../x", never a path from the root.
		if (!leading)
			*out++ = u'/';
		for (VIndex k = 1; k < pending; ++k) {
			*out++ = u'.';
			*out++ = u'.';
			*out++ = u'/';
		}
		pending = 0;
	};
	for (VIndex i = 0; i < inLength; ++i) {
		const UniChar unit = inUnits[i];
		if (unit == u':') {
			++pending;
			continue;
		}
		if (pending > 0)
			flush();
		leading = false;
		*out++ = unit == u'/' ? u':' : unit;
	}
	if (pending > 0)
		flush();
	ioOut.Validate(static_cast<VIndex>(out - buffer));
}

void PosixPathToHFS(VString& ioText, bool inRelative)
{
	VString converted;
	if (inRelative || !XLinuxFile::PosixFullPathToHFS(ioText, false, converted)) {
		// A full path that maps to no volume keeps its leading ':' and so is
		// never taken for a full path.
		converted.Clear();
		AppendPosixRelativeAsHFS(ioText.GetCPointer(), ioText.GetLength(), converted);
	}
	ioText.Swap(converted);
}

void HFSPathToPosix(VString& ioText, bool inRelative)
{
	VString converted;
	if (inRelative)
		AppendHFSRelativeAsPosix(ioText.GetCPointer(), ioText.GetLength(), converted);
	else
		XLinuxFile::HFSFullPathToPosix(ioText, converted);
	ioText.Swap(converted);
}

void PosixPathToWindows(VString& ioText)
{
	ioText.Exchange(u'/', u'\\');
}

void WindowsPathToPosix(VString& ioText)
{
	ioText.Exchange(u'\\', u'/');
}

void ConvertPathStyle(VString& ioText, EURLPathStyle inFrom, EURLPathStyle inTo, bool inRelative)
{
	if (inFrom == eURL_POSIX_STYLE && inTo == eURL_HFS_STYLE)
		PosixPathToHFS(ioText, inRelative);
	else if (inFrom == eURL_POSIX_STYLE && inTo == eURL_WIN_STYLE)
		PosixPathToWindows(ioText);
	else if (inFrom == eURL_HFS_STYLE && inTo == eURL_POSIX_STYLE)
		HFSPathToPosix(ioText, inRelative);
	else if (inFrom == eURL_WIN_STYLE && inTo == eURL_POSIX_STYLE)
		WindowsPathToPosix(ioText);
}

} // namespace qirn
