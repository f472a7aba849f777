// The dialect table's questions, and the system's dialect.

#include "core/VDialectTable.h"
#include "core/VIntlMgr.h"

#include "core/TextUnits.h"
#include "host/HostLanguages.h"

#include <unicode/locid.h>

#include <cstring>
#include <string>

namespace qirn {

namespace {

bool IsEmpty(const char* inText)
{
	return inText == nullptr || inText[0] == 0;
}

bool EqualsIgnoringASCIICase(const char* inA, const char* inB)
{
	for (; *inA != 0 && *inB != 0; ++inA, ++inB) {
		if (FoldASCIICase(static_cast<unsigned char>(*inA)) != FoldASCIICase(static_cast<unsigned char>(*inB)))
			return false;
	}
	return *inA == *inB;
}

// A column of the dialect's first row; null when there is no row.
const char* Column(DialectCode inDialect, const char* VDialectRow::*inColumn)
{
	const VDialectRow* row = FindDialectRow(inDialect);
	return row == nullptr ? nullptr : row->*inColumn;
}

// The same into a string: false, the string empty, when there is no row or
// the column is empty.
bool CopyColumn(DialectCode inDialect, const char* VDialectRow::*inColumn, VString& outText)
{
	outText.Clear();
	const char* text = Column(inDialect, inColumn);
	if (IsEmpty(text))
		return false;
	outText.FromCString(text);
	return true;
}

// A tag's text as narrow ASCII; false when it holds anything else.
bool ToASCII(const VString& inText, std::string& outText)
{
	outText.clear();
	for (VIndex i = 0; i < inText.GetLength(); ++i) {
		UniChar unit = inText.GetCPointer()[i];
		if (unit == 0 || unit >= 0x80)
			return false;
		outText.push_back(static_cast<char>(unit));
	}
	return true;
}

// The user's first preferred language, as the platform writes it, looked up
// in the table: 1033 when none matches.
DialectCode DialectOfLanguage(const std::string& inTag)
{
	UErrorCode status = U_ZERO_ERROR;
	icu::Locale locale = icu::Locale::forLanguageTag(inTag.c_str(), status);
	std::string canonical = inTag;
	if (U_SUCCESS(status) && !locale.isBogus()) {
		std::string tag = locale.toLanguageTag<std::string>(status);
		if (U_SUCCESS(status) && !tag.empty() && tag != "und")
			canonical = tag;
	}
	if (canonical.size() > 80)
		canonical.resize(80);
	VString text;
	text.FromCString(canonical.c_str());
	DialectCode dialect = DC_ENGLISH_US;
	if (!VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(text, dialect, true, true))
		dialect = DC_ENGLISH_US;
	return dialect;
}

} // namespace

DialectCode VIntlMgr::ResolveDialectCode(DialectCode inDialect)
{
	if (inDialect != -2 && inDialect != -1 && inDialect != 0)
		return inDialect;
	// Computed once: the preferences do not change under a running process.
	static const DialectCode sSystemDialect = GetSystemUIDialectCode();
	return sSystemDialect;
}

DialectCode VIntlMgr::GetSystemUIDialectCode()
{
	std::vector<std::string> languages = host::CopyPreferredLanguages();
	return languages.empty() ? DC_ENGLISH_US : DialectOfLanguage(languages.front());
}

void VIntlMgr::GetSystemUIDialectCodes(std::vector<DialectCode>& outDialects)
{
	outDialects.clear();
	for (const std::string& language : host::CopyPreferredLanguages())
		outDialects.push_back(DialectOfLanguage(language));
}

bool VIntlMgr::IsSystemUIDialectIdeographic()
{
	switch (ResolveDialectCode(DC_SYSTEM)) {
	case 1028:
	case 1041:
	case 1042:
	case 2052:
	case 2066:
	case 3076:
	case 4100:
		return true;
	default:
		return false;
	}
}

bool VIntlMgr::IsDialectCode(DialectCode inDialect)
{
	return FindDialectRow(inDialect) != nullptr;
}

bool VIntlMgr::IsRightToLeftDialect(DialectCode inDialect)
{
	const DialectCode primary = ResolveDialectCode(inDialect) & 1023;
	return primary == 1 || primary == 13 || primary == 32 || primary == 41;
}

bool VIntlMgr::GetISO6391LanguageCode(DialectCode inDialect, VString& outCode)
{
	return CopyColumn(inDialect, &VDialectRow::fISO6391, outCode);
}

const char* VIntlMgr::GetISO6391LanguageCode(DialectCode inDialect)
{
	return Column(inDialect, &VDialectRow::fISO6391);
}

bool VIntlMgr::GetISO6392LanguageCode(DialectCode inDialect, VString& outCode)
{
	return CopyColumn(inDialect, &VDialectRow::fISO6392, outCode);
}

bool VIntlMgr::GetISOLanguageName(DialectCode inDialect, VString& outName)
{
	return CopyColumn(inDialect, &VDialectRow::fName, outName);
}

bool VIntlMgr::GetISO3166RegionCode(DialectCode inDialect, VString& outCode)
{
	return CopyColumn(inDialect, &VDialectRow::fRegion, outCode);
}

const char* VIntlMgr::GetISO3166RegionCode(DialectCode inDialect)
{
	return Column(inDialect, &VDialectRow::fRegion);
}

bool VIntlMgr::GetRFC3066BisSubTagRegionCode(DialectCode inDialect, VString& outCode)
{
	return CopyColumn(inDialect, &VDialectRow::fSubTag, outCode);
}

bool VIntlMgr::GetBCP47LanguageCode(DialectCode inDialect, VString& outTag)
{
	if (!GetISO6391LanguageCode(inDialect, outTag))
		return false;
	const char* region = GetISO3166RegionCode(inDialect);
	if (!IsEmpty(region)) {
		outTag.AppendUniChar(u'-');
		outTag.AppendCString(region);
	}
	return true;
}

bool VIntlMgr::GetRFC3066BisLanguageCodeWithDialectCode(DialectCode inDialect, VString& outTag, UniChar inSeparator)
{
	if (!GetISO6391LanguageCode(inDialect, outTag))
		return false;
	const VDialectRow* row = FindDialectRow(inDialect);
	if (!IsEmpty(row->fSubTag)) {
		outTag.AppendUniChar(inSeparator);
		outTag.AppendCString(row->fSubTag);
	}
	return true;
}

bool VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(const char* inLanguage, const char* inSubTag,
														DialectCode& outDialect, bool inFallBackToLanguage,
														bool inPrimary)
{
	outDialect = -2;
	if (IsEmpty(inLanguage))
		return false;
	if (!IsEmpty(inSubTag)) {
		for (const VDialectRow& row : DialectTable) {
			if (EqualsIgnoringASCIICase(row.fISO6391, inLanguage) && EqualsIgnoringASCIICase(row.fSubTag, inSubTag)) {
				outDialect = row.fLangID;
				return true;
			}
		}
		if (!inFallBackToLanguage)
			return false;
		inPrimary = true;
	}
	for (const VDialectRow& row : DialectTable) {
		if (IsEmpty(row.fSubTag) && EqualsIgnoringASCIICase(row.fISO6391, inLanguage)) {
			outDialect = inPrimary ? ((row.fLangID & 1023) | 1024) : row.fLangID;
			return true;
		}
	}
	return false;
}

bool VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(const VString& inTag, DialectCode& outDialect,
														bool inFallBackToLanguage, bool inPrimary)
{
	outDialect = -2;
	std::string tag;
	if (!ToASCII(inTag, tag))
		return false;
	std::string language = tag;
	std::string subTag;
	for (char separator : {'-', '_'}) {
		size_t first = tag.find(separator);
		if (first == std::string::npos)
			continue;
		if (tag.find(separator, first + 1) != std::string::npos)
			return false;
		language = tag.substr(0, first);
		subTag = tag.substr(first + 1);
		break;
	}
	// A tag that mixes both separators has three parts.
	if (language.find_first_of("-_") != std::string::npos || subTag.find_first_of("-_") != std::string::npos)
		return false;
	return GetDialectCodeWithRFC3066BisLanguageCode(language.c_str(), subTag.empty() ? nullptr : subTag.c_str(),
													outDialect, inFallBackToLanguage, inPrimary);
}

bool VIntlMgr::GetDialectCodeWithISOLanguageName(const VString& inName, DialectCode& outDialect)
{
	VString name(inName);
	GetDefaultMgr()->ToUpperLowerCase(name, false);
	for (const VDialectRow& row : DialectTable) {
		if (!IsEmpty(row.fSubTag))
			continue;
		VString rowName;
		rowName.FromCString(row.fName);
		if (name.EqualToString(rowName, false)) {
			outDialect = (row.fLangID & 0xFF) | 1024;
			return true;
		}
	}
	return false;
}

sLONG VIntlMgr::Compare2RFC3066LanguageCodes(const VString& inTagA, const VString& inTagB)
{
	VString a(inTagA);
	VString b(inTagB);
	GetDefaultMgr()->ToUpperLowerCase(a, false);
	GetDefaultMgr()->ToUpperLowerCase(b, false);
	DialectCode dialect = 0;
	if (!GetDialectCodeWithRFC3066BisLanguageCode(a, dialect) || !GetDialectCodeWithRFC3066BisLanguageCode(b, dialect))
		return -1;
	if (a.EqualToStringRaw(b))
		return 4;
	std::vector<VString> partsA;
	std::vector<VString> partsB;
	a.GetSubStrings(u'-', partsA, true);
	b.GetSubStrings(u'-', partsB, true);
	const bool sameLanguage = !partsA.empty() && !partsB.empty() && partsA[0].EqualToStringRaw(partsB[0]);
	if (!sameLanguage)
		return 0;
	if (partsA.size() == 2 && partsB.size() == 1)
		return 3;
	if (partsA.size() == 1 && partsB.size() == 2)
		return 2;
	if (partsA.size() == 2 && partsB.size() == 2)
		return 1;
	return 0;
}

void VIntlMgr::GetAllDialects(std::vector<DialectCode>& outDialects)
{
	for (const VDialectRow& row : DialectTable)
		outDialects.push_back(row.fLangID);
}

void VIntlMgr::GetDialectsHavingCollator(std::vector<std::pair<VString, DialectCode>>& outDialects)
{
	for (const VDialectRow& row : DialectTable) {
		VString name;
		name.FromCString(FindDialectRow(row.fLangID)->fISO6391);
		outDialects.emplace_back(name, row.fLangID);
	}
}

sLONG VIntlMgr::DialectCodeToScriptCode(DialectCode inDialect)
{
	constexpr sLONG kRomanScript = 0;
	switch (inDialect) {
	case 1041:
		return 1;
	case 1028:
		return 2;
	case 2052:
		return 3;
	case 1042:
		return 4;
	case 1025:
	case 2049:
		return 5;
	case 1037:
		return 6;
	case 1032:
		return 7;
	case 1026:
	case 1049:
	case 1058:
	case 1059:
	case 1071:
	case 1092:
	case 1104:
		return 8;
	case 1029:
	case 1038:
	case 1045:
	case 1051:
	case 1061:
	case 1062:
	case 1063:
	case 1091:
		return 9;
	case 1050:
	case 1060:
		return 10;
	case 1039:
	case 1080:
		return 11;
	case 1065:
		return 12;
	case 1048:
		return 13;
	case 1054:
		return 14;
	case 1066:
		return 15;
	case 1055:
		return 16;
	default:
		break;
	}
	// The other dialects of the table write with the Latin alphabet, except
	// those whose script the kernel has no number for.
	const VDialectRow* row = FindDialectRow(inDialect);
	if (row == nullptr)
		return -1;
	static const char* const kOtherScripts[] = {"ar", "hy", "am", "be", "bn", "zh", "fa", "gu", "hi", "kh", "ko",
												"mk", "mr", "ml", "mn", "ne", "or", "pa", "si", "sr", "ta", "th",
												"uk", "ur", "ja", "he", "el", "ru", "bg"};
	for (const char* language : kOtherScripts) {
		if (std::strcmp(row->fISO6391, language) == 0)
			return -1;
	}
	return kRomanScript;
}

bool VIntlMgr::IsAMacCharacter(uint8 inByte, sLONG inKind)
{
	const bool isUpper = inByte >= 'A' && inByte <= 'Z';
	const bool isLower = inByte >= 'a' && inByte <= 'z';
	switch (inKind) {
	case 0:
		return inByte == '\t' || inByte == '\r' || (inByte >= 0x20 && inByte != 0x7F);
	case 1:
		return isUpper || isLower;
	case 2:
		return isUpper;
	case 3:
		return isLower;
	case 4:
		return inByte >= 0x21 && inByte < 0x7F && !isUpper && !isLower && !(inByte >= '0' && inByte <= '9');
	case 5:
		return inByte >= '0' && inByte <= '9';
	default:
		return false;
	}
}

} // namespace qirn
