// Messages across a task's life: delayed messages, cancelling, death.
#include "runtime/IMessageable.h"
#include "runtime/VFunctionMessage.h"
#include "runtime/VMessage.h"
#include "runtime/VMessageQueue.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "runtime/tests/MessageLoopTask.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace qirn {
namespace {

// The gates, waits and message-loop tasks of the kernel's test support.
using namespace qirn::testing;

struct Target : IMessageable {};

class GateMessage : public VMessage {
public:
	Gate fExecuted;

protected:
	void DoExecute() override { fExecuted.Open(); }
};

VRefPtr<GateMessage> MakeGateMessage()
{
	return VRefPtr<GateMessage>::Adopt(new GateMessage);
}

TEST(TaskMessages, ADelayedMessageArrivesWhenATaskIdles)
{
	VRefPtr<VTask> worker = StartMessageLoopTask();
	Target target;
	target.SetMessagingTask(worker->GetID());
	VRefPtr<GateMessage> message = MakeGateMessage();
	// Long enough that a loaded machine posts the second time while the
	// first still waits: posted with a delay, it is already posted.
	constexpr int32 kDelay = 300;
	ASSERT_TRUE(message->PostTo(&target, false, kDelay));
	EXPECT_TRUE(message->PostTo(&target, false, kDelay));
	EXPECT_TRUE(message->fExecuted.Wait());
	// The worker marks the message answered once its DoExecute has
	// returned: look after the worker has ended.
	StopMessageLoopTask(worker.Get());
	EXPECT_TRUE(message->Answered());
}

TEST(TaskMessages, CancellingAbortsDelayedAndQueuedMessagesForTheTarget)
{
	Target target; // on the main task, which executes nothing meanwhile
	Target other;
	VRefPtr<GateMessage> delayed = MakeGateMessage();
	VRefPtr<GateMessage> queued = MakeGateMessage();
	VRefPtr<GateMessage> kept = MakeGateMessage();
	ASSERT_TRUE(delayed->PostTo(&target, false, kHangMilliseconds));
	ASSERT_TRUE(queued->PostTo(&target, false));
	ASSERT_TRUE(kept->PostTo(&other, false));
	VTaskMgr::Get()->CancelMessages(&target);
	EXPECT_TRUE(delayed->Aborted());
	EXPECT_TRUE(queued->Aborted());
	EXPECT_FALSE(kept->Aborted());
	VTask::ExecuteMessages(false);
	EXPECT_TRUE(kept->Answered());
	EXPECT_FALSE(queued->fExecuted.IsOpen());
	// Aborted, a message may be posted again.
	EXPECT_TRUE(queued->PostTo(&target, false));
	VTask::ExecuteMessages(false);
	EXPECT_TRUE(queued->Answered());
}

TEST(TaskMessages, WaitingForADeathKeepsExecutingTheWaitersMessages)
{
	// The dying task needs the main task before it can end.
	VTask* main = VTask::GetCurrent();
	std::atomic<bool> answered{false};
	VRefPtr<VTask> task = StartTask([&]() {
		answered = VFunctionMessage::PostToAndWait(main, []() {});
	});
	EXPECT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_TRUE(answered);
}

TEST(TaskMessages, ThreadsThatAreNoTaskWaitForADeathAsWell)
{
	Gate release;
	VRefPtr<VTask> task = StartTask([&]() { release.Wait(); });
	std::thread plain([&]() { EXPECT_TRUE(task->WaitForDeath(kHangMilliseconds)); });
	release.Open();
	plain.join();
}

TEST(TaskMessages, AKilledTaskAbortsTheMessagesLeftInItsQueue)
{
	// A task that executes no messages: what is sent or posted to it waits
	// until it ends.
	Gate release;
	VRefPtr<VTask> worker = StartTask([&]() { release.Wait(); });
	Target target;
	target.SetMessagingTask(worker->GetID());
	VRefPtr<GateMessage> posted = MakeGateMessage();
	ASSERT_TRUE(posted->PostTo(&target, false));
	std::atomic<int> sendAnswer{-1};
	VRefPtr<GateMessage> sent = MakeGateMessage();
	VRefPtr<VTask> sender = StartTask([&]() { sendAnswer = sent->SendTo(&target) ? 1 : 0; });
	VRefPtr<VMessageQueue> queue = VRefPtr<VMessageQueue>::Adopt(worker->RetainMessageQueue());
	while (queue->CountMessages() < 2)
		VTaskMgr::YieldNow();
	worker->Kill();
	release.Open();
	EXPECT_TRUE(worker->WaitForDeath(kHangMilliseconds));
	EXPECT_TRUE(sender->WaitForDeath(kHangMilliseconds));
	EXPECT_EQ(sendAnswer, 0);
	EXPECT_TRUE(posted->Aborted());
	EXPECT_FALSE(posted->fExecuted.IsOpen());
	// A dead task takes no more messages.
	EXPECT_FALSE(MakeGateMessage()->PostTo(&target, false));
}

TEST(TaskMessages, KillAllTasksAnswersTheMainTasksMessagesMeanwhile)
{
	// The worker is inside a send to the main task when it is killed: it can
	// only end once the main task has executed that message.
	Gate inside;
	VRefPtr<VTask> worker = StartMessageLoopTask();
	Target target;
	target.SetMessagingTask(worker->GetID());
	VTask* main = VTask::GetCurrent();
	std::atomic<bool> answered{false};
	ASSERT_TRUE(VFunctionMessage::PostFunctionTo(worker.Get(), [&]() {
		inside.Open();
		VRefPtr<VMessage> send = VRefPtr<VMessage>::Adopt(new VFunctionMessage([]() {}));
		answered = send->SendTo(main);
	}));
	ASSERT_TRUE(inside.Wait());
	VRefPtr<GateMessage> queued = MakeGateMessage();
	ASSERT_TRUE(queued->PostTo(&target, false));
	// Wakes the worker's wait for messages once it is dying.
	std::thread waker([&]() {
		while (!worker->IsDying())
			VTaskMgr::YieldNow();
		worker->SetMessageQueueEvent();
	});
	EXPECT_TRUE(VTaskMgr::Get()->KillAllTasks(kHangMilliseconds));
	waker.join();
	EXPECT_EQ(worker->GetState(), TS_DEAD);
	EXPECT_TRUE(answered);
	// Executed or aborted: nothing is left waiting.
	EXPECT_TRUE(queued->Answered() || queued->Aborted());
}

} // namespace
} // namespace qirn
