#include "bags_xml/IXMLHandler.h"
#include "bags_xml/ParseXMLValue.h"
#include "bags_xml/VValueBag.h"
#include "bags_xml/VXMLParser.h"
#include "core/VBoolean.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "core/VUUID.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <clocale>
#include <cmath>
#include <memory>
#include <string>

namespace qirn {
namespace {

using Bag = VRefPtr<VValueBag>;

Bag NewBag()
{
	return Bag::Adopt(new VValueBag);
}

std::string Dump(const VValueBag& inBag, bool inIndent)
{
	VString out;
	inBag.DumpXML(out, VString("x"), inIndent);
	return to_string(out);
}

TEST(ValueBagDumpXML, Layout)
{
	Bag flat = NewBag();
	flat->SetLong("a", 1);
	EXPECT_EQ(Dump(*flat, false), "<x a=\"1\"/>");

	Bag parent = NewBag();
	parent->AddElement("c", NewBag().Get());
	EXPECT_EQ(Dump(*parent, true), "<x>\n\t<c/>\n</x>");
	EXPECT_EQ(Dump(*parent, false), "<x>\n<c/></x>");

	Bag deeper = NewBag();
	deeper->AddElement("p", parent.Get());
	EXPECT_EQ(Dump(*deeper, true), "<x>\n\t<p>\n\t\t<c/>\n\t</p>\n</x>");
}

TEST(ValueBagDumpXML, CharacterData)
{
	struct Row {
		std::u16string fText;
		std::string fExpected;
	};
	const Row rows[] = {
		{u"letters", "<x>letters</x>"},
		{u"a<b", "<x><![CDATA[a<b]]></x>"},
		{u"two\nwords", "<x><![CDATA[two\nwords]]></x>"},
		// Blank text: its spaces, then the end tag on its own line.
		{u"  \n ", "<x>   \n</x>"},
		{u"a\u0001b", "<x>ab</x>"},
		{u"<\u0001\U0001F600", "<x><![CDATA[<\U0001F600]]></x>"},
		{u"lone\xD800", "<x>lone</x>"},
		{u"a]]>b", "<x><![CDATA[a]]>]]<![CDATA[>b]]></x>"},
		{u"]]>", "<x><![CDATA[]]>]]<![CDATA[>]]></x>"},
	};
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fExpected);
		Bag bag = NewBag();
		bag->AppendToCData(VString(row.fText.c_str(), static_cast<VIndex>(row.fText.size())));
		EXPECT_EQ(Dump(*bag, true), row.fExpected);
	}
}

TEST(ValueBagDumpXML, AttributeValuesKeepTheirWhiteSpace)
{
	Bag bag = NewBag();
	bag->SetString("s", VString(u"a\tb\nc\rd\u0001<&\"]]>"));
	EXPECT_EQ(Dump(*bag, false), "<x s=\"a&#x9;b&#xA;c&#xD;d&lt;&amp;&quot;]]&gt;\"/>");
}

// Keeps the first element's attributes and all text.
class CaptureHandler : public VObject, public IXMLHandler {
public:
	IXMLHandler* StartElement(const VString&) override
	{
		Retain();
		return this;
	}
	void SetAttribute(const VString& inName, const VString& inValue) override
	{
		if (to_string(inName) == "s" && !fSeen) {
			fAttribute = inValue;
			fSeen = true;
		}
	}
	void SetText(const VString& inText) override { fText.AppendString(inText); }

	VString fAttribute;
	VString fText;
	bool fSeen = false;
};

TEST(ValueBagDumpXML, WrittenTextReadsBack)
{
	const std::u16string texts[] = {u"tab\there", u"line\nfeed", u"cr\rhere", u"a]]>b", u"]]>]]>", u"<&'\">",
									u"control\u0001gone", u"plain"};
	for (const std::u16string& text : texts) {
		SCOPED_TRACE(to_string(VString(text.c_str())));
		VString value(text.c_str(), static_cast<VIndex>(text.size()));
		Bag bag = NewBag();
		bag->SetString("s", value);
		bag->AppendToCData(value);
		VString xml;
		bag->DumpXML(xml, VString("x"), true);
		VXMLParser parser;
		CaptureHandler* handler = new CaptureHandler;
		EXPECT_TRUE(parser.Parse(xml, handler, 0)) << to_string(xml);
		VString expected(value);
		if (text == u"control\u0001gone")
			expected = VString("controlgone");
		EXPECT_EQ(to_string(handler->fAttribute), to_string(expected));
		// Plain text drops line breaks; sections keep them, though a parser
		// reads a carriage return in a section as a line feed.
		std::string read = to_string(handler->fText);
		if (bag->NeedsEscapeSequence(value, u"&><\"'", u"&><\"'" + 5)) {
			std::string wanted = to_string(expected);
			std::replace(wanted.begin(), wanted.end(), '\r', '\n');
			EXPECT_EQ(read, wanted);
		}
		handler->Release();
	}
}

TEST(ValueBagNeedsEscapeSequence, Cases)
{
	const UniChar set[] = {u'<'};
	EXPECT_FALSE(VValueBag::NeedsEscapeSequence(VString(""), set, set + 1));
	EXPECT_FALSE(VValueBag::NeedsEscapeSequence(VString(" \n\t"), set, set));
	EXPECT_TRUE(VValueBag::NeedsEscapeSequence(VString("a\nb"), set, set));
	EXPECT_FALSE(VValueBag::NeedsEscapeSequence(VString("a b"), set, set + 1));
	EXPECT_TRUE(VValueBag::NeedsEscapeSequence(VString("a<b"), set, set + 1));
}

enum class Kind { Long, Long8, Real, Boolean, UUID, String };

struct ValueRow {
	std::u16string fText;
	Kind fKind;
	double fNumber;
};

TEST(ParseXMLValue, Table)
{
	const double inf = std::numeric_limits<double>::infinity();
	const ValueRow rows[] = {
		{u"42", Kind::Long, 42},
		{u"  -7 ", Kind::Long, -7},
		{u"\u22127", Kind::Long, -7},
		{u"3000000000", Kind::Long8, 3000000000.0},
		{u"-9223372036854775808", Kind::Long8, -9223372036854775808.0},
		{u"9223372036854775808", Kind::String, 0},
		{u"18446744073709551615", Kind::String, 0},
		{u"99999999999999999999", Kind::String, 0},
		{u"03000000000", Kind::String, 0},
		{u"1.5", Kind::Real, 1.5},
		{u"1e3", Kind::Real, 1000},
		{u"-2.5E\u22122", Kind::Real, -0.025},
		{u"1.", Kind::String, 0},
		{u"1.e3", Kind::String, 0},
		{u"1e999", Kind::String, 0},
		{u"INF", Kind::Real, inf},
		{u"-INF", Kind::Real, -inf},
		{u"+INF", Kind::String, 0},
		{u"NaN", Kind::Real, std::nan("")},
		{u"-NaN", Kind::String, 0},
		{u"true", Kind::Boolean, 1},
		{u"+true", Kind::String, 0},
		{u"false", Kind::Boolean, 0},
		{u"0123456789abcdef0123456789ABCDEF", Kind::UUID, 0},
		{u"f123456789abcdef0123456789ABCDEF", Kind::UUID, 0},
		{u"{0123456789abcdef-0123456789ABCDEF}", Kind::UUID, 0},
		{u"a123456789abcdef0123456789ABCDEF", Kind::String, 0},
		{u"-0123456789abcdef0123456789ABCDEF", Kind::String, 0},
		{u"hello", Kind::String, 0},
		{u"", Kind::String, 0},
	};
	for (const ValueRow& row : rows) {
		VString text(row.fText.c_str(), static_cast<VIndex>(row.fText.size()));
		SCOPED_TRACE(to_string(text));
		std::unique_ptr<VValueSingle> value(ParseXMLValue(text));
		ASSERT_NE(value, nullptr);
		switch (row.fKind) {
			case Kind::Long:
				ASSERT_NE(dynamic_cast<VLong*>(value.get()), nullptr);
				EXPECT_EQ(value->GetLong8(), static_cast<sLONG8>(row.fNumber));
				break;
			case Kind::Long8:
				ASSERT_NE(dynamic_cast<VLong8*>(value.get()), nullptr);
				EXPECT_EQ(value->GetLong8(), static_cast<sLONG8>(row.fNumber));
				break;
			case Kind::Real:
				ASSERT_NE(dynamic_cast<VReal*>(value.get()), nullptr);
				if (std::isnan(row.fNumber)) {
					EXPECT_TRUE(std::isnan(value->GetReal()));
				} else {
					EXPECT_DOUBLE_EQ(value->GetReal(), row.fNumber);
				}
				break;
			case Kind::Boolean:
				ASSERT_NE(dynamic_cast<VBoolean*>(value.get()), nullptr);
				EXPECT_EQ(value->GetBoolean(), row.fNumber != 0);
				break;
			case Kind::UUID:
				EXPECT_NE(dynamic_cast<VUUID*>(value.get()), nullptr);
				break;
			case Kind::String: {
				VString* string = dynamic_cast<VString*>(value.get());
				ASSERT_NE(string, nullptr);
				EXPECT_TRUE(string->EqualToStringRaw(text));
				break;
			}
		}
	}
}

TEST(ParseXMLValue, RealsIgnoreTheProcessLocale)
{
	const char* previous = std::setlocale(LC_NUMERIC, nullptr);
	std::string saved = previous != nullptr ? previous : "C";
	if (std::setlocale(LC_NUMERIC, "de_DE.UTF-8") == nullptr)
		GTEST_SKIP() << "no de_DE.UTF-8 locale";
	std::unique_ptr<VValueSingle> value(ParseXMLValue(VString("1.25")));
	std::setlocale(LC_NUMERIC, saved.c_str());
	ASSERT_NE(dynamic_cast<VReal*>(value.get()), nullptr);
	EXPECT_DOUBLE_EQ(value->GetReal(), 1.25);
}

TEST(ParseXMLValue, UUIDBytesInOrder)
{
	std::unique_ptr<VValueSingle> value(ParseXMLValue(VString("00112233-4455-6677-8899-AABBCCDDEEFF")));
	VUUID* uuid = dynamic_cast<VUUID*>(value.get());
	ASSERT_NE(uuid, nullptr);
	VUUID expected(VString("00112233445566778899AABBCCDDEEFF"));
	EXPECT_TRUE(uuid->EqualToSameKind(&expected));
}

} // namespace
} // namespace qirn
