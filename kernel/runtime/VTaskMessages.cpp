// The message queue and the idle step of tasks.
#include "runtime/IFiberScheduler.h"
#include "runtime/IIdleable.h"
#include "runtime/VErrorContext.h"
#include "runtime/VMessage.h"
#include "runtime/VMessageQueue.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <algorithm>

namespace qirn {

namespace {

// The slices in which long waits for messages are cut, so that a dying task
// or a changed stamp is noticed.
constexpr int32 kWaitSliceMilliseconds = 1000;

} // namespace

VMessageQueue* VTask::_GetMessageQueue()
{
	VMessageQueue* queue = fMessageQueue.load(std::memory_order_acquire);
	if (queue != nullptr)
		return queue;
	VMessageQueue* made = new VMessageQueue;
	if (fMessageQueue.compare_exchange_strong(queue, made, std::memory_order_acq_rel))
		return made;
	made->Release();
	return queue;
}

VMessageQueue* VTask::RetainMessageQueue()
{
	return RetainRefCountable(_GetMessageQueue());
}

bool VTask::AddMessage(VMessage* inMessage)
{
	return _GetMessageQueue()->AddMessage(inMessage);
}

bool VTask::IsAnyMessagePending() const
{
	VMessageQueue* queue = fMessageQueue.load(std::memory_order_acquire);
	return queue != nullptr && !queue->IsEmpty();
}

void VTask::SetMessageQueueEvent()
{
	_GetMessageQueue()->SetEvent();
	fQueueStamp.fetch_add(1, std::memory_order_acq_rel);
}

VMessage* VTask::_RetainMessageWithTimeout(int32 inTimeoutMilliseconds, bool* outTimedOut)
{
	const uint32 waitKind = _SetWaitKind(kTaskWaitMessage);
	// A fiber's scheduler may update the display while the fiber waits for
	// messages.
	IFiberScheduler* scheduler = !fIsPreemptive && GetCurrent() == this ? fManager->RetainFiberScheduler() : nullptr;
	if (scheduler != nullptr)
		scheduler->SetDirectUpdateAllowedEvenIfWaitingForFlag(true);
	VMessage* message = _GetMessageQueue()->RetainMessageWithTimeout(inTimeoutMilliseconds, outTimedOut);
	if (scheduler != nullptr) {
		scheduler->SetDirectUpdateAllowedEvenIfWaitingForFlag(false);
		scheduler->Release();
	}
	_RestoreWaitKind(waitKind);
	return message;
}

VMessage* VTask::RetainMessageWithTimeout(int32 inTimeoutMilliseconds)
{
	VTask* task = GetCurrent();
	return task != nullptr ? task->_RetainMessageWithTimeout(inTimeoutMilliseconds) : nullptr;
}

void VTask::ExecuteMessages(bool inWithIdle)
{
	if (VTask* task = GetCurrent())
		task->_ExecuteMessages(nullptr, inWithIdle);
}

void VTask::ExecuteMessagesWithTimeout(int32 inTimeoutMilliseconds, bool inWithIdle)
{
	if (VTask* task = GetCurrent())
		task->_ExecuteMessages(task->_RetainMessageWithTimeout(inTimeoutMilliseconds), inWithIdle);
}

void VTask::CancelMessages(IMessageable* inTarget)
{
	VTask* task = GetCurrent();
	VMessageQueue* queue = task != nullptr ? task->fMessageQueue.load(std::memory_order_acquire) : nullptr;
	if (queue != nullptr)
		queue->CancelMessages(inTarget);
}

void VTask::_ExecuteMessages(VMessage* inFirst, bool inWithIdle)
{
	VMessageQueue* queue = _GetMessageQueue();
	VMessage* message = inFirst != nullptr ? inFirst : queue->RetainMessage();
	const bool found = message != nullptr;
	while (message != nullptr) {
		{
			// A message's errors are its own; they end with it.
			StErrorContextInstaller errors(false, false);
			message->Execute();
		}
		message->Release();
		message = queue->RetainMessage();
	}
	// There are no system messages to check for on this platform.
	if (!found && inWithIdle)
		_CheckIdleEvents();
	_NoteExecution();
}

bool VTask::_CheckIdleEvents()
{
	if (fInsideIdle)
		return false;
	const uint32 now = VSystem::GetCurrentTicks();
	if (now - fLastIdleTick <= fIdlePeriod)
		return false;
	fInsideIdle = true;
	fLastIdleTick = now;
	DoIdle();
	CallIdlers();
	fManager->_CheckDelayedMessages();
	fInsideIdle = false;
	return true;
}

bool VTask::_WaitAndExecuteMessages(int32 inTimeoutMilliseconds, bool inForever, bool* outTimedOut)
{
	const uint32 stamp = GetMessageQueueStamp();
	const uint32 start = VSystem::GetCurrentTime();
	if (GetState() >= TS_DYING)
		return false;
	for (;;) {
		if (GetMessageQueueStamp() != stamp)
			return false;
		int32 slice = kWaitSliceMilliseconds;
		if (!inForever) {
			const uint32 elapsed = VSystem::GetCurrentTime() - start;
			slice = static_cast<int32>(std::min<uint32>(
					elapsed < static_cast<uint32>(inTimeoutMilliseconds) ? static_cast<uint32>(inTimeoutMilliseconds) - elapsed : 0,
					kWaitSliceMilliseconds));
		}
		bool timedOut = false;
		VMessage* message = _RetainMessageWithTimeout(slice, &timedOut);
		if (message == nullptr && !timedOut)
			return false;
		_ExecuteMessages(message, true);
		if (!inForever && VSystem::GetCurrentTime() - start >= static_cast<uint32>(inTimeoutMilliseconds)) {
			if (outTimedOut != nullptr)
				*outTimedOut = true;
			return true;
		}
		if (GetState() >= TS_DYING)
			return false;
	}
}

bool VTask::WaitAndExecuteMessages(int32 inTimeoutMilliseconds, bool* outTimedOut)
{
	if (outTimedOut != nullptr)
		*outTimedOut = false;
	if (inTimeoutMilliseconds <= 0) {
		if (outTimedOut != nullptr)
			*outTimedOut = true;
		return true;
	}
	VTask* task = GetCurrent();
	return task != nullptr && task->_WaitAndExecuteMessages(inTimeoutMilliseconds, false, outTimedOut);
}

void VTask::WaitAndExecuteMessages()
{
	if (VTask* task = GetCurrent())
		task->_WaitAndExecuteMessages(0, true, nullptr);
}

void VTask::RegisterIdler(IIdleable* inIdler)
{
	StLocker<XTaskMgrMutexImpl> lock(fManager->GetLock());
	if (std::find(fIdlers.begin(), fIdlers.end(), inIdler) == fIdlers.end())
		fIdlers.push_back(inIdler);
	fCallingIdlers.store(false, std::memory_order_release);
}

void VTask::UnregisterIdler(IIdleable* inIdler)
{
	const bool onTask = GetCurrent() == this;
	for (;;) {
		{
			StLocker<XTaskMgrMutexImpl> lock(fManager->GetLock());
			fIdlers.erase(std::remove(fIdlers.begin(), fIdlers.end(), inIdler), fIdlers.end());
			fCallingIdlers.store(false, std::memory_order_release);
			// From another thread, the idler may be inside its DoIdle right
			// now: it is gone only once that call has come back, so that it
			// may be destroyed after this.
			if (onTask || fIdlerBeingCalled != inIdler)
				return;
		}
		VTaskMgr::YieldNow();
	}
}

void VTask::CallIdlers()
{
	if (GetCurrent() != this)
		return;
	std::vector<IIdleable*> idlers;
	{
		StLocker<XTaskMgrMutexImpl> lock(fManager->GetLock());
		idlers = fIdlers;
		fCallingIdlers.store(true, std::memory_order_release);
	}
	for (IIdleable* idler : idlers) {
		{
			// A registration or removal meanwhile ends the pass: the rest of
			// the copy may be gone.
			StLocker<XTaskMgrMutexImpl> lock(fManager->GetLock());
			if (!fCallingIdlers.load(std::memory_order_acquire))
				break;
			fIdlerBeingCalled = idler;
		}
		idler->Idle();
		StLocker<XTaskMgrMutexImpl> lock(fManager->GetLock());
		fIdlerBeingCalled = nullptr;
	}
}

} // namespace qirn
