#include "runtime/VSyncEvent.h"

#include "runtime/VSystem.h"
#include "runtime/VTaskMgr.h"
#include "runtime/platform/XLinuxClock.h"

#include <cerrno>
#include <cstdlib>
#include <sched.h>

namespace qirn {

void* VSyncEvent::operator new(size_t inSize) noexcept
{
	return std::malloc(inSize);
}

void VSyncEvent::operator delete(void* inBlock)
{
	std::free(inBlock);
}

VSyncEvent::VSyncEvent()
{
	pthread_mutex_init(&fMutex, nullptr);
	pthread_condattr_t attributes;
	pthread_condattr_init(&attributes);
	pthread_condattr_setclock(&attributes, XLinuxClock::kWaitClock);
	pthread_cond_init(&fCondition, &attributes);
	pthread_condattr_destroy(&attributes);
}

VSyncEvent::~VSyncEvent()
{
	while (pthread_cond_destroy(&fCondition) == EBUSY) {
		pthread_cond_broadcast(&fCondition);
		::sched_yield();
	}
	pthread_mutex_destroy(&fMutex);
}

bool VSyncEvent::Lock()
{
	if (VTaskMgr::IsCurrentFiber())
		return _FiberLock();
	pthread_mutex_lock(&fMutex);
	while (!fUnlocked)
		pthread_cond_wait(&fCondition, &fMutex);
	pthread_mutex_unlock(&fMutex);
	return true;
}

bool VSyncEvent::Lock(int32 inTimeoutMilliseconds)
{
	if (VTaskMgr::IsCurrentFiber())
		return _FiberLock(inTimeoutMilliseconds);
	pthread_mutex_lock(&fMutex);
	if (inTimeoutMilliseconds >= 1 && !fUnlocked) {
		const timespec deadline = XLinuxClock::MonotonicDeadline(inTimeoutMilliseconds);
		// A spurious wake-up is not a time-out: wait again until unlocked or
		// the deadline has passed.
		while (!fUnlocked) {
			if (pthread_cond_timedwait(&fCondition, &fMutex, &deadline) == ETIMEDOUT)
				break;
		}
	}
	bool unlocked = fUnlocked;
	pthread_mutex_unlock(&fMutex);
	return unlocked;
}

void VSyncEvent::Unlock()
{
	pthread_mutex_lock(&fMutex);
	fUnlocked = true;
	pthread_cond_broadcast(&fCondition);
	pthread_mutex_unlock(&fMutex);
	fWakeStamp.fetch_add(1);
	if (fFiberWaiters.load(std::memory_order_relaxed) > 0)
		VTaskMgr::Get()->WakeUpSystemEventPolling();
}

bool VSyncEvent::_FiberLock()
{
	fFiberWaiters.fetch_add(1, std::memory_order_relaxed);
	// The stamp is read (sequentially consistent) before the state: an
	// Unlock in between changes it, and the wait below returns at once.
	int32 stamp = fWakeStamp.load();
	while (!IsUnlocked()) {
		VTaskMgr::CurrentFiberWaitFlag(&fWakeStamp, stamp);
		stamp = fWakeStamp.load();
	}
	fFiberWaiters.fetch_sub(1, std::memory_order_relaxed);
	return true;
}

bool VSyncEvent::_FiberLock(int32 inTimeoutMilliseconds)
{
	if (IsUnlocked())
		return true;
	if (inTimeoutMilliseconds < 1)
		return false;
	int32 stamp = fWakeStamp.load();
	fFiberWaiters.fetch_add(1, std::memory_order_relaxed);
	const uint32 deadline = VSystem::GetCurrentTime() + static_cast<uint32>(inTimeoutMilliseconds);
	int32 remaining = inTimeoutMilliseconds;
	for (;;) {
		VTaskMgr::CurrentFiberWaitFlagWithTimeout(&fWakeStamp, stamp, remaining);
		if (fWakeStamp.load() == stamp)
			break; // the scheduler's time-out
		// Signed: the millisecond clock wraps.
		const int32 left = static_cast<int32>(deadline - VSystem::GetCurrentTime());
		if (left <= 0)
			break;
		remaining = left;
		stamp = fWakeStamp.load();
		if (IsUnlocked())
			break;
	}
	fFiberWaiters.fetch_sub(1, std::memory_order_relaxed);
	// An Unlock seen at the deadline still counts.
	return IsUnlocked();
}

void VSyncEvent::Reset()
{
	pthread_mutex_lock(&fMutex);
	fUnlocked = false;
	pthread_mutex_unlock(&fMutex);
}

bool VSyncEvent::IsUnlocked()
{
	pthread_mutex_lock(&fMutex);
	bool unlocked = fUnlocked;
	pthread_mutex_unlock(&fMutex);
	return unlocked;
}

} // namespace qirn
