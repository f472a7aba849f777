#include "core/VTextConverter_UTF8.h"

#include <algorithm>
#include <cstring>

namespace qirn {

namespace {

// The code point at inPos: a surrogate pair combined. A high surrogate
// without its low half is written alone, like a lone low surrogate, and the
// next unit keeps its own meaning. False when the run ends on a high
// surrogate: its low half may come with the next run.
template <class Unit>
bool ReadCodePoint(const Unit* inSource, VIndex inCount, VIndex inPos, uint32& outChar, VIndex& outUnits)
{
	outChar = static_cast<uint32>(inSource[inPos]);
	outUnits = 1;
	if (outChar >= 0xD800 && outChar <= 0xDBFF) {
		if (inPos + 1 >= inCount)
			return false;
		uint32 next = static_cast<uint32>(inSource[inPos + 1]);
		if (next >= 0xDC00 && next <= 0xDFFF) {
			outChar = (outChar << 10) + next - 0x35FDC00;
			outUnits = 2;
		}
	}
	return true;
}


constexpr uint8 TrailingBytes(unsigned inByte)
{
	return inByte < 0xC0 ? 0 : inByte < 0xE0 ? 1 : inByte < 0xF0 ? 2 : inByte < 0xF8 ? 3 : inByte < 0xFC ? 4 : 5;
}

struct TrailingTable {
	uint8 fCounts[256];
	constexpr TrailingTable() : fCounts()
	{
		for (unsigned i = 0; i < 256; ++i)
			fCounts[i] = TrailingBytes(i);
	}
};

constexpr TrailingTable kTrailing;

// What the accumulated lead and trailing bytes carry beyond the code point,
// by the number of trailing bytes.
constexpr uint32 kOffsets[6] = {0x00000000u, 0x00003080u, 0x000E2080u, 0x03C82080u, 0xFA082080u, 0x82082080u};

constexpr uint64 kHighBits = 0x8080808080808080ull;

} // namespace

bool VToUnicodeConverter_UTF8::Convert(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
									   UniChar* inDestination, VIndex inDestinationChars, VIndex* outProducedChars)
{
	const uint8* source = static_cast<const uint8*>(inSource);
	const uint8* sourceEnd = source + inSourceBytes;
	UniChar* dest = inDestination;
	UniChar* destEnd = inDestination + (inDestinationChars > 0 ? inDestinationChars : 0);
	bool ok = true;
	while (source < sourceEnd && dest < destEnd) {
		// Runs of ASCII, sixteen bytes at a time (loops the compiler turns
		// into vector code), then eight.
		while (sourceEnd - source >= 16 && destEnd - dest >= 16) {
			uint8 bytes[16];
			std::memcpy(bytes, source, sizeof(bytes));
			uint8 any = 0;
			for (uint8 byte : bytes)
				any |= byte;
			if ((any & 0x80) != 0)
				break;
			for (int i = 0; i < 16; ++i)
				dest[i] = bytes[i];
			source += 16;
			dest += 16;
		}
		while (sourceEnd - source >= 8 && destEnd - dest >= 8) {
			uint64 word;
			std::memcpy(&word, source, 8);
			if ((word & kHighBits) != 0)
				break;
			for (int i = 0; i < 8; ++i)
				dest[i] = source[i];
			source += 8;
			dest += 8;
		}
		if (source >= sourceEnd || dest >= destEnd)
			break;
		uint32 byte = *source;
		if (byte < 0x80) {
			*dest++ = static_cast<UniChar>(byte);
			++source;
			continue;
		}
		unsigned extra = kTrailing.fCounts[byte];
		// A sequence goes on only over continuation bytes: a byte that is
		// none (a quote or a '<' after a stray lead byte) keeps its own
		// meaning instead of vanishing into a character, and the bytes read
		// so far become one "?".
		const unsigned available = std::min(extra, static_cast<unsigned>(sourceEnd - source - 1));
		unsigned continuing = 0;
		while (continuing < available && (source[1 + continuing] & 0xC0) == 0x80)
			++continuing;
		if (continuing < available) {
			*dest++ = u'?';
			source += 1 + continuing;
			ok = false;
			continue;
		}
		if (extra > available)
			break; // a sequence cut by the end of the block waits for more bytes
		const uint8* start = source;
		uint32 ch = 0;
		switch (extra) {
			case 5: ch += *source++; ch <<= 6; [[fallthrough]];
			case 4: ch += *source++; ch <<= 6; [[fallthrough]];
			case 3: ch += *source++; ch <<= 6; [[fallthrough]];
			case 2: ch += *source++; ch <<= 6; [[fallthrough]];
			case 1: ch += *source++; ch <<= 6; [[fallthrough]];
			case 0: ch += *source++;
		}
		ch -= kOffsets[extra];
		if (ch < 0x10000) {
			*dest++ = static_cast<UniChar>(ch);
		} else if (ch <= 0x10FFFF) {
			if (destEnd - dest < 2) {
				source = start;
				break;
			}
			ch -= 0x10000;
			*dest++ = static_cast<UniChar>(0xD800 + (ch >> 10));
			*dest++ = static_cast<UniChar>(0xDC00 + (ch & 0x3FF));
		} else {
			*dest++ = u'?';
			ok = false;
		}
	}
	*outBytesConsumed = static_cast<VSize>(source - static_cast<const uint8*>(inSource));
	*outProducedChars = static_cast<VIndex>(dest - inDestination);
	return ok;
}

namespace {

// Writes one code point (or counts it when outDest is null); false when the
// room is too small.
inline bool PutUTF8(uint32 inChar, uint8*& ioDest, VSize& ioRoom, VSize& ioProduced, bool inCountOnly)
{
	unsigned length = inChar < 0x80 ? 1 : inChar < 0x800 ? 2 : inChar < 0x10000 ? 3 : inChar < 0x200000 ? 4
					: inChar < 0x4000000 ? 5 : 6;
	if (inCountOnly) {
		ioProduced += length;
		return true;
	}
	if (ioRoom < length)
		return false;
	static constexpr uint8 kFirstMarks[7] = {0x00, 0x00, 0xC0, 0xE0, 0xF0, 0xF8, 0xFC};
	for (unsigned i = length - 1; i > 0; --i) {
		ioDest[i] = static_cast<uint8>(0x80 | (inChar & 0x3F));
		inChar >>= 6;
	}
	ioDest[0] = static_cast<uint8>(inChar | kFirstMarks[length]);
	ioDest += length;
	ioRoom -= length;
	ioProduced += length;
	return true;
}

} // namespace

bool VFromUnicodeConverter_UTF8::Convert(const UniChar* inSource, VIndex inSourceChars, VIndex* outCharsConsumed,
										 void* inBuffer, VSize inBufferSize, VSize* outBytesProduced)
{
	bool countOnly = inBuffer == nullptr;
	uint8* dest = static_cast<uint8*>(inBuffer);
	VSize room = inBufferSize;
	VSize produced = 0;
	VIndex pos = 0;
	while (pos < inSourceChars) {
		if (!countOnly) {
			// Runs of ASCII, sixteen units at a time (loops the compiler
			// turns into vector code), then four.
			while (inSourceChars - pos >= 16 && room >= 16) {
				UniChar units[16];
				std::memcpy(units, inSource + pos, sizeof(units));
				UniChar any = 0;
				for (UniChar unit : units)
					any |= unit;
				if ((any & 0xFF80) != 0)
					break;
				for (int i = 0; i < 16; ++i)
					dest[i] = static_cast<uint8>(units[i]);
				dest += 16;
				room -= 16;
				produced += 16;
				pos += 16;
			}
			while (inSourceChars - pos >= 4 && room >= 4) {
				uint64 word;
				std::memcpy(&word, inSource + pos, 8);
				if ((word & 0xFF80FF80FF80FF80ull) != 0)
					break;
				dest[0] = static_cast<uint8>(inSource[pos]);
				dest[1] = static_cast<uint8>(inSource[pos + 1]);
				dest[2] = static_cast<uint8>(inSource[pos + 2]);
				dest[3] = static_cast<uint8>(inSource[pos + 3]);
				dest += 4;
				room -= 4;
				produced += 4;
				pos += 4;
			}
			if (pos >= inSourceChars)
				break;
		}
		uint32 ch = 0;
		VIndex units = 0;
		if (!ReadCodePoint(inSource, inSourceChars, pos, ch, units))
			break;
		if (!PutUTF8(ch, dest, room, produced, countOnly))
			break;
		pos += units;
	}
	*outCharsConsumed = pos;
	*outBytesProduced = produced;
	return true;
}

bool VFromUnicodeConverter_UTF8::ConvertFrom_wchar(const wchar_t* inSource, VIndex inSourceChars,
												   VIndex* outCharsConsumed, void* inBuffer, VSize inBufferSize,
												   VSize* outBytesProduced)
{
	bool countOnly = inBuffer == nullptr;
	uint8* dest = static_cast<uint8*>(inBuffer);
	VSize room = inBufferSize;
	VSize produced = 0;
	VIndex pos = 0;
	bool ok = true;
	while (pos < inSourceChars) {
		if ((static_cast<uint32>(inSource[pos]) & 0x80000000u) != 0) {
			ok = false;
			break;
		}
		uint32 ch = 0;
		VIndex units = 0;
		if (!ReadCodePoint(inSource, inSourceChars, pos, ch, units))
			break;
		if (!PutUTF8(ch, dest, room, produced, countOnly))
			break;
		pos += units;
	}
	*outCharsConsumed = pos;
	*outBytesProduced = produced;
	return ok;
}

} // namespace qirn
