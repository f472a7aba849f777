#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

class VCriticalSection;
class VSyncEvent;

// A broadcast-only condition variable used with a VCriticalSection. All the
// tasks waiting at one time must use the same section.
class VConditionVariable {
public:
	VConditionVariable() = default;
	~VConditionVariable();

	VConditionVariable(const VConditionVariable&) = delete;
	VConditionVariable& operator=(const VConditionVariable&) = delete;

	// The caller holds inSection, maybe more than once; every level is left
	// while waiting and held again on return. Answers whether a broadcast
	// came; false at once, changing nothing, when the caller does not hold
	// the section or other waiters use another section.
	bool Wait(VCriticalSection* inSection) { return _Wait(inSection, false, 0); }
	bool Wait(VCriticalSection* inSection, int32 inTimeoutMilliseconds)
	{
		return _Wait(inSection, true, inTimeoutMilliseconds);
	}

	// Wakes every task waiting now.
	bool Broadcast();

	bool _Wait(VCriticalSection* inSection, bool inWithTimeout, int32 inTimeoutMilliseconds);

private:
	VSyncEvent* fSyncEvent = nullptr;
	VCriticalSection* fSection = nullptr;
	uint32 fLockWord = 0;
	int16 fWaiters = 0;
	uint16 fBroadcasts = 0;
};

} // namespace qirn
