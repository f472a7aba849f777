#include "core/VString.h"

#include "core/Base64Coder.h"
#include "core/VArrayString.h"
#include "core/StStringConverter.h"
#include "core/TextUnits.h"
#include "core/VByteSwap.h"
#include "core/VIntlMgr.h"
#include "core/VMemory.h"
#include "core/VTextConverters.h"
#include "runtime/VError.h"
#include "runtime/VTask.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>

namespace qirn {

namespace {

// The converter of a character set, or null, with the conversion error
// raised, for a set that has none.
template <class Converter>
Converter* OrNoConverter(Converter* inConverter)
{
	if (inConverter->IsValid())
		return inConverter;
	inConverter->Release();
	_ThrowError(VE_TEXT_CONVERSION_FAILED);
	return nullptr;
}

} // namespace

// ---------------------------------------------------------------------------
// Numbers from text

sLONG8 VString::GetLong8() const
{
	uLONG8 value = 0;
	bool negative = false;
	// The separator of the current language ends the integer's digits.
	const VString& separator = VTask::GetCurrentIntlManager()->GetDecimalSeparator();
	const UniChar decimalSeparator = separator.GetLength() == 1 ? separator.GetCPointer()[0] : u'.';
	for (VIndex i = 0; i < fLength; ++i) {
		UniChar c = fString[i];
		if (c >= u'0' && c <= u'9') {
			// Unsigned arithmetic: the value wraps instead of overflowing.
			value = value * 10 + static_cast<uLONG8>(c - u'0');
		} else if (c == u'-') {
			if (value == 0)
				negative = true;
		} else if (c == decimalSeparator) {
			break;
		}
	}
	return static_cast<sLONG8>(negative ? 0 - value : value);
}

sLONG VString::GetLong() const
{
	sLONG8 value = GetLong8();
	return (value >= std::numeric_limits<sLONG>::min() && value <= std::numeric_limits<sLONG>::max())
			   ? static_cast<sLONG>(value)
			   : 0;
}

sWORD VString::GetWord() const
{
	sLONG8 value = GetLong8();
	return (value >= std::numeric_limits<sWORD>::min() && value <= std::numeric_limits<sWORD>::max())
			   ? static_cast<sWORD>(value)
			   : 0;
}

Real VString::GetRealCheckOverflow(bool* outOverflow) const
{
	if (outOverflow != nullptr)
		*outOverflow = false;
	StStringConverter<char> utf8(*this, VTC_UTF_8);
	const char* text = utf8.GetCPointer();
	errno = 0;
	Real value = ReadReal(text, nullptr);
	if (outOverflow != nullptr)
		*outOverflow = errno == ERANGE && (value == 0.0 || std::isinf(value));
	return value;
}

sLONG VString::GetHexLong() const
{
	uLONG value = 0;
	for (VIndex i = 0; i < fLength; ++i) {
		UniChar c = fString[i];
		int digit = HexDigitValue(c);
		if (digit >= 0)
			value = (value << 4) | static_cast<uLONG>(digit);
	}
	return static_cast<sLONG>(value);
}

uint8 VString::GetBoolean() const
{
	static const VString sTrue("true");
	return EqualToString(sTrue, false) ? 1 : 0;
}

OsType VString::GetOsType() const
{
	char bytes[16];
	VIndex consumed = 0;
	VSize produced = 0;
	VTextConverters::Get()->GetStdLibFromUnicodeConverter()->Convert(fString, fLength, &consumed, bytes,
																	  sizeof(bytes), &produced);
	if (consumed < fLength || produced > 4)
		return 0;
	OsType type = 0;
	for (VSize i = 0; i < 4; ++i)
		type = (type << 8) | (i < produced ? static_cast<uint8>(bytes[i]) : static_cast<uint8>(' '));
	return type;
}

// ---------------------------------------------------------------------------
// Text from numbers

void VString::FromBoolean(uint8 inValue)
{
	FromCString(inValue != 0 ? "true" : "false");
}

void VString::FromByte(sBYTE inValue)
{
	FromLong8(inValue);
}

void VString::FromWord(sWORD inValue)
{
	FromLong8(inValue);
}

void VString::FromLong(sLONG inValue)
{
	FromLong8(inValue);
}

void VString::FromLong8(sLONG8 inValue)
{
	char buffer[24];
	char* end = buffer + sizeof(buffer) - 1;
	*end = 0;
	FromCString(FormatSignedDecimal(inValue, end));
}

void VString::FromULong8(uLONG8 inValue)
{
	char buffer[24];
	char* end = buffer + sizeof(buffer) - 1;
	*end = 0;
	FromCString(FormatDecimal(inValue, end));
}

void VString::AppendLong(sLONG inValue)
{
	AppendLong8(inValue);
}

void VString::AppendLong8(sLONG8 inValue)
{
	char buffer[24];
	char* end = buffer + sizeof(buffer) - 1;
	*end = 0;
	char* digits = FormatSignedDecimal(inValue, end);
	_AppendASCII(digits, static_cast<size_t>(end - digits));
}

void VString::AppendULong8(uLONG8 inValue)
{
	char buffer[24];
	char* end = buffer + sizeof(buffer) - 1;
	*end = 0;
	char* digits = FormatDecimal(inValue, end);
	_AppendASCII(digits, static_cast<size_t>(end - digits));
}

void VString::AppendReal(Real inValue)
{
	char buffer[64];
	FormatReal(inValue, buffer, sizeof(buffer));
	AppendCString(buffer);
}

void VString::FromReal(Real inValue)
{
	Truncate(0);
	AppendReal(inValue);
	_Touch();
}

void VString::_StringFromHexLong(uLONG8 inValue, int inBits, bool inPrefix)
{
	char digits[20];
	int count = 0;
	uLONG8 value = inValue;
	do {
		digits[count++] = kUpperHexDigits[value & 15];
		value >>= 4;
	} while (value != 0);
	int width = count;
	if (inPrefix) {
		if (inBits == 8)
			width = 2;
		else if (count <= 4)
			width = 4;
		else if (count <= 8)
			width = 8;
		else
			width = (count + 7) / 8 * 8;
	}
	char text[24];
	int pos = 0;
	if (inPrefix) {
		text[pos++] = '0';
		text[pos++] = 'x';
	}
	for (int i = width; i > count; --i)
		text[pos++] = '0';
	for (int i = count; i > 0; --i)
		text[pos++] = digits[i - 1];
	text[pos] = 0;
	if (!(_IsWritable() && pos <= fMaxLength) && !_ReallocBuffer(pos, false)) {
		Clear();
		return;
	}
	fLength = 0;
	_AppendASCII(text, static_cast<size_t>(pos));
	_Touch();
}

void VString::FromHexLong(sLONG8 inValue, bool inPrefix)
{
	_StringFromHexLong(static_cast<uLONG8>(inValue), 64, inPrefix);
}

void VString::FromHexLong(sLONG inValue, bool inPrefix)
{
	_StringFromHexLong(static_cast<uLONG>(inValue), 32, inPrefix);
}

void VString::FromHexLong(uBYTE inValue, bool inPrefix)
{
	_StringFromHexLong(inValue, 8, inPrefix);
}

void VString::FromHexLong(char inValue, bool inPrefix)
{
	_StringFromHexLong(static_cast<uBYTE>(inValue), 8, inPrefix);
}

void VString::FromOsType(OsType inType)
{
	Truncate(0);
	AppendOsType(inType);
	_Touch();
}

void VString::AppendOsType(OsType inType)
{
	const char bytes[4] = {static_cast<char>(inType >> 24), static_cast<char>(inType >> 16),
						   static_cast<char>(inType >> 8), static_cast<char>(inType)};
	VToUnicodeConverter* converter = VTextConverters::Get()->RetainToUnicodeConverter(VTC_UTF_8);
	converter->ConvertString(bytes, sizeof(bytes), nullptr, *this);
	converter->Release();
}

void VString::AppendValue(const VValueSingle& inValue)
{
	VStr255 text;
	inValue.GetString(text);
	AppendString(text);
}

// ---------------------------------------------------------------------------
// Byte blocks

bool VString::AppendBlock(const void* inBuffer, VSize inNbBytes, CharSet inCharSet)
{
	if (inCharSet == VTC_UTF_16) {
		VSize units = inNbBytes / 2;
		if (units > static_cast<VSize>(kMaxLength - fLength)) {
			_ThrowError(VE_STRING_ALLOC_FAILED);
			return false;
		}
		if (units == 0) {
			_Touch();
			return true;
		}
		VIndex count = static_cast<VIndex>(units);
		const char* bytes = static_cast<const char*>(inBuffer);
		if (bytes >= reinterpret_cast<const char*>(fString) &&
			bytes <= reinterpret_cast<const char*>(fString + fMaxLength)) {
			VString copy(inBuffer, inNbBytes, VTC_UTF_16);
			AppendString(copy);
			return true;
		}
		if (!_EnsureSize(fLength + count))
			return false;
		std::memcpy(fString + fLength, inBuffer, units * 2);
		fLength += count;
		fString[fLength] = 0;
		_Touch();
		return true;
	}
	VToUnicodeConverter* converter = OrNoConverter(VTextConverters::Get()->RetainToUnicodeConverter(inCharSet));
	if (converter == nullptr)
		return false;
	bool ok = converter->ConvertString(inBuffer, inNbBytes, nullptr, *this);
	converter->Release();
	_Touch();
	return ok;
}

void VString::_SetEmpty()
{
	if (_IsWritable()) {
		fLength = 0;
		fString[0] = 0;
	} else {
		_ReleaseBuffer();
		_ResetToInline();
	}
}

bool VString::FromBlock(const void* inBuffer, VSize inNbBytes, CharSet inCharSet)
{
	const char* bytes = static_cast<const char*>(inBuffer);
	if (inNbBytes > 0 && bytes >= reinterpret_cast<const char*>(fString) &&
		bytes <= reinterpret_cast<const char*>(fString + fMaxLength)) {
		VString decoded;
		if (!decoded.FromBlock(inBuffer, inNbBytes, inCharSet))
			return false;
		FromString(decoded);
		return true;
	}
	if (inCharSet == VTC_UTF_16) {
		VSize units = inNbBytes / 2;
		if (units > static_cast<VSize>(kMaxLength)) {
			_ThrowError(VE_STRING_ALLOC_FAILED);
			return false;
		}
		VIndex count = static_cast<VIndex>(units);
		if (!(_IsWritable() && count <= fMaxLength) && !_ReallocBuffer(count, false))
			return false;
		if (units > 0)
			std::memcpy(fString, inBuffer, units * 2);
		fLength = count;
		fString[fLength] = 0;
		_Touch();
		return true;
	}
	VToUnicodeConverter* converter = OrNoConverter(VTextConverters::Get()->RetainToUnicodeConverter(inCharSet));
	if (converter == nullptr)
		return false;
	_SetEmpty();
	bool ok = converter->ConvertString(inBuffer, inNbBytes, nullptr, *this);
	converter->Release();
	_Touch();
	return ok;
}

CharSet VString::FromBlockWithOptionalBOM(const void* inBuffer, VSize inNbBytes, CharSet inDefaultCharSet)
{
	VSize bomSize = 0;
	CharSet charSet = inDefaultCharSet;
	if (!VTextConverters::ParseBOM(inBuffer, inNbBytes, &bomSize, &charSet)) {
		charSet = inDefaultCharSet;
		VTextConverters::GuessCharsetWithNoBom(inBuffer, static_cast<sLONG>(std::min<VSize>(inNbBytes, 0x7FFFFFFF)),
											   charSet, false);
	}
	FromBlock(static_cast<const char*>(inBuffer) + bomSize, inNbBytes - bomSize, charSet);
	return charSet;
}


VSize VString::ToBlock(void* outBuffer, VSize inBufferSize, CharSet inCharSet, bool inWithTrailingZero,
					   bool inWithLengthPrefix) const
{
	const VSize unit = inCharSet == VTC_UTF_16 ? 2 : 1;
	const VSize overhead = (inWithTrailingZero ? unit : 0) + (inWithLengthPrefix ? unit : 0);
	if (outBuffer == nullptr || inBufferSize < overhead)
		return 0;
	VFromUnicodeConverter* converter = OrNoConverter(VTextConverters::Get()->RetainFromUnicodeConverter(inCharSet));
	if (converter == nullptr)
		return 0;
	char* text = static_cast<char*>(outBuffer) + (inWithLengthPrefix ? unit : 0);
	VIndex consumed = 0;
	VSize produced = 0;
	converter->Convert(fString, fLength, &consumed, text, inBufferSize - overhead, &produced);
	converter->Release();
	if (inWithLengthPrefix) {
		if (unit == 1) {
			*static_cast<uint8*>(outBuffer) = produced < 256 ? static_cast<uint8>(produced) : 0;
		} else {
			uint16 count = produced < 131072 ? static_cast<uint16>(produced / 2) : 0;
			std::memcpy(outBuffer, &count, 2);
		}
	}
	if (inWithTrailingZero)
		std::memset(text + produced, 0, unit);
	return produced;
}

bool VString::ToBuffer(VMemoryBuffer<>& outBuffer, CharSet inCharSet) const
{
	outBuffer.SetSize(0);
	VFromUnicodeConverter* converter = OrNoConverter(VTextConverters::Get()->RetainFromUnicodeConverter(inCharSet));
	if (converter == nullptr)
		return false;
	bool ok = converter->ConvertToBuffer(fString, fLength, outBuffer, 0);
	converter->Release();
	return ok;
}

std::string to_string(const VString& inString)
{
	std::string result;
	if (inString.IsEmpty())
		return result;
	result.resize(static_cast<size_t>(inString.GetLength()) * 3);
	VIndex consumed = 0;
	VSize produced = 0;
	VTextConverters::Get()->GetStdLibFromUnicodeConverter()->Convert(
		inString.GetCPointer(), inString.GetLength(), &consumed, result.data(), result.size(), &produced);
	result.resize(produced);
	return result;
}

// ---------------------------------------------------------------------------
// Base64

bool VString::EncodeBase64(const void* inData, VSize inSize, bool inWithLineBreaks)
{
	VMemoryBuffer<> buffer;
	// Line breaks follow MIME: 76 characters (19 groups) a line.
	if (!Base64Coder::_Encode(inData, inSize, buffer, inWithLineBreaks ? 19 : 0, false))
		return false;
	if (buffer.GetDataSize() > static_cast<VSize>(kMaxLength)) {
		_ThrowError(VE_STRING_ALLOC_FAILED);
		return false;
	}
	VIndex length = static_cast<VIndex>(buffer.GetDataSize());
	if (!(_IsWritable() && length <= fMaxLength) && !_ReallocBuffer(length, false))
		return false;
	fLength = 0;
	_AppendASCII(static_cast<const char*>(buffer.GetDataPtr()), buffer.GetDataSize());
	_Touch();
	return true;
}

bool VString::EncodeBase64(CharSet inCharSet, bool inWithLineBreaks)
{
	if (IsNull() || fLength == 0)
		return true;
	StStringConverter<char> encoded(*this, inCharSet);
	if (!encoded.IsOK())
		return false;
	return EncodeBase64(encoded.GetCPointer(), encoded.GetSize(), inWithLineBreaks);
}

bool VString::DecodeBase64(VMemoryBuffer<>& outBuffer, bool inURL) const
{
	outBuffer.Clear();
	if (fLength == 0)
		return true;
	uint8* bytes = static_cast<uint8*>(VMemory::NewPtr(static_cast<size_t>(fLength), 'memb'));
	if (bytes == nullptr) {
		_ThrowError(VE_MEMORY_FULL);
		return false;
	}
	for (VIndex i = 0; i < fLength; ++i) {
		if (fString[i] >= 128) {
			VMemory::DisposePtr(bytes);
			_ThrowError(VE_STRING_BASE64_DECODING_FAILED);
			return false;
		}
		bytes[i] = static_cast<uint8>(fString[i]);
	}
	bool ok = Base64Coder::Decode(bytes, static_cast<VSize>(fLength), outBuffer, inURL, false);
	VMemory::DisposePtr(bytes);
	return ok;
}

bool VString::DecodeBase64(CharSet inCharSet, bool inURL)
{
	if (IsNull() || fLength == 0)
		return true;
	VMemoryBuffer<> buffer;
	if (!DecodeBase64(buffer, inURL))
		return false;
	return FromBlock(buffer.GetDataPtr(), buffer.GetDataSize(), inCharSet);
}

// ---------------------------------------------------------------------------
// Line ends

ECarriageReturnMode VString::GetCarriageReturnMode(ECarriageReturnMode inDefault) const
{
	for (VIndex i = 0; i < fLength; ++i) {
		if (fString[i] == u'\n')
			return eCRM_LF;
		if (fString[i] == u'\r')
			return (i + 1 < fLength && fString[i + 1] == u'\n') ? eCRM_CRLF : eCRM_CR;
	}
	return inDefault;
}

void VString::ConvertCarriageReturns(ECarriageReturnMode inMode)
{
	if (inMode != eCRM_CRLF && inMode != eCRM_CR && inMode != eCRM_LF)
		return;
	if (FindUniChar(u'\r') == 0 && FindUniChar(u'\n') == 0)
		return;
	if (!_EnsureSize(fLength))
		return;
	VIndex needed = 0;
	VIndex length = VTextConverters::_ConvertCarriageReturns<UniChar>(fString, fLength, fMaxLength, inMode, &needed);
	if (needed > fMaxLength) {
		if (!_EnsureSize(needed))
			return;
		length = VTextConverters::_ConvertCarriageReturns<UniChar>(fString, fLength, fMaxLength, inMode, &needed);
	}
	fLength = length;
	fString[fLength] = 0;
	_Touch();
}

namespace {

template <class T>
void ConvertBufferLineEnds(VMemoryBuffer<>& ioBuffer, ECarriageReturnMode inMode, bool inSwapped)
{
	T cr = 13;
	T lf = 10;
	if (inSwapped) {
		cr = ByteSwap(cr);
		lf = ByteSwap(lf);
	}
	if (ioBuffer.GetDataSize() / sizeof(T) > 0x7FFFFFFF)
		return;
	VIndex length = static_cast<VIndex>(ioBuffer.GetDataSize() / sizeof(T));
	// Bytes short of a whole unit at the end are no line end: they stay
	// after the converted units.
	const VSize tailSize = ioBuffer.GetDataSize() % sizeof(T);
	unsigned char tail[sizeof(T)] = {};
	if (tailSize > 0)
		std::memcpy(tail, static_cast<const char*>(ioBuffer.GetDataPtr()) + length * sizeof(T), tailSize);
	// Converted within the data first; a longer result grows the data once.
	VIndex needed = 0;
	VIndex newLength = VTextConverters::_ConvertCarriageReturns<T>(static_cast<T*>(ioBuffer.GetDataPtr()), length,
																	 length, inMode, &needed, cr, lf);
	if (needed > length) {
		if (!ioBuffer.SetSize(static_cast<VSize>(needed) * sizeof(T) + tailSize))
			return;
		newLength = VTextConverters::_ConvertCarriageReturns<T>(static_cast<T*>(ioBuffer.GetDataPtr()), length,
																needed, inMode, &needed, cr, lf);
	}
	ioBuffer.SetSize(static_cast<VSize>(newLength) * sizeof(T) + tailSize);
	if (tailSize > 0)
		std::memcpy(static_cast<char*>(ioBuffer.GetDataPtr()) + newLength * sizeof(T), tail, tailSize);
}

} // namespace

void VString::ConvertCarriageReturns(VMemoryBuffer<>& ioBuffer, CharSet inCharSet, ECarriageReturnMode inMode)
{
	switch (inCharSet) {
		case VTC_UTF_32_BIGENDIAN:
		case VTC_UTF_32_RAW_BIGENDIAN: ConvertBufferLineEnds<uint32>(ioBuffer, inMode, true); break;
		case VTC_UTF_32_SMALLENDIAN:
		case VTC_UTF_32_RAW_SMALLENDIAN: ConvertBufferLineEnds<uint32>(ioBuffer, inMode, false); break;
		case VTC_UTF_16_BIGENDIAN: ConvertBufferLineEnds<uint16>(ioBuffer, inMode, true); break;
		case VTC_UTF_16_SMALLENDIAN: ConvertBufferLineEnds<uint16>(ioBuffer, inMode, false); break;
		default: ConvertBufferLineEnds<uint8>(ioBuffer, inMode, false); break;
	}
}

// ---------------------------------------------------------------------------
// Splitting, joining, trimming

namespace {

// Splits a string at the separators that inFind finds from a 1-based
// position (answering the position and the length of the separator, 0 when
// none).
template <class FindSeparator>
bool SplitParts(const VString& inString, std::vector<VString>& outStrings, bool inKeepEmpty, bool inTrimSpaces,
				FindSeparator inFind)
{
	outStrings.clear();
	if (inString.IsNull() || inString.GetLength() == 0) {
		if (inKeepEmpty)
			outStrings.emplace_back();
		return false;
	}
	const VIndex length = inString.GetLength();
	bool found = false;
	VIndex start = 1;
	while (true) {
		VIndex separatorLength = 0;
		VIndex pos = start > length ? 0 : inFind(start, &separatorLength);
		if (pos != 0 && separatorLength < 1)
			pos = 0; // a separator must take some text, or the split would never end
		VIndex end = pos == 0 ? length + 1 : pos;
		VString part(inString.GetCPointer() + start - 1, end - start);
		if (inTrimSpaces)
			part.TrimUniChar(u' ');
		if (!part.IsEmpty() || inKeepEmpty)
			outStrings.push_back(std::move(part));
		if (pos == 0)
			break;
		found = true;
		start = pos + separatorLength;
	}
	return found;
}

} // namespace

bool VString::GetSubStrings(UniChar inSeparator, std::vector<VString>& outStrings, bool inKeepEmpty,
							bool inTrimSpaces) const
{
	return SplitParts(*this, outStrings, inKeepEmpty, inTrimSpaces, [&](VIndex inStart, VIndex* outLength) {
		*outLength = 1;
		return FindUniChar(inSeparator, inStart);
	});
}

bool VString::GetSubStrings(UniChar inSeparator, VArrayString& outStrings, bool inKeepEmpty,
							bool inTrimSpaces) const
{
	std::vector<VString> parts;
	const bool found = GetSubStrings(inSeparator, parts, inKeepEmpty, inTrimSpaces);
	outStrings.SetCount(0);
	if (!outStrings.SetCount(static_cast<sLONG>(parts.size())))
		return found;
	for (size_t i = 0; i < parts.size(); ++i)
		outStrings.FromString(parts[i], static_cast<VIndex>(i + 1));
	return found;
}

bool VString::GetSubStrings(const VString& inSeparator, std::vector<VString>& outStrings, bool inKeepEmpty,
							bool inTrimSpaces, bool inDiacritical) const
{
	return SplitParts(*this, outStrings, inKeepEmpty, inTrimSpaces, [&](VIndex inStart, VIndex* outLength) {
		return Find(inSeparator, inStart, inDiacritical, outLength);
	});
}

namespace {

template <class AppendSeparator>
bool JoinParts(VString& ioResult, const std::vector<VString>& inParts, VIndex inSeparatorLength,
			   AppendSeparator inAppendSeparator)
{
	if (inParts.empty()) {
		ioResult.Clear();
		return true;
	}
	int64 total = static_cast<int64>(inParts.size() - 1) * inSeparatorLength;
	for (const VString& part : inParts)
		total += part.GetLength();
	if (total >= 0x7FFFFFFF) {
		_ThrowError(VE_STRING_ALLOC_FAILED);
		return false;
	}
	// Built aside: a part may be the result itself.
	VString joined;
	if (joined.GetCPointerForWrite(static_cast<VIndex>(total)) == nullptr)
		return false;
	for (size_t i = 0; i < inParts.size(); ++i) {
		if (i > 0)
			inAppendSeparator(joined);
		joined.AppendString(inParts[i]);
	}
	ioResult = std::move(joined);
	return true;
}

} // namespace

bool VString::Join(const std::vector<VString>& inStrings, UniChar inSeparator)
{
	return JoinParts(*this, inStrings, 1, [inSeparator](VString& ioJoined) { ioJoined.AppendUniChar(inSeparator); });
}

bool VString::Join(const std::vector<VString>& inStrings, const VString& inSeparator)
{
	VString separator(inSeparator);
	return JoinParts(*this, inStrings, separator.GetLength(),
					 [&separator](VString& ioJoined) { ioJoined.AppendString(separator); });
}

void VString::TrimUniChar(UniChar inChar)
{
	VIndex begin = 0;
	VIndex end = fLength;
	while (begin < end && fString[begin] == inChar)
		++begin;
	while (end > begin && fString[end - 1] == inChar)
		--end;
	if (begin == 0 && end == fLength)
		return;
	SubString(begin + 1, end - begin);
}

void VString::RemoveWhiteSpaces(bool inLeading, bool inTrailing, VIndex* outLeadingCount, VIndex* outTrailingCount,
								VIntlMgr* inIntlMgr, bool inFlag)
{
	auto isSpace = [inIntlMgr, inFlag](UniChar inChar) {
		return inIntlMgr != nullptr ? inIntlMgr->IsSpace(inChar, inFlag) : (inChar == u' ' || inChar == u'\t');
	};
	VIndex begin = 0;
	VIndex end = fLength;
	if (inLeading) {
		while (begin < end && isSpace(fString[begin]))
			++begin;
	}
	if (inTrailing) {
		while (end > begin && isSpace(fString[end - 1]))
			--end;
	}
	if (outLeadingCount != nullptr)
		*outLeadingCount = begin;
	if (outTrailingCount != nullptr)
		*outTrailingCount = fLength - end;
	if (begin != 0 || end != fLength)
		SubString(begin + 1, end - begin);
}

} // namespace qirn
