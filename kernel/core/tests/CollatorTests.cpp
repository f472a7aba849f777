#include "core/VCollator.h"
#include "core/VIntlMgr.h"
#include "core/VRefPtr.h"
#include "core/VString.h"

#include <gtest/gtest.h>

#include <unicode/coll.h>

#include <memory>
#include <string>

namespace qirn {
namespace {

// A US-English collator of its own, so that the wildcard and options tests
// change nothing that other tests see.
class Collator : public ::testing::Test {
protected:
	Collator() : fManager(VRefPtr<VIntlMgr>::Adopt(VIntlMgr::Create(DC_ENGLISH_US, DC_ENGLISH_US, 0))) {}

	VCollator& Get() { return *fManager->GetCollator(); }

	bool Like(const VString& inText, const VString& inPattern, bool inDiacritical = false)
	{
		return Get().EqualString_Like(inText.GetCPointer(), inText.GetLength(), inPattern.GetCPointer(),
									  inPattern.GetLength(), inDiacritical);
	}
	bool CompareLike(const VString& inText, const VString& inPattern, bool inDiacritical = false)
	{
		return Get().CompareString_Like(inText.GetCPointer(), inText.GetLength(), inPattern.GetCPointer(),
										inPattern.GetLength(), inDiacritical) == CR_EQUAL;
	}
	CompareResult Compare(const VString& inA, const VString& inB, bool inDiacritical)
	{
		return Get().CompareString(inA.GetCPointer(), inA.GetLength(), inB.GetCPointer(), inB.GetLength(),
								   inDiacritical);
	}

	VRefPtr<VIntlMgr> fManager;
};

TEST_F(Collator, TheOrderIsThePlatformsWithoutWidthAndWithAccentsAndCaseOnlyWithTheFlag)
{
	UErrorCode status = U_ZERO_ERROR;
	std::unique_ptr<icu::Collator> primary(icu::Collator::createInstance(icu::Locale("en_US"), status));
	std::unique_ptr<icu::Collator> tertiary(primary->clone());
	primary->setStrength(icu::Collator::PRIMARY);
	tertiary->setStrength(icu::Collator::TERTIARY);
	const char* words[] = {"apple", "Apple", "\xC3\xA4pple", "b", "B", "resume", "r\xC3\xA9sum\xC3\xA9", "R\xC3\xA9sum\xC3\xA9",
						   "co-op", "coop", "a", "\xC3\xA6", "10", "9",
						   // Units from U+1000 without a width form: a curly apostrophe, CJK.
						   "it\xE2\x80\x99s", "it's", "its", "\xE4\xB8\xAD\xE6\x96\x87", "\xE4\xB8\xAD"};
	for (const char* a : words) {
		for (const char* b : words) {
			SCOPED_TRACE(std::string(a) + " " + b);
			VString textA(a);
			VString textB(b);
			const int expectedPrimary = primary->compare(icu::UnicodeString::fromUTF8(a),
														 icu::UnicodeString::fromUTF8(b), status);
			const int expectedTertiary = tertiary->compare(icu::UnicodeString::fromUTF8(a),
														   icu::UnicodeString::fromUTF8(b), status);
			EXPECT_EQ(Compare(textA, textB, false), expectedPrimary);
			EXPECT_EQ(Compare(textA, textB, true), expectedTertiary);
		}
	}
	// Full-width forms are their usual letters, whatever the flag.
	EXPECT_EQ(Compare(VString("\xEF\xBC\xA1\xEF\xBC\xA2\xEF\xBC\xA3"), VString("ABC"), true), CR_EQUAL);
	EXPECT_EQ(Compare(VString("\xEF\xBD\xB6"), VString("\xE3\x82\xAB"), true), CR_EQUAL); // half-width ka
	// Accents written as combining marks are the same text.
	EXPECT_EQ(Compare(VString("e\xCC\x81"), VString("\xC3\xA9"), true), CR_EQUAL);
	EXPECT_EQ(Compare(VString(""), VString(""), true), CR_EQUAL);
	EXPECT_EQ(Compare(VString(""), VString("a"), true), CR_SMALLER);
	EXPECT_EQ(Compare(VString("a"), VString(""), true), CR_BIGGER);
}

// The comparison looks for width forms a few units at a time: a full-width
// letter is its usual letter at any place of a text of any length, on either
// side, and a form in the middle of a long text is found as well as at its
// ends.
TEST_F(Collator, AWidthFormAnywhereInATextOfAnyLengthIsItsUsualForm)
{
	for (VIndex length = 1; length <= 13; ++length) {
		for (VIndex at = 0; at < length; ++at) {
			SCOPED_TRACE(std::to_string(length) + " units, the form at " + std::to_string(at));
			std::u16string wide(static_cast<size_t>(length), u'a');
			std::u16string usual = wide;
			wide[static_cast<size_t>(at)] = u'\uFF21';
			usual[static_cast<size_t>(at)] = u'A';
			const VString textWide(wide.data(), length);
			const VString textUsual(usual.data(), length);
			EXPECT_EQ(Compare(textWide, textUsual, true), CR_EQUAL);
			EXPECT_EQ(Compare(textUsual, textWide, true), CR_EQUAL);
		}
	}
}

TEST_F(Collator, SearchesAnswerPositionsAndMatchedLengths)
{
	struct Case {
		const char* fText;
		const char* fPattern;
		bool fDiacritical;
		VIndex fFirst;
		VIndex fLast;
		VIndex fLength;
	};
	const Case cases[] = {
		{"banana", "an", false, 2, 4, 2},
		{"banana", "AN", false, 2, 4, 2},
		{"banana", "AN", true, 0, 0, 0},
		{"caf\xC3\xA9 cafe", "cafe", true, 6, 6, 4},
		{"caf\xC3\xA9 cafe", "CAFE", false, 1, 6, 4},
		{"cafe\xCC\x81!", "caf\xC3\xA9", true, 1, 1, 5}, // the match is longer than the pattern
		{"\xEF\xBC\xA1\xEF\xBC\xA2", "b", false, 2, 2, 1},
		{"banana", "", false, 1, 1, 0},
		{"", "a", false, 0, 0, 0},
		{"", "", false, 0, 0, 0},
		{"abc", "x", false, 0, 0, 0},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fText) + " / " + c.fPattern);
		VString text(c.fText);
		VString pattern(c.fPattern);
		VIndex length = -1;
		EXPECT_EQ(Get().FindString(text.GetCPointer(), text.GetLength(), pattern.GetCPointer(), pattern.GetLength(),
								   c.fDiacritical, &length),
				  c.fFirst);
		EXPECT_EQ(length, c.fLength);
		EXPECT_EQ(Get().ReversedFindString(text.GetCPointer(), text.GetLength(), pattern.GetCPointer(),
										   pattern.GetLength(), c.fDiacritical, &length),
				  c.fLast);
	}
	VString text("R\xC3\xA9sum\xC3\xA9");
	VIndex length = 0;
	EXPECT_TRUE(Get().BeginsWithString(text.GetCPointer(), text.GetLength(), u"res", 3, false, &length));
	EXPECT_EQ(length, 3);
	EXPECT_FALSE(Get().BeginsWithString(text.GetCPointer(), text.GetLength(), u"res", 3, true));
	EXPECT_TRUE(Get().BeginsWithString(text.GetCPointer(), text.GetLength(), nullptr, 0, true));
	EXPECT_TRUE(Get().EndsWithString(text.GetCPointer(), text.GetLength(), u"ME", 2, false, &length));
	EXPECT_EQ(length, 2);
	EXPECT_FALSE(Get().EndsWithString(text.GetCPointer(), text.GetLength(), u"sum", 3, false));
}

TEST_F(Collator, LikePatternsMatchWithTheWildcard)
{
	struct Case {
		const char* fText;
		const char* fPattern;
		bool fDiacritical;
		bool fMatches;
	};
	const Case cases[] = {
		{"abc", "a@", false, true},		   {"abc", "@c", false, true},	{"abc", "@b@", false, true},
		{"abc", "a@c", false, true},	   {"abc", "@", false, true},	{"abc", "b@", false, false},
		{"", "@", false, true},			   {"ABC", "a@", false, true},	{"ABC", "a@", true, false},
		{"a\x01" "bc", "abc", false, true}, {"abc", "a\x01" "bc", false, true}, {"a\tbc", "abc", false, false},
		{"R\xC3\xA9sum\xC3\xA9", "res@", false, true}, {"R\xC3\xA9sum\xC3\xA9", "r\xC3\xA9s@", true, false},
		{"\xEF\xBC\xA1" "bc", "a@", false, true},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::string(c.fText) + " like " + c.fPattern);
		EXPECT_EQ(Like(VString(c.fText), VString(c.fPattern), c.fDiacritical), c.fMatches);
	}
}

TEST_F(Collator, TheWildcardCanBeChangedAndReset)
{
	Get().SetWildChar(u'*');
	EXPECT_TRUE(Like(VString("abc"), VString("a*")));
	EXPECT_FALSE(Like(VString("abc"), VString("a@")));
	fManager->Reset();
	EXPECT_TRUE(Like(VString("abc"), VString("a@")));
}

TEST_F(Collator, WithTheOptionBit2AWildcardInTheMiddleIsAnOrdinaryCharacter)
{
	Get().SetOptions(VCollator::kOptionWildCharOnlyAtEnds);
	EXPECT_FALSE(Like(VString("abc"), VString("a@c")));
	EXPECT_TRUE(Like(VString("a@c"), VString("a@c")));
	EXPECT_FALSE(CompareLike(VString("abc"), VString("a@c")));
	EXPECT_TRUE(CompareLike(VString("a@c"), VString("a@c")));
	EXPECT_TRUE(Like(VString("abc"), VString("ab@")));
	EXPECT_TRUE(Like(VString("abc"), VString("@bc")));
	EXPECT_TRUE(Like(VString("abc"), VString("@b@")));
	EXPECT_TRUE(Like(VString("xyz"), VString("@@")));
	EXPECT_FALSE(Like(VString("abc"), VString("@x@")));
}

TEST_F(Collator, APatternServedByASortedIndex)
{
	struct Case {
		const char16_t* fPattern;
		bool fCompatible;
	};
	const Case cases[] = {
		{u"abc@", true}, {u"a@c", false}, {u"@abc", false}, {u"abc", true}, {u"", true}, {u"\u30AB@", false},
	};
	for (const Case& c : cases) {
		VString pattern(c.fPattern);
		SCOPED_TRACE(pattern.GetLength());
		EXPECT_EQ(Get().IsPatternCompatibleWithDichotomyAndDiacritics(pattern.GetCPointer(), pattern.GetLength()),
				  c.fCompatible);
	}
}

TEST_F(Collator, TheSignatureNamesThePlatformsCollation)
{
	VString signature;
	fManager->GetStringComparisonAlgorithmSignature(signature);
	EXPECT_TRUE(signature.BeginsWithRawString(VString("system:")));
	EXPECT_GT(signature.GetLength(), 7);
	fManager->GetKewordAlgorithmSignature(signature);
	EXPECT_TRUE(signature.EqualToStringRaw(VString("AlphaNum")));
}

} // namespace
} // namespace qirn
