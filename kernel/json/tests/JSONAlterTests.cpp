#include "core/VTime.h"
#include "json/VJSONAlter.h"
#include "json/VJSONWriter.h"
#include "json/tests/JSONTestSupport.h"

namespace qirn {
namespace {

using testing::U;

std::string Text(const VJSONValue& inValue)
{
	VString text;
	EXPECT_EQ(inValue.Stringify(text, VJSONWriter::kOption_Quotes), VE_OK);
	return to_string(text);
}

TEST(JSONAlter, SetsValuesAtPathsMakingTheRootAnObject)
{
	VJSONValue root(3.0);
	VJSONAlter(root, U("a.b"), true);
	EXPECT_EQ(Text(root), "{\"a\":{\"b\":true}}");
	VJSONAlter(root, U("n"), static_cast<sLONG>(4));
	VJSONAlter(root, U("r"), 0.5);
	VJSONAlter(root, U("s"), U("t"));
	VJSONAlter(root, U("c"), "u");
	VJSONAlter(root, U("w"), u"v");
	VJSONAlter(root, U("j"), VJSONValue::sNull);
	VTime time;
	time.FromUTCTime(2024, 2, 29, 10, 0, 0, 0);
	VJSONAlter(root, U("d"), time);
	EXPECT_TRUE(root.GetProperty(U("d")).IsDate());
	VJSONArray* array = nullptr;
	VJSONAlter(root, U("list[1]"), JSON_array, &array);
	ASSERT_NE(array, nullptr);
	array->Push(VJSONValue(1.0));
	VJSONAlter(root, U("d"));
	EXPECT_EQ(Text(root), "{\"a\":{\"b\":true},\"n\":4,\"r\":0.5,\"s\":\"t\",\"c\":\"u\",\"w\":\"v\",\"j\":null,"
						  "\"list\":[null,[1]]}");
	VJSONValue other(JSON_null);
	VJSONAlter make(other);
	EXPECT_TRUE(other.IsObject());
}

} // namespace
} // namespace qirn
