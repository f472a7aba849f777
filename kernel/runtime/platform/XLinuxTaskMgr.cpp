#include "runtime/platform/XLinuxTaskMgr.h"

#include "runtime/VTask.h"
#include "process/VProcess.h"
#include "runtime/platform/XLinuxFiber.h"
#include "runtime/platform/XLinuxTask.h"

#include <cstdio>
#include <pthread.h>
#include <sys/resource.h>
#include <unistd.h>

namespace qirn {

namespace {

constexpr size_t kThreadNameBytes = 15;

} // namespace

constinit thread_local VTask* XLinuxTaskMgr::sCurrentTask = nullptr;
constinit thread_local int32 XLinuxTaskMgr::sCurrentID = 0;

void XLinuxTaskMgr::SetCurrentTask(VTask* inTask)
{
	sCurrentTask = inTask;
	// A thread task's id is its tid, which a thread without a task answers
	// too; only an id given by the manager needs remembering.
	sCurrentID = inTask != nullptr ? inTask->GetID() : 0;
}

int32 XLinuxTaskMgr::_RememberForeignTaskID()
{
	const int32 id = static_cast<int32>(::gettid());
	sCurrentID = id;
	return id;
}

int32 XLinuxTaskMgr::GetCurrentForeignTaskID()
{
	return static_cast<int32>(::gettid());
}

XLinuxTask* XLinuxTaskMgr::CreateMain(VTask* inTask, bool inFibered)
{
	XLinuxTask_preemptive* platform = new XLinuxTask_preemptive(inTask);
	if (!platform->_InitForCurrentThread()) {
		delete platform;
		return nullptr;
	}
	if (inFibered) {
		XLinuxFiber* fiber = XLinuxFiber::CreateFiberForThread();
		if (fiber == nullptr) {
			delete platform;
			return nullptr;
		}
		platform->SetFiber(fiber);
	}
	SetCurrentTask(inTask);
	return platform;
}

XLinuxTask* XLinuxTaskMgr::Create(VTask* inTask, ETaskStyle inStyle)
{
	if (inStyle == ETaskStyle::kFiber) {
		// Outside a fibered process a fiber task cannot run.
		VProcess* process = VProcess::sInstance.load(std::memory_order_acquire);
		if (process == nullptr || !process->IsFibered())
			return nullptr;
		return new XLinuxTask_fiber(inTask);
	}
	if (inStyle != ETaskStyle::kPreemptive)
		return nullptr;
	XLinuxTask_preemptive* platform = new XLinuxTask_preemptive(inTask);
	if (!platform->_CreateThread()) {
		delete platform;
		return nullptr;
	}
	return platform;
}

bool XLinuxTaskMgr::YieldToFiber(VTask* inTask)
{
	VTask* current = GetCurrentTask();
	if (current == nullptr || inTask == nullptr || current == inTask || inTask->GetState() == TS_DEAD)
		return false;
	XLinuxTask* from = current->GetPlatformTask();
	XLinuxTask* to = inTask->GetPlatformTask();
	if (from == nullptr || to == nullptr || from->GetFiber() == nullptr || to->GetFiber() == nullptr)
		return false;
	if (XLinuxTask::GetSchedulingTaskOf(current) != XLinuxTask::GetSchedulingTaskOf(inTask))
		return false;
	XLinuxFiber::YieldTo(from->GetFiber(), to->GetFiber());
	return true;
}

std::string XLinuxTaskMgr::MakeThreadName(const std::string& inUTF8Name, int32 inID)
{
	char suffix[32];
	std::snprintf(suffix, sizeof(suffix), " (id = %d)", inID);
	std::string name = inUTF8Name + suffix;
	if (name.size() > kThreadNameBytes) {
		size_t end = kThreadNameBytes;
		// Never cut a UTF-8 sequence: back up over continuation bytes.
		while (end > 0 && (static_cast<unsigned char>(name[end]) & 0xC0) == 0x80)
			--end;
		name.resize(end);
	}
	return name;
}

void XLinuxTaskMgr::SetCurrentThreadName(const std::string& inUTF8Name, int32 inID) const
{
	std::string name = MakeThreadName(inUTF8Name, inID);
	::pthread_setname_np(::pthread_self(), name.c_str());
}

size_t XLinuxTaskMgr::ComputeMainTaskStackSize() const
{
	uintptr_t top = 0;
	size_t size = 0;
	return XLinuxTask::GetCurrentThreadStack(top, size) ? size : 0;
}

size_t XLinuxTaskMgr::GetCurrentFreeStackSize() const
{
	VTask* task = GetCurrentTask();
	XLinuxTask* platform = task != nullptr ? task->GetPlatformTask() : nullptr;
	if (platform == nullptr || platform->GetStackAddress() == 0)
		return GetCurrentFreeStackSizeStatic();
	int local = 0;
	uintptr_t here = reinterpret_cast<uintptr_t>(&local);
	uintptr_t bottom = platform->GetStackAddress() - platform->GetStackSize();
	return here > bottom ? here - bottom : 0;
}

size_t XLinuxTaskMgr::GetCurrentFreeStackSizeStatic()
{
	rlimit limit{};
	if (::getrlimit(RLIMIT_STACK, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
		return 1048576;
	return static_cast<size_t>(limit.rlim_cur);
}

} // namespace qirn
