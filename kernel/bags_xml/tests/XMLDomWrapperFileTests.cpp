#include "bags_xml/IXMLDomWrapper.h"
#include "bags_xml/VXMLParser.h"
#include "core/VDuration.h"
#include "core/VString.h"
#include "core/VTime.h"
#include "files/VFile.h"
#include "files/VFileStream.h"
#include "files/VURL.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

namespace qirn {
namespace {

class DomFiles : public ::testing::Test {
protected:
	void SetUp() override { ASSERT_TRUE(VXMLParser::Init()); }
	void TearDown() override
	{
		IXMLDomWrapper::ReleaseNode(fDocument);
		VXMLParser::DeInit();
	}

	VXMLDOMNode_opaque* Parse(const std::string& inXML, const VString* inSystemID = nullptr)
	{
		IXMLDomWrapper::ReleaseNode(fDocument);
		fDocument = IXMLDomWrapper::CreateNodeDocumentFromBuffer(inXML.data(), inXML.size(), inSystemID);
		return fDocument;
	}

	static std::string FileBytes(const std::string& inPath)
	{
		std::ifstream in(inPath, std::ios::binary);
		return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
	}

	VXMLDOMNode_opaque* fDocument = nullptr;
};

// The file and the file stream get the bytes of the blob form: line ends
// made carriage returns, a file written again replaced whole.
TEST_F(DomFiles, WritesFilesAndStreams)
{
	ASSERT_NE(Parse("<r>a\nb</r>"), nullptr);
	const std::string expected = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\" ?><r>a\rb</r>";
	testing::TempFolder folder;
	const std::string path = folder / "doc.xml";
	std::ofstream(path) << std::string(500, 'x');
	VFile file(VString(path.c_str()), FPS_POSIX);
	ASSERT_TRUE(IXMLDomWrapper::WriteToFile(fDocument, file, false));
	EXPECT_EQ(FileBytes(path), expected);

	const std::string streamPath = folder / "stream.xml";
	VFile streamFile(VString(streamPath.c_str()), FPS_POSIX);
	ASSERT_EQ(streamFile.Create(), VE_OK);
	{
		VFileStream stream(&streamFile);
		ASSERT_EQ(stream.OpenWriting(), VE_OK);
		size_t size = 0;
		EXPECT_TRUE(IXMLDomWrapper::SerializeToFile(fDocument, stream, size, false));
		EXPECT_EQ(size, expected.size());
		EXPECT_EQ(stream.CloseWriting(true), VE_OK);
	}
	EXPECT_EQ(FileBytes(streamPath), expected);

	VFile nowhere(VString((folder / "missing/doc.xml").c_str()), FPS_POSIX);
	EXPECT_FALSE(IXMLDomWrapper::WriteToFile(fDocument, nowhere, false));
	EXPECT_FALSE(IXMLDomWrapper::WriteToFile(nullptr, file, false));
}

TEST_F(DomFiles, DocumentURL)
{
	struct Row {
		const char* fSystemID;
		const char* fURL;
	};
	const Row rows[] = {
		{"file:///tmp/a%20b.xml", "file:///tmp/a%20b.xml"},
		{"/tmp/doc.xml", "file:///tmp/doc.xml"},
	};
	for (const Row& row : rows) {
		const VString systemID(row.fSystemID);
		ASSERT_NE(Parse("<r/>", &systemID), nullptr);
		VURL url;
		ASSERT_TRUE(IXMLDomWrapper::GetDocumentURL(fDocument, url)) << row.fSystemID;
		VString text;
		url.GetAbsoluteURL(text, true);
		EXPECT_EQ(to_string(text), row.fURL);
	}
	VURL url;
	EXPECT_FALSE(IXMLDomWrapper::GetDocumentURL(nullptr, url));
}

TEST_F(DomFiles, TimesAndDurations)
{
	ASSERT_NE(Parse("<r><t>not a time</t><empty/></r>"), nullptr);
	VXMLDOMElement_opaque* root = IXMLDomWrapper::GetRootNodeElement(fDocument);
	VTime time;
	time.FromUTCTime(2024, 2, 29, 23, 59, 58, 125);
	const VDuration duration(90061001);
	VXMLDOMElement_opaque* timeElement =
		IXMLDomWrapper::AddNodeElement(root, VString("time"), time, VTime::kRFC3339_UTC);
	VXMLDOMElement_opaque* durationElement =
		IXMLDomWrapper::AddNodeElement(root, VString("d"), duration, VDuration::kXML_ISO8601);
	ASSERT_NE(timeElement, nullptr);
	ASSERT_NE(durationElement, nullptr);

	VTime readTime;
	IXMLDomWrapper::GetNodeElementValueTime(timeElement, readTime);
	EXPECT_TRUE(readTime == time);
	VDuration readDuration;
	IXMLDomWrapper::GetNodeElementValueDuration(durationElement, readDuration);
	EXPECT_TRUE(readDuration == duration);

	// Replacing the text, and the value form of any kind.
	// Without options a duration is written in whole seconds.
	IXMLDomWrapper::SetNodeElementValue(durationElement, VDuration(1500), 0);
	IXMLDomWrapper::GetNodeElementValueDuration(durationElement, readDuration);
	EXPECT_TRUE(readDuration == VDuration(1000));
	// The value's own XML text (whole seconds, with the local offset).
	VTime whole;
	whole.FromUTCTime(2024, 7, 1, 12, 0, 5, 0);
	VXMLDOMElement_opaque* value = IXMLDomWrapper::AddNodeElement(root, VString("v"), &whole);
	IXMLDomWrapper::GetNodeElementValueTime(value, readTime);
	EXPECT_TRUE(readTime == whole);

	// No text: the empty value.
	for (const char* name : {"empty"}) {
		VXMLDOMElement_opaque* element = nullptr;
		for (int i = 0; i < IXMLDomWrapper::GetNumberOfChildrenNodes(IXMLDomWrapper::GetNodeFromNodeElement(root)); ++i) {
			VXMLDOMElement_opaque* child = IXMLDomWrapper::GetNodeElement(
				IXMLDomWrapper::GetChildNode(IXMLDomWrapper::GetNodeFromNodeElement(root), i));
			VString childName;
			IXMLDomWrapper::GetNodeElementName(child, childName);
			if (to_string(childName) == name)
				element = child;
		}
		ASSERT_NE(element, nullptr) << name;
		VTime emptyTime = time;
		IXMLDomWrapper::GetNodeElementValueTime(element, emptyTime);
		EXPECT_TRUE(emptyTime.IsNull()) << name;
		VDuration emptyDuration(5);
		IXMLDomWrapper::GetNodeElementValueDuration(element, emptyDuration);
		EXPECT_TRUE(emptyDuration.IsNull()) << name;
	}
}

} // namespace
} // namespace qirn
