#include "runtime/VSystem.h"
#include "runtime/platform/XLinuxSystem.h"
#include "testing/TestTimeZone.h"

#include <gtest/gtest.h>

#include <string>

namespace qirn {
namespace {

using testing::InParis;
using testing::InUTC;
using testing::StTimeZone;

std::string Fields(const sWORD inDateTime[7])
{
	std::string text;
	for (int i = 0; i < 7; ++i)
		text += (i > 0 ? " " : "") + std::to_string(inDateTime[i]);
	return text;
}

TEST_F(InParis, LocalAndUTCConvertWithTheOffsetOfTheirOwnDate)
{
	struct Case {
		const char* fName;
		sWORD fLocal[7];
		sWORD fUTC[7];
	};
	const Case cases[] = {
		{"winter", {2021, 1, 15, 12, 30, 45, 789}, {2021, 1, 15, 11, 30, 45, 789}},
		{"summer", {2021, 7, 1, 12, 0, 0, 5}, {2021, 7, 1, 10, 0, 0, 5}},
		{"across midnight", {2021, 1, 1, 0, 30, 0, 0}, {2020, 12, 31, 23, 30, 0, 0}},
		{"last winter hour before the change", {2021, 3, 28, 1, 59, 59, 0}, {2021, 3, 28, 0, 59, 59, 0}},
		{"first summer hour after the change", {2021, 3, 28, 3, 0, 0, 0}, {2021, 3, 28, 1, 0, 0, 0}},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		sWORD local[7], utc[7];
		std::copy(c.fLocal, c.fLocal + 7, local);
		std::copy(c.fUTC, c.fUTC + 7, utc);
		VSystem::LocalToUTCTime(local);
		EXPECT_EQ(Fields(local), Fields(c.fUTC));
		VSystem::UTCToLocalTime(utc);
		EXPECT_EQ(Fields(utc), Fields(c.fLocal));
	}
}

TEST_F(InParis, ArraysWithoutYearMonthAndHourAreLeftAlone)
{
	sWORD noDate[7] = {0, 0, 5, 0, 30, 0, 7};
	VSystem::LocalToUTCTime(noDate);
	EXPECT_EQ(Fields(noDate), "0 0 5 0 30 0 7");
	VSystem::UTCToLocalTime(noDate);
	EXPECT_EQ(Fields(noDate), "0 0 5 0 30 0 7");
}

TEST_F(InUTC, LocalTimeIsUTC)
{
	sWORD dateTime[7] = {2021, 7, 1, 12, 0, 0, 0};
	VSystem::LocalToUTCTime(dateTime);
	EXPECT_EQ(Fields(dateTime), "2021 7 1 12 0 0 0");
	EXPECT_EQ(VSystem::GetGMTOffset(true), 0);
	EXPECT_EQ(VSystem::GetGMTOffset(false), 0);
}

TEST_F(InParis, GMTOffsetIsTodaysWithOrWithoutDaylightSaving)
{
	// Which of the two applies depends on today's date; without daylight
	// saving it is always Paris's standard offset.
	bool daylight = false;
	sLONG today = XLinuxSystem::GetZoneOffset(XLinuxSystem::GetRealTimeMilliseconds() / 1000, &daylight);
	EXPECT_EQ(VSystem::GetGMTOffset(true), today);
	EXPECT_EQ(VSystem::GetGMTOffset(false), 3600);
	EXPECT_EQ(today, daylight ? 7200 : 3600);
}

TEST(SystemTime, AChangedZoneIsSeenOnceTheSystemIsTold)
{
	StTimeZone india("<+0530>-5:30");
	EXPECT_EQ(VSystem::GetGMTOffset(true), 19800);
	{
		StTimeZone west("<-0330>3:30");
		EXPECT_EQ(VSystem::GetGMTOffset(true), -12600);
		EXPECT_EQ(VSystem::GetGMTOffset(false), -12600);
	}
	EXPECT_EQ(VSystem::GetGMTOffset(true), 19800);
}

TEST_F(InParis, NextZoneChangeIsFoundToTheSecond)
{
	struct Case {
		const char* fName;
		int64 fFrom;
		int64 fLimit;
		int64 fExpected;
	};
	const int64 kSpringChange = 1616893200; // 2021-03-28 01:00 UTC
	const int64 kAutumnChange = 1635642000; // 2021-10-31 01:00 UTC
	const Case cases[] = {
		{"into summer time", 1614556800, 1700000000, kSpringChange}, // from 2021-03-01
		{"out of summer time", 1617235200, 1700000000, kAutumnChange}, // from 2021-04-01
		{"one second before the change", kSpringChange - 1, 1700000000, kSpringChange},
		{"none before the limit", kSpringChange, kSpringChange + 3600, kSpringChange + 3600},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		EXPECT_EQ(XLinuxSystem::FindNextZoneChange(c.fFrom, c.fLimit), c.fExpected);
	}
}

TEST_F(InUTC, AZoneThatNeverChangesReachesTheLimit)
{
	EXPECT_EQ(XLinuxSystem::FindNextZoneChange(1614556800, 1614556800 + 400LL * 86400), 1614556800 + 400LL * 86400);
}

TEST_F(InParis, SystemTimeFieldsAreADateAndATimeOfDay)
{
	sWORD utc[7] = {};
	sWORD local[7] = {};
	sWORD utcAfter[7] = {};
	// Read again when an hour ended between the two readings.
	do {
		VSystem::GetSystemUTCTime(utc);
		VSystem::GetSystemLocalTime(local);
		VSystem::GetSystemUTCTime(utcAfter);
	} while (utc[3] != utcAfter[3]);
	for (const sWORD* fields : {utc, local}) {
		SCOPED_TRACE(Fields(fields));
		EXPECT_GE(fields[0], 2024);
		EXPECT_TRUE(fields[1] >= 1 && fields[1] <= 12);
		EXPECT_TRUE(fields[2] >= 1 && fields[2] <= 31);
		EXPECT_TRUE(fields[3] >= 0 && fields[3] <= 23);
		EXPECT_TRUE(fields[4] >= 0 && fields[4] <= 59);
		EXPECT_TRUE(fields[5] >= 0 && fields[5] <= 59);
		EXPECT_TRUE(fields[6] >= 0 && fields[6] <= 999);
	}
	// Local time in Paris is one or two hours ahead.
	sLONG difference = ((local[3] - utc[3]) + 24) % 24;
	EXPECT_TRUE(difference == 1 || difference == 2) << difference;
}

} // namespace
} // namespace qirn
