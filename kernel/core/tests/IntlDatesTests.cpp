#include "core/VDuration.h"
#include "core/VIntlMgr.h"
#include "core/VRefPtr.h"
#include "core/VTime.h"

#include "TimeTestSupport.h"
#include "testing/TestDialect.h"
#include "testing/TestTimeZone.h"

#include <gtest/gtest.h>

#include <unicode/datefmt.h>
#include <unicode/dtptngen.h>
#include <unicode/smpdtfmt.h>
#include <unicode/timezone.h>

#include <memory>

namespace qirn {
namespace {

using testing::MakeUTC;

// The platform's own text for an instant (milliseconds since 1970 UTC), in
// US English, in GMT or in the process's zone.
VString ICUText(double inInstant, icu::DateFormat::EStyle inDate, icu::DateFormat::EStyle inTime, bool inGMT)
{
	std::unique_ptr<icu::DateFormat> format(icu::DateFormat::createDateTimeInstance(inDate, inTime, "en_US"));
	std::unique_ptr<icu::TimeZone> zone(inGMT ? icu::TimeZone::getGMT()->clone() : icu::TimeZone::detectHostTimeZone());
	format->setTimeZone(*zone);
	icu::UnicodeString text;
	format->format(inInstant, text);
	return VString(text.getBuffer(), text.length());
}

// 2021-03-04 13:05:07.008 UTC.
constexpr double kInstant = 1614863107008.0;

class IntlDates : public testing::InParis {
protected:
	IntlDates() : fManager(VRefPtr<VIntlMgr>::Adopt(VIntlMgr::Create(DC_ENGLISH_US, DC_ENGLISH_US, 0))) {}

	VRefPtr<VIntlMgr> fManager;
	const VTime fTime = MakeUTC(2021, 3, 4, 13, 5, 7, 8);
};

TEST_F(IntlDates, DatesAndTimesTakeThePlatformsStyles)
{
	struct Case {
		EOSFormats fFormat;
		icu::DateFormat::EStyle fDateStyle;
		icu::DateFormat::EStyle fTimeStyle;
	};
	const Case cases[] = {
		{eOS_SHORT_FORMAT, icu::DateFormat::kShort, icu::DateFormat::kShort},
		{eOS_MEDIUM_FORMAT, icu::DateFormat::kMedium, icu::DateFormat::kMedium},
		{eOS_LONG_FORMAT, icu::DateFormat::kFull, icu::DateFormat::kLong}, // a long date is the full style
	};
	for (const Case& c : cases) {
		for (bool utc : {true, false}) {
			SCOPED_TRACE(::testing::Message() << c.fFormat << (utc ? " UTC" : " local"));
			VString text;
			fManager->FormatDate(fTime, text, c.fFormat, utc);
			EXPECT_TRUE(text.EqualToStringRaw(ICUText(kInstant, c.fDateStyle, icu::DateFormat::kNone, utc)));
			fManager->FormatTime(fTime, text, c.fFormat, utc);
			EXPECT_TRUE(text.EqualToStringRaw(ICUText(kInstant, icu::DateFormat::kNone, c.fTimeStyle, utc)));
		}
	}
	// 13:05 UTC is 14:05 in Paris in March.
	VString utc;
	VString local;
	fManager->FormatTime(fTime, utc, eOS_SHORT_FORMAT, true);
	fManager->FormatTime(fTime, local, eOS_SHORT_FORMAT, false);
	EXPECT_EQ(utc.Find(VString("1:05")), 1);
	EXPECT_EQ(local.Find(VString("2:05")), 1);

	VString text("stale");
	fManager->FormatDate(fTime, text, static_cast<EOSFormats>(7), true);
	EXPECT_TRUE(text.EqualToStringRaw(VString("stale")));
	VTime null;
	null.SetNull(true);
	fManager->FormatDate(null, text, eOS_SHORT_FORMAT, true);
	EXPECT_TRUE(text.IsEmpty());
}

TEST_F(IntlDates, ADurationIsNeverShiftedByTheZone)
{
	const VDuration duration(3723000); // 1:02:03
	VString text;
	fManager->FormatDuration(duration, text, eOS_MEDIUM_FORMAT);
	EXPECT_TRUE(text.EqualToStringRaw(ICUText(3723000.0, icu::DateFormat::kNone, icu::DateFormat::kMedium, true)));
	EXPECT_EQ(text.Find(VString("1:02:03")), 1);
}

TEST_F(IntlDates, MonthAndWeekdayNames)
{
	struct Case {
		bool fMonth;
		sLONG fIndex;
		bool fAbbreviated;
		const char* fExpected;
	};
	const Case cases[] = {
		{false, 0, false, "Sunday"}, {false, 6, true, "Sat"}, {true, 1, false, "January"}, {true, 12, true, "Dec"},
		{true, 0, false, ""},		 {true, 13, false, ""},	  {false, 7, false, ""},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fExpected);
		VString name;
		if (c.fMonth)
			fManager->GetMonthName(c.fIndex, c.fAbbreviated, name);
		else
			fManager->GetWeekDayName(c.fIndex, c.fAbbreviated, name);
		EXPECT_TRUE(name.EqualToStringRaw(VString(c.fExpected)));
	}
}

TEST_F(IntlDates, PatternsWriteTheFieldsOfTheirRuns)
{
	struct Case {
		const char* fPattern;
		bool fUTC;
		const char* fExpected;
	};
	const Case cases[] = {
		{"yyyy-MM-dd HH:mm:ss", true, "2021-03-04 13:05:07"},
		{"yyyy-MM-dd HH:mm:ss", false, "2021-03-04 14:05:07"},
		{"y yy yyyyyyyyyy", true, "2021 2021 0000002021"},
		{"M/d D", true, "3/4 63"},
		{"EEE EEEE EEEEE, MMM MMMM MMMMM", true, "Thu Thursday T, Mar March M"},
		{"h:mm a, K k", true, "1:05 PM, 1 13"},
		{"G GGGG GGGGG", true, "AD Anno Domini A"},
		{"HH:mm zzzz Z SSS", true, "13:05   "},
		{"'#' !", true, "'#' !"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fPattern);
		VString text("stale");
		fManager->FormatDateTimeWithPattern(fTime, VString(c.fPattern), c.fUTC, nullptr, text);
		EXPECT_TRUE(text.EqualToStringRaw(VString(c.fExpected))) << text.GetLength();
	}
	VString julian;
	fManager->FormatDateTimeWithPattern(fTime, VString("g"), true, nullptr, julian);
	EXPECT_EQ(julian.GetLong8(), VTime::ComputeJulianDay(2021, 3, 4));
	VString midnight;
	fManager->CustomFormatTime(MakeUTC(2021, 3, 4, 0, 0, 0, 0), true, VString("hh k a"), midnight);
	EXPECT_TRUE(midnight.EqualToStringRaw(VString("12 24 AM")));
	// A run of any length is written whole.
	VString longRun(u'y');
	for (int i = 0; i < 998; ++i)
		longRun.AppendUniChar(u'y');
	VString text;
	fManager->FormatDateTimeWithPattern(fTime, longRun, true, nullptr, text);
	EXPECT_EQ(text.GetLength(), 999);
}

TEST_F(IntlDates, ATimeFormattedForAPersonIsTheShortDateAndTime)
{
	testing::StCurrentDialect english(DC_ENGLISH_US);
	VString text;
	fTime.FormatByOS(text, true);
	VString expected = ICUText(kInstant, icu::DateFormat::kShort, icu::DateFormat::kNone, true);
	expected.AppendUniChar(u' ');
	expected.AppendString(ICUText(kInstant, icu::DateFormat::kNone, icu::DateFormat::kShort, true));
	EXPECT_TRUE(text.EqualToStringRaw(expected));
	VString date;
	VString time;
	fTime.FormatByOS(date, time, false);
	EXPECT_TRUE(time.EqualToStringRaw(ICUText(kInstant, icu::DateFormat::kNone, icu::DateFormat::kShort, false)));
	VTime null;
	null.SetNull(true);
	null.FormatByOS(text, true);
	EXPECT_TRUE(text.IsEmpty());
}

TEST_F(IntlDates, ATemplateGetsTheLocalesBestPattern)
{
	UErrorCode status = U_ZERO_ERROR;
	std::unique_ptr<icu::DateTimePatternGenerator> generator(
		icu::DateTimePatternGenerator::createInstance(icu::Locale("en_US"), status));
	icu::SimpleDateFormat format(generator->getBestPattern(u"yMMMd", status), icu::Locale("en_US"), status);
	format.setTimeZone(*icu::TimeZone::getGMT());
	icu::UnicodeString expected;
	format.format(kInstant, expected);
	VString text;
	fManager->GetPlatformIntlMgr().FormatVTimeWithTemplate(fTime, text, VString("yMMMd"), true);
	EXPECT_TRUE(text.EqualToStringRaw(VString(expected.getBuffer(), expected.length())));
}

} // namespace
} // namespace qirn
