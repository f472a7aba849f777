#include "core/VPrintfFormatter.h"

#include "core/TextUnits.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <sys/types.h>

namespace qirn {

namespace {

// Collects output on the stack and hands it to the sink in whole pieces, so
// that a multi-byte character is never split between two hand-overs: when
// the buffer fills, an unfinished UTF-8 sequence at its end waits for the
// next piece.
class OutputBuffer {
public:
	explicit OutputBuffer(IPrintfSink& inSink) : fSink(inSink) {}
	~OutputBuffer() { Flush(); }

	void Append(const char* inText, size_t inLength)
	{
		if (inLength <= sizeof(fBuffer) - fUsed) {
			std::memcpy(fBuffer + fUsed, inText, inLength);
			fUsed += inLength;
			return;
		}
		while (inLength > 0) {
			if (fUsed == sizeof(fBuffer))
				_FlushWholeCharacters();
			size_t count = std::min(inLength, sizeof(fBuffer) - fUsed);
			std::memcpy(fBuffer + fUsed, inText, count);
			fUsed += count;
			inText += count;
			inLength -= count;
		}
	}
	void Append(char inChar)
	{
		if (fUsed == sizeof(fBuffer))
			_FlushWholeCharacters();
		fBuffer[fUsed++] = inChar;
	}
	void Flush()
	{
		if (fUsed > 0)
			fSink.PutText(fBuffer, fUsed);
		fUsed = 0;
	}
	void PutObject(char inConversion, const void* inObject)
	{
		Flush();
		fSink.PutObject(inConversion, inObject);
	}

private:
	// Hands over the buffer up to the start of a UTF-8 sequence that is not
	// complete yet, and keeps that start for the next piece.
	void _FlushWholeCharacters()
	{
		size_t cut = fUsed;
		for (size_t back = 1; back <= 3 && back <= fUsed; ++back) {
			unsigned char byte = static_cast<unsigned char>(fBuffer[fUsed - back]);
			if ((byte & 0xC0) == 0x80)
				continue; // a continuation byte: look further back
			size_t needed = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
			if (needed > back)
				cut = fUsed - back;
			break;
		}
		if (cut > 0)
			fSink.PutText(fBuffer, cut);
		std::memmove(fBuffer, fBuffer + cut, fUsed - cut);
		fUsed -= cut;
	}

	IPrintfSink& fSink;
	size_t fUsed = 0;
	char fBuffer[1024];
};

enum class Length { kNone, kChar, kShort, kLong, kLongLong, kIntMax, kSize, kPtrDiff, kLongDouble };

// One ordinary conversion, as parsed.
struct Conversion {
	const char* fStart;	 // the '%'
	size_t fSpecLength;	 // up to and including the conversion letter
	bool fHasFlags = false;
	int fStars = 0;
	bool fHasWidth = false;
	bool fHasPrecision = false;
	bool fPositional = false;
	Length fLength = Length::kNone;
	char fLetter = 0;
};

// Parses the conversion at inPercent (which is not %%). Answers false when no
// conversion letter ends it; the rest of the format is then text.
bool ParseConversion(const char* inPercent, Conversion& outConversion)
{
	const char* p = inPercent + 1;
	outConversion.fStart = inPercent;
	// An argument position ("%2$d") cannot be honoured while the arguments
	// are read in order; such a conversion is written out as it stands.
	const char* digits = p;
	while (*p >= '0' && *p <= '9')
		++p;
	if (p != digits && *p == '$')
		outConversion.fPositional = true;
	p = digits;
	while (*p == '-' || *p == '+' || *p == ' ' || *p == '#' || *p == '0' || *p == '\'' || *p == 'I') {
		outConversion.fHasFlags = true;
		++p;
	}
	if (*p == '*') {
		++outConversion.fStars;
		outConversion.fHasWidth = true;
		++p;
	} else {
		while ((*p >= '0' && *p <= '9') || *p == '$') {
			outConversion.fHasWidth = true;
			++p;
		}
	}
	if (*p == '.') {
		outConversion.fHasPrecision = true;
		++p;
		if (*p == '*') {
			++outConversion.fStars;
			++p;
		} else {
			while ((*p >= '0' && *p <= '9') || *p == '$')
				++p;
		}
	}
	switch (*p) {
		case 'h':
			++p;
			if (*p == 'h') {
				++p;
				outConversion.fLength = Length::kChar;
			} else {
				outConversion.fLength = Length::kShort;
			}
			break;
		case 'l':
			++p;
			if (*p == 'l') {
				++p;
				outConversion.fLength = Length::kLongLong;
			} else {
				outConversion.fLength = Length::kLong;
			}
			break;
		case 'q':
			++p;
			outConversion.fLength = Length::kLongLong;
			break;
		case 'L':
			++p;
			outConversion.fLength = Length::kLongDouble;
			break;
		case 'j':
			++p;
			outConversion.fLength = Length::kIntMax;
			break;
		case 'z':
		case 'Z':
			++p;
			outConversion.fLength = Length::kSize;
			break;
		case 't':
			++p;
			outConversion.fLength = Length::kPtrDiff;
			break;
		default:
			break;
	}
	if (*p == 0)
		return false;
	outConversion.fLetter = *p;
	outConversion.fSpecLength = static_cast<size_t>(p + 1 - inPercent);
	return true;
}

// Formats one value with its conversion text through the C library, sized
// from what the library reports.
template <typename T>
void EmitFormatted(OutputBuffer& ioOutput, const char* inSpec, int inStars, const int (&inStarValues)[2], T inValue)
{
	char stack[256];
	auto print = [&](char* outBuffer, size_t inSize) -> int {
		switch (inStars) {
			case 0:
				return std::snprintf(outBuffer, inSize, inSpec, inValue);
			case 1:
				return std::snprintf(outBuffer, inSize, inSpec, inStarValues[0], inValue);
			default:
				return std::snprintf(outBuffer, inSize, inSpec, inStarValues[0], inStarValues[1], inValue);
		}
	};
	int length = print(stack, sizeof(stack));
	if (length < 0)
		return;	 // a wide character with no multi-byte form: written as nothing
	if (static_cast<size_t>(length) < sizeof(stack)) {
		ioOutput.Append(stack, static_cast<size_t>(length));
		return;
	}
	char* heap = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
	if (heap == nullptr)
		return;
	int again = print(heap, static_cast<size_t>(length) + 1);
	if (again >= 0)
		ioOutput.Append(heap, static_cast<size_t>(again) <= static_cast<size_t>(length) ? again : length);
	std::free(heap);
}

void EmitUnsigned(OutputBuffer& ioOutput, uLONG8 inValue)
{
	char digits[24];
	char* end = digits + sizeof(digits);
	char* p = FormatDecimal(inValue, end);
	ioOutput.Append(p, static_cast<size_t>(end - p));
}

void EmitSigned(OutputBuffer& ioOutput, sLONG8 inValue)
{
	char digits[24];
	char* end = digits + sizeof(digits);
	char* p = FormatSignedDecimal(inValue, end);
	ioOutput.Append(p, static_cast<size_t>(end - p));
}

// Reads the argument of one ordinary conversion by its type and writes it.
void EmitConversion(OutputBuffer& ioOutput, const Conversion& inConversion, va_list& ioArgs)
{
	int starValues[2] = {0, 0};
	for (int i = 0; i < inConversion.fStars; ++i)
		starValues[i] = va_arg(ioArgs, int);

	// The conversion text alone, for the C library.
	char specStack[64];
	char* spec = specStack;
	if (inConversion.fSpecLength >= sizeof(specStack)) {
		spec = static_cast<char*>(std::malloc(inConversion.fSpecLength + 1));
		if (spec == nullptr)
			return;
	}
	std::memcpy(spec, inConversion.fStart, inConversion.fSpecLength);
	spec[inConversion.fSpecLength] = 0;

	const bool plain = !inConversion.fHasFlags && !inConversion.fHasWidth && !inConversion.fHasPrecision;
	const int stars = inConversion.fStars;
	// Before an integer conversion the C library takes 'L' as "ll".
	const bool isInteger = inConversion.fLetter != 0 && std::strchr("diouxX", inConversion.fLetter) != nullptr;
	const Length length =
		isInteger && inConversion.fLength == Length::kLongDouble ? Length::kLongLong : inConversion.fLength;

	switch (inConversion.fLetter) {
		case 'd':
		case 'i': {
			long long value;
			switch (length) {
				case Length::kLong:
					value = va_arg(ioArgs, long);
					break;
				case Length::kLongLong:
					value = va_arg(ioArgs, long long);
					break;
				case Length::kIntMax:
					value = va_arg(ioArgs, intmax_t);
					break;
				case Length::kSize:
					value = va_arg(ioArgs, ssize_t);
					break;
				case Length::kPtrDiff:
					value = va_arg(ioArgs, ptrdiff_t);
					break;
				case Length::kChar:
					value = static_cast<signed char>(va_arg(ioArgs, int));
					break;
				case Length::kShort:
					value = static_cast<short>(va_arg(ioArgs, int));
					break;
				default:
					value = va_arg(ioArgs, int);
					break;
			}
			if (plain)
				EmitSigned(ioOutput, value);
			else if (length == Length::kNone || length == Length::kChar || length == Length::kShort)
				EmitFormatted(ioOutput, spec, stars, starValues, static_cast<int>(value));
			else
				EmitFormatted(ioOutput, spec, stars, starValues, value);	// every 64-bit length takes a long long slot
			break;
		}
		case 'o':
		case 'u':
		case 'x':
		case 'X': {
			unsigned long long value;
			switch (length) {
				case Length::kLong:
					value = va_arg(ioArgs, unsigned long);
					break;
				case Length::kLongLong:
					value = va_arg(ioArgs, unsigned long long);
					break;
				case Length::kIntMax:
					value = va_arg(ioArgs, uintmax_t);
					break;
				case Length::kSize:
					value = va_arg(ioArgs, size_t);
					break;
				case Length::kPtrDiff:
					value = static_cast<unsigned long long>(va_arg(ioArgs, ptrdiff_t));
					break;
				case Length::kChar:
					value = static_cast<unsigned char>(va_arg(ioArgs, unsigned int));
					break;
				case Length::kShort:
					value = static_cast<unsigned short>(va_arg(ioArgs, unsigned int));
					break;
				default:
					value = va_arg(ioArgs, unsigned int);
					break;
			}
			if (plain && inConversion.fLetter == 'u')
				EmitUnsigned(ioOutput, value);
			else if (length == Length::kNone || length == Length::kChar || length == Length::kShort)
				EmitFormatted(ioOutput, spec, stars, starValues, static_cast<unsigned int>(value));
			else
				EmitFormatted(ioOutput, spec, stars, starValues, value);
			break;
		}
		case 'e':
		case 'E':
		case 'f':
		case 'F':
		case 'g':
		case 'G':
		case 'a':
		case 'A':
			if (length == Length::kLongDouble)
				EmitFormatted(ioOutput, spec, stars, starValues, va_arg(ioArgs, long double));
			else
				EmitFormatted(ioOutput, spec, stars, starValues, va_arg(ioArgs, double));
			break;
		case 'c':
			if (length == Length::kLong)
				EmitFormatted(ioOutput, spec, stars, starValues, va_arg(ioArgs, wint_t));
			else
				EmitFormatted(ioOutput, spec, stars, starValues, va_arg(ioArgs, int));
			break;
		case 'C':
			EmitFormatted(ioOutput, spec, stars, starValues, va_arg(ioArgs, wint_t));
			break;
		case 's':
			if (length == Length::kLong) {
				EmitFormatted(ioOutput, spec, stars, starValues, va_arg(ioArgs, const wchar_t*));
			} else {
				const char* text = va_arg(ioArgs, const char*);
				if (plain && text != nullptr)
					ioOutput.Append(text, std::strlen(text));
				else
					EmitFormatted(ioOutput, spec, stars, starValues, text);
			}
			break;
		case 'S':
			// With flags or a width this is the C library's wide string.
			EmitFormatted(ioOutput, spec, stars, starValues, va_arg(ioArgs, const wchar_t*));
			break;
		case 'p':
			EmitFormatted(ioOutput, spec, stars, starValues, va_arg(ioArgs, const void*));
			break;
		case 'n':
			// The count of a piece would be wrong, and writing through a
			// caller's pointer is nothing a message needs: the argument is
			// taken and nothing is stored.
			(void)va_arg(ioArgs, void*);
			break;
		case 'm':
			EmitFormatted(ioOutput, spec, stars, starValues, 0);
			break;
		case '%':
			// "%5%" and the like: the C library writes one percent sign.
			ioOutput.Append('%');
			break;
		default:
			// Not a conversion: written as it stands, taking no argument.
			ioOutput.Append(inConversion.fStart, inConversion.fSpecLength);
			break;
	}
	if (spec != specStack)
		std::free(spec);
}

bool IsObjectConversion(char inLetter)
{
	return inLetter == 'S' || inLetter == 'A' || inLetter == 'V';
}

// Whether the format holds a kernel conversion (%S, %A, %V). Conversions are
// skipped whole, as the formatter reads them: a '%' inside one ("%5%") must
// not pair with the '%' of a kernel code that follows, or that code would go
// to the C library as a wide string.
bool HasObjectConversion(const char* inFormat)
{
	for (const char* p = std::strchr(inFormat, '%'); p != nullptr; p = std::strchr(p, '%')) {
		if (p[1] == '%') {
			p += 2;
			continue;
		}
		if (IsObjectConversion(p[1]))
			return true;
		Conversion conversion;
		if (!ParseConversion(p, conversion))
			return false;
		p += conversion.fSpecLength;
	}
	return false;
}

// A format without kernel conversions goes to the C library whole.
void FormatWithCLibrary(const char* inFormat, va_list inArgs, IPrintfSink& ioSink)
{
	char stack[1024];
	va_list args;
	va_copy(args, inArgs);
	int length = std::vsnprintf(stack, sizeof(stack), inFormat, args);
	va_end(args);
	if (length <= 0)
		return;
	if (static_cast<size_t>(length) < sizeof(stack)) {
		ioSink.PutText(stack, static_cast<size_t>(length));
		return;
	}
	char* heap = static_cast<char*>(std::malloc(static_cast<size_t>(length) + 1));
	if (heap == nullptr)
		return;
	va_copy(args, inArgs);
	int again = std::vsnprintf(heap, static_cast<size_t>(length) + 1, inFormat, args);
	va_end(args);
	if (again > 0)
		ioSink.PutText(heap, static_cast<size_t>(again) <= static_cast<size_t>(length) ? again : length);
	std::free(heap);
}

} // namespace

void VPrintfFormatter::Format(const char* inFormat, va_list inArgs, IPrintfSink& ioSink)
{
	if (inFormat == nullptr)
		return;
	if (!HasObjectConversion(inFormat)) {
		FormatWithCLibrary(inFormat, inArgs, ioSink);
		return;
	}

	OutputBuffer output(ioSink);
	va_list args;
	va_copy(args, inArgs);
	const char* p = inFormat;
	while (*p != 0) {
		const char* percent = std::strchr(p, '%');
		if (percent == nullptr) {
			output.Append(p, std::strlen(p));
			break;
		}
		if (percent > p)
			output.Append(p, static_cast<size_t>(percent - p));
		char next = percent[1];
		if (next == '%') {
			output.Append('%');
			p = percent + 2;
			continue;
		}
		if (IsObjectConversion(next)) {
			output.PutObject(next, va_arg(args, const void*));
			p = percent + 2;
			continue;
		}
		Conversion conversion;
		if (!ParseConversion(percent, conversion)) {
			output.Append(percent, std::strlen(percent));
			break;
		}
		if (conversion.fPositional)
			output.Append(percent, conversion.fSpecLength);
		else
			EmitConversion(output, conversion, args);
		p = percent + conversion.fSpecLength;
	}
	va_end(args);
}

} // namespace qirn
