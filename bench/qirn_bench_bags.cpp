// Bags against a std::unordered_map<std::u16string, long long>: 10,000
// attributes set by name and each looked up again. The bag's lookup map
// keeps this linear; a bag scanned key by key would be quadratic.
#include "bags_xml/VValueBag.h"
#include "core/VString.h"

#include <benchmark/benchmark.h>

#include <string>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kAttributeCount = 10'000;

std::vector<qirn::VString> Names()
{
	std::vector<qirn::VString> names;
	for (int i = 0; i < kAttributeCount; ++i)
		names.push_back(qirn::VString(("attribute" + std::to_string(i)).c_str()));
	return names;
}

void BM_BagAttributes10k_Ours(benchmark::State& state)
{
	std::vector<qirn::VString> names = Names();
	for (auto _ : state) {
		qirn::VValueBag* bag = new qirn::VValueBag;
		for (int i = 0; i < kAttributeCount; ++i)
			bag->SetLong(names[static_cast<size_t>(i)], i);
		long long sum = 0;
		for (const qirn::VString& name : names) {
			qirn::sLONG value = 0;
			bag->GetLong(name, value);
			sum += value;
		}
		benchmark::DoNotOptimize(sum);
		bag->Release();
	}
	state.SetItemsProcessed(state.iterations() * kAttributeCount);
}
BENCHMARK(BM_BagAttributes10k_Ours)->Unit(benchmark::kMillisecond);

void BM_BagAttributes10k_Peer(benchmark::State& state)
{
	std::vector<qirn::VString> names = Names();
	std::vector<std::u16string> keys;
	for (const qirn::VString& name : names)
		keys.emplace_back(name.GetCPointer(), static_cast<size_t>(name.GetLength()));
	for (auto _ : state) {
		std::unordered_map<std::u16string, long long> map;
		for (int i = 0; i < kAttributeCount; ++i)
			map[keys[static_cast<size_t>(i)]] = i;
		long long sum = 0;
		for (const std::u16string& key : keys) {
			auto found = map.find(key);
			sum += found != map.end() ? found->second : 0;
		}
		benchmark::DoNotOptimize(sum);
	}
	state.SetItemsProcessed(state.iterations() * kAttributeCount);
}
BENCHMARK(BM_BagAttributes10k_Peer)->Unit(benchmark::kMillisecond);

} // namespace

