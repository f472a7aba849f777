#include "files/VURL.h"

#include <algorithm>
#include <memory>

namespace qirn {

namespace {

VIndex FindUnit(const UniChar* inText, VIndex inFrom, VIndex inEnd, UniChar inUnit)
{
	for (VIndex i = inFrom; i < inEnd; ++i) {
		if (inText[i] == inUnit)
			return i;
	}
	return -1;
}

} // namespace

VURL::VURL() : fParts(), fIsValid(false)
{
}

VURL::VURL(const VURL& inURL) : VObject(), fParts(), fIsValid(false)
{
	FromURL(inURL);
}

VURL::VURL(const VString& inText, bool inEncoded) : fParts(), fIsValid(false)
{
	FromString(inText, inEncoded);
}

VURL::VURL(const VString& inPath, EURLPathStyle inStyle, const VString& inPrefix) : fParts(), fIsValid(false)
{
	FromFilePath(inPath, inStyle, inPrefix);
}

VURL::VURL(const VFilePath& inPath) : fParts(), fIsValid(false)
{
	FromFilePath(inPath);
}

VURL::~VURL() = default;

VURL& VURL::operator=(const VURL& inURL)
{
	FromURL(inURL);
	return *this;
}

void VURL::FromURL(const VURL& inURL)
{
	if (&inURL == this)
		return;
	std::copy(inURL.fParts, inURL.fParts + e_LastPart, fParts);
	fURL.FromString(inURL.fURL);
	fEncodedURL.FromString(inURL.fEncodedURL);
	fIsValid = inURL.fIsValid;
}

void VURL::Clear()
{
	std::fill(fParts, fParts + e_LastPart, Part{0, 0});
	fURL.Clear();
	fEncodedURL.Clear();
	fIsValid = false;
}

void VURL::FromString(const VString& inText, bool inEncoded)
{
	fURL.FromString(inText);
	if (inEncoded && _ContainsOnlySafeCharacters(fURL))
		fEncodedURL.FromString(fURL);
	else
		fEncodedURL.Clear();
	fIsValid = _BuildURLArray(fURL, false, fParts);
	if (inEncoded) {
		_DecodeParts();
		// An escaped '/' or ':' in the scheme ("a%2Fb://h/") decodes to a
		// scheme no URL text can carry: the URL is rebuilt invalid, as any
		// change would make it.
		const Part& scheme = fParts[e_Scheme];
		const UniChar* units = fURL.GetCPointer() + scheme.fStart - 1;
		for (VIndex i = 0; fIsValid && scheme.fStart > 0 && i < scheme.fLength; ++i) {
			if (units[i] == u'/' || units[i] == u':')
				fIsValid = false;
		}
	}
}

void VURL::FromString(const VString& inText, const VString& inBase, bool inEncoded)
{
	if (inBase.IsEmpty() || inText.FindRawString(CVSTR("://")) != 0) {
		FromString(inText, inEncoded);
		return;
	}
	// Joined with one '/', whichever side brings it.
	VString joined(inBase);
	bool baseSlash = inBase.GetUniChar(inBase.GetLength()) == u'/';
	bool textSlash = inText.GetUniChar(1) == u'/';
	if (baseSlash && textSlash)
		joined.Truncate(joined.GetLength() - 1);
	else if (!baseSlash && !textSlash)
		joined.AppendUniChar(u'/');
	joined.AppendString(inText);
	FromString(joined, inEncoded);
}

void VURL::_LocateTail(const UniChar* inText, VIndex inLength, VIndex inPathStart, VIndex inTailStart,
					   bool inPathOnly, Part outParts[e_LastPart])
{
	VIndex end = inLength;
	if (!inPathOnly) {
		// One pass: a ';' inside the query or a '?' inside the fragment is
		// theirs.
		VIndex semicolon = -1;
		VIndex question = -1;
		VIndex hash = -1;
		for (VIndex i = inTailStart; i < inLength; ++i) {
			UniChar c = inText[i];
			if (c == u'#') {
				hash = i;
				break;
			}
			if (c == u'?' && question < 0)
				question = i;
			else if (c == u';' && question < 0 && semicolon < 0)
				semicolon = i;
		}
		if (hash >= 0) {
			outParts[e_Fragment] = {hash + 2, end - hash - 1};
			end = hash;
		}
		if (question >= 0) {
			outParts[e_Query] = {question + 2, end - question - 1};
			end = question;
		}
		if (semicolon >= 0) {
			outParts[e_Parameters] = {semicolon + 2, end - semicolon - 1};
			end = semicolon;
		}
	}
	if (inPathStart >= 0)
		outParts[e_Path] = {inPathStart + 1, end - inPathStart};
}

bool VURL::_BuildURLArray(const VString& inText, bool inPathOnly, Part outParts[e_LastPart])
{
	std::fill(outParts, outParts + e_LastPart, Part{0, 0});
	const UniChar* s = inText.GetCPointer();
	VIndex n = inText.GetLength();
	if (n == 0)
		return true;

	// The scheme ends at the first "://", unless a '/' or ':' comes first.
	VIndex mark = -1;
	for (VIndex i = 0; i + 2 < n; ++i) {
		if (s[i] == u':' && s[i + 1] == u'/' && s[i + 2] == u'/') {
			mark = i;
			break;
		}
		if (s[i] == u'/' || s[i] == u':')
			break;
	}
	if (mark < 0) {
		_LocateTail(s, n, 0, 0, inPathOnly, outParts);
		return false;
	}
	outParts[e_Scheme] = {1, mark};
	VIndex netStart = mark + 3;
	VIndex slash = FindUnit(s, netStart, n, u'/');
	// A '?' before the first '/' ends the network location too: a query
	// may hold '/' ("http://h?next=/a"), and the encoded text leaves it
	// raw. A file path's '?' is a name's, not a separator.
	VIndex question = slash < 0 || !inPathOnly ? FindUnit(s, netStart, slash < 0 ? n : slash, u'?') : -1;
	if (slash >= 0 && question < 0) {
		outParts[e_NetLoc] = {netStart + 1, slash - netStart};
		_LocateTail(s, n, slash + 1, slash + 1, inPathOnly, outParts);
		return true;
	}
	if (question >= 0) {
		// "host?query": no path, the query right after the host.
		outParts[e_NetLoc] = {netStart + 1, question - netStart};
		_LocateTail(s, n, inPathOnly ? question : -1, question, inPathOnly, outParts);
		return true;
	}
	outParts[e_NetLoc] = {netStart + 1, n - netStart};
	return false;
}

void VURL::_DecodeParts()
{
	if (fURL.FindUniChar(u'%') == 0)
		return;
	const UniChar* s = fURL.GetCPointer();
	VString decoded;
	// Decoding never lengthens the text.
	if (decoded.GetCPointerForWrite(fURL.GetLength()) == nullptr)
		return;
	Part parts[e_LastPart] = {};
	VIndex cursor = 0;
	for (int i = 0; i < e_LastPart; ++i) {
		if (fParts[i].fStart == 0)
			continue;
		VIndex start = fParts[i].fStart - 1;
		decoded.AppendUniChars(s + cursor, start - cursor);
		parts[i].fStart = decoded.GetLength() + 1;
		_AppendDecoded(s + start, fParts[i].fLength, decoded);
		parts[i].fLength = decoded.GetLength() + 1 - parts[i].fStart;
		cursor = start + fParts[i].fLength;
	}
	decoded.AppendUniChars(s + cursor, fURL.GetLength() - cursor);
	fURL.Swap(decoded);
	std::copy(parts, parts + e_LastPart, fParts);
}

void VURL::_GetPartTexts(PartText outParts[e_LastPart]) const
{
	const UniChar* s = fURL.GetCPointer();
	for (int i = 0; i < e_LastPart; ++i) {
		if (fParts[i].fStart > 0)
			outParts[i] = {s + fParts[i].fStart - 1, fParts[i].fLength, true};
		else
			outParts[i] = {s, 0, false};
	}
}

bool VURL::_Assemble(const PartText inParts[e_LastPart], EURLParts inFirst, bool inEncoded, VString& outText,
					 Part* outParts)
{
	auto write = [&](EURLParts inPart) {
		const PartText& part = inParts[inPart];
		if (outParts != nullptr)
			outParts[inPart].fStart = outText.GetLength() + 1;
		// The scheme too: a parse decodes every part, and a scheme of other
		// characters than the usual letters must not leave them raw.
		if (inEncoded)
			_AppendEncoded(part.fUnits, part.fLength, _EscapesOfPart(inPart), false, outText);
		else
			outText.AppendUniChars(part.fUnits, part.fLength);
		if (outParts != nullptr)
			outParts[inPart].fLength = outText.GetLength() + 1 - outParts[inPart].fStart;
	};
	if (outParts != nullptr)
		std::fill(outParts, outParts + e_LastPart, Part{0, 0});
	// Room for the decoded parts at once; escapes may grow it further.
	VIndex room = outText.GetLength() + 8;
	for (int i = inFirst; i < e_LastPart; ++i)
		room += inParts[i].fLength;
	outText.GetCPointerForWrite(room);

	bool hasPrefix = inParts[e_NetLoc].fPresent || inParts[e_Scheme].fLength > 0;
	bool schemeOK = true;
	if (hasPrefix && inFirst <= e_Scheme) {
		write(e_Scheme);
		outText.AppendCString("://");
	}
	for (VIndex i = 0; i < inParts[e_Scheme].fLength; ++i) {
		if (inParts[e_Scheme].fUnits[i] == u'/' || inParts[e_Scheme].fUnits[i] == u':')
			schemeOK = false;
	}
	if (hasPrefix && inFirst <= e_NetLoc)
		write(e_NetLoc);
	// Without a path, the network location may only be followed by a query:
	// anything else after it needs the '/'.
	bool hasPath = !hasPrefix || inParts[e_Path].fPresent || inParts[e_Parameters].fLength > 0 ||
				   inParts[e_Fragment].fLength > 0;
	// An empty query is written only where it is all that follows the
	// network location ("http://h?"): without its '?' the text would no
	// longer parse as a URL.
	bool hasQuery = inParts[e_Query].fLength > 0 || (!hasPath && inParts[e_Query].fPresent);
	if (hasPath) {
		if (hasPrefix && inFirst <= e_NetLoc)
			outText.AppendUniChar(u'/');
		write(e_Path);
	}
	if (inParts[e_Parameters].fLength > 0) {
		outText.AppendUniChar(u';');
		write(e_Parameters);
	}
	if (hasQuery) {
		outText.AppendUniChar(u'?');
		write(e_Query);
	}
	if (inParts[e_Fragment].fLength > 0) {
		outText.AppendUniChar(u'#');
		write(e_Fragment);
	}
	return hasPrefix && schemeOK && (hasPath || hasQuery);
}

void VURL::_SetPart(EURLParts inPart, const VString& inText)
{
	PartText parts[e_LastPart];
	_GetPartTexts(parts);
	bool present = parts[inPart].fPresent || !inText.IsEmpty() || inPart == e_Path;
	parts[inPart] = {inText.GetCPointer(), inText.GetLength(), present};
	VString text;
	Part located[e_LastPart];
	bool valid = _Assemble(parts, e_Scheme, false, text, located);
	fURL.Swap(text);
	std::copy(located, located + e_LastPart, fParts);
	fEncodedURL.Clear();
	fIsValid = valid;
}

void VURL::_SetPath(const VString& inPath)
{
	_SetPart(e_Path, inPath);
}

void VURL::_GetPart(EURLParts inPart, VString& outText) const
{
	const Part& part = fParts[inPart];
	if (part.fLength > 0)
		outText.FromUniString(fURL.GetCPointer() + part.fStart - 1, part.fLength);
	else
		outText.Clear();
}

void VURL::_GetEncodedPart(EURLParts inPart, VString& outText) const
{
	const Part& part = fParts[inPart];
	outText.Clear();
	if (part.fLength > 0)
		_AppendEncoded(fURL.GetCPointer() + part.fStart - 1, part.fLength, _EscapesOfPart(inPart), false, outText);
}

void VURL::GetAbsoluteURL(VString& outText, bool inEncoded) const
{
	if (inEncoded && !fEncodedURL.IsEmpty())
		outText.FromString(fEncodedURL);
	else
		GetRelativeURL(outText, inEncoded);
}

void VURL::GetRelativeURL(VString& outText, bool inEncoded) const
{
	if (!inEncoded) {
		outText.FromString(fURL);
		return;
	}
	PartText parts[e_LastPart];
	_GetPartTexts(parts);
	VString text;
	_Assemble(parts, e_Scheme, true, text, nullptr);
	outText.Swap(text);
}

void VURL::GetScheme(VString& outScheme) const
{
	_GetPart(e_Scheme, outScheme);
}

void VURL::GetNetworkLocation(VString& outText, bool inEncoded) const
{
	if (inEncoded)
		_GetEncodedPart(e_NetLoc, outText);
	else
		_GetPart(e_NetLoc, outText);
}

void VURL::GetPath(VString& outPath, EURLPathStyle inStyle, bool inEncoded) const
{
	if (inEncoded)
		_GetEncodedPart(e_Path, outPath);
	else
		_GetPart(e_Path, outPath);
	if (inStyle != eURL_POSIX_STYLE)
		Convert(outPath, eURL_POSIX_STYLE, inStyle, false);
}

void VURL::GetParameters(VString& outText, bool inEncoded) const
{
	if (inEncoded)
		_GetEncodedPart(e_Parameters, outText);
	else
		_GetPart(e_Parameters, outText);
}

void VURL::GetQuery(VString& outText, bool inEncoded) const
{
	if (inEncoded)
		_GetEncodedPart(e_Query, outText);
	else
		_GetPart(e_Query, outText);
}

void VURL::GetFragment(VString& outText, bool inEncoded) const
{
	if (inEncoded)
		_GetEncodedPart(e_Fragment, outText);
	else
		_GetPart(e_Fragment, outText);
}

void VURL::GetResourceSpecifier(VString& outText, bool inEncoded) const
{
	PartText parts[e_LastPart];
	_GetPartTexts(parts);
	VString text;
	_Assemble(parts, e_NetLoc, inEncoded, text, nullptr);
	outText.Swap(text);
}

void VURL::GetRelativePath(VString& outText, EURLPathStyle inStyle, bool inEncoded) const
{
	PartText parts[e_LastPart];
	_GetPartTexts(parts);
	VString text;
	_Assemble(parts, e_Path, inEncoded, text, nullptr);
	if (inStyle != eURL_POSIX_STYLE)
		Convert(text, eURL_POSIX_STYLE, inStyle, true);
	outText.Swap(text);
}

void VURL::GetLastPathComponent(VString& outName, bool inEncoded) const
{
	const Part& path = fParts[e_Path];
	const UniChar* s = fURL.GetCPointer() + (path.fStart > 0 ? path.fStart - 1 : 0);
	VIndex end = path.fLength;
	if (end > 0 && s[end - 1] == u'/')
		--end;
	VIndex start = end;
	while (start > 0 && s[start - 1] != u'/')
		--start;
	outName.Clear();
	if (inEncoded)
		_AppendEncoded(s + start, end - start, _EscapesOfPart(e_Path), false, outName);
	else
		outName.AppendUniChars(s + start, end - start);
}

void VURL::_GetNetLocationPiece(int inPiece, VString& outText, bool inEncoded) const
{
	VString netLocation;
	_GetPart(e_NetLoc, netLocation);
	VString* pieces[4] = {};
	pieces[inPiece] = &outText;
	ParseNetLocation(netLocation, pieces[0], pieces[1], pieces[2], pieces[3]);
	if (inEncoded)
		Encode(outText, false, false, true, false);
}

void VURL::GetUserName(VString& outText, bool inEncoded) const
{
	_GetNetLocationPiece(0, outText, inEncoded);
}

void VURL::GetPassword(VString& outText, bool inEncoded) const
{
	_GetNetLocationPiece(1, outText, inEncoded);
}

void VURL::GetHostName(VString& outText, bool inEncoded) const
{
	_GetNetLocationPiece(2, outText, inEncoded);
}

void VURL::GetPortNumber(VString& outText, bool inEncoded) const
{
	_GetNetLocationPiece(3, outText, inEncoded);
}

sLONG VURL::GetPortNumber() const
{
	VString port;
	GetPortNumber(port, false);
	sLONG value = 0;
	for (VIndex i = 1; i <= port.GetLength(); ++i) {
		UniChar c = port.GetUniChar(i);
		if (c >= u'0' && c <= u'9') {
			value = value * 10 + (c - u'0');
			if (value >= 65537)
				return -1;
		} else if (c == u' ') {
			return -1;
		}
	}
	return value;
}

bool VURL::IsScheme(const VString& inScheme) const
{
	const Part& scheme = fParts[e_Scheme];
	return scheme.fLength == inScheme.GetLength() &&
		   std::equal(inScheme.GetCPointer(), inScheme.GetCPointer() + scheme.fLength,
					  fURL.GetCPointer() + (scheme.fStart > 0 ? scheme.fStart - 1 : 0));
}

bool VURL::IsRoot() const
{
	const Part& path = fParts[e_Path];
	return path.fLength == 0 || FindUnit(fURL.GetCPointer() + path.fStart - 1, 0, path.fLength, u'/') < 0;
}

void VURL::SetScheme(const VString& inScheme)
{
	_SetPart(e_Scheme, inScheme);
}

void VURL::SetNetWorkLocation(const VString& inText, bool inEncoded)
{
	if (!inEncoded) {
		_SetPart(e_NetLoc, inText);
		return;
	}
	VString decoded(inText);
	Decode(decoded);
	_SetPart(e_NetLoc, decoded);
}

void VURL::SetParameters(const VString& inText, bool inEncoded)
{
	if (!inEncoded) {
		_SetPart(e_Parameters, inText);
		return;
	}
	VString decoded(inText);
	Decode(decoded);
	_SetPart(e_Parameters, decoded);
}

void VURL::SetQuery(const VString& inText, bool inEncoded)
{
	if (!inEncoded) {
		_SetPart(e_Query, inText);
		return;
	}
	VString decoded(inText);
	Decode(decoded);
	_SetPart(e_Query, decoded);
}

void VURL::SetFragment(const VString& inText, bool inEncoded)
{
	if (!inEncoded) {
		_SetPart(e_Fragment, inText);
		return;
	}
	VString decoded(inText);
	Decode(decoded);
	_SetPart(e_Fragment, decoded);
}

void VURL::SetRelativePath(const VString& inText, EURLPathStyle inStyle, bool inEncoded)
{
	VString relative(inText);
	if (inStyle != eURL_POSIX_STYLE)
		Convert(relative, inStyle, eURL_POSIX_STYLE, true);
	// The '/' that ends the network location is the URL's own.
	if (relative.GetUniChar(1) == u'/')
		relative.Remove(1, 1);
	// Split before decoding, so that an escaped '?' stays in a name.
	Part located[e_LastPart] = {};
	_LocateTail(relative.GetCPointer(), relative.GetLength(), 0, 0, false, located);
	VString pieces[e_LastPart];
	PartText parts[e_LastPart];
	_GetPartTexts(parts);
	for (int i = e_Path; i < e_LastPart; ++i) {
		if (located[i].fStart == 0) {
			parts[i] = {relative.GetCPointer(), 0, false};
			continue;
		}
		pieces[i].FromUniString(relative.GetCPointer() + located[i].fStart - 1, located[i].fLength);
		if (inEncoded)
			Decode(pieces[i]);
		parts[i] = {pieces[i].GetCPointer(), pieces[i].GetLength(), true};
	}
	VString text;
	bool valid = _Assemble(parts, e_Scheme, false, text, located);
	fURL.Swap(text);
	std::copy(located, located + e_LastPart, fParts);
	fEncodedURL.Clear();
	fIsValid = valid;
}

bool VURL::ToParent()
{
	if (IsRoot())
		return false;
	VString path;
	_GetPart(e_Path, path);
	if (path.GetUniChar(path.GetLength()) == u'/')
		path.Truncate(path.GetLength() - 1);
	path.Truncate(path.FindUniChar(u'/', path.GetLength(), true));
	_SetPath(path);
	return true;
}

VURL* VURL::RetainParent() const
{
	auto parent = std::make_unique<VURL>(*this);
	if (!parent->ToParent())
		return nullptr;
	return parent.release();
}

bool VURL::ToSubFolder(const VString& inName)
{
	VString path;
	_GetPart(e_Path, path);
	if (!path.IsEmpty() && path.GetUniChar(path.GetLength()) != u'/')
		return false;
	path.AppendString(inName);
	_SetPath(path);
	return true;
}

CharSet VURL::DebugDump(char* ioBuffer, int32& ioSize) const
{
	return fURL.DebugDump(ioBuffer, ioSize);
}

} // namespace qirn
