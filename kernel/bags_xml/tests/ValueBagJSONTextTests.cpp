// Bags as JSON text and back.
#include "bags_xml/JSONMarkerBagKeys.h"
#include "bags_xml/VBagArray.h"
#include "bags_xml/VValueBag.h"
#include "core/VBoolean.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "core/VTime.h"
#include "json/VJSONErrors.h"
#include "json/VJSONNesting.h"
#include "testing/RaisedErrors.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace qirn {
namespace {

using Bag = VRefPtr<VValueBag>;

Bag NewBag()
{
	return Bag::Adopt(new VValueBag());
}

std::string JSON(const VValueBag& inBag, uint32 inOptions = 0)
{
	VString text;
	EXPECT_EQ(inBag.GetJSONString(text, inOptions), VE_OK);
	return to_string(text);
}

Bag FromJSON(const char* inText, VError inExpected = VE_OK)
{
	Bag bag = NewBag();
	testing::RaisedErrors errors;
	EXPECT_EQ(bag->FromJSONString(VString(inText), 0), inExpected) << std::string(inText).substr(0, 60);
	return bag;
}

// The stored kind of attribute a, and its text.
std::pair<uint16, std::string> KindOf(const VValueBag& inBag, const char* inName = "a")
{
	const VValueBag::Attributes& attributes = inBag.GetAttributes();
	const size_t index = attributes._Find(StPackedDictionaryKey(inName));
	if (index == attributes.End())
		return {0, "(absent)"};
	const std::unique_ptr<VValueSingle> value(attributes.NewValueAt(index));
	VString text;
	value->GetString(text);
	return {value->GetValueInfo()->GetKind(), to_string(text)};
}

TEST(ValueBagJSONText, WritesTheMarkersShape)
{
	Bag bag = NewBag();
	bag->SetLong("n", 1);
	Bag child = NewBag();
	bag->AddElement("c", child.Get());
	EXPECT_EQ(JSON(*bag), "{\"n\":1,\"c\":[{}]}");
	// One bag written as an object when asked to, or when it says so.
	EXPECT_EQ(JSON(*bag, 0x20), "{\"n\":1,\"c\":{}}");
	child->SetBool(JSONMarkerBagKeys::objectunic, true);
	EXPECT_EQ(JSON(*bag), "{\"n\":1,\"c\":{}}");

	// Scalar items, the character data, and what the markers hide.
	Bag list = NewBag();
	list->SetString(JSONMarkerBagKeys::property_name_in_jsarray, VString("hidden"));
	list->AppendToCData(VString("body \"q\""));
	Bag text = NewBag();
	text->SetString(JSONMarkerBagKeys::FakeArrayElement, VString("x"));
	list->AddElement("items", text.Get());
	Bag number = NewBag();
	number->SetReal(JSONMarkerBagKeys::FakeArrayElement, 0.5);
	list->AddElement("items", number.Get());
	list->AddElement("items", NewBag().Get());
	EXPECT_EQ(JSON(*list), "{\"__CDATA\":\"body \\\"q\\\"\",\"items\":[\"x\",0.5,{}]}");
}

TEST(ValueBagJSONText, PrettyLayout)
{
	Bag bag = NewBag();
	bag->SetLong("n", 1);
	Bag child = NewBag();
	child->SetString("s", VString("t"));
	bag->AddElement("c", child.Get());
	EXPECT_EQ(JSON(*bag, 0x8), "\n{\n\t\"n\" : 1,\n\t\"c\" : \n\t[\n\t\t{\n\t\t\t\"s\" : \"t\"\n\t\t}\n\t]\n}");
}

// Typing of what the text holds, with words that look like numbers kept
// exact: a fraction, an exponent or an integer beyond 64 bits is a real.
TEST(ValueBagJSONText, TypesScalars)
{
	struct Row {
		const char* fJSON;
		uint16 fKind;
		const char* fText;
	};
	const uint16 kLong8 = VLong8::sInfo.GetKind();
	const uint16 kReal = VReal::sInfo.GetKind();
	const uint16 kString = VString::sInfo.GetKind();
	const uint16 kBoolean = VBoolean::sInfo.GetKind();
	const Row rows[] = {
		{"{a:1}", kLong8, "1"},
		{"{a:-9223372036854775808}", kLong8, "-9223372036854775808"},
		{"{a:9223372036854775808}", kReal, "9.2233720368547758e+18"},
		{"{a:18446744073709551616}", kReal, "1.8446744073709552e+19"},
		{"{a:1.5}", kReal, "1.5"},
		{"{a:1e3}", kReal, "1000"},
		{"{a:1E+20}", kReal, "1e+20"},
		{"{a:true}", kBoolean, ""},
		{"{a:false}", kBoolean, ""},
		// A bag keeps no null string: null reads as the empty string.
		{"{a:null}", kString, ""},
		{"{a:\"1\"}", kString, "1"},
		{"{a:word}", kString, "word"},
		{"{\"a\":\"2020-01-02\"}", VTime::sInfo.GetKind(), ""},
		{"{\"a\":\"2020-01-02T03:04:05Z\"}", kString, "2020-01-02T03:04:05Z"},
	};
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fJSON);
		Bag bag = FromJSON(row.fJSON);
		auto [kind, text] = KindOf(*bag);
		EXPECT_EQ(kind, row.fKind) << text;
		if (row.fKind == kLong8 || row.fKind == kString) {
			EXPECT_EQ(text, row.fText);
		}
		if (row.fKind == kReal) {
			Real expected = VString(row.fText).GetReal();
			Real value = 0;
			EXPECT_TRUE(bag->GetReal("a", value));
			EXPECT_EQ(value, expected);
		}
	}
}

TEST(ValueBagJSONText, ReadsObjectsArraysAndMarkers)
{
	Bag bag = FromJSON("{\"o\":{\"x\":1} \"l\":[{\"y\":2},3,[4,5],,\"s\"],\"__CDATA\":\"body\",\"e\":[]}");
	VBagArray* objects = bag->GetElements("o");
	ASSERT_NE(objects, nullptr);
	ASSERT_EQ(objects->GetCount(), 1);
	EXPECT_TRUE(objects->GetNth(1)->AttributeExists(JSONMarkerBagKeys::objectunic));
	VBagArray* list = bag->GetElements("l");
	ASSERT_NE(list, nullptr);
	ASSERT_EQ(list->GetCount(), 4);
	EXPECT_FALSE(list->GetNth(1)->AttributeExists(JSONMarkerBagKeys::objectunic));
	EXPECT_EQ(KindOf(*list->GetNth(2), "____FakeArrayElement"),
			  std::make_pair(VLong8::sInfo.GetKind(), std::string("3")));
	EXPECT_EQ(KindOf(*list->GetNth(3), "____FakeArrayElement").second, "[4,5]");
	EXPECT_EQ(KindOf(*list->GetNth(4), "____FakeArrayElement").second, "s");
	EXPECT_EQ(bag->GetElements("e"), nullptr);
	VString text;
	EXPECT_TRUE(bag->GetCData(text));
	EXPECT_EQ(to_string(text), "body");
	// Written back, the markers give the same shape.
	EXPECT_EQ(JSON(*bag), "{\"__CDATA\":\"body\",\"o\":{\"x\":1},\"l\":[{\"y\":2},3,\"[4,5]\",\"s\"]}");
}

TEST(ValueBagJSONText, RoundTrip)
{
	Bag bag = NewBag();
	bag->SetReal("big", 1e20);
	bag->SetReal("half", 0.5);
	bag->SetLong8("count", 1234567890123LL);
	bag->SetString("text", VString(u"tab\tline\nquote\"\u00e9"));
	bag->SetBool("on", true);
	Bag child = NewBag();
	child->SetLong("i", 1);
	bag->AddElement("c", child.Get());
	bag->AddElement("c", NewBag().Get());
	const std::string text = JSON(*bag);
	EXPECT_NE(text.find("\"big\":1E+20"), std::string::npos) << text;
	Bag read = NewBag();
	ASSERT_EQ(read->FromJSONString(VString(text.c_str()), 0), VE_OK);
	EXPECT_EQ(JSON(*read), text);
	for (uint32 options : {0u, 0x8u}) {
		Bag again = NewBag();
		ASSERT_EQ(again->FromJSONString(VString(JSON(*bag, options).c_str()), 0), VE_OK);
		EXPECT_EQ(JSON(*again), text);
	}
}

TEST(ValueBagJSONText, Errors)
{
	struct Row {
		const char* fJSON;
		VError fError;
	};
	const Row rows[] = {
		{"[1]", VE_JSON_MALFORMED},
		{"{a:1,:2}", VE_JSON_MALFORMED},
		{"{a 1}", VE_JSON_MALFORMED},
		{"{a:}", VE_JSON_MALFORMED},
		{"{a:\"open", VE_OK},
		{"{a:1", VE_OK},
	};
	for (const Row& row : rows)
		FromJSON(row.fJSON, row.fError);

	for (size_t depth : {size_t(kJSONMaxDepth) - 1, size_t(kJSONMaxDepth)}) {
		std::string text = "{";
		for (size_t i = 0; i < depth; ++i)
			text += "a:{";
		text += std::string(depth + 1, '}');
		FromJSON(text.c_str(), depth < kJSONMaxDepth ? VE_OK : VE_STACK_OVERFLOW);
	}
	for (size_t depth : {size_t(kJSONMaxDepth) - 1, size_t(kJSONMaxDepth)}) {
		std::string text = "{";
		for (size_t i = 0; i < depth; ++i)
			text += "a:[{";
		FromJSON(text.c_str(), depth < kJSONMaxDepth ? VE_OK : VE_STACK_OVERFLOW);
	}
}

TEST(ValueBagJSONText, DeepBagsAreRefusedByTheWriter)
{
	Bag root = NewBag();
	VValueBag* bag = root.Get();
	for (uint32 i = 0; i <= kJSONMaxDepth; ++i) {
		Bag child = NewBag();
		bag->AddElement("c", child.Get());
		bag = child.Get();
	}
	VString text;
	testing::RaisedErrors errors;
	EXPECT_EQ(root->GetJSONString(text, 0), VE_STACK_OVERFLOW);
}

} // namespace
} // namespace qirn
