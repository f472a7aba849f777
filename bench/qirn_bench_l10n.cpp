// Localization: a 5,000-unit XLIFF file loaded into a localization manager
// against the same file through Xerces' SAX parser with a handler that does
// nothing (the parse alone, which the manager's load is built on); and one
// million lookups among the same 5,000 keys against glibc's dgettext over a
// .mo catalogue of the same pairs, made with msgfmt.
#include "bags_xml/VLocalizationManager.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/VFile.h"

#include <benchmark/benchmark.h>
#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/util/PlatformUtils.hpp>

#include <libintl.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

using namespace qirn;

constexpr int kUnits = 5'000;
constexpr int kLookups = 1'000'000;
constexpr const char* kDomain = "qirnbench";

std::string Key(int inIndex)
{
	return "menu.item." + std::to_string(inIndex) + ".title";
}

std::string Value(int inIndex)
{
	return "Élément de menu numéro " + std::to_string(inIndex);
}

// The files of the run, in a temporary folder removed at exit.
class Fixture {
public:
	Fixture()
	{
		char pattern[] = "/tmp/qirn-bench-l10n-XXXXXX";
		if (::mkdtemp(pattern) == nullptr)
			return;
		fFolder = pattern;
		_WriteXLIFF();
		fCatalogueMade = _MakeCatalogue();
	}
	~Fixture()
	{
		std::error_code ignored;
		if (!fFolder.empty())
			std::filesystem::remove_all(fFolder, ignored);
	}
	Fixture(const Fixture&) = delete;
	Fixture& operator=(const Fixture&) = delete;

	std::string XLIFFPath() const { return fFolder + "/Localizable.xlf"; }
	bool CatalogueMade() const { return fCatalogueMade; }
	const std::string& Folder() const { return fFolder; }

private:
	void _WriteXLIFF() const
	{
		std::ofstream out(XLIFFPath());
		out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
			   "<xliff version=\"1.2\" xmlns=\"urn:oasis:names:tc:xliff:document:1.2\">\n"
			   "<file original=\"Localizable\" source-language=\"en\" target-language=\"fr\" "
			   "datatype=\"plaintext\">\n<header/>\n<body>\n";
		for (int i = 0; i < kUnits; ++i)
			out << "<trans-unit id=\"" << i + 1 << "\" resname=\"" << Key(i) << "\">\n<source>Menu item number " << i
				<< "</source>\n<target>" << Value(i) << "</target>\n</trans-unit>\n";
		out << "</body>\n</file>\n</xliff>\n";
	}
	bool _MakeCatalogue() const
	{
		const std::string po = fFolder + "/bench.po";
		{
			std::ofstream out(po);
			out << "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";
			for (int i = 0; i < kUnits; ++i)
				out << "msgid \"" << Key(i) << "\"\nmsgstr \"" << Value(i) << "\"\n\n";
		}
		const std::string folder = fFolder + "/locale/fr/LC_MESSAGES";
		std::filesystem::create_directories(folder);
		const std::string command = "msgfmt -o '" + folder + "/" + kDomain + ".mo' '" + po + "'";
		return std::system(command.c_str()) == 0;
	}

	std::string fFolder;
	bool fCatalogueMade = false;
};

Fixture& TheFixture()
{
	static Fixture sFixture;
	return sFixture;
}

// The lookup order: every key, in an order that jumps across the table.
std::vector<int> LookupOrder()
{
	std::vector<int> order(kLookups);
	uint32_t state = 12345;
	for (int& index : order) {
		state = state * 1664525u + 1013904223u;
		index = static_cast<int>((state >> 8) % kUnits);
	}
	return order;
}

VRefPtr<VLocalizationManager> LoadedManager()
{
	VRefPtr<VLocalizationManager> manager = VRefPtr<VLocalizationManager>::Adopt(new VLocalizationManager(1036));
	VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(VString(TheFixture().XLIFFPath().c_str()), FPS_POSIX));
	manager->LoadFile(file.Get(), false);
	return manager;
}

void BM_XLIFFLoad_Ours(benchmark::State& state)
{
	VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(VString(TheFixture().XLIFFPath().c_str()), FPS_POSIX));
	for (auto _ : state) {
		VRefPtr<VLocalizationManager> manager =
			VRefPtr<VLocalizationManager>::Adopt(new VLocalizationManager(1036));
		manager->LoadFile(file.Get(), false);
		benchmark::DoNotOptimize(manager.Get());
	}
	VString text;
	if (!LoadedManager()->LocalizeStringWithKey(VString(Key(kUnits - 1).c_str()), text))
		state.SkipWithError("the file gave no strings");
}
BENCHMARK(BM_XLIFFLoad_Ours)->Unit(benchmark::kMillisecond);

void BM_XLIFFLoad_Peer(benchmark::State& state)
{
	xercesc::XMLPlatformUtils::Initialize();
	{
		xercesc::HandlerBase handler;
		for (auto _ : state) {
			xercesc::SAXParser parser;
			parser.setValidationScheme(xercesc::SAXParser::Val_Never);
			parser.setDoNamespaces(false);
			parser.setDocumentHandler(&handler);
			parser.setErrorHandler(&handler);
			parser.parse(TheFixture().XLIFFPath().c_str());
			benchmark::DoNotOptimize(&parser);
		}
	}
	xercesc::XMLPlatformUtils::Terminate();
}
BENCHMARK(BM_XLIFFLoad_Peer)->Unit(benchmark::kMillisecond);

void BM_Lookup_Ours(benchmark::State& state)
{
	VRefPtr<VLocalizationManager> manager = LoadedManager();
	std::vector<VString> keys;
	for (int i = 0; i < kUnits; ++i)
		keys.emplace_back(Key(i).c_str());
	const std::vector<int> order = LookupOrder();
	int found = 0;
	for (auto _ : state) {
		found = 0;
		VString text;
		for (int index : order)
			found += manager->LocalizeStringWithKey(keys[index], text) ? 1 : 0;
		benchmark::DoNotOptimize(text);
	}
	if (found != kLookups)
		state.SkipWithError("a key was not found");
}
BENCHMARK(BM_Lookup_Ours)->Unit(benchmark::kMillisecond);

void BM_Lookup_Peer(benchmark::State& state)
{
	if (!TheFixture().CatalogueMade()) {
		state.SkipWithError("msgfmt could not make the catalogue");
		return;
	}
	// gettext translates only under a locale other than C; the catalogue's
	// language comes from LANGUAGE.
	const char* previous = std::setlocale(LC_MESSAGES, nullptr);
	const std::string saved = previous != nullptr ? previous : "C";
	if (std::setlocale(LC_MESSAGES, "fr_FR.UTF-8") == nullptr && std::setlocale(LC_MESSAGES, "de_DE.UTF-8") == nullptr &&
		std::setlocale(LC_MESSAGES, "C.UTF-8") == nullptr) {
		state.SkipWithError("no locale for gettext");
		return;
	}
	::setenv("LANGUAGE", "fr", 1);
	::bindtextdomain(kDomain, (TheFixture().Folder() + "/locale").c_str());
	::bind_textdomain_codeset(kDomain, "UTF-8");
	std::vector<std::string> keys;
	for (int i = 0; i < kUnits; ++i)
		keys.push_back(Key(i));
	const std::vector<int> order = LookupOrder();
	int found = 0;
	for (auto _ : state) {
		found = 0;
		for (int index : order) {
			const char* key = keys[index].c_str();
			const char* text = ::dgettext(kDomain, key);
			found += text != key ? 1 : 0;
			benchmark::DoNotOptimize(text);
		}
	}
	std::setlocale(LC_MESSAGES, saved.c_str());
	if (found != kLookups)
		state.SkipWithError("dgettext did not translate every key");
}
BENCHMARK(BM_Lookup_Peer)->Unit(benchmark::kMillisecond);

} // namespace
