#include "files/platform/XLinuxPathBytes.h"
#include "files/tests/PathUnits.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace qirn {
namespace {

using testing::Text;
using testing::Units;

TEST(PathBytes, EveryByteStringCrossesTextAndComesBack)
{
	struct Case {
		std::string fBytes;
		std::u16string_view fText;
	};
	const Case cases[] = {
		{"notes.txt", u"notes.txt"},
		{"caf\xC3\xA9", u"caf\u00E9"},
		{"cafe\xCC\x81", u"cafe\u0301"},
		{"\xF0\x9F\x98\x80", u"\U0001F600"},
		{"\xEF\xBF\xBF", u"\uFFFF"},
		// Bytes that are not UTF-8 where they stand: each is an escape.
		{"\xFF\xFE", u"\xDCFF\xDCFE"},
		{"a\x80z", u"a\xDC80z"},
		{"x\xC3", u"x\xDCC3"},		   // cut by the end
		{"\xC3(", u"\xDCC3("},		   // no continuation
		{"\xE2\x82", u"\xDCE2\xDC82"}, // cut
		{"\xC0\xAF", u"\xDCC0\xDCAF"}, // overlong '/'
		{"\xE0\x80\xAF", u"\xDCE0\xDC80\xDCAF"},
		{"\xED\xA0\x80", u"\xDCED\xDCA0\xDC80"},	// an encoded surrogate
		{"\xF4\x90\x80\x80", u"\xDCF4\xDC90\xDC80\xDC80"}, // beyond U+10FFFF
		{"\xC3\xA9\xA9", u"\u00E9\xDCA9"},
		{"\xFF\xC3\xA9", u"\xDCFF\u00E9"},
		{"", u""},
	};
	std::set<std::u16string> texts;
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fBytes);
		VString text;
		XLinuxPathBytes::ToText(c.fBytes.data(), c.fBytes.size(), text);
		EXPECT_EQ(Units(text), c.fText);
		std::string bytes;
		EXPECT_TRUE(XLinuxPathBytes::ToBytes(text, bytes));
		EXPECT_EQ(bytes, c.fBytes);
		texts.insert(Units(text));
	}
	EXPECT_EQ(texts.size(), std::size(cases));
}

TEST(PathBytes, EveryTwoBytesComeBack)
{
	// Every byte pair after a lead, exhaustively: the decoding is one to one.
	std::set<std::u16string> texts;
	for (unsigned first = 0x80; first < 0x100; ++first) {
		for (unsigned second = 1; second < 0x100; ++second) {
			const char raw[2] = {static_cast<char>(first), static_cast<char>(second)};
			VString text;
			XLinuxPathBytes::ToText(raw, 2, text);
			std::string bytes;
			ASSERT_TRUE(XLinuxPathBytes::ToBytes(text, bytes)) << first << " " << second;
			ASSERT_EQ(bytes, std::string(raw, 2));
			texts.insert(Units(text));
		}
	}
	EXPECT_EQ(texts.size(), 0x80u * 0xFFu);
}

TEST(PathBytes, TextThatNoBytesGiveIsRefused)
{
	const std::u16string_view cases[] = {
		u"a\xD800",			   // a high surrogate alone
		u"\xD800z",
		u"\xDFFFz",			   // a low one outside the escapes
		u"\xDC41",			   // the escape of an ASCII byte
		u"\xDCC3\xDCA9",	   // escapes that read back as 'é'
		u"a\xDCE2\xDC82\xDCACz", // ... as '€'
		u"\xDCF0\xDC9F\xDC98\xDC80",
	};
	for (std::u16string_view units : cases) {
		SCOPED_TRACE(std::string(units.begin(), units.end()));
		std::string bytes = "kept";
		EXPECT_FALSE(XLinuxPathBytes::AppendBytes(units.data(), static_cast<VIndex>(units.size()), bytes));
		EXPECT_EQ(bytes, "kept");
	}
	// Escapes that stay bytes are fine, whatever stands around them.
	for (std::u16string_view units : {u"\xDCC3\xDCC3", u"\xDCC3" u"A\xDCA9", u"\u00E9\xDCA9", u"\xDCE2\xDC82"}) {
		std::string bytes;
		EXPECT_TRUE(XLinuxPathBytes::AppendBytes(units.data(), static_cast<VIndex>(units.size()), bytes));
	}
}

TEST(PathBytes, LongTextAppends)
{
	std::string long_bytes;
	for (int i = 0; i < 2000; ++i)
		long_bytes += "\xC3\xA9/\xFF";
	VString text(u"prefix");
	XLinuxPathBytes::AppendText(long_bytes.data(), long_bytes.size(), text);
	EXPECT_EQ(text.GetLength(), 6 + 3 * 2000);
	std::string bytes = "p:";
	EXPECT_TRUE(XLinuxPathBytes::AppendBytes(text.GetCPointer(), text.GetLength(), bytes));
	EXPECT_EQ(bytes, "p:prefix" + long_bytes);
}

} // namespace
} // namespace qirn
