#pragma once

#include "core/VKernelTypes.h"

#include <string>

namespace qirn {

class VTask;
class XLinuxTask;
enum class ETaskStyle : int32;

// The Linux layer of the task manager: the thread-local slots through which
// the current task and a foreign thread's id are found, and the platform
// tasks of the kernel's tasks.
class XLinuxTaskMgr {
public:
	// One thread-local read: every collated comparison asks for it.
	static VTask* GetCurrentTask() { return sCurrentTask; }
	static void SetCurrentTask(VTask* inTask);

	// The current task's id, or for a thread that is no task its tid, asked
	// once per thread. Every lock asks for it: one thread-local read.
	static int32 GetCurrentTaskID()
	{
		int32 id = sCurrentID;
		return id != 0 ? id : _RememberForeignTaskID();
	}
	// The calling thread's id (its tid).
	static int32 GetCurrentForeignTaskID();

	// A platform task for the calling thread, bound to inTask; in a fibered
	// process with a fiber standing for the thread.
	XLinuxTask* CreateMain(VTask* inTask, bool inFibered);
	// A new thread for a preemptive task, parked until the task runs; in a
	// fibered process, a fiber task (its fiber is made when it runs). Null
	// for a fiber task in a process that is not fibered, and when the thread
	// cannot be made (the error is raised on the calling task).
	XLinuxTask* Create(VTask* inTask, ETaskStyle inStyle);
	// Hands over from the current task's fiber to inTask's when both have
	// one and belong to the same scheduling task, and inTask is not dead.
	bool YieldToFiber(VTask* inTask);

	// Names the calling thread "<name> (id = <id>)", cut to the 15 bytes
	// Linux keeps, at a character boundary.
	void SetCurrentThreadName(const std::string& inUTF8Name, int32 inID) const;
	static std::string MakeThreadName(const std::string& inUTF8Name, int32 inID);

	size_t ComputeMainTaskStackSize() const;
	size_t GetCurrentFreeStackSize() const;
	static size_t GetCurrentFreeStackSizeStatic();

private:
	static int32 _RememberForeignTaskID();

	// Plain thread-local words: readable from any thread before any static
	// constructor ran, and never destroyed. constinit: no initialiser to run,
	// so a read is a plain thread-local load with no wrapper call around it.
	// Not in the static TLS block (a library that needs it may fail to load
	// with dlopen): the library reaches them through TLS descriptors, a plain
	// load once it is loaded.
	static constinit thread_local VTask* sCurrentTask;
	static constinit thread_local int32 sCurrentID;
};

} // namespace qirn
