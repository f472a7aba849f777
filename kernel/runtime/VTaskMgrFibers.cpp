// The task manager's side of fibers: yields and waits forwarded to the fiber
// scheduler, hand-overs between fibers, and the update-events polling.
#include "runtime/IFiberScheduler.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VFunctionMessage.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "runtime/platform/XLinuxTask.h"

#include <sched.h>

namespace qirn {

namespace {

// The scheduler for the calling fiber task; null off a fiber task.
IFiberScheduler* RetainSchedulerForCurrentFiber()
{
	return VTaskMgr::IsCurrentFiber() ? VTaskMgr::Get()->RetainFiberScheduler() : nullptr;
}

constexpr int32 kUpdateEventsPeriodMilliseconds = 10;

// One firing of the update-events polling: posted on the task that began it,
// then again every period until stopped.
void PostUpdateEventsFiring(std::shared_ptr<std::atomic<bool>> inStopped, int32 inDelayMilliseconds)
{
	VTask* task = VTask::GetCurrent();
	if (task == nullptr)
		return;
	VRefPtr<VMessage> message = VRefPtr<VMessage>::Adopt(new VFunctionMessage([inStopped]() {
		if (inStopped->load(std::memory_order_acquire))
			return;
		VTaskMgr::Yield();
		VTaskMgr::Get()->PollAndExecuteUpdateEvent();
		if (!inStopped->load(std::memory_order_acquire))
			PostUpdateEventsFiring(inStopped, kUpdateEventsPeriodMilliseconds);
	}));
	message->PostTo(task, false, inDelayMilliseconds);
}

} // namespace

bool VTaskMgr::IsCurrentFiber()
{
	if (!IsInited())
		return false;
	VTask* task = GetCurrentTask();
	return task != nullptr && !task->IsPreemptive();
}

void VTaskMgr::Yield()
{
	if (IFiberScheduler* scheduler = RetainSchedulerForCurrentFiber()) {
		scheduler->Yield();
		scheduler->Release();
	}
}

void VTaskMgr::YieldNow()
{
	if (IFiberScheduler* scheduler = RetainSchedulerForCurrentFiber()) {
		scheduler->YieldNow();
		scheduler->Release();
	} else {
		::sched_yield();
	}
}

void VTaskMgr::CurrentFiberWaitFlag(std::atomic<int32>* inFlag, int32 inValue)
{
	if (IFiberScheduler* scheduler = RetainSchedulerForCurrentFiber()) {
		scheduler->WaitFlag(inFlag, inValue);
		scheduler->Release();
	}
}

void VTaskMgr::CurrentFiberWaitFlagWithTimeout(std::atomic<int32>* inFlag, int32 inValue, int32 inTimeoutMilliseconds)
{
	if (IFiberScheduler* scheduler = RetainSchedulerForCurrentFiber()) {
		scheduler->WaitFlagWithTimeout(inFlag, inValue, inTimeoutMilliseconds);
		scheduler->Release();
	}
}

void VTaskMgr::SetFiberScheduler(IFiberScheduler* inScheduler)
{
	if (inScheduler == nullptr)
		return;
	inScheduler->Retain();
	IFiberScheduler* old = nullptr;
	{
		StLocker<XTaskMgrMutexImpl> lock(fLock);
		old = std::exchange(fFiberScheduler, inScheduler);
	}
	if (old != nullptr)
		old->Release();
}

IFiberScheduler* VTaskMgr::RetainFiberScheduler() const
{
	StLocker<XTaskMgrMutexImpl> lock(fLock);
	if (fFiberScheduler != nullptr)
		fFiberScheduler->Retain();
	return fFiberScheduler;
}

void VTaskMgr::FiberStoppedBeingScheduled(VTask* inTask)
{
	if (inTask == nullptr || !inTask->IsFiber() || inTask == GetCurrentTask() || inTask->GetState() == TS_DEAD)
		return;
	inTask->_SetStateDead();
}

bool VTaskMgr::YieldToFiber(VTask* inTask)
{
	return fPlatform.YieldToFiber(inTask);
}

void VTaskMgr::SetSystemEventPolling(bool inPolling)
{
	if (IFiberScheduler* scheduler = RetainFiberScheduler()) {
		scheduler->SetSystemEventPolling(inPolling);
		scheduler->Release();
	}
}

void VTaskMgr::WakeUpSystemEventPolling()
{
	if (IFiberScheduler* scheduler = RetainFiberScheduler()) {
		scheduler->WakeUpSystemEventPolling();
		scheduler->Release();
	}
}

void VTaskMgr::PollAndExecuteUpdateEvent()
{
	if (IFiberScheduler* scheduler = RetainFiberScheduler()) {
		scheduler->PollAndExecuteUpdateEvent();
		scheduler->Release();
	}
}

void VTaskMgr::SetDirectUpdate(bool inDirect)
{
	if (IFiberScheduler* scheduler = RetainFiberScheduler()) {
		scheduler->SetDirectUpdate(inDirect);
		scheduler->Release();
	}
}

void VTaskMgr::MAC_BeginHandlingUpdateEventsOnly()
{
	std::shared_ptr<std::atomic<bool>> stopped;
	{
		StLocker<XTaskMgrMutexImpl> lock(fLock);
		if (++fUpdateEventsNesting != 1)
			return;
		stopped = std::make_shared<std::atomic<bool>>(false);
		fUpdateEventsStopped = stopped;
	}
	SetSystemEventPolling(false);
	PostUpdateEventsFiring(stopped, 0);
}

void VTaskMgr::MAC_StopHandlingUpdateEventsOnly()
{
	{
		StLocker<XTaskMgrMutexImpl> lock(fLock);
		if (fUpdateEventsNesting <= 0 || --fUpdateEventsNesting != 0)
			return;
		if (fUpdateEventsStopped != nullptr)
			fUpdateEventsStopped->store(true, std::memory_order_release);
		fUpdateEventsStopped.reset();
	}
	SetSystemEventPolling(true);
}

} // namespace qirn
