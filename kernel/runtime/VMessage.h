#pragma once

#include "core/IRefCountable.h"
#include "core/VKernelTypes.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"

#include <atomic>

namespace qirn {

class IMessageable;
class VMessageQueue;
class VMessagingContext;
class VSyncEvent;
class VTask;

// A piece of work executed on the task of its target. The message holds the
// target's context while it is posted or sent; execution, abortion and
// time-out each claim it by exchange, so exactly one of them acts.
class VMessage : public VObject, public IRefCountable {
public:
	VMessage() = default;
	~VMessage() override;

	VMessage(const VMessage&) = delete;
	VMessage& operator=(const VMessage&) = delete;

	// Blocks until executed on the target's task; false when refused, timed
	// out before the target started it, or aborted.
	bool SendTo(IMessageable* inTarget, int32 inTimeoutMilliseconds);
	bool SendTo(IMessageable* inTarget);
	// Queues the message (after a delay, when one is given); true when it is
	// already posted.
	bool PostTo(IMessageable* inTarget, bool inExecuteNowIfSameTask, int32 inDelayMilliseconds = 0);
	// Posts, then executes the caller's own messages until this one is answered.
	bool PostToAndWaitExecutingMessages(IMessageable* inTarget, int32 inTimeoutMilliseconds);
	bool PostToAndWaitExecutingMessages(IMessageable* inTarget);
	bool SendOrPostTo(VMessagingContext* inContext, int32 inDelayMilliseconds, bool inExecuteNowIfSameTask, bool inSend,
			int32 inTimeoutMilliseconds);

	void Execute();
	void Abort();
	// Delivers a delayed message that has come due; a message whose target
	// or task has gone is dropped.
	void RePost();
	bool Answered() const { return fAnswered.load(std::memory_order_acquire); }
	bool Aborted() const { return fAborted.load(std::memory_order_acquire); }
	void AnswerIt() { fAnswered.store(true, std::memory_order_release); }

	// 0: never coalesced with a queued message.
	virtual uint32 GetCoalescingSignature() const { return 0; }
	// Asked of a queued message with the new one's signature: false keeps the
	// new message out.
	virtual bool DoCoalesce(const VMessage& /*inNewMessage*/) { return true; }

	// Whether the message is posted for the target (for null: whether it
	// holds no context). Compares identities only.
	bool _IsFor(const IMessageable* inTarget) const;

protected:
	// By default the target's DoMessage, when the target still exists.
	virtual void DoExecute();
	// The target of the message being executed, null when it is gone.
	IMessageable* GetExecutingTarget() const;

private:
	// Holds the context when it may take messages, and answers the task that
	// receives them (null when refused).
	VRefPtr<VTask> _InstallContext(VMessagingContext* inContext);
	VMessagingContext* _TakeContext() { return fContext.exchange(nullptr, std::memory_order_acq_rel); }
	void _DropContext();
	// Executes (or aborts) with the claimed context; wakes the sender.
	void _Finish(VMessagingContext* inContext, bool inExecute);
	bool _Send(VTask* inTask, int32 inTimeoutMilliseconds, bool inForever);
	bool _Post(VTask* inTask, bool inExecuteNowIfSameTask);
	bool _PostDelayed(int32 inDelayMilliseconds);
	bool _WaitExecutingMessages(IMessageable* inTarget, int32 inTimeoutMilliseconds, bool inForever);

	std::atomic<VMessagingContext*> fContext{nullptr};
	std::atomic<const IMessageable*> fPostedTarget{nullptr};
	VMessagingContext* fExecutingContext = nullptr;
	std::atomic<VSyncEvent*> fAnswerEvent{nullptr};
	std::atomic<VMessageQueue*> fSenderQueue{nullptr};
	std::atomic<bool> fAnswered{false};
	std::atomic<bool> fAborted{false};
};

} // namespace qirn
