#pragma once

#include "core/VKernelTypes.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "runtime/platform/XLinuxTaskMgr.h"
#include "runtime/platform/XTaskMgrMutexImpl.h"

#include <atomic>
#include <deque>
#include <memory>
#include <vector>

namespace qirn {

class IFiberScheduler;
class IMessageable;
class VMessage;
class VProcess;
class VTask;

// The process-wide task manager: the main task, the registry of started
// tasks, task ids, per-task data keys and stack sizes. Locks ask it for the
// calling task's id; a thread that is no kernel task is identified by its
// own thread id, before Init as after, so that sections always exclude.
class VTaskMgr : public VObject {
public:
	using DataDestructor = void (*)(void*);

	VTaskMgr();
	~VTaskMgr() override;

	VTaskMgr(const VTaskMgr&) = delete;
	VTaskMgr& operator=(const VTaskMgr&) = delete;

	static VTaskMgr* Get() { return sInstance; }
	static bool IsInited() { return sInstanceInited.load(std::memory_order_acquire); }

	// Makes the main task on the calling thread, then configures the spin
	// locks. Answers whether the manager is usable.
	static bool Init(VProcess* inProcess);
	static void DeInit();

	// Ids and the registry.
	int32 GetNewTaskID(VTask* inTask);
	void RegisterTask(VTask* inTask);
	void PurgeDeadTasks();
	// With false: the tasks running or dying, main task included; with
	// true: those created, starting or running.
	int32 GetTaskCount(bool inCreatedToRunning) const;
	VTask* RetainTaskByID(int32 inID) const;
	VRefPtr<VTask> GetTaskByID(int32 inID) const;
	void GetTasks(std::vector<VRefPtr<VTask>>& outTasks) const;
	uint32 GetRegistryStamp() const { return fRegistryStamp.load(std::memory_order_relaxed); }
	VTask* GetMainTask() const { return fMainTask; }
	// Only the main task may kill the others; answers whether no task but
	// the main task is left registered.
	bool KillAllTasks(int32 inTimeoutMilliseconds);

	static int32 GetCurrentTaskID() { return XLinuxTaskMgr::GetCurrentTaskID(); }
	static VTask* GetCurrentTask() { return XLinuxTaskMgr::GetCurrentTask(); }

	// Stacks.
	size_t GetStackSizeForMainTask();
	size_t GetDefaultStackSize();
	void SetDefaultStackSize(size_t inSize);
	size_t GetCurrentFreeStackSize() const;

	// Per-task data keys; keys count from 1.
	size_t CreateDataKey(DataDestructor inDestructor);
	void DeleteDataKey(size_t inKey);
	bool CheckDataKey(size_t inKey) const;
	void DisposeData(std::vector<void*>::iterator inFirst, std::vector<void*>::iterator inLast);

	// Messages posted with a delay wait here (retained) until the idle step
	// of some task finds them due, to the tick of the 60 Hz clock.
	bool RegisterDelayedMessage(VMessage* inMessage, int32 inDelayMilliseconds);
	void _CheckDelayedMessages();
	// Aborts the target's delayed messages and those queued on every task.
	void CancelMessages(IMessageable* inTarget);

	// Yielding and fibers. On a fiber task (in a fibered process: the main
	// task and the tasks of style 3) these go to the fiber scheduler; on any
	// other thread Yield does nothing and YieldNow gives up the processor.
	static void Yield();
	static void YieldNow();
	// The scheduler suspends the calling fiber until the flag differs from
	// inValue (or the time-out has passed); nothing off a fiber task.
	static void CurrentFiberWaitFlag(std::atomic<int32>* inFlag, int32 inValue);
	static void CurrentFiberWaitFlagWithTimeout(std::atomic<int32>* inFlag, int32 inValue, int32 inTimeoutMilliseconds);
	// Whether the calling thread runs a fiber task.
	static bool IsCurrentFiber();
	// Installs a scheduler (retained; nothing for null).
	void SetFiberScheduler(IFiberScheduler* inScheduler);
	// The scheduler, retained; null before Init and after DeInit.
	IFiberScheduler* RetainFiberScheduler() const;
	// A scheduler that drops a fiber task which is not the current one
	// marks it dead (from dying).
	void FiberStoppedBeingScheduled(VTask* inTask);
	// Hands over from the current task's fiber to inTask's when both belong
	// to the same scheduling thread; false when it did not.
	bool YieldToFiber(VTask* inTask);
	void SetSystemEventPolling(bool inPolling);
	void WakeUpSystemEventPolling();
	void PollAndExecuteUpdateEvent();
	void SetDirectUpdate(bool inDirect);
	// Nested: the first call turns the scheduler's system-event polling off
	// and has the calling task poll for update events every 10 ms through a
	// repeating delayed message (yielding first on a fiber task); the last
	// Stop cancels it and turns polling on again.
	void MAC_BeginHandlingUpdateEventsOnly();
	void MAC_StopHandlingUpdateEventsOnly();

	void _SetDeadTaskFlag() { fHasDeadTasks.store(true, std::memory_order_release); }

	XLinuxTaskMgr& GetPlatform() { return fPlatform; }
	XTaskMgrMutexImpl& GetLock() const { return fLock; }

	static VTaskMgr* sInstance;
	static std::atomic<bool> sInstanceInited;

private:
	bool _Init(VProcess* inProcess);
	void _DeInit();
	void _AbortDelayedMessages();
	// Takes out the first delayed message (in registration order) the
	// predicate accepts; null when none does.
	template <class Predicate>
	VMessage* _TakeDelayedMessage(Predicate inPredicate);

	struct DataKey {
		DataDestructor fDestructor = nullptr;
		bool fFree = false;
	};

	VTask* fMainTask = nullptr;
	// The started tasks other than the main task, newest first.
	VTask* fFirstTask = nullptr;
	size_t fMainStackSize = 0;
	size_t fDefaultStackSize = 0;
	mutable XTaskMgrMutexImpl fLock;
	XLinuxTaskMgr fPlatform;
	int32 fIDCounter = 0;
	std::deque<int32> fRecycledIDs;
	std::vector<DataKey> fDataKeys;
	std::atomic<bool> fHasDeadTasks{false};
	std::atomic<uint32> fRegistryStamp{0};
	struct DelayedMessage {
		VMessage* fMessage;
		uint32 fDueTick;
	};
	std::vector<DelayedMessage> fDelayedMessages;
	IFiberScheduler* fFiberScheduler = nullptr; // retained, under the lock
	int32 fUpdateEventsNesting = 0;
	// Set to stop the repeating update-events message of the current nesting.
	std::shared_ptr<std::atomic<bool>> fUpdateEventsStopped;
};

} // namespace qirn
