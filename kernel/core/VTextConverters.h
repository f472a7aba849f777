#pragma once

#include "core/CharSet.h"
#include "core/VObject.h"
#include "core/VTextConverter.h"

#include <vector>

namespace qirn {

class VString;

// The process's registry of text converters. The converters of the Unicode
// forms are made once and shared; the others are made on each request.
class VTextConverters : public VObject {
public:
	static VTextConverters* Get();

	// A converter with one reference for the caller; a character set that has
	// no converter gets one that converts nothing (IsValid answers false).
	VToUnicodeConverter* RetainToUnicodeConverter(CharSet inCharSet);
	VFromUnicodeConverter* RetainFromUnicodeConverter(CharSet inCharSet);

	// The C library's text is UTF-8. Not retained.
	VToUnicodeConverter* GetStdLibToUnicodeConverter() const { return fToUTF8; }
	VFromUnicodeConverter* GetStdLibFromUnicodeConverter() const { return fFromUTF8; }

	bool ConvertToVString(const void* inSource, VSize inSourceBytes, CharSet inCharSet, VString& outString);
	bool ConvertFromVString(const VString& inString, VIndex* outCharsConsumed, void* outBuffer, VSize inBufferSize,
							VSize* outBytesProduced, CharSet inCharSet);

	// The table of character-set names and IANA numbers.
	CharSet GetCharSetFromName(const VString& inName) const;
	sLONG GetMIBEnumFromName(const VString& inName) const;
	sLONG GetMIBEnumFromCharSet(CharSet inCharSet) const;
	CharSet GetCharSetFromMIBEnum(sLONG inMIBEnum) const;
	void GetNameFromCharSet(CharSet inCharSet, VString& outName) const;
	void GetNameFromMIBEnum(sLONG inMIBEnum, VString& outName) const;
	void EnumWebCharsets(std::vector<VString>& outNames, std::vector<CharSet>& outCharSets) const;
	void EnumCharsets(std::vector<VString>& outNames, std::vector<CharSet>& outCharSets) const;

	// Byte-order marks.
	static bool ParseBOM(const void* inBytes, VSize inLength, VSize* outBOMSize, CharSet* outCharSet);
	static const void* GetBOMForCharSet(CharSet inCharSet, VSize* outSize);

	// Whether the bytes are well-formed UTF-8.
	static bool DetectUTF8(const void* inBytes, sLONG inLength);
	// Guesses the set of text without a byte-order mark; ioCharSet is changed
	// only when the answer is true.
	static bool GuessCharsetWithNoBom(const void* inBytes, sLONG inLength, CharSet& ioCharSet, bool inTestUTF8);

	// Rewrites the line ends of inLength units in place; answers the new
	// length and stores the length the conversion needs, which may pass
	// inCapacity (nothing is then changed: grow and convert again). inCR and
	// inLF are the units of CR and LF in the buffer's byte order.
	template <class T>
	static VIndex _ConvertCarriageReturns(T* ioBuffer, VIndex inLength, VIndex inCapacity, ECarriageReturnMode inMode,
										  VIndex* outNeededLength, T inCR = 13, T inLF = 10);

	VTextConverters(const VTextConverters&) = delete;
	VTextConverters& operator=(const VTextConverters&) = delete;

private:
	VTextConverters();
	~VTextConverters() override;

	VToUnicodeConverter* _RetainCachedTo(CharSet inCharSet) const;
	VFromUnicodeConverter* _RetainCachedFrom(CharSet inCharSet) const;

	VToUnicodeConverter* fToDefault;
	VFromUnicodeConverter* fFromDefault;
	VToUnicodeConverter* fToNull;
	VFromUnicodeConverter* fFromNull;
	VToUnicodeConverter* fToSwap;
	VFromUnicodeConverter* fFromSwap;
	VToUnicodeConverter* fToUTF32Raw;
	VFromUnicodeConverter* fFromUTF32Raw;
	VToUnicodeConverter* fToUTF32;
	VFromUnicodeConverter* fFromUTF32;
	VToUnicodeConverter* fToUTF8;
	VFromUnicodeConverter* fFromUTF8;
};

template <class T>
VIndex VTextConverters::_ConvertCarriageReturns(T* ioBuffer, VIndex inLength, VIndex inCapacity,
												ECarriageReturnMode inMode, VIndex* outNeededLength, T inCR, T inLF)
{
	if (outNeededLength != nullptr)
		*outNeededLength = inLength;
	if (inLength <= 0)
		return inLength < 0 ? 0 : inLength;
	switch (inMode) {
		case eCRM_CRLF: {
			VIndex added = 0;
			for (VIndex i = 0; i < inLength; ++i) {
				if (ioBuffer[i] == inLF && (i == 0 || ioBuffer[i - 1] != inCR))
					++added;
				else if (ioBuffer[i] == inCR && (i + 1 >= inLength || ioBuffer[i + 1] != inLF))
					++added;
			}
			int64 needed = static_cast<int64>(inLength) + added;
			if (outNeededLength != nullptr)
				*outNeededLength = static_cast<VIndex>(needed > 0x7FFFFFFF ? 0x7FFFFFFF : needed);
			if (added == 0 || needed > inCapacity)
				return inLength;
			// Backwards, so that the text moves up without being overwritten.
			VIndex out = static_cast<VIndex>(needed);
			VIndex i = inLength;
			while (i > 0) {
				T unit = ioBuffer[--i];
				if (unit == inLF) {
					ioBuffer[--out] = inLF;
					ioBuffer[--out] = inCR;
					if (i > 0 && ioBuffer[i - 1] == inCR)
						--i;
				} else if (unit == inCR) {
					ioBuffer[--out] = inLF;
					ioBuffer[--out] = inCR;
				} else {
					ioBuffer[--out] = unit;
				}
			}
			return static_cast<VIndex>(needed);
		}
		case eCRM_CR:
		case eCRM_LF: {
			T target = inMode == eCRM_CR ? inCR : inLF;
			VIndex out = 0;
			for (VIndex i = 0; i < inLength; ++i) {
				T unit = ioBuffer[i];
				if (unit == inCR) {
					ioBuffer[out++] = target;
					if (i + 1 < inLength && ioBuffer[i + 1] == inLF)
						++i;
				} else if (unit == inLF) {
					ioBuffer[out++] = target;
				} else {
					ioBuffer[out++] = unit;
				}
			}
			return out;
		}
		default:
			return inLength;
	}
}

} // namespace qirn
