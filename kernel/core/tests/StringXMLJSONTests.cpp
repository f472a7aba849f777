#include "core/VString.h"

#include <gtest/gtest.h>

#include <string>

namespace qirn {
namespace {

std::string U8(const VString& inString)
{
	return to_string(inString);
}

TEST(StringXML, Escaping)
{
	VString s("a<b & \"c\"\x01");
	VString shared(s);
	s.TranscodeToXML(false);
	EXPECT_EQ(U8(s), "a&lt;b &amp; &quot;c&quot;\x01");
	EXPECT_EQ(U8(shared), "a<b & \"c\"\x01");
	shared.TranscodeToXML(true);
	EXPECT_EQ(U8(shared), "a&lt;b &amp; &quot;c&quot;&#x01;");
	VString controls("\t\n\r\x7F'>");
	controls.TranscodeToXML(true);
	EXPECT_EQ(U8(controls), "\t\n\r&#x7F;&apos;&gt;");
	VString plain("nothing to do");
	const UniChar* buffer = plain.GetCPointer();
	plain.TranscodeToXML(true);
	EXPECT_EQ(plain.GetCPointer(), buffer);
}

TEST(StringXML, Unescaping)
{
	struct Case {
		const char* fText;
		const char* fExpected;
	};
	for (const Case& c : {Case{"&lt;x&gt;&apos;&#x41;", "<x>'A"}, Case{"&#65;", "&#65;"}, Case{"a&amp", "a&amp"},
						  Case{"&quot;&amp;amp;", "\"&amp;"}, Case{"&#x;", "&#x;"}, Case{"&#x0;", "&#x0;"},
						  Case{"&#x1F600;", "\xF0\x9F\x98\x80"}, Case{"&#x110000;", "&#x110000;"},
						  Case{"&#xFFFFFFFFF41;", "&#xFFFFFFFFF41;"}, Case{"&bogus; &", "&bogus; &"},
						  Case{"&#xe9;", "\xC3\xA9"}}) {
		VString s(c.fText);
		s.TranscodeFromXML();
		EXPECT_EQ(U8(s), c.fExpected) << c.fText;
	}
	VString value;
	EXPECT_TRUE(value.FromXMLString(VString("1 &lt; 2")));
	EXPECT_EQ(U8(value), "1 < 2");
	VString xml;
	value.GetXMLString(xml, 0);
	EXPECT_EQ(U8(xml), "1 &lt; 2");
}

TEST(StringJSON, Escaping)
{
	VString result("old");
	EXPECT_EQ(VString("a\n").GetJSONString(result, VString::kJSON_WithQuotes), VE_OK);
	EXPECT_EQ(U8(result), "\"a\\n\"");
	EXPECT_EQ(result.GetLength(), 5);
	VString("\x01/\\\"\b\f\r\t\x7F").GetJSONString(result, 0);
	EXPECT_EQ(U8(result), "\\u0001/\\\\\\\"\\b\\f\\r\\t\\u007F");
	VString("it's & me").GetJSONString(result, VString::kJSON_EscapeAmpAndApos);
	EXPECT_EQ(U8(result), "it\\u0027s \\u0026 me");
	VString("raw\n").GetJSONString(result, VString::kJSON_Raw | VString::kJSON_WithQuotes);
	EXPECT_EQ(U8(result), "\"raw\n\"");
	VString self("x\"y");
	self.GetJSONString(self, VString::kJSON_WithQuotes);
	EXPECT_EQ(U8(self), "\"x\\\"y\"");
}

TEST(StringJSON, Unescaping)
{
	struct Case {
		const char* fText;
		const char* fExpected;
	};
	for (const Case& c : {Case{"\\u00e9", "\xC3\xA9"}, Case{"\\/", "/"}, Case{"end\\", "end"},
						  Case{"\\n\\t\\\"\\\\", "\n\t\"\\"}, Case{"\\u12", "u12"}, Case{"\\q", "q"},
						  Case{"plain", "plain"}, Case{"\\u0041BC", "ABC"}}) {
		VString s;
		EXPECT_EQ(s.FromJSONString(VString(c.fText), 0), VE_OK);
		EXPECT_EQ(U8(s), c.fExpected) << c.fText;
	}
	VString raw;
	raw.FromJSONString(VString("\\n"), VString::kJSON_Raw);
	EXPECT_EQ(U8(raw), "\\n");
	// Round trip of every BMP control and markup unit.
	VString all;
	for (UniChar c = 1; c < 200; ++c)
		all.AppendUniChar(c);
	VString escaped, back;
	all.GetJSONString(escaped, 0);
	back.FromJSONString(escaped, 0);
	EXPECT_TRUE(back.EqualToStringRaw(all));
}

TEST(StringJSON, NamesAndDates)
{
	VString name;
	VString("9 lives!").GetCleanJSName(name);
	EXPECT_EQ(U8(name), "_9lives");
	VString("$ok_name").GetCleanJSName(name);
	EXPECT_EQ(U8(name), "$ok_name");
	VString().GetCleanJSName(name);
	EXPECT_TRUE(name.IsEmpty());
	EXPECT_TRUE(VString("2024-01-31").IsISODate());
	EXPECT_FALSE(VString("2024-1-31").IsISODate());
	EXPECT_FALSE(VString("2024/01/31").IsISODate());
	EXPECT_TRUE(VString("!!2024-01-31!!").IsNonAmbigousDate());
	EXPECT_FALSE(VString("2024-01-31").IsNonAmbigousDate());
}

} // namespace
} // namespace qirn
