#include "bags_xml/BagXMLReadWrite.h"
#include "bags_xml/IXMLDomWrapper.h"
#include "bags_xml/VBagArray.h"
#include "bags_xml/VValueBag.h"
#include "bags_xml/VXMLParser.h"
#include "core/VLong.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/VFile.h"
#include "files/tests/StreamBytes.h"
#include "core/VBlob.h"
#include "json/VJSONNesting.h"
#include "files/VConstPtrStream.h"
#include "runtime/VError.h"
#include "testing/RaisedErrors.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace qirn {
namespace {

using Bag = VRefPtr<VValueBag>;

Bag NewBag()
{
	return Bag::Adopt(new VValueBag);
}

std::string FileBytes(const std::string& inPath)
{
	std::ifstream in(inPath, std::ios::binary);
	return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string Attribute(const VValueBag& inBag, const char* inName)
{
	VString value;
	EXPECT_TRUE(inBag.GetString(inName, value)) << inName;
	return to_string(value);
}

std::string CData(const VValueBag& inBag)
{
	VString text;
	inBag.GetCData(text);
	return to_string(text);
}

// Texts that XML must carry exactly: escapes, white space of each kind,
// the end of a CDATA section, characters XML forbids (dropped).
const VString kAwkward(u"a\tb\nc\rd <&>\"' ]]> e]]>f\u0001g \U0001F600");
const std::string kAwkwardRead = "a\tb\nc\rd <&>\"' ]]> e]]>fg \xF0\x9F\x98\x80";
// Character data is written in a CDATA section, where XML reads a carriage
// return as a line feed.
const std::string kAwkwardTextRead = "a\tb\nc\nd <&>\"' ]]> e]]>fg \xF0\x9F\x98\x80";

// A root with attributes, two children under one name, one under another,
// and character data on a leaf.
Bag AwkwardBag()
{
	Bag bag = NewBag();
	bag->SetString("text", kAwkward);
	bag->SetLong("n", 12);
	for (int i = 0; i < 2; ++i) {
		Bag child = NewBag();
		child->SetString("text", kAwkward);
		child->SetLong("i", i);
		bag->AddElement("item", child.Get());
	}
	Bag leaf = NewBag();
	leaf->AppendToCData(kAwkward);
	bag->AddElement("leaf", leaf.Get());
	return bag;
}

// What a reader must give back of AwkwardBag: every attribute as a string.
void ExpectAwkwardBag(const VValueBag& inBag, const std::string& inText = kAwkwardTextRead)
{
	EXPECT_EQ(Attribute(inBag, "text"), kAwkwardRead);
	EXPECT_EQ(Attribute(inBag, "n"), "12");
	VBagArray* items = inBag.GetElements("item");
	ASSERT_NE(items, nullptr);
	ASSERT_EQ(items->GetCount(), 2);
	for (VIndex i = 1; i <= 2; ++i) {
		EXPECT_EQ(Attribute(*items->GetNth(i), "text"), kAwkwardRead);
		EXPECT_EQ(Attribute(*items->GetNth(i), "i"), std::to_string(i - 1));
	}
	VBagArray* leaves = inBag.GetElements("leaf");
	ASSERT_NE(leaves, nullptr);
	ASSERT_EQ(leaves->GetCount(), 1);
	EXPECT_EQ(CData(*leaves->GetNth(1)), inText);
	// Between the children the root only holds the line breaks (and, when
	// indented, tabs) of the layout.
	EXPECT_EQ(CData(inBag).find_first_not_of("\n\t"), std::string::npos);
}

TEST(BagXMLFile, ServerLinkFileIsExact)
{
	testing::TempFolder folder;
	const std::string path = folder / "link.QXlink";
	VFile file(VString(path.c_str()), FPS_POSIX);
	Bag bag = NewBag();
	bag->SetBool("is_remote", true);
	bag->SetString("server_database_name", VString("Sales & \"Co\""));
	bag->SetString("server_path", VString("10.0.0.1:19813"));
	bag->SetString("cache_folder_name", VString());
	bag->SetBool("remote_shared_resources", false);
	ASSERT_EQ(WriteBagToFileInXML(*bag, VString("database_shortcut"), &file, false), VE_OK);
	EXPECT_EQ(FileBytes(path), "<?xml version=\"1.0\" encoding=\"UTF-8\"?><database_shortcut is_remote=\"true\" "
							   "server_database_name=\"Sales &amp; &quot;Co&quot;\" server_path=\"10.0.0.1:19813\" "
							   "cache_folder_name=\"\" remote_shared_resources=\"false\"/>");
}

TEST(BagXMLFile, WriteFailures)
{
	EXPECT_EQ(WriteBagToFileInXML(*NewBag(), VString("x"), nullptr, false), VE_OK);
	testing::TempFolder folder;
	std::ofstream(folder / "plain") << "x";
	const std::string path = folder / "plain/x.xml";
	VFile file(VString(path.c_str()), FPS_POSIX);
	testing::RaisedErrors errors;
	EXPECT_NE(WriteBagToFileInXML(*NewBag(), VString("x"), &file, false), VE_OK);
	EXPECT_FALSE(file.Exists());
}

TEST(BagXMLFile, RoundTrips)
{
	testing::TempFolder folder;
	for (bool indent : {false, true}) {
		SCOPED_TRACE(indent ? "indented" : "flat");
		const std::string path = folder / (indent ? "indented.xml" : "flat.xml");
		VFile file(VString(path.c_str()), FPS_POSIX);
		ASSERT_EQ(WriteBagToFileInXML(*AwkwardBag(), VString("root"), &file, indent), VE_OK);
		Bag read = NewBag();
		ASSERT_EQ(LoadBagFromXML(&file, VString("root"), *read), VE_OK);
		ExpectAwkwardBag(*read);
	}
}

TEST(BagXMLText, Loading)
{
	struct Row {
		const char* fName;
		const char* fXML;
		const char* fElementName;
		VError fError;
		const char* fA; // the root's attribute a, or null when absent
	};
	const Row rows[] = {
		{"expected root", "<bag a='1'/>", "bag", VE_OK, "1"},
		{"other root: nothing read", "<other a='1'><bag a='2'/></other>", "bag", VE_OK, nullptr},
		{"any root", "<other a='1'/>", "", VE_OK, "1"},
		{"not well formed", "<bag a='1'>", "bag", VE_XML_FATAL_ERROR, "1"},
		{"entity refused", "<!DOCTYPE bag [<!ENTITY x SYSTEM '/etc/hostname'>]><bag a='&x;'/>", "bag",
		 VE_XML_FATAL_ERROR, nullptr},
	};
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fName);
		Bag bag = NewBag();
		testing::RaisedErrors errors;
		EXPECT_EQ(LoadBagFromXML(VString(row.fXML), VString(row.fElementName), *bag), row.fError);
		VString a;
		EXPECT_EQ(bag->GetString("a", a), row.fA != nullptr);
		if (row.fA != nullptr) {
			EXPECT_EQ(to_string(a), row.fA);
		}
		EXPECT_EQ(bag->GetElementNamesCount(), 0);
	}
}

TEST(BagXMLText, ValuesAreStringsAndBagIsAddedTo)
{
	Bag bag = NewBag();
	bag->SetString("kept", VString("yes"));
	bag->SetString("a", VString("old"));
	bag->AddElement("c", NewBag().Get());
	ASSERT_EQ(LoadBagFromXML(VString("<r a='12'><c x='1'/>text</r>"), VString("r"), *bag), VE_OK);
	VLong number;
	EXPECT_TRUE(bag->GetAttribute("a", number));
	EXPECT_EQ(number.GetLong(), 12);
	EXPECT_EQ(Attribute(*bag, "a"), "12");
	EXPECT_EQ(Attribute(*bag, "kept"), "yes");
	ASSERT_NE(bag->GetElements("c"), nullptr);
	EXPECT_EQ(bag->GetElements("c")->GetCount(), 2);
	EXPECT_EQ(Attribute(*bag->GetElements("c")->GetNth(2), "x"), "1");
	EXPECT_EQ(CData(*bag), "text");
}

// A name with nothing after its colon has no local part: it keeps its whole
// name, so that the bag's XML form reads back (an empty name would not).
TEST(BagXMLText, NamesWithoutALocalPartKeepTheirWholeName)
{
	// A local part that is empty, that is no name on its own ("0" would be
	// written as "<0/>", which no reader takes) or that holds a colon ("b"
	// would be all that is left of "a::b" when read back) leaves the whole
	// name; both attributes and elements, and the written form reads back.
	for (const char* name : {":", "a:", ":0", "a:1", "a::b", ":a:b", "it::::em"}) {
		const std::string xml = std::string("<root><") + name + " " + name + "='1'/></root>";
		Bag bag = NewBag();
		ASSERT_EQ(LoadBagFromXML(VString(xml.c_str()), VString("root"), *bag), VE_OK) << name;
		ASSERT_NE(bag->GetElements(name), nullptr) << name;
		EXPECT_EQ(Attribute(*bag->GetElements(name)->GetNth(1), name), "1") << name;
		VString written;
		bag->DumpXML(written, VString("root"), false);
		Bag again = NewBag();
		ASSERT_EQ(LoadBagFromXML(written, VString("root"), *again), VE_OK) << name;
		ASSERT_NE(again->GetElements(name), nullptr) << name;
		EXPECT_EQ(Attribute(*again->GetElements(name)->GetNth(1), name), "1") << name;
	}
	// An element whose local part is a name is known by it.
	Bag bag = NewBag();
	ASSERT_EQ(LoadBagFromXML(VString("<root><a:b/></root>"), VString("root"), *bag), VE_OK);
	EXPECT_NE(bag->GetElements("b"), nullptr);
}

// Nested elements as deep as the JSON readers allow load; one more raises
// the stack error, and the load stops adding.
TEST(BagXMLText, NestingIsBounded)
{
	for (size_t depth : {size_t(kJSONMaxDepth), size_t(kJSONMaxDepth) + 1}) {
		std::string xml;
		for (size_t i = 0; i < depth; ++i)
			xml += "<e>";
		xml += "<!---->";
		for (size_t i = 0; i < depth; ++i)
			xml += "</e>";
		xml += "";
		Bag bag = NewBag();
		testing::RaisedErrors errors;
		const VError error = LoadBagFromXML(VString(xml.c_str()), VString("e"), *bag);
		EXPECT_EQ(error, depth > kJSONMaxDepth ? VE_STACK_OVERFLOW : VE_OK) << depth;
		size_t levels = 1;
		for (VValueBag* b = bag.Get(); b->GetElements("e") != nullptr; b = b->GetElements("e")->GetNth(1))
			++levels;
		EXPECT_EQ(levels, std::min(depth, size_t(kJSONMaxDepth)));
	}
}

std::vector<uint8> StreamBytesOf(const VValueBag& inBag, bool inSwap)
{
	return testing::Written(inSwap, [&](VStream& ioStream) {
		EXPECT_EQ(WriteBagToStreamInXML(inBag, &ioStream), VE_OK);
	});
}

VError ReadStreamBytes(const std::vector<uint8>& inBytes, bool inSwap, VValueBag& ioBag)
{
	VConstPtrStream stream(inBytes.data(), inBytes.size());
	stream.SetNeedSwap(inSwap);
	EXPECT_EQ(stream.OpenReading(), VE_OK);
	return ReadBagFromStreamInXML(ioBag, &stream);
}

TEST(BagXMLStream, RoundTripsInBothByteOrders)
{
	for (bool swap : {false, true}) {
		SCOPED_TRACE(swap);
		Bag read = NewBag();
		ASSERT_EQ(ReadStreamBytes(StreamBytesOf(*AwkwardBag(), swap), swap, *read), VE_OK);
		ExpectAwkwardBag(*read);
	}
}

TEST(BagXMLStream, ReadingAnswersItsOwnErrors)
{
	const std::vector<uint8> bytes = StreamBytesOf(*AwkwardBag(), false);
	// Another first number: nothing read, no error.
	std::vector<uint8> other = bytes;
	other[0] = 2;
	Bag bag = NewBag();
	EXPECT_EQ(ReadStreamBytes(other, false, *bag), VE_OK);
	EXPECT_EQ(bag->GetAttributesCount(), 0);

	// An error raised before the read is not the read's answer.
	testing::RaisedErrors errors;
	_ThrowError(VE_MEMORY_FULL);
	EXPECT_EQ(ReadStreamBytes(bytes, false, *bag), VE_OK);
	EXPECT_EQ(Attribute(*bag, "n"), "12");

	// Every cut of the stream answers an error or reads a whole bag.
	for (size_t size = 0; size < bytes.size(); size += 7) {
		SCOPED_TRACE(size);
		Bag cut = NewBag();
		const std::vector<uint8> prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
		EXPECT_NE(ReadStreamBytes(prefix, false, *cut), VE_OK);
	}
}

TEST(BagXMLDom, RoundTripsThroughADocument)
{
	ASSERT_TRUE(VXMLParser::Init());
	{
		const std::string xml = "<root/>";
		VXMLDOMNode_opaque* document = IXMLDomWrapper::CreateNodeDocumentFromBuffer(xml.data(), xml.size(), nullptr);
		ASSERT_NE(document, nullptr);
		VXMLDOMNode_opaque* root = IXMLDomWrapper::GetNodeFromNodeElement(IXMLDomWrapper::GetRootNodeElement(document));

		Bag bag = AwkwardBag();
		bag->AppendToCData(VString("\n"));
		std::vector<VXMLDOMNode_opaque*> created;
		ASSERT_EQ(WriteBagToDomXML(*bag, root, &created), VE_OK);
		EXPECT_EQ(created.size(), 3u);

		// Through the text form and back: the DOM holds what was written.
		VBlobWithPtr blob;
		size_t size = 0;
		ASSERT_TRUE(IXMLDomWrapper::SerializeToBlob(document, &blob, 0, size, false));
		std::vector<char> bytes(size);
		ASSERT_EQ(blob.GetData(bytes.data(), size, 0), VE_OK);
		VXMLDOMNode_opaque* reparsed = IXMLDomWrapper::CreateNodeDocumentFromBuffer(bytes.data(), size, nullptr);
		ASSERT_NE(reparsed, nullptr);

		for (VXMLDOMNode_opaque* doc : {document, reparsed}) {
			Bag read = NewBag();
			VXMLDOMNode_opaque* element =
				IXMLDomWrapper::GetNodeFromNodeElement(IXMLDomWrapper::GetRootNodeElement(doc));
			ASSERT_EQ(ReadBagFromDomXML(element, *read), VE_OK);
			EXPECT_EQ(Attribute(*read, "text"), kAwkwardRead);
			ASSERT_NE(read->GetElements("item"), nullptr);
			EXPECT_EQ(read->GetElements("item")->GetCount(), 2);
			ASSERT_NE(read->GetElements("leaf"), nullptr);
		}
		// The document written holds the leaf's text exactly (its text form
		// turns a carriage return of text into a line feed).
		Bag read = NewBag();
		ASSERT_EQ(ReadBagFromDomXML(root, *read), VE_OK);
		ExpectAwkwardBag(*read, kAwkwardRead);

		testing::RaisedErrors errors;
		EXPECT_EQ(ReadBagFromDomXML(document, *read), VE_XML_PARSE_ERROR);
		EXPECT_EQ(WriteBagToDomXML(*bag, document, nullptr), VE_BAG_DOM_NOT_AN_ELEMENT);
		IXMLDomWrapper::ReleaseNode(reparsed);
		IXMLDomWrapper::ReleaseNode(document);
	}
	VXMLParser::DeInit();
}

} // namespace
} // namespace qirn
