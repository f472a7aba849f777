#include "core/VTime.h"
#include "json/VJSONErrors.h"
#include "json/VJSONImporter.h"
#include "json/VJSONNesting.h"
#include "json/VJSONWriter.h"
#include "json/VStorageLocker.h"
#include "json/tests/JSONTestSupport.h"
#include "runtime/VErrorContext.h"
#include "runtime/VTask.h"
#include "testing/RaisedErrors.h"
#include "testing/TestWaits.h"

#include <string>

namespace qirn {
namespace {

using testing::JSONLeakMonitor;
using testing::RaisedErrors;
using testing::U;

constexpr uint32 kStrict = VJSONImporter::kOption_Strict;

// The value's compact text, for comparing whole trees at a glance.
std::string Text(const VJSONValue& inValue)
{
	VString text;
	VJSONWriter writer(VJSONWriter::kOption_Quotes);
	EXPECT_EQ(writer.StringifyValue(inValue, text), VE_OK);
	return to_string(text);
}

std::string Param(VErrorBase* inError, const char* inName)
{
	VJSONValue value = inError->GetParameters()->GetProperty(U(inName));
	if (value.IsNumber())
		return std::to_string(static_cast<long long>(value.GetNumber()));
	VString text;
	value.GetString(text);
	return to_string(text);
}

TEST(JSONImporter, ReadsTextIntoTrees)
{
	struct Case {
		const char* fText;
		uint32 fOptions;
		const char* fExpected;
	};
	const Case cases[] = {
		{"{}", kStrict, "{}"},
		{"[]", kStrict, "[]"},
		{" {\"a\" : [1, -2.5, 1E+3, 1e-3, true, false, null, \"x\"]} ", kStrict,
		 "{\"a\":[1,-2.5,1000,0.001,true,false,null,\"x\"]}"},
		{"{a: hello, b: 1}", 0, "{\"a\":\"hello\",\"b\":1}"},
		{"\"abc", 0, "\"abc\""},
		{"{\"a\":1} trailing", kStrict, "{\"a\":1}"},
		{"[1] [2]", kStrict, "[1]"},
		{"{\"a\":1,\"a\":2}", kStrict, "{\"a\":2}"},
		{"\"\\u00e9\\n\\/\\q\"", kStrict, "\"\xC3\xA9\\n/q\""},
		{"\"\\uZZZZ\"", 0, "\"\\u0000\""},
		{"\"\\u1Z2Z\"", 0, "\"\\u0012\""},
		{"\"\\ud83d\\ude00\"", kStrict, "\"\xF0\x9F\x98\x80\""},
		{"-", kStrict, "0"},
		{"-.5", kStrict, "-0.5"},
		{"-0", kStrict, "0"},
		{"123456789012345678901234567890", kStrict, "1.2345678901235E+29"},
		{"9007199254740991", kStrict, "9007199254740991"},
		{"9007199254740993", kStrict, "9.007199254741E+15"},
		{"0.1", kStrict, "0.1"},
		{"[1e400, -1e400, 1e-400, 2.2250738585072014e-308]", kStrict, "[null,null,0,2.2250738585072E-308]"},
		{"1e\xE2\x88\x92" "3", kStrict, "0.001"},
		{"\xE2\x88\x92" "3", 0, "\"\xE2\x88\x92" "3\""},
		{"\x01\x1F[1]", kStrict, "[1]"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		VJSONValue value;
		ASSERT_EQ(VJSONImporter::ParseString(VString(c.fText), value, c.fOptions), VE_OK);
		EXPECT_EQ(Text(value), c.fExpected);
	}
}

TEST(JSONImporter, KeepsRawControlsAndDropsNul)
{
	const UniChar units[] = {u'"', u'a', 0, u'b', 1, u'\n', u'c', u'"'};
	VJSONValue value;
	ASSERT_EQ(VJSONImporter::ParseString(VString(units, 8), value, kStrict), VE_OK);
	VString text;
	value.GetString(text);
	const UniChar expected[] = {u'a', u'b', 1, u'\n', u'c'};
	EXPECT_TRUE(text.EqualToStringRaw(VString(expected, 5)));
}

// Each bad text fails with 550 last, after the specific error and its
// parameters.
TEST(JSONImporter, RefusesBadTextWithExactErrors)
{
	struct Case {
		const char* fText;
		uint32 fOptions;
		VError fFirst;
		const char* fParameter;
		const char* fValue;
		const char* fSecondParameter;
		const char* fSecondValue;
	};
	const Case cases[] = {
		{"{,}", 0, VE_JSON_INVALID_TOKEN, "found", ",", "expected", "\" }"},
		{"{\"a\":1,}", 0, VE_JSON_EXTRA_COMMA, "token", "}", nullptr, nullptr},
		{"[1,]", 0, VE_JSON_EXTRA_COMMA, "token", "]", nullptr, nullptr},
		{"{a: 1}", kStrict, VE_JSON_INVALID_TOKEN, "found", "a", "expected", "\""},
		{"{\"a\" 1}", 0, VE_JSON_INVALID_TOKEN, "found", "1", "expected", ":"},
		{"{\"a\":1 \"b\"}", 0, VE_JSON_INVALID_TOKEN, "found", "b", "expected", "} ,"},
		{"[1 2]", 0, VE_JSON_INVALID_TOKEN, "found", "2", "expected", "] ,"},
		{"[1,,2]", 0, VE_JSON_INVALID_TOKEN, "found", ",", "expected", "\" 0-9 null true false { ["},
		{"[,1]", 0, VE_JSON_INVALID_TOKEN, "found", ",", "expected", "\" 0-9 null true false { [ ]"},
		{"01", 0, VE_JSON_INVALID_TOKEN, "found", "01", "expected", "+- 0-9 eE"},
		{"1.", 0, VE_JSON_INVALID_TOKEN, "found", "1.", "expected", "+- 0-9 eE"},
		{"1.e5", 0, VE_JSON_INVALID_TOKEN, "found", "1.e5", "expected", "+- 0-9 eE"},
		{"12ab", 0, VE_JSON_INVALID_TOKEN, "found", "12ab", "expected", "+- 0-9 eE"},
		{"[hello]", kStrict, VE_JSON_INVALID_TOKEN, "found", "hello", "expected", "\" 0-9 null true false { [ ]"},
		{"True", kStrict, VE_JSON_INVALID_TOKEN, "found", "True", "expected", "\" 0-9 null true false { ["},
		{"\"abc", kStrict, VE_JSON_UNTERMINATED, "token", "\"", nullptr, nullptr},
		{"[1,", 0, VE_JSON_UNEXPECTED_END, "found", "", "expected", "\" 0-9 null true false { ["},
		{"", 0, VE_JSON_UNEXPECTED_END, "found", "", "expected", "\" 0-9 null true false { ["},
		{"{\"a\":1", 0, VE_JSON_UNEXPECTED_END, "found", "", "expected", "} ,"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		RaisedErrors raised;
		VJSONValue value;
		EXPECT_EQ(VJSONImporter::ParseString(VString(c.fText), value, c.fOptions), VE_JSON_MALFORMED);
		ASSERT_EQ(raised.Codes(), (std::vector<VError>{c.fFirst, VE_JSON_MALFORMED}));
		VErrorBase* first = raised.Errors().front().Get();
		EXPECT_EQ(Param(first, c.fParameter), c.fValue);
		if (c.fSecondParameter != nullptr) {
			EXPECT_EQ(Param(first, c.fSecondParameter), c.fSecondValue);
		}
	}
}

TEST(JSONImporter, PlacesErrorsByLineAndPositionOnAnyLineEnds)
{
	struct Case {
		const char* fText;
		const char* fLine;
		const char* fPosition;
	};
	const Case cases[] = {
		{"{\r\n\"a\": 1,\r\n  \"b\" 2\r\n}", "3", "7"},
		{"{\n\"a\": 1,\n  \"b\" 2\n}", "3", "7"},
		{"{\r\"a\": 1,\r  \"b\" 2\r}", "3", "7"},
		{"[1,\r\n2,\r\n\r\n  x]", "4", "3"},
		{"  @", "1", "3"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		RaisedErrors raised;
		VJSONValue value;
		EXPECT_EQ(VJSONImporter::ParseString(VString(c.fText), value, kStrict), VE_JSON_MALFORMED);
		VErrorBase* last = raised.Errors().empty() ? nullptr : raised.Errors().back().Get();
		ASSERT_NE(last, nullptr);
		EXPECT_EQ(Param(last, "line"), c.fLine);
		EXPECT_EQ(Param(last, "position"), c.fPosition);
		EXPECT_EQ(Param(last, "source"), "");
	}
}

TEST(JSONImporter, KeepsThePartialTreeUnlessAskedForUndefined)
{
	RaisedErrors raised;
	VJSONValue partial;
	EXPECT_EQ(VJSONImporter::ParseString(U("{\"a\":1,\"b\":[2,}"), partial, 0), VE_JSON_MALFORMED);
	EXPECT_EQ(Text(partial), "{\"a\":1}");
	VJSONValue none(JSON_null);
	EXPECT_EQ(VJSONImporter::ParseString(U("{\"a\":1,\"b\":[2,}"), none, VJSONImporter::kOption_UndefinedOnFailure),
			  VE_JSON_MALFORMED);
	EXPECT_TRUE(none.IsUndefined());
}

TEST(JSONImporter, QuietOptionPushesNoTokenErrors)
{
	RaisedErrors raised;
	VJSONValue value;
	EXPECT_EQ(VJSONImporter::ParseString(U("{,}"), value, VJSONImporter::kOption_QuietInvalidTokens),
			  VE_JSON_MALFORMED);
	EXPECT_TRUE(raised.Codes().empty());
}

TEST(JSONImporter, RecordsWhereNamesAndElementsStood)
{
	VJSONImporter importer(U("{\n  \"a\": [1, {\"b\": 2}]\n}"), VJSONImporter::kOption_Symbols);
	VJSONValue value;
	ASSERT_EQ(importer.Parse(value), VE_OK);
	VJSONObject* symbols = importer.GetPathsLines();
	ASSERT_NE(symbols, nullptr);
	EXPECT_EQ(Text(VJSONValue(symbols)),
			  "{\"a\":{\"line\":2,\"offset\":2},\"a[0]\":{\"line\":2,\"offset\":8},"
			  "\"a[1]\":{\"line\":2,\"offset\":11},\"a[1].b\":{\"line\":2,\"offset\":12},"
			  "\"}\":{\"line\":3,\"offset\":0}}");
	EXPECT_EQ(VJSONImporter(U("{}"), 0).GetPathsLines(), nullptr);
}

TEST(JSONImporter, ReadsDatesOnlyWhenAsked)
{
	struct Case {
		const char* fText;
		uint32 fOptions;
		bool fDate;
	};
	const Case cases[] = {
		{"\"!!2024-02-29!!\"", 0, false},
		{"\"!!2024-02-29!!\"", 64, true},
		{"\"!!2024-02-29!!\"", 64 | 512, true},
		{"\"2024-02-29\"", 64 | 512, false},
		{"\"2024-02-29\"", 0x80000000, true},
		{"\"2024-02-29T10:00:00Z\"", 0x80000000, false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		VJSONValue value;
		ASSERT_EQ(VJSONImporter::ParseString(VString(c.fText), value, c.fOptions), VE_OK);
		EXPECT_EQ(value.IsDate(), c.fDate);
		if (c.fDate) {
			int16 year = 0, month = 0, day = 0;
			value.GetDate(year, month, day);
			EXPECT_EQ(year * 10000 + month * 100 + day, 20240229);
		}
	}
	VJSONValue parsed;
	ASSERT_EQ(parsed.ParseFromString(U("[\"!!2024-02-29!!\"]"), true, false), VE_OK);
	EXPECT_TRUE(parsed.GetArray()->GetAt(0).IsDate());
	ASSERT_EQ(parsed.ParseFromString(U("[\"!!2024-02-29!!\"]"), false, true), VE_OK);
	EXPECT_TRUE(parsed.GetArray()->GetAt(0).IsString());
}

TEST(JSONImporter, PutsEveryContainerUnderOneSharedLocker)
{
	VJSONValue value;
	ASSERT_EQ(VJSONImporter::ParseString(U("{\"a\":{\"b\":[1]}}"), value, VJSONImporter::kOption_SharedLocker), VE_OK);
	VRefPtr<VStorageLocker> locker = value.GetObject()->GetStorageLocker();
	ASSERT_TRUE(locker);
	VJSONUser user(value, false);
	VJSONValue inner = value.GetObject()->GetProperty(U("a"));
	EXPECT_EQ(inner.GetObject()->GetStorageLocker(), locker);
	EXPECT_EQ(inner.GetObject()->GetProperty(U("b")).GetArray()->GetStorageLocker(), locker);
}

TEST(JSONImporter, TokenizerGivesKindsAndTexts)
{
	VJSONImporter importer(U(" {\"a b\" : tr,]["), 0);
	VString text;
	bool quoted = false;
	EXPECT_EQ(importer.GetNextJSONToken(text, &quoted, nullptr), VJSONImporter::jsonBeginObject);
	EXPECT_EQ(importer.GetNextJSONToken(text, &quoted, nullptr), VJSONImporter::jsonString);
	EXPECT_TRUE(quoted);
	EXPECT_EQ(to_string(text), "a b");
	EXPECT_EQ(importer.GetNextJSONToken(nullptr), VJSONImporter::jsonAssigne);
	EXPECT_EQ(importer.GetNextJSONToken(text, &quoted, nullptr), VJSONImporter::jsonString);
	EXPECT_FALSE(quoted);
	EXPECT_EQ(to_string(text), "tr");
	EXPECT_EQ(importer.GetNextJSONToken(nullptr), VJSONImporter::jsonSeparator);
	EXPECT_EQ(importer.GetNextJSONToken(nullptr), VJSONImporter::jsonEndArray);
	EXPECT_EQ(importer.GetNextJSONToken(nullptr), VJSONImporter::jsonBeginArray);
	EXPECT_EQ(importer.GetNextJSONToken(nullptr), VJSONImporter::jsonNone);
}

// Nesting stops at a fixed depth or when the stack runs short, with 108
// then 550, never with a crash; 500 levels read fine.
std::string Nested(int inDepth, const char* inOpen, const char* inClose)
{
	std::string text;
	for (int i = 0; i < inDepth; ++i)
		text += inOpen;
	text += "1";
	for (int i = 0; i < inDepth; ++i)
		text += inClose;
	return text;
}

TEST(JSONImporter, ReadsDeepButBoundedNesting)
{
	JSONLeakMonitor monitor;
	{
		VJSONValue value;
		EXPECT_EQ(VJSONImporter::ParseString(VString(Nested(500, "[", "]").c_str()), value, kStrict), VE_OK);
		EXPECT_EQ(VJSONImporter::ParseString(VString(Nested(500, "{\"a\":", "}").c_str()), value, kStrict), VE_OK);
		EXPECT_EQ(VJSONImporter::ParseString(VString(Nested(kJSONMaxDepth, "[", "]").c_str()), value, kStrict), VE_OK);
		RaisedErrors raised;
		EXPECT_EQ(VJSONImporter::ParseString(VString(Nested(kJSONMaxDepth + 1, "[", "]").c_str()), value, kStrict),
				  VE_STACK_OVERFLOW);
		EXPECT_EQ(raised.Codes(), (std::vector<VError>{VE_STACK_OVERFLOW, VE_JSON_MALFORMED}));
		raised.Clear();
		EXPECT_EQ(VJSONImporter::ParseString(VString(Nested(100000, "[", "]").c_str()), value, kStrict),
				  VE_STACK_OVERFLOW);
		EXPECT_EQ(raised.Codes(), (std::vector<VError>{VE_STACK_OVERFLOW, VE_JSON_MALFORMED}));
	}
	EXPECT_EQ(monitor.Arrays(), 0);
	EXPECT_EQ(monitor.Objects(), 0);
}

TEST(JSONImporter, StopsBeforeASmallStackRunsOut)
{
	// Levels of two containers ({"a":[) of 6 characters: the depth limit
	// would stop at the container at position 3001; too little stack for it
	// must stop the reading well before.
	const std::string deep = Nested(kJSONMaxDepth, "{\"a\":[", "]}");
	std::vector<VError> codes;
	VError result = VE_OK;
	int32 position = 0;
	VRefPtr<VTask> task = VRefPtr<VTask>::Adopt(new VTask(192 * 1024, ETaskStyle::kPreemptive, [&]() {
		RaisedErrors raised;
		VJSONValue value;
		result = VJSONImporter::ParseString(VString(deep.c_str()), value, kStrict);
		codes = raised.Codes();
		if (!raised.Errors().empty())
			position = std::stoi(Param(raised.Errors().back().Get(), "position"));
	}));
	ASSERT_TRUE(task->Run());
	ASSERT_TRUE(task->WaitForDeath(testing::kHangMilliseconds));
	EXPECT_EQ(result, VE_STACK_OVERFLOW);
	EXPECT_EQ(codes, (std::vector<VError>{VE_STACK_OVERFLOW, VE_JSON_MALFORMED}));
	EXPECT_GT(position, 60);
	EXPECT_LT(position, 3001);
}

} // namespace
} // namespace qirn
