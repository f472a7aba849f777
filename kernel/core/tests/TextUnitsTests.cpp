#include "core/TextUnits.h"
#include "core/VMAPM.h"
#include "core/VReal.h"
#include "core/VString.h"

#include <gtest/gtest.h>

#include <cstring>
#include <locale.h>
#include <string>
#include <vector>

namespace qirn {
namespace {

TEST(TextUnits, HexDigitsBothWays)
{
	for (int value = 0; value < 16; ++value)
		EXPECT_EQ(HexDigitValue(static_cast<UniChar>(kUpperHexDigits[value])), value);
	EXPECT_EQ(HexDigitValue(u'a'), 10);
	EXPECT_EQ(HexDigitValue(u'f'), 15);
	EXPECT_EQ(HexDigitValue(u'g'), -1);
	EXPECT_EQ(HexDigitValue(u'G'), -1);
	EXPECT_EQ(HexDigitValue(0xFF10), -1);	// a full-width digit is no digit here
}

TEST(TextUnits, CaseFoldingIsASCIIOnly)
{
	EXPECT_EQ(FoldASCIICase(u'A'), u'a');
	EXPECT_EQ(FoldASCIICase(u'Z'), u'z');
	EXPECT_EQ(FoldASCIICase(u'['), u'[');
	EXPECT_EQ(FoldASCIICase(u'\u00C9'), u'\u00C9');
	const std::u16string word = u"TrUe";
	EXPECT_TRUE(EqualsASCIIIgnoringCase(word.data(), word.size(), "true"));
	EXPECT_TRUE(EqualsASCIIIgnoringCase(word.data(), word.size(), "TRUE"));
	EXPECT_FALSE(EqualsASCIIIgnoringCase(word.data(), word.size(), "tru"));
	EXPECT_FALSE(EqualsASCIIIgnoringCase(word.data(), 3, "true"));
	EXPECT_TRUE(EqualsASCIIIgnoringCase(nullptr, 0, ""));
}

TEST(TextUnits, DecimalDigitsOfTheExtremes)
{
	char buffer[24];
	char* end = buffer + sizeof(buffer);
	EXPECT_EQ(std::string(FormatDecimal(0ULL, end), end), "0");
	EXPECT_EQ(std::string(FormatDecimal(18446744073709551615ULL, end), end), "18446744073709551615");
	EXPECT_EQ(std::string(FormatSignedDecimal(-9223372036854775807LL - 1, end), end), "-9223372036854775808");
	EXPECT_EQ(std::string(FormatSignedDecimal(-7, end), end), "-7");
}

// The locale of this thread, for the length of a test.
class StThreadLocale {
public:
	explicit StThreadLocale(locale_t inLocale) : fLocale(inLocale), fPrevious(uselocale(inLocale)) {}
	~StThreadLocale()
	{
		uselocale(fPrevious);
		freelocale(fLocale);
	}
	StThreadLocale(const StThreadLocale&) = delete;
	StThreadLocale& operator=(const StThreadLocale&) = delete;

private:
	locale_t fLocale;
	locale_t fPrevious;
};

locale_t NewCommaDecimalLocale()
{
	for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8", "es_ES.UTF-8",
							 "it_IT.UTF-8", "ru_RU.UTF-8", "pt_BR.UTF-8", "de_DE", "fr_FR"}) {
		if (locale_t locale = newlocale(LC_NUMERIC_MASK, name, static_cast<locale_t>(nullptr)))
			return locale;
	}
	return static_cast<locale_t>(nullptr);
}

TEST(TextUnits, NumbersInTextIgnoreTheProcessLocale)
{
	locale_t comma = NewCommaDecimalLocale();
	if (comma == static_cast<locale_t>(nullptr))
		GTEST_SKIP() << "no locale with a decimal comma is installed on this machine (see locale -a)";
	StThreadLocale scope(comma);
	char check[16];
	std::snprintf(check, sizeof(check), "%.1f", 1.5);
	ASSERT_STREQ(check, "1,5") << "the locale does not write a decimal comma";

	VString text;
	text.AppendReal(2.5);
	EXPECT_EQ(to_string(text), "2.5");
	EXPECT_DOUBLE_EQ(VString("2.25").GetReal(), 2.25);

	VReal real;
	ASSERT_TRUE(real.FromXMLString(VString("3.75")));
	EXPECT_DOUBLE_EQ(real.GetReal(), 3.75);
	VString xml;
	real.GetXMLString(xml, 0);
	EXPECT_EQ(to_string(xml), "3.75");

	// 0.15E1, packed two digits a byte.
	std::vector<char> packed(10);
	const int32 exponent = 1;
	const int8 sign = 1;
	const int32 count = 2;
	std::memcpy(packed.data(), &exponent, 4);
	std::memcpy(packed.data() + 4, &sign, 1);
	std::memcpy(packed.data() + 5, &count, 4);
	packed[9] = 15;
	EXPECT_DOUBLE_EQ(MAPM_FloatToReal(packed.data()), 1.5);
}

TEST(TextUnits, RealsReadAndWrittenInTheCForm)
{
	char buffer[32];
	EXPECT_EQ(FormatReal(0.1, buffer, sizeof(buffer)), 3);
	EXPECT_STREQ(buffer, "0.1");
	FormatReal(1e20, buffer, sizeof(buffer));
	EXPECT_STREQ(buffer, "1E+20");
	char* end = nullptr;
	const char* text = "-1.5e3 rest";
	EXPECT_DOUBLE_EQ(ReadReal(text, &end), -1500.0);
	EXPECT_STREQ(end, " rest");
}

} // namespace
} // namespace qirn
