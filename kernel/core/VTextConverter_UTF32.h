#pragma once

#include "core/VTextConverter.h"

namespace qirn {

// UTF-32 (UCS-4): code points, paired into surrogates when beyond the BMP.
class VToUnicodeConverter_UTF32 : public VToUnicodeConverter {
public:
	explicit VToUnicodeConverter_UTF32(bool inSwap) : fSwap(inSwap) {}
	bool Convert(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed, UniChar* inDestination,
				 VIndex inDestinationChars, VIndex* outProducedChars) override;

private:
	bool fSwap;
};

class VFromUnicodeConverter_UTF32 : public VFromUnicodeConverter {
public:
	explicit VFromUnicodeConverter_UTF32(bool inSwap) : fSwap(inSwap) {}
	bool Convert(const UniChar* inSource, VIndex inSourceChars, VIndex* outCharsConsumed, void* inBuffer,
				 VSize inBufferSize, VSize* outBytesProduced) override;
	VSize GetCharSize() const override { return 4; }

private:
	bool fSwap;
};

// 32-bit cells that each hold one UTF-16 unit, with no surrogate pairing.
class VToUnicodeConverter_UTF32_Raw : public VToUnicodeConverter {
public:
	explicit VToUnicodeConverter_UTF32_Raw(bool inSwap) : fSwap(inSwap) {}
	bool ConvertString(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
					   VString& ioString) override;
	bool Convert(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed, UniChar* inDestination,
				 VIndex inDestinationChars, VIndex* outProducedChars) override;

private:
	bool fSwap;
};

class VFromUnicodeConverter_UTF32_Raw : public VFromUnicodeConverter {
public:
	explicit VFromUnicodeConverter_UTF32_Raw(bool inSwap) : fSwap(inSwap) {}
	bool Convert(const UniChar* inSource, VIndex inSourceChars, VIndex* outCharsConsumed, void* inBuffer,
				 VSize inBufferSize, VSize* outBytesProduced) override;
	VSize GetCharSize() const override { return 4; }

private:
	bool fSwap;
};

} // namespace qirn
