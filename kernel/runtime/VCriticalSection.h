#pragma once

#include "core/VKernelTypes.h"
#include "runtime/platform/XLinuxTaskMgr.h"

#include <atomic>

namespace qirn {

class VSyncEvent;

// The recursive lock owned by a task id. Uncontended, entering is one
// compare-and-swap of the owner and leaving one exchange of it; an event to
// sleep on is made only when a task actually has to wait. The uncontended
// paths are inline, so that a caller that takes several sections, or one
// several times, reads the current task's id from one thread-local address.
class VCriticalSection {
public:
	VCriticalSection() = default;
	~VCriticalSection();

	VCriticalSection(const VCriticalSection&) = delete;
	VCriticalSection& operator=(const VCriticalSection&) = delete;

	bool Lock();
	bool TryToLock();
	// Leaves once. Only the owner may: for any other task it changes nothing
	// and answers false (a debug build of the kernel stops at an assertion
	// that says so).
	bool Unlock();

	int32 GetOwner() const;
	int32 GetUseCount() const;

	// For a wait that must let everyone in: the owner leaves every level at
	// once and gets the count back; 0, changing nothing, for another task.
	int32 _LeaveAll();
	// Enters again with the count _LeaveAll answered.
	void _EnterAgain(int32 inCount);
	// Whether a task is waiting to enter (it has made the event it sleeps on).
	bool _HasWaiters() const;

private:
	bool _LockContended(int32 inID);
	bool _RefuseUnlock();
	// The last exit: frees the section, then wakes whoever waits.
	void _Release();
	// Takes the event out and unlocks it; kept out of line, so that a leave
	// that finds no event saves no registers.
	void _WakeWaiters();

	// The owner changes by compare-and-swap from 0 and by exchange back to
	// 0; the count is the owner's alone. The word guards the event pointer:
	// a waiter installs an event and then tries the owner again, the owner
	// frees the section and then looks for an event, each a full barrier,
	// so that one of the two always sees the other.
	std::atomic<VSyncEvent*> fSyncEvent{nullptr};
	std::atomic<int32> fOwner{0};
	std::atomic<int32> fCount{0};
	mutable uint32 fLockWord = 0;
};

inline bool VCriticalSection::Lock()
{
	const int32 id = XLinuxTaskMgr::GetCurrentTaskID();
	// Entering again: only the owner can find its own id here.
	if (fOwner.load(std::memory_order_relaxed) == id) {
		fCount.store(fCount.load(std::memory_order_relaxed) + 1, std::memory_order_relaxed);
		return true;
	}
	int32 free = 0;
	if (fOwner.compare_exchange_strong(free, id)) {
		fCount.store(1, std::memory_order_relaxed);
		return true;
	}
	return _LockContended(id);
}

inline bool VCriticalSection::Unlock()
{
	// Only the owner finds its own id here, and only it changes the count.
	if (fOwner.load(std::memory_order_relaxed) != XLinuxTaskMgr::GetCurrentTaskID())
		return _RefuseUnlock();
	const int32 count = fCount.load(std::memory_order_relaxed);
	if (count > 1) {
		fCount.store(count - 1, std::memory_order_relaxed);
		return true;
	}
	_Release();
	return true;
}

inline void VCriticalSection::_Release()
{
	fCount.store(0, std::memory_order_relaxed);
	fOwner.exchange(0);
	if (fSyncEvent.load() != nullptr)
		_WakeWaiters();
}

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
