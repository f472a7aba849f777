// Messaging between tasks: a million posts from 4 tasks executed by one, and
// the round trip of a send, against a std::mutex + std::condition_variable +
// std::deque queue of std::function.
#include "runtime/IMessageable.h"
#include "runtime/VFunctionMessage.h"
#include "runtime/VMessage.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VTask.h"

#include <benchmark/benchmark.h>

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kSenders = 4;
constexpr int kMessages = 1000000;
constexpr int kPerSender = kMessages / kSenders;

using qirn::VRefPtr;
using qirn::VTask;

VRefPtr<VTask> StartTask(std::function<void()>&& inBody)
{
	VRefPtr<VTask> task = VRefPtr<VTask>::Adopt(new VTask(0, qirn::ETaskStyle::kPreemptive, std::move(inBody)));
	task->Run();
	return task;
}

VRefPtr<VTask> StartReceiver()
{
	return StartTask([]() {
		while (!VTask::GetCurrent()->IsDying())
			VTask::WaitAndExecuteMessages();
	});
}

void StopReceiver(VTask* inTask)
{
	inTask->Kill();
	inTask->SetMessageQueueEvent();
	inTask->WaitForDeath(60000);
}

void BM_PostMillion_Ours(benchmark::State& state)
{
	VRefPtr<VTask> receiver = StartReceiver();
	for (auto _ : state) {
		int executed = 0; // the receiver's alone
		qirn::VSyncEvent* done = new qirn::VSyncEvent;
		std::vector<VRefPtr<VTask>> senders;
		for (int s = 0; s < kSenders; ++s) {
			senders.push_back(StartTask([&]() {
				for (int m = 0; m < kPerSender; ++m) {
					qirn::VFunctionMessage::PostFunctionTo(receiver.Get(), [&executed, done]() {
						if (++executed == kMessages)
							done->Unlock();
					});
				}
			}));
		}
		done->Lock();
		for (VRefPtr<VTask>& sender : senders)
			sender->WaitForDeath(60000);
		done->Release();
	}
	StopReceiver(receiver.Get());
	state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_PostMillion_Ours)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

// The peer: the plain queue every C++ programmer writes.
class PeerQueue {
public:
	void Post(std::function<void()>&& inFunction)
	{
		{
			std::lock_guard<std::mutex> lock(fMutex);
			fFunctions.push_back(std::move(inFunction));
		}
		fCondition.notify_one();
	}
	// Executes functions until one of them asks to stop.
	void Run()
	{
		std::unique_lock<std::mutex> lock(fMutex);
		while (!fStop) {
			fCondition.wait(lock, [this]() { return !fFunctions.empty(); });
			std::function<void()> function = std::move(fFunctions.front());
			fFunctions.pop_front();
			lock.unlock();
			function();
			lock.lock();
		}
	}
	void Stop()
	{
		Post([this]() { fStop = true; });
	}

private:
	std::mutex fMutex;
	std::condition_variable fCondition;
	std::deque<std::function<void()>> fFunctions;
	bool fStop = false;
};

void BM_PostMillion_Peer(benchmark::State& state)
{
	PeerQueue queue;
	std::thread receiver([&]() { queue.Run(); });
	for (auto _ : state) {
		int executed = 0;
		std::mutex doneMutex;
		std::condition_variable doneCondition;
		bool done = false;
		std::vector<std::thread> senders;
		for (int s = 0; s < kSenders; ++s) {
			senders.emplace_back([&]() {
				for (int m = 0; m < kPerSender; ++m) {
					queue.Post([&]() {
						if (++executed == kMessages) {
							std::lock_guard<std::mutex> lock(doneMutex);
							done = true;
							doneCondition.notify_one();
						}
					});
				}
			});
		}
		{
			std::unique_lock<std::mutex> lock(doneMutex);
			doneCondition.wait(lock, [&]() { return done; });
		}
		for (std::thread& sender : senders)
			sender.join();
	}
	queue.Stop();
	receiver.join();
	state.SetItemsProcessed(state.iterations() * kMessages);
}
BENCHMARK(BM_PostMillion_Peer)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(1);

class NoOpMessage : public qirn::VMessage {
protected:
	void DoExecute() override { benchmark::ClobberMemory(); }
};

void BM_SendRoundTrip_Ours(benchmark::State& state)
{
	VRefPtr<VTask> receiver = StartReceiver();
	VRefPtr<qirn::VMessage> message = VRefPtr<qirn::VMessage>::Adopt(new NoOpMessage);
	for (auto _ : state) {
		if (!message->SendTo(receiver.Get(), 60000))
			state.SkipWithError("send refused");
	}
	StopReceiver(receiver.Get());
}
BENCHMARK(BM_SendRoundTrip_Ours)->UseRealTime();

void BM_SendRoundTrip_Peer(benchmark::State& state)
{
	PeerQueue queue;
	std::thread receiver([&]() { queue.Run(); });
	std::mutex answerMutex;
	std::condition_variable answerCondition;
	for (auto _ : state) {
		bool answered = false;
		queue.Post([&]() {
			benchmark::ClobberMemory();
			std::lock_guard<std::mutex> lock(answerMutex);
			answered = true;
			answerCondition.notify_one();
		});
		std::unique_lock<std::mutex> lock(answerMutex);
		answerCondition.wait(lock, [&]() { return answered; });
	}
	queue.Stop();
	receiver.join();
}
BENCHMARK(BM_SendRoundTrip_Peer)->UseRealTime();

} // namespace
