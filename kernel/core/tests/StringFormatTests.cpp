#include "core/VLong.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VUUID.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace qirn {
namespace {

// An object with a dump of its own.
class Dumpable : public VObject {
public:
	CharSet DebugDump(char* ioBuffer, int32& ioSize) const override
	{
		const char text[] = "dump;;;";
		std::memcpy(ioBuffer, text, sizeof(text) - 1);
		ioSize = sizeof(text) - 1;
		return VTC_UTF_8;
	}
};

TEST(StringFormat, KernelConversions)
{
	VString files("Files");
	EXPECT_EQ(to_string(Printf("%d items in %S", 3, &files)), "3 items in Files");
	EXPECT_EQ(to_string(Printf("%S", static_cast<VString*>(nullptr))), "@@invalid VObject@@");
	VLong number(12);
	EXPECT_EQ(to_string(Printf("%S|%A", &number, &number)), "@@invalid VString@@|12");
	Dumpable dumpable;
	EXPECT_EQ(to_string(Printf("%A %V", &dumpable, &dumpable)), "@@invalid VValueSingle@@ dump;;;");
	EXPECT_EQ(to_string(Printf("100%% %S", &files)), "100% Files");

	// Object texts that look like markers go in whole, and each object to its place.
	VString tricky(";;;0x1;;;");
	VString second("two");
	EXPECT_EQ(to_string(Printf("[%S][%S][%s]", &tricky, &second, ";;;%p;;;")), "[;;;0x1;;;][two][;;;%p;;;]");
}

TEST(StringFormat, ArgumentsAfterRealsAndStars)
{
	VString name("x");
	EXPECT_EQ(to_string(Printf("%.1f %S %*d %S", 2.25, &name, 4, 7, &name)), "2.2 x    7 x");
	VReal real(0.5);
	EXPECT_EQ(to_string(Printf("%g%A%lld%S", 1e-3, &real, 1LL << 40, &name)), "0.0010.51099511627776x");
}

TEST(StringFormat, UnicodeAndLongOutput)
{
	VString accented(u"\u00E9t\u00E9 \U0001F600");
	VString result = Printf("%s / %S", "\xC3\xA9t\xC3\xA9", &accented);
	EXPECT_EQ(to_string(result), "\xC3\xA9t\xC3\xA9 / \xC3\xA9t\xC3\xA9 \xF0\x9F\x98\x80");

	std::string big(3000, 'z');
	VString tail("end");
	VString text = Printf("%s%S", big.c_str(), &tail);
	EXPECT_EQ(text.GetLength(), 3003);
	EXPECT_EQ(to_string(text), big + "end");
}

TEST(StringFormat, PrintfReplacesAndAppendPrintfAppends)
{
	VString text("old text");
	text.Printf("%d", 5);
	EXPECT_EQ(to_string(text), "5");
	text.AppendPrintf("-%s", "six");
	EXPECT_EQ(to_string(text), "5-six");
	text.Printf("%s", "");
	EXPECT_TRUE(text.IsEmpty());

	// Formatting an empty text into a null string gives an empty one.
	VString null(true);
	null.Printf("");
	EXPECT_FALSE(null.IsNull());
	EXPECT_TRUE(null.IsEmpty());
	null.SetNull(true);
	null.Printf("%d", 7);
	EXPECT_FALSE(null.IsNull());
	EXPECT_EQ(to_string(null), "7");

	EXPECT_EQ(to_string(ToString(-12)), "-12");
	EXPECT_EQ(to_string(ToString(-(1LL << 40))), "-1099511627776");
	EXPECT_EQ(to_string(ToString(18446744073709551615ULL)), "18446744073709551615");
	EXPECT_EQ(to_string(ToString(4000000000UL)), "4000000000");
}

} // namespace
} // namespace qirn
