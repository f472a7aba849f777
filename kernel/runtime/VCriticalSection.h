#pragma once

#include "core/VKernelTypes.h"

#include <atomic>

namespace qirn {

class VSyncEvent;

// The recursive lock owned by a task id. Uncontended, it is a few atomic
// operations on one word; an event to sleep on is made only when a task
// actually has to wait.
class VCriticalSection {
public:
	VCriticalSection() = default;
	~VCriticalSection();

	VCriticalSection(const VCriticalSection&) = delete;
	VCriticalSection& operator=(const VCriticalSection&) = delete;

	bool Lock();
	bool TryToLock();
	bool Unlock();

	int32 GetOwner() const;
	int32 GetUseCount() const;

private:
	// Owner and count change under the lock word; they are atomics only so
	// that the owner may see its own id and count again without the word
	// (nobody else writes either while it owns the section).
	VSyncEvent* fSyncEvent = nullptr;
	std::atomic<int32> fOwner{0};
	std::atomic<int32> fCount{0};
	mutable uint32 fLockWord = 0;
};

// Holds a lock (a section, or any lock with Lock and Unlock) for a scope.
template <class Lockable>
class StLocker {
public:
	explicit StLocker(Lockable& inLock) : fLock(inLock) { fLock.Lock(); }
	~StLocker() { fLock.Unlock(); }
	StLocker(const StLocker&) = delete;
	StLocker& operator=(const StLocker&) = delete;

private:
	Lockable& fLock;
};

} // namespace qirn
