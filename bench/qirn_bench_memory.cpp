// The memory manager and VMemoryBuffer against the C library and std::vector.
#include "core/VMemory.h"
#include "core/VMemoryBuffer.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <vector>

namespace {

constexpr size_t kTotal = 256u << 20;
constexpr size_t kChunk = 64u << 10;

const std::vector<char>& Chunk()
{
	static const std::vector<char> sChunk(kChunk, 'x');
	return sChunk;
}

void BM_Append256MiB_Ours(benchmark::State& state)
{
	const char* data = Chunk().data();
	for (auto _ : state) {
		qirn::VMemoryBuffer<> buffer;
		for (size_t done = 0; done < kTotal; done += kChunk)
			buffer.AddData(data, kChunk);
		benchmark::DoNotOptimize(buffer.GetDataPtr());
	}
	state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_Append256MiB_Ours)->Unit(benchmark::kMillisecond);

void BM_Append256MiB_Peer(benchmark::State& state)
{
	const char* data = Chunk().data();
	for (auto _ : state) {
		std::vector<char> buffer;
		for (size_t done = 0; done < kTotal; done += kChunk)
			buffer.insert(buffer.end(), data, data + kChunk);
		benchmark::DoNotOptimize(buffer.data());
	}
	state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_Append256MiB_Peer)->Unit(benchmark::kMillisecond);

void BM_SmallBlock_Ours(benchmark::State& state)
{
	const size_t size = static_cast<size_t>(state.range(0));
	for (auto _ : state) {
		void* block = qirn::VMemory::NewPtr(size, 'test');
		benchmark::DoNotOptimize(block);
		qirn::VMemory::DisposePtr(block);
	}
}
BENCHMARK(BM_SmallBlock_Ours)->Arg(16)->Arg(128)->Arg(1024);

void BM_SmallBlock_Peer(benchmark::State& state)
{
	const size_t size = static_cast<size_t>(state.range(0));
	for (auto _ : state) {
		void* block = std::malloc(size);
		benchmark::DoNotOptimize(block);
		std::free(block);
	}
}
BENCHMARK(BM_SmallBlock_Peer)->Arg(16)->Arg(128)->Arg(1024);

} // namespace
