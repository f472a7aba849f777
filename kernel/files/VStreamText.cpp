// The text and value operations of VStream: character sets and their
// converters, text in and out, lines, and values by kind.
#include "files/VStream.h"

#include "core/VArrayString.h"
#include "core/VMemoryBuffer.h"
#include "core/VString.h"
#include "core/VTextConverters.h"
#include "core/VValueInfo.h"
#include "runtime/VError.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace qirn {

namespace {

constexpr VSize kTextBlockSize = 4096;
constexpr VSize kLineBlockSize = 256;
// The converters judge UTF-8 on the first 2,048 bytes and on the rest of a
// character cut there, when they are given it.
constexpr VSize kGuessSampleSize = 2048 + 3;

// The width of one code unit of the character set on the stream.
VSize UnitSizeOf(CharSet inCharSet)
{
	switch (inCharSet) {
		case VTC_UTF_16_BIGENDIAN:
		case VTC_UTF_16_SMALLENDIAN:
			return 2;
		case VTC_UTF_32_BIGENDIAN:
		case VTC_UTF_32_SMALLENDIAN:
		case VTC_UTF_32_RAW_BIGENDIAN:
		case VTC_UTF_32_RAW_SMALLENDIAN:
			return 4;
		default:
			return 1;
	}
}

bool IsBigEndianSet(CharSet inCharSet)
{
	return inCharSet == VTC_UTF_16_BIGENDIAN || inCharSet == VTC_UTF_32_BIGENDIAN ||
		   inCharSet == VTC_UTF_32_RAW_BIGENDIAN;
}

} // namespace

VStream::~VStream()
{
	// A stream dropped while open leaves no session open on its indicator.
	SetProgressIndicator(nullptr);
	_ReleaseConverters();
}

// ---------------------------------------------------------------------------
// Converters

namespace {

// Keeps the stream's converter for its character set in ioSlot, made on
// first use; a set without a working converter leaves the slot empty.
template <class Converter>
VError PrepareConverter(Converter*& ioSlot, Converter* (VTextConverters::*inRetain)(CharSet), CharSet inCharSet)
{
	if (ioSlot == nullptr)
		ioSlot = (VTextConverters::Get()->*inRetain)(inCharSet);
	if (ioSlot == nullptr || !ioSlot->IsValid()) {
		if (ioSlot != nullptr)
			ioSlot->Release();
		ioSlot = nullptr;
		return VE_STREAM_NO_TEXT_CONVERTER;
	}
	return VE_OK;
}

} // namespace

VError VStream::_PrepareDecoder()
{
	return PrepareConverter(fDecoder, &VTextConverters::RetainToUnicodeConverter, fCharSet);
}

VError VStream::_PrepareEncoder()
{
	return PrepareConverter(fEncoder, &VTextConverters::RetainFromUnicodeConverter, fCharSet);
}

void VStream::_ReleaseConverters()
{
	if (fDecoder != nullptr)
		fDecoder->Release();
	if (fEncoder != nullptr)
		fEncoder->Release();
	fDecoder = nullptr;
	fEncoder = nullptr;
}

VError VStream::SetCharSet(CharSet inCharSet)
{
	if (fError != VE_OK)
		return fError;
	_ReleaseConverters();
	fCharSet = inCharSet;
	VError err = VE_OK;
	if (fIsReading)
		err = _PrepareDecoder();
	else if (fIsWriting)
		err = _PrepareEncoder();
	return SetError(err);
}

void VStream::_EncodeChar(UniChar inChar, std::string& outBytes, VSize& outUnit)
{
	outUnit = UnitSizeOf(fCharSet);
	outBytes.clear();
	if (outUnit > 1) {
		// Whole code units in the stream's order.
		uint32 value = inChar;
		for (VSize i = 0; i < outUnit; ++i) {
			VSize shift = IsBigEndianSet(fCharSet) ? (outUnit - 1 - i) * 8 : i * 8;
			outBytes += static_cast<char>((value >> shift) & 0xFF);
		}
		return;
	}
	// A character may take several bytes, and not every set writes ASCII as
	// ASCII (EBCDIC's line feed is 0x25): the whole encoding is the end
	// marker, never one byte of it.
	VFromUnicodeConverter* encoder = VTextConverters::Get()->RetainFromUnicodeConverter(fCharSet);
	bool ok = false;
	if (encoder != nullptr) {
		char bytes[16];
		VIndex consumed = 0;
		VSize produced = 0;
		if (encoder->IsValid() && encoder->Convert(&inChar, 1, &consumed, bytes, sizeof(bytes), &produced) &&
			consumed == 1 && produced > 0) {
			outBytes.assign(bytes, produced);
			ok = true;
		}
		encoder->Release();
	}
	if (!ok)
		outBytes += static_cast<char>(inChar & 0xFF);
}

// ---------------------------------------------------------------------------
// Values

VError VStream::PutValue(const VValue& inValue, bool inWithKind)
{
	if (inWithKind)
		PutWord(static_cast<uWORD>(inValue.GetValueInfo()->GetKind()));
	if (fError != VE_OK)
		return fError;
	inValue.WriteToStream(this, 0);
	return fError;
}

VValue* VStream::GetValue()
{
	uWORD kind = 0;
	if (GetWord(kind) != VE_OK)
		return nullptr;
	VValue* value = VValue::NewValueFromValueKind(kind);
	if (value != nullptr)
		value->ReadFromStream(this, 0);
	return value;
}

// ---------------------------------------------------------------------------
// Writing text

VError VStream::WriteBOM()
{
	static const uint8 kUTF16BE[] = {0xFE, 0xFF};
	static const uint8 kUTF16LE[] = {0xFF, 0xFE};
	static const uint8 kUCS4BE[] = {0x00, 0x00, 0xFE, 0xFF};
	static const uint8 kUCS4LE[] = {0xFF, 0xFE, 0x00, 0x00};
	static const uint8 kUTF8[] = {0xEF, 0xBB, 0xBF};
	switch (fCharSet) {
		case VTC_UTF_16_BIGENDIAN:
			return PutData(kUTF16BE, sizeof(kUTF16BE));
		case VTC_UTF_16_SMALLENDIAN:
			return PutData(kUTF16LE, sizeof(kUTF16LE));
		case VTC_UTF_32_BIGENDIAN:
			return PutData(kUCS4BE, sizeof(kUCS4BE));
		case VTC_UTF_32_SMALLENDIAN:
			return PutData(kUCS4LE, sizeof(kUCS4LE));
		case VTC_UTF_8:
			return PutData(kUTF8, sizeof(kUTF8));
		default:
			return fError;
	}
}

VError VStream::PutText(const VString& inText)
{
	if (fError != VE_OK)
		return fError;
	if (!fIsWriting)
		return SetError(VE_STREAM_CANNOT_WRITE);
	if (inText.IsEmpty())
		return VE_OK;
	VError err = _PrepareEncoder();
	if (err != VE_OK)
		return SetError(err);
	VString text(inText);
	text.ConvertCarriageReturns(fCRMode);
	VMemoryBuffer<> bytes;
	// An encoder that stops early (no memory, a lone surrogate in UTF-32)
	// would leave the rest of the text out: nothing is written then, and the
	// caller learns it.
	if (!fEncoder->ConvertToBuffer(text.GetCPointer(), text.GetLength(), bytes, 0))
		return SetError(VE_TEXT_CONVERSION_FAILED);
	return PutData(bytes.GetDataPtr(), bytes.GetDataSize());
}

VError VStream::PutPrintf(const char* inFormat, ...)
{
	va_list args;
	va_start(args, inFormat);
	VError err = PutVPrintf(inFormat, args);
	va_end(args);
	return err;
}

VError VStream::PutVPrintf(const char* inFormat, va_list inArgs)
{
	VString text;
	text.VPrintf(inFormat, inArgs);
	return PutText(text);
}

// ---------------------------------------------------------------------------
// Reading text

VSize VStream::_LeftToRead(VSize inMost)
{
	return static_cast<VSize>(std::clamp<sLONG8>(GetSize() - GetPos(), 0, static_cast<sLONG8>(inMost)));
}

VError VStream::_BeginTextReading()
{
	if (fError != VE_OK)
		return fError;
	if (!fIsReading)
		return SetError(VE_STREAM_CANNOT_READ);
	return SetError(_PrepareDecoder());
}

VError VStream::GuessCharSetFromLeadingBytes(CharSet inDefaultCharSet, bool inDetectUTF8, bool* outFoundBOM)
{
	if (outFoundBOM != nullptr)
		*outFoundBOM = false;
	if (VError err = _BeginTextReading(); err != VE_OK)
		return err;

	// Never read beyond the end: a short stream is no error here. A mark
	// takes 4 bytes at most; the UTF-8 test looks further.
	VSize wanted = inDetectUTF8 ? kGuessSampleSize : 4;
	VSize n = _LeftToRead(wanted);
	VMemoryBuffer<> sample;
	if (!sample.SetSize(n))
		return SetError(VE_MEMORY_FULL);
	if (n > 0 && GetData(sample.GetDataPtr(), n) != VE_OK)
		return SetCharSet(inDefaultCharSet);

	VSize bomSize = 0;
	CharSet charSet = inDefaultCharSet;
	bool foundBOM = VTextConverters::ParseBOM(sample.GetDataPtr(), n, &bomSize, &charSet);
	if (!foundBOM) {
		charSet = inDefaultCharSet;
		VTextConverters::GuessCharsetWithNoBom(sample.GetDataPtr(), static_cast<sLONG>(n), charSet, inDetectUTF8);
	}
	// The mark stays read; the text after it is read again.
	if (n > bomSize &&
		UngetData(static_cast<const char*>(sample.GetDataPtr()) + bomSize, n - bomSize) != VE_OK)
		return fError;
	if (outFoundBOM != nullptr)
		*outFoundBOM = foundBOM;
	return SetCharSet(charSet);
}

VError VStream::GetText(VString& ioText)
{
	if (VError err = _BeginTextReading(); err != VE_OK)
		return err;
	if (fDecoder->IsStateful())
		return _GetStatefulText(ioText);

	char buffer[kTextBlockSize];
	VSize kept = 0;	// bytes of an unfinished character, at the head
	for (;;) {
		VSize room = kTextBlockSize - kept;
		VSize count = _LeftToRead(room);
		if (count > 0 && GetData(buffer + kept, count) != VE_OK)
			return fError;
		VSize available = kept + count;
		if (available == 0)
			break;
		VSize consumed = 0;
		fDecoder->ConvertString(buffer, available, &consumed, ioText);
		if (consumed > available)
			consumed = available;
		kept = available - consumed;
		if (kept > 0)
			std::memmove(buffer, buffer + consumed, kept);
		if (count == 0 || (consumed == 0 && kept == kTextBlockSize))
			break;	// the end, or a decoder that cannot go on
	}
	if (kept > 0)
		return SetError(VE_STREAM_TEXT_CONVERSION_FAILURE);
	return VE_OK;
}

// A shift met in one block holds in the next: the rest of the stream is
// decoded in one run.
VError VStream::_GetStatefulText(VString& ioText)
{
	VMemoryBuffer<> bytes;
	const VSize count = _LeftToRead(static_cast<VSize>(std::numeric_limits<sLONG8>::max()));
	if (count == 0)
		return VE_OK;
	if (!bytes.SetSize(count))
		return SetError(VE_MEMORY_FULL);
	if (GetData(bytes.GetDataPtr(), count) != VE_OK)
		return fError;
	VSize consumed = 0;
	fDecoder->ConvertString(bytes.GetDataPtr(), count, &consumed, ioText);
	if (consumed < count)
		return SetError(VE_STREAM_TEXT_CONVERSION_FAILURE);
	return VE_OK;
}

VError VStream::GetText(VString& outText, sLONG inCharCount, bool inPushBackCutCharacter)
{
	if (VError err = _BeginTextReading(); err != VE_OK)
		return err;
	if (inCharCount < 1)
		return VE_OK;

	constexpr VSize kPiece = 64;
	char buffer[kPiece + 8];
	UniChar units[kPiece + 8];
	VSize kept = 0;
	sLONG remaining = inCharCount;
	while (remaining > 0) {
		// A character takes at least one byte: never read more than could be
		// needed, and push back what the count does not take.
		VSize want = std::min<VSize>(kPiece - kept, static_cast<VSize>(remaining) * 4);
		VSize count = _LeftToRead(want);
		if (count > 0 && GetData(buffer + kept, count) != VE_OK)
			return fError;
		VSize available = kept + count;
		if (available == 0)
			return VE_OK;
		VSize consumed = 0;
		VIndex produced = 0;
		VIndex room = static_cast<VIndex>(std::min<sLONG>(remaining, static_cast<sLONG>(kPiece)));
		fDecoder->Convert(buffer, available, &consumed, units, room, &produced);
		// A decoder never splits a character of two units: when the count
		// leaves room for one, the character comes whole rather than never.
		if (produced == 0 && room == 1)
			fDecoder->Convert(buffer, available, &consumed, units, 2, &produced);
		if (consumed > available)
			consumed = available;
		outText.AppendUniChars(units, produced);
		remaining -= produced;
		kept = available - consumed;
		if (remaining <= 0 || (produced == 0 && count == 0)) {
			if (kept > 0) {
				bool atEnd = remaining > 0;
				if (!atEnd || inPushBackCutCharacter) {
					if (UngetData(buffer + consumed, kept) != VE_OK)
						return fError;
				}
				if (atEnd)
					return SetError(VE_STREAM_TEXT_CONVERSION_FAILURE);
			}
			return VE_OK;
		}
		if (kept > 0)
			std::memmove(buffer, buffer + consumed, kept);
		if (produced == 0 && kept >= kPiece)
			return SetError(VE_STREAM_TEXT_CONVERSION_FAILURE);
	}
	return VE_OK;
}

VError VStream::GetTextLine(VString& outLine, bool inKeepEnd, UniChar* inEndChar)
{
	outLine.Clear();
	if (VError err = _BeginTextReading(); err != VE_OK)
		return err;

	// End markers as whole characters of the stream's character set,
	// compared only at character boundaries for UTF-16 and UCS-4.
	VSize unit = 1;
	std::string endMarker;
	std::string cr;
	std::string lf;
	if (inEndChar != nullptr) {
		_EncodeChar(*inEndChar, endMarker, unit);
	} else {
		_EncodeChar(13, cr, unit);
		_EncodeChar(10, lf, unit);
	}

	VMemoryBuffer<> bytes;
	VSize scanned = 0;
	for (;;) {
		VSize count = _LeftToRead(kLineBlockSize);
		bool atEnd = count == 0;
		if (!atEnd) {
			VSize old = bytes.GetDataSize();
			if (!bytes.SetSize(old + count))
				return SetError(VE_MEMORY_FULL);
			if (GetData(static_cast<char*>(bytes.GetDataPtr()) + old, count) != VE_OK)
				return fError;
			atEnd = _LeftToRead(1) == 0;
		}
		const char* data = static_cast<const char*>(bytes.GetDataPtr());
		VSize size = bytes.GetDataSize();

		VSize endAt = 0;
		VSize endLength = 0;
		bool found = false;
		bool needMore = false;
		if (inEndChar != nullptr) {
			VSize length = endMarker.size();
			for (VSize i = scanned; i + length <= size; i += unit) {
				if (std::memcmp(data + i, endMarker.data(), length) == 0) {
					endAt = i;
					endLength = length;
					found = true;
					break;
				}
			}
			if (!found && size >= length)
				scanned = (size - length + unit) / unit * unit;
		} else {
			VSize i = scanned;
			for (; i + unit <= size; i += unit) {
				if (std::memcmp(data + i, lf.data(), unit) == 0) {
					endAt = i;
					endLength = unit;
					found = true;
					break;
				}
				if (std::memcmp(data + i, cr.data(), unit) == 0) {
					// CR LF is one end: look at what follows the CR.
					if (i + 2 * unit <= size) {
						endLength = std::memcmp(data + i + unit, lf.data(), unit) == 0 ? 2 * unit : unit;
					} else if (!atEnd) {
						needMore = true;
						break;
					} else {
						endLength = unit;
					}
					endAt = i;
					found = true;
					break;
				}
			}
			scanned = i;
		}

		if (found || (atEnd && !needMore)) {
			VSize lineBytes = found ? endAt : size;
			if (lineBytes == 0 && !found) {
				_SetEndOfStreamQuietly();
				return VE_STREAM_EOF;
			}
			VSize consumedBytes = found ? endAt + endLength : size;
			if (size > consumedBytes && UngetData(data + consumedBytes, size - consumedBytes) != VE_OK)
				return fError;
			VSize decoded = 0;
			if (lineBytes > 0)
				fDecoder->ConvertString(data, lineBytes, &decoded, outLine);
			if (inKeepEnd)
				outLine.AppendUniChar(inEndChar != nullptr ? *inEndChar : UniChar(13));
			// Bytes the decoder left (a character cut by the end, a unit it
			// refuses) would vanish from the line unnoticed.
			if (decoded < lineBytes)
				return SetError(VE_STREAM_TEXT_CONVERSION_FAILURE);
			return VE_OK;
		}
	}
}

} // namespace qirn

namespace qirn {

VError VStream::GetTTRLine(VArrayString& outFields)
{
	outFields.Clear();
	VString line;
	VError err = GetTextLine(line, false, nullptr);
	if (err != VE_OK && err != VE_STREAM_EOF)
		return err;
	line.GetSubStrings(u'\t', outFields, true, false);
	return err;
}

} // namespace qirn
