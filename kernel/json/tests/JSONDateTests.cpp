// JSON dates: made from times by their UTC day, read back as UTC midnight,
// written as their date text, compared by day, and carried by objects.
#include "core/VCompareOptions.h"
#include "core/VTime.h"
#include "core/tests/JSONFormTestSupport.h"
#include "core/tests/TimeTestSupport.h"
#include "json/VJSONCloner.h"
#include "json/tests/JSONTestSupport.h"
#include "testing/TestTimeZone.h"

#include <memory>
#include <string>

namespace qirn {
namespace {

using testing::Describe;
using testing::InParis;
using testing::JSONDate;
using testing::NullValue;
using testing::MakeUTC;
using testing::NewArray;
using testing::NewObject;
using testing::U;
using testing::UTC;

std::string TimeOf(const VJSONValue& inValue)
{
	VTime time = MakeUTC(1999, 9, 9, 9, 9, 9, 9);
	inValue.GetTime(time);
	return UTC(time);
}

// Paris, where late evening UTC is already the next day: a date keeps the
// UTC day.
TEST_F(InParis, ATimeMakesADateOfItsUTCDay)
{
	VTime zeroWithTime;
	zeroWithTime.FromUTCTime(0, 0, 0, 1, 0, 0, 0);
	struct Case {
		const char* fName;
		VTime fTime;
		std::string fJSON;
	};
	const Case cases[] = {
		{"a time of day is dropped", MakeUTC(2024, 2, 29, 12, 30), "date 2024-02-29"},
		{"late evening UTC", MakeUTC(2021, 6, 30, 23, 30), "date 2021-06-30"},
		{"a null time", NullValue<VTime>(), "null"},
		{"the zero date", zeroWithTime, "date 0000-00-00"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		EXPECT_EQ(Describe(VJSONValue(c.fTime)), c.fJSON);
		// Over a string, whose buffer the setter must give back.
		VJSONValue value(U("a text long enough to live in a heap buffer of its own"));
		value.SetTime(c.fTime);
		EXPECT_EQ(Describe(value), c.fJSON);
	}
}

TEST_F(InParis, ValuesGiveTheTimeTheyHold)
{
	struct Case {
		const char* fName;
		VJSONValue fValue;
		std::string fTime;
	};
	const Case cases[] = {
		{"a date is its UTC midnight", JSONDate(2024, 2, 29), "2024-02-29 00:00:00.000"},
		{"the zero date", JSONDate(0, 0, 0), "0000-00-00 00:00:00.000"},
		{"a date that does not exist", JSONDate(2023, 2, 29), "null"},
		{"UTC text", VJSONValue(U("2021-03-04T05:06:07.008Z")), "2021-03-04 05:06:07.008"},
		// The offset is an offset, on the morning clocks go forward.
		{"text with an offset", VJSONValue(U("2021-03-28T03:30:00+02:00")), "2021-03-28 01:30:00.000"},
		{"text of numbers, year first", VJSONValue(U("2021-03-04 05:06:07")), "2021-03-04 05:06:07.000"},
		{"text without numbers is the zero date", VJSONValue(U("soon")), "0000-00-00 00:00:00.000"},
		{"null", VJSONValue(JSON_null), "null"},
		{"a number", VJSONValue(20210304.0), "null"},
		{"true", VJSONValue(JSON_true), "null"},
		{"undefined", VJSONValue(JSON_undefined), "null"},
		{"an object", VJSONValue(JSON_object), "null"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		EXPECT_EQ(TimeOf(c.fValue), c.fTime);
	}
}

TEST(JSONDate, ADateWritesItsDayAsText)
{
	struct Case {
		const char* fName;
		VJSONValue fValue;
		std::string fText;
	};
	const Case cases[] = {
		{"a date", JSONDate(2024, 2, 29), "2024-02-29"},
		{"the zero date", JSONDate(0, 0, 0), "0000-00-00"},
		{"a date that does not exist writes the null time", JSONDate(2023, 2, 29), "0000-00-00T00:00:00Z"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VString text(U("old"));
		EXPECT_EQ(c.fValue.GetString(text), VE_OK);
		EXPECT_EQ(to_string(text), c.fText);
	}
	VRefPtr<VJSONArray> array = NewArray();
	array->Push(JSONDate(2024, 2, 29));
	array->Push(VJSONValue(1.0));
	VString joined;
	EXPECT_EQ(VJSONValue(array.Get()).GetString(joined), VE_OK);
	EXPECT_EQ(to_string(joined), "2024-02-29,1");
}

TEST(JSONDate, ADateMakesATimeAtUTCMidnight)
{
	std::unique_ptr<VValueSingle> value(JSONDate(2024, 2, 29).CreateVValue(false));
	auto* time = dynamic_cast<VTime*>(value.get());
	ASSERT_NE(time, nullptr);
	EXPECT_EQ(UTC(*time), "2024-02-29 00:00:00.000");
	std::unique_ptr<VValueSingle> invalid(JSONDate(2023, 2, 29).CreateVValue(true));
	ASSERT_NE(dynamic_cast<VTime*>(invalid.get()), nullptr);
	EXPECT_TRUE(invalid->IsNull());
}

TEST(JSONDate, DatesCompareByDay)
{
	VCompareOptions options;
	struct Case {
		const char* fName;
		VJSONValue fA;
		VJSONValue fB;
		int32 fCompare;
		bool fDeepEqual;
	};
	const Case cases[] = {
		{"the same day", JSONDate(2024, 2, 29), VJSONValue(MakeUTC(2024, 2, 29, 18)), 0, true},
		{"the day decides before the time", JSONDate(2024, 2, 29), JSONDate(2024, 3, 1), -1, false},
		{"the month before the day", JSONDate(2024, 3, 1), JSONDate(2024, 2, 29), 1, false},
		{"the year before the month", JSONDate(2023, 12, 31), JSONDate(2024, 1, 1), -1, false},
		{"a year before 0 comes first", JSONDate(-1, 12, 31), JSONDate(0, 0, 0), -1, false},
		{"a date comes after undefined", JSONDate(0, 0, 0), VJSONValue(JSON_undefined), 1, false},
		{"a date is not its text", JSONDate(2024, 2, 29), VJSONValue(U("2024-02-29")), 1, false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		EXPECT_EQ(c.fA.CompareTo(c.fB, options), c.fCompare);
		EXPECT_EQ(c.fB.CompareTo(c.fA, options), -c.fCompare);
		EXPECT_EQ(c.fA.DeepEqualTo(c.fB, options), c.fDeepEqual);
	}
}

TEST_F(InParis, ADateInAnObjectComesBack)
{
	VRefPtr<VJSONObject> object = NewObject();
	const VTime when = MakeUTC(2021, 10, 31, 23, 30); // 1 November in Paris
	VJSONValue date(JSON_undefined);
	ASSERT_EQ(when.GetJSONValue(date, VTime::kJSONValue_AsDate), VE_OK);
	object->SetProperty(U("when"), date, nullptr);
	object->SetProperty(U("label"), VJSONValue(U("end of summer time")), nullptr);

	VJSONValue read = object->GetProperty(U("when"), nullptr);
	EXPECT_EQ(Describe(read), "date 2021-10-31");
	VTime back;
	EXPECT_EQ(back.FromJSONValue(read), VE_OK);
	EXPECT_EQ(UTC(back), "2021-10-31 00:00:00.000");

	VJSONValue copy(JSON_undefined);
	VJSONCloner cloner;
	ASSERT_EQ(cloner.CloneObject(object.Get(), copy), VE_OK);
	VCompareOptions options;
	EXPECT_TRUE(VJSONValue(object.Get()).DeepEqualTo(copy, options));
	copy.SetProperty(U("when"), JSONDate(2021, 11, 1));
	EXPECT_FALSE(VJSONValue(object.Get()).DeepEqualTo(copy, options));
}

} // namespace
} // namespace qirn
