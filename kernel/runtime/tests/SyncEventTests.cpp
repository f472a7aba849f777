#include "runtime/VSyncEvent.h"

#include "runtime/VTaskMgr.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace qirn {
namespace {

TEST(SyncEvent, UnlockReleasesEveryWaiter)
{
	VSyncEvent* event = new VSyncEvent;
	std::atomic<int> waiting{0};
	std::atomic<int> released{0};
	std::vector<std::thread> waiters;
	for (int t = 0; t < 5; ++t) {
		waiters.emplace_back([&]() {
			++waiting;
			EXPECT_TRUE(event->Lock());
			++released;
		});
	}
	while (waiting.load() < 5)
		VTaskMgr::YieldNow();
	EXPECT_EQ(released.load(), 0);
	event->Unlock();
	for (std::thread& waiter : waiters)
		waiter.join();
	EXPECT_EQ(released.load(), 5);
	EXPECT_TRUE(event->Lock()); // already unlocked: at once
	event->Release();
}

TEST(SyncEvent, TimedLock)
{
	VSyncEvent* event = new VSyncEvent;
	EXPECT_FALSE(event->Lock(0));
	EXPECT_FALSE(event->Lock(-5));
	EXPECT_FALSE(event->Lock(30));

	testing::Gate waiting;
	std::thread unlocker([&]() {
		waiting.Wait();
		event->Unlock();
	});
	waiting.Open();
	EXPECT_TRUE(event->Lock(testing::kHangMilliseconds));
	unlocker.join();
	EXPECT_TRUE(event->Lock(0));

	event->Reset();
	EXPECT_FALSE(event->Lock(0));
	event->Release();
}

// A timed waiter woken by an Unlock that a Reset undid before it looked waits
// on for the rest of its time, rather than answering false early. Each round
// gives it a moment to answer wrongly before the event is unlocked for good.
TEST(SyncEvent, AWakeUpThatFindsItLockedAgainKeepsWaiting)
{
	VSyncEvent* event = new VSyncEvent;
	for (int round = 0; round < 50; ++round) {
		SCOPED_TRACE(round);
		testing::Gate waiting;
		std::atomic<bool> answered{false};
		bool answer = false;
		std::thread waiter([&]() {
			waiting.Open();
			answer = event->Lock(testing::kHangMilliseconds);
			answered = true;
		});
		waiting.Wait();
		for (int i = 0; i < 100; ++i)
			VTaskMgr::YieldNow();
		event->Unlock();
		event->Reset();
		for (int i = 0; i < 1000 && !answered.load(); ++i)
			VTaskMgr::YieldNow();
		event->Unlock();
		waiter.join();
		EXPECT_TRUE(answer);
		event->Reset();
	}
	event->Release();
}

} // namespace
} // namespace qirn
