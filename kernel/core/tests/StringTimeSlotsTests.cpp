// A string meets a time or a duration through their own text rules: the
// value writes its text into the string, and parses the string's text.
#include "core/VDuration.h"
#include "core/VString.h"
#include "core/VTime.h"
#include "core/tests/TimeTestSupport.h"
#include "testing/TestTimeZone.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

using testing::InUTC;
using testing::MakeUTC;

TEST_F(InUTC, AStringTakesATimesTextAndGivesItBack)
{
	const VTime time = MakeUTC(2024, 3, 31, 1, 30, 15, 250);
	VString text;
	text.FromValue(time);
	VString expected;
	time.GetString(expected);
	EXPECT_EQ(to_string(text), to_string(expected));
	EXPECT_FALSE(text.IsNull());

	VTime back;
	text.GetValue(back);
	EXPECT_EQ(back.GetMilliseconds(), time.GetMilliseconds());

	VTime parsed;
	VString("2024-03-31T01:30:15.250Z").GetTime(parsed);
	EXPECT_EQ(parsed.GetMilliseconds(), time.GetMilliseconds());
}

TEST_F(InUTC, AStringTakesADurationsTextAndItsRulesBack)
{
	VDuration duration;
	duration.FromNbMilliseconds(1500);
	VString text;
	text.FromValue(duration);
	EXPECT_EQ(to_string(text), "1500");

	// Text without ':' is a number of seconds; with ':' it is a clock.
	VDuration parsed;
	VString("1:02:03").GetDuration(parsed);
	EXPECT_EQ(parsed.GetLong8OrMilliSeconds(), 3723000);
	VString("90").GetValue(parsed);
	EXPECT_EQ(parsed.GetLong8OrMilliSeconds(), 90000);
}

TEST_F(InUTC, ANullTimeOrDurationMakesTheStringNull)
{
	VTime nullTime;
	nullTime.SetNull(true);
	VString text("before");
	text.FromTime(nullTime);
	EXPECT_TRUE(text.IsNull());

	VDuration nullDuration;
	nullDuration.SetNull(true);
	VString other("before");
	other.FromDuration(nullDuration);
	EXPECT_TRUE(other.IsNull());
}

} // namespace
} // namespace qirn
