// A fiber hand-over round trip (to a parked fiber thread and back) against
// glibc's swapcontext between two contexts of one thread, and against two
// threads passing a turn through a std::condition_variable.
#include "runtime/platform/XLinuxFiber.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <mutex>
#include <thread>
#include <ucontext.h>
#include <vector>

namespace {

void BM_FiberRoundTrip_Ours(benchmark::State& state)
{
	qirn::XLinuxFiber* self = qirn::XLinuxFiber::CreateFiberForThread();
	bool stop = false;
	qirn::XLinuxFiber* partner = nullptr;
	partner = qirn::XLinuxFiber::Create(64 * 1024, [&]() {
		while (!stop)
			qirn::XLinuxFiber::YieldTo(partner, self);
		self->WakeUp();
	});
	for (auto _ : state)
		qirn::XLinuxFiber::YieldTo(self, partner);
	stop = true;
	qirn::XLinuxFiber::YieldTo(self, partner);
	delete partner;
	delete self;
}
BENCHMARK(BM_FiberRoundTrip_Ours)->UseRealTime();

ucontext_t sMainContext;
ucontext_t sPartnerContext;

void PartnerLoop()
{
	for (;;)
		::swapcontext(&sPartnerContext, &sMainContext);
}

void BM_FiberRoundTrip_PeerSwapcontext(benchmark::State& state)
{
	std::vector<char> stack(64 * 1024);
	::getcontext(&sPartnerContext);
	sPartnerContext.uc_stack.ss_sp = stack.data();
	sPartnerContext.uc_stack.ss_size = stack.size();
	sPartnerContext.uc_link = nullptr;
	::makecontext(&sPartnerContext, &PartnerLoop, 0);
	for (auto _ : state)
		::swapcontext(&sMainContext, &sPartnerContext);
	// The partner stays parked in its loop; its stack goes with the vector.
}
BENCHMARK(BM_FiberRoundTrip_PeerSwapcontext)->UseRealTime();

void BM_FiberRoundTrip_PeerCondVar(benchmark::State& state)
{
	std::mutex mutex;
	std::condition_variable changed;
	int turn = 0; // 0: the measuring thread's, 1: the partner's, 2: stop
	std::thread partner([&]() {
		std::unique_lock<std::mutex> lock(mutex);
		for (;;) {
			changed.wait(lock, [&]() { return turn != 0; });
			if (turn == 2)
				return;
			turn = 0;
			changed.notify_all();
		}
	});
	{
		std::unique_lock<std::mutex> lock(mutex);
		for (auto _ : state) {
			turn = 1;
			changed.notify_all();
			changed.wait(lock, [&]() { return turn == 0; });
		}
		turn = 2;
		changed.notify_all();
	}
	partner.join();
}
BENCHMARK(BM_FiberRoundTrip_PeerCondVar)->UseRealTime();

} // namespace
