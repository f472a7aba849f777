#include "runtime/VCriticalSection.h"

#include "runtime/SpinLock.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VTaskMgr.h"

#include <cassert>
#include <sched.h>

namespace qirn {

namespace {

constexpr std::memory_order kRelaxed = std::memory_order_relaxed;

} // namespace

VCriticalSection::~VCriticalSection()
{
	// Whoever destroys a held section frees it, so that its waiters wake
	// rather than sleep on an event nobody will unlock.
	if (fOwner.load(kRelaxed) != 0 || fSyncEvent.load(kRelaxed) != nullptr)
		_Release();
}

bool VCriticalSection::_LockContended(int32 inID)
{
	// An event made in one pass and not installed (another task installed
	// its own first) serves a later pass, rather than each pass of each
	// waiter making and freeing one.
	VSyncEvent* fresh = nullptr;
	for (;;) {
		int32 free = 0;
		if (fOwner.load(kRelaxed) == 0 && fOwner.compare_exchange_strong(free, inID))
			break;
		SpinLock::Take(&fLockWord);
		VSyncEvent* event = fSyncEvent.load(kRelaxed);
		if (event == nullptr && fresh != nullptr) {
			// Installed before the owner is tried again: an owner that leaves
			// after that try sees the event and unlocks it.
			event = fresh;
			fresh = nullptr;
			fSyncEvent.store(event);
		}
		free = 0;
		if (fOwner.compare_exchange_strong(free, inID)) {
			SpinLock::Give(&fLockWord);
			break;
		}
		if (event != nullptr) {
			// The owner takes the event out under the word before it unlocks
			// it: this one is still to be unlocked, and the reference keeps it.
			event->Retain();
			SpinLock::Give(&fLockWord);
			if (fresh != nullptr && SpinLock::sYieldAfterCheckEvent)
				::sched_yield(); // another task installed its event first
			event->Lock();
			event->Release();
			continue;
		}
		// Nobody has contended yet: make the event outside the word.
		SpinLock::Give(&fLockWord);
		fresh = new VSyncEvent;
		if (fresh == nullptr)
			VTaskMgr::YieldNow(); // no memory for an event: wait by yielding instead
	}
	fCount.store(1, kRelaxed);
	if (fresh != nullptr)
		fresh->Release();
	return true;
}

bool VCriticalSection::TryToLock()
{
	const int32 id = VTaskMgr::GetCurrentTaskID();
	if (fOwner.load(kRelaxed) == id) {
		fCount.store(fCount.load(kRelaxed) + 1, kRelaxed);
		return true;
	}
	int32 free = 0;
	if (!fOwner.compare_exchange_strong(free, id))
		return false;
	fCount.store(1, kRelaxed);
	return true;
}

bool VCriticalSection::_RefuseUnlock()
{
	// Leaving for another task would free the section under it.
	assert(!"VCriticalSection::Unlock called by a task that does not own the section");
	return false;
}

__attribute__((noinline)) void VCriticalSection::_WakeWaiters()
{
	SpinLock::Take(&fLockWord);
	VSyncEvent* event = fSyncEvent.exchange(nullptr, kRelaxed);
	SpinLock::Give(&fLockWord);
	if (event != nullptr) {
		// Every waiter wakes and competes again.
		event->Unlock();
		event->Release();
	}
}

int32 VCriticalSection::_LeaveAll()
{
	if (fOwner.load(kRelaxed) != VTaskMgr::GetCurrentTaskID())
		return 0;
	const int32 count = fCount.load(kRelaxed);
	_Release();
	return count;
}

void VCriticalSection::_EnterAgain(int32 inCount)
{
	if (inCount < 1)
		return;
	Lock();
	fCount.store(inCount, kRelaxed);
}

bool VCriticalSection::_HasWaiters() const
{
	return fSyncEvent.load() != nullptr;
}

int32 VCriticalSection::GetOwner() const
{
	return fOwner.load();
}

int32 VCriticalSection::GetUseCount() const
{
	return fCount.load();
}

} // namespace qirn
