#include "runtime/VConditionVariable.h"

#include "runtime/SpinLock.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VTaskMgr.h"

namespace qirn {

VConditionVariable::~VConditionVariable()
{
	if (fSyncEvent != nullptr)
		fSyncEvent->Release();
}

bool VConditionVariable::_Wait(VCriticalSection* inSection, bool inWithTimeout, int32 inTimeoutMilliseconds)
{
	// Only the owner may wait: nobody else can free the section while it
	// holds it, nor hand it to the caller.
	if (inSection == nullptr || inSection->GetOwner() != VTaskMgr::GetCurrentTaskID())
		return false;
	VSyncEvent* fresh = nullptr;
	SpinLock::Take(&fLockWord);
	if (fWaiters == 0 && fSyncEvent == nullptr) {
		// No allocation under the word: make the event outside and look again.
		SpinLock::Give(&fLockWord);
		fresh = new VSyncEvent;
		SpinLock::Take(&fLockWord);
	}
	if (fWaiters != 0 && fSection != inSection) {
		SpinLock::Give(&fLockWord);
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
	SpinLock::Give(&fLockWord);
	if (fresh != nullptr)
		fresh->Release();

	// Every level is left, or a broadcaster could never enter; the waiter
	// gets them all back.
	const int32 levels = inSection->_LeaveAll();
	if (event != nullptr) {
		if (inWithTimeout)
			event->Lock(inTimeoutMilliseconds);
		else
			event->Lock();
		event->Release();
	}
	inSection->_EnterAgain(levels);

	SpinLock::Take(&fLockWord);
	if (fWaiters-- == 1)
		fSection = nullptr;
	bool broadcast = fBroadcasts >= 1;
	SpinLock::Give(&fLockWord);
	return broadcast;
}

bool VConditionVariable::Broadcast()
{
	// The event is unlocked under the word, so that no task can join the
	// group between the count and the wake-up and be taken as woken.
	SpinLock::Take(&fLockWord);
	if (fSyncEvent != nullptr) {
		++fBroadcasts;
		fSyncEvent->Unlock();
	}
	SpinLock::Give(&fLockWord);
	return true;
}

} // namespace qirn
