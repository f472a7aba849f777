// The static path services of XLinuxFile.
#include "files/platform/XLinuxFile.h"

#include "core/VMemory.h"
#include "core/VString.h"
#include "files/VFilePath.h"
#include "files/platform/XLinuxPathBytes.h"
#include "files/platform/XLinuxVolumes.h"

#include <cstring>
#include <string>

namespace qirn {

namespace {

bool AppendPosixFullAsHFS(const UniChar* inUnits, VIndex inLength, VString& outHFS)
{
	if (inLength == 0 || inUnits[0] != u'/')
		return false;
	VStr31 volume;
	if (!XLinuxVolumes::Get().GetVolumeNameFromMountPath(XLinuxVolumes::kRootMountPath, volume))
		return false;
	outHFS.FromUniString(volume.GetCPointer(), volume.GetLength());
	const VIndex start = outHFS.GetLength();
	// The volume's ':', each element with its ':' (a ".." step as one ':'),
	// never more units than the text has.
	UniChar* buffer = outHFS.GetCPointerForWrite(start + inLength + 1);
	if (buffer == nullptr)
		return false;
	UniChar* out = buffer + start;
	*out++ = u':';
	bool endsAsFolder = true;
	VIndex i = 0;
	while (i < inLength) {
		while (i < inLength && inUnits[i] == u'/')
			++i;
		if (i >= inLength)
			break;
		// One pass copies the element; a step is taken back afterwards.
		UniChar* const element = out;
		for (; i < inLength && inUnits[i] != u'/'; ++i)
			*out++ = inUnits[i] == u':' ? u'/' : inUnits[i];
		const ptrdiff_t length = out - element;
		if (length == 1 && element[0] == u'.') {
			out = element; // "/a/." names the folder a
			endsAsFolder = true;
		} else if (length == 2 && element[0] == u'.' && element[1] == u'.') {
			out = element;
			*out++ = u':'; // after the previous ':', a "::" step up
			endsAsFolder = true;
		} else {
			*out++ = u':';
			endsAsFolder = i < inLength;
		}
	}
	if (!endsAsFolder)
		--out;
	outHFS.Validate(static_cast<VIndex>(out - buffer));
	return true;
}

} // namespace

bool XLinuxFile::PosixFullPathToHFS(const VString& inPosixPath, bool /*inMustExist*/, VString& outHFSPath)
{
	return AppendPosixFullAsHFS(inPosixPath.GetCPointer(), inPosixPath.GetLength(), outHFSPath);
}

bool XLinuxFile::PosixFullPathToHFS(const char* inPosixPath, bool inMustExist, VString& outHFSPath)
{
	if (inPosixPath == nullptr)
		return false;
	VString posix;
	XLinuxPathBytes::ToText(inPosixPath, std::strlen(inPosixPath), posix);
	return PosixFullPathToHFS(posix, inMustExist, outHFSPath);
}

bool XLinuxFile::HFSFullPathToPosix(const VString& inHFSPath, VString& outPosixPath)
{
	const UniChar* units = inHFSPath.GetCPointer();
	const VIndex length = inHFSPath.GetLength();
	VIndex volumeEnd = 0;
	while (volumeEnd < length && units[volumeEnd] != u':')
		++volumeEnd;
	VStr31 volume(units, volumeEnd);
	const bool known = XLinuxVolumes::Get().GetMountPathFromVolumeName(volume, outPosixPath);
	if (!known) {
		// A folder of the root: its name swaps '/' and ':' as every other
		// element's does.
		outPosixPath.FromUniChar(u'/');
		for (VIndex i = 0; i < volumeEnd; ++i)
			outPosixPath.AppendUniChar(units[i] == u'/' ? u':' : units[i] == u':' ? u'/' : units[i]);
	}
	const VIndex restStart = volumeEnd < length ? volumeEnd + 1 : length;
	const VIndex start = outPosixPath.GetLength();
	const bool slash = volumeEnd > 0 && (start == 0 || outPosixPath.GetCPointer()[start - 1] != u'/');
	UniChar* buffer = outPosixPath.GetCPointerForWrite(start + 1 + (length - restStart));
	if (buffer == nullptr)
		return false;
	UniChar* out = buffer + start;
	if (slash)
		*out++ = u'/';
	for (VIndex i = restStart; i < length; ++i) {
		const UniChar unit = units[i];
		*out++ = unit == u':' ? u'/' : unit == u'/' ? u':' : unit;
	}
	outPosixPath.Validate(static_cast<VIndex>(out - buffer));
	return known;
}

char* XLinuxFile::AllocatePosixPathFromFilePath(const VFilePath& inPath)
{
	VStr255 posix;
	inPath.GetPosixPath(posix);
	return AllocatePosixPathFromString(posix);
}

char* XLinuxFile::AllocatePosixPathFromString(const VString& inPosixPath)
{
	const VIndex length = inPosixPath.GetLength();
	char stackBuffer[1024];
	std::string heapBuffer;
	char* bytes = stackBuffer;
	if (XLinuxPathBytes::MaxBytes(length) > sizeof(stackBuffer)) {
		heapBuffer.resize(XLinuxPathBytes::MaxBytes(length));
		bytes = heapBuffer.data();
	}
	size_t size = 0;
	// A NUL would end the C text early and name another file.
	if (!XLinuxPathBytes::Encode(inPosixPath.GetCPointer(), length, bytes, size) ||
		std::memchr(bytes, 0, size) != nullptr)
		size = 0;
	char* result = static_cast<char*>(VMemory::NewPtr(size + 1, kTag_PosixPath));
	if (result != nullptr) {
		std::memcpy(result, bytes, size);
		result[size] = 0;
	}
	return result;
}

void XLinuxFile::GetFilePathFromPosixPath(const char* inPosixPath, bool inIsFolder, VFilePath& outPath)
{
	if (inPosixPath == nullptr) {
		outPath.Clear();
		return;
	}
	VStr255 posix;
	XLinuxPathBytes::AppendText(inPosixPath, std::strlen(inPosixPath), posix);
	if (inIsFolder && (posix.IsEmpty() || posix.GetCPointer()[posix.GetLength() - 1] != u'/'))
		posix.AppendUniChar(u'/');
	outPath.FromFullPath(posix, FPS_POSIX);
}

bool XLinuxFile::PosixNameBeginsWithDot(const char* inPosixPath)
{
	if (inPosixPath == nullptr)
		return false;
	size_t end = std::strlen(inPosixPath);
	if (end < 2)
		return false;
	if (inPosixPath[end - 1] == '/')
		--end;
	size_t start = end;
	while (start > 0 && inPosixPath[start - 1] != '/')
		--start;
	return start < end && inPosixPath[start] == '.';
}

} // namespace qirn
