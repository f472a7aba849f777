// Values and streams against plain C++: 10 million longs written and read back
// through a memory stream against a std::vector<char> copy loop.
#include "files/VPtrStream.h"

#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

namespace {

constexpr int kLongCount = 10'000'000;

void BM_PtrStream_10MLongs(benchmark::State& state)
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
BENCHMARK(BM_PtrStream_10MLongs)->Unit(benchmark::kMillisecond);

void BM_StdVector_10MLongs(benchmark::State& state)
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
BENCHMARK(BM_StdVector_10MLongs)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
