#include "runtime/VMessage.h"

#include "runtime/IMessageable.h"
#include "runtime/VMessageQueue.h"
#include "runtime/VMessagingContext.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <algorithm>

namespace qirn {

namespace {

// The task that receives the context's messages, when it is registered and
// not dead.
VRefPtr<VTask> GetReceivingTask(const VMessagingContext* inContext)
{
	if (!VTaskMgr::IsInited())
		return VRefPtr<VTask>();
	const int32 id = inContext->GetMessagingTask();
	return id != 0 ? VTaskMgr::Get()->GetTaskByID(id) : VRefPtr<VTask>();
}

} // namespace

VMessage::~VMessage()
{
	_DropContext();
}

VRefPtr<VTask> VMessage::_InstallContext(VMessagingContext* inContext)
{
	if (inContext == nullptr)
		return VRefPtr<VTask>();
	inContext->Retain();
	VMessagingContext* none = nullptr;
	if (!fContext.compare_exchange_strong(none, inContext, std::memory_order_acq_rel)) {
		inContext->Release();
		return VRefPtr<VTask>();
	}
	fAnswered.store(false, std::memory_order_release);
	fAborted.store(false, std::memory_order_release);
	fPostedTarget.store(inContext->GetTarget(), std::memory_order_release);
	VRefPtr<VTask> task;
	if (inContext->IsAccepting() && inContext->GetTarget() != nullptr)
		task = GetReceivingTask(inContext);
	if (!task)
		_DropContext();
	return task;
}

void VMessage::_DropContext()
{
	if (VMessagingContext* context = _TakeContext())
		context->Release();
}

bool VMessage::_IsFor(const IMessageable* inTarget) const
{
	if (inTarget == nullptr)
		return fContext.load(std::memory_order_acquire) == nullptr;
	return fPostedTarget.load(std::memory_order_acquire) == inTarget;
}

IMessageable* VMessage::GetExecutingTarget() const
{
	return fExecutingContext != nullptr ? fExecutingContext->GetTarget() : nullptr;
}

void VMessage::DoExecute()
{
	if (IMessageable* target = GetExecutingTarget())
		target->DoMessage(*this);
}

void VMessage::_Finish(VMessagingContext* inContext, bool inExecute)
{
	// The sender may drop its event and queue as soon as it sees the answer:
	// they are held until they have been told.
	VSyncEvent* event = RetainRefCountable(fAnswerEvent.load(std::memory_order_acquire));
	VMessageQueue* senderQueue = RetainRefCountable(fSenderQueue.load(std::memory_order_acquire));
	if (inExecute) {
		fExecutingContext = inContext;
		DoExecute();
		fExecutingContext = nullptr;
		fAnswered.store(true, std::memory_order_release);
	} else {
		fAborted.store(true, std::memory_order_release);
	}
	if (event != nullptr) {
		event->Unlock();
		event->Release();
	}
	if (senderQueue != nullptr) {
		senderQueue->SetEvent();
		senderQueue->Release();
	}
	inContext->Release();
}

void VMessage::Execute()
{
	if (VMessagingContext* context = _TakeContext())
		_Finish(context, true);
}

void VMessage::Abort()
{
	if (VMessagingContext* context = _TakeContext())
		_Finish(context, false);
}

bool VMessage::_Post(VTask* inTask, bool inExecuteNowIfSameTask)
{
	if (inExecuteNowIfSameTask && VTask::GetCurrent() == inTask) {
		Execute();
		return true;
	}
	if (!inTask->AddMessage(this)) {
		_DropContext();
		return false;
	}
	return true;
}

bool VMessage::_PostDelayed(int32 inDelayMilliseconds)
{
	if (VTaskMgr::Get()->RegisterDelayedMessage(this, inDelayMilliseconds))
		return true;
	_DropContext();
	return false;
}

bool VMessage::_Send(VTask* inTask, int32 inTimeoutMilliseconds, bool inForever)
{
	if (VTask::GetCurrent() == inTask) {
		Execute();
		return !Aborted();
	}
	VSyncEvent* event = new VSyncEvent;
	fAnswerEvent.store(event, std::memory_order_release);
	if (!inTask->AddMessage(this)) {
		_DropContext();
		fAnswerEvent.store(nullptr, std::memory_order_release);
		event->Release();
		return false;
	}
	VTask* caller = VTask::GetCurrent();
	const uint32 waitKind = caller != nullptr ? caller->_SetWaitKind(kTaskWaitAnswer) : kTaskWaitNone;
	// The event's wait counts from its own deadline, whatever wakes it early.
	bool answered = inForever ? event->Lock() : event->Lock(inTimeoutMilliseconds);
	if (!answered) {
		if (VMessagingContext* unclaimed = _TakeContext()) {
			// Never started: it stays queued without context and does nothing.
			fAborted.store(true, std::memory_order_release);
			unclaimed->Release();
		} else {
			// The target is executing it now.
			event->Lock();
		}
	}
	if (caller != nullptr)
		caller->_RestoreWaitKind(waitKind);
	fAnswerEvent.store(nullptr, std::memory_order_release);
	event->Release();
	return !Aborted();
}

bool VMessage::SendTo(IMessageable* inTarget, int32 inTimeoutMilliseconds)
{
	if (inTarget == nullptr)
		return false;
	VRefPtr<VMessagingContext> context = VRefPtr<VMessagingContext>::Adopt(inTarget->RetainMessagingContext());
	VRefPtr<VTask> task = _InstallContext(context.Get());
	return task && _Send(task.Get(), inTimeoutMilliseconds, false);
}

bool VMessage::SendTo(IMessageable* inTarget)
{
	if (inTarget == nullptr)
		return false;
	VRefPtr<VMessagingContext> context = VRefPtr<VMessagingContext>::Adopt(inTarget->RetainMessagingContext());
	VRefPtr<VTask> task = _InstallContext(context.Get());
	return task && _Send(task.Get(), 0, true);
}

bool VMessage::PostTo(IMessageable* inTarget, bool inExecuteNowIfSameTask, int32 inDelayMilliseconds)
{
	if (inTarget == nullptr)
		return false;
	if (fContext.load(std::memory_order_acquire) != nullptr)
		return true;
	VRefPtr<VMessagingContext> context = VRefPtr<VMessagingContext>::Adopt(inTarget->RetainMessagingContext());
	VRefPtr<VTask> task = _InstallContext(context.Get());
	if (!task)
		return false;
	return inDelayMilliseconds > 0 ? _PostDelayed(inDelayMilliseconds) : _Post(task.Get(), inExecuteNowIfSameTask);
}

bool VMessage::SendOrPostTo(VMessagingContext* inContext, int32 inDelayMilliseconds, bool inExecuteNowIfSameTask,
		bool inSend, int32 inTimeoutMilliseconds)
{
	VRefPtr<VTask> task = _InstallContext(inContext);
	if (!task)
		return false;
	if (inDelayMilliseconds > 0)
		return _PostDelayed(inDelayMilliseconds);
	return inSend ? _Send(task.Get(), inTimeoutMilliseconds, false) : _Post(task.Get(), inExecuteNowIfSameTask);
}

void VMessage::RePost()
{
	VMessagingContext* context = _TakeContext();
	if (context == nullptr)
		return;
	VRefPtr<VTask> task = GetReceivingTask(context);
	if (task && context->IsAccepting()) {
		fContext.store(context, std::memory_order_release);
		if (task->AddMessage(this))
			return;
		// Refused: the message is free to be posted again.
		context = _TakeContext();
		if (context == nullptr)
			return;
	}
	context->Release();
}

bool VMessage::PostToAndWaitExecutingMessages(IMessageable* inTarget, int32 inTimeoutMilliseconds)
{
	return _WaitExecutingMessages(inTarget, inTimeoutMilliseconds, false);
}

bool VMessage::PostToAndWaitExecutingMessages(IMessageable* inTarget)
{
	return _WaitExecutingMessages(inTarget, 0, true);
}

bool VMessage::_WaitExecutingMessages(IMessageable* inTarget, int32 inTimeoutMilliseconds, bool inForever)
{
	if (inTarget == nullptr || fContext.load(std::memory_order_acquire) != nullptr)
		return false;
	VTask* caller = VTask::GetCurrent();
	// A thread that is no task has no messages to execute: it waits on a
	// queue of its own, which the execution signals all the same.
	VMessageQueue* queue = caller != nullptr ? caller->RetainMessageQueue() : new VMessageQueue;
	fSenderQueue.store(queue, std::memory_order_release);
	bool posted = false;
	{
		VRefPtr<VMessagingContext> context = VRefPtr<VMessagingContext>::Adopt(inTarget->RetainMessagingContext());
		VRefPtr<VTask> task = _InstallContext(context.Get());
		posted = task && _Post(task.Get(), true);
	}
	if (posted) {
		const uint32 start = VSystem::GetCurrentTime();
		while (!Answered() && !Aborted()) {
			int32 slice = 1000;
			if (!inForever) {
				const uint32 elapsed = VSystem::GetCurrentTime() - start;
				if (inTimeoutMilliseconds <= 0 || elapsed >= static_cast<uint32>(inTimeoutMilliseconds))
					break;
				slice = static_cast<int32>(std::min<uint32>(static_cast<uint32>(inTimeoutMilliseconds) - elapsed, 1000));
			}
			if (caller != nullptr) {
				const uint32 waitKind = caller->_SetWaitKind(kTaskWaitAnswer);
				VTask::ExecuteMessagesWithTimeout(slice, true);
				caller->_RestoreWaitKind(waitKind);
				if (caller->IsDying())
					break;
			} else {
				queue->Wait(slice);
			}
		}
		if (!Answered()) {
			if (VMessagingContext* unclaimed = _TakeContext()) {
				fAborted.store(true, std::memory_order_release);
				unclaimed->Release();
			} else {
				// The target is executing it now.
				while (!Answered() && !Aborted()) {
					if (caller != nullptr)
						VTask::Sleep(10);
					else
						queue->Wait(10);
				}
			}
		}
	}
	fSenderQueue.store(nullptr, std::memory_order_release);
	queue->Release();
	return Answered();
}

} // namespace qirn
