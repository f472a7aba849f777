#include "core/VDuration.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "files/VPtrStream.h"

#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>

namespace qirn {
namespace {

constexpr sLONG8 kMax = std::numeric_limits<sLONG8>::max();
constexpr sLONG8 kMin = std::numeric_limits<sLONG8>::min();

std::string Text(const VString& inString)
{
	return to_string(inString);
}

TEST(Durations, CountAsSecondsWhereTheyMeetNumbers)
{
	VDuration d(1500);
	EXPECT_EQ(d.GetLong(), 1);
	EXPECT_EQ(d.GetLong8(), 1);
	EXPECT_EQ(d.GetReal(), 1.5);
	EXPECT_EQ(d.GetBoolean(), 1);
	EXPECT_EQ(d.GetLong8OrMilliSeconds(), 1500);
	EXPECT_EQ(VDuration(-2500).GetLong(), -2);
	EXPECT_EQ(VDuration(300000).GetByte(), static_cast<sBYTE>(300 & 0xFF));
	EXPECT_EQ(VDuration(0).GetBoolean(), 0);
	EXPECT_EQ(VDuration(5400000).GetDecimalHour(), 1.5);
	EXPECT_EQ(VDuration(5400000).ConvertToHours(), 1);
	EXPECT_EQ(VDuration(5400000).ConvertToMinutes(), 90);

	struct Case {
		const char* fName;
		void (*fSet)(VDuration&);
		sLONG8 fExpected;
	};
	const Case cases[] = {
		{"true", [](VDuration& d) { d.FromBoolean(1); }, 1000},
		{"word", [](VDuration& d) { d.FromWord(-3); }, -3000},
		{"long8", [](VDuration& d) { d.FromLong8(7); }, 7000},
		{"real", [](VDuration& d) { d.FromReal(1.5); }, 1500},
		{"negative real truncates toward zero", [](VDuration& d) { d.FromReal(-1.9999); }, -1999},
		{"a real just short of a whole count in binary", [](VDuration& d) { d.FromReal(1.001); }, 1001},
		{"a negative one too", [](VDuration& d) { d.FromReal(-1.001); }, -1001},
		{"decimal hour", [](VDuration& d) { d.FromDecimalHour(1.5); }, 5400000},
		{"the decimal hour of one millisecond", [](VDuration& d) { d.FromDecimalHour(1.0 / 3600000.0); }, 1},
		{"added to a count", [](VDuration& d) { d.AddDecimalHour(1001.0 / 3600000.0); }, 42 + 1001},
		{"days", [](VDuration& d) { d.FromNbDays(2); }, 172800000},
		{"minutes", [](VDuration& d) { d.FromNbMinutes(-2); }, -120000},
		{"a huge number of days stops at the end of the range", [](VDuration& d) { d.FromNbDays(kMax / 2); }, kMax},
		{"a huge negative real too", [](VDuration& d) { d.FromReal(-1e300); }, kMin},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VDuration d(42);
		d.SetNull(true);
		d.SetDirty(false);
		c.fSet(d);
		EXPECT_EQ(d.ConvertToMilliseconds(), c.fExpected);
		EXPECT_FALSE(d.IsNull());
		EXPECT_TRUE(d.IsDirty());
	}
}

TEST(Durations, ScalarsConvertThroughSeconds)
{
	VDuration fromLong;
	VLong(3).GetDuration(fromLong);
	EXPECT_EQ(fromLong.ConvertToMilliseconds(), 3000);
	VDuration fromReal;
	VReal(0.25).GetDuration(fromReal);
	EXPECT_EQ(fromReal.ConvertToMilliseconds(), 250);

	VLong target;
	VDuration source(2500);
	source.SetNull(true);
	target.FromDuration(source);
	EXPECT_EQ(target.Get(), 2);
	EXPECT_TRUE(target.IsNull());

	std::unique_ptr<VValueSingle> converted(VLong8(4).ConvertTo(9));
	ASSERT_NE(converted, nullptr);
	EXPECT_EQ(converted->GetLong8OrMilliSeconds(), 4000);
	std::unique_ptr<VValueSingle> back(VDuration(4500).ConvertTo(5));
	ASSERT_NE(back, nullptr);
	EXPECT_EQ(back->GetLong8(), 4);
}

TEST(Durations, FromValueAndRESTValueCopyTheNullFlag)
{
	VDuration source(1234);
	source.SetNull(true);
	VDuration target;
	target.FromValue(source);
	EXPECT_EQ(target.ConvertToMilliseconds(), 1234);
	EXPECT_TRUE(target.IsNull());

	// A number that is not 0 is already milliseconds.
	VDuration rest;
	rest.FromRESTValue(VLong8(1500));
	EXPECT_EQ(rest.ConvertToMilliseconds(), 1500);
	EXPECT_FALSE(rest.IsNull());
	rest.FromRESTValue(VLong8(0));
	EXPECT_EQ(rest.ConvertToMilliseconds(), 0);
}

TEST(Durations, CloneKeepsTheNullFlagAndAssignmentClearsIt)
{
	VDuration null(700);
	null.SetNull(true);
	std::unique_ptr<VDuration> clone(null.Clone());
	EXPECT_TRUE(clone->IsNull());
	EXPECT_EQ(clone->ConvertToMilliseconds(), 700);
	EXPECT_TRUE(clone->IsDirty());

	VDuration assigned;
	assigned = null;
	EXPECT_FALSE(assigned.IsNull());
	EXPECT_EQ(assigned.ConvertToMilliseconds(), 700);
}

TEST(Durations, PartsComeFromTruncatingDivisions)
{
	struct Case {
		sLONG8 fMilliseconds;
		sLONG fParts[5];
	};
	const Case cases[] = {
		{90061500, {1, 1, 1, 1, 500}},
		{3723004, {0, 1, 2, 3, 4}},
		{-3723004, {0, -1, -2, -3, -4}},
		{-90061500, {-1, -1, -1, -1, -500}},
		{0, {0, 0, 0, 0, 0}},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fMilliseconds);
		VDuration d(c.fMilliseconds);
		sLONG parts[5];
		d.GetDuration(parts[0], parts[1], parts[2], parts[3], parts[4]);
		for (int i = 0; i < 5; ++i)
			EXPECT_EQ(parts[i], c.fParts[i]) << i;
		EXPECT_EQ(d.GetDay(), c.fParts[0]);
		EXPECT_EQ(d.GetMillisecond(), c.fParts[4]);

		VDuration rebuilt;
		rebuilt.SetDuration(parts[0], parts[1], parts[2], parts[3], parts[4]);
		EXPECT_EQ(rebuilt, d);
	}
	VDuration null(5);
	null.SetNull(true);
	sLONG parts[5];
	null.GetDuration(parts[0], parts[1], parts[2], parts[3], parts[4]);
	for (sLONG part : parts)
		EXPECT_EQ(part, -1);
	VString formatted("x=");
	null.GetFormattedString(formatted);
	EXPECT_EQ(Text(formatted), "x=-1:-1:-1:-1:-1");
	formatted.Clear();
	VDuration(90061500).GetFormattedString(formatted);
	EXPECT_EQ(Text(formatted), "1:1:1:1:500");
}

TEST(Durations, ArithmeticLeavesTheFlagsAlone)
{
	VDuration d;
	d.SetDuration(1, 2, 30, 0, 0);
	d.SetNull(true);
	d.SetDirty(false);
	d.AdjustHour(5);
	EXPECT_EQ(d.GetDay(), 1);
	EXPECT_EQ(d.GetHour(), 5);
	EXPECT_EQ(d.GetMinute(), 30);
	d.AdjustDay(3);
	EXPECT_EQ(d.GetDay(), 3);
	EXPECT_EQ(d.GetHour(), 5);
	d.AdjustMinute(0);
	d.AdjustSecond(7);
	d.AdjustMillisecond(8);
	EXPECT_EQ(d.ConvertToMilliseconds(), 3 * 86400000LL + 5 * 3600000LL + 7008);
	EXPECT_TRUE(d.IsNull());
	EXPECT_FALSE(d.IsDirty());

	VDuration days;
	days.AddDays(30);
	EXPECT_EQ(days.ConvertToMilliseconds(), 2592000000LL);
	days.AddHours(-1);
	days.AddMinutes(1);
	days.AddSeconds(1);
	days.AddMilliseconds(1);
	days.AddDuration(0, 1, 0, 0, 0);
	EXPECT_EQ(days.ConvertToMilliseconds(), 2592000000LL + 61001);

	VDuration big(kMax - 1);
	big.AddMilliseconds(10);
	EXPECT_EQ(big.ConvertToMilliseconds(), kMax);
	big.Add(VDuration(1));
	EXPECT_EQ(big.ConvertToMilliseconds(), kMax);
	VDuration small(kMin + 1);
	small.Substract(VDuration(5));
	EXPECT_EQ(small.ConvertToMilliseconds(), kMin);
}

TEST(Durations, MultiplyDivideAndRemainder)
{
	struct Case {
		const char* fName;
		sLONG8 fStart;
		void (*fOperation)(VDuration&);
		sLONG8 fExpected;
	};
	const Case cases[] = {
		{"remainder", 7000, [](VDuration& d) { d.Remainder(VDuration(3000)); }, 1000},
		{"remainder keeps the dividend's sign", -7000, [](VDuration& d) { d.Remainder(VDuration(3000)); }, -1000},
		{"remainder by zero changes nothing", 7000, [](VDuration& d) { d.Remainder(VDuration(0)); }, 7000},
		{"remainder of the smallest by -1", kMin, [](VDuration& d) { d.Remainder(VDuration(-1)); }, 0},
		{"multiply truncates", 1000, [](VDuration& d) { d.Multiply(1.0015); }, 1001},
		{"divide truncates toward zero", -1000, [](VDuration& d) { d.Divide(3.0); }, -333},
		{"divide by zero goes to the end of the range", 1000, [](VDuration& d) { d.Divide(0.0); }, kMax},
		{"zero divided by zero stays zero", 0, [](VDuration& d) { d.Divide(0.0); }, 0},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VDuration d(c.fStart);
		c.fOperation(d);
		EXPECT_EQ(d.ConvertToMilliseconds(), c.fExpected);
	}
	EXPECT_EQ(VDuration(7000).Divide(VDuration(2000)), 3.5);
}

TEST(Durations, CompareAsSignedCounts)
{
	EXPECT_EQ(VDuration(-1).CompareTo(VDuration(1)), CR_SMALLER);
	EXPECT_EQ(VDuration(5).CompareTo(VDuration(5)), CR_EQUAL);
	EXPECT_TRUE(VDuration(-5) < VDuration(0));
	EXPECT_TRUE(VDuration(5) >= VDuration(5));
	// Another kind is converted first: 2 seconds.
	EXPECT_EQ(VDuration(2000).CompareTo(static_cast<const VValueSingle&>(VLong(2))), CR_EQUAL);
	EXPECT_EQ(VDuration(1999).CompareTo(static_cast<const VValueSingle&>(VLong(2))), CR_SMALLER);

	sLONG8 stored = -10;
	EXPECT_EQ(VDuration(3).CompareToSameKindPtr(&stored), CR_BIGGER);
	sLONG8 a = -1, b = 1;
	const VValueInfo* info = VValue::ValueInfoFromValueKind(9);
	ASSERT_NE(info, nullptr);
	EXPECT_EQ(info->CompareTwoPtrToData(&a, &b, false), CR_SMALLER);
}

TEST(Durations, TextReadsSecondsOrClockParts)
{
	struct Case {
		const char* fText;
		sLONG8 fExpected;
	};
	const Case cases[] = {
		{"1:02:03", 3723000},
		{"02:03", 123000},
		{"1:02:03:004", 3723004},
		{"90", 90000},
		{" 1 : 2 : 3 ", 3723000},
		// One sign for the whole text, as the clock form is written.
		{"-1:02:03", -3723000},
		{"-0:30:00", -1800000},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		VDuration d;
		d.SetNull(true);
		d.FromString(VString(c.fText));
		EXPECT_EQ(d.ConvertToMilliseconds(), c.fExpected);
		EXPECT_FALSE(d.IsNull());
	}

	VString text;
	VDuration(1500).GetString(text);
	EXPECT_EQ(Text(text), "1500");
	VDuration null(1500);
	null.SetNull(true);
	null.GetString(text);
	EXPECT_TRUE(text.IsEmpty());
}

TEST(Durations, ClockTextWritesOneSignAndTheAbsoluteParts)
{
	struct Case {
		sLONG8 fMilliseconds;
		const char* fText;
	};
	const Case cases[] = {
		{90061000, "25:01:01"},
		{3723000, "1:02:03"},
		{-3723000, "-1:02:03"},
		{-1800999, "-0:30:00"},
		{0, "0:00:00"},
		{kMin, "-2562047788015:12:55"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		VString text;
		VDuration(c.fMilliseconds).GetHoursMinutesSecondsString(text);
		EXPECT_EQ(Text(text), c.fText);
	}
	VDuration back;
	back.FromString(VString("-1:02:03"));
	EXPECT_EQ(back.ConvertToMilliseconds(), -3723000);
}

TEST(Durations, JSONStringsHoldMilliseconds)
{
	VString text;
	EXPECT_EQ(VDuration(1500).GetJSONString(text, 0), VE_OK);
	EXPECT_EQ(Text(text), "1500");
	VDuration d;
	d.SetNull(true);
	EXPECT_EQ(d.FromJSONString(VString("-250"), 0), VE_OK);
	EXPECT_EQ(d.ConvertToMilliseconds(), -250);
	EXPECT_FALSE(d.IsNull());
}

TEST(Durations, XMLWritesSecondsOrISO8601)
{
	struct Case {
		sLONG8 fMilliseconds;
		uint32 fOptions;
		const char* fText;
	};
	const Case cases[] = {
		{90061500, VDuration::kXML_ISO8601, "P1DT1H1M1.50000000000000S"},
		{3600000, VDuration::kXML_ISO8601, "PT1H0M0S"},
		{7008, VDuration::kXML_ISO8601, "PT0H0M7.00800000000000S"},
		{-3723000, VDuration::kXML_ISO8601, "PT-1H-2M-3S"},
		{-1500, VDuration::kXML_ISO8601, "PT0H0M-1.50000000000000S"},
		{1500, 0, "1"},
		{-2500, 0, "-2"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		VString text;
		VDuration(c.fMilliseconds).GetXMLString(text, c.fOptions);
		EXPECT_EQ(Text(text), c.fText);
		VDuration back;
		EXPECT_TRUE(back.FromXMLString(text));
		EXPECT_EQ(back.ConvertToMilliseconds(),
				  c.fOptions == VDuration::kXML_ISO8601 ? c.fMilliseconds : c.fMilliseconds / 1000 * 1000);
	}
	VDuration null(1000);
	null.SetNull(true);
	VString text("x");
	null.GetXMLString(text, VDuration::kXML_ISO8601);
	EXPECT_TRUE(text.IsEmpty());
}

TEST(Durations, XMLReadsISO8601WithThirtyDayMonths)
{
	struct Case {
		const char* fText;
		sLONG8 fExpected;
	};
	const Case cases[] = {
		{"P1Y2M3DT4H5M6.5S", (360 + 60 + 3) * 86400000LL + 4 * 3600000LL + 5 * 60000LL + 6500},
		{"PT0.25S", 250},
		// Seconds are read from their digits: through a double, 7.008 would
		// lose a millisecond.
		{"PT7.008S", 7008},
		{"PT0.0009S", 0},
		{"P2D", 2 * 86400000LL},
		{"PT90M", 90 * 60000LL},
		{"1:00", 60000},
		{"45", 45000},
		{"", 0},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		VDuration d;
		d.SetNull(true);
		EXPECT_TRUE(d.FromXMLString(VString(c.fText)));
		EXPECT_EQ(d.ConvertToMilliseconds(), c.fExpected);
		EXPECT_FALSE(d.IsNull());
	}
}

TEST(Durations, FlatAndStreamFormsHoldTheCount)
{
	VDuration d(0x0102030405060708LL);
	sLONG8 flat = 0;
	EXPECT_EQ(d.WriteToPtr(&flat, false, 8), reinterpret_cast<char*>(&flat) + 8);
	EXPECT_EQ(flat, 0x0102030405060708LL);
	EXPECT_EQ(d.GetSpace(0), 8u);
	VDuration loaded;
	loaded.SetNull(true);
	loaded.LoadFromPtr(&flat, false);
	EXPECT_EQ(loaded, d);
	EXPECT_FALSE(loaded.IsNull());

	for (bool swap : {false, true}) {
		SCOPED_TRACE(swap);
		VPtrStream stream;
		stream.SetNeedSwap(swap);
		ASSERT_EQ(stream.OpenWriting(), VE_OK);
		VDuration null(-2);
		null.SetNull(true);
		EXPECT_EQ(null.WriteToStream(&stream), VE_OK);
		stream.PutValue(VDuration(90000), true);
		ASSERT_EQ(stream.CloseWriting(), VE_OK);
		VStreamUnderlyingData data = stream.GetUnderlyingData();
		ASSERT_EQ(data.fSize, 8 + 2 + 8);
		EXPECT_EQ(static_cast<const uint8*>(data.fData)[swap ? 7 : 0], 0xFE);

		ASSERT_EQ(stream.OpenReading(), VE_OK);
		VDuration read;
		read.SetNull(true);
		EXPECT_EQ(read.ReadFromStream(&stream), VE_OK);
		EXPECT_EQ(read.ConvertToMilliseconds(), -2);
		EXPECT_TRUE(read.IsNull()); // readers leave the flags alone
		std::unique_ptr<VValue> value(stream.GetValue());
		ASSERT_NE(value, nullptr);
		EXPECT_EQ(static_cast<VDuration*>(value.get())->ConvertToMilliseconds(), 90000);
		// A short stream leaves the duration as it was.
		EXPECT_NE(read.ReadFromStream(&stream), VE_OK);
		EXPECT_EQ(read.ConvertToMilliseconds(), -2);
	}
}

TEST(Durations, DescriptorMakesAndSwapsDurations)
{
	std::unique_ptr<VValue> made(VValue::NewValueFromValueKind(9));
	ASSERT_NE(made, nullptr);
	EXPECT_EQ(made->GetValueInfo(), &VDuration::sInfo);
	EXPECT_FALSE(made->IsNull());
	sLONG8 stored = 0x0102030405060708LL;
	std::unique_ptr<VValue> loaded(VDuration::sInfo.LoadFromPtr(&stored, false));
	EXPECT_EQ(static_cast<VDuration*>(loaded.get())->ConvertToMilliseconds(), stored);
	EXPECT_EQ(VDuration::sInfo.ByteSwapPtr(&stored, true), reinterpret_cast<char*>(&stored) + 8);
	EXPECT_EQ(stored, 0x0807060504030201LL);
}

} // namespace
} // namespace qirn
