#include "json/VJSONArrayReader.h"
#include "json/VJSONErrors.h"
#include "json/tests/JSONTestSupport.h"

namespace qirn {
namespace {

TEST(JSONArrayReader, KeepsScalarTextsAndPassesOverNestedArrays)
{
	VJSONArrayReader reader(VString("[1, \"a\", true, [2,3], 4]"));
	VError error = 1;
	ASSERT_EQ(reader.GetCountOfElements(&error), 4);
	EXPECT_EQ(error, VE_OK);
	std::vector<VString> texts;
	ASSERT_EQ(reader.ToArrayString(texts, false), VE_OK);
	std::vector<std::string> plain;
	for (const VString& text : texts)
		plain.push_back(to_string(text));
	EXPECT_EQ(plain, (std::vector<std::string>{"1", "a", "true", "4"}));
	sLONG longs[4] = {};
	ASSERT_EQ(reader.ToArrayLong(longs), VE_OK);
	EXPECT_EQ(longs[0], 1);
	EXPECT_EQ(longs[3], 4);
	char bools[4] = {};
	ASSERT_EQ(reader.ToArrayBool(bools), VE_OK);
	EXPECT_EQ(bools[2], 1);
	EXPECT_EQ(bools[0], 0);
	EXPECT_EQ(reader.ToArrayReal(nullptr), VE_OK);
	ASSERT_EQ(reader.ToArrayString(texts, true), VE_OK);
	EXPECT_EQ(texts.size(), 8u);
}

TEST(JSONArrayReader, FailsWithoutAClosedArray)
{
	for (const char* text : {"1,2", "", "[1,2", "[[1]"}) {
		SCOPED_TRACE(text);
		VJSONArrayReader reader{VString(text)};
		VError error = VE_OK;
		EXPECT_EQ(reader.GetCountOfElements(&error), 0);
		EXPECT_EQ(error, VE_JSON_MALFORMED);
		Real reals[2] = {5, 5};
		EXPECT_EQ(reader.ToArrayReal(reals), VE_JSON_MALFORMED);
		EXPECT_EQ(reals[0], 5);
		std::vector<VString> texts{VString("kept")};
		EXPECT_EQ(reader.ToArrayString(texts, false), VE_JSON_MALFORMED);
		EXPECT_TRUE(texts.empty());
	}
	VJSONArrayReader reader(VString("[1]"));
	reader.FromJSONString(VString("[2,3]"));
	EXPECT_EQ(reader.GetCountOfElements(), 2);
}

} // namespace
} // namespace qirn
