// JSON text read and written against RapidJSON (with full-precision number
// reading: its default misreads some doubles), nlohmann-json and simdjson
// (reading only). The document, about 50 MB, is generated here: records of
// strings, numbers, Booleans, nested objects and arrays. Reading goes from
// UTF-8 bytes to a tree (ours decodes into a VString first); writing from
// the tree back to UTF-8 bytes.
#include "core/CharSet.h"
#include "core/StStringConverter.h"
#include "json/VJSONImporter.h"
#include "json/VJSONValue.h"
#include "json/VJSONWriter.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <rapidjson/document.h>
#include <rapidjson/stringbuffer.h>
#include <rapidjson/writer.h>
#include <simdjson.h>

#include <cstdint>
#include <cstdio>
#include <string>

namespace {

// A small deterministic generator, so that every run reads the same text.
class Random {
public:
	uint64_t Next()
	{
		fState ^= fState << 13;
		fState ^= fState >> 7;
		fState ^= fState << 17;
		return fState;
	}
	int Below(int inLimit) { return static_cast<int>(Next() % static_cast<uint64_t>(inLimit)); }
	double Real() { return static_cast<double>(Next() >> 11) / 9007199254740992.0; }

private:
	uint64_t fState = 0x9E3779B97F4A7C15ull;
};

const char* const kWords[] = {"alpha", "bravo", "charlie", "delta", "echo", "foxtrot", "golf", "hotel",
							  "india", "juliett", "kilo", "lima", "mike", "november", "oscar", "papa",
							  "québec", "roméo", "sierra", "tango", "uniform", "victor", "whiskey", "x-ray"};
constexpr int kWordCount = sizeof(kWords) / sizeof(kWords[0]);

void AppendText(std::string& ioText, Random& ioRandom, int inWords)
{
	ioText += '"';
	for (int i = 0; i < inWords; ++i) {
		if (i > 0)
			ioText += ' ';
		ioText += kWords[ioRandom.Below(kWordCount)];
	}
	// Now and then a character that needs an escape.
	if (ioRandom.Below(10) == 0)
		ioText += "\\n\\\"quoted\\\"";
	ioText += '"';
}

void AppendNumber(std::string& ioText, double inValue)
{
	char buffer[40];
	std::snprintf(buffer, sizeof(buffer), "%.17g", inValue);
	ioText += buffer;
}

std::string MakeDocument()
{
	Random random;
	std::string text;
	text.reserve(52 * 1024 * 1024);
	text += "{\"generated\":\"bench\",\"records\":[";
	for (int record = 0; text.size() < 50u * 1024 * 1024; ++record) {
		if (record > 0)
			text += ',';
		text += "{\"id\":" + std::to_string(record) + ",\"name\":";
		AppendText(text, random, 2);
		text += ",\"active\":";
		text += random.Below(2) != 0 ? "true" : "false";
		text += ",\"score\":";
		AppendNumber(text, random.Real() * 1000.0);
		text += ",\"ratio\":";
		AppendNumber(text, random.Real());
		text += ",\"count\":" + std::to_string(random.Below(100000));
		text += ",\"note\":";
		if (random.Below(4) == 0)
			text += "null";
		else
			AppendText(text, random, 6 + random.Below(10));
		text += ",\"address\":{\"street\":";
		AppendText(text, random, 3);
		text += ",\"city\":";
		AppendText(text, random, 1);
		text += ",\"zip\":\"" + std::to_string(10000 + random.Below(89999)) + "\",\"location\":[";
		AppendNumber(text, random.Real() * 180.0 - 90.0);
		text += ',';
		AppendNumber(text, random.Real() * 360.0 - 180.0);
		text += "]},\"tags\":[";
		for (int tag = 0, tags = 1 + random.Below(5); tag < tags; ++tag) {
			if (tag > 0)
				text += ',';
			AppendText(text, random, 1);
		}
		text += "],\"history\":[";
		for (int entry = 0, entries = random.Below(6); entry < entries; ++entry) {
			if (entry > 0)
				text += ',';
			text += "{\"day\":\"2024-" + std::to_string(1 + random.Below(12)) + "-" + std::to_string(1 + random.Below(28)) +
					"\",\"amount\":";
			AppendNumber(text, random.Real() * 10000.0);
			text += ",\"items\":[" + std::to_string(random.Below(1000)) + "," + std::to_string(random.Below(1000)) +
					"]}";
		}
		text += "]}";
	}
	text += "]}";
	return text;
}

const std::string& Document()
{
	static const std::string sDocument = MakeDocument();
	return sDocument;
}

void SetBytes(benchmark::State& state)
{
	state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(Document().size()));
}

// Reading.

void BM_JSONTextParse_Ours(benchmark::State& state)
{
	const std::string& document = Document();
	for (auto _ : state) {
		qirn::VString text;
		text.FromBlock(document.data(), document.size(), qirn::VTC_UTF_8);
		qirn::VJSONValue value;
		qirn::VError error = qirn::VJSONImporter::ParseString(text, value, qirn::VJSONImporter::kOption_Strict);
		if (error != qirn::VE_OK)
			state.SkipWithError("the document did not parse");
		benchmark::DoNotOptimize(value);
	}
	SetBytes(state);
}
BENCHMARK(BM_JSONTextParse_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_JSONTextParse_PeerRapidJSON(benchmark::State& state)
{
	const std::string& document = Document();
	for (auto _ : state) {
		rapidjson::Document tree;
		tree.Parse<rapidjson::kParseFullPrecisionFlag>(document.data(), document.size());
		if (tree.HasParseError())
			state.SkipWithError("the document did not parse");
		benchmark::DoNotOptimize(tree);
	}
	SetBytes(state);
}
BENCHMARK(BM_JSONTextParse_PeerRapidJSON)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_JSONTextParse_PeerNlohmann(benchmark::State& state)
{
	const std::string& document = Document();
	for (auto _ : state) {
		nlohmann::json tree = nlohmann::json::parse(document);
		benchmark::DoNotOptimize(tree);
	}
	SetBytes(state);
}
BENCHMARK(BM_JSONTextParse_PeerNlohmann)->Unit(benchmark::kMillisecond)->UseRealTime();

// simdjson reads from its own padded copy of the bytes, made once.
void BM_JSONTextParse_PeerSimdjson(benchmark::State& state)
{
	simdjson::padded_string padded(Document());
	simdjson::dom::parser parser;
	for (auto _ : state) {
		simdjson::dom::element tree;
		if (parser.parse(padded).get(tree) != simdjson::SUCCESS)
			state.SkipWithError("the document did not parse");
		benchmark::DoNotOptimize(tree);
	}
	SetBytes(state);
}
BENCHMARK(BM_JSONTextParse_PeerSimdjson)->Unit(benchmark::kMillisecond)->UseRealTime();

// Writing, from trees read once.

const qirn::VJSONValue& OurTree()
{
	static const qirn::VJSONValue sTree = [] {
		qirn::VString text;
		text.FromBlock(Document().data(), Document().size(), qirn::VTC_UTF_8);
		qirn::VJSONValue value;
		qirn::VJSONImporter::ParseString(text, value, qirn::VJSONImporter::kOption_Strict);
		return value;
	}();
	return sTree;
}

void BM_JSONTextWrite_Ours(benchmark::State& state)
{
	const qirn::VJSONValue& tree = OurTree();
	for (auto _ : state) {
		qirn::VString text;
		if (tree.Stringify(text, qirn::VJSONWriter::kOption_Quotes) != qirn::VE_OK)
			state.SkipWithError("the tree was not written");
		qirn::StStringConverter<char> bytes(text, qirn::VTC_UTF_8);
		benchmark::DoNotOptimize(bytes.GetCPointer());
	}
	SetBytes(state);
}
BENCHMARK(BM_JSONTextWrite_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_JSONTextWrite_PeerRapidJSON(benchmark::State& state)
{
	rapidjson::Document tree;
	tree.Parse<rapidjson::kParseFullPrecisionFlag>(Document().data(), Document().size());
	for (auto _ : state) {
		rapidjson::StringBuffer buffer;
		rapidjson::Writer<rapidjson::StringBuffer> writer(buffer);
		tree.Accept(writer);
		benchmark::DoNotOptimize(buffer.GetString());
	}
	SetBytes(state);
}
BENCHMARK(BM_JSONTextWrite_PeerRapidJSON)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_JSONTextWrite_PeerNlohmann(benchmark::State& state)
{
	nlohmann::json tree = nlohmann::json::parse(Document());
	for (auto _ : state) {
		std::string text = tree.dump();
		benchmark::DoNotOptimize(text);
	}
	SetBytes(state);
}
BENCHMARK(BM_JSONTextWrite_PeerNlohmann)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
