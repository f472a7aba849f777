#include "runtime/platform/XLinuxTaskMgr.h"

#include "runtime/VTask.h"
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

XLinuxTask* XLinuxTaskMgr::CreateMain(VTask* inTask, bool)
{
	XLinuxTask_preemptive* platform = new XLinuxTask_preemptive(inTask);
	if (!platform->_InitForCurrentThread()) {
		delete platform;
		return nullptr;
	}
	SetCurrentTask(inTask);
	return platform;
}

XLinuxTask* XLinuxTaskMgr::Create(VTask* inTask, ETaskStyle inStyle)
{
	// Fibers are not part of this build: a fiber task gets no platform task
	// and cannot run, as in a process that does not run fibered.
	if (inStyle != ETaskStyle::kPreemptive)
		return nullptr;
	XLinuxTask_preemptive* platform = new XLinuxTask_preemptive(inTask);
	if (!platform->_CreateThread()) {
		delete platform;
		return nullptr;
	}
	return platform;
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
