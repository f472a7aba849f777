#include "files/VURL.h"

#include "core/TextUnits.h"
#include "core/VTextConverter_UTF8.h"
#include "core/VTextConverters.h"

#include <algorithm>
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
		fClasses[static_cast<unsigned char>('[')] |= kClassBracket;
		fClasses[static_cast<unsigned char>(']')] |= kClassBracket;
		fClasses[static_cast<unsigned char>('/')] |= kClassNetLocSeparator;
		fClasses[static_cast<unsigned char>('?')] |= kClassNetLocSeparator | kClassPathSeparator | kClassParameterSeparator;
		fClasses[static_cast<unsigned char>(';')] |= kClassPathSeparator;
	}
};

constexpr URLCharacterTable kURLCharacters;

// Collects an encoding in a block on the stack, handed to the text each
// time it fills: one pass, and the text grows by whole blocks.
class BufferedSink {
public:
	explicit BufferedSink(VString& ioText) : fText(ioText), fEnd(fBuffer) {}
	~BufferedSink() { Flush(); }

	void Unit(UniChar inUnit)
	{
		_MakeRoom();
		*fEnd++ = inUnit;
	}
	void Escape(uint8 inByte)
	{
		_MakeRoom();
		fEnd[0] = u'%';
		fEnd[1] = static_cast<UniChar>(kUpperHexDigits[inByte >> 4]);
		fEnd[2] = static_cast<UniChar>(kUpperHexDigits[inByte & 15]);
		fEnd += 3;
	}
	void Flush()
	{
		fText.AppendUniChars(fBuffer, static_cast<VIndex>(fEnd - fBuffer));
		fEnd = fBuffer;
	}

private:
	void _MakeRoom()
	{
		if (fEnd > fBuffer + kSize - 3)
			Flush();
	}

	static constexpr int kSize = 256;
	VString& fText;
	UniChar* fEnd;
	UniChar fBuffer[kSize];
};

// A byte of a file name that is not UTF-8 crosses UTF-16 as a lone low
// surrogate U+DC80 to U+DCFF; in a URL it is that byte again.
constexpr bool IsEscapedNameByte(UniChar inUnit)
{
	return inUnit >= 0xDC80 && inUnit <= 0xDCFF;
}

// The UTF-8 bytes of one code point, each escaped.
template <class Sink>
void EscapeCodePoint(uint32 inChar, Sink& ioSink)
{
	if (inChar < 0x800) {
		ioSink.Escape(static_cast<uint8>(0xC0 | (inChar >> 6)));
	} else if (inChar < 0x10000) {
		ioSink.Escape(static_cast<uint8>(0xE0 | (inChar >> 12)));
		ioSink.Escape(static_cast<uint8>(0x80 | ((inChar >> 6) & 0x3F)));
	} else {
		ioSink.Escape(static_cast<uint8>(0xF0 | (inChar >> 18)));
		ioSink.Escape(static_cast<uint8>(0x80 | ((inChar >> 12) & 0x3F)));
		ioSink.Escape(static_cast<uint8>(0x80 | ((inChar >> 6) & 0x3F)));
	}
	ioSink.Escape(static_cast<uint8>(0x80 | (inChar & 0x3F)));
}

template <class Sink>
void EncodeUnits(const UniChar* inUnits, VIndex inLength, uint8 inMask, bool inKeepUnicodeEscapes, Sink& ioSink)
{
	for (VIndex i = 0; i < inLength; ++i) {
		UniChar c = inUnits[i];
		if (c < 0x80) {
			if ((c >= 0x20 && c != 0x7F && (kURLCharacters.fClasses[c] & inMask) == 0) ||
				(c == u'\\' && inKeepUnicodeEscapes && i + 1 < inLength && inUnits[i + 1] == u'u'))
				ioSink.Unit(c);
			else
				ioSink.Escape(static_cast<uint8>(c));
		} else if (IsEscapedNameByte(c)) {
			ioSink.Escape(static_cast<uint8>(c & 0xFF));
		} else if (IsHighSurrogate(c) && i + 1 < inLength && IsLowSurrogate(inUnits[i + 1])) {
			EscapeCodePoint(0x10000 + ((static_cast<uint32>(c) - 0xD800) << 10) + (inUnits[i + 1] - 0xDC00u), ioSink);
			++i;
		} else {
			EscapeCodePoint(c, ioSink);
		}
	}
}

inline bool IsEscapeAt(const UniChar* inUnits, VIndex inLength, VIndex inPos)
{
	return inPos + 2 < inLength && inUnits[inPos] == u'%' && HexDigitValue(inUnits[inPos + 1]) >= 0 &&
		   HexDigitValue(inUnits[inPos + 2]) >= 0;
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
	BufferedSink sink(ioText);
	EncodeUnits(inUnits, inLength, static_cast<uint8>(inEscapes | kClassUnsafe), inKeepUnicodeEscapes, sink);
}

void VURL::_AppendDecoded(const UniChar* inUnits, VIndex inLength, VString& ioText)
{
	// Decoding never lengthens: three units give at most one.
	VIndex base = ioText.GetLength();
	UniChar* start = ioText.GetCPointerForWrite(base + inLength);
	if (start == nullptr)
		return; // no memory: the text stays as it was
	UniChar* dest = start + base;
	UniChar* const end = dest + inLength;
	VIndex i = 0;
	while (i < inLength) {
		if (!IsEscapeAt(inUnits, inLength, i)) {
			VIndex next = i + 1;
			while (next < inLength && inUnits[next] != u'%')
				++next;
			dest = std::copy(inUnits + i, inUnits + next, dest);
			i = next;
			continue;
		}
		VIndex runStart = i;
		VIndex count = 0;
		do {
			++count;
			i += 3;
		} while (IsEscapeAt(inUnits, inLength, i));

		uint8 stackBytes[256];
		std::string heapBytes;
		uint8* bytes = stackBytes;
		if (count > static_cast<VIndex>(sizeof(stackBytes))) {
			heapBytes.resize(static_cast<size_t>(count));
			bytes = reinterpret_cast<uint8*>(heapBytes.data());
		}
		for (VIndex k = 0; k < count; ++k) {
			const UniChar* escape = inUnits + runStart + 3 * k;
			bytes[k] = static_cast<uint8>(HexDigitValue(escape[1]) * 16 + HexDigitValue(escape[2]));
		}
		if (count == 1) {
			// ISO-8859-1: the byte is the code point.
			*dest++ = bytes[0];
		} else if (VTextConverters::DetectUTF8(bytes, count)) {
			VToUnicodeConverter_UTF8 utf8;
			VSize consumed = 0;
			VIndex produced = 0;
			utf8.Convert(bytes, static_cast<VSize>(count), &consumed, dest, static_cast<VIndex>(end - dest),
						 &produced);
			dest += produced;
		} else {
			// Bytes that make no text stay escaped: nothing is lost or
			// taken for other characters.
			std::copy(inUnits + runStart, inUnits + i, dest);
			dest += i - runStart;
		}
	}
	ioText.Validate(static_cast<VIndex>(dest - start));
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
