#include "files/VFilePath.h"

#include "core/VIntlMgr.h"
#include "files/FileErrorCodes.h"
#include "files/platform/XLinuxFile.h"
#include "runtime/VError.h"
#include "runtime/VTask.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qirn {

namespace {

bool HoldsUnit(const VString& inText, UniChar inUnit)
{
	return inText.FindUniChar(inUnit) > 0;
}

// The units [inStart, inEnd) of the text (from 0) replaced by others.
void Splice(VString& ioText, VIndex inStart, VIndex inEnd, const UniChar* inUnits, VIndex inCount)
{
	VString spliced;
	const UniChar* units = ioText.GetCPointer();
	const VIndex length = ioText.GetLength();
	if (spliced.GetCPointerForWrite(inStart + inCount + (length - inEnd)) == nullptr)
		return;
	spliced.AppendUniChars(units, inStart);
	spliced.AppendUniChars(inUnits, inCount);
	spliced.AppendUniChars(units + inEnd, length - inEnd);
	ioText.Swap(spliced);
}

// The position (from 0) of the last '.' in [inStart, inEnd), -1 when none.
VIndex LastDot(const UniChar* inUnits, VIndex inStart, VIndex inEnd)
{
	for (VIndex i = inEnd - 1; i >= inStart; --i) {
		if (inUnits[i] == u'.')
			return i;
	}
	return -1;
}

} // namespace

VFilePath::VFilePath(const VString& inFullPath, FilePathStyle inStyle, bool inFlag)
{
	FromFullPath(inFullPath, inStyle, inFlag);
}

VFilePath::VFilePath(const VFilePath& inBase, const VString& inRelativePath, FilePathStyle inStyle,
					 bool inRefuseAbsolute)
{
	FromRelativePath(inBase, inRelativePath, inStyle, inRefuseAbsolute);
}

VFilePath& VFilePath::FromFilePath(const VFilePath& inPath)
{
	if (&inPath != this) {
		fPath.FromString(inPath.fPath);
		fIsValid = inPath.fIsValid;
	}
	return *this;
}

namespace {

// An element "." or ".." names, in POSIX text, the folder itself or its
// parent: such a path would lead elsewhere on disk than its text says, out
// of the folders it seems to lie in.
bool HasDotElement(const VString& inPath)
{
	const UniChar* units = inPath.GetCPointer();
	const VIndex length = inPath.GetLength();
	VIndex start = 0;
	for (VIndex i = 0; i <= length; ++i) {
		if (i < length && units[i] != u':')
			continue;
		const VIndex size = i - start;
		if ((size == 1 || size == 2) && units[start] == u'.' && units[i - 1] == u'.')
			return true;
		start = i + 1;
	}
	return false;
}

} // namespace

VFilePath& VFilePath::FromFullPath(const VString& inFullPath, FilePathStyle inStyle, bool /*inFlag*/)
{
	bool ok = ValidFullPath(inFullPath, inStyle) && !BadChar(inFullPath, inStyle);
	if (inStyle == FPS_SYSTEM) {
		fPath.FromString(inFullPath);
	} else if (!XLinuxFile::PosixFullPathToHFS(inFullPath, false, fPath)) {
		// Text that maps to no volume keeps its leading ':' and so is never
		// taken for a full path.
		fPath.Clear();
		AppendPosixRelativeAsHFS(inFullPath.GetCPointer(), inFullPath.GetLength(), fPath);
	}
	if (ok)
		ok = ResolveColonSteps(fPath) && !HasDotElement(fPath);
	fIsValid = ok && !fPath.IsEmpty();
	return *this;
}

VFilePath& VFilePath::FromRelativePath(const VFilePath& inBase, const VString& inRelativePath, FilePathStyle inStyle,
									   bool inRefuseAbsolute)
{
	const bool posix = inStyle != FPS_SYSTEM;
	const bool absolute = posix && inRelativePath.GetLength() > 0 && inRelativePath.GetCPointer()[0] == u'/';
	if (absolute && !inRefuseAbsolute)
		return FromFullPath(inRelativePath, inStyle);

	bool ok = inBase.IsFolder() && !absolute && !BadChar(inRelativePath, inStyle);
	VString path(inBase.fPath);
	if (posix)
		AppendPosixRelativeAsHFS(inRelativePath.GetCPointer(), inRelativePath.GetLength(), path);
	else
		path.AppendString(inRelativePath);
	fPath.Swap(path);
	if (ok)
		ok = ResolveColonSteps(fPath) && !HasDotElement(fPath);
	fIsValid = ok && !fPath.IsEmpty();
	return *this;
}

void VFilePath::Clear()
{
	fPath.Clear();
	fIsValid = false;
}

VString VFilePath::GetPath(FilePathStyle inStyle) const
{
	if (inStyle == FPS_SYSTEM)
		return fPath;
	VString posix;
	GetPosixPath(posix);
	return posix;
}

void VFilePath::GetPosixPath(VString& outPath) const
{
	if (fIsValid)
		XLinuxFile::HFSFullPathToPosix(fPath, outPath);
	else
		outPath.Clear();
}

bool VFilePath::HasParent() const
{
	if (!fIsValid || fPath.GetLength() < 2)
		return false;
	const UniChar* units = fPath.GetCPointer();
	for (VIndex i = fPath.GetLength() - 2; i >= 0; --i) {
		if (units[i] == u':')
			return true;
	}
	return false;
}

int32 VFilePath::GetDepth() const
{
	if (!fIsValid || fPath.IsEmpty())
		return 0;
	const UniChar* units = fPath.GetCPointer();
	const int32 colons = static_cast<int32>(std::count(units, units + fPath.GetLength(), u':'));
	return colons + (_LastUnit() == u':' ? 0 : 1);
}

void VFilePath::_LastElement(VIndex& outStart, VIndex& outEnd) const
{
	const UniChar* units = fPath.GetCPointer();
	VIndex end = fPath.GetLength();
	if (end > 0 && units[end - 1] == u':')
		--end;
	VIndex start = end;
	while (start > 0 && units[start - 1] != u':')
		--start;
	outStart = start;
	outEnd = end;
}

void VFilePath::GetName(VString& outName) const
{
	VIndex start;
	VIndex end;
	_LastElement(start, end);
	outName.FromUniString(fPath.GetCPointer() + start, end - start);
}

void VFilePath::GetFileName(VString& outName, bool inWithExtension) const
{
	if (!IsFile()) {
		outName.Clear();
		return;
	}
	VIndex start;
	VIndex end;
	_LastElement(start, end);
	if (!inWithExtension) {
		const VIndex dot = LastDot(fPath.GetCPointer(), start, end);
		if (dot >= 0)
			end = dot;
	}
	outName.FromUniString(fPath.GetCPointer() + start, end - start);
}

void VFilePath::GetFolderName(VString& outName, bool inWithExtension) const
{
	if (!IsFolder()) {
		outName.Clear();
		return;
	}
	VIndex start;
	VIndex end;
	_LastElement(start, end);
	if (start == 0) {
		outName.FromString(fPath);
		return;
	}
	if (!inWithExtension) {
		const VIndex dot = LastDot(fPath.GetCPointer(), start, end);
		if (dot >= 0)
			end = dot;
	}
	outName.FromUniString(fPath.GetCPointer() + start, end - start);
}

void VFilePath::GetExtension(VString& outExtension) const
{
	VIndex start;
	VIndex end;
	_LastElement(start, end);
	const VIndex dot = LastDot(fPath.GetCPointer(), start, end);
	if (dot < 0 || dot + 1 >= end)
		outExtension.Clear();
	else
		outExtension.FromUniString(fPath.GetCPointer() + dot + 1, end - dot - 1);
}

bool VFilePath::MatchExtension(const VString& inExtension, bool inDiacritical) const
{
	if (inExtension.IsEmpty()) {
		VString name;
		GetName(name);
		return !HoldsUnit(name, u'.');
	}
	VString ending(u'.');
	ending.AppendString(inExtension);
	if (IsFolder())
		ending.AppendUniChar(u':');
	return fPath.EndsWith(ending, inDiacritical);
}

bool VFilePath::IsChildOf(const VFilePath& inFolder) const
{
	return IsChildOfRawPath(inFolder);
}

bool VFilePath::IsChildOfRawPath(const VFilePath& inFolder) const
{
	return fIsValid && inFolder.IsFolder() && fPath.GetLength() > inFolder.fPath.GetLength() &&
		   fPath.BeginsWithRawString(inFolder.fPath);
}

bool VFilePath::IsSameOrChildOf(const VFilePath& inFolder) const
{
	return fIsValid && inFolder.IsFolder() && fPath.BeginsWithRawString(inFolder.fPath);
}

bool VFilePath::GetRelativePath(const VFilePath& inBaseFolder, VString& outRelativePath) const
{
	if (inBaseFolder.IsFolder() && fPath.BeginsWithRawString(inBaseFolder.fPath)) {
		const VIndex baseLength = inBaseFolder.fPath.GetLength();
		outRelativePath.FromUniString(fPath.GetCPointer() + baseLength, fPath.GetLength() - baseLength);
		return true;
	}
	outRelativePath.FromString(fPath);
	return false;
}

bool VFilePath::GetRelativePosixPath(const VFilePath& inBaseFolder, VString& outRelativePath) const
{
	if (inBaseFolder.IsFolder() && fPath.BeginsWithRawString(inBaseFolder.fPath)) {
		const VIndex baseLength = inBaseFolder.fPath.GetLength();
		outRelativePath.Clear();
		AppendHFSRelativeAsPosix(fPath.GetCPointer() + baseLength, fPath.GetLength() - baseLength, outRelativePath);
		return true;
	}
	GetPosixPath(outRelativePath);
	return false;
}

VIndex VFilePath::_ParentLength() const
{
	const UniChar* units = fPath.GetCPointer();
	VIndex i = fPath.GetLength() - 2;
	while (i >= 0 && units[i] != u':')
		--i;
	return i + 1;
}

VIndex VFilePath::_FolderLength() const
{
	const UniChar* units = fPath.GetCPointer();
	VIndex i = fPath.GetLength() - 1;
	while (i >= 0 && units[i] != u':')
		--i;
	return i + 1;
}

bool VFilePath::GetParent(VFilePath& outParent) const
{
	if (&outParent == this)
		return outParent.ToParent();
	outParent.fIsValid = fIsValid;
	if (fIsValid) {
		// Written straight into the other path's own buffer.
		outParent.fPath.FromUniString(fPath.GetCPointer(), _ParentLength());
		outParent.fIsValid = !outParent.fPath.IsEmpty();
	} else {
		outParent.fPath.FromString(fPath);
	}
	return outParent.fIsValid;
}

bool VFilePath::GetFolder(VFilePath& outFolder) const
{
	if (&outFolder == this)
		return outFolder.ToFolder();
	outFolder.fIsValid = fIsValid;
	if (fIsValid) {
		outFolder.fPath.FromUniString(fPath.GetCPointer(), _FolderLength());
		outFolder.fIsValid = !outFolder.fPath.IsEmpty();
	} else {
		outFolder.fPath.FromString(fPath);
	}
	return outFolder.fIsValid;
}

bool VFilePath::ToParent()
{
	if (!fIsValid)
		return false;
	fPath.Truncate(_ParentLength());
	fIsValid = !fPath.IsEmpty();
	return fIsValid;
}

bool VFilePath::ToFolder()
{
	if (!fIsValid)
		return false;
	fPath.Truncate(_FolderLength());
	fIsValid = !fPath.IsEmpty();
	return fIsValid;
}

bool VFilePath::ToSubFolder(const VString& inName)
{
	if (IsFolder()) {
		fPath.AppendString(inName);
		fPath.AppendUniChar(u':');
	}
	return fIsValid;
}

bool VFilePath::ToSubFile(const VString& inName)
{
	if (IsFolder())
		fPath.AppendString(inName);
	return fIsValid;
}

namespace {

// Names go into a path as one element: never empty, never holding ':'.
bool RefuseBadName(const VString& inName)
{
	if (inName.IsEmpty() || HoldsUnit(inName, u':')) {
		_ThrowError(VE_FILE_BAD_NAME, &inName);
		return true;
	}
	return false;
}

} // namespace

bool VFilePath::_ReplaceLastElement(const VString& inName, bool inKeepExtension)
{
	VIndex start;
	VIndex end;
	_LastElement(start, end);
	VString element(inName);
	if (inKeepExtension) {
		const VIndex dot = LastDot(fPath.GetCPointer(), start, end);
		if (dot >= 0)
			element.AppendUniChars(fPath.GetCPointer() + dot, end - dot);
	}
	Splice(fPath, start, end, element.GetCPointer(), element.GetLength());
	return fIsValid;
}

bool VFilePath::SetName(const VString& inName)
{
	if (RefuseBadName(inName))
		return false;
	if (!fIsValid || fPath.IsEmpty())
		return false;
	return _ReplaceLastElement(inName, false);
}

bool VFilePath::SetFileName(const VString& inName, bool inWithExtension)
{
	if (RefuseBadName(inName))
		return false;
	if (IsFolder()) {
		fPath.AppendString(inName);
		return fIsValid;
	}
	if (!IsFile())
		return false;
	return _ReplaceLastElement(inName, !inWithExtension);
}

bool VFilePath::SetFolderName(const VString& inName, bool inWithExtension)
{
	if (RefuseBadName(inName))
		return false;
	if (!IsFolder())
		return false;
	return _ReplaceLastElement(inName, !inWithExtension);
}

bool VFilePath::SetExtension(const VString& inExtension)
{
	if (!fIsValid || fPath.IsEmpty())
		return false;
	return IsFile() ? SetFileExtension(inExtension) : SetFolderExtension(inExtension);
}

bool VFilePath::_SetLastExtension(const VString& inExtension)
{
	if (HoldsUnit(inExtension, u':')) {
		_ThrowError(VE_FILE_BAD_NAME, &inExtension);
		return false;
	}
	VIndex start;
	VIndex end;
	_LastElement(start, end);
	const VIndex dot = LastDot(fPath.GetCPointer(), start, end);
	if (inExtension.IsEmpty()) {
		if (dot >= 0)
			Splice(fPath, dot, end, nullptr, 0);
	} else if (dot >= 0) {
		Splice(fPath, dot + 1, end, inExtension.GetCPointer(), inExtension.GetLength());
	} else {
		VString added(u'.');
		added.AppendString(inExtension);
		Splice(fPath, end, end, added.GetCPointer(), added.GetLength());
	}
	return fIsValid;
}

bool VFilePath::SetFileExtension(const VString& inExtension)
{
	return IsFile() && _SetLastExtension(inExtension);
}

bool VFilePath::SetFolderExtension(const VString& inExtension)
{
	return IsFolder() && _SetLastExtension(inExtension);
}

void VFilePath::RemoveBlanks()
{
	if (fPath.IsEmpty())
		return;
	const VIntlMgr* intl = VTask::GetCurrentIntlManager();
	auto isSpace = [intl](UniChar inUnit) {
		return intl != nullptr ? intl->IsSpace(inUnit) : (inUnit == u' ' || inUnit == u'\t');
	};
	const UniChar* units = fPath.GetCPointer();
	const VIndex length = fPath.GetLength();
	VString tidy;
	UniChar* out = tidy.GetCPointerForWrite(length);
	if (out == nullptr)
		return;
	VIndex written = 0;
	VIndex i = 0;
	while (i < length) {
		// One element: its blanks at both ends go.
		VIndex end = i;
		while (end < length && units[end] != u':')
			++end;
		VIndex first = i;
		VIndex last = end;
		while (first < last && isSpace(units[first]))
			++first;
		while (last > first && isSpace(units[last - 1]))
			--last;
		std::memcpy(out + written, units + first, static_cast<size_t>(last - first) * sizeof(UniChar));
		written += last - first;
		if (end < length)
			out[written++] = u':';
		i = end + 1;
	}
	tidy.Validate(written);
	fPath.Swap(tidy);
	if (fIsValid)
		fIsValid = !fPath.IsEmpty() && fPath.GetCPointer()[0] != u':';
}

void VFilePath::ResolveRelativePosix(VString& ioPosixPath)
{
	const VIndex length = ioPosixPath.GetLength();
	if (length == 0)
		return;
	const UniChar* units = ioPosixPath.GetCPointer();
	const bool absolute = units[0] == u'/';
	const bool trailing = units[length - 1] == u'/';
	struct Element {
		VIndex fStart;
		VIndex fLength;
	};
	std::vector<Element> elements;
	auto isStep = [units](const Element& inElement, VIndex inDots) {
		return inElement.fLength == inDots && units[inElement.fStart] == u'.' &&
			   (inDots == 1 || units[inElement.fStart + 1] == u'.');
	};
	VIndex i = 0;
	bool afterSeparator = absolute;
	while (i < length) {
		while (i < length && units[i] == u'/')
			++i;
		if (i >= length)
			break;
		VIndex end = i;
		while (end < length && units[end] != u'/')
			++end;
		const Element element{i, end - i};
		const bool followed = end < length;
		// Steps count only between separators: "./a" and "a/." stay.
		if (afterSeparator && followed && isStep(element, 1)) {
			// "./" goes
		} else if (afterSeparator && followed && isStep(element, 2) && !elements.empty() &&
				   !isStep(elements.back(), 2)) {
			elements.pop_back();
		} else {
			elements.push_back(element);
		}
		afterSeparator = true;
		i = end;
	}
	VString resolved;
	if (absolute)
		resolved.AppendUniChar(u'/');
	for (size_t k = 0; k < elements.size(); ++k) {
		if (k > 0)
			resolved.AppendUniChar(u'/');
		resolved.AppendUniChars(units + elements[k].fStart, elements[k].fLength);
	}
	if (trailing && !elements.empty())
		resolved.AppendUniChar(u'/');
	ioPosixPath.Swap(resolved);
}

bool VFilePath::ValidFullPath(const VString& inPath, FilePathStyle inStyle)
{
	if (inPath.IsEmpty())
		return false;
	const UniChar first = inPath.GetCPointer()[0];
	if (inStyle != FPS_SYSTEM)
		return first == u'/';
	// The volume's name and its ':' at least: a text without one names no
	// volume, and would read as a file whose POSIX text is a folder.
	return first != u':' && inPath.FindUniChar(u':') > 0;
}

bool VFilePath::ValidRelativePath(const VString& inPath, FilePathStyle inStyle)
{
	return inStyle == FPS_SYSTEM || inPath.IsEmpty() || inPath.GetCPointer()[0] != u'/';
}

bool VFilePath::BadChar(const VString& inPath, FilePathStyle /*inStyle*/, bool /*inFlag*/)
{
	const UniChar* units = inPath.GetCPointer();
	return std::find(units, units + inPath.GetLength(), u'\0') != units + inPath.GetLength();
}

bool VFilePath::ResolveColonSteps(VString& ioPath)
{
	const VIndex length = ioPath.GetLength();
	if (length == 0)
		return false;
	const UniChar* units = ioPath.GetCPointer();
	if (units[0] == u':')
		return false;
	// Every pair of neighbours holds one odd position: looking at those
	// alone finds any "::".
	bool hasStep = false;
	for (VIndex i = 1; i < length; i += 2) {
		if (units[i] == u':' && (units[i - 1] == u':' || (i + 1 < length && units[i + 1] == u':'))) {
			hasStep = true;
			break;
		}
	}
	if (!hasStep)
		return true;
	// The volume, then elements; an empty element before the last one is a
	// step up, the last one is the file's name (empty for a folder).
	VIndex volumeEnd = 0;
	while (units[volumeEnd] != u':')
		++volumeEnd;
	std::vector<std::pair<VIndex, VIndex>> kept;
	VIndex i = volumeEnd + 1;
	while (true) {
		VIndex end = i;
		while (end < length && units[end] != u':')
			++end;
		if (end == length) {
			kept.emplace_back(i, end - i); // the name, or nothing for a folder
			break;
		}
		if (end == i) {
			if (kept.empty())
				return false; // above the volume
			kept.pop_back();
		} else {
			kept.emplace_back(i, end - i);
		}
		i = end + 1;
	}
	VString resolved;
	resolved.AppendUniChars(units, volumeEnd + 1);
	for (size_t k = 0; k < kept.size(); ++k) {
		resolved.AppendUniChars(units + kept[k].first, kept[k].second);
		if (k + 1 < kept.size())
			resolved.AppendUniChar(u':');
	}
	ioPath.Swap(resolved);
	return true;
}

CharSet VFilePath::DebugDump(char* ioBuffer, int32& ioSize) const
{
	return fPath.DebugDump(ioBuffer, ioSize);
}

} // namespace qirn
