#pragma once

#include "core/VKernelTypes.h"
#include "core/VObject.h"

#include <atomic>
#include <pthread.h>
#include <semaphore.h>

namespace qirn {

class VTask;
class XLinuxFiber;

// The platform side of a kernel task.
class XLinuxTask : public VObject {
public:
	explicit XLinuxTask(VTask* inTask) : fTask(inTask) {}
	// Deletes the fiber, after the derived task let its thread go.
	~XLinuxTask() override;

	virtual bool Run() = 0;
	virtual void WakeUp() = 0;
	virtual void Freeze() = 0;
	virtual void Sleep(int32 inMilliseconds) = 0;
	virtual bool CheckSystemMessages() = 0;
	// The value that becomes the task's id; 0 asks the manager for one.
	virtual int32 GetValueForVTaskID() const { return 0; }
	virtual bool GetCPUUsage(double& outUsage) const;
	virtual bool GetCPUTimes(double& outUser, double& outSystem) const;

	// The calling thread's stack: its top and its size; false when the
	// system cannot tell.
	static bool GetCurrentThreadStack(uintptr_t& outTop, size_t& outSize);

	int32 GetSystemThreadID() const { return fSystemID; }
	size_t GetStackSize() const { return fStackSize; }
	uintptr_t GetStackAddress() const { return fStackAddress; }
	bool IsMain() const { return fIsMain; }

	// The fiber the task runs on, in a fibered process: a fiber task's own,
	// or one standing for a thread task's thread. Written by the task's own
	// thread (or before it runs); read by whoever a hand-over reached.
	XLinuxFiber* GetFiber() const { return fFiber; }
	// Replaces (and deletes) any earlier fiber.
	void SetFiber(XLinuxFiber* inFiber);
	// The task whose thread a fiber task was started from: the thread its
	// fiber comes back to when it ends. Null for a thread task.
	VTask* GetSchedulingTask() const { return fSchedulingTask; }
	// The task the calling task's fibers belong to: its scheduling task, or
	// itself when it has none.
	static VTask* GetSchedulingTaskOf(VTask* inTask);

protected:
	// Records the calling thread's id and stack bounds (and its handle, for a
	// thread that was not made by the creator's pthread_create).
	void _RecordCurrentThread(bool inRecordHandle);

	pthread_t fThread{};
	int32 fSystemID = 0;
	VTask* fTask;
	size_t fStackSize = 0;
	uintptr_t fStackAddress = 0; // the top of the stack
	bool fIsMain = false;
	XLinuxFiber* fFiber = nullptr;
	VTask* fSchedulingTask = nullptr;
};

// A task on a joinable thread of its own, parked on a start semaphore until
// the task runs; a second, counting semaphore carries sleeps and wake-ups, so
// that a wake-up given before the start neither starts nor ends the thread.
class XLinuxTask_preemptive : public XLinuxTask {
public:
	explicit XLinuxTask_preemptive(VTask* inTask);
	~XLinuxTask_preemptive() override;

	// Binds the calling thread as the main task's.
	bool _InitForCurrentThread();
	// Makes the parked thread; its id is known when this returns true.
	bool _CreateThread();

	bool Run() override;
	void WakeUp() override;
	void Freeze() override;
	void Sleep(int32 inMilliseconds) override;
	bool CheckSystemMessages() override { return false; }
	int32 GetValueForVTaskID() const override { return fSystemID; }

private:
	static void* _ThreadProc(void* inArgument);

	sem_t fSemaphore;
	sem_t fStartSemaphore;
	bool fHasSemaphore = false;
	bool fHasThread = false;
	std::atomic<bool> fCancelled{false};
};

// A fiber task of a fibered process: no thread until it runs; Run makes its
// fiber and hands over to it from the calling task's fiber, which parks until
// the fiber task hands back or ends. Sleeps and freezes wait through the
// fiber scheduler on the task's wake flag.
class XLinuxTask_fiber : public XLinuxTask {
public:
	explicit XLinuxTask_fiber(VTask* inTask) : XLinuxTask(inTask) {}
	~XLinuxTask_fiber() override;

	bool Run() override;
	void WakeUp() override;
	void Freeze() override;
	void Sleep(int32 inMilliseconds) override;
	bool CheckSystemMessages() override { return false; }
	// Fiber tasks take their ids from the manager's counter.
	int32 GetValueForVTaskID() const override { return 0; }

private:
	void _Entry();

	std::atomic<int32> fWakeFlag{0};
};

} // namespace qirn
