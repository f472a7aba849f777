#pragma once

#include "core/IRefCountable.h"

#include <atomic>
#include <pthread.h>

namespace qirn {

class VSyncObject {};

// A reference-counted latch: waiters block until it is unlocked, and
// unlocking releases every waiter at once. Reset locks it again. A fiber task
// never blocks its thread on it: it waits through the fiber scheduler.
class VSyncEvent : public VSyncObject, public IRefCountable {
public:
	VSyncEvent();
	~VSyncEvent() override;

	VSyncEvent(const VSyncEvent&) = delete;
	VSyncEvent& operator=(const VSyncEvent&) = delete;

	// Waits until the event is unlocked; true.
	bool Lock();
	// Waits at most inTimeoutMilliseconds; answers whether it is unlocked.
	bool Lock(int32 inTimeoutMilliseconds);
	void Unlock();
	void Reset();

	bool IsUnlocked();

	// Allocated from the system allocator: the memory manager's own locks
	// wait on events. Null when memory is refused.
	static void* operator new(size_t inSize) noexcept;
	static void operator delete(void* inBlock);

private:
	bool _FiberLock();
	bool _FiberLock(int32 inTimeoutMilliseconds);

	// Fibers of two scheduling threads may wait on one event: a counter, but
	// one that orders nothing (the stamp and the mutex do).
	std::atomic<int32> fFiberWaiters{0};
	pthread_mutex_t fMutex;
	pthread_cond_t fCondition;
	bool fUnlocked = false;
	// Increased by each Unlock: fiber waiters wait for it to change, through
	// the fiber scheduler, instead of blocking their thread.
	std::atomic<int32> fWakeStamp{0};
};

} // namespace qirn
