// A string given as an argument of its own AppendPrintf is formatted with
// the text it had when the call began, as every kernel code's text is worked
// out before anything is appended.
#include "core/VString.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

TEST(StringPrintfSelf, AStringFormatsItsTextBeforeTheCall)
{
	VString text("abcdefghijklmnopqrstuvwxyz0123456789");
	text.AppendPrintf("|%d %S|%A|%S", 7, &text, &text, &text);
	const std::string before = "abcdefghijklmnopqrstuvwxyz0123456789";
	EXPECT_EQ(to_string(text), before + "|7 " + before + "|" + before + "|" + before);

	VString grown("x");
	for (int i = 0; i < 5; ++i)
		grown.AppendPrintf("%S%S", &grown, &grown);
	EXPECT_EQ(grown.GetLength(), 243);	// three times as long at each step

	// Printf empties the string first: its own text is then empty.
	VString emptied("old");
	emptied.Printf("[%S]", &emptied);
	EXPECT_EQ(to_string(emptied), "[]");
}

} // namespace
} // namespace qirn
