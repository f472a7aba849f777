#include "core/VTextConverters.h"

#include "core/TextUnits.h"
#include "core/VString.h"
#include "core/VTextConverter_Latin1.h"
#include "core/VTextConverter_UTF32.h"
#include "core/VTextConverter_UTF8.h"
#include "core/platform/XLinuxTextConverter.h"

#include <algorithm>

namespace qirn {

namespace {

struct CharSetNameRow {
	CharSet fCharSet;
	sLONG fMIBEnum;
	const UniChar* fUniName;
	const char* fName;
	int fWeb;
};

#define ROW(cs, mib, name, web) {static_cast<CharSet>(cs), mib, u"" name, name, web}

// Searched in order: several names map to one set and the first row wins.
const CharSetNameRow kCharSetNameTable[] = {
	ROW(4, 1017, "UCS4", 0),
	ROW(3, 1018, "UCS4BE", 0),
	ROW(4, 1019, "UCS4LE", 0),
	ROW(4, 1017, "UCS_4", 0),
	ROW(3, 1018, "UCS_4BE", 0),
	ROW(4, 1019, "UCS_4LE", 0),
	ROW(4, 1017, "UCS-4", 0),
	ROW(3, 1018, "UCS-4BE", 0),
	ROW(4, 1019, "UCS-4LE", 0),
	ROW(4, 1017, "UTF-32", 0),
	ROW(3, 1018, "UTF-32BE", 0),
	ROW(4, 1019, "UTF-32LE", 0),
	ROW(2, 1015, "UTF-16", 0),
	ROW(1, 1013, "UTF-16BE", 0),
	ROW(2, 1014, "UTF-16LE", 0),
	ROW(7, 106, "UTF-8", 1),
	ROW(8, 1012, "UTF-7", 1),
	ROW(8, 103, "UNICODE-1-1-UTF-7", 1),
	ROW(9, 3, "US-ASCII", 0),
	ROW(9, 3, "ANSI_X3.4-1968", 0),
	ROW(9, 3, "ANSI_X3.4-1986", 0),
	ROW(9, 3, "ASCII", 0),
	ROW(9, 3, "cp367", 0),
	ROW(9, 3, "csASCII", 0),
	ROW(9, 3, "IBM367", 0),
	ROW(9, 3, "iso-ir-6", 0),
	ROW(9, 3, "ISO_646.irv:1991", 0),
	ROW(9, 3, "ISO646-US", 0),
	ROW(9, 3, "us", 0),
	ROW(11, 2011, "IBM437", 0),
	ROW(11, 2011, "cp437", 0),
	ROW(11, 2011, "437", 0),
	ROW(11, 2011, "csPC8CodePage437", 0),
	ROW(10, 2028, "ebcdic-cp-us", 0),
	ROW(10, 2028, "cp037", 0),
	ROW(10, 2028, "csIBM037", 0),
	ROW(10, 2028, "ebcdic-cp-ca", 0),
	ROW(10, 2028, "ebcdic-cp-nl", 0),
	ROW(10, 2028, "ebcdic-cp-wt", 0),
	ROW(10, 2028, "IBM037", 0),
	ROW(100, 2027, "MacRoman", 0),
	ROW(100, 2027, "x-mac-roman", 0),
	ROW(100, 2027, "mac", 0),
	ROW(100, 2027, "macintosh", 0),
	ROW(100, 2027, "csMacintosh", 0),
	ROW(101, 2252, "windows-1252", 0),
	ROW(102, 1250, "MacCE", 0),
	ROW(102, 1250, "x-mac-ce", 0),
	ROW(103, 2250, "windows-1250", 0),
	ROW(104, 1251, "x-mac-cyrillic", 0),
	ROW(105, 2251, "windows-1251", 0),
	ROW(106, 1253, "x-mac-greek", 0),
	ROW(107, 2253, "windows-1253", 0),
	ROW(108, 1254, "x-mac-turkish", 0),
	ROW(109, 2254, "windows-1254", 0),
	ROW(110, 1256, "x-mac-arabic", 0),
	ROW(111, 2256, "windows-1256", 0),
	ROW(112, 1255, "x-mac-hebrew", 0),
	ROW(113, 2255, "windows-1255", 0),
	ROW(114, 1257, "x-mac-ce", 0),
	ROW(115, 2257, "windows-1257", 0),
	ROW(1000, 17, "Shift_JIS", 1),
	ROW(1000, 17, "csShiftJIS", 0),
	ROW(1000, 17, "MS_Kanji", 0),
	ROW(1000, 17, "Shift-JIS", 0),
	ROW(120, 1258, "x-mac-japanese", 0),
	ROW(1019, 2024, "Windows-31J", 0),
	ROW(1019, 2024, "csWindows31J", 0),
	ROW(1001, 39, "ISO-2022-JP", 0),
	ROW(1001, 39, "csISO2022JP", 0),
	ROW(1002, 2026, "Big5", 1),
	ROW(1002, 2026, "csBig5", 0),
	ROW(1003, 38, "EUC-KR", 1),
	ROW(1003, 38, "csEUCKR", 0),
	ROW(1004, 2084, "KOI8-R", 1),
	ROW(1004, 2084, "csKOI8R", 0),
	ROW(1005, 4, "ISO-8859-1", 1),
	ROW(1005, 4, "CP819", 0),
	ROW(1005, 4, "csISOLatin1", 0),
	ROW(1005, 4, "IBM819", 0),
	ROW(1005, 4, "iso-ir-100", 0),
	ROW(1005, 4, "ISO_8859-1", 0),
	ROW(1005, 4, "ISO_8859-1:1987", 0),
	ROW(1005, 4, "l1", 0),
	ROW(1005, 4, "latin1", 0),
	ROW(1006, 5, "ISO-8859-2", 1),
	ROW(1006, 5, "csISOLatin2", 0),
	ROW(1006, 5, "iso-ir-101", 0),
	ROW(1006, 5, "ISO_8859-2", 0),
	ROW(1006, 5, "ISO_8859-2:1987", 0),
	ROW(1006, 5, "l2", 0),
	ROW(1006, 5, "latin2", 0),
	ROW(1007, 6, "ISO-8859-3", 1),
	ROW(1007, 6, "csISOLatin3", 0),
	ROW(1007, 6, "ISO-8859-3:1988", 0),
	ROW(1007, 6, "iso-ir-109", 0),
	ROW(1007, 6, "ISO_8859-3", 0),
	ROW(1007, 6, "l3", 0),
	ROW(1007, 6, "latin3", 0),
	ROW(1008, 7, "ISO-8859-4", 1),
	ROW(1008, 7, "csISOLatin4", 0),
	ROW(1008, 7, "ISO-8859-4:1988", 0),
	ROW(1008, 7, "iso-ir-110", 0),
	ROW(1008, 7, "ISO_8859-4", 0),
	ROW(1008, 7, "l4", 0),
	ROW(1008, 7, "latin4", 0),
	ROW(1009, 8, "ISO-8859-5", 1),
	ROW(1009, 8, "csISOLatinCyrillic", 0),
	ROW(1009, 8, "cyrillic", 0),
	ROW(1009, 8, "ISO-8859-5:1988", 0),
	ROW(1009, 8, "iso-ir-144", 0),
	ROW(1009, 8, "ISO_8859-5", 0),
	ROW(1010, 9, "ISO-8859-6", 1),
	ROW(1010, 9, "arabic", 0),
	ROW(1010, 9, "ASMO-708", 0),
	ROW(1010, 9, "csISOLatinArabic", 0),
	ROW(1010, 9, "ECMA-114", 0),
	ROW(1010, 9, "ISO-8859-6:1987", 0),
	ROW(1010, 9, "iso-ir-127", 0),
	ROW(1010, 9, "ISO_8859-6", 0),
	ROW(1011, 10, "ISO-8859-7", 1),
	ROW(1011, 10, "csISOLatinGreek", 0),
	ROW(1011, 10, "ECMA-118", 0),
	ROW(1011, 10, "ELOT_928", 0),
	ROW(1011, 10, "greek", 0),
	ROW(1011, 10, "greek8", 0),
	ROW(1011, 10, "iso-ir-126", 0),
	ROW(1011, 10, "ISO_8859-7", 0),
	ROW(1011, 10, "ISO_8859-7:1987", 0),
	ROW(1012, 11, "ISO-8859-8", 1),
	ROW(1012, 11, "csISOLatinHebrew", 0),
	ROW(1012, 11, "hebrew", 0),
	ROW(1012, 11, "iso-ir-138", 0),
	ROW(1012, 11, "ISO_8859-8", 0),
	ROW(1012, 11, "ISO_8859-8:1988", 0),
	ROW(1013, 12, "ISO-8859-9", 1),
	ROW(1013, 12, "csISOLatin5", 0),
	ROW(1013, 12, "iso-ir-148", 0),
	ROW(1013, 12, "ISO_8859-9", 0),
	ROW(1013, 12, "ISO_8859-9:1989", 0),
	ROW(1013, 12, "l5", 0),
	ROW(1013, 12, "latin5", 0),
	ROW(1014, 13, "ISO-8859-10", 1),
	ROW(1014, 13, "csISOLatin6", 0),
	ROW(1014, 13, "iso-ir-157", 0),
	ROW(1014, 13, "ISO_8859-10", 0),
	ROW(1014, 13, "ISO_8859-10:1992", 0),
	ROW(1014, 13, "l6", 0),
	ROW(1014, 13, "latin6", 0),
	ROW(1015, 109, "ISO-8859-13", 1),
	ROW(1018, 111, "ISO-8859-15", 1),
	ROW(1018, 111, "Latin-9", 0),
	ROW(1016, 2025, "GB2312", 1),
	ROW(1016, 2025, "csGB2312", 0),
	ROW(1016, 2025, "x-mac-chinesesimp", 0),
	ROW(116, 2025, "x-mac-chinesesimp", 0),
	ROW(1017, 57, "GB_2312-80", 0),
	ROW(1017, 57, "csISO58GB231280", 0),
	ROW(117, 113, "GBK", 1),
	ROW(117, 113, "CP936", 0),
	ROW(117, 113, "MS936", 0),
	ROW(117, 113, "windows-936", 0),
	{VTC_None, 0, nullptr, nullptr, 0}};

#undef ROW

bool NameMatches(const CharSetNameRow& inRow, const VString& inName)
{
	// Names are matched as a person reads them: letter case does not matter.
	return inName.EqualToString(VString(inRow.fName), false);
}

// The platform's converters. US-ASCII and ISO-8859-1, common in files and
// a few lines each, are converted here; ICU converts the other legacy sets.
// The system's default set has none: the registry makes it UTF-8.
VToUnicodeConverter* NewPlatformToUnicodeConverter(CharSet inCharSet)
{
	switch (inCharSet) {
		case VTC_US_ASCII: return new VToUnicodeConverter_Latin1(0x7F);
		case VTC_ISO_8859_1: return new VToUnicodeConverter_Latin1(0xFF);
		default: return XLinuxToUnicodeConverter::NewToUnicodeConverter(inCharSet);
	}
}

VFromUnicodeConverter* NewPlatformFromUnicodeConverter(CharSet inCharSet)
{
	switch (inCharSet) {
		case VTC_US_ASCII: return new VFromUnicodeConverter_Latin1(0x7F);
		case VTC_ISO_8859_1: return new VFromUnicodeConverter_Latin1(0xFF);
		default: return XLinuxFromUnicodeConverter::NewFromUnicodeConverter(inCharSet);
	}
}

} // namespace

VTextConverters* VTextConverters::Get()
{
	// Lives until the process ends: converters handed out may outlive any
	// static destructor.
	static VTextConverters* sInstance = new VTextConverters;
	return sInstance;
}

VTextConverters::VTextConverters()
{
	// The system's own encoding on Linux is UTF-8 whatever the locale says
	// of its letters: files, names and the C library's text all use it.
	fToDefault = NewPlatformToUnicodeConverter(VTC_DefaultTextExport);
	if (fToDefault == nullptr)
		fToDefault = new VToUnicodeConverter_UTF8;
	fFromDefault = NewPlatformFromUnicodeConverter(VTC_DefaultTextExport);
	if (fFromDefault == nullptr)
		fFromDefault = new VFromUnicodeConverter_UTF8;
	fToNull = new VToUnicodeConverter_Null;
	fFromNull = new VFromUnicodeConverter_Null;
	fToSwap = new VToUnicodeConverter_Swap;
	fFromSwap = new VFromUnicodeConverter_Swap;
	fToUTF32Raw = new VToUnicodeConverter_UTF32_Raw(false);
	fFromUTF32Raw = new VFromUnicodeConverter_UTF32_Raw(false);
	fToUTF32 = new VToUnicodeConverter_UTF32(false);
	fFromUTF32 = new VFromUnicodeConverter_UTF32(false);
	fToUTF8 = new VToUnicodeConverter_UTF8;
	fFromUTF8 = new VFromUnicodeConverter_UTF8;
}

VTextConverters::~VTextConverters()
{
	for (IRefCountable* converter : {static_cast<IRefCountable*>(fToDefault), static_cast<IRefCountable*>(fFromDefault),
									 static_cast<IRefCountable*>(fToNull), static_cast<IRefCountable*>(fFromNull),
									 static_cast<IRefCountable*>(fToSwap), static_cast<IRefCountable*>(fFromSwap),
									 static_cast<IRefCountable*>(fToUTF32Raw),
									 static_cast<IRefCountable*>(fFromUTF32Raw), static_cast<IRefCountable*>(fToUTF32),
									 static_cast<IRefCountable*>(fFromUTF32), static_cast<IRefCountable*>(fToUTF8),
									 static_cast<IRefCountable*>(fFromUTF8)})
		converter->Release();
}

VToUnicodeConverter* VTextConverters::_RetainCachedTo(CharSet inCharSet) const
{
	VToUnicodeConverter* converter = nullptr;
	switch (inCharSet) {
		case VTC_DefaultTextExport: converter = fToDefault; break;
		case VTC_UTF_16_BIGENDIAN: converter = fToSwap; break;
		case VTC_UTF_16_SMALLENDIAN: converter = fToNull; break;
		case VTC_UTF_32_SMALLENDIAN: converter = fToUTF32; break;
		case VTC_UTF_32_RAW_SMALLENDIAN: converter = fToUTF32Raw; break;
		case VTC_UTF_8: converter = fToUTF8; break;
		default: return nullptr;
	}
	converter->Retain();
	return converter;
}

VFromUnicodeConverter* VTextConverters::_RetainCachedFrom(CharSet inCharSet) const
{
	VFromUnicodeConverter* converter = nullptr;
	switch (inCharSet) {
		case VTC_DefaultTextExport: converter = fFromDefault; break;
		case VTC_UTF_16_BIGENDIAN: converter = fFromSwap; break;
		case VTC_UTF_16_SMALLENDIAN: converter = fFromNull; break;
		case VTC_UTF_32_SMALLENDIAN: converter = fFromUTF32; break;
		case VTC_UTF_32_RAW_SMALLENDIAN: converter = fFromUTF32Raw; break;
		case VTC_UTF_8: converter = fFromUTF8; break;
		default: return nullptr;
	}
	converter->Retain();
	return converter;
}

VToUnicodeConverter* VTextConverters::RetainToUnicodeConverter(CharSet inCharSet)
{
	if (VToUnicodeConverter* cached = _RetainCachedTo(inCharSet))
		return cached;
	switch (inCharSet) {
		case VTC_None: return new VToUnicodeConverter_Void;
		case VTC_UTF_32_BIGENDIAN: return new VToUnicodeConverter_UTF32(true);
		case VTC_UTF_32_RAW_BIGENDIAN: return new VToUnicodeConverter_UTF32_Raw(true);
		default: break;
	}
	VToUnicodeConverter* converter = NewPlatformToUnicodeConverter(inCharSet);
	return converter != nullptr ? converter : new VToUnicodeConverter_Void;
}

VFromUnicodeConverter* VTextConverters::RetainFromUnicodeConverter(CharSet inCharSet)
{
	if (VFromUnicodeConverter* cached = _RetainCachedFrom(inCharSet))
		return cached;
	switch (inCharSet) {
		case VTC_None: return new VFromUnicodeConverter_Void;
		case VTC_UTF_32_BIGENDIAN: return new VFromUnicodeConverter_UTF32(true);
		case VTC_UTF_32_RAW_BIGENDIAN: return new VFromUnicodeConverter_UTF32_Raw(true);
		default: break;
	}
	VFromUnicodeConverter* converter = NewPlatformFromUnicodeConverter(inCharSet);
	return converter != nullptr ? converter : new VFromUnicodeConverter_Void;
}

bool VTextConverters::ConvertToVString(const void* inSource, VSize inSourceBytes, CharSet inCharSet,
									   VString& outString)
{
	outString.Clear();
	if (inCharSet == VTC_UTF_16) {
		outString.FromBlock(inSource, inSourceBytes, VTC_UTF_16);
		return (inSourceBytes & 1) == 0;
	}
	VToUnicodeConverter* converter = RetainToUnicodeConverter(inCharSet);
	bool ok = converter->ConvertString(inSource, inSourceBytes, nullptr, outString);
	converter->Release();
	return ok;
}

bool VTextConverters::ConvertFromVString(const VString& inString, VIndex* outCharsConsumed, void* outBuffer,
										 VSize inBufferSize, VSize* outBytesProduced, CharSet inCharSet)
{
	VFromUnicodeConverter* converter = RetainFromUnicodeConverter(inCharSet);
	VIndex consumed = 0;
	VSize produced = 0;
	bool ok = converter->Convert(inString.GetCPointer(), inString.GetLength(), &consumed, outBuffer, inBufferSize,
								 &produced);
	converter->Release();
	if (outCharsConsumed != nullptr)
		*outCharsConsumed = consumed;
	if (outBytesProduced != nullptr)
		*outBytesProduced = produced;
	return ok;
}

// ---------------------------------------------------------------------------
// Names

CharSet VTextConverters::GetCharSetFromName(const VString& inName) const
{
	for (const CharSetNameRow* row = kCharSetNameTable; row->fName != nullptr; ++row) {
		if (NameMatches(*row, inName))
			return row->fCharSet;
	}
	return VTC_None;
}

sLONG VTextConverters::GetMIBEnumFromName(const VString& inName) const
{
	for (const CharSetNameRow* row = kCharSetNameTable; row->fName != nullptr; ++row) {
		if (NameMatches(*row, inName))
			return row->fMIBEnum;
	}
	return 0;
}

sLONG VTextConverters::GetMIBEnumFromCharSet(CharSet inCharSet) const
{
	for (const CharSetNameRow* row = kCharSetNameTable; row->fName != nullptr; ++row) {
		if (row->fCharSet == inCharSet)
			return row->fMIBEnum;
	}
	return 0;
}

CharSet VTextConverters::GetCharSetFromMIBEnum(sLONG inMIBEnum) const
{
	for (const CharSetNameRow* row = kCharSetNameTable; row->fName != nullptr; ++row) {
		if (row->fMIBEnum == inMIBEnum)
			return row->fCharSet;
	}
	return VTC_None;
}

void VTextConverters::GetNameFromCharSet(CharSet inCharSet, VString& outName) const
{
	outName.Clear();
	for (const CharSetNameRow* row = kCharSetNameTable; row->fName != nullptr; ++row) {
		if (row->fCharSet == inCharSet) {
			outName.FromUniCString(row->fUniName);
			return;
		}
	}
}

void VTextConverters::GetNameFromMIBEnum(sLONG inMIBEnum, VString& outName) const
{
	outName.Clear();
	for (const CharSetNameRow* row = kCharSetNameTable; row->fName != nullptr; ++row) {
		if (row->fMIBEnum == inMIBEnum) {
			outName.FromUniCString(row->fUniName);
			return;
		}
	}
}

void VTextConverters::EnumWebCharsets(std::vector<VString>& outNames, std::vector<CharSet>& outCharSets) const
{
	outNames.clear();
	outCharSets.clear();
	for (const CharSetNameRow* row = kCharSetNameTable; row->fName != nullptr; ++row) {
		if (row->fWeb != 0) {
			outNames.emplace_back(row->fUniName);
			outCharSets.push_back(row->fCharSet);
		}
	}
}

void VTextConverters::EnumCharsets(std::vector<VString>& outNames, std::vector<CharSet>& outCharSets) const
{
	std::vector<VString> names;
	std::vector<CharSet> charSets;
	CharSet previous = VTC_None;
	for (const CharSetNameRow* row = kCharSetNameTable; row->fName != nullptr; ++row) {
		if (row->fCharSet == previous)
			continue;
		previous = row->fCharSet;
		VString name(row->fUniName);
		auto at = std::lower_bound(names.begin(), names.end(), name, [](const VString& inA, const VString& inB) {
			return inA.CompareToStringRawCase(inB) == CR_SMALLER;
		});
		size_t index = static_cast<size_t>(at - names.begin());
		names.insert(at, name);
		charSets.insert(charSets.begin() + static_cast<ptrdiff_t>(index), row->fCharSet);
	}
	outNames.swap(names);
	outCharSets.swap(charSets);
}

// ---------------------------------------------------------------------------
// Byte-order marks and guessing

namespace {

const uint8 kBOM_UTF8[] = {0xEF, 0xBB, 0xBF};
const uint8 kBOM_UCS4BE[] = {0x00, 0x00, 0xFE, 0xFF};
const uint8 kBOM_UCS4LE[] = {0xFF, 0xFE, 0x00, 0x00};
const uint8 kBOM_UTF16BE[] = {0xFE, 0xFF};
const uint8 kBOM_UTF16LE[] = {0xFF, 0xFE};

// Byte classes and transitions of a validating automaton for RFC 3629 UTF-8
// (no overlong forms, no surrogates, nothing beyond U+10FFFF). State 0 is a
// character boundary, state 1 a rejection.
struct UTF8ValidationTable {
	uint8 fClasses[256];
	uint8 fTransitions[16 * 16];

	constexpr UTF8ValidationTable() : fClasses(), fTransitions()
	{
		for (int b = 0; b < 256; ++b) {
			uint8 c = 8;
			if (b < 0x80) c = 0;
			else if (b < 0x90) c = 1;
			else if (b < 0xA0) c = 9;
			else if (b < 0xC0) c = 7;
			else if (b < 0xC2) c = 8;
			else if (b < 0xE0) c = 2;
			else if (b == 0xE0) c = 10;
			else if (b == 0xED) c = 4;
			else if (b < 0xF0) c = 3;
			else if (b == 0xF0) c = 11;
			else if (b < 0xF4) c = 6;
			else if (b == 0xF4) c = 5;
			fClasses[b] = c;
		}
		for (int i = 0; i < 16 * 16; ++i)
			fTransitions[i] = 1;
		// From a boundary.
		Set(0, 0, 0);
		Set(0, 2, 2);
		Set(0, 3, 3);
		Set(0, 4, 6);
		Set(0, 10, 5);
		Set(0, 11, 7);
		Set(0, 6, 4);
		Set(0, 5, 8);
		// 2: one continuation byte left; 3: two; 4: three.
		for (int c : {1, 7, 9}) {
			Set(2, c, 0);
			Set(3, c, 2);
			Set(4, c, 3);
		}
		// 5: after E0 (no overlong form); 6: after ED (no surrogate);
		// 7: after F0 (no overlong form); 8: after F4 (nothing past U+10FFFF).
		Set(5, 7, 2);
		Set(6, 1, 2);
		Set(6, 9, 2);
		Set(7, 9, 3);
		Set(7, 7, 3);
		Set(8, 1, 3);
	}
	constexpr void Set(int inState, int inClass, uint8 inNext) { fTransitions[inState * 16 + inClass] = inNext; }
};

constexpr UTF8ValidationTable kUTF8ValidationTable;

// Runs the automaton; answers the final state (1 as soon as it rejects).
uint8 RunUTF8Validation(const uint8* inBytes, sLONG inLength)
{
	uint8 state = 0;
	for (sLONG i = 0; i < inLength; ++i) {
		state = kUTF8ValidationTable.fTransitions[state * 16 + kUTF8ValidationTable.fClasses[inBytes[i]]];
		if (state == 1)
			break;
	}
	return state;
}

} // namespace

bool VTextConverters::ParseBOM(const void* inBytes, VSize inLength, VSize* outBOMSize, CharSet* outCharSet)
{
	const uint8* bytes = static_cast<const uint8*>(inBytes);
	VSize size = 0;
	CharSet charSet = VTC_None;
	if (inLength >= 3 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF) {
		size = 3;
		charSet = VTC_UTF_8;
	} else if (inLength >= 4 && bytes[0] == 0 && bytes[1] == 0 && bytes[2] == 0xFE && bytes[3] == 0xFF) {
		size = 4;
		charSet = VTC_UTF_32_BIGENDIAN;
	} else if (inLength >= 4 && bytes[0] == 0xFF && bytes[1] == 0xFE && bytes[2] == 0 && bytes[3] == 0) {
		size = 4;
		charSet = VTC_UTF_32_SMALLENDIAN;
	} else if (inLength >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
		size = 2;
		charSet = VTC_UTF_16_BIGENDIAN;
	} else if (inLength >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
		size = 2;
		charSet = VTC_UTF_16_SMALLENDIAN;
	}
	if (outBOMSize != nullptr)
		*outBOMSize = size;
	if (outCharSet != nullptr)
		*outCharSet = charSet;
	return size != 0;
}

const void* VTextConverters::GetBOMForCharSet(CharSet inCharSet, VSize* outSize)
{
	const uint8* bom = nullptr;
	VSize size = 0;
	switch (inCharSet) {
		case VTC_UTF_8: bom = kBOM_UTF8; size = sizeof(kBOM_UTF8); break;
		case VTC_UTF_32_BIGENDIAN: bom = kBOM_UCS4BE; size = sizeof(kBOM_UCS4BE); break;
		case VTC_UTF_32_SMALLENDIAN: bom = kBOM_UCS4LE; size = sizeof(kBOM_UCS4LE); break;
		case VTC_UTF_16_BIGENDIAN: bom = kBOM_UTF16BE; size = sizeof(kBOM_UTF16BE); break;
		case VTC_UTF_16_SMALLENDIAN: bom = kBOM_UTF16LE; size = sizeof(kBOM_UTF16LE); break;
		default: break;
	}
	if (outSize != nullptr)
		*outSize = size;
	return bom;
}

bool VTextConverters::DetectUTF8(const void* inBytes, sLONG inLength)
{
	if (inLength <= 0)
		return true;
	return RunUTF8Validation(static_cast<const uint8*>(inBytes), inLength) == 0;
}

bool VTextConverters::GuessCharsetWithNoBom(const void* inBytes, sLONG inLength, CharSet& ioCharSet, bool inTestUTF8)
{
	constexpr sLONG kUTF8Window = 2048;
	if (inLength < 1)
		return false;
	const uint8* b = static_cast<const uint8*>(inBytes);
	bool found = false;
	bool foundNULPattern = false;
	CharSet guess = ioCharSet;
	auto isASCII = [](uint8 inByte) { return inByte >= 1 && inByte <= 127; };
	if (inLength >= 4) {
		if (b[0] != 0 && b[1] == 0 && b[2] != 0 && b[3] == 0) {
			found = foundNULPattern = true;
			guess = VTC_UTF_16_SMALLENDIAN;
		} else if (b[0] == 0 && b[1] != 0 && b[2] == 0 && b[3] != 0) {
			found = foundNULPattern = true;
			guess = VTC_UTF_16_BIGENDIAN;
		} else if ((ioCharSet == VTC_UTF_16_BIGENDIAN || ioCharSet == VTC_UTF_16_SMALLENDIAN) && isASCII(b[0]) &&
				   isASCII(b[1]) && isASCII(b[2])) {
			found = isASCII(b[3]);
			if (found)
				guess = VTC_UTF_8;
		}
	}
	// ASCII in UTF-16 is well-formed UTF-8 as well, every other byte a NUL
	// character: the pattern of NULs is the better witness.
	if (inTestUTF8 && !foundNULPattern) {
		// A character that the window cuts in two is judged whole when its
		// other bytes were given.
		sLONG window = std::min<sLONG>(inLength, kUTF8Window);
		while (window < inLength && window < kUTF8Window + 3 && (b[window] & 0xC0) == 0x80)
			++window;
		if (RunUTF8Validation(b, window) == 0) {
			found = true;
			guess = VTC_UTF_8;
		}
	}
	if (found)
		ioCharSet = guess;
	return found;
}

} // namespace qirn
