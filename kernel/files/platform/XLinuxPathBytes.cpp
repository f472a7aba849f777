#include "files/platform/XLinuxPathBytes.h"

#include "core/VString.h"

#include <cstring>

namespace qirn {

namespace {

// The length of the well-formed UTF-8 sequence at inBytes (Unicode's table:
// no overlong forms, no surrogates, nothing past U+10FFFF) and its code
// point; 0 when the byte does not begin one.
int ReadSequence(const uint8* inBytes, size_t inAvailable, uint32& outChar)
{
	const uint8 lead = inBytes[0];
	if (lead < 0x80) {
		outChar = lead;
		return 1;
	}
	int length;
	uint8 low = 0x80;
	uint8 high = 0xBF;
	if (lead >= 0xC2 && lead <= 0xDF) {
		length = 2;
	} else if (lead >= 0xE0 && lead <= 0xEF) {
		length = 3;
		if (lead == 0xE0)
			low = 0xA0;
		else if (lead == 0xED)
			high = 0x9F;
	} else if (lead >= 0xF0 && lead <= 0xF4) {
		length = 4;
		if (lead == 0xF0)
			low = 0x90;
		else if (lead == 0xF4)
			high = 0x8F;
	} else {
		return 0;
	}
	if (inAvailable < static_cast<size_t>(length))
		return 0;
	if (inBytes[1] < low || inBytes[1] > high)
		return 0;
	uint32 ch = lead & (0x7F >> length);
	ch = (ch << 6) | (inBytes[1] & 0x3F);
	for (int i = 2; i < length; ++i) {
		if ((inBytes[i] & 0xC0) != 0x80)
			return 0;
		ch = (ch << 6) | (inBytes[i] & 0x3F);
	}
	outChar = ch;
	return length;
}

// Whether escaped bytes, read on their own, hold a character: they would
// then read back as that character, not as themselves.
bool EscapesHoldCharacter(const uint8* inBytes, size_t inLength)
{
	for (size_t i = 0; i < inLength; ++i) {
		uint32 ch;
		if (ReadSequence(inBytes + i, inLength - i, ch) > 1)
			return true;
	}
	return false;
}

constexpr uint64 kHighBits = 0x8080808080808080ull;

} // namespace

void XLinuxPathBytes::AppendText(const char* inBytes, size_t inLength, VString& ioText)
{
	const VIndex start = ioText.GetLength();
	if (inLength == 0 || inLength > static_cast<size_t>(VString::kMaxLength - start))
		return;
	// Never more units than bytes.
	UniChar* dest = ioText.GetCPointerForWrite(start + static_cast<VIndex>(inLength));
	if (dest == nullptr)
		return;
	UniChar* out = dest + start;
	const uint8* bytes = reinterpret_cast<const uint8*>(inBytes);
	size_t i = 0;
	while (i < inLength) {
		// Runs of ASCII, eight bytes at a time.
		while (inLength - i >= 8) {
			uint64 word;
			std::memcpy(&word, bytes + i, 8);
			if ((word & kHighBits) != 0)
				break;
			for (int k = 0; k < 8; ++k)
				out[k] = bytes[i + k];
			out += 8;
			i += 8;
		}
		if (i >= inLength)
			break;
		uint32 ch;
		const int length = ReadSequence(bytes + i, inLength - i, ch);
		if (length == 0) {
			*out++ = EscapeOf(bytes[i]);
			++i;
		} else if (ch < 0x10000) {
			*out++ = static_cast<UniChar>(ch);
			i += static_cast<size_t>(length);
		} else {
			ch -= 0x10000;
			*out++ = static_cast<UniChar>(0xD800 + (ch >> 10));
			*out++ = static_cast<UniChar>(0xDC00 + (ch & 0x3FF));
			i += static_cast<size_t>(length);
		}
	}
	ioText.Validate(static_cast<VIndex>(out - dest));
}

void XLinuxPathBytes::ToText(const char* inBytes, size_t inLength, VString& outText)
{
	outText.Clear();
	AppendText(inBytes, inLength, outText);
}

bool XLinuxPathBytes::Encode(const UniChar* inUnits, VIndex inLength, char* outBytes, size_t& outLength)
{
	uint8* const dest = reinterpret_cast<uint8*>(outBytes);
	uint8* out = dest;
	uint8* escapes = nullptr; // the start of the current run of escaped bytes
	VIndex i = 0;
	while (i < inLength) {
		// Runs of ASCII.
		while (i < inLength && inUnits[i] < 0x80)
			*out++ = static_cast<uint8>(inUnits[i++]);
		if (i >= inLength)
			break;
		const UniChar unit = inUnits[i];
		if (IsEscape(unit)) {
			if (escapes == nullptr)
				escapes = out;
			*out++ = static_cast<uint8>(unit - 0xDC00);
			++i;
			continue;
		}
		if (escapes != nullptr) {
			if (EscapesHoldCharacter(escapes, static_cast<size_t>(out - escapes)))
				return false;
			escapes = nullptr;
		}
		if (unit < 0x800) {
			*out++ = static_cast<uint8>(0xC0 | (unit >> 6));
			*out++ = static_cast<uint8>(0x80 | (unit & 0x3F));
		} else if (unit >= 0xD800 && unit <= 0xDFFF) {
			// Only a whole pair is a character; any other surrogate has no bytes.
			if (unit > 0xDBFF || i + 1 >= inLength || inUnits[i + 1] < 0xDC00 || inUnits[i + 1] > 0xDFFF)
				return false;
			const uint32 ch = 0x10000 + ((static_cast<uint32>(unit) - 0xD800) << 10) + (inUnits[i + 1] - 0xDC00);
			++i;
			*out++ = static_cast<uint8>(0xF0 | (ch >> 18));
			*out++ = static_cast<uint8>(0x80 | ((ch >> 12) & 0x3F));
			*out++ = static_cast<uint8>(0x80 | ((ch >> 6) & 0x3F));
			*out++ = static_cast<uint8>(0x80 | (ch & 0x3F));
		} else {
			*out++ = static_cast<uint8>(0xE0 | (unit >> 12));
			*out++ = static_cast<uint8>(0x80 | ((unit >> 6) & 0x3F));
			*out++ = static_cast<uint8>(0x80 | (unit & 0x3F));
		}
		++i;
	}
	// A run of escapes ended by an ASCII unit or by the end.
	if (escapes != nullptr && EscapesHoldCharacter(escapes, static_cast<size_t>(out - escapes)))
		return false;
	outLength = static_cast<size_t>(out - dest);
	return true;
}

bool XLinuxPathBytes::AppendBytes(const UniChar* inUnits, VIndex inLength, std::string& ioBytes)
{
	const size_t start = ioBytes.size();
	ioBytes.resize(start + MaxBytes(inLength));
	size_t length = 0;
	const bool ok = Encode(inUnits, inLength, ioBytes.data() + start, length);
	ioBytes.resize(ok ? start + length : start);
	return ok;
}

bool XLinuxPathBytes::ToBytes(const VString& inText, std::string& outBytes)
{
	outBytes.clear();
	return AppendBytes(inText.GetCPointer(), inText.GetLength(), outBytes);
}

} // namespace qirn
