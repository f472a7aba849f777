#include "runtime/VCriticalSection.h"

#include "runtime/SpinLock.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VTaskMgr.h"

#include <sched.h>

namespace qirn {

VCriticalSection::~VCriticalSection()
{
	while (fCount > 0)
		Unlock();
}

bool VCriticalSection::Lock()
{
	const int32 id = VTaskMgr::GetCurrentTaskID();
	SpinLock::Lock(&fLockWord);
	for (;;) {
		if (fOwner == 0 || fOwner == id) {
			fOwner = id;
			++fCount;
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
		if (fOwner == 0) {
			fOwner = id;
			++fCount;
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
	SpinLock::Lock(&fLockWord);
	if (fOwner != 0 && fOwner != id) {
		SpinLock::Unlock(&fLockWord);
		return false;
	}
	fOwner = id;
	++fCount;
	SpinLock::Unlock(&fLockWord);
	return true;
}

bool VCriticalSection::Unlock()
{
	SpinLock::Lock(&fLockWord);
	if (--fCount == 0) {
		VSyncEvent* event = fSyncEvent;
		fSyncEvent = nullptr;
		fOwner = 0;
		SpinLock::Unlock(&fLockWord);
		if (event != nullptr) {
			event->Unlock();
			event->Release();
		}
	} else {
		SpinLock::Unlock(&fLockWord);
	}
	return true;
}

int32 VCriticalSection::GetOwner() const
{
	SpinLock::Lock(&fLockWord);
	int32 owner = fOwner;
	SpinLock::Unlock(&fLockWord);
	return owner;
}

int32 VCriticalSection::GetUseCount() const
{
	SpinLock::Lock(&fLockWord);
	int32 count = fCount;
	SpinLock::Unlock(&fLockWord);
	return count;
}

} // namespace qirn
