#include "core/VString.h"
#include "core/VStringCollation.h"

#include "testing/TestDialect.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

// The expected orders are those of US English.
class StringCollation : public testing::InUSEnglish {};

struct LikeCase {
	const char* fText;
	const char* fPattern;
	bool fDiacritical;
	bool fMatches;
};

// The plain-text walk of EqualString_Like and the general walk of
// CompareString_Like must agree wherever no control character is involved.
TEST_F(StringCollation, BothLikeWalksAgreeOnWhatMatches)
{
	const LikeCase cases[] = {
		{"abc", "abc", false, true},
		{"abc", "ABC", false, true},
		{"abc", "ABC", true, false},
		{"abc", "a@", false, true},
		{"abc", "@@", false, true},
		{"", "@@", false, true},
		{"", "a@", false, false},
		{"abc", "abc@@", false, true},
		{"abc", "abcd@", false, false},
		{"abc", "ab", false, false},
		{"ab", "abc", false, false},
		{"abcbc", "a@bc", false, true},
		{"abcbd", "a@bc", false, false},
		{"a@c", "a@c", false, true},
		{"xay", "@a@", false, true},
		{"xy", "@a@", false, false},
		{"\xC3\x89t\xC3\xA9", "\xC3\x89@", true, true},
		{"\xC3\xA9t\xC3\xA9", "\xC3\x89@", false, true},	// without the flag neither accents nor case count
		{"\xC3\xA9t\xC3\xA9", "\xC3\x89@", true, false},
		{"ete", "\xC3\xA9t@", false, true},
		{"ete", "\xC3\xA9t@", true, false},
		{"na\xC3\xAFve", "na@e", false, true},
	};
	for (const LikeCase& c : cases) {
		SCOPED_TRACE(std::string(c.fText) + " like " + c.fPattern);
		VString text(c.fText);
		VString pattern(c.fPattern);
		EXPECT_EQ(VStringCollation::EqualString_Like(text.GetCPointer(), text.GetLength(), pattern.GetCPointer(),
													 pattern.GetLength(), c.fDiacritical),
				  c.fMatches);
		EXPECT_EQ(VStringCollation::CompareString_Like(text.GetCPointer(), text.GetLength(), pattern.GetCPointer(),
													   pattern.GetLength(), c.fDiacritical) == CR_EQUAL,
				  c.fMatches);
	}
}

// The order of the current task's language (US English in tests): letters
// first, then accents, then case, the last two only with the flag.
TEST_F(StringCollation, OrderIsTheLanguagesWithAccentsAndCaseOnlyWithTheFlag)
{
	auto compare = [](const char* inA, const char* inB, bool inDiacritical) {
		VString a(inA);
		VString b(inB);
		return VStringCollation::CompareString(a.GetCPointer(), a.GetLength(), b.GetCPointer(), b.GetLength(),
											   inDiacritical);
	};
	EXPECT_EQ(compare("Zebra", "apple", false), CR_BIGGER);
	EXPECT_EQ(compare("Zebra", "apple", true), CR_BIGGER);
	EXPECT_EQ(compare("MIXED case", "mixed CASE", false), CR_EQUAL);
	EXPECT_EQ(compare("MIXED case", "mixed CASE", true), CR_BIGGER);
	EXPECT_EQ(compare("\xC3\x89", "\xC3\xA9", false), CR_EQUAL);
	EXPECT_EQ(compare("\xC3\x89", "\xC3\xA9", true), CR_BIGGER);
	EXPECT_EQ(compare("\xC3\xA9t\xC3\xA9", "ete", false), CR_EQUAL);
	EXPECT_EQ(compare("\xC3\xA9t\xC3\xA9", "ete", true), CR_BIGGER);
	EXPECT_EQ(compare("\xC3\xA9t\xC3\xA9", "etf", true), CR_SMALLER);
	EXPECT_EQ(compare("", "", false), CR_EQUAL);
	EXPECT_EQ(compare("a", "", false), CR_BIGGER);
}

} // namespace
} // namespace qirn
