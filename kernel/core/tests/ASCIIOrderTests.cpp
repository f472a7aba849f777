// The ASCII ranks of collation must give the platform's answers exactly: the
// comparer's answers are checked against ICU's collators on texts built to
// reach the ranks' limits (contraction heads, combining marks, ignorable
// controls, texts that share a prefix), in locales where the ranks stand
// and where they don't.
#include "core/platform/XLinuxASCIIOrder.h"
#include "core/platform/XLinuxStringCompare.h"

#include <gtest/gtest.h>

#include <unicode/coll.h>

#include <cstdio>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace qirn {
namespace {

std::unique_ptr<icu::Collator> PlatformCollator(const char* inLocaleID, icu::Collator::ECollationStrength inStrength)
{
	UErrorCode status = U_ZERO_ERROR;
	std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale(inLocaleID), status));
	EXPECT_TRUE(U_SUCCESS(status)) << inLocaleID;
	collator->setStrength(inStrength);
	collator->setAttribute(UCOL_NORMALIZATION_MODE, UCOL_ON, status);
	return collator;
}

// A locale reads its ranks once its comparers have compared some tens of
// thousands of texts.
void CompareUntilTheRanksAreRead(const XLinuxStringCompare& inCompare)
{
	const std::u16string a = u"apple";
	const std::u16string b = u"pear";
	for (int i = 0; i < 60'000; ++i)
		inCompare.Compare(a.data(), 5, b.data(), 4, (i & 1) != 0);
}

std::string Units(const std::u16string& inText)
{
	std::string shown;
	for (char16_t unit : inText) {
		char hex[8];
		std::snprintf(hex, sizeof(hex), "%04X ", static_cast<unsigned>(unit));
		shown += hex;
	}
	return shown;
}

// Mostly letters, the rest what could trip the ranks: the "l" that heads a
// contraction with a middle dot, combining marks, controls the collation
// ignores, digits and punctuation, accented letters.
class TextMaker {
public:
	std::u16string Make()
	{
		std::u16string text;
		const size_t length = fRandom() % 7;
		for (size_t i = 0; i < length; ++i)
			text += Unit();
		return text;
	}
	// A text sharing most of its units with inText.
	std::u16string Vary(std::u16string inText)
	{
		const int changes = 1 + static_cast<int>(fRandom() % 2);
		for (int i = 0; i < changes; ++i) {
			const size_t at = inText.empty() ? 0 : fRandom() % (inText.size() + 1);
			switch (fRandom() % 3) {
			case 0:
				inText.insert(inText.begin() + static_cast<std::ptrdiff_t>(at), Unit());
				break;
			case 1:
				if (at < inText.size())
					inText[at] = Unit();
				break;
			default:
				if (at < inText.size())
					inText.erase(at, 1);
				break;
			}
		}
		return inText;
	}

private:
	char16_t Unit()
	{
		static const std::u16string sLetters = u"aAbBcChHlLsStTzZyYiIoOvVwW";
		static const std::u16string sOthers =
			u"0123456789 -_.,'\"#@!?~^`|/\\\t\n\x01\x7F\x1F\u00B7\u0387\u0301\u030A\u0308\u0327\u0323\u030C"
			u"\u0307\u0303\u00E9\u00E5\u00DF\u0131\u0130\u00E6\uFDD1";
		switch (fRandom() % 4) {
		case 0:
			return static_cast<char16_t>(fRandom() % 0x80);
		case 1:
			return sOthers[fRandom() % sOthers.size()];
		default:
			return sLetters[fRandom() % sLetters.size()];
		}
	}

	std::mt19937 fRandom{14};
};

TEST(ASCIIOrder, TheComparerAnswersAsThePlatformInEveryLocale)
{
	const char* const localeIDs[] = {"en_US", "fr_CA", "de_DE", "de@collation=phonebook", "sv_SE", "et_EE",
									 "tr_TR", "ja_JP", "zh_CN", "en_US_POSIX", "es_ES", "da_DK", "cs_CZ", "hu_HU",
									 "lt_LT", "th_TH"};
	TextMaker maker;
	for (const char* localeID : localeIDs) {
		const XLinuxStringCompare compare(localeID);
		ASSERT_TRUE(compare.IsValid()) << localeID;
		CompareUntilTheRanksAreRead(compare);
		const std::unique_ptr<icu::Collator> primary = PlatformCollator(localeID, icu::Collator::PRIMARY);
		const std::unique_ptr<icu::Collator> tertiary = PlatformCollator(localeID, icu::Collator::TERTIARY);
		int failures = 0;
		for (int i = 0; i < 6000 && failures < 5; ++i) {
			const std::u16string a = maker.Make();
			const std::u16string b = i % 2 == 0 ? maker.Vary(a) : maker.Make();
			for (bool diacritical : {false, true}) {
				UErrorCode status = U_ZERO_ERROR;
				const icu::Collator& platform = diacritical ? *tertiary : *primary;
				const int expected = platform.compare(a.data(), static_cast<int32_t>(a.size()), b.data(),
													  static_cast<int32_t>(b.size()), status);
				const int answered = compare.Compare(a.data(), static_cast<VIndex>(a.size()), b.data(),
													 static_cast<VIndex>(b.size()), diacritical);
				if (answered != expected) {
					++failures;
					ADD_FAILURE() << localeID << (diacritical ? " diacritical: " : ": ") << Units(a) << "| "
								  << Units(b) << "answered " << answered << ", expected " << expected;
				}
			}
		}
	}
}

// The ranks stand where the locale's rules allow them, and only there.
TEST(ASCIIOrder, TheRanksStandOnlyWithoutContractionsOfASCIIUnits)
{
	struct Case {
		const char* fLocaleID;
		bool fUsable;
	};
	const Case cases[] = {
		{"en_US", true},  {"fr_FR", true},	{"ja_JP", true},  {"sv_SE", true},
		{"da_DK", false}, // "aa"
		{"cs_CZ", false}, // "ch"
		{"hu_HU", false}, // "cs", "dzs"
	};
	for (const Case& each : cases) {
		const std::unique_ptr<icu::Collator> primary = PlatformCollator(each.fLocaleID, icu::Collator::PRIMARY);
		const std::unique_ptr<icu::Collator> tertiary = PlatformCollator(each.fLocaleID, icu::Collator::TERTIARY);
		EXPECT_EQ(XLinuxASCIIOrder::Read(*primary, *tertiary).IsUsable(), each.fUsable)
			<< each.fLocaleID;
	}
	// Numeric order makes digits no longer units of their own.
	const std::unique_ptr<icu::Collator> primary = PlatformCollator("en_GB", icu::Collator::PRIMARY);
	const std::unique_ptr<icu::Collator> tertiary = PlatformCollator("en_GB", icu::Collator::TERTIARY);
	UErrorCode status = U_ZERO_ERROR;
	primary->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
	tertiary->setAttribute(UCOL_NUMERIC_COLLATION, UCOL_ON, status);
	EXPECT_FALSE(XLinuxASCIIOrder::Read(*primary, *tertiary).IsUsable());
}

// The comparers of one locale, in several threads, count towards reading the
// ranks together; one of them reads them while the others go on comparing.
TEST(ASCIIOrder, ComparersInSeveralThreadsShareTheRanks)
{
	const XLinuxStringCompare made("fr_CH");
	std::vector<std::thread> threads;
	std::vector<int> wrong(4, 0);
	for (size_t i = 0; i < wrong.size(); ++i) {
		threads.emplace_back([&made, &wrong, i] {
			const XLinuxStringCompare compare(made);
			const std::u16string a = u"cote";
			const std::u16string b = u"Cotes";
			for (int round = 0; round < 30'000; ++round) {
				if (compare.Compare(a.data(), 4, b.data(), 5, true) != CR_SMALLER ||
					compare.Compare(b.data(), 5, a.data(), 4, false) != CR_BIGGER)
					++wrong[i];
			}
		});
	}
	for (std::thread& thread : threads)
		thread.join();
	for (int count : wrong)
		EXPECT_EQ(count, 0);
}

} // namespace
} // namespace qirn
