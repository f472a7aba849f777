#pragma once

#include "core/IRefCountable.h"
#include "core/VKernelTypes.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "runtime/IMessageable.h"
#include "runtime/VDebugContext.h"
#include "runtime/platform/XLinuxTaskMgr.h"

#include <atomic>
#include <functional>
#include <vector>

namespace qirn {

class VActivityToken;
class VErrorBase;
class VErrorContext;
class VErrorTaskContext;
class IIdleable;
class VMessage;
class VMessageQueue;
class VIntlMgr;
class VQXTask;
class VString;
class VSyncEvent;
class VTaskMgr;
class XLinuxTask;

// 1: a thread of its own; 3: a cooperative fiber, honoured only in a fibered
// process.
enum class ETaskStyle : int32 {
	kPreemptive = 1,
	kFiber = 3,
};

enum ETaskState : int32 {
	TS_CREATED = 0,
	TS_STARTING = 1,
	TS_RUNNING = 2,
	TS_DYING = 3,
	TS_DEAD = 4,
};

// What a task is waiting for, when anything.
enum ETaskWaitKind : uint32 {
	kTaskWaitNone = 0,
	kTaskWaitSleeping = 1,
	kTaskWaitMessage = 4,
	kTaskWaitAnswer = 5,
	kTaskWaitDeath = 8,
};

// The kernel's unit of execution: a thread of its own (or the thread that
// runs main, for the main task), with an id, a name, a state, per-task data
// messages, idlers and death watching. Static operations act on the calling thread's task and
// do nothing, or answer 0 or null, on a thread that is no task.
class VTask : public VObject, public IMessageable, public IRefCountable {
public:
	// A task that runs inBody once; an empty body makes a task driven by
	// its hooks (DoInit, DoRun, DoDeInit).
	VTask(size_t inStackSize, ETaskStyle inStyle, std::function<void()>&& inBody);
	// A task that runs inProc with itself; the owner is not kept.
	VTask(VObject* inOwner, size_t inStackSize, ETaskStyle inStyle, int (*inProc)(VTask*));
	// The main task, on the calling thread.
	explicit VTask(VTaskMgr* inManager);
	~VTask() override;

	VTask(const VTask&) = delete;
	VTask& operator=(const VTask&) = delete;

	// Life.
	bool Run();
	void Kill();
	bool IsDying(int32* outTicksSinceKill = nullptr) const;
	bool WaitForDeath(int32 inTimeoutMilliseconds);
	static void Sleep(int32 inMilliseconds);
	void WakeUp();
	// Parks the task's thread until a WakeUp.
	void Freeze();

	int32 GetID() const { return fID; }
	ETaskStyle GetStyle() const { return fStyle; }
	ETaskState GetState() const { return static_cast<ETaskState>(fState.load(std::memory_order_acquire)); }
	uint32 GetWaitKind() const { return fWaitKind.load(std::memory_order_relaxed); }
	bool IsMain() const;
	bool IsFiber() const { return fIsFiber; }
	bool IsPreemptive() const { return fIsPreemptive; }
	XLinuxTask* GetPlatformTask() const { return fPlatformTask; }

	// The thread's system id (its tid); 0 without a thread.
	int32 GetSystemID() const;
	bool GetCPUTimes(double& outUser, double& outSystem) const;
	bool GetCPUUsage(double& outUsage) const;
	size_t GetStackSize();
	// Whether the task did work (started, went round its loop, came back
	// from a sleep) less than a second ago.
	bool IsResponding() const;

	// One thread-local read, inline: every collated comparison asks for it.
	static VTask* GetCurrent() { return XLinuxTaskMgr::GetCurrentTask(); }
	static int32 GetCurrentID();
	static bool IsCurrentMain();

	// Names. The thread keeps at most 15 bytes of "<name> (id = <id>)".
	void SetName(const VString& inName);
	void GetName(VString& outName) const;

	// Per-task data of the current task, by keys of VTaskMgr::CreateDataKey.
	static void* GetCurrentData(size_t inKey);
	static bool SetCurrentData(size_t inKey, void* inData);
	void* GetData(size_t inKey) const;
	bool SetData(size_t inKey, void* inData);
	// Hands every value to its key's destructor and empties the slots.
	void DisposeAllData();

	// International settings. Every task works through its own clone of the
	// process's manager. The current one is the task's, else the process's,
	// else (outside a task, or before start-up) the US-English default, so
	// that it is never null.
	// Inline up to the task's own manager, the one every collated comparison
	// of a task finds.
	static VIntlMgr* GetCurrentIntlManager()
	{
		VTask* task = GetCurrent();
		VIntlMgr* manager = task != nullptr ? task->fIntlMgr.Get() : nullptr;
		return manager != nullptr ? manager : _GetIntlManagerOutsideTask();
	}
	// Installs a manager for the current task (retained; nothing outside a
	// task or for null).
	static void SetCurrentIntlManager(VIntlMgr* inIntlMgr);
	// A new manager for the dialect, installed as above; false when it cannot
	// be made.
	static bool SetCurrentDialectCode(sLONG inDialect, uint8 inOptions = 0);
	// The current manager's wildcard; the at sign when there is none.
	static UniChar GetWildChar();
	sLONG GetDialectCode() const;
	VIntlMgr* GetIntlManager() const { return fIntlMgr.Get(); }

private:
	void _CloneProcessIntlManager();
	// The process's manager, else the default one.
	static VIntlMgr* _GetIntlManagerOutsideTask();

	VRefPtr<VIntlMgr> fIntlMgr; // set by the constructor, then by the task itself only

public:

	// The binding to an embedding product's task object: stored and handed
	// back, the owner retained.
	void SetQXTask(VQXTask* inTask, IRefCountable* inOwner);
	VQXTask* RetainQXTask(IRefCountable** outOwner = nullptr) const;

	// Errors of the current task, kept on its stack of error contexts (made
	// on first use). Outside a task nothing is recorded and the answers are
	// 0, false or null.
	static VErrorTaskContext* GetErrorContext(bool inCreateIfNeeded);
	static VError GetLastError();
	static bool FailedForMemory();
	// Records the error (retained); false when nothing was recorded.
	static bool PushError(VErrorBase* inError);
	// The same, taking over the caller's reference.
	static bool PushRetainedError(VErrorBase* inError);
	static void PushErrors(const VErrorContext* inContext);
	// Drops the errors of the innermost context.
	static void FlushErrors();

	// The task's debug state (VDebugMgr), for the task itself.
	VDebugContext& GetDebugContext() { return fDebugContext; }

	static void ReleaseCurrentActivityToken();
	// The token the task holds while it runs; for its own thread, or while it
	// is known not to end.
	VActivityToken* _GetActivityToken() const { return fActivityToken.Get(); }

	// Internals of the platform layer and the manager.
	void _Run();
	void _SetStateDead();
	void _SetNext(VTask* inNext) { fNext = inNext; }
	VTask* _GetNext() const { return fNext; }
	bool _ChangeState(ETaskState inFrom, ETaskState inTo);
	// Marks a running task dying, the kill tick stamped first; false when it
	// was not running.
	bool _MarkDying();
	// Waits while another thread's task is still starting.
	void _WaitWhileStarting() const;
	// The main task's end, at the manager's shutdown: dead whatever its state,
	// its watchers told as for any task.
	void _ForceDead();

protected:
	virtual void DoInit() {}
	virtual void DoDeInit() {}
	// False ends the run loop.
	virtual bool DoRun() { return true; }
	virtual void DoIdle() {}
	virtual void DoPrepareToDie() {}

	friend class VTaskMgr;

private:
	void _Exit();
	// Moves the state to dead (from dying, or from any state when forced)
	// and wakes the death watchers.
	void _BecomeDead(bool inForced);
	// Records the moment of the first move to dying; later calls keep it.
	void _StampKillTick();
	// Records that the task is doing work now (IsResponding).
	void _NoteExecution();
	uint32 _SetWaitKind(uint32 inKind);
	void _RestoreWaitKind(uint32 inKind);
	void _NameCurrentThread() const;
	void _MakeActivityToken();

	XLinuxTask* fPlatformTask = nullptr;
	int32 fID = 0;
	ETaskStyle fStyle;
	VTaskMgr* fManager;
	std::atomic<int32> fState{TS_CREATED};
	std::atomic<uint32> fWaitKind{kTaskWaitNone};
	std::atomic<uint32> fKillTick{0}; // 0 until stamped
	VTask* fNext = nullptr;
	std::function<void()> fBody;
	VString* fName = nullptr; // made by the first SetName
	std::atomic<size_t> fStackSize{0};
	bool fIsFiber = false;
	bool fIsPreemptive = true;
	std::vector<void*> fData;
	std::vector<VMessageQueue*> fDeathWatchers;
	std::atomic<uint32> fLastExecutionTime{0};
	// A fiber task's sleep waits for it to change; WakeUp sets it.
	std::atomic<int32> fFiberWaitFlag{0};
	VRefPtr<VActivityToken> fActivityToken;
	VQXTask* fQXTask = nullptr;
	std::atomic<VErrorTaskContext*> fErrorContext{nullptr};
	IRefCountable* fQXTaskOwner = nullptr;
	VDebugContext fDebugContext;

	// Messages and idlers. The static operations act on the current task.
public:
	// Queues the message on this task (the queue made on first use).
	bool AddMessage(VMessage* inMessage);
	VMessageQueue* RetainMessageQueue();
	static VMessage* RetainMessageWithTimeout(int32 inTimeoutMilliseconds);
	// Executes what is queued, each message in an error context of its own;
	// with idling, a pass that found nothing idles.
	static void ExecuteMessages(bool inWithIdle);
	static void ExecuteMessagesWithTimeout(int32 inTimeoutMilliseconds, bool inWithIdle);
	bool IsAnyMessagePending() const;
	// Wakes the task's wait for messages, without a message.
	void SetMessageQueueEvent();
	uint32 GetMessageQueueStamp() const { return fQueueStamp.load(std::memory_order_acquire); }
	static void CancelMessages(IMessageable* inTarget);
	// Executes messages as they come until the time-out (true), the queue
	// stamp changes, the wait is woken without a message, or the task is
	// dying (false).
	static bool WaitAndExecuteMessages(int32 inTimeoutMilliseconds, bool* outTimedOut = nullptr);
	static void WaitAndExecuteMessages();

	void RegisterIdler(IIdleable* inIdler);
	void UnregisterIdler(IIdleable* inIdler);
	// On the task itself: calls its idlers, stopping when the list changes.
	void CallIdlers();

private:
	friend class VMessage;

	VMessageQueue* _GetMessageQueue();
	VMessage* _RetainMessageWithTimeout(int32 inTimeoutMilliseconds, bool* outTimedOut = nullptr);
	void _ExecuteMessages(VMessage* inFirst, bool inWithIdle);
	bool _CheckIdleEvents();
	bool _WaitAndExecuteMessages(int32 inTimeoutMilliseconds, bool inForever, bool* outTimedOut);

	std::atomic<VMessageQueue*> fMessageQueue{nullptr};
	std::atomic<uint32> fQueueStamp{0};
	std::vector<IIdleable*> fIdlers;
	std::atomic<bool> fCallingIdlers{false};
	IIdleable* fIdlerBeingCalled = nullptr;
	bool fInsideIdle = false;
	uint32 fLastIdleTick = 0;
	uint32 fIdlePeriod = 0; // ticks
};

} // namespace qirn
