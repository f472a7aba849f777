#include "core/VReal.h"
#include "json/VJSONImporter.h"
#include "json/VJSONSingleObjectWriter.h"
#include "json/tests/JSONTestSupport.h"

namespace qirn {
namespace {

TEST(JSONSingleObjectWriter, BuildsAnObjectWithEscapedNames)
{
	VJSONSingleObjectWriter writer;
	EXPECT_TRUE(writer.AddMember(VString("plain"), VReal(1), 0));
	EXPECT_FALSE(writer.AddMember(VString(""), VReal(2), 0));
	EXPECT_FALSE(writer.AddMember(VString(true), VReal(2), 0));
	VString text;
	writer.GetObject(text);
	EXPECT_EQ(to_string(text), "{\"plain\":1}");
	// A name with a quote, a backslash and a line feed still gives JSON
	// that reads back to the same name.
	EXPECT_TRUE(writer.AddMember(VString("a\"b\\c\nd"), VString("v"), VString::kJSON_WithQuotes));
	writer.GetObject(text);
	EXPECT_EQ(to_string(text), "{\"plain\":1,\"a\\\"b\\\\c\\nd\":\"v\"}");
	VJSONValue value;
	ASSERT_EQ(VJSONImporter::ParseString(text, value, VJSONImporter::kOption_Strict), VE_OK);
	VString read;
	value.GetProperty(VString("a\"b\\c\nd")).GetString(read);
	EXPECT_EQ(to_string(read), "v");
}

} // namespace
} // namespace qirn
