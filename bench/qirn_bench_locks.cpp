// VCriticalSection against std::recursive_mutex: uncontended (entered twice,
// as kernel code often does) and contended by 2, 4 and 8 threads.
#include "runtime/VCriticalSection.h"

#include <benchmark/benchmark.h>

#include <mutex>
#include <thread>

namespace {

// The C library takes its mutexes without atomic operations for as long as a
// process has never had a second thread; a kernel process always has had
// one, so both sides are measured in that state.
void HaveHadASecondThread()
{
	static const bool sStarted = []() {
		std::thread([]() {}).join();
		return true;
	}();
	benchmark::DoNotOptimize(sStarted);
}

void BM_Uncontended_Ours(benchmark::State& state)
{
	HaveHadASecondThread();
	qirn::VCriticalSection section;
	for (auto _ : state) {
		section.Lock();
		section.Lock();
		benchmark::ClobberMemory();
		section.Unlock();
		section.Unlock();
	}
}
BENCHMARK(BM_Uncontended_Ours);

void BM_Uncontended_Peer(benchmark::State& state)
{
	HaveHadASecondThread();
	std::recursive_mutex mutex;
	for (auto _ : state) {
		mutex.lock();
		mutex.lock();
		benchmark::ClobberMemory();
		mutex.unlock();
		mutex.unlock();
	}
}
BENCHMARK(BM_Uncontended_Peer);

// A short critical region: a few increments of a shared counter.
qirn::VCriticalSection sSection;
std::recursive_mutex sMutex;
long sCounter = 0;

void BM_Contended_Ours(benchmark::State& state)
{
	for (auto _ : state) {
		sSection.Lock();
		for (int i = 0; i < 8; ++i)
			benchmark::DoNotOptimize(++sCounter);
		sSection.Unlock();
	}
}
BENCHMARK(BM_Contended_Ours)->Threads(2)->Threads(4)->Threads(8)->UseRealTime();

void BM_Contended_Peer(benchmark::State& state)
{
	for (auto _ : state) {
		sMutex.lock();
		for (int i = 0; i < 8; ++i)
			benchmark::DoNotOptimize(++sCounter);
		sMutex.unlock();
	}
}
BENCHMARK(BM_Contended_Peer)->Threads(2)->Threads(4)->Threads(8)->UseRealTime();

} // namespace
