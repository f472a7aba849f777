#pragma once

#include "core/VKernelTypes.h"

#include <string>

namespace qirn {

class VString;

// Linux file names are bytes, most of them UTF-8 but not all. The kernel's
// UTF-16 text carries every byte string there and back: valid UTF-8 becomes
// its characters, and each byte that is not part of a valid sequence becomes
// the lone surrogate U+DC80 + (byte - 0x80), which turns back into that byte.
// So no name is skipped, and no two names meet in one text.
class XLinuxPathBytes {
public:
	// Appends the text of the bytes; never fails.
	static void AppendText(const char* inBytes, size_t inLength, VString& ioText);
	static void ToText(const char* inBytes, size_t inLength, VString& outText);

	// Appends the bytes of the text. False, with ioBytes as it was, when the
	// text holds a unit that no byte string reads back as: a lone surrogate
	// outside U+DC80-U+DCFF, or escaped bytes that would read back as a
	// character (the text of "\xC3\xA9" is "é", never two escapes).
	static bool AppendBytes(const UniChar* inUnits, VIndex inLength, std::string& ioBytes);
	static bool ToBytes(const VString& inText, std::string& outBytes);
	// The same into a caller's buffer of MaxBytes(inLength) bytes at least;
	// outLength receives the bytes written (no NUL is added).
	static bool Encode(const UniChar* inUnits, VIndex inLength, char* outBytes, size_t& outLength);
	// Three bytes a unit at most (a pair takes four for two units).
	static constexpr size_t MaxBytes(VIndex inLength) { return inLength > 0 ? 3 * static_cast<size_t>(inLength) : 0; }

	// The escape of a byte that is not valid UTF-8 where it stands.
	static constexpr UniChar EscapeOf(uint8 inByte) { return static_cast<UniChar>(0xDC00 + inByte); }
	static constexpr bool IsEscape(UniChar inUnit) { return inUnit >= 0xDC80 && inUnit <= 0xDCFF; }
};

} // namespace qirn
