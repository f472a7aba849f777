#include "runtime/SpinLock.h"

#include "runtime/VTaskMgr.h"

#include <atomic>

namespace qirn {

SpinLock::LockProc SpinLock::Lock = &SpinLock::LockMaxSpinsThenLoopYields;
SpinLock::LockProc SpinLock::Unlock = &SpinLock::ReleaseWord;
int32 SpinLock::sMaxSpins = 1;
bool SpinLock::sYieldAfterCheckEvent = false;

bool SpinLock::TryLock(uint32* ioWord)
{
	std::atomic_ref<uint32> word(*ioWord);
	uint32 old = word.fetch_or(kLockBit, std::memory_order_acquire);
	return (old & kLockBit) == 0;
}

void SpinLock::LockMaxSpinsThenLoopYields(uint32* ioWord)
{
	int32 maxSpins = sMaxSpins;
	int32 attempts = 0;
	do {
		if (TryLock(ioWord))
			return;
	} while (++attempts < maxSpins);
	for (;;) {
		VTaskMgr::YieldNow();
		if (TryLock(ioWord))
			return;
	}
}

void SpinLock::ReleaseWord(uint32* ioWord)
{
	std::atomic_ref<uint32> word(*ioWord);
	word.fetch_and(~kLockBit, std::memory_order_release);
}

} // namespace qirn
