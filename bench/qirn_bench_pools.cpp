// The memory manager in pool mode (VCppMemMgr of kind 2) against the C
// library's malloc. Run the program as it is for glibc, and again with
// LD_PRELOAD=libjemalloc.so.2 or libtcmalloc_minimal.so.4 for those peers:
// the pools are measured in each run, so every run gives its own ratio.
#include "core/VCppMemMgr.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

using qirn::VCppMemMgr;

VCppMemMgr& Pools()
{
	// Shared by every benchmark thread, as the process's manager would be.
	static VCppMemMgr* sManager = new VCppMemMgr(qirn::eAllocator_Pools);
	return *sManager;
}

struct OursAllocator {
	static void* Allocate(size_t inSize) { return Pools().Malloc(inSize, false, 'test'); }
	static void Release(void* inBlock) { Pools().Free(inBlock); }
};

struct PeerAllocator {
	static void* Allocate(size_t inSize) { return std::malloc(inSize); }
	static void Release(void* inBlock) { std::free(inBlock); }
};

// ---- small blocks: 16 B to 1 KiB, allocated in a batch, freed out of order ----

constexpr size_t kBatch = 1000;

const std::vector<size_t>& SmallSizes()
{
	static const std::vector<size_t> sSizes = [] {
		std::mt19937 random(16);
		std::vector<size_t> sizes(kBatch);
		for (size_t& size : sizes)
			size = 16 + random() % (1024 - 16 + 1);
		return sizes;
	}();
	return sSizes;
}

template <class Allocator>
void SmallAllocFree(benchmark::State& state)
{
	const std::vector<size_t>& sizes = SmallSizes();
	std::vector<void*> blocks(kBatch);
	for (auto _ : state) {
		for (size_t i = 0; i < kBatch; ++i)
			blocks[i] = Allocator::Allocate(sizes[i]);
		benchmark::DoNotOptimize(blocks.data());
		for (size_t i = 0; i < kBatch; ++i)
			Allocator::Release(blocks[(i * 7) % kBatch]);
	}
	state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kBatch));
}

void BM_SmallAllocFree_Ours(benchmark::State& state)
{
	SmallAllocFree<OursAllocator>(state);
}
BENCHMARK(BM_SmallAllocFree_Ours)->Threads(1)->Threads(8)->UseRealTime();

void BM_SmallAllocFree_Peer(benchmark::State& state)
{
	SmallAllocFree<PeerAllocator>(state);
}
BENCHMARK(BM_SmallAllocFree_Peer)->Threads(1)->Threads(8)->UseRealTime();

// ---- fragmentation: peak resident memory of a seeded mixed workload ----

uint64_t ReadPeakKiB()
{
	FILE* status = std::fopen("/proc/self/status", "re");
	if (status == nullptr)
		return 0;
	char line[256];
	uint64_t kib = 0;
	while (std::fgets(line, sizeof(line), status) != nullptr)
		if (std::strncmp(line, "VmHWM:", 6) == 0)
			kib = std::strtoull(line + 6, nullptr, 10);
	std::fclose(status);
	return kib;
}

// 16 B to 1 MiB, spread evenly over the powers of two; a fifth of the blocks
// live until the end, the others are freed in random order along the way.
template <class Allocator>
void MixedWorkload()
{
	std::mt19937 random(2026);
	std::vector<void*> kept;
	std::vector<void*> live;
	for (int step = 0; step < 6000; ++step) {
		size_t size = size_t(16) << (random() % 17);
		size = size / 2 + random() % (size / 2 + 1);
		void* block = Allocator::Allocate(size);
		if (block == nullptr)
			std::abort();
		std::memset(block, step & 0xFF, size);
		(random() % 5 == 0 ? kept : live).push_back(block);
		if (!live.empty() && random() % 2 == 0) {
			size_t victim = random() % live.size();
			Allocator::Release(live[victim]);
			live[victim] = live.back();
			live.pop_back();
		}
	}
	for (void* block : live)
		Allocator::Release(block);
	for (void* block : kept)
		Allocator::Release(block);
}

// The workload runs in a child of its own, whose peak is reset first, so
// that each allocator's peak is its own.
template <class Allocator>
void Fragmentation(benchmark::State& state)
{
	uint64_t peakKiB = 0;
	for (auto _ : state) {
		int channel[2];
		if (::pipe(channel) != 0) {
			state.SkipWithError("no pipe");
			return;
		}
		pid_t child = ::fork();
		if (child == 0) {
			::close(channel[0]);
			if (FILE* clear = std::fopen("/proc/self/clear_refs", "we")) {
				std::fputs("5", clear);
				std::fclose(clear);
			}
			MixedWorkload<Allocator>();
			uint64_t kib = ReadPeakKiB();
			ssize_t written = ::write(channel[1], &kib, sizeof(kib));
			::_exit(written == sizeof(kib) ? 0 : 1);
		}
		::close(channel[1]);
		uint64_t kib = 0;
		if (child < 0 || ::read(channel[0], &kib, sizeof(kib)) != sizeof(kib))
			state.SkipWithError("the child did not report");
		::close(channel[0]);
		if (child > 0)
			::waitpid(child, nullptr, 0);
		peakKiB = kib;
	}
	state.counters["peak_rss_MiB"] = static_cast<double>(peakKiB) / 1024.0;
}

void BM_Fragmentation_Ours(benchmark::State& state)
{
	Fragmentation<OursAllocator>(state);
}
BENCHMARK(BM_Fragmentation_Ours)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Fragmentation_Peer(benchmark::State& state)
{
	Fragmentation<PeerAllocator>(state);
}
BENCHMARK(BM_Fragmentation_Peer)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
