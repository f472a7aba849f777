#include "runtime/VConditionVariable.h"

#include "runtime/SpinLock.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VSyncEvent.h"

namespace qirn {

VConditionVariable::~VConditionVariable()
{
	if (fSyncEvent != nullptr)
		fSyncEvent->Release();
}

bool VConditionVariable::_Wait(VCriticalSection* inSection, bool inWithTimeout, int32 inTimeoutMilliseconds)
{
	VSyncEvent* fresh = nullptr;
	SpinLock::Lock(&fLockWord);
	if (fWaiters == 0 && fSyncEvent == nullptr) {
		// No allocation under the word: make the event outside and look again.
		SpinLock::Unlock(&fLockWord);
		fresh = new VSyncEvent;
		SpinLock::Lock(&fLockWord);
	}
	if (fWaiters != 0 && fSection != inSection) {
		SpinLock::Unlock(&fLockWord);
		if (fresh != nullptr)
			fresh->Release();
		return false;
	}
	if (fWaiters++ == 0) {
		if (fSyncEvent != nullptr) {
			fSyncEvent->Reset();
		} else {
			fSyncEvent = fresh;
			fresh = nullptr;
		}
		fBroadcasts = 0;
		fSection = inSection;
	}
	VSyncEvent* event = fSyncEvent;
	if (event != nullptr)
		event->Retain();
	SpinLock::Unlock(&fLockWord);
	if (fresh != nullptr)
		fresh->Release();

	inSection->Unlock();
	if (event != nullptr) {
		if (inWithTimeout)
			event->Lock(inTimeoutMilliseconds);
		else
			event->Lock();
		event->Release();
	}
	inSection->Lock();

	SpinLock::Lock(&fLockWord);
	if (fWaiters-- == 1)
		fSection = nullptr;
	bool broadcast = fBroadcasts >= 1;
	SpinLock::Unlock(&fLockWord);
	return broadcast;
}

bool VConditionVariable::Broadcast()
{
	// The event is unlocked under the word, so that no task can join the
	// group between the count and the wake-up and be taken as woken.
	SpinLock::Lock(&fLockWord);
	if (fSyncEvent != nullptr) {
		++fBroadcasts;
		fSyncEvent->Unlock();
	}
	SpinLock::Unlock(&fLockWord);
	return true;
}

} // namespace qirn
