// A worker reporting 10 million steps to a progress indicator, against the
// same steps counted on a std::atomic: alone, and with an observer that
// polls every millisecond (the indicator's through the progress manager's
// snapshots, the counter by reading it).
#include "runtime/VProgressIndicator.h"
#include "runtime/VProgressManager.h"

#include <benchmark/benchmark.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace {

constexpr int kSteps = 10'000'000;

// Polls every millisecond while it lives.
class Observer {
public:
	template <class Poll>
	explicit Observer(Poll inPoll)
		: fThread([this, inPoll]() {
			  while (!fStop.load(std::memory_order_relaxed)) {
				  inPoll();
				  std::this_thread::sleep_for(std::chrono::milliseconds(1));
			  }
		  })
	{
	}
	~Observer()
	{
		fStop = true;
		fThread.join();
	}

private:
	std::atomic<bool> fStop{false};
	std::thread fThread;
};

void RunIndicator(benchmark::State& state, bool inObserved)
{
	qirn::VRefPtr<qirn::VProgressIndicator> indicator =
		qirn::VRefPtr<qirn::VProgressIndicator>::Adopt(new qirn::VProgressIndicator());
	std::atomic<int64_t> seen{0};
	auto poll = [&seen]() {
		std::vector<qirn::VRefPtr<qirn::VRefCountedSessionInfo>> snapshots;
		qirn::VProgressManager::Get()->GetAllProgressInfo(snapshots);
		for (auto& snapshot : snapshots)
			if (snapshot->GetCount() > 0)
				seen.store(snapshot->GetNth(snapshot->GetCount() - 1).GetValue(), std::memory_order_relaxed);
	};
	for (auto _ : state) {
		indicator->BeginSession(kSteps, qirn::VString("steps"));
		{
			std::unique_ptr<Observer> observer = inObserved ? std::make_unique<Observer>(poll) : nullptr;
			for (int i = 0; i < kSteps; ++i)
				benchmark::DoNotOptimize(indicator->Increment());
		}
		indicator->EndSession();
	}
	benchmark::DoNotOptimize(seen.load());
}

void RunAtomic(benchmark::State& state, bool inObserved)
{
	std::atomic<int64_t> counter{0};
	std::atomic<int64_t> seen{0};
	auto poll = [&]() { seen.store(counter.load(std::memory_order_relaxed), std::memory_order_relaxed); };
	for (auto _ : state) {
		counter.store(0);
		std::unique_ptr<Observer> observer = inObserved ? std::make_unique<Observer>(poll) : nullptr;
		for (int i = 0; i < kSteps; ++i)
			benchmark::DoNotOptimize(counter.fetch_add(1, std::memory_order_relaxed));
	}
	benchmark::DoNotOptimize(seen.load());
}

void BM_Increment_Ours(benchmark::State& state)
{
	RunIndicator(state, false);
}
BENCHMARK(BM_Increment_Ours)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_Increment_Peer(benchmark::State& state)
{
	RunAtomic(state, false);
}
BENCHMARK(BM_Increment_Peer)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_IncrementObserved_Ours(benchmark::State& state)
{
	RunIndicator(state, true);
}
BENCHMARK(BM_IncrementObserved_Ours)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_IncrementObserved_Peer(benchmark::State& state)
{
	RunAtomic(state, true);
}
BENCHMARK(BM_IncrementObserved_Peer)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
