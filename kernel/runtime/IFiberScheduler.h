#pragma once

#include "core/IRefCountable.h"
#include "core/VKernelTypes.h"

#include <atomic>

namespace qirn {

class VTask;

// The policy behind the fiber tasks of a fibered process: who runs next.
// The kernel only relies on this contract:
// - WaitFlag suspends the calling fiber until the value at the flag differs
//   from the value given; WaitFlagWithTimeout also returns once the time-out
//   has passed;
// - Yield lets other fibers run when the scheduler wants, YieldNow at once;
// - WakeUpSystemEventPolling makes a scheduler that polls for system events
//   re-check its waiting fibers;
// - RunFiber may start a fiber task itself: it clears *ioGoOn when the task
//   manager must not start it the ordinary way, and then its answer is the
//   answer of VTask::Run;
// - SetDirectUpdateAllowedEvenIfWaitingForFlag is true around a fiber task's
//   wait for messages.
// Flags are atomic words: they are written by tasks on other threads.
class IFiberScheduler : public IRefCountable {
public:
	virtual void Yield() = 0;
	virtual void YieldNow() = 0;
	virtual void WaitFlag(std::atomic<int32>* inFlag, int32 inValue) = 0;
	virtual void WaitFlagWithTimeout(std::atomic<int32>* inFlag, int32 inValue, int32 inTimeoutMilliseconds) = 0;
	virtual void SetSystemEventPolling(bool inPolling) = 0;
	virtual bool WithSystemEventPolling() const = 0;
	virtual void PollAndExecuteUpdateEvent() = 0;
	virtual void SetDirectUpdate(bool inDirect) = 0;
	virtual void WakeUpSystemEventPolling() = 0;
	virtual void RequiresSystemEventPolling() = 0;
	virtual bool RunFiber(VTask* inTask, bool* ioGoOn) = 0;
	virtual void SetSystemCallCFRunloop(bool inCall) = 0;
	virtual void SetDirectUpdateAllowedEvenIfWaitingForFlag(bool inAllowed) = 0;
};

} // namespace qirn
