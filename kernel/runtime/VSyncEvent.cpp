#include "runtime/VSyncEvent.h"

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
	pthread_mutex_lock(&fMutex);
	while (!fUnlocked)
		pthread_cond_wait(&fCondition, &fMutex);
	pthread_mutex_unlock(&fMutex);
	return true;
}

bool VSyncEvent::Lock(int32 inTimeoutMilliseconds)
{
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
