#include "runtime/IMessageable.h"
#include "runtime/VFunctionMessage.h"
#include "runtime/VMessage.h"
#include "runtime/VMessageQueue.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "runtime/tests/MessageLoopTask.h"
#include "testing/TestThreads.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <atomic>

namespace qirn {
namespace {

using testing::Gate;
using testing::kHangMilliseconds;
using testing::StartMessageLoopTask;
using testing::StartTask;
using testing::StopMessageLoopTask;

// Counts its executions and the task they ran on.
class CountingMessage : public VMessage {
public:
	std::atomic<int> fExecutions{0};
	std::atomic<int32> fTaskID{0};

protected:
	void DoExecute() override
	{
		fTaskID = VTask::GetCurrentID();
		++fExecutions;
	}
};

// Holds its task inside DoExecute until let go.
class BlockingMessage : public VMessage {
public:
	Gate fStarted;
	Gate fRelease;

protected:
	void DoExecute() override
	{
		fStarted.Open();
		fRelease.Wait();
	}
};

template <class Message>
VRefPtr<Message> Make()
{
	return VRefPtr<Message>::Adopt(new Message);
}

// A messaging fixture: a task executing its messages, and a target on it.
class Messaging : public ::testing::Test {
protected:
	void SetUp() override
	{
		fWorker = StartMessageLoopTask();
		fTarget.SetMessagingTask(fWorker->GetID());
	}
	void TearDown() override { StopMessageLoopTask(fWorker.Get()); }

	// Parks the worker inside a message until the returned message is let go.
	VRefPtr<BlockingMessage> BlockWorker()
	{
		VRefPtr<BlockingMessage> blocker = Make<BlockingMessage>();
		EXPECT_TRUE(blocker->PostTo(&fTarget, false));
		EXPECT_TRUE(blocker->fStarted.Wait());
		return blocker;
	}

	struct Target : IMessageable {};
	VRefPtr<VTask> fWorker;
	Target fTarget;
};

TEST_F(Messaging, ASendFromTheTargetsOwnTaskExecutesAtOnce)
{
	Target local; // on the main task
	VRefPtr<CountingMessage> message = Make<CountingMessage>();
	EXPECT_TRUE(message->SendTo(&local, 0));
	EXPECT_EQ(message->fExecutions, 1);
	EXPECT_TRUE(message->Answered());
}

TEST_F(Messaging, ASendExecutesOnTheTargetsTask)
{
	VRefPtr<CountingMessage> message = Make<CountingMessage>();
	EXPECT_TRUE(message->SendTo(&fTarget, kHangMilliseconds));
	EXPECT_EQ(message->fExecutions, 1);
	EXPECT_EQ(message->fTaskID, fWorker->GetID());
	// Executed, the message may go again.
	EXPECT_TRUE(message->SendTo(&fTarget));
	EXPECT_EQ(message->fExecutions, 2);
}

TEST_F(Messaging, ASendThatTimesOutBeforeItStartsIsNeverExecuted)
{
	VRefPtr<BlockingMessage> blocker = BlockWorker();
	VRefPtr<CountingMessage> late = Make<CountingMessage>();
	EXPECT_FALSE(late->SendTo(&fTarget, 20));
	EXPECT_TRUE(late->Aborted());
	blocker->fRelease.Open();
	// Everything queued before this send has run once it answers.
	EXPECT_TRUE(Make<CountingMessage>()->SendTo(&fTarget, kHangMilliseconds));
	EXPECT_EQ(late->fExecutions, 0);
}

TEST_F(Messaging, ASendWhoseTargetHasStartedWaitsForTheEnd)
{
	VRefPtr<BlockingMessage> message = Make<BlockingMessage>();
	std::atomic<int> answer{-1};
	VRefPtr<VTask> sender = StartTask([&]() { answer = message->SendTo(&fTarget, 20) ? 1 : 0; });
	ASSERT_TRUE(message->fStarted.Wait());
	// Gives the sender's time-out the time to pass while the message runs;
	// the answer does not depend on it.
	VSystem::Delay(50);
	message->fRelease.Open();
	ASSERT_TRUE(sender->WaitForDeath(kHangMilliseconds));
	EXPECT_EQ(answer, 1);
}

TEST_F(Messaging, PostsFromManyTasksAtOnceAllExecuteOnce)
{
	constexpr int kSenders = 4;
	constexpr int kPosts = 500;
	int executed = 0; // only the worker touches it
	std::vector<VRefPtr<VTask>> senders;
	for (int s = 0; s < kSenders; ++s) {
		senders.push_back(StartTask([&]() {
			for (int p = 0; p < kPosts; ++p)
				EXPECT_TRUE(VFunctionMessage::PostFunctionTo(fWorker.Get(), [&executed]() { ++executed; }));
		}));
	}
	for (VRefPtr<VTask>& sender : senders)
		ASSERT_TRUE(sender->WaitForDeath(kHangMilliseconds));
	int seen = 0;
	ASSERT_TRUE(VFunctionMessage::PostToAndWait(fWorker.Get(), [&]() { seen = executed; }));
	EXPECT_EQ(seen, kSenders * kPosts);
}

class RefusingMessage : public CountingMessage {
public:
	uint32 GetCoalescingSignature() const override { return 'once'; }
	bool DoCoalesce(const VMessage&) override { return false; }
};

TEST_F(Messaging, ConcurrentPostsWithOneSignatureQueueOneMessage)
{
	VRefPtr<BlockingMessage> blocker = BlockWorker();
	std::atomic<int> accepted{0};
	std::vector<VRefPtr<RefusingMessage>> messages;
	for (int m = 0; m < 8; ++m)
		messages.push_back(Make<RefusingMessage>());
	testing::RunOnThreads(8, [&](int inIndex) {
		if (messages[inIndex]->PostTo(&fTarget, false))
			++accepted;
	});
	EXPECT_EQ(accepted, 1);
	VRefPtr<VMessageQueue> queue = VRefPtr<VMessageQueue>::Adopt(fWorker->RetainMessageQueue());
	EXPECT_EQ(queue->CountMessages(), 1);
	blocker->fRelease.Open();
}

TEST_F(Messaging, PostAndWaitKeepsExecutingTheSendersMessages)
{
	// The worker's message needs the main task, which is itself waiting for
	// the worker: only executing its messages while it waits gets it through.
	VTask* main = VTask::GetCurrent();
	std::atomic<int32> ranOn{0};
	bool innerAnswered = false;
	ASSERT_TRUE(VFunctionMessage::PostToAndWait(fWorker.Get(), [&]() {
		innerAnswered = VFunctionMessage::PostToAndWait(main, [&]() { ranOn = VTask::GetCurrentID(); });
	}));
	EXPECT_TRUE(innerAnswered);
	EXPECT_EQ(ranOn, main->GetID());
}

TEST_F(Messaging, PostToMainTaskAndWaitRunsOnTheMainTask)
{
	std::atomic<int32> ranOn{0};
	std::atomic<bool> answered{false};
	VRefPtr<VTask> caller = StartTask([&]() {
		answered = VFunctionMessage::PostToMainTaskAndWait([&]() { ranOn = VTask::GetCurrentID(); }, false);
	});
	while (!answered)
		VTask::ExecuteMessagesWithTimeout(100, false);
	ASSERT_TRUE(caller->WaitForDeath(kHangMilliseconds));
	EXPECT_EQ(ranOn, VTask::GetCurrentID());
	// From the main task itself it runs at once.
	int32 direct = 0;
	EXPECT_TRUE(VFunctionMessage::PostToMainTaskAndWait([&]() { direct = VTask::GetCurrentID(); }, false));
	EXPECT_EQ(direct, VTask::GetCurrentID());
}

TEST_F(Messaging, NoDeliveryReachesAnObjectThatStoppedMessaging)
{
	fTarget.StopMessaging();
	const uint32 start = VSystem::GetCurrentTime();
	EXPECT_FALSE(Make<CountingMessage>()->SendTo(&fTarget, kHangMilliseconds));
	EXPECT_FALSE(Make<CountingMessage>()->SendTo(&fTarget));
	EXPECT_FALSE(Make<CountingMessage>()->PostTo(&fTarget, false));
	EXPECT_FALSE(Make<CountingMessage>()->PostTo(&fTarget, false, 10));
	// Nothing was posted, so there is nothing to wait for.
	EXPECT_FALSE(Make<CountingMessage>()->PostToAndWaitExecutingMessages(&fTarget));
	EXPECT_FALSE(Make<CountingMessage>()->PostToAndWaitExecutingMessages(&fTarget, kHangMilliseconds));
	EXPECT_LT(VSystem::GetCurrentTime() - start, static_cast<uint32>(kHangMilliseconds));
	fTarget.StartMessaging();
	EXPECT_TRUE(Make<CountingMessage>()->SendTo(&fTarget, kHangMilliseconds));
}

TEST_F(Messaging, PostingAQueuedMessageAgainQueuesNothing)
{
	VRefPtr<BlockingMessage> blocker = BlockWorker();
	VRefPtr<CountingMessage> message = Make<CountingMessage>();
	EXPECT_TRUE(message->PostTo(&fTarget, false));
	EXPECT_TRUE(message->PostTo(&fTarget, false));
	EXPECT_FALSE(message->SendTo(&fTarget, 1)); // already posted
	blocker->fRelease.Open();
	EXPECT_TRUE(Make<CountingMessage>()->SendTo(&fTarget, kHangMilliseconds));
	EXPECT_EQ(message->fExecutions, 1);
}

TEST(MessagingFunctions, AnEmptyFunctionIsRefusedAndNeverThrows)
{
	VTask* main = VTask::GetCurrent();
	EXPECT_FALSE(VFunctionMessage::PostFunctionTo(main, std::function<void()>()));
	EXPECT_FALSE(VFunctionMessage::PostToAndWait(main, std::function<void()>()));
	EXPECT_FALSE(VFunctionMessage::PostToMainTask(std::function<void()>(), false));
	VRefPtr<VMessage> empty = VRefPtr<VMessage>::Adopt(new VFunctionMessage(std::function<void()>()));
	EXPECT_TRUE(empty->SendTo(main));
}

TEST(MessagingFunctions, ARefusedRePostFreesTheMessageForALaterPost)
{
	struct Target : IMessageable {};
	Target target; // on the main task, which executes nothing meanwhile
	VRefPtr<RefusingMessage> queued = Make<RefusingMessage>();
	VRefPtr<RefusingMessage> delayed = Make<RefusingMessage>();
	ASSERT_TRUE(queued->PostTo(&target, false));
	ASSERT_TRUE(delayed->PostTo(&target, false, 1));
	delayed->RePost(); // as when it comes due: the queued one refuses it
	VTask::ExecuteMessages(false);
	EXPECT_EQ(queued->fExecutions, 1);
	EXPECT_TRUE(delayed->PostTo(&target, false));
	EXPECT_TRUE(VTask::GetCurrent()->IsAnyMessagePending());
	VTask::ExecuteMessages(false);
	EXPECT_EQ(delayed->fExecutions, 1);
}

TEST(MessagingFunctions, WaitAndExecuteMessagesEndsWhenTheQueueEventIsSet)
{
	VTask* main = VTask::GetCurrent();
	bool timedOut = false;
	EXPECT_TRUE(VTask::WaitAndExecuteMessages(0, &timedOut));
	EXPECT_TRUE(timedOut);
	VRefPtr<VTask> setter = StartTask([main]() { main->SetMessageQueueEvent(); });
	EXPECT_FALSE(VTask::WaitAndExecuteMessages(kHangMilliseconds, &timedOut));
	EXPECT_FALSE(timedOut);
	EXPECT_TRUE(setter->WaitForDeath(kHangMilliseconds));
}

TEST(MessagingFunctions, WaitAndExecuteMessagesExecutesWhatComes)
{
	VTask* main = VTask::GetCurrent();
	int executed = 0;
	VRefPtr<VTask> poster = StartTask([&]() {
		VFunctionMessage::PostFunctionTo(main, [&]() {
			++executed;
			// Ends the wait: the stamp changes.
			VTask::GetCurrent()->SetMessageQueueEvent();
		});
	});
	bool timedOut = true;
	EXPECT_FALSE(VTask::WaitAndExecuteMessages(kHangMilliseconds, &timedOut));
	EXPECT_FALSE(timedOut);
	EXPECT_EQ(executed, 1);
	ASSERT_TRUE(poster->WaitForDeath(kHangMilliseconds));
	// With nothing coming (and the signal above consumed), it answers true
	// at the time-out.
	VRefPtr<VMessageQueue>::Adopt(main->RetainMessageQueue())->Wait(0);
	EXPECT_TRUE(VTask::WaitAndExecuteMessages(20, &timedOut));
	EXPECT_TRUE(timedOut);
}

} // namespace
} // namespace qirn
