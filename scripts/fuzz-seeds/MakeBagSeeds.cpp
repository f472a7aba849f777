// Writes the seed corpora of the bag, XML, packed dictionary, array and blob
// harnesses with the kernel's own writers: run once, and the bytes it makes
// are committed under fuzz/<harness>/seeds/. Built as a harness is, with the
// object of this file in place of the harness's (see
// scripts/fuzz-seeds/make-bag-seeds.sh), and run from the repository's root.
#include "FuzzSupport.h"

#include "bags_xml/BagXMLReadWrite.h"
#include "bags_xml/VBagArray.h"
#include "bags_xml/VPackedDictionary_with_backstore.h"
#include "bags_xml/VValueBag.h"
#include "bags_xml/tests/OlderBagBody.h"
#include "core/VArrayBlob.h"
#include "core/VArrayBoolean.h"
#include "core/VArrayByte.h"
#include "core/VArrayDuration.h"
#include "core/VArrayImage.h"
#include "core/VArrayLong.h"
#include "core/VArrayLong8.h"
#include "core/VArrayReal.h"
#include "core/VArrayString.h"
#include "core/VArrayTime.h"
#include "core/VArrayWord.h"
#include "core/VBlob.h"
#include "core/VDuration.h"
#include "core/VLong.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "core/VTime.h"
#include "core/VUUID.h"
#include "files/VPtrStream.h"

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t*, size_t)
{
	return 0;
}

namespace {

using namespace qirn;
using Bag = VRefPtr<VValueBag>;
using Bytes = std::vector<uint8_t>;

Bag NewBag()
{
	return Bag::Adopt(new VValueBag);
}

// The mode byte the harness reads first, then what the writer made.
Bytes Written(uint8_t inMode, bool inBigEndian, const std::function<void(VStream&)>& inWrite)
{
	VPtrStream stream;
	stream.SetNeedSwap(inBigEndian);
	stream.OpenWriting();
	inWrite(stream);
	stream.CloseWriting();
	const VStreamUnderlyingData data = stream.GetUnderlyingData();
	Bytes bytes{inMode};
	const auto* begin = static_cast<const uint8_t*>(data.fData);
	bytes.insert(bytes.end(), begin, begin + data.fSize);
	return bytes;
}

void Save(const std::string& inHarness, const std::string& inName, const Bytes& inBytes)
{
	const std::string path = "fuzz/" + inHarness + "/seeds/" + inName;
	std::ofstream file(path, std::ios::binary);
	file.write(reinterpret_cast<const char*>(inBytes.data()), static_cast<std::streamsize>(inBytes.size()));
	if (!file)
		std::fprintf(stderr, "cannot write %s\n", path.c_str());
}

Bytes Text(uint8_t inMode, const std::string& inText)
{
	Bytes bytes{inMode};
	bytes.insert(bytes.end(), inText.begin(), inText.end());
	return bytes;
}

struct NamedBag {
	const char* fName;
	Bag fBag;
};

std::vector<NamedBag> SampleBags()
{
	std::vector<NamedBag> bags;
	bags.push_back({"empty", NewBag()});

	Bag kinds = NewBag();
	kinds->SetBool("b", true);
	kinds->SetWord("w", -3);
	kinds->SetLong("l", 42);
	kinds->SetLong8("l8", 1LL << 40);
	kinds->SetReal("r", 2.5);
	kinds->SetString("s", VString("t\u00e9xt & <more>"));
	kinds->SetVUUID("u", VUUID(true));
	kinds->SetTime("t", VTime(uLONG8(63'000'000'000'000ULL)));
	kinds->SetAttribute("d", VDuration(1500));
	kinds->AppendToCData(VString("character data\n\tover lines"));
	bags.push_back({"attribute-kinds", kinds});

	Bag nested = NewBag();
	nested->SetString("name", VString("outer"));
	for (int i = 0; i < 8; ++i) {
		Bag child = NewBag();
		child->SetLong("i", i);
		for (int j = 0; j < 8; ++j)
			child->SetLong(std::string("k" + std::to_string(j)).c_str(), j);
		child->RemoveAttribute("k3");
		nested->AddElement("item", child.Get());
	}
	Bag leaf = NewBag();
	leaf->AppendToCData(VString("]]> inside"));
	Bag middle = NewBag();
	middle->AddElement("leaf", leaf.Get());
	nested->AddElement("middle", middle.Get());
	bags.push_back({"nested-elements", nested});

	Bag one = NewBag();
	one->AddElement("c", NewBag().Get());
	bags.push_back({"one-empty-child", one});
	return bags;
}

void BagStreams(const std::vector<NamedBag>& inBags)
{
	for (const NamedBag& named : inBags) {
		for (bool big : {false, true}) {
			const std::string order = big ? "-big-endian" : "-little-endian";
			Save("bag_stream", std::string(named.fName) + order,
				 Written(big ? 1 : 0, big, [&](VStream& s) { named.fBag->WriteToStream(&s); }));
			Save("bag_stream", std::string(named.fName) + "-body" + order,
				 Written(big ? 3 : 2, big, [&](VStream& s) { named.fBag->WriteToStreamMinimal(&s, false); }));
			Save("bag_xml_stream", std::string(named.fName) + order,
				 Written(big ? 1 : 0, big, [&](VStream& s) { WriteBagToStreamInXML(*named.fBag, &s); }));
			Save("packed_dictionary", std::string(named.fName) + order,
				 Written(big ? 1 : 0, big, [&](VStream& s) { named.fBag->GetAttributes().WriteToStream(&s, false); }));
			Save("packed_dictionary", std::string(named.fName) + "-with-map" + order,
				 Written(big ? 3 : 2, big, [&](VStream& s) { named.fBag->GetAttributes().WriteToStream(&s, true); }));
		}
		for (bool indent : {false, true}) {
			VString xml;
			named.fBag->DumpXML(xml, VString("root"), indent);
			Save("bag_xml", std::string(named.fName) + (indent ? "-indented.xml" : ".xml"), Text(0, to_string(xml)));
		}
	}
	// The older body: attribute names, values with their kinds, element
	// names, then each element's bags.
	for (bool big : {false, true}) {
		Save("bag_stream", big ? "older-body-big-endian" : "older-body-little-endian",
			 Written(big ? 5 : 4, big, [](VStream& s) { qirn::testing::WriteOlderBagBody(s); }));
	}
}

void XMLTexts()
{
	const struct {
		const char* fName;
		uint8_t fMode;
		const char* fText;
	} texts[] = {
		{"declaration-and-cdata.xml", 0,
		 "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<root a=\"1\" b='two'>\n\t<child x=\"&lt;&amp;&gt;\"/>\n"
		 "\t<child x=\"y\"><![CDATA[raw <text>]]></child>\n\ttail text\n</root>"},
		{"internal-entity.xml", 0, "<!DOCTYPE bag [<!ENTITY e 'expanded'>]><bag a='&e;'>&e; and &#x263A;</bag>"},
		{"external-entity-refused.xml", 0, "<!DOCTYPE bag [<!ENTITY x SYSTEM '/etc/hostname'>]><bag a='&x;'/>"},
		{"other-root-skipped.xml", 8, "<other a='1'><root a='2'/></other>"},
		{"namespaces.xml", 2, "<r:root xmlns:r='urn:x' r:a='1'><r:c/><c xmlns='urn:y'/></r:root>"},
		{"defaulted-attribute.xml", 4,
		 "<!DOCTYPE root [<!ATTLIST root d CDATA 'default'>]><root a='1'/>"},
		{"comments-and-pi.xml", 1, "<root><!-- a comment --><?pi data?><c/>text</root>"},
		{"not-well-formed.xml", 0, "<root a='1'><c></root>"},
		{"whitespace-only-cdata.xml", 0, "<root>\n  \r\n\t</root>"},
		{"character-references.xml", 0, "<root a='&#9;&#10;&#13;&#x20;'>&#xD800;</root>"},
	};
	for (const auto& text : texts)
		Save("bag_xml", text.fName, Text(text.fMode, text.fText));
}

void Arrays()
{
	struct Kind {
		const char* fName;
		unsigned fIndex;
		std::function<VArrayValue*()> fMake;
	};
	const Kind kinds[] = {
		{"boolean", 0, [] { auto* a = new VArrayBoolean; for (uint8 b : {1, 0, 1, 1, 0, 0, 0, 0, 1}) a->AppendBoolean(b); return a; }},
		{"byte", 1, [] { auto* a = new VArrayByte; a->AppendByte(1); a->AppendByte(-2); return a; }},
		{"word", 2, [] { auto* a = new VArrayWord; a->AppendWord(1); a->AppendWord(-2); return a; }},
		{"long", 3, [] { auto* a = new VArrayLong; a->AppendLong(1); a->AppendLong(-2); return a; }},
		{"long8", 4, [] { auto* a = new VArrayLong8; a->AppendLong8(0x0102030405060708LL); return a; }},
		{"real", 5, [] { auto* a = new VArrayReal; a->AppendReal(2.5); a->AppendReal(-0.0); return a; }},
		{"duration", 6, [] { auto* a = new VArrayDuration; a->AppendDuration(VDuration(1500)); return a; }},
		{"time", 7, [] { auto* a = new VArrayTime; a->AppendTime(VTime(uLONG8(63'000'000'000'000ULL))); return a; }},
		{"string", 8, [] { auto* a = new VArrayString; a->AppendString(VString("one")); a->AppendString(VString("")); a->AppendString(VString("t\u00e9xt")); return a; }},
		{"blob", 9, [] { auto* a = new VArrayBlob(3); a->FromValue(VBlobWithPtr("ab", 2), 1); a->FromValue(VBlobWithPtr("", 0), 3); return a; }},
		{"image", 10, [] { auto* a = new VArrayImage; return a; }},
	};
	for (const Kind& kind : kinds) {
		for (bool big : {false, true}) {
			VArrayValue* array = kind.fMake();
			Save("array_stream", std::string(kind.fName) + (big ? "-big-endian" : "-little-endian"),
				 Written(static_cast<uint8_t>(kind.fIndex << 1 | (big ? 1 : 0)), big,
						 [&](VStream& s) { array->WriteToStream(&s); }));
			delete array;
		}
	}
}

void Blobs()
{
	std::string content;
	for (int i = 0; i < 40; ++i)
		content.push_back(static_cast<char>(i * 7));
	VBlobWithPtr blob(content.data(), content.size());
	VBlobWithPtr empty;
	for (bool big : {false, true}) {
		const std::string order = big ? "-big-endian" : "-little-endian";
		const uint8_t swap = big ? 1 : 0;
		Save("blob_stream", "bytes" + order, Written(swap, big, [&](VStream& s) { blob.WriteToStream(&s); }));
		Save("blob_stream", "empty" + order, Written(swap, big, [&](VStream& s) { empty.WriteToStream(&s); }));
		Save("blob_stream", "value-with-kind" + order,
			 Written(swap | 2, big, [&](VStream& s) { s.PutValue(blob, true); }));
		Save("blob_stream", "value-string" + order,
			 Written(swap | 2, big, [&](VStream& s) { s.PutValue(VString("not a blob"), true); }));
	}
}

} // namespace

int main()
{
	fuzz::StartKernel();
	BagStreams(SampleBags());
	XMLTexts();
	Arrays();
	Blobs();
	return 0;
}
