// The typed arrays: accessors, searches, statistics and element values.
#include "core/VArrayBoolean.h"
#include "core/VArrayByte.h"
#include "core/VArrayDuration.h"
#include "core/VArrayLong.h"
#include "core/VArrayLong8.h"
#include "core/VArrayReal.h"
#include "core/VArrayString.h"
#include "core/VArrayTime.h"
#include "core/VArrayWord.h"
#include "core/VBoolean.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

namespace qirn {
namespace {

template <class Array, typename T>
Array Make(const std::vector<T>& inValues)
{
	Array array(static_cast<sLONG>(inValues.size()));
	for (size_t i = 0; i < inValues.size(); ++i)
		array.FromReal(static_cast<Real>(inValues[i]), 0); // outside: nothing
	for (size_t i = 0; i < inValues.size(); ++i)
		array.FromValue(VReal(static_cast<Real>(inValues[i])), static_cast<sLONG>(i + 1));
	return array;
}

TEST(TypedArray, FindFollowsTheMethodAndTheDirection)
{
	struct Case {
		sLONG fValue;
		sLONG fStart;
		uBYTE fForward;
		CompareMethod fMethod;
		sLONG fPosition;
	};
	const Case cases[] = {
		{7, 1, 1, CM_EQUAL, 2},			   {7, 4, 0, CM_EQUAL, 3},			{7, 1, 1, CM_GREATER, 4},
		{7, 5, 1, CM_EQUAL, -1},		   {7, 0, 1, CM_EQUAL, -1},			{7, 1, 1, CM_GREATER_OR_EQUAL, 2},
		{7, 4, 0, CM_SMALLER, 1},		   {7, 4, 0, CM_SMALLER_OR_EQUAL, 3}, {6, 1, 1, CM_EQUAL, -1},
		{9, 3, 0, CM_GREATER, -1},		   {7, 1, 1, CompareMethod(5), -1},
	};
	const std::vector<int> values = {5, 7, 7, 9};
	for (const Case& c : cases) {
		SCOPED_TRACE(::testing::PrintToString(std::vector<int>{c.fValue, c.fStart, c.fForward, c.fMethod}));
		EXPECT_EQ(Make<VArrayLong>(values).Find(c.fValue, c.fStart, c.fForward, c.fMethod), c.fPosition);
		EXPECT_EQ(Make<VArrayByte>(values).Find(VLong(c.fValue), c.fStart, c.fForward, c.fMethod), c.fPosition);
		EXPECT_EQ(Make<VArrayWord>(values).Find(VLong(c.fValue), c.fStart, c.fForward, c.fMethod), c.fPosition);
		EXPECT_EQ(Make<VArrayLong8>(values).Find(VLong(c.fValue), c.fStart, c.fForward, c.fMethod), c.fPosition);
		EXPECT_EQ(Make<VArrayReal>(values).Find(VLong(c.fValue), c.fStart, c.fForward, c.fMethod), c.fPosition);
		VArrayDuration durations;
		VArrayString strings;
		for (int v : values) {
			durations.AppendDuration(VDuration(v));
			strings.AppendString(VString(std::to_string(v).c_str()));
		}
		EXPECT_EQ(durations.Find(VDuration(c.fValue), c.fStart, c.fForward, c.fMethod), c.fPosition);
		EXPECT_EQ(strings.Find(VString(std::to_string(c.fValue).c_str()), c.fStart, c.fForward, c.fMethod),
				  c.fPosition);
	}
	EXPECT_EQ(VArrayLong().Find(7, 1, 1, CM_EQUAL), -1);
}

TEST(TypedArray, QuickFindHalvesASortedArray)
{
	const std::vector<int> values = {1, 3, 5};
	struct Case {
		int fValue;
		sLONG fPosition;
	};
	for (const Case& c : {Case{5, 3}, Case{1, 1}, Case{3, 2}, Case{4, -1}, Case{0, -1}, Case{6, -1}}) {
		SCOPED_TRACE(c.fValue);
		EXPECT_EQ(Make<VArrayByte>(values).QuickFind(static_cast<sBYTE>(c.fValue)), c.fPosition);
		EXPECT_EQ(Make<VArrayWord>(values).QuickFind(static_cast<sWORD>(c.fValue)), c.fPosition);
		EXPECT_EQ(Make<VArrayLong>(values).QuickFind(c.fValue), c.fPosition);
		EXPECT_EQ(Make<VArrayLong8>(values).QuickFind(c.fValue), c.fPosition);
		EXPECT_EQ(Make<VArrayReal>(values).QuickFind(c.fValue), c.fPosition);
		VArrayDuration durations;
		VArrayString strings;
		for (int v : values) {
			durations.AppendDuration(VDuration(v));
			strings.AppendString(VString(std::to_string(v).c_str()));
		}
		EXPECT_EQ(durations.QuickFind(VDuration(c.fValue)), c.fPosition);
		EXPECT_EQ(strings.QuickFind(VString(std::to_string(c.fValue).c_str())), c.fPosition);
	}
	EXPECT_EQ(VArrayLong().QuickFind(1), -1);
}

TEST(TypedArray, AbsentStringsComeFirstAndAreNeverRead)
{
	VArrayString strings(4);
	strings.FromString(VString("b"), 3);
	strings.FromString(VString("d"), 4);
	// Sorted ascending, absent first: halving steps over them.
	EXPECT_EQ(strings.QuickFind(VString("d")), 4);
	EXPECT_EQ(strings.QuickFind(VString("b")), 3);
	EXPECT_EQ(strings.QuickFind(VString("a")), -1);
	EXPECT_EQ(strings.CompareTo(VString("a"), false, 1), CR_SMALLER);
	EXPECT_EQ(strings.CompareTo(VString("a"), false, 3), CR_BIGGER);
	EXPECT_EQ(strings.CompareTo(VString("a"), false, 9), CR_SMALLER);
	EXPECT_EQ(strings.Find(VString(""), 1, 1, CM_GREATER_OR_EQUAL), 3);
	VString text("stale");
	strings.GetString(text, 1);
	EXPECT_TRUE(text.IsEmpty());
	text = "stale";
	strings.GetValue(text, 0);
	EXPECT_TRUE(text.IsEmpty());
	strings.FromString(VString("c"), 1);
	strings.FromString(VString("a"), 1); // into the element made above
	strings.GetString(text, 1);
	EXPECT_EQ(to_string(text), "a");
}

TEST(TypedArray, StringsCompareThroughTheCollator)
{
	VArrayString strings;
	for (const char* text : {"b", "A", "\xC3\xA9", "a", "e"})
		strings.AppendString(VString(text));
	strings.Sort(1, 5, 0);
	std::vector<std::string> sorted;
	for (sLONG i = 1; i <= 5; ++i) {
		VString text;
		strings.GetString(text, i);
		sorted.push_back(to_string(text));
	}
	EXPECT_EQ(sorted, (std::vector<std::string>{"a", "A", "b", "e", "\xC3\xA9"}));
	// Without diacritics é equals e.
	EXPECT_EQ(strings.CompareTo(VString("e"), false, 5), CR_EQUAL);
	EXPECT_EQ(strings.CompareTo(VString("e"), true, 5), CR_BIGGER);
	EXPECT_EQ(strings.Find(VString("E"), 1, 1, CM_EQUAL), 4);
}

TEST(TypedArray, MinAndMaxOfAnEmptyArrayAreTheLimitsEveryElementReplaces)
{
	EXPECT_EQ(VArrayByte().GetMax(), -128);
	EXPECT_EQ(VArrayByte().GetMin(), 127);
	EXPECT_EQ(VArrayWord().GetMax(), -32768);
	EXPECT_EQ(VArrayWord().GetMin(), 32767);
	EXPECT_EQ(VArrayLong().GetMax(), -2147483647 - 1);
	EXPECT_EQ(VArrayLong().GetMin(), 2147483647);
	const std::vector<int> values = {4, -3, 9, 0};
	EXPECT_EQ(Make<VArrayByte>(values).GetMin(), -3);
	EXPECT_EQ(Make<VArrayWord>(values).GetMax(), 9);
	EXPECT_EQ(Make<VArrayLong>(values).GetMin(), -3);
}

TEST(TypedArray, RealStatisticsKeepTheVarianceAsStdDev)
{
	VArrayReal reals = Make<VArrayReal>(std::vector<double>{1.0, 3.0});
	EXPECT_EQ(reals.GetSum(), 4.0);
	EXPECT_EQ(reals.GetAverage(), 2.0);
	EXPECT_EQ(reals.GetSquareSum(), 2.0);
	EXPECT_EQ(reals.GetStdDev(), 1.0);
	VArrayReal empty;
	EXPECT_EQ(empty.GetSum(), 0.0);
	EXPECT_EQ(empty.GetAverage(), 0.0);
	EXPECT_EQ(empty.GetSquareSum(), 0.0);
	EXPECT_EQ(empty.GetStdDev(), 0.0);
}

TEST(TypedArray, OutsideTheArrayGettersAnswerZeroAndSettersDoNothing)
{
	VArrayLong longs(1);
	longs.FromLong(5, 0);
	longs.FromLong(5, 2);
	EXPECT_EQ(longs.GetLong(1), 0);
	EXPECT_EQ(longs.GetLong(0), 0);
	EXPECT_EQ(longs.GetLong(2), 0);
	VArrayBoolean booleans(1);
	booleans.FromBoolean(1, 2);
	EXPECT_EQ(booleans.GetBoolean(1), 0);
	EXPECT_EQ(booleans.GetBoolean(2), 0);
	VArrayReal reals(1);
	EXPECT_EQ(reals.GetReal(-1), 0.0);
	VArrayTime times(1);
	VTime time;
	time.FromStamp(12345);
	times.GetTime(time, 2);
	EXPECT_EQ(time.GetStamp(), 0u);
}

TEST(TypedArray, ElementsConvertThroughValuesOfTheirKind)
{
	struct Case {
		std::unique_ptr<VArrayValue> fArray;
		const std::type_info& fValueClass;
	};
	Case cases[] = {
		{std::make_unique<VArrayBoolean>(1), typeid(VBoolean)},
		{std::make_unique<VArrayByte>(1), typeid(VByte)},
		{std::make_unique<VArrayWord>(1), typeid(VWord)},
		{std::make_unique<VArrayLong>(1), typeid(VLong)},
		{std::make_unique<VArrayLong8>(1), typeid(VLong8)},
		{std::make_unique<VArrayReal>(1), typeid(VReal)},
		{std::make_unique<VArrayTime>(1), typeid(VTime)},
		{std::make_unique<VArrayDuration>(1), typeid(VDuration)},
		{std::make_unique<VArrayString>(1), typeid(VString)},
	};
	for (Case& c : cases) {
		SCOPED_TRACE(c.fValueClass.name());
		std::unique_ptr<VValueSingle> value(c.fArray->CloneValue(1));
		ASSERT_NE(value, nullptr);
		EXPECT_EQ(typeid(*value), c.fValueClass);
		// A value of the kind goes in and comes back out equal.
		value->FromLong(1);
		c.fArray->FromValue(*value, 1);
		std::unique_ptr<VValueSingle> back(c.fArray->CloneValue(1));
		EXPECT_EQ(back->CompareTo(*value), CR_EQUAL);
		EXPECT_EQ(c.fArray->CompareTo(*value, false, 1), CR_EQUAL);
		std::unique_ptr<VValue> clone(c.fArray->Clone());
		ASSERT_NE(clone, nullptr);
		EXPECT_EQ(typeid(*clone), typeid(*c.fArray));
		EXPECT_TRUE(clone->CanBeEvaluated());
	}
}

TEST(TypedArray, TimesOrderAsUnsignedStamps)
{
	VArrayTime times;
	VTime early;
	early.FromStamp(0x0001000000000000ULL);
	VTime late;
	late.FromStamp(0xF000000000000000ULL); // negative as a signed number
	times.AppendTime(late);
	times.AppendTime(early);
	times.Sort(1, 2, 0);
	VTime first;
	times.GetTime(first, 1);
	EXPECT_EQ(first.GetStamp(), early.GetStamp());
	EXPECT_EQ(times.Find(late, 1, 1, CM_EQUAL), 2);
	EXPECT_EQ(times.Find(early, 1, 1, CM_GREATER), 2);
}

TEST(TypedArray, SplittingAStringFillsAStringArray)
{
	VArrayString parts;
	parts.AppendString(VString("old"));
	EXPECT_TRUE(VString("a,,b").GetSubStrings(u',', parts, true, false));
	ASSERT_EQ(parts.GetCount(), 3);
	VString text;
	parts.GetString(text, 2);
	EXPECT_TRUE(text.IsEmpty());
	parts.GetString(text, 3);
	EXPECT_EQ(to_string(text), "b");
	EXPECT_TRUE(VString(" a , b ").GetSubStrings(u',', parts, false, true));
	ASSERT_EQ(parts.GetCount(), 2);
	parts.GetString(text, 1);
	EXPECT_EQ(to_string(text), "a");
	EXPECT_FALSE(VString().GetSubStrings(u',', parts, true, false));
	EXPECT_EQ(parts.GetCount(), 1);
	EXPECT_FALSE(VString().GetSubStrings(u',', parts, false, false));
	EXPECT_EQ(parts.GetCount(), 0);
}

} // namespace
} // namespace qirn
