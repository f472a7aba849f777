#include "core/platform/XLinuxTextConverter.h"

#include "core/TextUnits.h"
#include "core/VMemoryBuffer.h"
#include "core/VString.h"
#include "runtime/VError.h"

#include <unicode/ucnv.h>
#include <unicode/ucnv_cb.h>

#include <algorithm>
#include <climits>
#include <cstring>

namespace qirn {

namespace {

struct ConverterRow {
	CharSet fCharSet;
	const char* fName;
};

// ICU's own names, so that no alias table decides which mapping is used.
// ICU has no Mac Arabic, Mac Hebrew, Mac Chinese or Mac Japanese: each reads
// through the standard set it extends (the letters sit at the same bytes);
// the bytes only the Mac set defines decode as U+FFFD.
const ConverterRow kConverters[] = {
	{VTC_UTF_7, "UTF-7"},
	{VTC_EBCDIC_037, "ibm-37_P100-1995"},
	{VTC_PC_437, "ibm-437_P100-1995"},
	{VTC_MacRoman, "macos-0_2-10.2"},
	{VTC_Windows_1252, "ibm-5348_P100-1997"},
	{VTC_MacCentralEurope, "macos-29-10.2"},
	{VTC_Windows_1250, "ibm-5346_P100-1998"},
	{VTC_MacCyrillic, "macos-7_3-10.2"},
	{VTC_Windows_1251, "ibm-5347_P100-1998"},
	{VTC_MacGreek, "macos-6_2-10.4"},
	{VTC_Windows_1253, "ibm-5349_P100-1998"},
	{VTC_MacTurkish, "macos-35-10.2"},
	{VTC_Windows_1254, "ibm-5350_P100-1998"},
	{VTC_MacArabic, "ibm-1089_P100-1995"},	// ISO-8859-6
	{VTC_Windows_1256, "ibm-9448_X100-2005"},
	{VTC_MacHebrew, "ibm-5012_P100-1999"},	// ISO-8859-8
	{VTC_Windows_1255, "ibm-9447_P100-2002"},
	{VTC_MacCentralEurope2, "macos-29-10.2"},
	{VTC_Windows_1257, "ibm-9449_P100-2002"},
	{VTC_MacChineseSimplified, "ibm-1383_P110-1999"},	// EUC-CN (GB 2312)
	{VTC_GBK, "windows-936-2000"},
	{VTC_MacChineseTraditional, "windows-950-2000"},	// Big5
	{VTC_PC_950, "windows-950-2000"},
	{VTC_MacJapanese, "ibm-943_P15A-2003"},	// Shift_JIS
	{VTC_ShiftJIS, "ibm-943_P15A-2003"},
	{VTC_ISO_2022_JP, "ISO_2022,locale=ja,version=0"},
	{VTC_Big5, "windows-950-2000"},
	{VTC_EUC_KR, "ibm-970_P110_P110-2006_U2"},
	{VTC_KOI8_R, "ibm-878_P100-1996"},
	{VTC_ISO_8859_2, "ibm-912_P100-1995"},
	{VTC_ISO_8859_3, "ibm-913_P100-2000"},
	{VTC_ISO_8859_4, "ibm-914_P100-1995"},
	{VTC_ISO_8859_5, "ibm-915_P100-1995"},
	{VTC_ISO_8859_6, "ibm-1089_P100-1995"},
	{VTC_ISO_8859_7, "ibm-9005_X110-2007"},
	{VTC_ISO_8859_8, "ibm-5012_P100-1999"},
	{VTC_ISO_8859_9, "ibm-920_P100-1995"},
	{VTC_ISO_8859_10, "iso-8859_10-1998"},
	{VTC_ISO_8859_13, "ibm-921_P100-1995"},
	// GB2312 is read as code page 936, its superset, as the system always has.
	{VTC_GB2312, "windows-936-2000"},
	{VTC_GB2312_80, "ibm-5478_P100-1995"},
	{VTC_ISO_8859_15, "ibm-923_P100-1998"},
	{VTC_Windows_31J, "ibm-943_P15A-2003"},
};

void ThrowICUError(UErrorCode inError)
{
	VString name(u_errorName(inError));
	_ThrowError(VE_TEXT_CONVERSION_FAILED, &name);
}

UConverter* OpenConverter(CharSet inCharSet)
{
	const char* name = XLinuxToUnicodeConverter::CharSetToConverterName(inCharSet);
	if (name == nullptr)
		return nullptr;
	UErrorCode error = U_ZERO_ERROR;
	UConverter* converter = ucnv_open(name, &error);
	if (U_FAILURE(error)) {
		ThrowICUError(error);
		return nullptr;
	}
	return converter;
}

void CloseConverter(UConverter* inConverter)
{
	if (inConverter != nullptr)
		ucnv_close(inConverter);
}

// A converter is handed out only when ICU has the set.
template <class Converter>
Converter* NewValid(CharSet inCharSet)
{
	auto* converter = new Converter(inCharSet);
	if (!converter->IsValid()) {
		converter->Release();
		return nullptr;
	}
	return converter;
}

// Writes U+FFFD for what cannot be read, whatever substitute the set's table
// names (some name U+001A), and tells the converter object that it did.
void SubstituteReplacementCharacter(const void* inContext, UConverterToUnicodeArgs* ioArgs, const char*, int32_t,
									UConverterCallbackReason inReason, UErrorCode* ioError)
{
	if (inReason > UCNV_IRREGULAR)
		return;
	*static_cast<bool*>(const_cast<void*>(inContext)) = true;
	*ioError = U_ZERO_ERROR;
	const UChar replacement = 0xFFFD;
	ucnv_cbToUWriteUChars(ioArgs, &replacement, 1, 0, ioError);
}

// Where a stateful set's run may be cut: a call starts in the initial state,
// so the next one can only go on from a byte read in that state. ISO-2022-JP
// is there before its first escape and after ESC ( B (no escape byte occurs
// inside its characters); UTF-7 outside its base64 runs.
bool IsInitialStateAt(UConverterType inType, const char* inBytes, int32_t inPosition)
{
	if (inType == UCNV_ISO_2022) {
		for (int32_t i = inPosition - 1; i >= 0; --i) {
			if (inBytes[i] == 0x1B)
				return i + 2 < inPosition && inBytes[i + 1] == '(' && inBytes[i + 2] == 'B';
		}
		return true;
	}
	if (inType == UCNV_UTF7) {
		bool inBase64 = false;
		for (int32_t i = 0; i < inPosition; ++i) {
			const char byte = inBytes[i];
			const bool base64 = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
								(byte >= '0' && byte <= '9') || byte == '+' || byte == '/';
			if (inBase64)
				inBase64 = base64;
			else if (byte == '+')
				inBase64 = true;
		}
		return !inBase64;
	}
	return true;
}

int32_t CappedCount(VSize inCount)
{
	return static_cast<int32_t>(std::min<VSize>(inCount, INT32_MAX));
}

} // namespace

// ---------------------------------------------------------------------------

const char* XLinuxToUnicodeConverter::CharSetToConverterName(CharSet inCharSet)
{
	for (const ConverterRow& row : kConverters) {
		if (row.fCharSet == inCharSet)
			return row.fName;
	}
	return nullptr;
}

XLinuxToUnicodeConverter::XLinuxToUnicodeConverter(CharSet inCharSet)
	: fConverter(OpenConverter(inCharSet))
{
	if (fConverter == nullptr)
		return;
	// Readers take the closest character where the set has only a near one.
	ucnv_setFallback(fConverter, true);
	const UConverterType type = ucnv_getType(fConverter);
	fStateful = type == UCNV_ISO_2022 || type == UCNV_UTF7;
	// A UTF-7 base64 run may end anywhere: bits left over at the end of the
	// source are the end of the run, not a cut character.
	fFlushed = type == UCNV_UTF7;
	UErrorCode error = U_ZERO_ERROR;
	ucnv_setToUCallBack(fConverter, SubstituteReplacementCharacter, &fSubstituted, nullptr, nullptr, &error);
}

XLinuxToUnicodeConverter::~XLinuxToUnicodeConverter()
{
	CloseConverter(fConverter);
}

VToUnicodeConverter* XLinuxToUnicodeConverter::NewToUnicodeConverter(CharSet inCharSet)
{
	return NewValid<XLinuxToUnicodeConverter>(inCharSet);
}

bool XLinuxToUnicodeConverter::Convert(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
									   UniChar* inDestination, VIndex inDestinationChars, VIndex* outProducedChars)
{
	*outBytesConsumed = 0;
	*outProducedChars = 0;
	if (fConverter == nullptr)
		return false;
	if (inSourceBytes == 0 || inDestinationChars <= 0 || inDestination == nullptr)
		return true;
	std::lock_guard lock(fMutex);
	const char* source = static_cast<const char*>(inSource);
	const VSize count = static_cast<VSize>(CappedCount(inSourceBytes));
	ucnv_resetToUnicode(fConverter);
	fSubstituted = false;
	const char* read = source;
	UChar* written = reinterpret_cast<UChar*>(inDestination);
	UErrorCode error = U_ZERO_ERROR;
	// Not flushed (but UTF-7): the bytes of a character cut by the end stay
	// pending, and are left to the caller rather than read as a bad one.
	ucnv_toUnicode(fConverter, &written, written + inDestinationChars, &read, source + count, nullptr, fFlushed,
				   &error);
	if (error == U_BUFFER_OVERFLOW_ERROR)
		return _ConvertCut(source, count, outBytesConsumed, inDestination, inDestinationChars, outProducedChars);
	if (U_FAILURE(error)) {
		ThrowICUError(error);
		return false;
	}
	int32_t pending = ucnv_toUCountPending(fConverter, &error);
	if (U_FAILURE(error) || pending < 0)
		pending = 0;
	*outBytesConsumed = static_cast<VSize>(read - source) - static_cast<VSize>(pending);
	*outProducedChars = static_cast<VIndex>(written - reinterpret_cast<UChar*>(inDestination));
	return !fSubstituted;
}

// A stateful set is decoded in one call: the loop of the base class would
// read what that call leaves (a cut character) again from the initial state.
// Its text never has more characters than bytes.
bool XLinuxToUnicodeConverter::ConvertString(const void* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
											 VString& ioString)
{
	if (!fStateful)
		return VToUnicodeConverter::ConvertString(inSource, inSourceBytes, outBytesConsumed, ioString);
	if (outBytesConsumed != nullptr)
		*outBytesConsumed = 0;
	VMemoryBuffer<> units;
	if (inSourceBytes >= static_cast<VSize>(VString::kMaxLength) ||
		!units.SetSize((inSourceBytes + 1) * sizeof(UniChar))) {
		_ThrowError(VE_TEXT_CONVERSION_FAILED);
		return false;
	}
	VSize consumed = 0;
	VIndex produced = 0;
	Convert(inSource, inSourceBytes, &consumed, static_cast<UniChar*>(units.GetDataPtr()),
			static_cast<VIndex>(inSourceBytes + 1), &produced);
	const VIndex before = ioString.GetLength();
	ioString.AppendUniChars(static_cast<const UniChar*>(units.GetDataPtr()), produced);
	if (ioString.GetLength() != before + produced)
		return false;
	if (outBytesConsumed != nullptr)
		*outBytesConsumed = consumed;
	return true;
}

// The destination is too small for the whole source. The bytes behind each
// character are only known from ICU's offsets, so the run is decoded aside
// and cut after the last whole character that fits.
bool XLinuxToUnicodeConverter::_ConvertCut(const char* inSource, VSize inSourceBytes, VSize* outBytesConsumed,
										   UniChar* inDestination, VIndex inDestinationChars,
										   VIndex* outProducedChars)
{
	VMemoryBuffer<> units;
	VMemoryBuffer<> offsets;
	VSize capacity = 2 * inSourceBytes + 16;
	UErrorCode error = U_ZERO_ERROR;
	int32_t produced = 0;
	for (;;) {
		if (capacity > INT32_MAX || !units.SetSize(capacity * sizeof(UChar)) ||
			!offsets.SetSize(capacity * sizeof(int32_t))) {
			_ThrowError(VE_MEMORY_FULL);
			return false;
		}
		UChar* first = static_cast<UChar*>(units.GetDataPtr());
		UChar* written = first;
		const char* read = inSource;
		ucnv_resetToUnicode(fConverter);
		fSubstituted = false;
		error = U_ZERO_ERROR;
		ucnv_toUnicode(fConverter, &written, first + capacity, &read, inSource + inSourceBytes,
					   static_cast<int32_t*>(offsets.GetDataPtr()), fFlushed, &error);
		produced = static_cast<int32_t>(written - first);
		if (error != U_BUFFER_OVERFLOW_ERROR)
			break;
		capacity *= 2;
	}
	if (U_FAILURE(error)) {
		ThrowICUError(error);
		return false;
	}
	const int32_t* offset = static_cast<const int32_t*>(offsets.GetDataPtr());
	// The units of one character (a pair, a sequence the set maps to several
	// characters) carry the same offset and are never split. Between two
	// characters the cut goes where the set is in its initial state: for a
	// stateful set, before the escape that leaves it.
	const UConverterType type = ucnv_getType(fConverter);
	int32_t take = std::min<int32_t>(produced - 1, inDestinationChars);
	int32_t cut = 0;
	for (; take > 0; --take) {
		if (offset[take] == offset[take - 1])
			continue;
		int32_t position = offset[take];
		while (position > offset[take - 1] && !IsInitialStateAt(type, inSource, position))
			--position;
		if (position > offset[take - 1]) {
			cut = position;
			break;
		}
	}
	std::memcpy(inDestination, units.GetDataPtr(), static_cast<size_t>(take) * sizeof(UChar));
	*outProducedChars = take;
	*outBytesConsumed = static_cast<VSize>(cut);
	return !fSubstituted;
}

// ---------------------------------------------------------------------------

XLinuxFromUnicodeConverter::XLinuxFromUnicodeConverter(CharSet inCharSet)
	: fConverter(OpenConverter(inCharSet))
{
	if (fConverter == nullptr)
		return;
	// The set's own question mark: 0x6F in EBCDIC, where byte 0x3F is a
	// control character.
	// A set of two-byte characters only (GB 2312-80) has the fullwidth one.
	UErrorCode error = U_ZERO_ERROR;
	const UChar question = u'?';
	ucnv_setSubstString(fConverter, &question, 1, &error);
	if (U_FAILURE(error)) {
		const UChar fullwidth = 0xFF1F;
		error = U_ZERO_ERROR;
		ucnv_setSubstString(fConverter, &fullwidth, 1, &error);
	}
	fCharSize = std::max<VSize>(2, static_cast<VSize>(ucnv_getMaxCharSize(fConverter)));
}

XLinuxFromUnicodeConverter::~XLinuxFromUnicodeConverter()
{
	CloseConverter(fConverter);
}

VFromUnicodeConverter* XLinuxFromUnicodeConverter::NewFromUnicodeConverter(CharSet inCharSet)
{
	return NewValid<XLinuxFromUnicodeConverter>(inCharSet);
}

bool XLinuxFromUnicodeConverter::Convert(const UniChar* inSource, VIndex inSourceChars, VIndex* outCharsConsumed,
										 void* inBuffer, VSize inBufferSize, VSize* outBytesProduced)
{
	*outCharsConsumed = 0;
	*outBytesProduced = 0;
	if (fConverter == nullptr)
		return false;
	if (inSourceChars <= 0 || inBufferSize == 0 || inBuffer == nullptr)
		return true;
	const UChar* source = reinterpret_cast<const UChar*>(inSource);
	VIndex count = inSourceChars;
	if (IsHighSurrogate(source[count - 1]))
		--count;
	char* buffer = static_cast<char*>(inBuffer);
	const int32_t room = CappedCount(inBufferSize);
	std::lock_guard lock(fMutex);
	// Flushed, so that the bytes end in the set's initial state. When they do
	// not fit, the run is cut and converted again: first at the character
	// ICU stopped after, then, when that still overflows (the bytes that
	// close a shift did not fit), one character earlier each time.
	while (count > 0) {
		ucnv_resetFromUnicode(fConverter);
		const UChar* read = source;
		char* written = buffer;
		UErrorCode error = U_ZERO_ERROR;
		ucnv_fromUnicode(fConverter, &written, buffer + room, &read, source + count, nullptr, true, &error);
		if (error == U_BUFFER_OVERFLOW_ERROR) {
			VIndex stop = static_cast<VIndex>(read - source);
			if (stop < count) {
				count = stop;
			} else {
				const bool pair = count >= 2 && IsLowSurrogate(source[count - 1]) && IsHighSurrogate(source[count - 2]);
				count -= pair ? 2 : 1;
			}
			continue;
		}
		if (U_FAILURE(error)) {
			ThrowICUError(error);
			return false;
		}
		*outCharsConsumed = count;
		*outBytesProduced = static_cast<VSize>(written - buffer);
		return true;
	}
	ucnv_resetFromUnicode(fConverter);
	return true;
}

} // namespace qirn
