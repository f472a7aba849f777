// Delayed messages and cancelling messages across tasks.
#include "runtime/VMessage.h"
#include "runtime/VMessageQueue.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <algorithm>

namespace qirn {

namespace {

constexpr int32 kTicksPerSecond = 60;

// Whether the tick has passed, across the 32-bit clock's wrap-around.
bool IsBefore(uint32 inTick, uint32 inNow)
{
	return static_cast<int32>(inTick - inNow) < 0;
}

} // namespace

bool VTaskMgr::RegisterDelayedMessage(VMessage* inMessage, int32 inDelayMilliseconds)
{
	if (inMessage == nullptr)
		return false;
	const uint32 due = VSystem::GetCurrentTicks() +
			static_cast<uint32>(static_cast<int64>(std::max(inDelayMilliseconds, 0)) * kTicksPerSecond / 1000);
	inMessage->Retain();
	StLocker<XTaskMgrMutexImpl> lock(fLock);
	fDelayedMessages.push_back(DelayedMessage{inMessage, due});
	return true;
}

template <class Predicate>
VMessage* VTaskMgr::_TakeDelayedMessage(Predicate inPredicate)
{
	StLocker<XTaskMgrMutexImpl> lock(fLock);
	for (auto it = fDelayedMessages.begin(); it != fDelayedMessages.end(); ++it) {
		if (inPredicate(*it)) {
			VMessage* message = it->fMessage;
			fDelayedMessages.erase(it);
			return message;
		}
	}
	return nullptr;
}

void VTaskMgr::_CheckDelayedMessages()
{
	const uint32 now = VSystem::GetCurrentTicks();
	for (;;) {
		VMessage* due =
				_TakeDelayedMessage([now](const DelayedMessage& inDelayed) { return IsBefore(inDelayed.fDueTick, now); });
		if (due == nullptr)
			return;
		// Delivered after the lock: the queue may coalesce, and a refused or
		// stranded message is released, which may destroy it.
		due->RePost();
		due->Release();
	}
}

void VTaskMgr::CancelMessages(IMessageable* inTarget)
{
	for (;;) {
		VMessage* cancelled =
				_TakeDelayedMessage([inTarget](const DelayedMessage& inDelayed) { return inDelayed.fMessage->_IsFor(inTarget); });
		if (cancelled == nullptr)
			break;
		cancelled->Abort();
		cancelled->Release();
	}
	// Each queue aborts after its own lock; the tasks are held meanwhile.
	std::vector<VRefPtr<VTask>> tasks;
	GetTasks(tasks);
	for (VRefPtr<VTask>& task : tasks) {
		// A task without a queue has nothing to cancel; none is made for it.
		if (VMessageQueue* queue = task->fMessageQueue.load(std::memory_order_acquire))
			queue->CancelMessages(inTarget);
	}
}

void VTaskMgr::_AbortDelayedMessages()
{
	std::vector<DelayedMessage> messages;
	{
		StLocker<XTaskMgrMutexImpl> lock(fLock);
		messages.swap(fDelayedMessages);
	}
	for (DelayedMessage& delayed : messages) {
		delayed.fMessage->Abort();
		delayed.fMessage->Release();
	}
}

} // namespace qirn
