#include "files/VURL.h"

#include "core/TextUnits.h"
#include "core/VTextConverters.h"

#include <string>

namespace qirn {

namespace {

// What each ASCII character is to a URL. The escape bits match
// VURL::EEscapes so that a part's escapes are one mask.
constexpr uint8 kClassBracket = 1;
constexpr uint8 kClassNetLocSeparator = 2;
constexpr uint8 kClassPathSeparator = 4;
constexpr uint8 kClassParameterSeparator = 8;
constexpr uint8 kClassUnsafe = 16;
constexpr uint8 kClassURL = 32;

struct URLCharacterTable {
	uint8 fClasses[128];

	constexpr URLCharacterTable() : fClasses()
	{
		for (unsigned c = 'a'; c <= 'z'; ++c)
			fClasses[c] = kClassURL;
		for (unsigned c = 'A'; c <= 'Z'; ++c)
			fClasses[c] = kClassURL;
		for (unsigned c = '0'; c <= '9'; ++c)
			fClasses[c] = kClassURL;
		for (const char* p = ":/?#[]@!$&'()*+,;=-._~%"; *p != 0; ++p)
			fClasses[static_cast<unsigned char>(*p)] |= kClassURL;
		for (const char* p = "<>\"#%{}|\\^` "; *p != 0; ++p)
			fClasses[static_cast<unsigned char>(*p)] |= kClassUnsafe;
		fClasses['['] |= kClassBracket;
		fClasses[']'] |= kClassBracket;
		fClasses['/'] |= kClassNetLocSeparator;
		fClasses['?'] |= kClassNetLocSeparator | kClassPathSeparator | kClassParameterSeparator;
		fClasses[';'] |= kClassPathSeparator;
	}
};

constexpr URLCharacterTable kURLCharacters;

inline void AppendEscape(uint8 inByte, VString& ioText)
{
	ioText.AppendUniChar(u'%');
	ioText.AppendUniChar(static_cast<UniChar>(kUpperHexDigits[inByte >> 4]));
	ioText.AppendUniChar(static_cast<UniChar>(kUpperHexDigits[inByte & 15]));
}

// The UTF-8 bytes of one code point, each escaped.
void AppendEscapedCodePoint(uint32 inChar, VString& ioText)
{
	uint8 bytes[4];
	int count;
	if (inChar < 0x800) {
		bytes[0] = static_cast<uint8>(0xC0 | (inChar >> 6));
		count = 2;
	} else if (inChar < 0x10000) {
		bytes[0] = static_cast<uint8>(0xE0 | (inChar >> 12));
		bytes[1] = static_cast<uint8>(0x80 | ((inChar >> 6) & 0x3F));
		count = 3;
	} else {
		bytes[0] = static_cast<uint8>(0xF0 | (inChar >> 18));
		bytes[1] = static_cast<uint8>(0x80 | ((inChar >> 12) & 0x3F));
		bytes[2] = static_cast<uint8>(0x80 | ((inChar >> 6) & 0x3F));
		count = 4;
	}
	bytes[count - 1] = static_cast<uint8>(0x80 | (inChar & 0x3F));
	for (int i = 0; i < count; ++i)
		AppendEscape(bytes[i], ioText);
}

inline bool IsEscapeAt(const UniChar* inUnits, VIndex inLength, VIndex inPos)
{
	return inPos + 2 < inLength && inUnits[inPos] == u'%' && HexDigitValue(inUnits[inPos + 1]) >= 0 &&
		   HexDigitValue(inUnits[inPos + 2]) >= 0;
}

// A byte of a file name that is not UTF-8 crosses UTF-16 as a lone low
// surrogate U+DC80 to U+DCFF; in a URL it is that byte again.
constexpr bool IsEscapedNameByte(UniChar inUnit)
{
	return inUnit >= 0xDC80 && inUnit <= 0xDCFF;
}

} // namespace

uint8 VURL::_EscapesOfPart(EURLParts inPart)
{
	switch (inPart) {
		case e_NetLoc:
			return kEscapeNetLocSeparators;
		case e_Path:
			return kEscapeBrackets | kEscapePathSeparators;
		case e_Parameters:
			return kEscapeBrackets | kEscapeParameterSeparators;
		default:
			return kEscapeBrackets;
	}
}

void VURL::_AppendEncoded(const UniChar* inUnits, VIndex inLength, uint8 inEscapes, bool inKeepUnicodeEscapes,
						  VString& ioText)
{
	uint8 mask = static_cast<uint8>(inEscapes | kClassUnsafe);
	for (VIndex i = 0; i < inLength; ++i) {
		UniChar c = inUnits[i];
		if (c < 0x80) {
			if (c == u'\\' && inKeepUnicodeEscapes && i + 1 < inLength && inUnits[i + 1] == u'u')
				ioText.AppendUniChar(c);
			else if (c < 0x20 || c == 0x7F || (kURLCharacters.fClasses[c] & mask) != 0)
				AppendEscape(static_cast<uint8>(c), ioText);
			else
				ioText.AppendUniChar(c);
		} else if (IsEscapedNameByte(c)) {
			AppendEscape(static_cast<uint8>(c & 0xFF), ioText);
		} else if (IsHighSurrogate(c) && i + 1 < inLength && IsLowSurrogate(inUnits[i + 1])) {
			AppendEscapedCodePoint(0x10000 + ((static_cast<uint32>(c) - 0xD800) << 10) + (inUnits[i + 1] - 0xDC00),
								   ioText);
			++i;
		} else {
			AppendEscapedCodePoint(c, ioText);
		}
	}
}

void VURL::_AppendDecoded(const UniChar* inUnits, VIndex inLength, VString& ioText)
{
	std::string bytes;
	VIndex i = 0;
	while (i < inLength) {
		if (!IsEscapeAt(inUnits, inLength, i)) {
			ioText.AppendUniChar(inUnits[i]);
			++i;
			continue;
		}
		VIndex runStart = i;
		bytes.clear();
		do {
			bytes.push_back(static_cast<char>(HexDigitValue(inUnits[i + 1]) * 16 + HexDigitValue(inUnits[i + 2])));
			i += 3;
		} while (IsEscapeAt(inUnits, inLength, i));
		if (bytes.size() == 1) {
			// ISO-8859-1: the byte is the code point.
			ioText.AppendUniChar(static_cast<UniChar>(static_cast<uint8>(bytes[0])));
		} else if (VTextConverters::DetectUTF8(bytes.data(), static_cast<sLONG>(bytes.size()))) {
			ioText.AppendBlock(bytes.data(), bytes.size(), VTC_UTF_8);
		} else {
			// Bytes that make no text stay escaped: nothing is lost or
			// taken for other characters.
			ioText.AppendUniChars(inUnits + runStart, i - runStart);
		}
	}
}

void VURL::Encode(VString& ioText, bool, bool, bool inWithBrackets, bool inKeepUnicodeEscapes)
{
	VString encoded;
	_AppendEncoded(ioText.GetCPointer(), ioText.GetLength(), inWithBrackets ? kEscapeBrackets : 0,
				   inKeepUnicodeEscapes, encoded);
	ioText.Swap(encoded);
}

void VURL::Decode(VString& ioText)
{
	if (ioText.FindUniChar(u'%') == 0)
		return;
	VString decoded;
	_AppendDecoded(ioText.GetCPointer(), ioText.GetLength(), decoded);
	ioText.Swap(decoded);
}

bool VURL::_ContainsOnlySafeCharacters(const VString& inText)
{
	const UniChar* units = inText.GetCPointer();
	for (VIndex i = 0, n = inText.GetLength(); i < n; ++i) {
		if (units[i] >= 0x80 || (kURLCharacters.fClasses[units[i]] & kClassURL) == 0)
			return false;
	}
	return true;
}

void VURL::ParseNetLocation(const VString& inNetLocation, VString* outUser, VString* outPassword, VString* outHost,
							VString* outPort)
{
	const UniChar* s = inNetLocation.GetCPointer();
	VIndex n = inNetLocation.GetLength();
	auto set = [s](VString* outText, VIndex inStart, VIndex inEnd) {
		if (outText == nullptr)
			return;
		if (inEnd > inStart)
			outText->FromUniString(s + inStart, inEnd - inStart);
		else
			outText->Clear();
	};
	auto find = [s](UniChar inChar, VIndex inFrom, VIndex inEnd) {
		for (VIndex i = inFrom; i < inEnd; ++i) {
			if (s[i] == inChar)
				return i;
		}
		return VIndex(-1);
	};

	// A host never holds '@'; a decoded password may.
	VIndex at = -1;
	for (VIndex i = n - 1; i >= 0 && at < 0; --i) {
		if (s[i] == u'@')
			at = i;
	}
	VIndex hostStart = 0;
	if (at >= 0) {
		VIndex colon = find(u':', 0, at);
		set(outUser, 0, colon >= 0 ? colon : at);
		set(outPassword, colon >= 0 ? colon + 1 : at, at);
		hostStart = at + 1;
	} else {
		set(outUser, 0, 0);
		set(outPassword, 0, 0);
	}

	if (hostStart < n && s[hostStart] == u'[') {
		// An IPv6 literal: its own colons are not the port's.
		VIndex close = find(u']', hostStart + 1, n);
		if (close < 0) {
			set(outHost, hostStart + 1, n);
			set(outPort, 0, 0);
			return;
		}
		set(outHost, hostStart + 1, close);
		VIndex colon = find(u':', close + 1, n);
		set(outPort, colon >= 0 ? colon + 1 : n, n);
		return;
	}
	VIndex colon = -1;
	for (VIndex i = n - 1; i >= hostStart; --i) {
		if (s[i] == u':') {
			colon = i;
			break;
		}
	}
	set(outHost, hostStart, colon >= 0 ? colon : n);
	set(outPort, colon >= 0 ? colon + 1 : n, n);
}

} // namespace qirn
