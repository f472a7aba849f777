#include "core/VString.h"
#include "core/VTime.h"
#include "core/tests/TimeTestSupport.h"
#include "testing/TestTimeZone.h"

#include <gtest/gtest.h>

#include <string>

namespace qirn {
namespace {

using testing::InParis;
using testing::MakeUTC;
using testing::UTC;
using testing::InUTC;
using testing::StTimeZone;

std::string Rfc3339(const VTime& inTime, uint32 inOptions)
{
	VString text;
	inTime.GetRfc3339String(text, inOptions);
	return to_string(text);
}

TEST_F(InParis, Rfc3339WriterChoosesZoneThenPart)
{
	struct Case {
		uint32 fOptions;
		const char* fText;
	};
	const Case cases[] = {
		{1, "2000-01-01T12:34:56.789Z"},
		{1 | 32, "2000-01-01T12:34:56Z"},
		{1 | 4, "12:34:56Z"},
		{1 | 8, "2000-01-01"},
		{1 | 4 | 8, "12:34:56Z"},
		{1 | 8 | 32, "2000-01-01"},
		{1 | 16, "0000-00-00T12:34:56.789Z"},
		{2, "2000-01-01T13:34:56.789"},
		{2 | 4, "13:34:56"},
		{2 | 32, "2000-01-01T13:34:56"},
		{0, "2000-01-01T13:34:56+01:00"},
		{4, "13:34:56+01:00"},
		{8, "2000-01-01+01:00"},
		{16, "0000-00-00T13:34:56+01:00"},
	};
	VTime time = MakeUTC(2000, 1, 1, 12, 34, 56, 789);
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fOptions);
		EXPECT_EQ(Rfc3339(time, c.fOptions), c.fText);
	}
	VTime null = MakeUTC(2000, 1, 1);
	null.SetNull(true);
	for (uint32 options : {0u, 1u, 2u, 4u, 8u, 32u}) {
		SCOPED_TRACE(options);
		EXPECT_EQ(Rfc3339(null, options), "0000-00-00T00:00:00Z");
	}
}

TEST_F(InParis, LocalFormsWriteTheOffsetOfTheirOwnDate)
{
	// Whatever today's offset is, a summer date says +02:00 and a winter
	// date +01:00.
	EXPECT_EQ(Rfc3339(MakeUTC(2021, 7, 1, 10), 0), "2021-07-01T12:00:00+02:00");
	EXPECT_EQ(Rfc3339(MakeUTC(2021, 1, 1, 10), 0), "2021-01-01T11:00:00+01:00");
	EXPECT_EQ(Rfc3339(MakeUTC(2021, 3, 28, 0, 59, 59), 0), "2021-03-28T01:59:59+01:00");
	EXPECT_EQ(Rfc3339(MakeUTC(2021, 3, 28, 1), 0), "2021-03-28T03:00:00+02:00");
	{
		StTimeZone west("<-0330>3:30");
		EXPECT_EQ(Rfc3339(MakeUTC(2021, 7, 1, 10), 0), "2021-07-01T06:30:00-03:30");
	}
}

TEST_F(InUTC, LocalFormsInUTCWriteAZeroOffset)
{
	EXPECT_EQ(Rfc3339(MakeUTC(2021, 7, 1, 10), 0), "2021-07-01T10:00:00+00:00");
}

TEST_F(InParis, Rfc3339ReaderTakesEachFormAndZone)
{
	struct Case {
		const char* fText;
		const char* fUTC;
		bool fAnswer;
	};
	const Case cases[] = {
		{"2021-03-04T05:06:07.008Z", "2021-03-04 05:06:07.008", true},
		{"2000-01-01T12:34:56.789Z", "2000-01-01 12:34:56.789", true},
		{"2021-03-04T05:06:07Z", "2021-03-04 05:06:07.000", true},
		// An offset is taken as given, also when the local zone has another
		// one at that date.
		{"2021-07-01T12:00:00+02:00", "2021-07-01 10:00:00.000", true},
		{"2021-01-01T12:00:00+02:00", "2021-01-01 10:00:00.000", true},
		{"2021-07-01T12:00:00-05:30", "2021-07-01 17:30:00.000", true},
		{"2021-03-28T03:30:00+02:00", "2021-03-28 01:30:00.000", true},
		// Without a zone the text is local time.
		{"2021-07-01T12:00:00", "2021-07-01 10:00:00.000", true},
		{"2021-01-01T12:00:00.250", "2021-01-01 11:00:00.250", true},
		{"2021-03-04", "2021-03-04 00:00:00.000", true},
		{"2021-07-04+02:00", "2021-07-03 22:00:00.000", true},
		{"12:30:15.5", "0000-00-00 12:30:15.500", true},
		{"12:30", "0000-00-00 12:30:00.000", true},
		{"3600", "0000-00-00 01:00:00.000", true},
		{"0000-00-00T00:00:00Z", "null", true},
		{"0000-00-00T00:00:00.000+01:00", "null", true},
		{"0000-00-00T05:00:00Z", "0000-00-00 05:00:00.000", true},
		{"0000-00-00", "0000-00-00 00:00:00.000", true},
		// Any field out of its range is no time.
		{"2021-03-04T25:00:00Z", "null", false},
		{"2021-03-04T25:00:00.5Z", "null", false},
		{"2021-02-29T00:00:00Z", "null", false},
		{"2021-03-04T05:60:00Z", "null", false},
		{"2021-03-04T05:06:60Z", "null", false},
		{"0000-00-00T25:00:00Z", "null", false},
		{"2021-13-01", "null", false},
		{"2021-00-10", "null", false},
		{"25:00:00", "null", false},
		{"12:61", "null", false},
		{"2021-03-04T05:06Z", "null", false},
		{"2021-03-04T05:06:07+01x00", "null", false},
		{"2021-03-04T05:06:07+25:00", "null", false},
		{"abc", "null", false},
		{"", "null", false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		VTime time = MakeUTC(1999, 9, 9);
		EXPECT_EQ(time.FromRfc3339String(VString(c.fText)), c.fAnswer);
		EXPECT_EQ(UTC(time), c.fUTC);
	}
	VTime time;
	EXPECT_FALSE(time.FromRfc3339String(VString(true)));
	EXPECT_TRUE(time.IsNull());
}

TEST_F(InParis, Rfc3339TextsReadBackAsTheyWereWritten)
{
	const VTime times[] = {
		MakeUTC(2000, 1, 1, 12, 34, 56, 789), MakeUTC(2021, 7, 1, 10, 0, 0, 8),
		MakeUTC(2021, 3, 28, 0, 59, 59, 999), MakeUTC(2021, 3, 28, 1), MakeUTC(2021, 10, 31, 0, 30),
		MakeUTC(2021, 10, 31, 1, 30),
	};
	for (const VTime& time : times) {
		SCOPED_TRACE(UTC(time));
		for (uint32 options : {1u, 0u}) {
			SCOPED_TRACE(options);
			VString text;
			time.GetXMLString(text, options);
			VTime back;
			EXPECT_TRUE(back.FromXMLString(text));
			// The local form with an offset has whole seconds.
			VTime expected(time);
			sWORD y, mo, d, h, mi, s, ms;
			time.GetUTCTime(y, mo, d, h, mi, s, ms);
			if (options == 0)
				expected.AddMilliseconds(-ms);
			EXPECT_EQ(UTC(back), UTC(expected));
		}
	}
}

TEST_F(InParis, XMLTextsMayBeMarkedOrDayFirst)
{
	struct Case {
		const char* fText;
		const char* fUTC;
		bool fAnswer;
	};
	const Case cases[] = {
		{"!!2021-03-04T05:06:07.008Z!!", "2021-03-04 05:06:07.008", true},
		{"2021-03-04T05:06:07.008Z", "2021-03-04 05:06:07.008", true},
		{"4!3!2021", "2021-03-04 00:00:00.000", true},
		{"31!2!2021", "null", true},
		{"!!x", "null", false},
		{"!!2021-02-30T00:00:00Z!!", "null", false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		VTime time;
		EXPECT_EQ(time.FromXMLString(VString(c.fText)), c.fAnswer);
		EXPECT_EQ(UTC(time), c.fUTC);
	}
}

TEST(TimeText, JSONStringsAreUTCWithMarkersAndQuotesOnRequest)
{
	struct Case {
		VTime fTime;
		uint32 fOptions;
		const char* fText;
	};
	const Case cases[] = {
		{MakeUTC(2021, 3, 4, 5, 6, 7, 8), 0, "2021-03-04T05:06:07.008Z"},
		{MakeUTC(2021, 3, 4, 5, 6, 7, 8), VTime::kJSON_WithQuotes, "\"2021-03-04T05:06:07.008Z\""},
		{MakeUTC(2021, 3, 4, 5, 6, 7, 8), VTime::kJSON_WithQuotes | VTime::kJSON_DateMarkers,
		 "\"!!2021-03-04T05:06:07.008Z!!\""},
		{MakeUTC(2021, 3, 4, 5, 6, 7, 8), VTime::kJSON_DateMarkers, "!!2021-03-04T05:06:07.008Z!!"},
		{MakeUTC(2021, 3, 4), VTime::kJSON_DateOnlyAtMidnight, "2021-03-04"},
		{MakeUTC(2021, 3, 4, 0, 0, 0, 1), VTime::kJSON_DateOnlyAtMidnight, "2021-03-04T00:00:00.001Z"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		VString text;
		EXPECT_EQ(c.fTime.GetJSONString(text, c.fOptions), VE_OK);
		EXPECT_EQ(to_string(text), c.fText);
		if ((c.fOptions & VTime::kJSON_WithQuotes) != 0)
			continue;
		VTime back;
		EXPECT_EQ(back.FromJSONString(text, 0), VE_OK);
		EXPECT_EQ(back, c.fTime);
	}
	VTime time;
	EXPECT_EQ(time.FromJSONString(VString("2021-02-30T00:00:00Z"), 0), VE_OK);
	EXPECT_TRUE(time.IsNull());
}

TEST(TimeText, GenericTextReadsNumbersYearFirstOrDayFirst)
{
	struct Case {
		const char* fText;
		const char* fUTC;
	};
	const Case cases[] = {
		{"2021-03-04 05:06:07", "2021-03-04 05:06:07.000"},
		{"2021/3/4", "2021-03-04 00:00:00.000"},
		// The digits after the point are milliseconds as written.
		{"2021-03-04T05:06:07.5", "2021-03-04 05:06:07.005"},
		{"2021-03-04T05:06:07.008Z", "2021-03-04 05:06:07.008"},
		{"4!3!2021", "2021-03-04 00:00:00.000"},
		{"!4!3!2021", "2021-03-04 00:00:00.000"},
		{"4!3!2021 10:00", "2021-03-04 00:00:00.000"},
		{"31!2!2021", "null"},
		{"0!0!0", "0000-00-00 00:00:00.000"},
		{"2021-03-04 05:06:07 !9", "2021-03-04 05:06:07.000"},
		{"2021-02-29", "null"},
		{"99999-01-01", "null"},
		{"", "0000-00-00 00:00:00.000"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		VTime time = MakeUTC(1999, 9, 9);
		time.FromString(VString(c.fText));
		EXPECT_EQ(UTC(time), c.fUTC);
	}
	VTime time;
	time.FromString(VString(true));
	EXPECT_TRUE(time.IsNull());
}

TEST(TimeText, StringFormReadsBack)
{
	VTime time = MakeUTC(2021, 3, 4, 5, 6, 7, 8);
	VString text;
	time.GetString(text);
	EXPECT_EQ(to_string(text), "2021-03-04T05:06:07.008Z");
	VTime back;
	back.FromString(text);
	EXPECT_EQ(back, time);
	VTime null;
	null.SetNull(true);
	null.GetString(text);
	EXPECT_TRUE(text.IsEmpty());
	EXPECT_EQ(to_string(Printf("at %A", &time)), "at 2021-03-04T05:06:07.008Z");

	time.toSimpleDateString(text);
	EXPECT_EQ(to_string(text), "4!3!2021");
	back.FromString(text);
	EXPECT_EQ(back, MakeUTC(2021, 3, 4));
	null.toSimpleDateString(text);
	EXPECT_TRUE(text.IsNull());
}

TEST(TimeText, Rfc822IsWrittenInGMTAndReadAsUTC)
{
	VString text;
	MakeUTC(2021, 3, 7, 5, 6, 7, 8).GetRfc822String(text);
	EXPECT_EQ(to_string(text), "Sun, 07 Mar 2021 05:06:07 GMT");
	struct Case {
		const char* fText;
		const char* fUTC;
	};
	const Case cases[] = {
		{"Sun, 07 Mar 2021 05:06:07 GMT", "2021-03-07 05:06:07.000"},
		{"mon, 1 FEB 2021 10:00:00 +0100", "2021-02-01 10:00:00.000"},
		{"1 Dec 2021", "2021-12-01 00:00:00.000"},
		{"01 January 2021 10:00:00", "null"},
		{"31 Apr 2021", "null"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		VTime time;
		time.FromRfc822String(VString(c.fText));
		EXPECT_EQ(UTC(time), c.fUTC);
	}
	VTime null;
	null.SetNull(true);
	null.GetRfc822String(text);
	EXPECT_TRUE(text.IsEmpty());
	VTime zero;
	zero.GetRfc822String(text);
	EXPECT_TRUE(text.IsEmpty());
}

TEST_F(InParis, LocalTimeTextHasMilliseconds)
{
	VString text;
	MakeUTC(2021, 7, 1, 10, 0, 0, 5).GetStringLocalTime(text);
	EXPECT_EQ(to_string(text), "2021-07-01 12:00:00:005");
	VTime null;
	null.SetNull(true);
	null.GetStringLocalTime(text);
	EXPECT_TRUE(text.IsEmpty());
}

} // namespace
} // namespace qirn
