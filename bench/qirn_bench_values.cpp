// Values, formatting and streams against plain C++: Printf against snprintf
// into a std::string, and 10 million longs written and read back through a
// memory stream against a std::vector<char> copy loop.
#include "core/VString.h"
#include "files/VPtrStream.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int kLongCount = 10'000'000;
constexpr int kPrintfCount = 1'000'000;

void BM_Printf1M_Ours(benchmark::State& state)
{
	qirn::VString name("stream");
	qirn::VString text;
	for (auto _ : state) {
		for (int i = 0; i < kPrintfCount; ++i) {
			text.Printf("%d %S %s", i, &name, "items");
			benchmark::DoNotOptimize(text.GetCPointer());
		}
	}
	state.SetItemsProcessed(state.iterations() * kPrintfCount);
}
BENCHMARK(BM_Printf1M_Ours)->Unit(benchmark::kMillisecond);

void BM_Printf1M_Peer(benchmark::State& state)
{
	std::string name("stream");
	std::string text;
	for (auto _ : state) {
		for (int i = 0; i < kPrintfCount; ++i) {
			char buffer[256];
			int length = std::snprintf(buffer, sizeof(buffer), "%d %s %s", i, name.c_str(), "items");
			text.assign(buffer, static_cast<size_t>(length));
			benchmark::DoNotOptimize(text.data());
		}
	}
	state.SetItemsProcessed(state.iterations() * kPrintfCount);
}
BENCHMARK(BM_Printf1M_Peer)->Unit(benchmark::kMillisecond);

void BM_Stream10MLongs_Ours(benchmark::State& state)
{
	for (auto _ : state) {
		qirn::VPtrStream stream;
		stream.OpenWriting();
		for (int i = 0; i < kLongCount; ++i)
			stream.PutLong(static_cast<qirn::sLONG>(i));
		stream.CloseWriting();
		stream.OpenReading();
		long long sum = 0;
		qirn::sLONG value = 0;
		for (int i = 0; i < kLongCount; ++i) {
			stream.GetLong(value);
			sum += value;
		}
		stream.CloseReading();
		benchmark::DoNotOptimize(sum);
	}
	state.SetItemsProcessed(state.iterations() * kLongCount);
}
BENCHMARK(BM_Stream10MLongs_Ours)->Unit(benchmark::kMillisecond);

void BM_Stream10MLongs_Peer(benchmark::State& state)
{
	for (auto _ : state) {
		std::vector<char> buffer;
		for (int i = 0; i < kLongCount; ++i) {
			qirn::sLONG value = i;
			const char* bytes = reinterpret_cast<const char*>(&value);
			buffer.insert(buffer.end(), bytes, bytes + sizeof(value));
		}
		long long sum = 0;
		size_t position = 0;
		for (int i = 0; i < kLongCount; ++i) {
			qirn::sLONG value;
			std::memcpy(&value, buffer.data() + position, sizeof(value));
			position += sizeof(value);
			sum += value;
		}
		benchmark::DoNotOptimize(sum);
	}
	state.SetItemsProcessed(state.iterations() * kLongCount);
}
BENCHMARK(BM_Stream10MLongs_Peer)->Unit(benchmark::kMillisecond);

} // namespace
