#include "json/VJSONErrors.h"
#include "json/VJSONImporter.h"
#include "json/VJSONNesting.h"
#include "json/VJSONWriter.h"
#include "json/tests/JSONTestSupport.h"
#include "runtime/VTask.h"
#include "testing/RaisedErrors.h"
#include "testing/TestWaits.h"

#include <cmath>
#include <limits>
#include <string>

namespace qirn {
namespace {

using testing::JSONLeakMonitor;
using testing::NewArray;
using testing::NewObject;
using testing::RaisedErrors;
using testing::U;

constexpr uint32 kQuotes = VJSONWriter::kOption_Quotes;

VJSONValue Parse(const char* inText)
{
	VJSONValue value;
	EXPECT_EQ(VJSONImporter::ParseString(VString(inText), value, 3), VE_OK);
	return value;
}

std::string Write(const VJSONValue& inValue, uint32 inOptions, VError* outError = nullptr)
{
	VString text("unchanged");
	VJSONWriter writer(inOptions);
	VError error = writer.StringifyValue(inValue, text);
	if (outError != nullptr)
		*outError = error;
	return to_string(text);
}

TEST(JSONWriter, WritesCompactAndPrettyText)
{
	struct Case {
		const char* fText;
		uint32 fOptions;
		const char* fExpected;
	};
	const Case cases[] = {
		{"{\"a\":1,\"b\":[1,2]}", kQuotes, "{\"a\":1,\"b\":[1,2]}"},
		{"{\"a\":1,\"b\":[1,2]}", kQuotes | VJSONWriter::kOption_Pretty, "{\n\t\"a\": 1,\n\t\"b\": [\n\t\t1,\n\t\t2\n\t]\n}"},
		{"{\"a\":{},\"b\":[]}", kQuotes | VJSONWriter::kOption_Pretty, "{\n\t\"a\": {},\n\t\"b\": []\n}"},
		{"{}", kQuotes | VJSONWriter::kOption_Pretty, "{}"},
		{"[3, 0.1, 1e300, -0, 1.5e-7, 123456789012345678]", kQuotes, "[3,0.1,1E+300,0,1.5E-07,1.2345678901235E+17]"},
		{"[\"q\\\"\\\\\\n\\u0001\\u007f&'\"]", kQuotes, "[\"q\\\"\\\\\\n\\u0001\\u007F&'\"]"},
		{"[\"&'\"]", kQuotes | VJSONWriter::kOption_EscapeAmpAndApos, "[\"\\u0026\\u0027\"]"},
		{"[\"a\\nb\"]", kQuotes | VJSONWriter::kOption_Raw, "[\"a\nb\"]"},
		{"{\"n\\\"ame\":true}", kQuotes, "{\"n\\\"ame\":true}"},
		{"[null,false]", kQuotes, "[null,false]"},
		{"\"text\"", 0, "text"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		EXPECT_EQ(Write(Parse(c.fText), c.fOptions), c.fExpected);
	}
}

TEST(JSONWriter, WritesSpecialValues)
{
	VRefPtr<VJSONArray> array = NewArray();
	array->Push(VJSONValue(JSON_undefined));
	array->Push(VJSONValue(std::nan("")));
	array->Push(VJSONValue(std::numeric_limits<double>::infinity()));
	VJSONValue date(JSON_null);
	date.SetDate(2024, 2, 29);
	array->Push(date);
	EXPECT_EQ(Write(VJSONValue(array.Get()), kQuotes), "[null,null,null,\"2024-02-29T00:00:00.000Z\"]");
	EXPECT_EQ(Write(VJSONValue(array.Get()), kQuotes | 512), "[null,null,null,\"2024-02-29\"]");
	// The end marker leaves the text as it was.
	VError error = 1;
	EXPECT_EQ(Write(VJSONValue::sLastType, kQuotes, &error), "unchanged");
	EXPECT_EQ(error, VE_OK);
	VString text;
	VJSONWriter writer(kQuotes);
	EXPECT_EQ(writer.StringifyObject(nullptr, text), VE_OK);
	EXPECT_EQ(to_string(text), "undefined");
}

// Plain objects are written straight from their maps, nested ones sharing
// the writer's slots: the order stays the insertion order after a removal
// and an overwrite, at every level.
TEST(JSONWriter, WritesPropertiesInTheirOrderAtEveryLevel)
{
	VRefPtr<VJSONObject> inner = NewObject();
	inner->SetProperty(U("b"), VJSONValue(2.0));
	inner->SetProperty(U("a"), VJSONValue(1.0));
	VRefPtr<VJSONObject> outer = NewObject();
	outer->SetProperty(U("z"), VJSONValue(1.0));
	outer->SetProperty(U("gone"), VJSONValue(0.0));
	outer->SetProperty(U("inner"), VJSONValue(inner.Get()));
	outer->SetProperty(U("y"), VJSONValue(2.0));
	outer->RemoveProperty(U("gone"));
	outer->SetProperty(U("z"), VJSONValue(3.0));
	EXPECT_EQ(Write(VJSONValue(outer.Get()), kQuotes), "{\"z\":3,\"inner\":{\"b\":2,\"a\":1},\"y\":2}");
}

TEST(JSONWriter, RefusesContainersThatContainThemselves)
{
	JSONLeakMonitor monitor;
	{
		VRefPtr<VJSONObject> object = NewObject();
		VRefPtr<VJSONArray> array = NewArray();
		array->Push(VJSONValue(object.Get()));
		object->SetProperty(U("list"), VJSONValue(array.Get()));
		{
			RaisedErrors raised;
			VError error = VE_OK;
			EXPECT_EQ(Write(VJSONValue(object.Get()), kQuotes, &error), "unchanged");
			EXPECT_EQ(error, VE_JSON_CIRCULAR);
			EXPECT_EQ(raised.Last(), VE_JSON_CIRCULAR);
		}
		EXPECT_EQ(Write(VJSONValue(object.Get()), kQuotes | VJSONWriter::kOption_CircularAsText),
				  "{\"list\":[\"[circular]\"]}");
		VRefPtr<VJSONArray> self = NewArray();
		self->Push(VJSONValue(self.Get()));
		RaisedErrors raised;
		VError error = VE_OK;
		Write(VJSONValue(self.Get()), kQuotes | VJSONWriter::kOption_CircularAsText, &error);
		EXPECT_EQ(error, VE_JSON_CIRCULAR);
		self->Clear();
		object->RemoveProperty(U("list"));
	}
	EXPECT_EQ(monitor.Objects(), 0);
	EXPECT_EQ(monitor.Arrays(), 0);
}

TEST(JSONWriter, RefusesObjectsWrittenTwiceOnlyWhenAsked)
{
	VRefPtr<VJSONObject> child = NewObject();
	VRefPtr<VJSONObject> parent = NewObject();
	parent->SetProperty(U("x"), VJSONValue(child.Get()));
	parent->SetProperty(U("y"), VJSONValue(child.Get()));
	EXPECT_EQ(Write(VJSONValue(parent.Get()), kQuotes), "{\"x\":{},\"y\":{}}");
	RaisedErrors raised;
	VError error = VE_OK;
	Write(VJSONValue(parent.Get()), kQuotes | VJSONWriter::kOption_RefuseObjectsWrittenTwice, &error);
	EXPECT_EQ(error, VE_JSON_OBJECT_WRITTEN_TWICE);
	EXPECT_EQ(raised.Last(), VE_JSON_OBJECT_WRITTEN_TWICE);
}

TEST(JSONWriter, TruncatesLongDescriptionsWithOneEllipsis)
{
	VRefPtr<VJSONObject> object = NewObject();
	for (int i = 0; i < 100; ++i)
		object->SetProperty(VString(("p" + std::to_string(i)).c_str()), VJSONValue(static_cast<double>(i)));
	VString description;
	object->GetDescription(description, true);
	std::string text = to_string(description);
	// Parts of 6 characters up to p9 and 8 from p10: the count passes 512
	// with p66 (516), so p67 is the last part written.
	EXPECT_EQ(text.substr(text.size() - 12), ",\"p67\":67...");
	EXPECT_EQ(text.front(), '{');
	object->GetDescription(description, false);
	EXPECT_EQ(to_string(description).back(), '}');

	VRefPtr<VJSONArray> outer = NewArray();
	for (int i = 0; i < 3; ++i)
		outer->Push(VJSONValue(object.Get()));
	VString many;
	VJSONWriter writer(kQuotes | VJSONWriter::kOption_Truncate);
	ASSERT_EQ(writer.StringifyArray(outer.Get(), many), VE_OK);
	std::string manyText = to_string(many);
	EXPECT_EQ(manyText.find("..."), manyText.rfind("..."));
}

// Joined text longer than a string can hold fails with 107, for arrays as
// for objects.
TEST(JSONWriter, RefusesTextTooLongToJoin)
{
	VJSONValue array = Parse("[\"0123456789\",\"0123456789\",\"0123456789\"]");
	VJSONValue object = Parse("{\"a\":\"0123456789\",\"b\":\"0123456789\"}");
	for (const VJSONValue* value : {&array, &object}) {
		RaisedErrors raised;
		VString text("unchanged");
		VJSONWriter writer(kQuotes);
		writer._SetMaxLength(20);
		EXPECT_EQ(writer.StringifyValue(*value, text), VE_STRING_ALLOC_FAILED);
		EXPECT_EQ(raised.Last(), VE_STRING_ALLOC_FAILED);
		EXPECT_EQ(to_string(text), "unchanged");
	}
}

// What is written nests no deeper than what the reader takes.
TEST(JSONWriter, WritesNoDeeperThanTheReaderReads)
{
	for (uint32 depth : {kJSONMaxDepth, kJSONMaxDepth + 1}) {
		SCOPED_TRACE(depth);
		VJSONValue root(JSON_array);
		VJSONValue current = root;
		for (uint32 i = 1; i < depth; ++i) {
			VJSONValue child(JSON_array);
			current.GetArray()->Push(child);
			current = child;
		}
		RaisedErrors raised;
		VString text;
		EXPECT_EQ(root.Stringify(text, kQuotes), depth > kJSONMaxDepth ? VE_STACK_OVERFLOW : VE_OK);
	}
}

// A tree built deeper than the stack allows fails with 108 instead of
// overflowing it.
TEST(JSONWriter, StopsBeforeTheStackRunsOut)
{
	VJSONValue root(JSON_array);
	VJSONValue current = root;
	for (int i = 0; i < 20000; ++i) {
		VJSONValue child(JSON_array);
		current.GetArray()->Push(child);
		current = child;
	}
	VError result = VE_OK;
	VError last = VE_OK;
	VRefPtr<VTask> task = VRefPtr<VTask>::Adopt(new VTask(128 * 1024, ETaskStyle::kPreemptive, [&]() {
		RaisedErrors raised;
		VString text;
		result = root.Stringify(text, kQuotes);
		last = raised.Last();
	}));
	ASSERT_TRUE(task->Run());
	ASSERT_TRUE(task->WaitForDeath(testing::kHangMilliseconds));
	EXPECT_EQ(result, VE_STACK_OVERFLOW);
	EXPECT_EQ(last, VE_STACK_OVERFLOW);
	// Freed from the bottom up: a chain this long must not be released by
	// recursion either.
	while (root.GetArray()->GetCount() > 0) {
		VJSONValue next = root.GetArray()->GetAt(0);
		root.GetArray()->Clear();
		root = next;
	}
}

} // namespace
} // namespace qirn
