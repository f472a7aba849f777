// Lines of tab-separated fields read from a stream into a string array.
#include "core/VArrayString.h"
#include "files/VConstPtrStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qirn {
namespace {

std::vector<std::string> Fields(const VArrayString& inFields)
{
	std::vector<std::string> fields;
	for (sLONG i = 1; i <= inFields.GetCount(); ++i) {
		VString field;
		inFields.GetString(field, i);
		fields.push_back(to_string(field));
	}
	return fields;
}

TEST(TabSeparatedLine, EachTabEndsAFieldAndEachLineEndEndsTheFields)
{
	const std::string text = "x\t\ty\r\n\nlast\tone";
	VConstPtrStream stream(text.data(), text.size());
	stream.SetCharSet(VTC_UTF_8);
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	VArrayString fields;
	fields.AppendString(VString("stale"));
	EXPECT_EQ(stream.GetTTRLine(fields), VE_OK);
	EXPECT_EQ(Fields(fields), (std::vector<std::string>{"x", "", "y"}));
	EXPECT_EQ(stream.GetTTRLine(fields), VE_OK);
	EXPECT_EQ(Fields(fields), (std::vector<std::string>{""}));
	EXPECT_EQ(stream.GetTTRLine(fields), VE_OK);
	EXPECT_EQ(Fields(fields), (std::vector<std::string>{"last", "one"}));
	// At the end: one empty field and the end of the stream.
	EXPECT_EQ(stream.GetTTRLine(fields), VE_STREAM_EOF);
	EXPECT_EQ(Fields(fields), (std::vector<std::string>{""}));
}

TEST(TabSeparatedLine, AStreamThatCannotBeReadLeavesNoField)
{
	const std::string text = "a\tb\n";
	VConstPtrStream stream(text.data(), text.size());
	VArrayString fields;
	fields.AppendString(VString("stale"));
	EXPECT_EQ(stream.GetTTRLine(fields), VE_STREAM_CANNOT_READ);
	EXPECT_EQ(fields.GetCount(), 0);
}

} // namespace
} // namespace qirn
