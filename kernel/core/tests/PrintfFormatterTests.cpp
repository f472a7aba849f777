#include "PrintfTestSink.h"
#include "core/VPrintfFormatter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdarg>
#include <string>

namespace qirn {
namespace {

using testing::Format;
using testing::StringSink;

TEST(PrintfFormatter, ObjectsTakeTheirOwnArgument)
{
	EXPECT_EQ(Format("%d items in %S", 3, "Files"), "3 items in <S:Files>");
	EXPECT_EQ(Format("100%% %S", "done"), "100% <S:done>");
	EXPECT_EQ(Format("%S%A%V", "a", "b", nullptr), "<S:a><A:b><V:null>");
}

// The arguments after a double, a '*' width or a 64-bit number must still be
// read where the C library put them.
TEST(PrintfFormatter, ArgumentsAreReadByTheirType)
{
	EXPECT_EQ(Format("%.2f %S %d", 1.5, "x", 7), "1.50 <S:x> 7");
	EXPECT_EQ(Format("%*d|%S|%-*.*s|", 5, 42, "y", 6, 2, "abcdef"), "   42|<S:y>|ab    |");
	EXPECT_EQ(Format("%lld %S %Lg %zu %hhd %S", -(1LL << 40), "a", static_cast<long double>(2.5), static_cast<size_t>(9),
					 300, "b"),
			  "-1099511627776 <S:a> 2.5 9 44 <S:b>");
	EXPECT_EQ(Format("%e %S %g %S", 1e300, "a", NAN, "b"), "1.000000e+300 <S:a> nan <S:b>");
	EXPECT_EQ(Format("%c%c %x %#o %S %p", 'o', 'k', 255u, 8u, "z", nullptr), "ok ff 010 <S:z> (nil)");
	EXPECT_EQ(Format("%d %u %ld %S", -2147483647 - 1, 4294967295u, -5L, "q"), "-2147483648 4294967295 -5 <S:q>");
	EXPECT_EQ(Format("%s|%5s|%S", static_cast<const char*>(nullptr), "ab", "c"), "(null)|   ab|<S:c>");
}

// Text an ordinary argument produces is never taken for an object.
TEST(PrintfFormatter, MarkerLikeTextStaysText)
{
	EXPECT_EQ(Format("%s %S", ";;;0x1234;;;", "obj"), ";;;0x1234;;; <S:obj>");
	EXPECT_EQ(Format("%S %S", ";;;", "two"), "<S:;;;> <S:two>");
}

TEST(PrintfFormatter, LongOutputIsNotCut)
{
	std::string long1(5000, 'a');
	std::string long2(3000, 'b');
	EXPECT_EQ(Format("%s%S%s", long1.c_str(), "m", long2.c_str()), long1 + "<S:m>" + long2);
	EXPECT_EQ(Format("%5000d|%S", 1, "m"), std::string(4999, ' ') + "1|<S:m>");
	EXPECT_EQ(Format("%s", long1.c_str()), long1);
	EXPECT_EQ(Format("[%-2000s]", "x"), "[x" + std::string(1999, ' ') + "]");
}

TEST(PrintfFormatter, OddFormats)
{
	EXPECT_EQ(Format("%S end %", "o"), "<S:o> end %");
	EXPECT_EQ(Format("%y %S", "o"), "%y <S:o>");
	EXPECT_EQ(Format("%2$d %S", "o"), "%2$d <S:o>");
	EXPECT_EQ(Format(""), "");
	int stored = 99;
	EXPECT_EQ(Format("ab%n%S", &stored, "c"), "ab<S:c>");
	EXPECT_EQ(stored, 99);
	// Without kernel codes the C library does it all, positions included.
	EXPECT_EQ(Format("%2$s %1$s", "world", "hello"), "hello world");
}

} // namespace
} // namespace qirn
