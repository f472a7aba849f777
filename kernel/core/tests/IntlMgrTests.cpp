#include "core/VCollator.h"
#include "core/VCompareOptions.h"
#include "core/VIntlMgr.h"
#include "core/VRefPtr.h"
#include "runtime/VTask.h"

#include <gtest/gtest.h>

#include <unicode/datefmt.h>
#include <unicode/smpdtfmt.h>

#include <memory>
#include <string>

namespace qirn {
namespace {

VRefPtr<VIntlMgr> Make(DialectCode inDialect, DialectCode inCollation = DC_SYSTEM, uint32 inOptions = 0)
{
	return VRefPtr<VIntlMgr>::Adopt(VIntlMgr::Create(inDialect, inCollation == DC_SYSTEM ? inDialect : inCollation,
													 inOptions));
}

std::string Narrow(const VString& inText)
{
	std::string text;
	for (VIndex i = 0; i < inText.GetLength(); ++i)
		text.push_back(static_cast<char>(inText.GetCPointer()[i]));
	return text;
}

// The platform's own pattern for a locale and styles.
VString ICUPattern(const char* inLocale, icu::DateFormat::EStyle inDate, icu::DateFormat::EStyle inTime)
{
	std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateTimeInstance(inDate, inTime, inLocale));
	icu::UnicodeString pattern;
	dynamic_cast<icu::SimpleDateFormat&>(*format).toPattern(pattern);
	return VString(pattern.getBuffer(), pattern.length());
}

TEST(IntlMgr, CreationFallsBackToTheLanguageThenToUSEnglish)
{
	struct Case {
		DialectCode fDialect;
		DialectCode fCollation;
		DialectCode fExpectedDialect;
		DialectCode fExpectedCollation;
	};
	const Case cases[] = {
		{1034, 1034, 1034, 1034},
		{6151, 6151, 1031, 1031}, // no such German region: German
		{1023, 1023, 1033, 1033}, // no such language
		{1036, 1038, 1036, 1033}, // Hungarian collates as US English
		{1036, 1054, 1036, 1033}, // so does Thai
		{2057, 2055, 2057, 2055},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fDialect);
		VRefPtr<VIntlMgr> manager = Make(c.fDialect, c.fCollation);
		ASSERT_NE(manager, nullptr);
		EXPECT_EQ(manager->GetDialectCode(), c.fExpectedDialect);
		EXPECT_EQ(manager->GetCollator()->GetDialectCode(), c.fExpectedCollation);
		EXPECT_EQ(manager->GetWildChar(), u'@');
	}
}

TEST(IntlMgr, ACloneHasItsOwnCollatorWithTheSameSettings)
{
	VRefPtr<VIntlMgr> manager = Make(1036);
	manager->GetCollator()->SetWildChar(u'*');
	VRefPtr<VIntlMgr> clone = VRefPtr<VIntlMgr>::Adopt(manager->Clone());
	ASSERT_NE(clone, nullptr);
	EXPECT_NE(clone->GetCollator(), manager->GetCollator());
	EXPECT_EQ(clone->GetDialectCode(), 1036);
	EXPECT_EQ(clone->GetWildChar(), u'*');
	EXPECT_TRUE(clone->GetDecimalSeparator().EqualToStringRaw(manager->GetDecimalSeparator()));
	clone->Reset();
	EXPECT_EQ(clone->GetWildChar(), u'@');
	EXPECT_EQ(manager->GetWildChar(), u'*');
}

TEST(IntlMgr, CreatingTheCurrentTasksSettingsAgainClonesThemWithTheDefaultWildcard)
{
	VIntlMgr* current = VTask::GetCurrentIntlManager();
	const UniChar wild = current->GetWildChar();
	current->GetCollator()->SetWildChar(u'%');
	VRefPtr<VIntlMgr> manager = Make(current->GetDialectCode(), current->GetCollator()->GetDialectCode(),
									 current->GetCollator()->GetOptions() == 1 ? 0 : current->GetCollator()->GetOptions());
	current->GetCollator()->SetWildChar(wild);
	ASSERT_NE(manager, nullptr);
	EXPECT_NE(manager.Get(), current);
	EXPECT_EQ(manager->GetWildChar(), u'@');
}

TEST(IntlMgr, TheLocaleVariablesComeFromThePlatform)
{
	struct Case {
		DialectCode fDialect;
		const char* fLocale;
		const char* fDecimal;
		const char* fGrouping;
		const char* fDateSeparator;
		const char* fTimeSeparator;
		sLONG fDateOrder;
		bool fAmPm;
	};
	const Case cases[] = {
		{1033, "en_US", ".", ",", "/", ":", 0, true},
		{1031, "de_DE", ",", ".", ".", ":", 1, false},
		{1036, "fr_FR", ",", "\xE2\x80\xAF", "/", ":", 1, false},
		{1053, "sv_SE", ",", "\xC2\xA0", "-", ":", 2, false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fLocale);
		VRefPtr<VIntlMgr> manager = Make(c.fDialect);
		ASSERT_NE(manager, nullptr);
		EXPECT_TRUE(manager->GetDecimalSeparator().EqualToStringRaw(VString(c.fDecimal)));
		EXPECT_TRUE(manager->GetThousandsSeparator().EqualToStringRaw(VString(c.fGrouping)));
		EXPECT_TRUE(manager->GetDateSeparator().EqualToStringRaw(VString(c.fDateSeparator)));
		EXPECT_TRUE(manager->GetTimeSeparator().EqualToStringRaw(VString(c.fTimeSeparator)));
		EXPECT_EQ(manager->GetDateOrder(), c.fDateOrder);
		EXPECT_EQ(manager->UseAmPmInShortTime(), c.fAmPm);
		EXPECT_TRUE(manager->GetDatePattern(eOS_SHORT_FORMAT)
						.EqualToStringRaw(ICUPattern(c.fLocale, icu::DateFormat::kShort, icu::DateFormat::kNone)));
		EXPECT_TRUE(manager->GetFullTimePattern().EqualToStringRaw(
			ICUPattern(c.fLocale, icu::DateFormat::kNone, icu::DateFormat::kFull)));
	}
	VRefPtr<VIntlMgr> english = Make(1033);
	EXPECT_EQ(Narrow(english->GetAMString()), "AM");
	EXPECT_EQ(Narrow(english->GetPMString()), "PM");
	EXPECT_EQ(Narrow(english->GetCurrency()), "$");
	EXPECT_TRUE(Make(1031)->GetCurrency().EqualToStringRaw(VString("\xE2\x82\xAC")));
}

TEST(IntlMgr, TagsAndDialects)
{
	struct Case {
		const char* fTag;
		bool fFound;
		DialectCode fDialect;
	};
	const Case cases[] = {
		{"de-CH", true, 2055}, {"de_ch", true, 2055}, {"en-US", true, 1033}, {"zh-TW", false, -2},
		{"fr", true, 1036},	   {"de-CH-x", false, -2}, {"", false, -2},		 {"xx", false, -2},
		{"zh-Hans", true, 2052}, {"en_GB-x", false, -2},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fTag);
		DialectCode dialect = 0;
		EXPECT_EQ(VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(VString(c.fTag), dialect), c.fFound);
		EXPECT_EQ(dialect, c.fDialect);
	}
	DialectCode dialect = 0;
	EXPECT_FALSE(VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(VString("en-XX"), dialect, false));
	EXPECT_TRUE(VIntlMgr::GetDialectCodeWithRFC3066BisLanguageCode(VString("nl"), dialect, true, true));
	EXPECT_EQ(dialect, 1043);

	struct TagCase {
		DialectCode fDialect;
		UniChar fSeparator;
		const char* fTag;
	};
	const TagCase tags[] = {{1033, u'-', "en"}, {2057, u'-', "en-gb"}, {2052, u'-', "zh-Hans"}, {2055, u'_', "de_ch"}};
	for (const TagCase& c : tags) {
		SCOPED_TRACE(c.fDialect);
		VString tag;
		EXPECT_TRUE(VIntlMgr::GetRFC3066BisLanguageCodeWithDialectCode(c.fDialect, tag, c.fSeparator));
		EXPECT_EQ(Narrow(tag), c.fTag);
	}
	VString tag("stale");
	EXPECT_FALSE(VIntlMgr::GetRFC3066BisLanguageCodeWithDialectCode(4242, tag));
	EXPECT_TRUE(tag.IsEmpty());
	EXPECT_TRUE(VIntlMgr::GetBCP47LanguageCode(2052, tag));
	EXPECT_EQ(Narrow(tag), "zh-CN");
	EXPECT_TRUE(VIntlMgr::GetBCP47LanguageCode(1042, tag));
	EXPECT_EQ(Narrow(tag), "ko");
}

TEST(IntlMgr, TwoTagsCompareByLanguageAndSubtag)
{
	struct Case {
		const char* fA;
		const char* fB;
		sLONG fExpected;
	};
	const Case cases[] = {
		{"fr-ca", "fr", 3}, {"fr", "fr-ca", 2}, {"fr-be", "fr-ca", 1}, {"FR-CA", "fr-ca", 4},
		{"fr", "de", 0},	{"xx", "fr", -1},	{"fr", "fr-xx", 2},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fA) + " " + c.fB);
		EXPECT_EQ(VIntlMgr::Compare2RFC3066LanguageCodes(VString(c.fA), VString(c.fB)), c.fExpected);
	}
}

TEST(IntlMgr, TheTableAnswersByItsFirstRow)
{
	std::vector<DialectCode> all;
	VIntlMgr::GetAllDialects(all);
	EXPECT_EQ(all.size(), 154u);
	EXPECT_EQ(all.front(), 1078);
	EXPECT_EQ(all.back(), 1077);
	VString name;
	EXPECT_TRUE(VIntlMgr::GetISOLanguageName(1044, name));
	EXPECT_EQ(Narrow(name), "norwegian"); // not its second row, bokmal
	EXPECT_STREQ(VIntlMgr::GetISO3166RegionCode(1036), "FR");
	EXPECT_EQ(VIntlMgr::GetISO3166RegionCode(9999), nullptr);
	EXPECT_FALSE(VIntlMgr::GetISO3166RegionCode(1042, name));
	EXPECT_TRUE(name.IsEmpty());
	DialectCode dialect = 0;
	EXPECT_TRUE(VIntlMgr::GetDialectCodeWithISOLanguageName(VString("German"), dialect));
	EXPECT_EQ(dialect, 1031);
	EXPECT_TRUE(VIntlMgr::IsRightToLeftDialect(1025));
	EXPECT_TRUE(VIntlMgr::IsRightToLeftDialect(1037));
	EXPECT_FALSE(VIntlMgr::IsRightToLeftDialect(1036));
	EXPECT_EQ(VIntlMgr::DialectCodeToScriptCode(1041), 1);
	EXPECT_EQ(VIntlMgr::DialectCodeToScriptCode(1033), 0);
	EXPECT_EQ(VIntlMgr::DialectCodeToScriptCode(9999), -1);
	EXPECT_EQ(VIntlMgr::ResolveDialectCode(1036), 1036);
	EXPECT_EQ(VIntlMgr::ResolveDialectCode(-1), VIntlMgr::ResolveDialectCode(0));
}

TEST(IntlMgr, CharacterClasses)
{
	VRefPtr<VIntlMgr> manager = Make(1033);
	EXPECT_FALSE(manager->IsSpace(u'\t'));
	EXPECT_TRUE(manager->IsSpace(0x200B));
	EXPECT_TRUE(manager->IsSpace(0x3000));
	EXPECT_FALSE(manager->IsSpace(0x200C));
	EXPECT_TRUE(manager->IsAlpha(0x00AA));
	EXPECT_TRUE(manager->IsAlpha(0x00E9));
	EXPECT_FALSE(manager->IsAlpha(u'1'));
	EXPECT_TRUE(manager->IsDigit(0x00B2)); // every numeric character
	EXPECT_TRUE(manager->IsDigit(0x0663));
	EXPECT_TRUE(manager->IsPunctuation(u'@'));
	EXPECT_FALSE(manager->IsPunctuation(u'$'));
	EXPECT_EQ(manager->CharDigitValue(u'7'), 7);
	EXPECT_EQ(manager->CharDigitValue(0x0663), -1);
	EXPECT_TRUE(VIntlMgr::IsAMacCharacter('\t', 0));
	EXPECT_FALSE(VIntlMgr::IsAMacCharacter(0x7F, 0));
	EXPECT_TRUE(VIntlMgr::IsAMacCharacter('5', 5));
	EXPECT_FALSE(VIntlMgr::IsAMacCharacter('5', 9));
}

TEST(IntlMgr, CaseMappingNeverCutsTheText)
{
	VRefPtr<VIntlMgr> manager = Make(1033);
	struct Case {
		VString fText;
		bool fUpper;
		VString fExpected;
	};
	VString longSharpS;
	VString longExpected;
	for (int i = 0; i < 300; ++i) {
		longSharpS.AppendUniChar(0x00DF);
		longExpected.AppendCString("SS");
	}
	VString tripled;
	VString tripledExpected;
	for (int i = 0; i < 100; ++i) {
		tripled.AppendUniChar(0x0390); // upper-cases to three units
		tripledExpected.AppendUniChars(u"\u0399\u0308\u0301", 3);
	}
	const Case cases[] = {
		{VString("Stra\xC3\x9F" "e"), true, VString("STRASSE")},
		{VString("\xC3\x89T\xC3\x89"), false, VString("\xC3\xA9t\xC3\xA9")},
		{VString(""), true, VString("")},
		{longSharpS, true, longExpected},
		{tripled, true, tripledExpected},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText.GetLength());
		VString text(c.fText);
		EXPECT_TRUE(manager->ToUpperLowerCase(text, c.fUpper));
		EXPECT_TRUE(text.EqualToStringRaw(c.fExpected));
	}
}

TEST(IntlMgr, WordsAreRunsOfLettersAndDigits)
{
	VRefPtr<VIntlMgr> manager = Make(1033);
	std::vector<std::pair<VIndex, VIndex>> ranges;
	EXPECT_TRUE(manager->GetWordBoundariesWithOptions(VString("  Caf\xC3\xA9 au-lait, 42!"), ranges, 1));
	const std::vector<std::pair<VIndex, VIndex>> expected = {{3, 4}, {8, 2}, {11, 4}, {17, 2}};
	EXPECT_EQ(ranges, expected);
	EXPECT_FALSE(manager->GetWordBoundariesWithOptions(VString("abc"), ranges, 0));
	EXPECT_TRUE(ranges.empty());
	EXPECT_FALSE(manager->GetWordBoundariesWithOptions(VString(""), ranges, 1));
}

TEST(IntlMgr, FindWordAndFindStringsRespectWords)
{
	VRefPtr<VIntlMgr> manager = Make(1033);
	VCompareOptions options;
	EXPECT_TRUE(manager->FindWord(VString("the cat sat"), VString("CAT"), options));
	EXPECT_FALSE(manager->FindWord(VString("concatenate cat"), VString("cate"), options));
	EXPECT_TRUE(manager->FindWord(VString("concat cat"), VString("cat"), options));
	options.SetLike(true);
	EXPECT_TRUE(manager->FindWord(VString("the category"), VString("cat@"), options));
	EXPECT_FALSE(manager->FindWord(VString("the dog"), VString("cat@"), options));

	const VString text("cat concat cats");
	struct Case {
		EFindStringMode fMode;
		std::vector<std::pair<VIndex, VIndex>> fExpected;
	};
	const Case cases[] = {
		{eFindWholeWords, {{1, 3}}},
		{eFindAnywhere, {{1, 3}, {8, 3}, {12, 3}}},
		{eFindWordStarts, {{1, 3}, {12, 3}}},
		{eFindWordEnds, {{1, 3}, {8, 3}}},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fMode);
		std::vector<std::pair<VIndex, VIndex>> ranges;
		manager->FindStrings(text, VString("CAT"), c.fMode, false, ranges, true);
		EXPECT_EQ(ranges, c.fExpected);
		manager->FindStrings(text, VString("CAT"), c.fMode, false, ranges, false);
		EXPECT_EQ(ranges.size(), 1u);
	}
	std::vector<std::pair<VIndex, VIndex>> ranges = {{1, 1}};
	manager->FindStrings(text, VString(""), eFindAnywhere, false, ranges, true);
	EXPECT_TRUE(ranges.empty());
}

} // namespace
} // namespace qirn
