// The JSON model against nlohmann-json's json and RapidJSON's Document:
// building an object of 100,000 properties and reading them all back, an
// array of 1,000,000 numbers built and summed, and property reads by 8
// threads at once.
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VStorageLocker.h"

#include <benchmark/benchmark.h>
#include <nlohmann/json.hpp>
#include <rapidjson/document.h>

#include <string>
#include <vector>

namespace {

constexpr int kPropertyCount = 100000;
constexpr int kNumberCount = 1000000;
constexpr int kReadsPerThread = 100000;

const std::vector<std::string>& StdNames()
{
	static const std::vector<std::string> sNames = [] {
		std::vector<std::string> names;
		for (int i = 0; i < kPropertyCount; ++i)
			names.push_back("property" + std::to_string(i));
		return names;
	}();
	return sNames;
}

const std::vector<qirn::VString>& OurNames()
{
	static const std::vector<qirn::VString> sNames = [] {
		std::vector<qirn::VString> names;
		for (const std::string& name : StdNames())
			names.emplace_back(name.c_str());
		return names;
	}();
	return sNames;
}

// Objects of 100,000 properties, built then read.

void BM_ObjectBuildRead_Ours(benchmark::State& state)
{
	const std::vector<qirn::VString>& names = OurNames();
	for (auto _ : state) {
		qirn::VRefPtr<qirn::VJSONObject> object = qirn::VRefPtr<qirn::VJSONObject>::Adopt(new qirn::VJSONObject());
		for (int i = 0; i < kPropertyCount; ++i)
			object->SetProperty(names[i], qirn::VJSONValue(static_cast<double>(i)));
		double sum = 0;
		for (int i = 0; i < kPropertyCount; ++i)
			sum += object->GetProperty(names[i]).GetNumber();
		benchmark::DoNotOptimize(sum);
	}
	state.SetItemsProcessed(state.iterations() * kPropertyCount);
}
BENCHMARK(BM_ObjectBuildRead_Ours)->Unit(benchmark::kMillisecond);

void BM_ObjectBuildRead_PeerNlohmann(benchmark::State& state)
{
	const std::vector<std::string>& names = StdNames();
	for (auto _ : state) {
		nlohmann::json object = nlohmann::json::object();
		for (int i = 0; i < kPropertyCount; ++i)
			object[names[i]] = static_cast<double>(i);
		double sum = 0;
		for (int i = 0; i < kPropertyCount; ++i)
			sum += object[names[i]].get<double>();
		benchmark::DoNotOptimize(sum);
	}
	state.SetItemsProcessed(state.iterations() * kPropertyCount);
}
BENCHMARK(BM_ObjectBuildRead_PeerNlohmann)->Unit(benchmark::kMillisecond);

// RapidJSON finds a member by name with a linear search: reading 100,000
// members by name would take minutes, so it reads them in order, which
// flatters it against the peers that look every name up.
void BM_ObjectBuildRead_PeerRapidJSON(benchmark::State& state)
{
	const std::vector<std::string>& names = StdNames();
	for (auto _ : state) {
		rapidjson::Document document;
		document.SetObject();
		auto& allocator = document.GetAllocator();
		for (int i = 0; i < kPropertyCount; ++i)
			document.AddMember(rapidjson::StringRef(names[i].c_str(), names[i].size()),
							   static_cast<double>(i), allocator);
		double sum = 0;
		for (auto it = document.MemberBegin(); it != document.MemberEnd(); ++it)
			sum += it->value.GetDouble();
		benchmark::DoNotOptimize(sum);
	}
	state.SetItemsProcessed(state.iterations() * kPropertyCount);
}
BENCHMARK(BM_ObjectBuildRead_PeerRapidJSON)->Unit(benchmark::kMillisecond);

// Arrays of 1,000,000 numbers, built then summed.

void BM_ArrayNumbers_Ours(benchmark::State& state)
{
	for (auto _ : state) {
		qirn::VRefPtr<qirn::VJSONArray> array = qirn::VRefPtr<qirn::VJSONArray>::Adopt(new qirn::VJSONArray());
		for (int i = 0; i < kNumberCount; ++i)
			array->Push(qirn::VJSONValue(static_cast<double>(i)));
		double sum = 0;
		qirn::VJSONValue value;
		for (size_t i = 0, n = array->GetCount(); i < n; ++i) {
			array->GetAt(i, value);
			sum += value.GetNumber();
		}
		benchmark::DoNotOptimize(sum);
	}
	state.SetItemsProcessed(state.iterations() * kNumberCount);
}
BENCHMARK(BM_ArrayNumbers_Ours)->Unit(benchmark::kMillisecond);

void BM_ArrayNumbers_PeerNlohmann(benchmark::State& state)
{
	for (auto _ : state) {
		nlohmann::json array = nlohmann::json::array();
		for (int i = 0; i < kNumberCount; ++i)
			array.push_back(static_cast<double>(i));
		double sum = 0;
		for (size_t i = 0, n = array.size(); i < n; ++i)
			sum += array[i].get<double>();
		benchmark::DoNotOptimize(sum);
	}
	state.SetItemsProcessed(state.iterations() * kNumberCount);
}
BENCHMARK(BM_ArrayNumbers_PeerNlohmann)->Unit(benchmark::kMillisecond);

void BM_ArrayNumbers_PeerRapidJSON(benchmark::State& state)
{
	for (auto _ : state) {
		rapidjson::Document document;
		document.SetArray();
		auto& allocator = document.GetAllocator();
		for (int i = 0; i < kNumberCount; ++i)
			document.PushBack(static_cast<double>(i), allocator);
		double sum = 0;
		for (rapidjson::SizeType i = 0, n = document.Size(); i < n; ++i)
			sum += document[i].GetDouble();
		benchmark::DoNotOptimize(sum);
	}
	state.SetItemsProcessed(state.iterations() * kNumberCount);
}
BENCHMARK(BM_ArrayNumbers_PeerRapidJSON)->Unit(benchmark::kMillisecond);

// Property reads by 8 threads of one object of 1,000 properties built
// beforehand and left unchanged.

constexpr int kReadNames = 1000;

qirn::VJSONObject* OurReadObject(bool inShared)
{
	static qirn::VJSONObject* sPlain = nullptr;
	static qirn::VJSONObject* sShared = nullptr;
	static const bool sBuilt = [] {
		sPlain = new qirn::VJSONObject();
		sShared = new qirn::VJSONObject(nullptr, nullptr, true);
		qirn::VJSONUser user(sShared, false);
		for (int i = 0; i < kReadNames; ++i) {
			sPlain->SetProperty(OurNames()[i], qirn::VJSONValue(static_cast<double>(i)));
			sShared->SetProperty(OurNames()[i], qirn::VJSONValue(static_cast<double>(i)));
		}
		return true;
	}();
	(void)sBuilt;
	return inShared ? sShared : sPlain;
}

void ReadOurs(benchmark::State& state, const qirn::VJSONObject* inObject)
{
	for (auto _ : state) {
		double sum = 0;
		for (int i = 0; i < kReadsPerThread; ++i)
			sum += inObject->GetProperty(OurNames()[i % kReadNames]).GetNumber();
		benchmark::DoNotOptimize(sum);
	}
	state.SetItemsProcessed(state.iterations() * kReadsPerThread);
}

void BM_PropertyReads8_Ours(benchmark::State& state)
{
	ReadOurs(state, OurReadObject(false));
}
BENCHMARK(BM_PropertyReads8_Ours)->Threads(8)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same object shared between tasks: every read takes the graph section
// and the locker's.
void BM_PropertyReads8Shared_Ours(benchmark::State& state)
{
	ReadOurs(state, OurReadObject(true));
}
BENCHMARK(BM_PropertyReads8Shared_Ours)->Threads(8)->UseRealTime()->Unit(benchmark::kMillisecond);

const nlohmann::json& NlohmannReadObject()
{
	static const nlohmann::json sObject = [] {
		nlohmann::json object = nlohmann::json::object();
		for (int i = 0; i < kReadNames; ++i)
			object[StdNames()[i]] = static_cast<double>(i);
		return object;
	}();
	return sObject;
}

void BM_PropertyReads8_PeerNlohmann(benchmark::State& state)
{
	const nlohmann::json& object = NlohmannReadObject();
	for (auto _ : state) {
		double sum = 0;
		for (int i = 0; i < kReadsPerThread; ++i)
			sum += object.find(StdNames()[i % kReadNames])->get<double>();
		benchmark::DoNotOptimize(sum);
	}
	state.SetItemsProcessed(state.iterations() * kReadsPerThread);
}
BENCHMARK(BM_PropertyReads8_PeerNlohmann)->Threads(8)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace

