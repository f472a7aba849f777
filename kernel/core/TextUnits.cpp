#include "core/TextUnits.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <cstdlib>
#include <locale.h>

namespace qirn {

CompareResult CompareUnits(const UniChar* inA, VIndex inLengthA, const UniChar* inB, VIndex inLengthB,
						   bool inFoldASCIICase)
{
	const VIndex common = std::min(inLengthA, inLengthB);
	for (VIndex i = 0; i < common; ++i) {
		UniChar a = inFoldASCIICase ? FoldASCIICase(inA[i]) : inA[i];
		UniChar b = inFoldASCIICase ? FoldASCIICase(inB[i]) : inB[i];
		if (a != b)
			return a < b ? CR_SMALLER : CR_BIGGER;
	}
	if (inLengthA == inLengthB)
		return CR_EQUAL;
	return inLengthA < inLengthB ? CR_SMALLER : CR_BIGGER;
}

char* FormatDecimal(uLONG8 inValue, char* inEnd)
{
	char* p = inEnd;
	do {
		*--p = static_cast<char>('0' + inValue % 10);
		inValue /= 10;
	} while (inValue != 0);
	return p;
}

char* FormatSignedDecimal(sLONG8 inValue, char* inEnd)
{
	// The magnitude in unsigned arithmetic: the smallest number has no
	// positive counterpart.
	uLONG8 magnitude = inValue < 0 ? 0 - static_cast<uLONG8>(inValue) : static_cast<uLONG8>(inValue);
	char* p = FormatDecimal(magnitude, inEnd);
	if (inValue < 0)
		*--p = '-';
	return p;
}

namespace {

locale_t CNumericLocale()
{
	static const locale_t sLocale = newlocale(LC_NUMERIC_MASK, "C", static_cast<locale_t>(nullptr));
	return sLocale;
}

} // namespace

Real ReadReal(const char* inText, char** outEnd)
{
	return strtod_l(inText, outEnd, CNumericLocale());
}

int FormatReal(Real inValue, char* outBuffer, size_t inSize)
{
	// std::to_chars with a precision writes what printf writes in the C
	// locale, whatever the process locale, and without printf's cost: the
	// JSON and XML writers call this for every real they write.
	char text[64];
	const std::to_chars_result result =
		std::to_chars(text, text + sizeof(text), inValue, std::chars_format::general, 14);
	const size_t length = static_cast<size_t>(result.ptr - text);
	// %G: upper-case exponent, "INF" and "NAN".
	for (size_t i = 0; i < length; ++i) {
		if (text[i] >= 'a' && text[i] <= 'z')
			text[i] = static_cast<char>(text[i] - 'a' + 'A');
	}
	if (inSize > 0) {
		const size_t copied = std::min(length, inSize - 1);
		std::memcpy(outBuffer, text, copied);
		outBuffer[copied] = 0;
	}
	return static_cast<int>(length);
}

} // namespace qirn
