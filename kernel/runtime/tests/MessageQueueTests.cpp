#include "runtime/IMessageable.h"
#include "runtime/VMessage.h"
#include "runtime/VMessageQueue.h"
#include "runtime/VTask.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

class CoalescingMessage : public VMessage {
public:
	CoalescingMessage(uint32 inSignature, bool inCoalesce) : fSignature(inSignature), fCoalesce(inCoalesce) {}
	uint32 GetCoalescingSignature() const override { return fSignature; }
	bool DoCoalesce(const VMessage&) override { return fCoalesce; }

private:
	uint32 fSignature;
	bool fCoalesce;
};

VRefPtr<VMessage> MakeMessage(uint32 inSignature, bool inCoalesce)
{
	return VRefPtr<VMessage>::Adopt(new CoalescingMessage(inSignature, inCoalesce));
}

TEST(MessageQueue, CoalescingDecidesWhetherASecondMessageIsQueued)
{
	struct Row {
		const char* name;
		uint32 queuedSignature;
		bool queuedCoalesces;
		uint32 newSignature;
		bool added;
	};
	const Row rows[] = {
			{"signature 0 is never coalesced", 0, false, 0, true},
			{"a refusing queued message keeps the new one out", 7, false, 7, false},
			{"an accepting queued message lets it in", 7, true, 7, true},
			{"different signatures never meet", 7, false, 8, true},
	};
	for (const Row& row : rows) {
		SCOPED_TRACE(row.name);
		VRefPtr<VMessageQueue> queue = VRefPtr<VMessageQueue>::Adopt(new VMessageQueue);
		ASSERT_TRUE(queue->AddMessage(MakeMessage(row.queuedSignature, row.queuedCoalesces).Get()));
		EXPECT_EQ(queue->AddMessage(MakeMessage(row.newSignature, false).Get()), row.added);
		EXPECT_EQ(queue->CountMessages(), row.added ? 2 : 1);
	}
}

TEST(MessageQueue, SetEventWakesAWaitWithoutAMessage)
{
	VRefPtr<VMessageQueue> queue = VRefPtr<VMessageQueue>::Adopt(new VMessageQueue);
	bool timedOut = true;
	queue->SetEvent();
	EXPECT_EQ(queue->RetainMessageWithTimeout(60000, &timedOut), nullptr);
	EXPECT_FALSE(timedOut);
	// The signal is consumed: the next wait times out.
	EXPECT_EQ(queue->RetainMessageWithTimeout(1, &timedOut), nullptr);
	EXPECT_TRUE(timedOut);
}

TEST(MessageQueue, MessagesComeOutInOrder)
{
	VRefPtr<VMessageQueue> queue = VRefPtr<VMessageQueue>::Adopt(new VMessageQueue);
	VRefPtr<VMessage> first = MakeMessage(0, true);
	VRefPtr<VMessage> second = MakeMessage(0, true);
	queue->AddMessage(first.Get());
	queue->AddMessage(second.Get());
	bool timedOut = true;
	VRefPtr<VMessage> out = VRefPtr<VMessage>::Adopt(queue->RetainMessageWithTimeout(60000, &timedOut));
	EXPECT_EQ(out.Get(), first.Get());
	EXPECT_FALSE(timedOut);
	out = VRefPtr<VMessage>::Adopt(queue->RetainMessage());
	EXPECT_EQ(out.Get(), second.Get());
	EXPECT_TRUE(queue->IsEmpty());
	EXPECT_EQ(queue->RetainMessage(), nullptr);
}

TEST(MessageQueue, CancellingForATargetAbortsOnlyItsMessages)
{
	struct Target : IMessageable {};
	Target kept;
	Target cancelled;
	VRefPtr<VMessage> forKept = MakeMessage(0, true);
	VRefPtr<VMessage> forCancelled = MakeMessage(0, true);
	// Posted to the current (main) task's queue, which nobody executes here.
	ASSERT_TRUE(forCancelled->PostTo(&cancelled, false));
	ASSERT_TRUE(forKept->PostTo(&kept, false));
	VTask::CancelMessages(&cancelled);
	EXPECT_TRUE(forCancelled->Aborted());
	EXPECT_FALSE(forKept->Aborted());
	VTask::CancelMessages(&kept);
	EXPECT_TRUE(forKept->Aborted());
	EXPECT_FALSE(VTask::GetCurrent()->IsAnyMessagePending());
}

TEST(MessageQueue, RemoveMessageTakesOutOnlyAQueuedMessage)
{
	VRefPtr<VMessageQueue> queue = VRefPtr<VMessageQueue>::Adopt(new VMessageQueue);
	VRefPtr<VMessage> message = MakeMessage(0, true);
	queue->AddMessage(message.Get());
	EXPECT_TRUE(queue->RemoveMessage(message.Get()));
	EXPECT_FALSE(queue->RemoveMessage(message.Get()));
	EXPECT_EQ(message->GetRefCount(), 1u);
}

} // namespace
} // namespace qirn
