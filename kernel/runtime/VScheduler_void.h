#pragma once

#include "core/VObject.h"
#include "runtime/IFiberScheduler.h"

namespace qirn {

// The scheduler the task manager installs: every operation does nothing, so
// a process that is not fibered pays nothing. With it, a fiber task runs
// from its start to its end once started, and a fiber that waits on a flag
// or an event spins until another thread changes it: blocking waits in a
// fibered process need a real scheduler.
class VScheduler_void : public VObject, public IFiberScheduler {
public:
	void Yield() override {}
	void YieldNow() override {}
	void WaitFlag(std::atomic<int32>*, int32) override {}
	void WaitFlagWithTimeout(std::atomic<int32>*, int32, int32) override {}
	void SetSystemEventPolling(bool) override {}
	bool WithSystemEventPolling() const override { return true; }
	void PollAndExecuteUpdateEvent() override {}
	void SetDirectUpdate(bool) override {}
	void WakeUpSystemEventPolling() override {}
	void RequiresSystemEventPolling() override {}
	// Leaves the task to be started the ordinary way.
	bool RunFiber(VTask*, bool*) override { return false; }
	void SetSystemCallCFRunloop(bool) override {}
	void SetDirectUpdateAllowedEvenIfWaitingForFlag(bool) override {}
};

} // namespace qirn
