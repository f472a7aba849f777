#include "bags_xml/IXMLHandler.h"
#include "bags_xml/VXMLParser.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"
#include "json/VJSONObject.h"
#include "testing/RaisedErrors.h"
#include "testing/Sanitizers.h"
#include "testing/TestThreads.h"

#include <atomic>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qirn {
namespace {

using Log = std::vector<std::string>;

// Writes every event it and its children receive into one log.
class RecordingHandler : public VObject, public IXMLHandler {
public:
	explicit RecordingHandler(Log& ioLog, std::string inIgnored = {}) : fLog(ioLog), fIgnored(std::move(inIgnored)) {}

	IXMLHandler* StartElement(const VString& inName) override
	{
		fLog.push_back("start " + to_string(inName));
		if (to_string(inName) == fIgnored)
			return nullptr;
		return new RecordingHandler(fLog, fIgnored);
	}
	void EndElement(const VString& inName) override { fLog.push_back("end " + to_string(inName)); }
	void SetAttribute(const VString& inName, const VString& inValue) override
	{
		fLog.push_back("attr " + to_string(inName) + "=" + to_string(inValue));
	}
	void SetText(const VString& inText) override { fLog.push_back("text " + to_string(inText)); }
	void StartStyleSheet() override { fLog.push_back("sheet"); }
	void SetStyleSheetAttribute(const VString& inName, const VString& inValue) override
	{
		fLog.push_back("sheet " + to_string(inName) + "=" + to_string(inValue));
	}
	void EndStyleSheet() override { fLog.push_back("sheet end"); }

private:
	Log& fLog;
	std::string fIgnored;
};

struct Parsed {
	bool fOK;
	Log fLog;
	std::vector<VError> fErrors;
};

Parsed ParseText(const std::string& inXML, unsigned inFlags, std::string inIgnored = {})
{
	testing::RaisedErrors errors;
	Parsed parsed;
	VXMLParser parser;
	RecordingHandler* root = new RecordingHandler(parsed.fLog, std::move(inIgnored));
	parsed.fOK = parser.Parse(inXML.data(), inXML.size(), root, inFlags);
	root->Release();
	parsed.fErrors = errors.Codes();
	return parsed;
}

TEST(XMLParser, HandsElementsAttributesAndTextToTheHandlerTree)
{
	for (unsigned flags : {0u, unsigned(XML_NAMESPACES)}) {
		SCOPED_TRACE(flags);
		Parsed parsed = ParseText("<?xml version=\"1.0\"?><r a=\"1\" b='x&amp;y'>hi<c/><d e=\"2\"></d><![CDATA[<z>]]></r>", flags);
		EXPECT_TRUE(parsed.fOK);
		EXPECT_TRUE(parsed.fErrors.empty());
		// The empty element and the one written with an end tag look alike.
		Log expected = {"start r", "attr a=1", "attr b=x&y", "text hi", "start c", "end c",
						"start d", "attr e=2", "end d", "text <z>", "end r"};
		EXPECT_EQ(parsed.fLog, expected);
	}
}

TEST(XMLParser, NamespacesGiveLocalNames)
{
	const std::string xml = "<p:r xmlns:p=\"urn:x\" p:a=\"1\"><p:c/></p:r>";
	Parsed on = ParseText(xml, XML_NAMESPACES);
	EXPECT_TRUE(on.fOK);
	Log expected = {"start r", "attr p=urn:x", "attr a=1", "start c", "end c", "end r"};
	EXPECT_EQ(on.fLog, expected);
	Parsed off = ParseText(xml, 0);
	EXPECT_TRUE(off.fOK);
	ASSERT_FALSE(off.fLog.empty());
}

TEST(XMLParser, AnIgnoredElementHidesItsContent)
{
	Parsed parsed = ParseText("<r><skip a=\"1\">text<inner b=\"2\"/></skip><kept/></r>", 0, "skip");
	EXPECT_TRUE(parsed.fOK);
	Log expected = {"start r", "start skip", "start kept", "end kept", "end r"};
	EXPECT_EQ(parsed.fLog, expected);
}

TEST(XMLParser, DefaultedAttributesOnlyWhenAsked)
{
	const std::string xml = "<!DOCTYPE r [<!ELEMENT r EMPTY><!ATTLIST r d CDATA \"dflt\">]><r/>";
	Parsed without = ParseText(xml, 0);
	EXPECT_TRUE(without.fOK);
	EXPECT_EQ(without.fLog, (Log{"start r", "end r"}));
	Parsed with = ParseText(xml, XML_DEFAULTED_ATTRIBUTES);
	EXPECT_TRUE(with.fOK);
	EXPECT_EQ(with.fLog, (Log{"start r", "attr d=dflt", "end r"}));
}

TEST(XMLParser, StyleSheetInstructionIsCutIntoPairs)
{
	Parsed parsed = ParseText("<r><?xml-stylesheet type=\"text/xsl\" href='a.xsl'?><?other x=\"1\"?></r>", 0);
	EXPECT_TRUE(parsed.fOK);
	Log expected = {"start r", "sheet", "sheet type=text/xsl", "sheet href=a.xsl", "sheet end", "end r"};
	EXPECT_EQ(parsed.fLog, expected);
}

TEST(XMLParser, AStringIgnoresTheDeclaredEncoding)
{
	Log log;
	VXMLParser parser;
	RecordingHandler* root = new RecordingHandler(log);
	VString text(u"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r a=\"\u00e9\u20ac\"/>");
	EXPECT_TRUE(parser.Parse(text, root, 0));
	root->Release();
	EXPECT_EQ(log, (Log{"start r", "attr a=\u00e9\u20ac", "end r"}));
}

TEST(XMLParser, ErrorsCarryTheirPosition)
{
	testing::RaisedErrors errors;
	Log log;
	VXMLParser parser;
	RecordingHandler* root = new RecordingHandler(log);
	const std::string xml = "<r>\n  <a></b>\n</r>";
	EXPECT_FALSE(parser.Parse(xml.data(), xml.size(), root, 0));
	root->Release();
	ASSERT_EQ(errors.Codes(), std::vector<VError>{VE_XML_FATAL_ERROR});
	VJSONObject* parameters = errors.LastError()->GetParameters();
	EXPECT_EQ(parameters->GetProperty(VString("line")).GetNumber(), 2);
	EXPECT_GT(parameters->GetProperty(VString("column")).GetNumber(), 0);
	VString systemID;
	parameters->GetProperty(VString("systemID")).GetString(systemID);
	EXPECT_EQ(to_string(systemID), "frommem");
}

// Hostile documents: each is refused with a fatal error and nothing from
// outside the document reaches a handler.
TEST(XMLParser, HostileDocumentsAreRefused)
{
	const char* kBillionLaughs =
		"<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\">"
		"<!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\"><!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\">"
		"<!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\"><!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\">"
		"<!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\"><!ENTITY g \"&f;&f;&f;&f;&f;&f;&f;&f;&f;&f;\">]>"
		"<r>&g;</r>";
	struct Row {
		const char* fName;
		std::string fXML;
		unsigned fFlags;
	};
	const Row rows[] = {
		{"not well formed", "<r><a></r>", 0},
		{"bad bytes", std::string("<r>\xff\xfe</r>"), 0},
		{"no root", "", 0},
		{"external entity, absolute path", "<!DOCTYPE r [<!ENTITY x SYSTEM \"/etc/hostname\">]><r>&x;</r>", 0},
		{"external entity, URL", "<!DOCTYPE r [<!ENTITY x SYSTEM \"http://localhost:1/x\">]><r>&x;</r>", 0},
		{"external entity, relative", "<!DOCTYPE r [<!ENTITY x SYSTEM \"../x.txt\">]><r>&x;</r>", 0},
		{"external parameter entity",
		 "<!DOCTYPE r [<!ENTITY % p SYSTEM \"/etc/hostname\"> %p;]><r/>", 0},
		{"external DTD", "<!DOCTYPE r SYSTEM \"/etc/hostname\"><r/>", XML_LOAD_EXTERNAL_DTD},
		{"entity expansion bomb", kBillionLaughs, 0},
	};
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fName);
		if (row.fXML == kBillionLaughs && !testing::kRunsEntityBombs)
			continue;
		Parsed parsed = ParseText(row.fXML, row.fFlags);
		EXPECT_FALSE(parsed.fOK);
		ASSERT_FALSE(parsed.fErrors.empty());
		EXPECT_EQ(parsed.fErrors.back(), VE_XML_FATAL_ERROR);
		// A bomb's first expansions arrive before the limit stops it.
		if (row.fXML != kBillionLaughs) {
			for (const std::string& event : parsed.fLog)
				EXPECT_EQ(event.rfind("text", 0), std::string::npos) << event;
		}
	}
}

TEST(XMLParser, InitIsCounted)
{
	ASSERT_TRUE(VXMLParser::Init());
	ASSERT_TRUE(VXMLParser::Init());
	VXMLParser::DeInit();
	// Still set up: a parser made now parses.
	EXPECT_TRUE(ParseText("<r/>", 0).fOK);
	VXMLParser::DeInit();
	// Torn down and set up again by the next parser.
	EXPECT_TRUE(ParseText("<r/>", 0).fOK);
}

// Parsers made and dropped on several threads at once: the library is set
// up and torn down under the count, never while a parse runs.
TEST(XMLParser, ParsersOnSeveralThreads)
{
	std::atomic<int> failures{0};
	testing::RunOnThreads(4, [&](int) {
		for (int i = 0; i < 20; ++i) {
			VXMLParser parser;
			VNullXMLHandler* handler = new VNullXMLHandler;
			const std::string xml = "<r a=\"1\"><c>text</c></r>";
			if (!parser.Parse(xml.data(), xml.size(), handler, XML_NAMESPACES))
				++failures;
			handler->Release();
		}
	});
	EXPECT_EQ(failures.load(), 0);
}

TEST(XMLHandler, KnowsXMLCharacters)
{
	EXPECT_TRUE(IXMLHandler::IsXMLChar(u'\t'));
	EXPECT_TRUE(IXMLHandler::IsXMLChar(u'a'));
	EXPECT_FALSE(IXMLHandler::IsXMLChar(u'\x01'));
	EXPECT_FALSE(IXMLHandler::IsXMLChar(u'\xFFFE'));
	EXPECT_TRUE(IXMLHandler::WCharIsSpace(u'\x0C'));
	EXPECT_FALSE(IXMLHandler::WCharIsSpace(u'a'));
}

} // namespace
} // namespace qirn
