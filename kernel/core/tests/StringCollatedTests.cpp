#include "core/VCompareOptions.h"
#include "core/VIntlMgr.h"
#include "core/VString.h"
#include "runtime/VTask.h"

#include "testing/TestDialect.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

// The expected answers are those of US English.
class StringCollated : public testing::InUSEnglish {};

TEST_F(StringCollated, EqualityAndOrderFollowTheLanguage)
{
	const VString resume("r\xC3\xA9sum\xC3\xA9");
	EXPECT_TRUE(resume.EqualToString(VString("RESUME")));
	EXPECT_FALSE(resume.EqualToString(VString("RESUME"), true));
	EXPECT_TRUE(resume.EqualToString(VString("r\xC3\xA9sum\xC3\xA9"), true));
	EXPECT_EQ(VString("apple").CompareToString(VString("Banana")), CR_SMALLER);
	EXPECT_EQ(VString("apple").CompareToStringRaw(VString("Banana")), CR_BIGGER);
	EXPECT_TRUE(resume.EqualToString_Like(VString("res@")));
	EXPECT_EQ(resume.CompareToString_Like(VString("@SUM\xC3\x89"), true), CR_SMALLER);
}

TEST_F(StringCollated, FindCountsFromTheStartOfTheWholeString)
{
	struct Case {
		const char* fText;
		const char* fPattern;
		VIndex fStart;
		bool fDiacritical;
		VIndex fExpected;
		VIndex fLength;
	};
	const Case cases[] = {
		{"banana", "AN", 1, false, 2, 2},	{"banana", "AN", 3, false, 4, 2}, {"banana", "an", 5, false, 0, 0},
		{"banana", "an", 7, false, 0, 0},	{"banana", "an", 8, false, 0, 0}, {"banana", "an", 0, false, 0, 0},
		{"caf\xC3\xA9 cafe", "cafe", 1, true, 6, 4}, {"xcafe\xCC\x81", "caf\xC3\xA9", 1, true, 2, 5},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fText) + " / " + c.fPattern);
		VIndex length = -1;
		EXPECT_EQ(VString(c.fText).Find(VString(c.fPattern), c.fStart, c.fDiacritical, &length), c.fExpected);
		EXPECT_EQ(length, c.fLength);
	}
}

TEST_F(StringCollated, PrefixesAndSuffixes)
{
	const VString text("\xC3\x89t\xC3\xA9 \xC3\xA0 Paris");
	EXPECT_TRUE(text.BeginsWith(VString("ete")));
	EXPECT_FALSE(text.BeginsWith(VString("ete"), true));
	EXPECT_TRUE(text.BeginsWith(VString("")));
	EXPECT_TRUE(text.EndsWith(VString("A PARIS")));
	EXPECT_FALSE(text.EndsWith(VString("A PARIS"), true));
	EXPECT_FALSE(text.EndsWith(VString("Pari")));
	EXPECT_FALSE(VString("ab").BeginsWith(VString("abc")));
	// A prefix written with fewer units than the text's own.
	EXPECT_TRUE(VString("e\xCC\x81t\xC3\xA9").BeginsWith(VString("\xC3\xA9t"), true));
}

TEST_F(StringCollated, ExchangeReplacesCollatedMatches)
{
	struct Case {
		const char* fText;
		const char* fPattern;
		const char* fReplacement;
		VIndex fStart;
		VIndex fMaxCount;
		bool fDiacritical;
		const char* fExpected;
	};
	const Case cases[] = {
		{"Caf\xC3\xA9 cafe CAFE", "cafe", "tea", 1, 100, false, "tea tea tea"},
		{"Caf\xC3\xA9 cafe CAFE", "cafe", "tea", 1, 100, true, "Caf\xC3\xA9 tea CAFE"},
		{"banana", "A", "o", 1, 2, false, "bonona"},
		{"banana", "a", "o", 3, 100, false, "banono"},
		{"banana", "a", "o", 1, 0, false, "banana"},
		{"banana", "x", "o", 1, 100, false, "banana"},
		{"banana", "an", "", 1, 100, false, "ba"},
		{"e\xCC\x81t\xC3\xA9", "\xC3\xA9", "E", 1, 100, true, "EtE"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fText) + " / " + c.fPattern);
		VString text(c.fText);
		text.Exchange(VString(c.fPattern), VString(c.fReplacement), c.fStart, c.fMaxCount, c.fDiacritical);
		EXPECT_TRUE(text.EqualToStringRaw(VString(c.fExpected)));
	}
}

TEST_F(StringCollated, CaseMappingMayLengthenTheText)
{
	VString text("stra\xC3\x9F" "e \xEF\xAC\x83");
	text.ToUpperCase();
	EXPECT_TRUE(text.EqualToStringRaw(VString("STRASSE FFI")));
	text.ToLowerCase();
	EXPECT_TRUE(text.EqualToStringRaw(VString("strasse ffi")));
}

TEST_F(StringCollated, TrueIsReadAsAPersonWritesIt)
{
	struct Case {
		const char* fText;
		uint8 fExpected;
	};
	const Case cases[] = {{"true", 1}, {"TRUE", 1}, {"tr\xC3\xBC" "e", 1}, {"\xEF\xBD\x94rue", 1},
						  {"true ", 0}, {"1", 0},	 {"", 0},				   {"false", 0}};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		EXPECT_EQ(VString(c.fText).GetBoolean(), c.fExpected);
	}
}

TEST_F(StringCollated, ASeparatorStringIsMatchedByCollation)
{
	std::vector<VString> parts;
	EXPECT_TRUE(VString("a AND b and  c").GetSubStrings(VString("and"), parts, false, true));
	ASSERT_EQ(parts.size(), 3u);
	EXPECT_TRUE(parts[0].EqualToStringRaw(VString("a")));
	EXPECT_TRUE(parts[1].EqualToStringRaw(VString("b")));
	EXPECT_TRUE(parts[2].EqualToStringRaw(VString("c")));
	EXPECT_FALSE(VString("a AND b").GetSubStrings(VString("and"), parts, false, false, true));
	ASSERT_EQ(parts.size(), 1u);
	EXPECT_TRUE(VString("{{a}}{{b").GetSubStrings(VString("{{"), parts, true, false));
	ASSERT_EQ(parts.size(), 3u);
	EXPECT_TRUE(parts[0].IsEmpty());
	EXPECT_TRUE(parts[1].EqualToStringRaw(VString("a}}")));
	EXPECT_FALSE(VString("").GetSubStrings(VString(","), parts, true));
	EXPECT_EQ(parts.size(), 1u);
	// An empty separator takes no text: one part, no endless split.
	EXPECT_FALSE(VString("abc").GetSubStrings(VString(""), parts));
	EXPECT_EQ(parts.size(), 1u);
}

TEST_F(StringCollated, WhiteSpaceIsTheManagersWhenOneIsGiven)
{
	VIntlMgr* manager = VTask::GetCurrentIntlManager();
	const VString source("\t\xE2\x80\x83 word\xE3\x80\x80\t");
	struct Case {
		VIntlMgr* fManager;
		const char* fExpected;
		VIndex fLeading;
		VIndex fTrailing;
	};
	const Case cases[] = {
		{nullptr, "\xE2\x80\x83 word\xE3\x80\x80", 1, 1}, // space and tab only
		{manager, "\t\xE2\x80\x83 word\xE3\x80\x80\t", 0, 0}, // tab is no space there
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fManager != nullptr);
		VString text(source);
		VIndex leading = -1;
		VIndex trailing = -1;
		text.RemoveWhiteSpaces(true, true, &leading, &trailing, c.fManager);
		EXPECT_TRUE(text.EqualToStringRaw(VString(c.fExpected)));
		EXPECT_EQ(leading, c.fLeading);
		EXPECT_EQ(trailing, c.fTrailing);
	}
	VString spaced("\xE2\x80\x83 word\xE3\x80\x80");
	spaced.RemoveWhiteSpaces(true, true, nullptr, nullptr, manager);
	EXPECT_TRUE(spaced.EqualToStringRaw(VString("word")));
}

TEST_F(StringCollated, TheDecimalSeparatorIsTheLanguages)
{
	EXPECT_EQ(VString("12.5").GetLong8(), 12);
	EXPECT_EQ(VString("1,234").GetLong8(), 1234);
	testing::StCurrentDialect german(1031);
	EXPECT_EQ(VString("12.5").GetLong8(), 125);
	EXPECT_EQ(VString("1,234").GetLong8(), 1);
}

TEST_F(StringCollated, NewCompareOptionsTakeTheCurrentManager)
{
	VCompareOptions options;
	EXPECT_EQ(options.GetIntlManager(), VTask::GetCurrentIntlManager());
}

} // namespace
} // namespace qirn
