#include "runtime/platform/XLinuxTask.h"

#include "runtime/VError.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"
#include "runtime/platform/XLinuxClock.h"
#include "runtime/platform/XLinuxFiber.h"
#include "runtime/platform/XLinuxFiles.h"
#include "runtime/platform/XLinuxTaskMgr.h"

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <unistd.h>
#include <utility>

namespace qirn {

namespace {

// The fields of /proc/self/task/<tid>/stat after the command name.
struct ThreadStat {
	unsigned long fUserTicks = 0;
	unsigned long fSystemTicks = 0;
	unsigned long long fStartTicks = 0;
};

bool ReadThreadStat(int32 inTid, ThreadStat& outStat)
{
	char path[64];
	std::snprintf(path, sizeof(path), "/proc/self/task/%d/stat", inTid);
	FILE* file = XLinuxFiles::OpenForReading(path);
	if (file == nullptr)
		return false;
	char line[1024];
	bool read = std::fgets(line, sizeof(line), file) != nullptr;
	std::fclose(file);
	if (!read)
		return false;
	// The command name may hold spaces and parentheses: fields start after
	// the last ')'.
	char* rest = nullptr;
	for (char* c = line; *c != 0; ++c) {
		if (*c == ')')
			rest = c + 1;
	}
	if (rest == nullptr)
		return false;
	// state ppid pgrp session tty tpgid flags minflt cminflt majflt cmajflt
	// utime stime cutime cstime priority nice threads itrealvalue starttime
	return std::sscanf(rest, " %*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %lu %lu %*d %*d %*d %*d %*d %*d %llu",
					   &outStat.fUserTicks, &outStat.fSystemTicks, &outStat.fStartTicks) == 3;
}

void WaitOn(sem_t* inSemaphore)
{
	while (::sem_wait(inSemaphore) != 0 && errno == EINTR) {
	}
}

} // namespace

XLinuxTask::~XLinuxTask()
{
	delete fFiber;
}

void XLinuxTask::SetFiber(XLinuxFiber* inFiber)
{
	delete std::exchange(fFiber, inFiber);
}

VTask* XLinuxTask::GetSchedulingTaskOf(VTask* inTask)
{
	XLinuxTask* platform = inTask != nullptr ? inTask->GetPlatformTask() : nullptr;
	if (platform != nullptr && platform->fSchedulingTask != nullptr)
		return platform->fSchedulingTask;
	return inTask;
}

void XLinuxTask::_RecordCurrentThread(bool inRecordHandle)
{
	if (inRecordHandle)
		fThread = ::pthread_self();
	fSystemID = static_cast<int32>(::gettid());
	uintptr_t top = 0;
	size_t size = 0;
	if (GetCurrentThreadStack(top, size)) {
		fStackSize = size;
		fStackAddress = top;
	}
}

bool XLinuxTask::GetCurrentThreadStack(uintptr_t& outTop, size_t& outSize)
{
	pthread_attr_t attributes;
	if (::pthread_getattr_np(::pthread_self(), &attributes) != 0)
		return false;
	void* address = nullptr;
	size_t size = 0;
	const bool known = ::pthread_attr_getstack(&attributes, &address, &size) == 0;
	::pthread_attr_destroy(&attributes);
	if (!known)
		return false;
	outTop = reinterpret_cast<uintptr_t>(address) + size;
	outSize = size;
	return true;
}

bool XLinuxTask::GetCPUTimes(double& outUser, double& outSystem) const
{
	outUser = 0;
	outSystem = 0;
	ThreadStat stat;
	if (fSystemID == 0 || !ReadThreadStat(fSystemID, stat))
		return false;
	const double ticksPerSecond = static_cast<double>(::sysconf(_SC_CLK_TCK));
	outUser = static_cast<double>(stat.fUserTicks) / ticksPerSecond;
	outSystem = static_cast<double>(stat.fSystemTicks) / ticksPerSecond;
	return true;
}

bool XLinuxTask::GetCPUUsage(double& outUsage) const
{
	// The share of one processor the thread used since it started.
	outUsage = 0;
	ThreadStat stat;
	if (fSystemID == 0 || !ReadThreadStat(fSystemID, stat))
		return false;
	const double ticksPerSecond = static_cast<double>(::sysconf(_SC_CLK_TCK));
	timespec boot{};
	::clock_gettime(CLOCK_BOOTTIME, &boot);
	const double now = static_cast<double>(boot.tv_sec) + static_cast<double>(boot.tv_nsec) / 1e9;
	const double lifetime = now - static_cast<double>(stat.fStartTicks) / ticksPerSecond;
	if (lifetime > 0) {
		double usage = static_cast<double>(stat.fUserTicks + stat.fSystemTicks) / ticksPerSecond / lifetime;
		outUsage = usage > 1.0 ? 1.0 : usage;
	}
	return true;
}

XLinuxTask_preemptive::XLinuxTask_preemptive(VTask* inTask) : XLinuxTask(inTask)
{
	fHasSemaphore = ::sem_init(&fSemaphore, 0, 0) == 0;
	if (fHasSemaphore && ::sem_init(&fStartSemaphore, 0, 0) != 0) {
		::sem_destroy(&fSemaphore);
		fHasSemaphore = false;
	}
}

XLinuxTask_preemptive::~XLinuxTask_preemptive()
{
	if (fHasThread) {
		// A thread still parked for its start learns that it will never run.
		fCancelled.store(true, std::memory_order_release);
		::sem_post(&fStartSemaphore);
		if (::pthread_equal(::pthread_self(), fThread))
			::pthread_detach(fThread); // the last reference went on the task's own thread
		else
			::pthread_join(fThread, nullptr);
	}
	if (fHasSemaphore) {
		::sem_destroy(&fSemaphore);
		::sem_destroy(&fStartSemaphore);
	}
}

bool XLinuxTask_preemptive::_InitForCurrentThread()
{
	if (!fHasSemaphore)
		return false;
	fIsMain = true;
	_RecordCurrentThread(true);
	return true;
}

namespace {

struct ThreadStart {
	XLinuxTask_preemptive* fTask;
	sem_t fStarted;
};

} // namespace

bool XLinuxTask_preemptive::_CreateThread()
{
	if (!fHasSemaphore) {
		_ThrowError(MAKE_VERROR('POSX', errno));
		return false;
	}
	size_t stackSize = VSystem::RoundUpVMPageSize(fTask->GetStackSize());
	const size_t minimum = static_cast<size_t>(PTHREAD_STACK_MIN);
	if (stackSize < minimum)
		stackSize = VSystem::RoundUpVMPageSize(minimum);
	fStackSize = stackSize;

	ThreadStart start{this, {}};
	if (::sem_init(&start.fStarted, 0, 0) != 0) {
		_ThrowError(MAKE_VERROR('POSX', errno));
		return false;
	}
	pthread_attr_t attributes;
	int error = ::pthread_attr_init(&attributes);
	if (error == 0) {
		error = ::pthread_attr_setstacksize(&attributes, stackSize);
		if (error == 0)
			error = ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_JOINABLE);
		if (error == 0)
			error = ::pthread_create(&fThread, &attributes, &_ThreadProc, &start);
		::pthread_attr_destroy(&attributes);
	}
	if (error != 0) {
		::sem_destroy(&start.fStarted);
		_ThrowError(MAKE_VERROR('POSX', error));
		return false;
	}
	fHasThread = true;
	// The new thread tells its id before it parks: the task's id is its tid.
	WaitOn(&start.fStarted);
	::sem_destroy(&start.fStarted);
	return true;
}

void* XLinuxTask_preemptive::_ThreadProc(void* inArgument)
{
	ThreadStart* start = static_cast<ThreadStart*>(inArgument);
	XLinuxTask_preemptive* self = start->fTask;
	self->_RecordCurrentThread(false);
	::sem_post(&start->fStarted); // start is gone from here on

	WaitOn(&self->fStartSemaphore);
	if (self->fCancelled.load(std::memory_order_acquire))
		return nullptr;
	VTask* task = self->fTask;
	if (task->GetState() != TS_STARTING)
		return nullptr;
	XLinuxTaskMgr::SetCurrentTask(task);
	task->_Run();
	XLinuxTaskMgr::SetCurrentTask(nullptr);
	// Nothing of the task is touched after this: it may be released at once.
	task->_SetStateDead();
	return nullptr;
}

bool XLinuxTask_preemptive::Run()
{
	if (!fHasThread)
		return false;
	return ::sem_post(&fStartSemaphore) == 0;
}

void XLinuxTask_preemptive::WakeUp()
{
	::sem_post(&fSemaphore);
}

void XLinuxTask_preemptive::Freeze()
{
	WaitOn(&fSemaphore);
}

void XLinuxTask_preemptive::Sleep(int32 inMilliseconds)
{
	if (inMilliseconds <= 0)
		return;
	const timespec deadline = XLinuxClock::MonotonicDeadline(inMilliseconds);
	while (::sem_clockwait(&fSemaphore, XLinuxClock::kWaitClock, &deadline) != 0 && errno == EINTR) {
	}
}

} // namespace qirn
