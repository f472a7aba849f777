#include "core/VBoolean.h"
#include "core/VCompareOptions.h"
#include "core/VReal.h"
#include "json/tests/JSONTestSupport.h"

#include <memory>

namespace qirn {
namespace {

using testing::NewArray;
using testing::NewObject;
using testing::U;

TEST(JSONValue, AMovedFromObjectValueKeepsItsKindButHoldsNoContainer)
{
	VRefPtr<VJSONObject> object = NewObject();
	VJSONValue source(object.Get());
	EXPECT_EQ(object->GetRefCount(), 2u);
	VJSONValue target(std::move(source));
	EXPECT_EQ(source.GetType(), JSON_object);
	EXPECT_EQ(source.RetainObject(), nullptr);
	EXPECT_EQ(object->GetRefCount(), 2u);
	source = VJSONValue(JSON_null);
	EXPECT_EQ(object->GetRefCount(), 2u);
}

TEST(JSONValue, SettingTheContainerItAlreadyHoldsLeavesTheCountAlone)
{
	VRefPtr<VJSONObject> object = NewObject();
	VJSONValue value(object.Get());
	value.SetObject(object.Get());
	EXPECT_EQ(object->GetRefCount(), 2u);
	VRefPtr<VJSONArray> array = NewArray();
	value.SetArray(array.Get());
	EXPECT_EQ(object->GetRefCount(), 1u);
	EXPECT_EQ(array->GetRefCount(), 2u);
	value.SetObject(nullptr);
	EXPECT_TRUE(value.IsNull());
	EXPECT_EQ(array->GetRefCount(), 1u);
}

TEST(JSONValue, StringsShareTheBufferOfTheString)
{
	VString text(U("a text long enough to live in a heap buffer of its own"));
	ASSERT_GT(text.GetBufferRefCount(), 0);
	VJSONValue value(text);
	EXPECT_EQ(text.GetBufferRefCount(), 2);
	{
		VJSONValue copy(value);
		EXPECT_EQ(text.GetBufferRefCount(), 3);
		EXPECT_NE(copy.GetStringTag(), value.GetStringTag());
	}
	EXPECT_EQ(text.GetBufferRefCount(), 2);
	{
		VString back;
		value.GetString(back);
		EXPECT_TRUE(back.EqualToStringRaw(text));
	}
	value.SetNumber(1);
	EXPECT_EQ(text.GetBufferRefCount(), 1);
	EXPECT_TRUE(VJSONValue(VString(true)).IsNull());
}

TEST(JSONValue, SettingTheSameBufferAgainOnlyUpdatesTheLength)
{
	VString text(U("a text long enough to live in a heap buffer of its own"));
	VJSONValue value(text);
	uint32 tag = value.GetStringTag();
	const VInlineString* payload = value.GetInlineString();
	ASSERT_NE(payload, nullptr);
	UniChar* buffer = payload->fString;
	value.SetString(*payload);
	EXPECT_EQ(value.GetInlineString()->fString, buffer);
	EXPECT_EQ(value.GetStringTag(), tag);
	EXPECT_EQ(text.GetBufferRefCount(), 2);
	value.SetString(VString(U("other")));
	EXPECT_NE(value.GetStringTag(), tag);
	EXPECT_EQ(text.GetBufferRefCount(), 1);
}

TEST(JSONValue, CopiesTakeAFreshStampAndMovesKeepIt)
{
	VJSONValue value(1.0);
	VJSONValue copy(value);
	EXPECT_NE(copy.GetStamp(), value.GetStamp());
	uint32 stamp = copy.GetStamp();
	VJSONValue moved(std::move(copy));
	EXPECT_EQ(moved.GetStamp(), stamp);
	moved.SetBool(true);
	EXPECT_EQ(moved.GetStamp(), stamp);
}

TEST(JSONValue, ConversionsToNumbersAndBooleansFollowTheKind)
{
	struct Case {
		const char* fName;
		VJSONValue fValue;
		double fNumber;
		bool fBool;
	};
	std::vector<Case> cases;
	cases.push_back({"hexadecimal text", VJSONValue(U("0x1F")), 31, true});
	cases.push_back({"a bare prefix", VJSONValue(U("0X")), 0, true});
	cases.push_back({"a real in text", VJSONValue(U("12.5")), 12.5, true});
	cases.push_back({"text that is no number", VJSONValue(U("abc")), 0, true});
	cases.push_back({"the empty string", VJSONValue(U("")), 0, false});
	cases.push_back({"true", VJSONValue(JSON_true), 1, true});
	cases.push_back({"false", VJSONValue(JSON_false), 0, false});
	cases.push_back({"the number 0", VJSONValue(0.0), 0, false});
	cases.push_back({"an empty object", VJSONValue(JSON_object), 0, true});
	cases.push_back({"an empty array", VJSONValue(JSON_array), 0, true});
	cases.push_back({"null", VJSONValue(JSON_null), 0, false});
	cases.push_back({"undefined", VJSONValue(JSON_undefined), 0, false});
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		EXPECT_DOUBLE_EQ(c.fValue.GetNumber(), c.fNumber);
		EXPECT_EQ(c.fValue.GetBool(), c.fBool);
	}
}

TEST(JSONValue, ArraysGiveFlatCommaJoinedTextAndFailOnThemselves)
{
	VRefPtr<VJSONArray> inner = NewArray();
	inner->Push(VJSONValue(3.0));
	VRefPtr<VJSONArray> middle = NewArray();
	middle->Push(VJSONValue(2.0));
	middle->Push(VJSONValue(inner.Get()));
	VJSONValue outer(JSON_array);
	outer.GetArray()->Push(VJSONValue(1.0));
	outer.GetArray()->Push(VJSONValue(middle.Get()));
	VString text;
	EXPECT_EQ(outer.GetString(text), VE_OK);
	EXPECT_EQ(to_string(text), "1,2,3");

	inner->Push(VJSONValue(outer.GetArray()));
	VString kept(U("kept"));
	EXPECT_NE(outer.GetString(kept), VE_OK);
	EXPECT_EQ(to_string(kept), "kept");
	inner->Clear();
}

TEST(JSONValue, NullAndUndefinedCompareEqualButAreNotDeepEqual)
{
	VCompareOptions options;
	VJSONValue null(JSON_null);
	VJSONValue undefined(JSON_undefined);
	EXPECT_EQ(null.CompareTo(undefined, options), 0);
	EXPECT_EQ(undefined.CompareTo(null, options), 0);
	EXPECT_FALSE(null.DeepEqualTo(undefined, options));
	EXPECT_LT(VJSONValue(JSON_false).CompareTo(VJSONValue(1.0), options), 0);
	EXPECT_EQ(VJSONValue(2.0).CompareTo(VJSONValue(2.0), options), 0);
	EXPECT_GT(VJSONValue(3.0).CompareTo(VJSONValue(2.0), options), 0);
}

TEST(JSONValue, StringsCompareByTheirTextUnderTheOptions)
{
	struct Case {
		const char* fName;
		const char* fA;
		const char* fB;
		bool fDiacritical;
		int32 fResult;
		bool fDeepEqual;
	};
	const Case cases[] = {
		{"alphabetical order", "apple", "banana", false, -1, false},
		{"the reverse", "banana", "apple", false, 1, false},
		{"a prefix first", "app", "apple", false, -1, false},
		{"the same text", "apple", "apple", false, 0, true},
		{"case ignored", "Apple", "apple", false, 0, true},
		// The collator's order: lower case before upper case.
		{"case counts when diacritical", "Apple", "apple", true, 1, false},
		{"the empty string first", "", "a", false, -1, false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VCompareOptions options;
		options.SetDiacritical(c.fDiacritical);
		VJSONValue a(U(c.fA));
		VJSONValue b(U(c.fB));
		EXPECT_EQ(a.CompareTo(b, options), c.fResult);
		EXPECT_EQ(b.CompareTo(a, options), -c.fResult);
		EXPECT_EQ(a.DeepEqualTo(b, options), c.fDeepEqual);
	}
}

TEST(JSONValue, ContainersCompareByIdentityAndDeepByContent)
{
	VCompareOptions options;
	VJSONValue a(JSON_object);
	VJSONValue b(JSON_object);
	a.SetProperty(U("x"), VJSONValue(1.0));
	b.SetProperty(U("x"), VJSONValue(1.0));
	EXPECT_NE(a.CompareTo(b, options), 0);
	EXPECT_EQ(a.CompareTo(a, options), 0);
	EXPECT_TRUE(a.DeepEqualTo(b, options));
	b.SetProperty(U("x"), VJSONValue(2.0));
	EXPECT_FALSE(a.DeepEqualTo(b, options));
}

TEST(JSONValue, DatesPackYearMonthAndDay)
{
	VJSONValue value(JSON_null);
	value.SetDate(2024, 2, 29);
	int16 year = 0, month = 0, day = 0;
	EXPECT_TRUE(value.GetDate(year, month, day));
	EXPECT_EQ(year, 2024);
	EXPECT_EQ(month, 2);
	EXPECT_EQ(day, 29);
	EXPECT_TRUE(value.GetBool());
	EXPECT_FALSE(VJSONValue(1.0).GetDate(year, month, day));
	EXPECT_EQ(year, 0);
	VCompareOptions options;
	VJSONValue later(JSON_null);
	later.SetDate(2024, 3, 1);
	EXPECT_LT(value.CompareTo(later, options), 0);
}

TEST(JSONValue, ClearEmptiesEachKindInItsOwnWay)
{
	VJSONValue truth(JSON_true);
	truth.Clear();
	EXPECT_EQ(truth.GetType(), JSON_false);
	VJSONValue text(U("abc"));
	text.Clear();
	EXPECT_TRUE(text.IsString());
	EXPECT_FALSE(text.GetBool());
	VJSONValue number(5.0);
	number.Clear();
	EXPECT_EQ(number.GetNumber(), 0);
	VJSONValue object(JSON_object);
	object.Clear();
	EXPECT_TRUE(object.IsNull());
	VJSONValue undefined(JSON_undefined);
	undefined.Clear();
	EXPECT_TRUE(undefined.IsUndefined());
}

TEST(JSONValue, PathReadersAnswerOnlyForTheirKind)
{
	VJSONValue root(JSON_object);
	root.SetProperty(U("up"), VJSONValue(2.9));
	root.SetProperty(U("down"), VJSONValue(-2.9));
	root.SetProperty(U("text"), VJSONValue(U("5")));
	root.SetProperty(U("yes"), VJSONValue(JSON_true));
	root.SetProperty(U("huge"), VJSONValue(1e300));
	EXPECT_EQ(VJSONValue::GetLongByPath(root, U("up")), 2);
	EXPECT_EQ(VJSONValue::GetLongByPath(root, U("down")), -2);
	EXPECT_EQ(VJSONValue::GetLongByPath(root, U("text")), 0);
	EXPECT_EQ(VJSONValue::GetLongByPath(root, U("huge")), 2147483647);
	EXPECT_TRUE(VJSONValue::GetBoolByPath(root, U("yes")));
	EXPECT_FALSE(VJSONValue::GetBoolByPath(root, U("up")));
	VString out(U("untouched"));
	EXPECT_FALSE(VJSONValue::GetStringByPath(root, U("up"), out));
	EXPECT_EQ(to_string(out), "untouched");
	EXPECT_TRUE(VJSONValue::GetStringByPath(root, U("text"), out));
	EXPECT_EQ(to_string(out), "5");
	EXPECT_EQ(VJSONValue::GetLongByPath(VJSONValue(3.0), U("up")), 0);
	EXPECT_TRUE(VJSONValue(3.0).GetProperty(U("up")).IsUndefined());
}

TEST(JSONValue, CreateVValueMakesTheMatchingValue)
{
	std::unique_ptr<VValueSingle> boolean(VJSONValue(JSON_true).CreateVValue(false));
	ASSERT_NE(dynamic_cast<VBoolean*>(boolean.get()), nullptr);
	EXPECT_TRUE(boolean->GetBoolean());
	std::unique_ptr<VValueSingle> real(VJSONValue(2.5).CreateVValue(false));
	ASSERT_NE(dynamic_cast<VReal*>(real.get()), nullptr);
	EXPECT_EQ(real->GetReal(), 2.5);
	std::unique_ptr<VValueSingle> text(VJSONValue(U("hi")).CreateVValue(false));
	ASSERT_NE(dynamic_cast<VString*>(text.get()), nullptr);
	EXPECT_EQ(to_string(*static_cast<VString*>(text.get())), "hi");
	std::unique_ptr<VValueSingle> marked(VJSONValue(JSON_array).CreateVValue(true));
	auto* markedText = static_cast<VString*>(marked.get());
	ASSERT_EQ(markedText->GetLength(), 4);
	EXPECT_EQ(markedText->GetUniChar(4), 2);
	std::unique_ptr<VValueSingle> unmarked(VJSONValue(JSON_object).CreateVValue(false));
	EXPECT_TRUE(unmarked->IsNull());
	std::unique_ptr<VValueSingle> null(VJSONValue(JSON_null).CreateVValue(true));
	EXPECT_TRUE(null->IsNull());
}

} // namespace
} // namespace qirn
