// Every ordinary conversion, read through the formatter's own parser (a
// kernel code in the format makes it parse), must give what the C library
// gives for it alone.
#include "PrintfTestSink.h"
#include "core/VPrintfFormatter.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <sys/types.h>

namespace qirn {
namespace {

using testing::Format;
using testing::StringSink;

std::string CFormat(const char* inFormat, ...)
{
	char buffer[512];
	va_list args;
	va_start(args, inFormat);
	std::vsnprintf(buffer, sizeof(buffer), inFormat, args);
	va_end(args);
	return buffer;
}

// The conversion, then a kernel code whose argument must still be found.
#define EXPECT_AS_C_LIBRARY(fmt, ...) \
	EXPECT_EQ(Format(fmt "|%S", __VA_ARGS__, "k"), CFormat(fmt, __VA_ARGS__) + "|<S:k>") << fmt

TEST(PrintfConversion, IntegerLengthsAsTheCLibrary)
{
	// 'L' before an integer conversion is "ll" to the C library: the 64-bit
	// argument must be read whole, not as an int.
	EXPECT_AS_C_LIBRARY("%Ld", 1LL << 40);
	EXPECT_AS_C_LIBRARY("%Lu", 1ULL << 40);
	EXPECT_AS_C_LIBRARY("%Lx %d", 1ULL << 40, 5);
	EXPECT_AS_C_LIBRARY("%qd", LLONG_MIN);
	EXPECT_AS_C_LIBRARY("%jd", static_cast<intmax_t>(INT64_MIN));
	EXPECT_AS_C_LIBRARY("%td %zd %zu %Zu", static_cast<ptrdiff_t>(-5), static_cast<ssize_t>(-6), SIZE_MAX,
						static_cast<size_t>(7));
	EXPECT_AS_C_LIBRARY("%lu %llx %ld", ULONG_MAX, ULLONG_MAX, LONG_MIN);
	EXPECT_AS_C_LIBRARY("%hhu %hu %hhd %hhx", 300, 70000, -129, 0x1ff);
	EXPECT_AS_C_LIBRARY("%'d %-+ #05d %.0d %5.3d", 1234567, 42, 0, 7);
	EXPECT_AS_C_LIBRARY("%#x %#o %o", 0u, 0u, 8u);
}

TEST(PrintfConversion, RealsStarsAndTextAsTheCLibrary)
{
	EXPECT_AS_C_LIBRARY("%Lf %.3a %+.0f", static_cast<long double>(1.5), 1.0, -0.0);
	EXPECT_AS_C_LIBRARY("%*.*e|%-*d|", 10, -3, 2.5, -5, 3);
	EXPECT_AS_C_LIBRARY("%*s|%.*s|%.*s", 3, "ab", 1, "ab", -1, "ab");
	EXPECT_AS_C_LIBRARY("%lc %ls %C %c", static_cast<wint_t>('A'), L"wide", static_cast<wint_t>('B'), 'c');
	EXPECT_AS_C_LIBRARY("%p %5p", reinterpret_cast<void*>(0x1234), nullptr);
}

// A '%' closing a conversion ("%5%") is one percent sign; it must not pair
// with the '%' of the kernel code after it, which would then reach the C
// library as a wide-string conversion and read the object as wchar_t text.
TEST(PrintfConversion, PercentConversionBeforeAKernelCode)
{
	EXPECT_EQ(Format("%5%%S", "k"), "%<S:k>");
	EXPECT_EQ(Format("100%-3%%S %d", "k", 4), "100%<S:k> 4");
}

} // namespace
} // namespace qirn
