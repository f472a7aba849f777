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

// A short critical region: a few increments of a counter the lock guards.
// Each side has its lock and its counter in a line of their own, laid out
// alike, so that neither side shares a cache line with the other's data nor
// gains from a layout the other lacks.
template <class Lock>
struct alignas(64) Guarded {
	Lock fLock;
	long fCounter = 0;
};

Guarded<qirn::VCriticalSection> sSection;
Guarded<std::recursive_mutex> sMutex;

template <class Lock, class Enter, class Leave>
void RunContended(benchmark::State& state, Guarded<Lock>& ioGuarded, Enter inEnter, Leave inLeave)
{
	for (auto _ : state) {
		inEnter(ioGuarded.fLock);
		for (int i = 0; i < 8; ++i)
			benchmark::DoNotOptimize(++ioGuarded.fCounter);
		inLeave(ioGuarded.fLock);
	}
}

void BM_Contended_Ours(benchmark::State& state)
{
	RunContended(
		state, sSection, [](qirn::VCriticalSection& inLock) { inLock.Lock(); },
		[](qirn::VCriticalSection& inLock) { inLock.Unlock(); });
}
BENCHMARK(BM_Contended_Ours)->Threads(2)->Threads(4)->Threads(8)->UseRealTime();

void BM_Contended_Peer(benchmark::State& state)
{
	RunContended(
		state, sMutex, [](std::recursive_mutex& inLock) { inLock.lock(); },
		[](std::recursive_mutex& inLock) { inLock.unlock(); });
}
BENCHMARK(BM_Contended_Peer)->Threads(2)->Threads(4)->Threads(8)->UseRealTime();

} // namespace
