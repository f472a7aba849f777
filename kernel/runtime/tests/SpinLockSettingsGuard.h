#pragma once

#include "runtime/SpinLock.h"

namespace qirn {

// Puts the spin-lock settings back as they were after a test changed them.
class SpinLockSettingsGuard {
public:
	SpinLockSettingsGuard() = default;
	~SpinLockSettingsGuard()
	{
		SpinLock::Lock = fLock;
		SpinLock::Unlock = fUnlock;
		SpinLock::sMaxSpins = fMaxSpins;
		SpinLock::sYieldAfterCheckEvent = fYield;
	}
	SpinLockSettingsGuard(const SpinLockSettingsGuard&) = delete;
	SpinLockSettingsGuard& operator=(const SpinLockSettingsGuard&) = delete;

private:
	SpinLock::LockProc fLock = SpinLock::Lock;
	SpinLock::LockProc fUnlock = SpinLock::Unlock;
	int32 fMaxSpins = SpinLock::sMaxSpins;
	bool fYield = SpinLock::sYieldAfterCheckEvent;
};

} // namespace qirn
