#pragma once

#include "core/VValue.h"

namespace qirn {

// The small pieces of text handling that strings, values, converters and
// streams all need, kept once so that they cannot drift apart.

constexpr char kUpperHexDigits[] = "0123456789ABCDEF";

// The value of a hexadecimal digit of either case; -1 for any other unit.
constexpr int HexDigitValue(UniChar inUnit)
{
	if (inUnit >= u'0' && inUnit <= u'9')
		return inUnit - u'0';
	if (inUnit >= u'A' && inUnit <= u'F')
		return inUnit - u'A' + 10;
	if (inUnit >= u'a' && inUnit <= u'f')
		return inUnit - u'a' + 10;
	return -1;
}

constexpr bool IsHighSurrogate(UniChar inUnit)
{
	return inUnit >= 0xD800 && inUnit <= 0xDBFF;
}

constexpr bool IsLowSurrogate(UniChar inUnit)
{
	return inUnit >= 0xDC00 && inUnit <= 0xDFFF;
}

// A-Z to a-z; every other unit, accented letters included, stays.
constexpr UniChar FoldASCIICase(UniChar inUnit)
{
	return (inUnit >= u'A' && inUnit <= u'Z') ? static_cast<UniChar>(inUnit + (u'a' - u'A')) : inUnit;
}

// Whether the units spell the ASCII word, letters of either case.
constexpr bool EqualsASCIIIgnoringCase(const UniChar* inUnits, size_t inLength, const char* inWord)
{
	size_t i = 0;
	for (; i < inLength && inWord[i] != 0; ++i) {
		if (FoldASCIICase(inUnits[i]) != FoldASCIICase(static_cast<UniChar>(static_cast<unsigned char>(inWord[i]))))
			return false;
	}
	return i == inLength && inWord[i] == 0;
}

// Unit by unit, with A-Z folded when asked; a text that is a prefix of the
// other is smaller. The lengths decide, so a unit 0 inside a text is
// compared like any other.
CompareResult CompareUnits(const UniChar* inA, VIndex inLengthA, const UniChar* inB, VIndex inLengthB,
						   bool inFoldASCIICase);

// Writes the decimal digits of a number just before inEnd and answers where
// they begin; room for 21 characters is always enough.
char* FormatDecimal(uLONG8 inValue, char* inEnd);
char* FormatSignedDecimal(sLONG8 inValue, char* inEnd);

// Numbers in text are read and written in the C library's own form whatever
// the process locale says: a comma-decimal locale must not change what a
// file, a document or a log holds.
// strtod of the text.
Real ReadReal(const char* inText, char** outEnd);
// The real with 14 significant digits, as "%.14G" writes it; answers the
// length, as snprintf does.
int FormatReal(Real inValue, char* outBuffer, size_t inSize);

} // namespace qirn
