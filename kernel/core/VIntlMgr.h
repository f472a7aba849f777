#pragma once

#include "core/IRefCountable.h"
#include "core/VCollator_system.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "core/platform/XLinuxIntlMgr.h"

#include <utility>
#include <vector>

namespace qirn {

class IFile;
class IFolder;
class VCompareOptions;
class VDuration;
class VTime;

// Languages and regions: Windows language identifiers, the primary language
// in the low 10 bits. -2, -1 and 0 stand for the system's dialect.
using DialectCode = sLONG;
constexpr DialectCode DC_SYSTEM = 0;
constexpr DialectCode DC_ENGLISH_US = 1033;

// Raised when the platform cannot collate a dialect's text.
constexpr VError VE_INTL_CANNOT_CREATE_COLLATOR = MAKE_VERROR('qirn', 305);

// Date and time text lengths.
enum EOSFormats : sLONG { eOS_SHORT_FORMAT = 0, eOS_MEDIUM_FORMAT = 1, eOS_LONG_FORMAT = 2 };

// How FindStrings accepts a match against the words of the text.
enum EFindStringMode : sLONG {
	eFindWholeWords = 3, // neither end of the match inside a word
	eFindAnywhere = 4,
	eFindWordStarts = 5, // the match does not start inside a word
	eFindWordEnds = 6,	 // the match does not end inside a word
};

// Words are runs of letters and digits.
constexpr uint32 eKW_WordsOfLettersAndDigits = 1;

// The answers to every language question of the kernel for one dialect:
// its collation, separators, symbols and date formats, its character
// classes and word boundaries, and the dialect table's names. The process
// owns one, made at start-up; each task works through a clone of it.
class VIntlMgr : public VObject, public IRefCountable {
public:
	// A manager (one reference for the caller), or null with error 305 when
	// the platform cannot collate. A dialect missing from the table falls
	// back to its primary language, then to US English.
	static VIntlMgr* Create(DialectCode inDialect, DialectCode inCollationDialect = DC_SYSTEM, uint32 inOptions = 0);
	// A copy with a clone of the collator (one reference for the caller), or
	// null when the collator cannot be copied.
	VIntlMgr* Clone() const;

	// The US-English manager of code that runs outside any task, or before
	// the process starts. It lives as long as the process.
	static VIntlMgr* GetDefaultMgr();

	// The system's dialect: the user's first preferred language.
	static DialectCode ResolveDialectCode(DialectCode inDialect);
	static DialectCode GetSystemUIDialectCode();
	static void GetSystemUIDialectCodes(std::vector<DialectCode>& outDialects);
	static bool IsSystemUIDialectIdeographic();

	// The dialect table, searched from its first row.
	static bool IsDialectCode(DialectCode inDialect);
	static bool IsRightToLeftDialect(DialectCode inDialect);
	static bool GetISO6391LanguageCode(DialectCode inDialect, VString& outCode);
	static const char* GetISO6391LanguageCode(DialectCode inDialect);
	static bool GetISO6392LanguageCode(DialectCode inDialect, VString& outCode);
	static bool GetISOLanguageName(DialectCode inDialect, VString& outName);
	static bool GetISO3166RegionCode(DialectCode inDialect, VString& outCode);
	static const char* GetISO3166RegionCode(DialectCode inDialect);
	static bool GetRFC3066BisSubTagRegionCode(DialectCode inDialect, VString& outCode);
	// The tag the platform's locale is made from: language, then "-" and the
	// region when the dialect has one.
	static bool GetBCP47LanguageCode(DialectCode inDialect, VString& outTag);
	// The language, then the separator and the subtag when there is one
	// (2057 gives en-gb, 2052 zh-Hans).
	static bool GetRFC3066BisLanguageCodeWithDialectCode(DialectCode inDialect, VString& outTag,
														 UniChar inSeparator = u'-');
	// The dialect of a tag ("de-CH", "fr", "pt_BR"); -2 and false when none.
	// Without a row for the subtag, inFallBackToLanguage tries the language;
	// inPrimary answers a bare language's primary code.
	static bool GetDialectCodeWithRFC3066BisLanguageCode(const VString& inTag, DialectCode& outDialect,
														 bool inFallBackToLanguage = true, bool inPrimary = false);
	static bool GetDialectCodeWithRFC3066BisLanguageCode(const char* inLanguage, const char* inSubTag,
														 DialectCode& outDialect, bool inFallBackToLanguage = true,
														 bool inPrimary = false);
	static bool GetDialectCodeWithISOLanguageName(const VString& inName, DialectCode& outDialect);
	// -1 when either is no known tag; 4 equal; 3 a has a subtag that b lacks;
	// 2 the reverse; 1 same language, different subtags; 0 otherwise.
	static sLONG Compare2RFC3066LanguageCodes(const VString& inTagA, const VString& inTagB);
	static void GetAllDialects(std::vector<DialectCode>& outDialects);
	static void GetDialectsHavingCollator(std::vector<std::pair<VString, DialectCode>>& outDialects);

	// Localization folders: the existing "<name>.lproj" folders below the
	// parent for the dialect, most specific first (the tag with '-', with
	// '_', the language, the language with its region, the English language
	// name); appended to the list. False when none exists.
	static bool GetLocalizationFoldersWithDialect(DialectCode inDialect, const IFolder* inParent,
												  std::vector<VRefPtr<IFolder>>& ioFolders);
	// The file of that name in the most specific of those folders that holds
	// it (one reference for the caller), or null; outHasFolders tells whether
	// any localization folder exists.
	[[nodiscard]] static IFile* RetainLocalizationFile(const IFolder* inParent, const VString& inFileName,
													   DialectCode inDialect, bool* outHasFolders = nullptr);
	static sLONG DialectCodeToScriptCode(DialectCode inDialect);
	// A class test on a Mac Roman byte: 0 printable, 1 letter, 2 upper-case
	// letter, 3 lower-case letter, 4 punctuation, 5 ASCII digit.
	static bool IsAMacCharacter(uint8 inByte, sLONG inKind);

	// The manager's settings.
	DialectCode GetDialectCode() const { return fDialectCode; }
	sLONG GetCollationKind() const { return fCollationKind; }
	VCollator* GetCollator() const { return fCollator; }
	const VString& GetAMString() const { return fAMString; }
	const VString& GetPMString() const { return fPMString; }
	bool UseAmPmInShortTime() const { return fUseAmPm; }
	const VString& GetDecimalSeparator() const { return fDecimalSeparator; }
	const VString& GetThousandsSeparator() const { return fThousandsSeparator; }
	const VString& GetDateSeparator() const { return fDateSeparator; }
	const VString& GetTimeSeparator() const { return fTimeSeparator; }
	const VString& GetCurrency() const { return fCurrency; }
	const VString& GetDatePattern(EOSFormats inFormat) const;
	const VString& GetFullDatePattern() const { return fDatePatterns[3]; }
	const VString& GetTimePattern(EOSFormats inFormat) const;
	const VString& GetFullTimePattern() const { return fTimePatterns[3]; }
	// 0 month-day-year, 1 day-month-year, 2 year-month-day, 3 month-year-day,
	// 4 day-year-month, 5 year-day-month.
	sLONG GetDateOrder() const { return fDateOrder; }
	XLinuxIntlMgr& GetPlatformIntlMgr() { return fImpl; }
	const XLinuxIntlMgr& GetPlatformIntlMgr() const { return fImpl; }

	// Dates and times in the platform's styles: short, medium, or long
	// (the date's long is the platform's full style); the UTC fields as they
	// stand with inUTC, otherwise local time.
	void FormatDate(const VTime& inTime, VString& outText, EOSFormats inFormat, bool inUTC) const;
	void FormatTime(const VTime& inTime, VString& outText, EOSFormats inFormat, bool inUTC) const;
	void FormatDuration(const VDuration& inDuration, VString& outText, EOSFormats inFormat) const;
	void GetMonthName(sLONG inMonth, bool inAbbreviated, VString& outName) const;
	void GetWeekDayName(sLONG inDay, bool inAbbreviated, VString& outName) const;
	void CustomFormatTime(const VTime& inTime, bool inUTC, const VString& inPattern, VString& outText) const;
	// The time's fields by a pattern's runs of letters ("yyyy-MM-dd HH:mm",
	// "EEEE d MMMM"); other characters are copied.
	void FormatDateTimeWithPattern(const VTime& inTime, const VString& inPattern, bool inUTC, VString* inReserved,
								   VString& outText) const;

	// Collation, by the manager's collator.
	// Inline: the hottest text path of the kernel comes through here.
	CompareResult CompareString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2, VIndex inLength2,
								bool inDiacritical) const
	{
		return fCollator->CompareString(inText1, inLength1, inText2, inLength2, inDiacritical);
	}
	CompareResult CompareString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2, VIndex inLength2,
								const VCompareOptions& inOptions) const;
	bool EqualString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2, VIndex inLength2,
					 bool inDiacritical) const
	{
		return fCollator->EqualString(inText1, inLength1, inText2, inLength2, inDiacritical);
	}
	bool EqualString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2, VIndex inLength2,
					 const VCompareOptions& inOptions) const;
	CompareResult CompareString_Like(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
									 VIndex inPatternLength, bool inDiacritical) const;
	bool EqualString_Like(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
						  VIndex inPatternLength, bool inDiacritical) const;
	UniChar GetWildChar() const;
	void GetStringComparisonAlgorithmSignature(VString& outSignature) const;
	void GetKewordAlgorithmSignature(VString& outSignature) const;
	// The collator's wildcard back to the default.
	void Reset();

	// Search for words.
	bool FindWord(const VString& inText, const VString& inWord, const VCompareOptions& inOptions) const;
	// The (1-based start, length) of the matches of a pattern, accepted by
	// the mode against the text's words; all of them, or the first.
	void FindStrings(const VString& inText, const VString& inPattern, EFindStringMode inMode, bool inDiacritical,
					 std::vector<std::pair<VIndex, VIndex>>& outRanges, bool inAll) const;

	// Characters.
	sLONG CharType(UniChar /*inChar*/) const { return 0; }
	bool IsAlpha(UniChar inChar) const;
	// Any numeric character, not only 0-9.
	bool IsDigit(UniChar inChar) const;
	bool IsPunctuation(UniChar inChar) const;
	// 0-9 for '0'-'9', -1 for any other character.
	sLONG CharDigitValue(UniChar inChar) const;
	// The spaces: U+0020, U+00A0, U+2000-U+200B, U+3000; never a control
	// character, tab included.
	bool IsSpace(UniChar inChar, bool inFlag = false) const;
	// False, the text unchanged, when the platform cannot map it.
	bool ToUpperLowerCase(VString& ioText, bool inUpper, bool inFlag = false) const;

	// The (1-based start, length) of the words of a text. Only words of
	// letters and digits (option 1) are known: without it, and for an empty
	// text, no word and false.
	bool GetWordBoundariesWithOptions(const VString& inText, std::vector<std::pair<VIndex, VIndex>>& outRanges,
									  uint32 inOptions) const;

protected:
	~VIntlMgr() override;

private:
	explicit VIntlMgr(DialectCode inDialect);
	VIntlMgr(const VIntlMgr& inOther);
	VIntlMgr& operator=(const VIntlMgr&) = delete;

	void _FillLocaleVariables();

	XLinuxIntlMgr fImpl;
	sLONG fReserved = 0;
	sLONG fCollationKind = 1; // the system collation
	// The system collator is the only kind: its type known here, the hot
	// comparisons below reach the platform's comparer without a virtual call.
	VCollator_system* fCollator = nullptr;
	DialectCode fDialectCode;
	VString fAMString;
	VString fPMString;
	bool fUseAmPm = false;
	VString fDecimalSeparator;
	VString fThousandsSeparator;
	VString fDateSeparator;
	VString fTimeSeparator;
	VString fCurrency;
	VString fDatePatterns[4]; // short, medium, long, full
	VString fTimePatterns[4];
	sLONG fDateOrder = 0;
};

} // namespace qirn
