// VCriticalSection against std::recursive_mutex: uncontended (entered twice,
// as kernel code often does) and contended by 2, 4 and 8 threads.
#include "process/VProcess.h"
#include "runtime/VCriticalSection.h"

#include <benchmark/benchmark.h>

#include <mutex>

namespace {

void BM_CriticalSection_Uncontended(benchmark::State& state)
{
	qirn::VCriticalSection section;
	for (auto _ : state) {
		section.Lock();
		section.Lock();
		benchmark::ClobberMemory();
		section.Unlock();
		section.Unlock();
	}
}
BENCHMARK(BM_CriticalSection_Uncontended);

void BM_RecursiveMutex_Uncontended(benchmark::State& state)
{
	std::recursive_mutex mutex;
	for (auto _ : state) {
		mutex.lock();
		mutex.lock();
		benchmark::ClobberMemory();
		mutex.unlock();
		mutex.unlock();
	}
}
BENCHMARK(BM_RecursiveMutex_Uncontended);

// A short critical region: a few increments of a shared counter.
qirn::VCriticalSection sSection;
std::recursive_mutex sMutex;
long sCounter = 0;

void BM_CriticalSection_Contended(benchmark::State& state)
{
	for (auto _ : state) {
		sSection.Lock();
		for (int i = 0; i < 8; ++i)
			benchmark::DoNotOptimize(++sCounter);
		sSection.Unlock();
	}
}
BENCHMARK(BM_CriticalSection_Contended)->Threads(2)->Threads(4)->Threads(8)->UseRealTime();

void BM_RecursiveMutex_Contended(benchmark::State& state)
{
	for (auto _ : state) {
		sMutex.lock();
		for (int i = 0; i < 8; ++i)
			benchmark::DoNotOptimize(++sCounter);
		sMutex.unlock();
	}
}
BENCHMARK(BM_RecursiveMutex_Contended)->Threads(2)->Threads(4)->Threads(8)->UseRealTime();

} // namespace

#include "BenchProcessMain.h"
