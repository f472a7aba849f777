// Times as JSON values and back: strings of UTC text, JSON dates that keep
// the UTC day, and the texts a time reads from any JSON value.
#include "core/VString.h"
#include "core/VTime.h"
#include "core/tests/JSONFormTestSupport.h"
#include "core/tests/TimeTestSupport.h"
#include "json/VJSONArray.h"
#include "json/VJSONErrors.h"
#include "json/VJSONValue.h"
#include "testing/RaisedErrors.h"
#include "testing/TestTimeZone.h"

#include <gtest/gtest.h>

#include <string>

namespace qirn {
namespace {

using testing::Describe;
using testing::InParis;
using testing::InUTC;
using testing::JSONDate;
using testing::MakeUTC;
using testing::NullValue;
using testing::UTC;

VJSONValue Text(const char* inText)
{
	return VJSONValue(VString(inText));
}

// Paris, so that a time whose local day is not its UTC day shows which one
// the JSON forms keep.
TEST_F(InParis, ATimeGivesUTCTextOrItsUTCDay)
{
	VTime zeroWithTime;
	zeroWithTime.FromUTCTime(0, 0, 0, 1, 2, 3, 4);
	struct Case {
		const char* fName;
		VTime fTime;
		uint32 fOptions;
		std::string fJSON;
	};
	const Case cases[] = {
		{"a null time", NullValue<VTime>(), 0, "null"},
		{"a null time asked as a date", NullValue<VTime>(), VTime::kJSONValue_AsDate, "null"},
		{"a time", MakeUTC(2021, 3, 4, 5, 6, 7, 8), 0, "string 2021-03-04T05:06:07.008Z"},
		{"a time as a date drops the time of day", MakeUTC(2021, 3, 4, 5, 6, 7, 8), VTime::kJSONValue_AsDate,
		 "date 2021-03-04"},
		{"midnight keeps its time in a string", MakeUTC(2024, 2, 29), 0, "string 2024-02-29T00:00:00.000Z"},
		{"the string form takes no text options", MakeUTC(2021, 3, 4, 5, 6, 7, 8),
		 VTime::kJSON_DateOnlyAtMidnight | VTime::kJSON_DateMarkers, "string 2021-03-04T05:06:07.008Z"},
		{"midnight with the text's date option", MakeUTC(2024, 2, 29), VTime::kJSON_DateOnlyAtMidnight,
		 "string 2024-02-29T00:00:00.000Z"},
		{"late evening UTC is the next day in Paris", MakeUTC(2021, 6, 30, 23, 30), VTime::kJSONValue_AsDate,
		 "date 2021-06-30"},
		{"early morning in Paris is the day before in UTC", MakeUTC(2021, 12, 31, 23, 15), 0,
		 "string 2021-12-31T23:15:00.000Z"},
		{"the zero date keeps its time of day", zeroWithTime, 0, "string 0000-00-00T01:02:03.004Z"},
		{"the zero date as a date", zeroWithTime, VTime::kJSONValue_AsDate, "date 0000-00-00"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VJSONValue json(JSON_undefined);
		EXPECT_EQ(c.fTime.GetJSONValue(json, c.fOptions), VE_OK);
		EXPECT_EQ(Describe(json), c.fJSON);
	}
}

TEST_F(InParis, ATimeReadsTheTextOfAnyJSONValue)
{
	struct Case {
		const char* fName;
		VJSONValue fJSON;
		std::string fTime;
	};
	const Case cases[] = {
		{"null", VJSONValue(JSON_null), "null"},
		{"UTC text", Text("2021-03-04T05:06:07.008Z"), "2021-03-04 05:06:07.008"},
		{"text between markers", Text("!!2021-03-04T05:06:07.008Z!!"), "2021-03-04 05:06:07.008"},
		{"text with an offset", Text("2021-03-28T03:30:00+02:00"), "2021-03-28 01:30:00.000"},
		{"local text, summer time", Text("2021-07-01T12:00:00"), "2021-07-01 10:00:00.000"},
		{"a day-first date", Text("4!3!2021"), "2021-03-04 00:00:00.000"},
		{"a date", JSONDate(2024, 2, 29), "2024-02-29 00:00:00.000"},
		{"the zero date", JSONDate(0, 0, 0), "0000-00-00 00:00:00.000"},
		{"a date that does not exist", JSONDate(2023, 2, 29), "null"},
		{"a day with an hour out of range", Text("2021-03-04T25:00:00Z"), "null"},
		{"text that is no date", Text("soon"), "null"},
		{"undefined", VJSONValue(JSON_undefined), "null"},
		{"an empty object", VJSONValue(JSON_object), "null"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VTime time = MakeUTC(1999, 9, 9, 9, 9, 9, 9);
		EXPECT_EQ(time.FromJSONValue(c.fJSON), VE_OK);
		EXPECT_EQ(UTC(time), c.fTime);
	}
}

TEST_F(InParis, TimesComeBackFromTheirJSONValues)
{
	const VTime times[] = {
		MakeUTC(2021, 3, 28, 0, 59, 59, 999), // the last instant of winter time
		MakeUTC(2021, 3, 28, 1),			  // the first of summer time
		MakeUTC(2021, 10, 31, 0, 30),		  // the hour Paris lives twice
		MakeUTC(2021, 10, 31, 1, 30),
		MakeUTC(2000, 2, 29, 23, 59, 59, 999),
		MakeUTC(1, 1, 1),
		NullValue<VTime>(),
	};
	for (const VTime& time : times) {
		SCOPED_TRACE(UTC(time));
		VJSONValue json(JSON_undefined);
		time.GetJSONValue(json, 0);
		VTime back;
		back.FromJSONValue(json);
		EXPECT_EQ(UTC(back), UTC(time));

		time.GetJSONValue(json, VTime::kJSONValue_AsDate);
		back.FromJSONValue(json);
		VTime day = time;
		if (!time.IsNull()) {
			sWORD y, mo, d, h, mi, s, ms;
			time.GetUTCTime(y, mo, d, h, mi, s, ms);
			day = MakeUTC(y, mo, d);
		}
		EXPECT_EQ(UTC(back), UTC(day));
	}
}

TEST_F(InUTC, AnArrayWithoutTextLeavesTheTimeNullAndSaysWhy)
{
	VJSONValue array(JSON_array);
	array.GetArray()->Push(array);
	VTime time = MakeUTC(2021, 3, 4);
	testing::RaisedErrors raised;
	EXPECT_EQ(time.FromJSONValue(array), VE_JSON_CIRCULAR);
	EXPECT_EQ(raised.Last(), VE_JSON_CIRCULAR);
	EXPECT_TRUE(time.IsNull());
	array.GetArray()->Clear();
}

} // namespace
} // namespace qirn
