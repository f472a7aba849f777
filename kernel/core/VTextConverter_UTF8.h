#pragma once

#include "core/VTextConverter.h"

namespace qirn {

// UTF-8, decoded leniently: stray bytes become characters and values beyond
// U+10FFFF become '?', so that text from anywhere can be read.
class VToUnicodeConverter_UTF8 : public VToUnicodeConverter {
public:
	bool Convert(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed, UniChar* inDestination,
				 VIndex inDestinationChars, VIndex* outProducedChars) override;
	VSize GetCharSize() const override { return 1; }
};

class VFromUnicodeConverter_UTF8 : public VFromUnicodeConverter {
public:
	// With a null buffer nothing is written and the bytes needed are counted.
	bool Convert(const UniChar* inSource, VIndex inSourceChars, VIndex* outCharsConsumed, void* inBuffer,
				 VSize inBufferSize, VSize* outBytesProduced) override;
	// A unit needs at most three bytes (a pair takes four for two units).
	VSize GetCharSize() const override { return 3; }

	// The same from 32-bit wide characters.
	bool ConvertFrom_wchar(const wchar_t* inSource, VIndex inSourceChars, VIndex* outCharsConsumed,
						   void* inBuffer, VSize inBufferSize, VSize* outBytesProduced);
};

} // namespace qirn
