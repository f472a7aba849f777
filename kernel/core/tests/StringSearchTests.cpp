#include "core/VString.h"

#include <gtest/gtest.h>

#include <string>

namespace qirn {
namespace {

std::string U8(const VString& inString)
{
	return to_string(inString);
}

TEST(StringSearch, RawComparison)
{
	EXPECT_EQ(VString("abc").CompareToStringRaw(VString("abd")), CR_SMALLER);
	EXPECT_EQ(VString("abc").CompareToStringRaw(VString("ab")), CR_BIGGER);
	EXPECT_EQ(VString("ab").CompareToStringRaw(VString("abc")), CR_SMALLER);
	EXPECT_EQ(VString().CompareToStringRaw(VString()), CR_EQUAL);
	EXPECT_EQ(VString("ABC").CompareToStringRawCase(VString("abc")), CR_EQUAL);
	EXPECT_NE(VString("\xC3\x89").CompareToStringRawCase(VString("\xC3\xA9")), CR_EQUAL);
	EXPECT_TRUE(VString("abc").EqualToStringRaw(VString("abc")));
	EXPECT_FALSE(VString("abc").EqualToStringRaw(VString("abC")));
	// Units are compared unsigned: U+00E9 sorts after 'z'.
	EXPECT_EQ(VString("\xC3\xA9").CompareToStringRaw(VString("z")), CR_BIGGER);
}

TEST(StringSearch, USASCIIAndAffixes)
{
	EXPECT_TRUE(VString("abc").EqualToUSASCIICString("abc"));
	EXPECT_FALSE(VString("abc").EqualToUSASCIICString("ab"));
	EXPECT_FALSE(VString("ab").EqualToUSASCIICString("abc"));
	EXPECT_TRUE(VString().EqualToUSASCIICString(""));
	VString s("prefix-body-suffix");
	EXPECT_TRUE(s.BeginsWithRawString(VString("prefix")));
	EXPECT_FALSE(s.BeginsWithRawString(VString("Prefix")));
	EXPECT_TRUE(s.EndsWithRawString(VString("suffix")));
	EXPECT_FALSE(VString("fix").EndsWithRawString(VString("suffix")));
	EXPECT_TRUE(s.BeginsWithRawString(VString()));
}

TEST(StringSearch, FindUniChar)
{
	VString s("abcabc");
	EXPECT_EQ(s.FindUniChar(u'c', 4), 6);
	EXPECT_EQ(s.FindUniChar(u'c', 5, true), 3);
	EXPECT_EQ(s.FindUniChar(u'c', 7), 0);
	EXPECT_EQ(s.FindUniChar(u'a', -3), 1);
	EXPECT_EQ(s.FindUniChar(u'z'), 0);
	EXPECT_EQ(VString().FindUniChar(u'a'), 0);
	// Long enough for the wide scan, with the match after it.
	VString longText;
	for (int i = 0; i < 100; ++i)
		longText.AppendUniChar(u'.');
	longText.AppendUniChar(u'!');
	EXPECT_EQ(longText.FindUniChar(u'!'), 101);
	EXPECT_EQ(longText.FindUniChar(u'.', 40), 40);
}

TEST(StringSearch, FindRawString)
{
	VString s("the cat sat on the mat");
	EXPECT_EQ(s.FindRawString(VString("the")), 1);
	EXPECT_EQ(s.FindRawString(VString("the"), 2), 16);
	EXPECT_EQ(s.FindRawString(VString("mat"), 20), 20);
	EXPECT_EQ(s.FindRawString(VString("mat"), 21), 0);
	EXPECT_EQ(s.FindRawString(VString("dog")), 0);
	EXPECT_EQ(s.FindRawString(VString("the"), 0), 0);
	EXPECT_EQ(s.FindRawString(VString()), 1);
	// Partial matches that overlap the real one.
	EXPECT_EQ(VString("aaaaab").FindRawString(VString("aab")), 4);
	EXPECT_EQ(VString("abababcab").FindRawString(VString("ababc")), 3);
	EXPECT_EQ(VString("abcabcabd").FindRawString(VString("abcabd")), 4);
}

TEST(StringSearch, FindRawStringAgreesWithAPlainSearch)
{
	// Small alphabets make many partial matches; long patterns use the
	// allocated failure table.
	std::u16string text;
	uint32 seed = 12345;
	for (int i = 0; i < 5000; ++i) {
		seed = seed * 1103515245 + 12345;
		text.push_back(static_cast<char16_t>(u'a' + (seed >> 16) % 3));
	}
	VString haystack(text.data(), static_cast<VIndex>(text.size()));
	for (size_t patternLength : {2u, 3u, 5u, 9u, 300u}) {
		for (size_t at : {0u, 17u, 1000u, 4000u}) {
			std::u16string pattern = text.substr(at, patternLength);
			VString needle(pattern.data(), static_cast<VIndex>(pattern.size()));
			for (VIndex start : {1, 10, 2000}) {
				size_t expected = text.find(pattern, static_cast<size_t>(start - 1));
				VIndex found = haystack.FindRawString(needle, start);
				EXPECT_EQ(found, expected == std::u16string::npos ? 0 : static_cast<VIndex>(expected) + 1)
					<< patternLength << " " << at << " " << start;
			}
		}
	}
}

struct ExchangeCase {
	const char* fText;
	const char* fPattern;
	const char* fReplacement;
	VIndex fStart;
	VIndex fMaxCount;
	const char* fExpected;
	VIndex fCount;
};

class StringExchange : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(StringExchange, Result)
{
	const ExchangeCase& c = GetParam();
	VString s(c.fText);
	VString shared(s);
	EXPECT_EQ(s.ExchangeRawString(VString(c.fPattern), VString(c.fReplacement), c.fStart, c.fMaxCount), c.fCount);
	EXPECT_EQ(U8(s), c.fExpected);
	EXPECT_EQ(U8(shared), c.fText);
}

INSTANTIATE_TEST_SUITE_P(
	Cases, StringExchange,
	::testing::Values(ExchangeCase{"banana", "a", "xy", 1, 2, "bxynxyna", 2},
					  ExchangeCase{"banana", "a", "xy", 1, 100, "bxynxynxy", 3},
					  ExchangeCase{"banana", "a", "o", 1, 100, "bonono", 3},
					  ExchangeCase{"banana", "an", "", 1, 100, "ba", 2},
					  ExchangeCase{"banana", "ana", "ANA", 1, 100, "bANAna", 1},
					  ExchangeCase{"banana", "a", "xy", 3, 100, "banxynxy", 2},
					  ExchangeCase{"banana", "a", "xy", 1, 0, "banana", 0},
					  ExchangeCase{"banana", "", "xy", 1, 100, "banana", 0},
					  ExchangeCase{"banana", "q", "xy", 1, 100, "banana", 0},
					  ExchangeCase{"aaaa", "aa", "b", 1, 100, "bb", 2},
					  ExchangeCase{"a.b.c", ".", "::", 1, 100, "a::b::c", 2}));

TEST(StringSearch, ExchangeWithItself)
{
	VString s("abab");
	EXPECT_EQ(s.ExchangeRawString(s, VString("x")), 1);
	EXPECT_EQ(U8(s), "x");
}

TEST(StringSearch, ExchangeUniChar)
{
	VString s("a-b-c-d");
	s.Exchange(u'-', u'+', 1, 2);
	EXPECT_EQ(U8(s), "a+b+c-d");
	s.Exchange(u'-', u'+', 7, 5);
	EXPECT_EQ(U8(s), "a+b+c-d");
	s.Exchange(u'-', u'+', 0, 5);
	EXPECT_EQ(U8(s), "a+b+c-d");
	s.Exchange(u'-', u'+');
	EXPECT_EQ(U8(s), "a+b+c+d");
}

TEST(StringSearch, SimilarToString)
{
	EXPECT_DOUBLE_EQ(VString("abc").SimilarToString(VString("axc")), 2.0 / 3.0);
	EXPECT_DOUBLE_EQ(VString("abc").SimilarToString(VString("abc")), 1.0);
	EXPECT_DOUBLE_EQ(VString("abc").SimilarToString(VString()), 0.0);
	EXPECT_DOUBLE_EQ(VString("ab").SimilarToString(VString("xaxbx")), 1.0);
}

} // namespace
} // namespace qirn

namespace qirn {
namespace {

TEST(StringHash, ReadsTheLengthAndAtMostSixteenUnits)
{
	EXPECT_EQ(VString::ComputeHashValue(nullptr, 0), 0u);
	EXPECT_EQ(VString("A").ComputeHashValue(), 966u); // h = 1 * 257 + 65 = 322, then (322 << 1) + 322
	uint32 expected = 2;
	expected = expected * 257 + u'a';
	expected = expected * 257 + u'b';
	EXPECT_EQ(VString("ab").ComputeHashValue(), (expected << 2) + expected);
	// From 17 units on, the units between the first and last 8 are not read.
	EXPECT_EQ(VString("abcdefghXYZijklmnop").ComputeHashValue(), VString("abcdefgh___ijklmnop").ComputeHashValue());
	EXPECT_NE(VString("abcdefghXijklmnop").ComputeHashValue(), VString("abcdefghXijklmnoq").ComputeHashValue());
	EXPECT_NE(VString("abcdefghijklmnop").ComputeHashValue(), VString("abcdefghXjklmnop").ComputeHashValue());
}

} // namespace
} // namespace qirn
