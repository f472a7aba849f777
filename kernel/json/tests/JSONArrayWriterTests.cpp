#include "core/VBoolean.h"
#include "core/VReal.h"
#include "json/VJSONArrayWriter.h"
#include "json/tests/JSONTestSupport.h"

namespace qirn {
namespace {

std::string Closed(VJSONArrayWriter& ioWriter)
{
	VString text;
	ioWriter.GetArray(text, true);
	return to_string(text);
}

TEST(JSONArrayWriter, BuildsFlatArraysAndReopensAfterClosing)
{
	VJSONArrayWriter writer;
	EXPECT_EQ(Closed(writer), "[]");
	writer.AddLong(1);
	writer.AddBool(false);
	EXPECT_EQ(Closed(writer), "[1,false]");
	writer.AddLong(2);
	writer.Close();
	EXPECT_EQ(Closed(writer), "[1,false,2]");
	VString text;
	writer.GetArray(text);
	EXPECT_EQ(Closed(writer), "[]");
}

TEST(JSONArrayWriter, WritesEachKindOfElement)
{
	VJSONArrayWriter writer;
	writer.Add(VReal(2.5), 0);
	writer.Add(VBoolean(true), 0);
	writer.AddString("a\"b", VString::kJSON_WithQuotes);
	writer.AddString(static_cast<const char*>(nullptr), 1);
	writer.AddReal(0.1);
	const sLONG longs[] = {7, -8};
	writer.AddLongs(longs, 2);
	const sWORD words[] = {3};
	writer.AddWords(words, 1);
	const Real reals[] = {1.5};
	writer.AddReals(reals, 1);
	const char bools[] = {1, 0};
	writer.AddBools(bools, 2);
	writer.AddLongs(nullptr, 3);
	writer.AddStrings({VString("x"), VString("y")}, VString::kJSON_WithQuotes);
	VJSONArrayWriter inner;
	inner.AddLong(9);
	writer.AddJSONArray(inner);
	EXPECT_EQ(Closed(writer), "[2.5,true,\"a\\\"b\",0.1,7,-8,3,1.5,true,false,\"x\",\"y\",[9]]");
	EXPECT_EQ(Closed(inner), "[]");
}

} // namespace
} // namespace qirn
