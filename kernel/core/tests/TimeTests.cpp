#include "core/VDuration.h"
#include "core/VLong8.h"
#include "core/VTime.h"
#include "files/VPtrStream.h"
#include "core/tests/TimeTestSupport.h"
#include "testing/TestTimeZone.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>

namespace qirn {
namespace {

using testing::InParis;
using testing::MakeUTC;
using testing::UTC;

TEST(Times, UTCFieldsAreCheckedAndInvalidOnesGiveNull)
{
	struct Case {
		sWORD fFields[7];
		bool fValid;
	};
	const Case cases[] = {
		{{2024, 2, 29, 0, 0, 0, 0}, true},		{{2023, 2, 29, 0, 0, 0, 0}, false},
		{{1900, 2, 29, 0, 0, 0, 0}, false},		{{2000, 2, 29, 0, 0, 0, 0}, true},
		{{2020, 1, 1, 24, 0, 0, 0}, false},		{{2020, 1, 1, 23, 59, 59, 999}, true},
		{{2020, 1, 1, 0, 60, 0, 0}, false},		{{2020, 1, 1, 0, 0, 60, 0}, false},
		{{2020, 1, 1, 0, 0, 0, 1000}, false},	{{2020, 1, 1, -1, 0, 0, 0}, false},
		{{2020, 4, 31, 0, 0, 0, 0}, false},		{{2020, 13, 1, 0, 0, 0, 0}, false},
		{{2020, 0, 1, 0, 0, 0, 0}, false},		{{2020, 1, 0, 0, 0, 0, 0}, false},
		{{-1, 1, 1, 0, 0, 0, 0}, false},		{{0, 1, 1, 0, 0, 0, 0}, true},
	};
	for (const Case& c : cases) {
		const sWORD* f = c.fFields;
		SCOPED_TRACE(std::to_string(f[0]) + "-" + std::to_string(f[1]) + "-" + std::to_string(f[2]) + " " +
					 std::to_string(f[3]) + ":" + std::to_string(f[4]) + ":" + std::to_string(f[5]) + "." +
					 std::to_string(f[6]));
		VTime time = MakeUTC(2001, 1, 1);
		time.FromUTCTime(f[0], f[1], f[2], f[3], f[4], f[5], f[6]);
		EXPECT_EQ(!time.IsNull(), c.fValid);
		if (!c.fValid) {
			// Cleared to the zero date before it was made null.
			time.SetNull(false);
			EXPECT_EQ(time.GetStamp(), 0u);
		}
	}
}

TEST(Times, TheZeroDateIsAValidValueThatMayCarryATimeOfDay)
{
	VTime zero;
	EXPECT_FALSE(zero.IsNull());
	EXPECT_EQ(zero.GetStamp(), 0u);
	zero.FromUTCTime(0, 0, 0, 25, 0, 0, 0);
	EXPECT_FALSE(zero.IsNull());
	EXPECT_EQ(zero.GetStamp(), 90000000u);
	EXPECT_EQ(zero.GetMilliseconds(), 0); // its time of day is not counted
	zero.NullIfZero();
	EXPECT_TRUE(zero.IsNull());
	VTime date = MakeUTC(2021, 3, 4);
	date.NullIfZero();
	EXPECT_FALSE(date.IsNull());
	date.Clear();
	EXPECT_EQ(date.GetStamp(), 0u);
	EXPECT_FALSE(date.IsNull());
}

TEST(Times, DayNumbersWeekDaysAndYearDays)
{
	struct Case {
		sLONG fYear, fMonth, fDay;
		sLONG fDayNumber, fWeekDay, fYearDay;
	};
	const Case cases[] = {
		{2000, 1, 1, 2451544, 6, 1},   {2000, 1, 2, 2451545, 0, 2}, {1970, 1, 1, 2440587, 4, 1},
		{2000, 12, 31, 2451909, 0, 366}, {2021, 3, 1, 2459274, 1, 60}, {1, 1, 1, 1721425, 1, 1},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::to_string(c.fYear) + "-" + std::to_string(c.fMonth) + "-" + std::to_string(c.fDay));
		EXPECT_EQ(VTime::ComputeJulianDay(c.fYear, c.fMonth, c.fDay), c.fDayNumber);
		EXPECT_EQ(VTime::ComputeWeekDay(c.fYear, c.fMonth, c.fDay), c.fWeekDay);
		EXPECT_EQ(VTime::ComputeYearDay(c.fYear, c.fMonth, c.fDay), c.fYearDay);
		VTime time;
		time.FromJulianDay(c.fDayNumber);
		EXPECT_EQ(UTC(time), UTC(MakeUTC(static_cast<sWORD>(c.fYear), static_cast<sWORD>(c.fMonth),
										 static_cast<sWORD>(c.fDay))));
		EXPECT_EQ(time.GetWeekDay(), c.fWeekDay);
	}
	// Months out of range count on into the next year, never out of a table.
	EXPECT_EQ(VTime::ComputeJulianDay(2020, 13, 1), VTime::ComputeJulianDay(2021, 1, 1));
	EXPECT_EQ(VTime::ComputeJulianDay(2021, 0, 1), VTime::ComputeJulianDay(2020, 12, 1));
	VTime null;
	null.SetNull(true);
	EXPECT_EQ(null.GetJulianDay(), -1);
	EXPECT_EQ(null.GetWeekDay(), -1);
	EXPECT_EQ(null.GetYearDay(), -1);
	EXPECT_TRUE(VTime::IsLeapYear(2000));
	EXPECT_FALSE(VTime::IsLeapYear(2100));
	EXPECT_FALSE(VTime::CheckDate(2021, 2, 29));
}

TEST(Times, MillisecondsGiveBackEveryDateFromYearOne)
{
	// Every day from 1 January of year 1 to the end of year 9999, and some
	// before the origin of the day numbers, at a time of day.
	VTime time;
	sLONG first = VTime::ComputeJulianDay(1, 1, 1);
	sLONG last = VTime::ComputeJulianDay(9999, 12, 31);
	sLONG8 previous = -1;
	for (sLONG day = first; day <= last; ++day) {
		time.FromJulianDay(day);
		ASSERT_FALSE(time.IsNull()) << day;
		ASSERT_EQ(time.GetJulianDay(), day);
		time.AddMilliseconds(45296789);
		sLONG8 count = time.GetMilliseconds();
		ASSERT_GT(count, previous);
		previous = count;
		VTime back;
		back.FromMilliseconds(count);
		ASSERT_EQ(back, time) << day;
	}
	for (sLONG8 count : {-86400000LL * 3 + 5, -1000LL, 1LL}) {
		SCOPED_TRACE(count);
		time.FromMilliseconds(count);
		ASSERT_FALSE(time.IsNull());
		EXPECT_EQ(time.GetMilliseconds(), count);
	}
	time.FromMilliseconds(-1);
	EXPECT_TRUE(time.IsNull());
	time.FromMilliseconds(0);
	EXPECT_FALSE(time.IsNull());
	EXPECT_EQ(time.GetStamp(), 0u);
	// A count whose year does not fit 16 bits is no time, down to the lowest
	// and up to the highest count.
	for (sLONG8 count : {40000LL * 366 * 86400000, std::numeric_limits<sLONG8>::min(),
						  std::numeric_limits<sLONG8>::min() + 1, std::numeric_limits<sLONG8>::max()}) {
		time.FromMilliseconds(count);
		EXPECT_TRUE(time.IsNull()) << count;
	}
	// Adding past the lowest count saturates into no time, not into a wrap.
	time = MakeUTC(2000, 1, 1);
	time.AddMilliseconds(std::numeric_limits<sLONG8>::min());
	EXPECT_TRUE(time.IsNull());
}

TEST(Times, JulianCalendarDatesAreTheSameDays)
{
	sWORD y, m, d;
	MakeUTC(2000, 1, 1).GetJulianDate(y, m, d);
	EXPECT_EQ(y, 1999);
	EXPECT_EQ(m, 12);
	EXPECT_EQ(d, 19);
	struct Case {
		sWORD fYear, fMonth, fDay;
		const char* fGregorian;
	};
	const Case cases[] = {
		{1999, 12, 19, "2000-01-01 00:00:00.000"},
		// 1900 is a leap year of the Julian calendar.
		{1900, 2, 29, "1900-03-13 00:00:00.000"},
		{1582, 10, 5, "1582-10-15 00:00:00.000"},
		{1901, 2, 29, "null"},
		{2000, 13, 1, "null"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fGregorian);
		VTime time;
		time.FromJulianDate(c.fYear, c.fMonth, c.fDay);
		EXPECT_EQ(UTC(time), c.fGregorian);
		if (!time.IsNull()) {
			time.GetJulianDate(y, m, d);
			EXPECT_EQ(y, c.fYear);
			EXPECT_EQ(m, c.fMonth);
			EXPECT_EQ(d, c.fDay);
		}
	}
	VTime null;
	null.SetNull(true);
	null.GetJulianDate(y, m, d);
	EXPECT_EQ(y + m + d, 0);
}

TEST(Times, ArithmeticGoesThroughTheMillisecondCount)
{
	struct Case {
		const char* fName;
		VTime fStart;
		void (*fOperation)(VTime&);
		const char* fExpected;
	};
	const Case cases[] = {
		{"minus a month", MakeUTC(2021, 1, 15), [](VTime& t) { t.AddMonths(-1); }, "2020-12-15 00:00:00.000"},
		{"thirteen months", MakeUTC(2021, 12, 15), [](VTime& t) { t.AddMonths(13); }, "2023-01-15 00:00:00.000"},
		{"a month the day lacks moves on", MakeUTC(2021, 1, 31, 10), [](VTime& t) { t.AddMonths(1); },
		 "2021-03-03 10:00:00.000"},
		{"in a leap year too", MakeUTC(2024, 1, 31), [](VTime& t) { t.AddMonths(1); }, "2024-03-02 00:00:00.000"},
		{"29 February plus a year", MakeUTC(2024, 2, 29), [](VTime& t) { t.AddYears(1); },
		 "2025-03-01 00:00:00.000"},
		{"minus four years", MakeUTC(2024, 2, 29), [](VTime& t) { t.AddYears(-4); }, "2020-02-29 00:00:00.000"},
		{"days across a year", MakeUTC(2020, 12, 31, 23), [](VTime& t) { t.AddDays(1); }, "2021-01-01 23:00:00.000"},
		{"hours back across midnight", MakeUTC(2021, 3, 1, 1), [](VTime& t) { t.AddHours(-2); },
		 "2021-02-28 23:00:00.000"},
		{"minutes", MakeUTC(2021, 3, 1), [](VTime& t) { t.AddMinutes(90); }, "2021-03-01 01:30:00.000"},
		{"seconds", MakeUTC(2021, 3, 1), [](VTime& t) { t.AddSeconds(-1); }, "2021-02-28 23:59:59.000"},
		{"a duration", MakeUTC(2021, 3, 1), [](VTime& t) { t.Add(VDuration(1500)); }, "2021-03-01 00:00:01.500"},
		{"minus a duration", MakeUTC(2021, 3, 1), [](VTime& t) { t.Substract(VDuration(1)); },
		 "2021-02-28 23:59:59.999"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VTime time(c.fStart);
		c.fOperation(time);
		EXPECT_EQ(UTC(time), c.fExpected);
	}
}

TEST(Times, ArithmeticLeavesANullTimeNullAndTheZeroDateWithoutADate)
{
	VTime null;
	null.SetNull(true);
	null.AddDays(1);
	null.AddMonths(1);
	null.AddYears(1);
	null.Add(VDuration(5));
	EXPECT_TRUE(null.IsNull());

	VTime zero;
	zero.FromUTCTime(0, 0, 0, 5, 0, 0, 0);
	zero.AddYears(1);
	zero.AddMonths(2);
	EXPECT_EQ(zero.GetStamp(), 5u * 3600000u);

	VDuration difference;
	MakeUTC(2021, 3, 1).Substract(MakeUTC(2021, 2, 28, 12), difference);
	EXPECT_EQ(difference.ConvertToMilliseconds(), 12 * 3600000LL);
	EXPECT_FALSE(difference.IsNull());
}

TEST(Times, CompareYearMonthDayThenTimeOfDay)
{
	VTime early = MakeUTC(2021, 3, 4, 5);
	VTime late = MakeUTC(2021, 3, 4, 6);
	EXPECT_EQ(early.CompareTo(late), CR_SMALLER);
	EXPECT_EQ(late.CompareTo(early), CR_BIGGER);
	EXPECT_TRUE(early < late);
	EXPECT_TRUE(early != late);
	EXPECT_TRUE(early == MakeUTC(2021, 3, 4, 5));
	EXPECT_EQ(MakeUTC(2020, 12, 31).CompareTo(MakeUTC(2021, 1, 1)), CR_SMALLER);
	EXPECT_EQ(early.CompareTo(static_cast<const VValueSingle&>(late)), CR_SMALLER);
	uLONG8 stamp = late.GetStamp();
	EXPECT_EQ(early.CompareToSameKindPtr(&stamp), CR_SMALLER);

	// Stored stamps compare as unsigned numbers.
	uLONG8 a = early.GetStamp(), b = late.GetStamp();
	EXPECT_EQ(VTime::sInfo.CompareTwoPtrToData(&a, &b, false), CR_SMALLER);
	EXPECT_EQ(VValue::ValueInfoFromValueKind(8), &VTime::sInfo);
}

TEST(Times, CopiesAndConversionsKeepTheNullFlag)
{
	VTime source = MakeUTC(2021, 3, 4, 5, 6, 7, 8);
	source.SetNull(true);
	std::unique_ptr<VTime> clone(source.Clone());
	EXPECT_TRUE(clone->IsNull());
	EXPECT_TRUE(clone->IsDirty());
	VTime copy;
	copy = source;
	EXPECT_TRUE(copy.IsNull());
	VTime fromValue;
	fromValue.FromValue(source);
	EXPECT_TRUE(fromValue.IsNull());
	EXPECT_EQ(fromValue.GetStamp(), source.GetStamp());

	source.SetNull(false);
	std::unique_ptr<VValueSingle> converted(source.ConvertTo(8));
	ASSERT_NE(converted, nullptr);
	EXPECT_EQ(static_cast<VTime*>(converted.get())->GetStamp(), source.GetStamp());
	EXPECT_EQ(source.GetReal(), static_cast<Real>(source.GetStamp()));
	EXPECT_EQ(source.GetLong8OrMilliSeconds(), source.GetMilliseconds());

	// A kind that knows no time clears the target; a number takes none.
	VTime cleared = MakeUTC(2021, 3, 4);
	VLong8(5).GetTime(cleared);
	EXPECT_EQ(cleared.GetStamp(), 0u);
	EXPECT_FALSE(cleared.IsNull());
	VDuration duration(5);
	source.GetDuration(duration);
	EXPECT_EQ(duration.ConvertToMilliseconds(), 0);
	VLong8 number(7);
	number.FromTime(source);
	EXPECT_EQ(number.Get(), 7);
}

TEST(Times, StampFlatAndStreamForms)
{
	VTime time = MakeUTC(2021, 3, 4, 5, 6, 7, 8);
	uLONG8 stamp = time.GetStamp();
	EXPECT_EQ(stamp, (2021ULL << 48) | (3ULL << 40) | (4ULL << 32) | 18367008ULL);
	EXPECT_EQ(VTime(stamp), time);
	uLONG8 flat = 0;
	EXPECT_EQ(time.WriteToPtr(&flat, false, 8), reinterpret_cast<char*>(&flat) + 8);
	EXPECT_EQ(flat, stamp);
	std::unique_ptr<VValue> loaded(VTime::sInfo.LoadFromPtr(&flat, false));
	EXPECT_EQ(*static_cast<VTime*>(loaded.get()), time);
	VTime zero(&flat, 1);
	EXPECT_EQ(zero.GetStamp(), 0u);
	VTime read(&flat, 0);
	EXPECT_EQ(read, time);

	for (bool swap : {false, true}) {
		SCOPED_TRACE(swap);
		VPtrStream stream;
		stream.SetNeedSwap(swap);
		ASSERT_EQ(stream.OpenWriting(), VE_OK);
		EXPECT_EQ(time.WriteToStream(&stream), VE_OK);
		stream.PutValue(time, true);
		ASSERT_EQ(stream.CloseWriting(), VE_OK);
		VStreamUnderlyingData data = stream.GetUnderlyingData();
		ASSERT_EQ(data.fSize, 8 + 2 + 8);
		const uint8* bytes = static_cast<const uint8*>(data.fData);
		// 2021 is 0x07E5, then month and day bytes, then the milliseconds.
		EXPECT_EQ(bytes[0], swap ? 0x07 : 0xE5);
		EXPECT_EQ(bytes[2], 3);
		EXPECT_EQ(bytes[3], 4);

		ASSERT_EQ(stream.OpenReading(), VE_OK);
		VTime back;
		back.SetNull(true);
		EXPECT_EQ(back.ReadFromStream(&stream), VE_OK);
		EXPECT_EQ(back.GetStamp(), stamp);
		EXPECT_TRUE(back.IsNull()); // readers leave the flags alone
		std::unique_ptr<VValue> value(stream.GetValue());
		ASSERT_NE(value, nullptr);
		EXPECT_EQ(*static_cast<VTime*>(value.get()), time);
		EXPECT_NE(back.ReadFromStream(&stream), VE_OK);
		EXPECT_EQ(back.GetStamp(), stamp);
	}
}

TEST(Times, NowAndTheSystemTimeAreDates)
{
	VTime now(eInitWithCurrentTime);
	EXPECT_FALSE(now.IsNull());
	EXPECT_GE(now.GetLocalYear(), 2024);
	VTime stored;
	stored.FromSystemTime();
	EXPECT_FALSE(stored.IsNull());
	EXPECT_GE(stored.GetLocalYear(), 2024);
	VTime zero(eInitWithZero);
	EXPECT_EQ(zero.GetStamp(), 0u);
}

TEST_F(InParis, LocalFieldsFollowTheOffsetOfTheirDate)
{
	struct Case {
		const char* fName;
		sWORD fLocal[7];
		const char* fUTC;
	};
	const Case cases[] = {
		{"winter", {2021, 1, 15, 12, 0, 0, 5}, "2021-01-15 11:00:00.005"},
		{"summer", {2021, 7, 15, 12, 0, 0, 5}, "2021-07-15 10:00:00.005"},
		{"invalid date", {2021, 2, 30, 12, 0, 0, 0}, "null"},
		{"invalid hour", {2021, 2, 1, 24, 0, 0, 0}, "null"},
		{"the zero date has no zone", {0, 0, 0, 5, 0, 0, 0}, "0000-00-00 05:00:00.000"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		const sWORD* f = c.fLocal;
		VTime time;
		time.FromLocalTime(f[0], f[1], f[2], f[3], f[4], f[5], f[6]);
		EXPECT_EQ(UTC(time), c.fUTC);
		if (time.IsNull())
			continue;
		sWORD local[7];
		time.GetLocalTime(local[0], local[1], local[2], local[3], local[4], local[5], local[6]);
		for (int i = 0; i < 7; ++i)
			EXPECT_EQ(local[i], f[i]) << i;
		EXPECT_EQ(time.GetLocalHour(), f[3]);
		EXPECT_EQ(time.GetLocalMillisecond(), f[6]);
	}
	VDuration sinceMidnight = MakeUTC(2021, 7, 15, 10, 30, 0, 5).GetLocalDurationSinceMidnight();
	EXPECT_EQ(sinceMidnight.ConvertToMilliseconds(), 12 * 3600000LL + 30 * 60000LL + 5);
}

TEST_F(InParis, SettingALocalFieldReplacesOrCarries)
{
	struct Case {
		const char* fName;
		void (*fOperation)(VTime&);
		const char* fUTC;
	};
	// The start is 2021-01-31 10:30 in Paris (09:30 UTC).
	const Case cases[] = {
		{"year", [](VTime& t) { t.SetLocalYear(2020); }, "2020-01-31 09:30:00.000"},
		{"month 13 is January of the next year", [](VTime& t) { t.SetLocalMonth(13); }, "2022-01-31 09:30:00.000"},
		{"month 0 is no month", [](VTime& t) { t.SetLocalMonth(0); }, "null"},
		{"a month without day 31", [](VTime& t) { t.SetLocalMonth(4); }, "null"},
		{"summer month at the same local hour", [](VTime& t) { t.SetLocalMonth(7); }, "2021-07-31 08:30:00.000"},
		{"day 32 is 1 February", [](VTime& t) { t.SetLocalDay(32); }, "2021-02-01 09:30:00.000"},
		{"day 0 is the day before the first", [](VTime& t) { t.SetLocalDay(0); }, "2020-12-31 09:30:00.000"},
		{"hour 25 is 1 o'clock the next day", [](VTime& t) { t.SetLocalHour(25); }, "2021-02-01 00:30:00.000"},
		{"minute -1", [](VTime& t) { t.SetLocalMinute(-1); }, "2021-01-31 08:59:00.000"},
		{"second 75", [](VTime& t) { t.SetLocalSecond(75); }, "2021-01-31 09:31:15.000"},
		{"millisecond 1500", [](VTime& t) { t.SetLocalMillisecond(1500); }, "2021-01-31 09:30:01.500"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VTime time = MakeUTC(2021, 1, 31, 9, 30);
		c.fOperation(time);
		EXPECT_EQ(UTC(time), c.fUTC);
	}
	VTime leap = MakeUTC(2024, 2, 29, 12);
	leap.SetLocalYear(2023);
	EXPECT_TRUE(leap.IsNull());
	VTime null;
	null.SetNull(true);
	null.SetLocalHour(3);
	EXPECT_TRUE(null.IsNull());
}

TEST_F(InParis, UnixTimeComesFromTheValueEvenInTheRepeatedHour)
{
	// 02:30 happens twice in Paris on 31 October 2021: at 00:30 and 01:30 UTC.
	VTime first = MakeUTC(2021, 10, 31, 0, 30);
	VTime second = MakeUTC(2021, 10, 31, 1, 30, 0, 250);
	EXPECT_EQ(first.GetLocalHour(), second.GetLocalHour());
	EXPECT_EQ(first.GetLocalUnixTime(false), 1635640200);
	EXPECT_EQ(second.GetLocalUnixTime(false), 1635643800);
	EXPECT_EQ(second.GetLocalUnixTime(true), 1635643800250LL);
	EXPECT_EQ(MakeUTC(1970, 1, 1).GetLocalUnixTime(true), 0);
	EXPECT_EQ(MakeUTC(1969, 12, 31, 23, 59, 59, 500).GetLocalUnixTime(false), -1);
	VTime null;
	null.SetNull(true);
	EXPECT_EQ(null.GetLocalUnixTime(true), 0);
}

TEST_F(InParis, TodayIsLocalMidnight)
{
	VTime today;
	today.FromToday();
	EXPECT_FALSE(today.IsNull());
	EXPECT_EQ(today.GetLocalHour(), 0);
	EXPECT_EQ(today.GetLocalMinute(), 0);
	VTime later;
	later.FromToday(90 * 60000);
	EXPECT_EQ(later.GetLocalHour(), 1);
	EXPECT_EQ(later.GetLocalMinute(), 30);
}

TEST_F(InParis, CompilerDateAndTimeAreLocal)
{
	struct Case {
		const char* fDate;
		const char* fTime;
		const char* fUTC;
	};
	const Case cases[] = {
		{"Feb 11 2021", "10:20:30", "2021-02-11 09:20:30.000"},
		{"Jul  4 2021", "00:00:01", "2021-07-03 22:00:01.000"},
		{"jan 1 2021", "12:00:00", "2021-01-01 11:00:00.000"},
		{"Foo 1 2021", "12:00:00", "null"},
		{"Feb 30 2021", "12:00:00", "null"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fDate);
		VTime time;
		time.FromCompilerDateTime(c.fDate, c.fTime);
		EXPECT_EQ(UTC(time), c.fUTC);
	}
}

} // namespace
} // namespace qirn
