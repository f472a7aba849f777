// A generated bag of 20,000 items (four attributes and a child with text
// each) in its outside forms: the 'VBAG' stream against nlohmann-json's
// CBOR of the same data, XML writing against pugixml, and XML parsing (into
// handlers that count elements) against pugixml's loader and libxml2's SAX
// parser, all on the same document.
#include "bags_xml/IXMLHandler.h"
#include "bags_xml/VValueBag.h"
#include "bags_xml/VXMLParser.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <nlohmann/json.hpp>
#include <pugixml.hpp>

#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace qirn;

constexpr int kItems = 20'000;

std::string Name(int inIndex)
{
	return "item name " + std::to_string(inIndex) + " & <more>";
}

VRefPtr<VValueBag> MakeBag()
{
	VRefPtr<VValueBag> root = VRefPtr<VValueBag>::Adopt(new VValueBag);
	for (int i = 0; i < kItems; ++i) {
		VRefPtr<VValueBag> item = VRefPtr<VValueBag>::Adopt(new VValueBag);
		item->SetLong("id", i);
		item->SetString("name", VString(Name(i).c_str()));
		item->SetReal("value", i * 0.25);
		item->SetBool("flag", i % 2 == 0);
		VRefPtr<VValueBag> child = VRefPtr<VValueBag>::Adopt(new VValueBag);
		child->AppendToCData(VString("some text of the item"));
		item->AddElement("child", child.Get());
		root->AddElement("item", item.Get());
	}
	return root;
}

nlohmann::json MakeJSON()
{
	nlohmann::json items = nlohmann::json::array();
	for (int i = 0; i < kItems; ++i) {
		items.push_back({{"id", i},
						 {"name", Name(i)},
						 {"value", i * 0.25},
						 {"flag", i % 2 == 0},
						 {"child", nlohmann::json::array({{{"__CDATA", "some text of the item"}}})}});
	}
	return {{"item", items}};
}

void MakePugi(pugi::xml_document& outDocument)
{
	pugi::xml_node root = outDocument.append_child("root");
	for (int i = 0; i < kItems; ++i) {
		pugi::xml_node item = root.append_child("item");
		item.append_attribute("id") = i;
		item.append_attribute("name") = Name(i).c_str();
		item.append_attribute("value") = i * 0.25;
		item.append_attribute("flag") = i % 2 == 0;
		item.append_child("child").append_child(pugi::node_pcdata).set_value("some text of the item");
	}
}

std::string XMLText()
{
	pugi::xml_document document;
	MakePugi(document);
	std::ostringstream out;
	document.save(out, "\t");
	return out.str();
}

void BM_BagStreamWrite_Ours(benchmark::State& state)
{
	VRefPtr<VValueBag> bag = MakeBag();
	for (auto _ : state) {
		VPtrStream stream;
		stream.OpenWriting();
		bag->WriteToStream(&stream);
		stream.CloseWriting();
		benchmark::DoNotOptimize(stream.GetUnderlyingData().fSize);
	}
}
BENCHMARK(BM_BagStreamWrite_Ours)->Unit(benchmark::kMillisecond);

void BM_BagStreamWrite_PeerCBOR(benchmark::State& state)
{
	nlohmann::json json = MakeJSON();
	for (auto _ : state) {
		std::vector<uint8_t> bytes = nlohmann::json::to_cbor(json);
		benchmark::DoNotOptimize(bytes.data());
	}
}
BENCHMARK(BM_BagStreamWrite_PeerCBOR)->Unit(benchmark::kMillisecond);

void BM_BagStreamRead_Ours(benchmark::State& state)
{
	VPtrStream written;
	written.OpenWriting();
	MakeBag()->WriteToStream(&written);
	written.CloseWriting();
	VStreamUnderlyingData data = written.GetUnderlyingData();
	for (auto _ : state) {
		VConstPtrStream stream(data.fData, data.fSize);
		stream.OpenReading();
		VValueBag* bag = new VValueBag;
		benchmark::DoNotOptimize(bag->ReadFromStream(&stream));
		bag->Release();
	}
}
BENCHMARK(BM_BagStreamRead_Ours)->Unit(benchmark::kMillisecond);

void BM_BagStreamRead_PeerCBOR(benchmark::State& state)
{
	std::vector<uint8_t> bytes = nlohmann::json::to_cbor(MakeJSON());
	for (auto _ : state) {
		nlohmann::json json = nlohmann::json::from_cbor(bytes);
		benchmark::DoNotOptimize(json.size());
	}
}
BENCHMARK(BM_BagStreamRead_PeerCBOR)->Unit(benchmark::kMillisecond);

void BM_BagXMLWrite_Ours(benchmark::State& state)
{
	VRefPtr<VValueBag> bag = MakeBag();
	for (auto _ : state) {
		VString text;
		bag->DumpXML(text, VString("root"), true);
		benchmark::DoNotOptimize(text.GetLength());
	}
}
BENCHMARK(BM_BagXMLWrite_Ours)->Unit(benchmark::kMillisecond);

void BM_BagXMLWrite_PeerPugixml(benchmark::State& state)
{
	pugi::xml_document document;
	MakePugi(document);
	for (auto _ : state) {
		std::ostringstream out;
		document.save(out, "\t");
		benchmark::DoNotOptimize(out.tellp());
	}
}
BENCHMARK(BM_BagXMLWrite_PeerPugixml)->Unit(benchmark::kMillisecond);

class CountingHandler : public VObject, public IXMLHandler {
public:
	IXMLHandler* StartElement(const VString&) override
	{
		++fCount;
		Retain();
		return this;
	}
	size_t fCount = 0;
};

void BM_XMLParse_Ours(benchmark::State& state)
{
	std::string text = XMLText();
	VXMLParser parser;
	for (auto _ : state) {
		CountingHandler* handler = new CountingHandler;
		parser.Parse(text.data(), text.size(), handler, 0);
		benchmark::DoNotOptimize(handler->fCount);
		handler->Release();
	}
}
BENCHMARK(BM_XMLParse_Ours)->Unit(benchmark::kMillisecond);

void BM_XMLParse_PeerPugixml(benchmark::State& state)
{
	std::string text = XMLText();
	for (auto _ : state) {
		pugi::xml_document document;
		benchmark::DoNotOptimize(document.load_buffer(text.data(), text.size()));
	}
}
BENCHMARK(BM_XMLParse_PeerPugixml)->Unit(benchmark::kMillisecond);

void BM_XMLParse_PeerLibxml2(benchmark::State& state)
{
	std::string text = XMLText();
	xmlSAXHandler sax{};
	sax.initialized = XML_SAX2_MAGIC;
	sax.startElementNs = [](void* inCount, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**,
							int, int, const xmlChar**) { ++*static_cast<size_t*>(inCount); };
	for (auto _ : state) {
		size_t count = 0;
		xmlSAXUserParseMemory(&sax, &count, text.data(), static_cast<int>(text.size()));
		benchmark::DoNotOptimize(count);
	}
}
BENCHMARK(BM_XMLParse_PeerLibxml2)->Unit(benchmark::kMillisecond);

} // namespace
