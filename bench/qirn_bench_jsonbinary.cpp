// The binary JSON form against nlohmann-json's CBOR (to_cbor, from_cbor) and
// against our own JSON text writer and importer: a document of about
// 1,000,000 values, 28,000 records of which each refers to one of 64 shared
// objects. The binary form writes each shared object once and then a
// reference; CBOR and text have no references, so they write it out at every
// use (and read back copies), as a document without references must.
#include "json/VJSONArray.h"
#include "json/VJSONBinaryImporter.h"
#include "json/VJSONBinaryWriter.h"
#include "json/VJSONImporter.h"
#include "json/VJSONObject.h"
#include "json/VJSONWriter.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>

#include <string>
#include <vector>

namespace {

using namespace qirn;

constexpr int kRecords = 28000;
constexpr int kShared = 64;
constexpr int kNumbers = 20;
constexpr int kTags = 5;

VString Str(const std::string& inText)
{
	return VString(inText.c_str());
}

// id, name, price, tags (5), flags (3), meta, values (20): with the record
// and its two arrays, about 36 values a record.
const VJSONValue& OurDocument()
{
	static const VJSONValue sDocument = [] {
		std::vector<VJSONValue> shared;
		for (int i = 0; i < kShared; ++i) {
			VJSONValue meta(JSON_object);
			meta.SetProperty(Str("kind"), VJSONValue(Str("kind" + std::to_string(i))));
			meta.SetProperty(Str("level"), VJSONValue(static_cast<double>(i)));
			shared.push_back(meta);
		}
		VJSONValue root(JSON_array);
		for (int r = 0; r < kRecords; ++r) {
			VJSONValue record(JSON_object);
			record.SetProperty(Str("id"), VJSONValue(static_cast<double>(r)));
			record.SetProperty(Str("name"), VJSONValue(Str("item " + std::to_string(r))));
			record.SetProperty(Str("price"), VJSONValue(r * 1.5));
			VJSONValue tags(JSON_array);
			for (int t = 0; t < kTags; ++t)
				tags.GetArray()->Push(VJSONValue(Str("tag" + std::to_string((r + t) % 50))));
			record.SetProperty(Str("tags"), tags);
			VJSONValue flags(JSON_array);
			flags.GetArray()->Push(VJSONValue(JSON_true));
			flags.GetArray()->Push(VJSONValue(JSON_false));
			flags.GetArray()->Push(VJSONValue(JSON_null));
			record.SetProperty(Str("flags"), flags);
			record.SetProperty(Str("meta"), shared[static_cast<size_t>(r % kShared)]);
			VJSONValue values(JSON_array);
			for (int n = 0; n < kNumbers; ++n)
				values.GetArray()->Push(VJSONValue(r * 0.25 + n));
			record.SetProperty(Str("values"), values);
			root.GetArray()->Push(record);
		}
		return root;
	}();
	return sDocument;
}

const nlohmann::json& PeerDocument()
{
	static const nlohmann::json sDocument = [] {
		nlohmann::json root = nlohmann::json::array();
		for (int r = 0; r < kRecords; ++r) {
			nlohmann::json record = nlohmann::json::object();
			record["id"] = static_cast<double>(r);
			record["name"] = "item " + std::to_string(r);
			record["price"] = r * 1.5;
			nlohmann::json tags = nlohmann::json::array();
			for (int t = 0; t < kTags; ++t)
				tags.push_back("tag" + std::to_string((r + t) % 50));
			record["tags"] = tags;
			record["flags"] = nlohmann::json::array({true, false, nullptr});
			record["meta"] = {{"kind", "kind" + std::to_string(r % kShared)},
							  {"level", static_cast<double>(r % kShared)}};
			nlohmann::json values = nlohmann::json::array();
			for (int n = 0; n < kNumbers; ++n)
				values.push_back(r * 0.25 + n);
			record["values"] = values;
			root.push_back(std::move(record));
		}
		return root;
	}();
	return sDocument;
}

const VMemoryBuffer<>& OurBytes()
{
	static const VMemoryBuffer<> sBytes = [] {
		VMemoryBuffer<> bytes;
		VJSONBinaryWriter writer;
		writer.StreamValue(OurDocument(), bytes);
		return bytes;
	}();
	return sBytes;
}

const VString& OurText()
{
	static const VString sText = [] {
		VString text;
		OurDocument().Stringify(text, VJSONWriter::kOption_Quotes);
		return text;
	}();
	return sText;
}

const std::vector<uint8_t>& PeerBytes()
{
	static const std::vector<uint8_t> sBytes = nlohmann::json::to_cbor(PeerDocument());
	return sBytes;
}

void BM_JSONBinaryWrite_Ours(benchmark::State& state)
{
	const VJSONValue& document = OurDocument();
	for (auto _ : state) {
		VMemoryBuffer<> bytes;
		VJSONBinaryWriter writer;
		benchmark::DoNotOptimize(writer.StreamValue(document, bytes));
		benchmark::DoNotOptimize(bytes.GetDataPtr());
	}
	state.counters["bytes"] = static_cast<double>(OurBytes().GetDataSize());
}
BENCHMARK(BM_JSONBinaryWrite_Ours)->Unit(benchmark::kMillisecond);

void BM_JSONBinaryWrite_PeerCbor(benchmark::State& state)
{
	const nlohmann::json& document = PeerDocument();
	for (auto _ : state) {
		std::vector<uint8_t> bytes = nlohmann::json::to_cbor(document);
		benchmark::DoNotOptimize(bytes.data());
	}
	state.counters["bytes"] = static_cast<double>(PeerBytes().size());
}
BENCHMARK(BM_JSONBinaryWrite_PeerCbor)->Unit(benchmark::kMillisecond);

void BM_JSONBinaryWrite_PeerOurText(benchmark::State& state)
{
	const VJSONValue& document = OurDocument();
	for (auto _ : state) {
		VString text;
		benchmark::DoNotOptimize(document.Stringify(text, VJSONWriter::kOption_Quotes));
		benchmark::DoNotOptimize(text.GetCPointer());
	}
	state.counters["bytes"] = static_cast<double>(OurText().GetLength()) * 2;
}
BENCHMARK(BM_JSONBinaryWrite_PeerOurText)->Unit(benchmark::kMillisecond);

void BM_JSONBinaryRead_Ours(benchmark::State& state)
{
	const VMemoryBuffer<>& bytes = OurBytes();
	for (auto _ : state) {
		VJSONValue value;
		VJSONBinaryImporter importer(bytes.GetDataPtr(), bytes.GetDataSize());
		benchmark::DoNotOptimize(importer.GetValue(value));
	}
}
BENCHMARK(BM_JSONBinaryRead_Ours)->Unit(benchmark::kMillisecond);

void BM_JSONBinaryRead_PeerCbor(benchmark::State& state)
{
	const std::vector<uint8_t>& bytes = PeerBytes();
	for (auto _ : state) {
		nlohmann::json value = nlohmann::json::from_cbor(bytes);
		benchmark::DoNotOptimize(value.size());
	}
}
BENCHMARK(BM_JSONBinaryRead_PeerCbor)->Unit(benchmark::kMillisecond);

void BM_JSONBinaryRead_PeerOurText(benchmark::State& state)
{
	const VString& text = OurText();
	for (auto _ : state) {
		VJSONValue value;
		benchmark::DoNotOptimize(VJSONImporter::ParseString(text, value, 0));
	}
}
BENCHMARK(BM_JSONBinaryRead_PeerOurText)->Unit(benchmark::kMillisecond);

} // namespace
