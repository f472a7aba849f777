#include "runtime/IIdleable.h"
#include "runtime/VMessage.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"
#include "runtime/XIdleMessage.h"
#include "runtime/tests/MessageLoopTask.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace qirn {
namespace {

using testing::Gate;
using testing::kHangMilliseconds;

class CountingIdler : public IIdleable {
public:
	std::atomic<int> fIdles{0};
	std::function<void()> fOnIdle;

	void DoIdle() override
	{
		++fIdles;
		if (fOnIdle)
			fOnIdle();
	}
};

TEST(Idlers, ATaskCallsItsIdlersInOrder)
{
	CountingIdler first;
	CountingIdler second;
	first.StartIdling();
	second.StartIdling();
	second.StartIdling(); // registered once
	VTask::GetCurrent()->CallIdlers();
	EXPECT_EQ(first.fIdles, 1);
	EXPECT_EQ(second.fIdles, 1);
	second.StopIdling();
	VTask::GetCurrent()->CallIdlers();
	EXPECT_EQ(first.fIdles, 2);
	EXPECT_EQ(second.fIdles, 1);
}

TEST(Idlers, AnIdlerThatStopsInsideDoIdleEndsThePass)
{
	CountingIdler stopping;
	CountingIdler after;
	stopping.fOnIdle = [&]() { stopping.StopIdling(); };
	stopping.StartIdling();
	after.StartIdling();
	VTask::GetCurrent()->CallIdlers();
	EXPECT_EQ(stopping.fIdles, 1);
	EXPECT_EQ(after.fIdles, 0);
	VTask::GetCurrent()->CallIdlers();
	EXPECT_EQ(after.fIdles, 1);
}

TEST(Idlers, StoppingAnIdleableThatNeverStartedDoesNothing)
{
	CountingIdler idler;
	idler.StopIdling();
	EXPECT_FALSE(idler.IsIdling());
	idler.Idle();
	EXPECT_EQ(idler.fIdles, 0);
}

TEST(Idlers, OnlyTheTaskItselfCallsItsIdlers)
{
	CountingIdler idler;
	idler.StartIdling();
	VTask* main = VTask::GetCurrent();
	std::thread([main]() { main->CallIdlers(); }).join();
	EXPECT_EQ(idler.fIdles, 0);
}

TEST(Idlers, AnIdlerMovesToTheTaskItIdlesOn)
{
	// The idler moves to a task that idles between messages, and its old
	// task stops calling it.
	VRefPtr<VTask> worker = testing::StartMessageLoopTask();
	CountingIdler idler;
	idler.StartIdling();
	Gate idledOnWorker;
	std::atomic<int32> idledOn{0};
	idler.fOnIdle = [&]() {
		idledOn = VTask::GetCurrentID();
		idledOnWorker.Open();
	};
	idler.StartIdling(worker.Get());
	VTask::GetCurrent()->CallIdlers();
	EXPECT_EQ(idler.fIdles, 0);
	EXPECT_TRUE(idledOnWorker.Wait());
	EXPECT_EQ(idledOn, worker->GetID());
	idler.StopIdling();
	testing::StopMessageLoopTask(worker.Get());
}

TEST(Idlers, AnIdleMessageRepeatsWhileItsIdleableIdles)
{
	CountingIdler idler;
	Gate twice;
	idler.fOnIdle = [&]() {
		if (idler.fIdles == 2) {
			idler.StopIdling();
			twice.Open();
		}
	};
	idler.StartIdling();
	VRefPtr<VMessage> message = VRefPtr<VMessage>::Adopt(new XIdleMessage(&idler));
	ASSERT_TRUE(message->PostTo(VTask::GetCurrent(), false));
	// The main task idles between its messages, which brings the next one.
	const uint32 start = VSystem::GetCurrentTime();
	while (!twice.IsOpen() && VSystem::GetCurrentTime() - start < static_cast<uint32>(kHangMilliseconds))
		VTask::ExecuteMessagesWithTimeout(20, true);
	EXPECT_EQ(idler.fIdles, 2);
	// Stopped inside its DoIdle, it has no message left to come: a delayed
	// one would be due after the first pass and executed by the second.
	VTask::ExecuteMessagesWithTimeout(100, true);
	VTask::ExecuteMessagesWithTimeout(100, true);
	EXPECT_EQ(idler.fIdles, 2);
}

TEST(Idlers, AnIdleMessageForAStoppedIdleableDoesNothing)
{
	CountingIdler idler;
	VRefPtr<VMessage> message = VRefPtr<VMessage>::Adopt(new XIdleMessage(&idler));
	EXPECT_TRUE(message->SendTo(VTask::GetCurrent()));
	EXPECT_EQ(idler.fIdles, 0);
	EXPECT_FALSE(VTask::GetCurrent()->IsAnyMessagePending());
}

} // namespace
} // namespace qirn
