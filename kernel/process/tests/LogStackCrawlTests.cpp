#include "core/StStringConverter.h"
#include "core/VString.h"
#include "process/LogStackCrawl.h"

#include <gtest/gtest.h>

#include <string>

namespace qirn {
namespace {

TEST(LogStackCrawl, FramesBecomeOneLine)
{
	struct Case {
		const char* fCrawl;
		const char* fLine;
	};
	// clang-format off
	const Case cases[] = {
		{"   {1} 0x10 - qirn::VFoo::Bar(qirn::VString const&) const\n   {0} 0x20 - main\n",
		 "   {1} 0x10 - VFoo::Bar <-    {0} 0x20 - main"},
		{"non-virtual thunk to qirn::VTask::Run()", "VTask::Run"},
		{"f(a) g(b) const", "f g(b)"},           // only the first list goes
		{"f) g(", "f) g("},                       // a ')' before the '(' keeps both
		{"qirn::qirn::x", "x"},
		{"constant const const", "constant const"}, // one trailing " const" goes
		{"a\n\nb", "a <-  <- b"},
		{"one", "one"},
		{"", ""},
	};
	// clang-format on
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fCrawl);
		VString line;
		CleanStackCrawlForLog(VString(c.fCrawl), line);
		StStringConverter<char> utf8(line, VTC_UTF_8);
		EXPECT_EQ(std::string(utf8.GetCPointer()), c.fLine);
	}
}

} // namespace
} // namespace qirn
