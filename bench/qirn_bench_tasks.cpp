// A kernel task's whole life (creation on its own thread, start, end, wait
// for its death, release) against std::thread start and join.
#include "runtime/VTask.h"

#include <benchmark/benchmark.h>

#include <thread>

namespace {

void BM_TaskLife_Ours(benchmark::State& state)
{
	for (auto _ : state) {
		qirn::VTask* task = new qirn::VTask(0, qirn::ETaskStyle::kPreemptive, []() { benchmark::ClobberMemory(); });
		task->Run();
		task->WaitForDeath(60000);
		task->Release();
	}
}
BENCHMARK(BM_TaskLife_Ours)->UseRealTime();

void BM_TaskLife_Peer(benchmark::State& state)
{
	for (auto _ : state) {
		std::thread thread([]() { benchmark::ClobberMemory(); });
		thread.join();
	}
}
BENCHMARK(BM_TaskLife_Peer)->UseRealTime();

} // namespace
