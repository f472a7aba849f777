#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "runtime/platform/XLinuxFiber.h"
#include "runtime/platform/XLinuxTask.h"
#include "runtime/platform/XLinuxTaskMgr.h"

namespace qirn {

XLinuxTask_fiber::~XLinuxTask_fiber() = default;

bool XLinuxTask_fiber::Run()
{
	// Only a task can hand over: a thread that is no task has no fiber to
	// come back to.
	VTask* current = XLinuxTaskMgr::GetCurrentTask();
	XLinuxTask* caller = current != nullptr ? current->GetPlatformTask() : nullptr;
	if (caller == nullptr)
		return false;
	// A thread task of a fibered process gets a fiber for its thread at its
	// first fiber start: the started fiber hands back to it.
	if (caller->GetFiber() == nullptr) {
		XLinuxFiber* own = XLinuxFiber::CreateFiberForThread();
		if (own == nullptr)
			return false;
		caller->SetFiber(own);
	}
	XLinuxFiber* fiber = XLinuxFiber::Create(fTask->GetStackSize(), [this]() { _Entry(); });
	if (fiber == nullptr)
		return false;
	SetFiber(fiber);
	fSchedulingTask = GetSchedulingTaskOf(current);
	XLinuxFiber::YieldTo(caller->GetFiber(), fiber);
	return true;
}

void XLinuxTask_fiber::_Entry()
{
	_RecordCurrentThread(true);
	VTask* task = fTask;
	XLinuxTaskMgr::SetCurrentTask(task);
	task->_Run();
	XLinuxTaskMgr::SetCurrentTask(nullptr);
	// Read before the task is dead: from then on it may be purged at once.
	XLinuxTask* back = fSchedulingTask != nullptr ? fSchedulingTask->GetPlatformTask() : nullptr;
	XLinuxFiber* backFiber = back != nullptr ? back->GetFiber() : nullptr;
	task->_SetStateDead();
	if (backFiber != nullptr)
		backFiber->WakeUp();
}

void XLinuxTask_fiber::WakeUp()
{
	fWakeFlag.fetch_add(1, std::memory_order_acq_rel);
	VTaskMgr::YieldNow();
}

void XLinuxTask_fiber::Freeze()
{
	VTaskMgr::CurrentFiberWaitFlag(&fWakeFlag, fWakeFlag.load(std::memory_order_acquire));
}

void XLinuxTask_fiber::Sleep(int32 inMilliseconds)
{
	VTaskMgr::CurrentFiberWaitFlagWithTimeout(&fWakeFlag, fWakeFlag.load(std::memory_order_acquire), inMilliseconds);
}

} // namespace qirn
