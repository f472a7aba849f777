#include "bags_xml/IXMLDomWrapper.h"
#include "bags_xml/IXMLHandler.h"
#include "bags_xml/VXMLParser.h"
#include "core/VBlob.h"
#include "core/VString.h"
#include "testing/Sanitizers.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qirn {
namespace {

using Log = std::vector<std::string>;

class DomTest : public ::testing::Test {
protected:
	void SetUp() override { ASSERT_TRUE(VXMLParser::Init()); }
	void TearDown() override
	{
		IXMLDomWrapper::ReleaseNode(fDocument);
		VXMLParser::DeInit();
	}

	VXMLDOMNode_opaque* Parse(const std::string& inXML)
	{
		IXMLDomWrapper::ReleaseNode(fDocument);
		fDocument = IXMLDomWrapper::CreateNodeDocumentFromBuffer(inXML.data(), inXML.size(), nullptr);
		return fDocument;
	}

	std::string Serialized(bool inPretty)
	{
		VBlobWithPtr blob;
		size_t size = 0;
		EXPECT_TRUE(IXMLDomWrapper::SerializeToBlob(fDocument, &blob, 0, size, inPretty));
		std::string bytes(size, '\0');
		blob.GetData(bytes.data(), size, 0);
		return bytes;
	}

	VXMLDOMNode_opaque* fDocument = nullptr;
};

TEST_F(DomTest, FindsElementsByTheirIDs)
{
	ASSERT_NE(Parse("<r><a xml:id=\"one\"/><b id=\"two\"/></r>"), nullptr);
	IXMLDomWrapper::RegisterNodeIDs(fDocument);
	VString name;
	IXMLDomWrapper::GetNodeElementName(IXMLDomWrapper::FindNodeElementByID(fDocument, VString("one")), name);
	EXPECT_EQ(to_string(name), "a");
	IXMLDomWrapper::GetNodeElementName(IXMLDomWrapper::FindNodeElementByID(fDocument, VString("two")), name);
	EXPECT_EQ(to_string(name), "b");
	EXPECT_EQ(IXMLDomWrapper::FindNodeElementByID(fDocument, VString("three")), nullptr);
}

TEST_F(DomTest, ReadsAndWritesValuesAndAttributes)
{
	ASSERT_NE(Parse("<r xmlns:p=\"urn:p\" p:a=\"x\"><n>12</n><e><x/></e></r>"), nullptr);
	VXMLDOMElement_opaque* root = IXMLDomWrapper::GetRootNodeElement(fDocument);
	ASSERT_NE(root, nullptr);
	VString value;
	EXPECT_TRUE(IXMLDomWrapper::GetNodeElementAttribute(root, VString("p:a"), value));
	EXPECT_EQ(to_string(value), "x");
	EXPECT_FALSE(IXMLDomWrapper::GetNodeElementAttribute(root, VString("q:a"), value));
	VXMLDOMElement_opaque* n = IXMLDomWrapper::GetNodeElement(IXMLDomWrapper::GetChildNode(
		IXMLDomWrapper::GetNodeFromNodeElement(root), 0));
	EXPECT_EQ(IXMLDomWrapper::GetNodeElementValueLong(n), 12);
	// The first child is an element, not text: the empty value.
	VXMLDOMElement_opaque* e = IXMLDomWrapper::GetNodeElement(IXMLDomWrapper::GetChildNode(
		IXMLDomWrapper::GetNodeFromNodeElement(root), 1));
	EXPECT_EQ(IXMLDomWrapper::GetNodeElementValueLong(e), 0);

	bool removed = true;
	EXPECT_TRUE(IXMLDomWrapper::SetNodeElementAttribute(root, VString("k"), VString("v"), true, &removed));
	EXPECT_FALSE(removed);
	EXPECT_TRUE(IXMLDomWrapper::SetNodeElementAttribute(root, VString("k"), VString(), false, &removed));
	EXPECT_FALSE(removed);
	EXPECT_TRUE(IXMLDomWrapper::GetNodeElementAttribute(root, VString("k"), value));
	EXPECT_TRUE(value.IsEmpty());
	EXPECT_TRUE(IXMLDomWrapper::SetNodeElementAttribute(root, VString("k"), VString(), true, &removed));
	EXPECT_TRUE(removed);
	EXPECT_FALSE(IXMLDomWrapper::GetNodeElementAttribute(root, VString("k"), value));

	VXMLDOMElement_opaque* added = IXMLDomWrapper::AddNodeElement(root, VString("d"), 2.5);
	EXPECT_DOUBLE_EQ(IXMLDomWrapper::GetNodeElementValueReal(added), 2.5);
	added = IXMLDomWrapper::AddNodeElement(root, VString("b"), static_cast<unsigned char>(1));
	EXPECT_TRUE(IXMLDomWrapper::GetNodeElementValueBoolean(added));
}

class RecordingHandler : public VObject, public IXMLHandler {
public:
	explicit RecordingHandler(Log& ioLog) : fLog(ioLog) {}
	IXMLHandler* StartElement(const VString& inName) override
	{
		fLog.push_back("start " + to_string(inName));
		return new RecordingHandler(fLog);
	}
	void EndElement(const VString& inName) override { fLog.push_back("end " + to_string(inName)); }
	void SetAttribute(const VString& inName, const VString& inValue) override
	{
		fLog.push_back("attr " + to_string(inName) + "=" + to_string(inValue));
	}
	void SetText(const VString& inText) override { fLog.push_back("text " + to_string(inText)); }
	void processingInstruction(const VString& inTarget, const VString& inData) override
	{
		fLog.push_back("pi " + to_string(inTarget) + " " + to_string(inData));
	}

private:
	Log& fLog;
};

TEST_F(DomTest, ReplaysASubtreeInDocumentOrder)
{
	ASSERT_NE(Parse("<r a=\"1\" b=\"2\">t<![CDATA[<c>]]><?pi data?></r>"), nullptr);
	Log log;
	RecordingHandler* handler = new RecordingHandler(log);
	EXPECT_TRUE(IXMLDomWrapper::DOMParseNode(fDocument, handler));
	handler->Release();
	EXPECT_EQ(log, (Log{"start r", "attr a=1", "attr b=2", "text t", "text <c>", "pi pi data", "end r"}));
}

TEST_F(DomTest, SerialisingWritesCarriageReturns)
{
	ASSERT_NE(Parse("<r>a\r\nb\nc</r>"), nullptr);
	VXMLDOMElement_opaque* root = IXMLDomWrapper::GetRootNodeElement(fDocument);
	IXMLDomWrapper::SetNodeElementValue(root, VString("a\r\nb\nc\td"));
	std::string bytes = Serialized(false);
	EXPECT_EQ(bytes.find('\n'), std::string::npos) << bytes;
	EXPECT_NE(bytes.find("<r>a&#xD;\rb\rc\td</r>"), std::string::npos) << bytes;
}

TEST_F(DomTest, UTF16LineEndsAreRewrittenInUnits)
{
	VBlobWithPtr blob;
	size_t size = 0;
	// A target is only made by serialising; the copy itself is checked here
	// through a UTF-16 document.
	const std::u16string text = u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><r>\u010a\n</r>";
	std::string bytes(reinterpret_cast<const char*>(text.data()), text.size() * 2);
	bytes.insert(0, "\xFF\xFE");
	ASSERT_NE(Parse(bytes), nullptr);
	ASSERT_TRUE(IXMLDomWrapper::SerializeToBlob(fDocument, &blob, 0, size, false));
	std::u16string written(size / 2, u'\0');
	blob.GetData(written.data(), size, 0);
	// U+010A keeps its byte 0x0A; the line feeds become carriage returns.
	EXPECT_NE(written.find(u"<r>\u010a\r</r>"), std::u16string::npos);
	EXPECT_EQ(written.find(u'\n'), std::u16string::npos);
}

TEST_F(DomTest, DocumentWithoutDeclarationIsWrittenInAnEncodingItReadsBackFrom)
{
	// UTF-16 found from the byte-order mark alone: the parser names it
	// "UTF-16 (LE)", which must not become the written declaration.
	const std::u16string text = u"\uFEFF<r>a\nb</r>";
	ASSERT_NE(Parse(std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2)), nullptr);
	VBlobWithPtr blob;
	size_t size = 0;
	ASSERT_TRUE(IXMLDomWrapper::SerializeToBlob(fDocument, &blob, 0, size, false));
	std::string bytes(size, '\0');
	blob.GetData(bytes.data(), size, 0);
	EXPECT_EQ(bytes.find(std::string("(\0L\0E\0)", 6)), std::string::npos);
	EXPECT_NE(bytes.find(std::string("\r\0", 2)), std::string::npos);
	VXMLDOMNode_opaque* again = IXMLDomWrapper::CreateNodeDocumentFromBuffer(bytes.data(), bytes.size(), nullptr);
	ASSERT_NE(again, nullptr);
	IXMLDomWrapper::ReleaseNode(again);
}

TEST_F(DomTest, DocumentInAStatefulEncodingIsWrittenInUTF8)
{
	struct Case {
		const char* fXML;
		const char* fWrittenEncoding;
	};
	// clang-format off
	const Case cases[] = {
		// UTF-7 written piecewise left a base64 run's last bits before the
		// text ("U-caf+AOk +ZeU"), one more at each round.
		{"<?xml version=\"1.0\" encoding=\"UTF-7\"?><r>caf+AOk- +ZeU-</r>", "UTF-8"},
		{"<?xml version=\"1.0\" encoding=\"unicode-2-0-utf-7\"?><r>caf+AOk- +ZeU-</r>", "UTF-8"},
		{"<?xml version=\"1.0\" encoding=\"UTF-07\"?><r>caf+AOk- +ZeU-</r>", "UTF-8"},
		// ISO-2022-CN lost its designation: the written bytes did not parse.
		{"<?xml version=\"1.0\" encoding=\"ISO-2022-CN\"?><r>caf&#233; &#26085;</r>", "UTF-8"},
		{"<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>caf\xE9 &#26085;</r>", "ISO-8859-1"},
	};
	// clang-format on
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fXML);
		ASSERT_NE(Parse(c.fXML), nullptr);
		const std::string written = Serialized(false);
		EXPECT_NE(written.find(std::string("encoding=\"") + c.fWrittenEncoding + "\""), std::string::npos) << written;
		ASSERT_NE(Parse(written), nullptr) << written;
		VString text;
		IXMLDomWrapper::GetNodeElementValueString(IXMLDomWrapper::GetRootNodeElement(fDocument), text);
		EXPECT_TRUE(text.EqualToStringRaw(VString(u"caf\u00E9 \u65E5"))) << written;
		EXPECT_EQ(Serialized(false), written);
	}
}

TEST_F(DomTest, DocumentTypeThatWouldNotReadBackIsWrittenOut)
{
	// The parser keeps the attribute's default as it reads ("d&ef"): the
	// document type written with it did not parse.
	ASSERT_NE(Parse("<!DOCTYPE r [<!ENTITY e \"<i>ent</i>\"><!ENTITY f \"&e;!\">"
					"<!ATTLIST r d CDATA \"d&amp;ef\">]><r>&f;</r>"),
			  nullptr);
	for (bool pretty : {false, true}) {
		SCOPED_TRACE(pretty);
		const std::string written = Serialized(pretty);
		EXPECT_EQ(written.find("DOCTYPE"), std::string::npos) << written;
		VXMLDOMNode_opaque* again = IXMLDomWrapper::CreateNodeDocumentFromBuffer(written.data(), written.size(), nullptr);
		ASSERT_NE(again, nullptr) << written;
		VXMLDOMElement_opaque* root = IXMLDomWrapper::GetRootNodeElement(again);
		VString value;
		IXMLDomWrapper::GetNodeElementAttribute(root, VString("d"), value);
		EXPECT_EQ(to_string(value), "d&ef");
		IXMLDomWrapper::ReleaseNode(again);
		if (!pretty) {
			EXPECT_NE(written.find("<r d=\"d&amp;ef\"><i>ent</i>!</r>"), std::string::npos) << written;
		}
	}
	// Kept as "d&e;f", the default parses again, as a reference to e: the
	// document type written would give the attribute another value.
	ASSERT_NE(Parse("<!DOCTYPE r [<!ENTITY e \"ent\"><!ATTLIST r d CDATA \"d&amp;e;f\">]><r>&e;</r>"), nullptr);
	{
		const std::string written = Serialized(false);
		EXPECT_EQ(written.find("DOCTYPE"), std::string::npos) << written;
		EXPECT_NE(written.find("<r d=\"d&amp;e;f\">ent</r>"), std::string::npos) << written;
	}
	// A document type that reads back is written as it was.
	ASSERT_NE(Parse("<!DOCTYPE r [<!ENTITY e \"ent\">]><r>&e;</r>"), nullptr);
	EXPECT_NE(Serialized(false).find("<!DOCTYPE r [<!ENTITY e \"ent\">]><r>&e;</r>"), std::string::npos);
}

TEST_F(DomTest, InputThatIsNoWellFormedDocumentIsRefused)
{
	// The parser answered a document without a root element, and no error.
	EXPECT_EQ(Parse("<!DOCTYPE r [<!ATTLIST r d CDATA \"def,>]>>w]>\"d<r>*x;</r>"), nullptr);
	EXPECT_EQ(Parse("<!DOCTYPE r [<!ENTITY e \"x\">"), nullptr);
	// An element may not have the prefix "xmlns"; the parser took it, and
	// the writer declared that prefix, which nothing reads back.
	EXPECT_EQ(Parse("<r><xmlns:x/></r>"), nullptr);
	EXPECT_NE(Parse("<r xmlns:a=\"urn:a\"><a:x/></r>"), nullptr);
}

TEST_F(DomTest, RoundTripKeepsTabsLineFeedsAndBrackets)
{
	ASSERT_NE(Parse("<r/>"), nullptr);
	VXMLDOMElement_opaque* root = IXMLDomWrapper::GetRootNodeElement(fDocument);
	VString tricky("a\tb\nc]]>d");
	IXMLDomWrapper::SetNodeElementAttribute(root, VString("s"), tricky, false, nullptr);
	IXMLDomWrapper::SetNodeElementValue(root, tricky);
	VBlobWithPtr blob;
	size_t size = 0;
	VXMLDOMNode_opaque* copy = nullptr;
	{
		// Without the line-end rewriting, the bytes parse back the same.
		ASSERT_TRUE(IXMLDomWrapper::SerializeToBlob(fDocument, &blob, 0, size, false));
		std::string bytes(size, '\0');
		blob.GetData(bytes.data(), size, 0);
		for (char& c : bytes) {
			if (c == '\r')
				c = '\n';
		}
		copy = IXMLDomWrapper::CreateNodeDocumentFromBuffer(bytes.data(), bytes.size(), nullptr);
	}
	ASSERT_NE(copy, nullptr);
	VString value;
	VXMLDOMElement_opaque* copyRoot = IXMLDomWrapper::GetRootNodeElement(copy);
	EXPECT_TRUE(IXMLDomWrapper::GetNodeElementAttribute(copyRoot, VString("s"), value));
	EXPECT_EQ(to_string(value), "a\tb\nc]]>d");
	IXMLDomWrapper::GetNodeElementValueString(copyRoot, value);
	EXPECT_EQ(to_string(value), "a\tb\nc]]>d");
	IXMLDomWrapper::ReleaseNode(copy);
}

TEST_F(DomTest, BadOrHostileDocumentsGiveNull)
{
	std::string deep;
	for (size_t i = 0; i <= IXMLDomWrapper::kMaxDepth; ++i)
		deep += "<a>";
	for (size_t i = 0; i <= IXMLDomWrapper::kMaxDepth; ++i)
		deep += "</a>";
	const std::string rows[] = {
		"<r><a></r>",
		"<r>\xff</r>",
		"",
		"<!DOCTYPE r [<!ENTITY x SYSTEM \"/etc/hostname\">]><r>&x;</r>",
		"<!DOCTYPE r [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b \"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">"
		"<!ENTITY c \"&b;&b;&b;&b;&b;&b;&b;&b;&b;&b;\"><!ENTITY d \"&c;&c;&c;&c;&c;&c;&c;&c;&c;&c;\">"
		"<!ENTITY e \"&d;&d;&d;&d;&d;&d;&d;&d;&d;&d;\"><!ENTITY f \"&e;&e;&e;&e;&e;&e;&e;&e;&e;&e;\">]><r>&f;</r>",
		deep,
	};
	for (const std::string& xml : rows) {
		SCOPED_TRACE(xml.substr(0, 60));
		if (xml.find("<!ENTITY a ") != std::string::npos && !testing::kRunsEntityBombs)
			continue;
		EXPECT_EQ(Parse(xml), nullptr);
	}
	// An external DTD is not loaded at all: the document stands.
	EXPECT_NE(Parse("<!DOCTYPE r SYSTEM \"/etc/hostname\"><r/>"), nullptr);
	// One level less is read.
	EXPECT_NE(Parse(deep.substr(3, deep.size() - 7)), nullptr);
}

} // namespace
} // namespace qirn
