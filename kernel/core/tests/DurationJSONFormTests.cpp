// Durations as JSON values and back: numbers of seconds or milliseconds, the
// "H:MM:SS" text, and the seconds a duration reads from any JSON value.
#include "core/VDuration.h"
#include "core/VString.h"
#include "core/tests/JSONFormTestSupport.h"
#include "json/VJSONValue.h"

#include <gtest/gtest.h>

#include <limits>
#include <string>

namespace qirn {
namespace {

using testing::Describe;
using testing::NullValue;

constexpr uint32 kMilliseconds = VDuration::kJSONValue_Milliseconds;
constexpr uint32 kClock = VDuration::kJSONValue_HoursMinutesSeconds;

TEST(DurationJSONForms, ADurationGivesSecondsMillisecondsOrAClockText)
{
	struct Case {
		const char* fName;
		VDuration fDuration;
		uint32 fOptions;
		std::string fJSON;
	};
	const Case cases[] = {
		{"seconds", VDuration(1500), 0, "number 1.5"},
		{"milliseconds", VDuration(1500), kMilliseconds, "number 1500"},
		{"negative seconds", VDuration(-1500), 0, "number -1.5"},
		{"the text counts hours beyond a day", VDuration(90061000), kClock, "string 25:01:01"},
		{"the text wins over milliseconds", VDuration(90061000), kClock | kMilliseconds, "string 25:01:01"},
		{"the text drops milliseconds", VDuration(3723999), kClock, "string 1:02:03"},
		{"minutes and seconds of one digit get a 0", VDuration(540000 + 9000), kClock, "string 0:09:09"},
		{"ten minutes and ten seconds do not", VDuration(610000), kClock, "string 0:10:10"},
		{"a negative text has one sign", VDuration(-3723000), kClock, "string -1:02:03"},
		{"zero", VDuration(0), kClock, "string 0:00:00"},
		{"a null duration", NullValue<VDuration>(), 0, "null"},
		{"a null duration as text", NullValue<VDuration>(), kClock, "null"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VJSONValue json(JSON_undefined);
		EXPECT_EQ(c.fDuration.GetJSONValue(json, c.fOptions), VE_OK);
		EXPECT_EQ(Describe(json), c.fJSON);
	}
}

TEST(DurationJSONForms, ADurationReadsSecondsFromAnyJSONValue)
{
	constexpr sLONG8 kMax = std::numeric_limits<sLONG8>::max();
	struct Case {
		const char* fName;
		VJSONValue fJSON;
		bool fNull;
		sLONG8 fMilliseconds;
	};
	const Case cases[] = {
		{"null", VJSONValue(JSON_null), true, 0},
		{"seconds", VJSONValue(1.5), false, 1500},
		{"a fraction below the millisecond is cut toward zero", VJSONValue(-2.0009), false, -2000},
		{"seconds just short of a whole millisecond in binary", VJSONValue(1.001), false, 1001},
		{"a text of seconds", VJSONValue(VString("2.5")), false, 2500},
		{"true is one second", VJSONValue(JSON_true), false, 1000},
		{"undefined is no time", VJSONValue(JSON_undefined), false, 0},
		{"a clock text reads as its leading number", VJSONValue(VString("1:02:03")), false, 1000},
		{"too many seconds stop at the end of the range", VJSONValue(1e300), false, kMax},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VDuration duration(77);
		EXPECT_EQ(duration.FromJSONValue(c.fJSON), VE_OK);
		EXPECT_EQ(duration.IsNull(), c.fNull);
		EXPECT_EQ(duration.ConvertToMilliseconds(), c.fMilliseconds);
	}
}

// Seconds written as count / 1000.0 must read back to the same count, even
// where count / 1000.0 * 1000.0 falls short of it (1,001 ms gives
// 1000.9999...).
TEST(DurationJSONForms, EveryMillisecondCountComesBackFromItsSeconds)
{
	for (sLONG8 base : {sLONG8{0}, sLONG8{-5000}, sLONG8{1'700'000'000'000}}) {
		for (sLONG8 count = base; count < base + 5000; ++count) {
			VDuration duration(count);
			VJSONValue json(JSON_undefined);
			duration.GetJSONValue(json, 0);
			VDuration back;
			back.FromJSONValue(json);
			ASSERT_EQ(back.ConvertToMilliseconds(), count);
		}
	}
}

} // namespace
} // namespace qirn
