#pragma once

#include "core/VTextConverter.h"

namespace qirn {

// The character sets whose bytes are the first code points of Unicode: US-ASCII
// (up to 0x7F) and ISO-8859-1 (up to 0xFF). A byte beyond the set decodes as
// U+FFFD and a character beyond it encodes as '?': the conversion goes on, so
// nothing after it is lost, and answers false.
class VToUnicodeConverter_Latin1 : public VToUnicodeConverter {
public:
	explicit VToUnicodeConverter_Latin1(uint8 inLastByte) : fLastByte(inLastByte) {}

	bool Convert(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed, UniChar* inDestination,
				 VIndex inDestinationChars, VIndex* outProducedChars) override;
	VSize GetCharSize() const override { return 1; }

private:
	uint8 fLastByte;
};

class VFromUnicodeConverter_Latin1 : public VFromUnicodeConverter {
public:
	explicit VFromUnicodeConverter_Latin1(uint8 inLastByte) : fLastByte(inLastByte) {}

	// A surrogate pair is one character, written as one '?'; a high surrogate
	// that ends the source waits, unconsumed, for the rest of the text.
	bool Convert(const UniChar* inSource, VIndex inSourceChars, VIndex* outCharsConsumed, void* inBuffer,
				 VSize inBufferSize, VSize* outBytesProduced) override;
	VSize GetCharSize() const override { return 1; }

private:
	uint8 fLastByte;
};

} // namespace qirn
