#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

// A 32-bit lock word whose bit 31 is the lock bit, taken and released through
// two process-wide function pointers so that the wait strategy can be chosen
// once at start-up.
class SpinLock {
public:
	using LockProc = void (*)(uint32* ioWord);

	static LockProc Lock;
	static LockProc Unlock;
	static int32 sMaxSpins;
	static bool sYieldAfterCheckEvent;

	// One attempt: true when the bit was clear and is now ours.
	static bool TryLock(uint32* ioWord);

	static void LockMaxSpinsThenLoopYields(uint32* ioWord);
	static void ReleaseWord(uint32* ioWord);

	static constexpr uint32 kLockBit = 0x80000000u;
};

} // namespace qirn
