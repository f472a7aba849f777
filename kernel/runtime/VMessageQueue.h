#pragma once

#include "core/IRefCountable.h"
#include "core/VKernelTypes.h"
#include "core/VObject.h"
#include "runtime/VCriticalSection.h"

#include <deque>

namespace qirn {

class IMessageable;
class VMessage;
class VSyncEvent;

// A task's queue of messages. Its event is unlocked while messages wait or
// after SetEvent, which wakes the waiting task without a message.
class VMessageQueue : public VObject, public IRefCountable {
public:
	VMessageQueue();
	~VMessageQueue() override;

	VMessageQueue(const VMessageQueue&) = delete;
	VMessageQueue& operator=(const VMessageQueue&) = delete;

	// Queues the message (retained). False when a queued message with the
	// same non-zero coalescing signature refused it, or when the queue was
	// closed because its task has ended.
	bool AddMessage(VMessage* inMessage);
	// The front message, the queue's reference passed on; null when empty.
	VMessage* RetainMessage();
	// Waits at most inTimeoutMilliseconds for a message. Null with
	// outTimedOut false when SetEvent ended the wait.
	VMessage* RetainMessageWithTimeout(int32 inTimeoutMilliseconds, bool* outTimedOut = nullptr);
	// The same wait, taking no message; consumes a SetEvent.
	bool Wait(int32 inTimeoutMilliseconds);
	void SetEvent();
	uint32 GetStamp() const;

	// Aborts the messages for the target (for null: those without context).
	void CancelMessages(IMessageable* inTarget);
	void CancelMessages();
	bool RemoveMessage(VMessage* inMessage);
	int32 CountMessages() const;
	bool IsEmpty() const;

	// Aborts every message and refuses any later one: a message added after
	// its task ended would never execute, and its sender would wait for ever.
	void _CloseAndCancel();

private:
	template <class Predicate>
	void _CancelIf(Predicate inPredicate);
	// Under the lock: the event reflects an empty queue unless signalled.
	void _ResetIfIdle();

	std::deque<VMessage*> fMessages;
	mutable VCriticalSection fLock;
	VSyncEvent* fEvent;
	uint32 fStamp = 0;
	bool fSignalled = false;
	bool fClosed = false;
};

} // namespace qirn
