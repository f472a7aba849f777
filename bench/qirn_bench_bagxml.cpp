// A generated bag XML file of about 20 MB (items of four attributes and a
// child with text), loaded into a bag with LoadBagFromXML and written with
// WriteBagToFileInXML (DumpXML, then the file), against pugixml's
// load_file and save_file of the same document and libxml2's SAX parser
// reading the file (its callbacks only count elements).
#include "bags_xml/BagXMLReadWrite.h"
#include "bags_xml/VValueBag.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/VFile.h"

#include <benchmark/benchmark.h>
#include <libxml/parser.h>
#include <pugixml.hpp>

#include <cstdio>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

using namespace qirn;

constexpr int kItems = 140'000;

VRefPtr<VValueBag> MakeBag()
{
	VRefPtr<VValueBag> root = VRefPtr<VValueBag>::Adopt(new VValueBag);
	for (int i = 0; i < kItems; ++i) {
		VRefPtr<VValueBag> item = VRefPtr<VValueBag>::Adopt(new VValueBag);
		item->SetLong("id", i);
		item->SetString("name", VString(("item name " + std::to_string(i) + " & <more>").c_str()));
		item->SetReal("value", i * 0.25);
		item->SetBool("flag", i % 2 == 0);
		VRefPtr<VValueBag> child = VRefPtr<VValueBag>::Adopt(new VValueBag);
		child->AppendToCData(VString("some text of the item"));
		item->AddElement("child", child.Get());
		root->AddElement("item", item.Get());
	}
	return root;
}

// The generated file, written once by the bag writer, removed at exit.
class Fixture {
public:
	Fixture()
	{
		fFolder = std::filesystem::temp_directory_path() / ("qirn-bench-bagxml-" + std::to_string(::getpid()));
		std::filesystem::create_directories(fFolder);
		fPath = (fFolder / "bag.xml").string();
		fBag = MakeBag();
		VFile file(VString(fPath.c_str()), FPS_POSIX);
		WriteBagToFileInXML(*fBag, VString("root"), &file, true);
	}
	~Fixture()
	{
		std::error_code ignored;
		std::filesystem::remove_all(fFolder, ignored);
	}
	std::string Output(const char* inName) const { return (fFolder / inName).string(); }

	std::filesystem::path fFolder;
	std::string fPath;
	VRefPtr<VValueBag> fBag;
};

Fixture& Shared()
{
	static Fixture sFixture;
	return sFixture;
}

void BM_BagXMLFileLoad_Ours(benchmark::State& state)
{
	VFile file(VString(Shared().fPath.c_str()), FPS_POSIX);
	for (auto _ : state) {
		VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag);
		benchmark::DoNotOptimize(LoadBagFromXML(&file, VString("root"), *bag));
	}
	state.counters["MB"] = static_cast<double>(std::filesystem::file_size(Shared().fPath)) / 1e6;
}
BENCHMARK(BM_BagXMLFileLoad_Ours)->Unit(benchmark::kMillisecond);

void BM_BagXMLFileLoad_PeerPugixml(benchmark::State& state)
{
	const std::string& path = Shared().fPath;
	for (auto _ : state) {
		pugi::xml_document document;
		benchmark::DoNotOptimize(document.load_file(path.c_str()));
	}
}
BENCHMARK(BM_BagXMLFileLoad_PeerPugixml)->Unit(benchmark::kMillisecond);

void BM_BagXMLFileLoad_PeerLibxml2(benchmark::State& state)
{
	const std::string& path = Shared().fPath;
	xmlSAXHandler sax{};
	sax.initialized = XML_SAX2_MAGIC;
	sax.startElementNs = [](void* inCount, const xmlChar*, const xmlChar*, const xmlChar*, int, const xmlChar**,
							int, int, const xmlChar**) { ++*static_cast<size_t*>(inCount); };
	for (auto _ : state) {
		size_t count = 0;
		xmlSAXUserParseFile(&sax, &count, path.c_str());
		benchmark::DoNotOptimize(count);
	}
}
BENCHMARK(BM_BagXMLFileLoad_PeerLibxml2)->Unit(benchmark::kMillisecond);

void BM_BagXMLFileSave_Ours(benchmark::State& state)
{
	const std::string path = Shared().Output("ours.xml");
	VFile file(VString(path.c_str()), FPS_POSIX);
	for (auto _ : state)
		benchmark::DoNotOptimize(WriteBagToFileInXML(*Shared().fBag, VString("root"), &file, true));
}
BENCHMARK(BM_BagXMLFileSave_Ours)->Unit(benchmark::kMillisecond);

void BM_BagXMLFileSave_PeerPugixml(benchmark::State& state)
{
	pugi::xml_document document;
	document.load_file(Shared().fPath.c_str());
	const std::string path = Shared().Output("peer.xml");
	for (auto _ : state)
		benchmark::DoNotOptimize(document.save_file(path.c_str(), "\t"));
}
BENCHMARK(BM_BagXMLFileSave_PeerPugixml)->Unit(benchmark::kMillisecond);

} // namespace
