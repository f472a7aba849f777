#include "runtime/VCriticalSection.h"

#include "runtime/SpinLock.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VTaskMgr.h"

#include <sched.h>

namespace qirn {

namespace {

constexpr std::memory_order kRelaxed = std::memory_order_relaxed;

} // namespace

VCriticalSection::~VCriticalSection()
{
	while (fCount.load(kRelaxed) > 0)
		Unlock();
}

bool VCriticalSection::Lock()
{
	const int32 id = VTaskMgr::GetCurrentTaskID();
	// Entering again: only the owner can find its own id here.
	if (fOwner.load(kRelaxed) == id) {
		fCount.store(fCount.load(kRelaxed) + 1, kRelaxed);
		return true;
	}
	SpinLock::Lock(&fLockWord);
	for (;;) {
		const int32 owner = fOwner.load(kRelaxed);
		if (owner == 0 || owner == id) {
			fOwner.store(id, kRelaxed);
			fCount.store(fCount.load(kRelaxed) + 1, kRelaxed);
			SpinLock::Unlock(&fLockWord);
			return true;
		}
		if (fSyncEvent != nullptr) {
			VSyncEvent* event = fSyncEvent;
			event->Retain();
			SpinLock::Unlock(&fLockWord);
			event->Lock();
			event->Release();
			SpinLock::Lock(&fLockWord);
			continue;
		}
		// Nobody has contended yet: make the event outside the word.
		SpinLock::Unlock(&fLockWord);
		VSyncEvent* fresh = new VSyncEvent;
		if (fresh == nullptr) {
			// No memory for an event: wait by yielding instead.
			VTaskMgr::YieldNow();
			SpinLock::Lock(&fLockWord);
			continue;
		}
		SpinLock::Lock(&fLockWord);
		if (fOwner.load(kRelaxed) == 0) {
			fOwner.store(id, kRelaxed);
			fCount.store(fCount.load(kRelaxed) + 1, kRelaxed);
			SpinLock::Unlock(&fLockWord);
			fresh->Release();
			return true;
		}
		if (fSyncEvent == nullptr) {
			fSyncEvent = fresh;
			continue;
		}
		SpinLock::Unlock(&fLockWord);
		fresh->Release();
		if (SpinLock::sYieldAfterCheckEvent)
			::sched_yield();
		SpinLock::Lock(&fLockWord);
	}
}

bool VCriticalSection::TryToLock()
{
	const int32 id = VTaskMgr::GetCurrentTaskID();
	if (fOwner.load(kRelaxed) == id) {
		fCount.store(fCount.load(kRelaxed) + 1, kRelaxed);
		return true;
	}
	SpinLock::Lock(&fLockWord);
	const int32 owner = fOwner.load(kRelaxed);
	if (owner != 0 && owner != id) {
		SpinLock::Unlock(&fLockWord);
		return false;
	}
	fOwner.store(id, kRelaxed);
	fCount.store(fCount.load(kRelaxed) + 1, kRelaxed);
	SpinLock::Unlock(&fLockWord);
	return true;
}

bool VCriticalSection::Unlock()
{
	// Leaving an inner level: the owner alone touches the count.
	const int32 count = fCount.load(kRelaxed);
	if (count > 1) {
		fCount.store(count - 1, kRelaxed);
		return true;
	}
	SpinLock::Lock(&fLockWord);
	fCount.store(count - 1, kRelaxed);
	VSyncEvent* event = fSyncEvent;
	fSyncEvent = nullptr;
	fOwner.store(0, kRelaxed);
	SpinLock::Unlock(&fLockWord);
	if (event != nullptr) {
		// Every waiter wakes and competes again.
		event->Unlock();
		event->Release();
	}
	return true;
}

int32 VCriticalSection::GetOwner() const
{
	SpinLock::Lock(&fLockWord);
	int32 owner = fOwner.load(kRelaxed);
	SpinLock::Unlock(&fLockWord);
	return owner;
}

int32 VCriticalSection::GetUseCount() const
{
	SpinLock::Lock(&fLockWord);
	int32 count = fCount.load(kRelaxed);
	SpinLock::Unlock(&fLockWord);
	return count;
}

} // namespace qirn
