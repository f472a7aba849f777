#pragma once

#include "core/VKernelTypes.h"

#include <atomic>
#include <optional>
#include <string>

namespace qirn {

// The three wait strategies a lock word may use, by their "mode" names in
// "spinlock.prm".
enum class ESpinLockMode {
	kAlwaysSleep,
	kLoopMaxSpinsAndYields,
	kMaxSpinsThenLoopYields,
};

// The settings of "spinlock.prm", already parsed: each member is present only
// when the file holds that key with a value of the right JSON kind.
struct SpinLockSettings {
	std::optional<std::u16string> fMode;
	std::optional<double> fMaxSpins;
	std::optional<bool> fYieldAfterCheckEvent;
};

// A 32-bit lock word whose bit 31 is the lock bit, taken and released through
// two process-wide function pointers so that the wait strategy can be chosen
// once at start-up. The other bits of the word belong to its user.
class SpinLock {
public:
	using LockProc = void (*)(uint32* ioWord);

	static LockProc Lock;
	static LockProc Unlock;
	static int32 sMaxSpins;
	static bool sYieldAfterCheckEvent;

	// One attempt: true when the bit was clear and is now ours.
	static bool TryLock(uint32* ioWord)
	{
		std::atomic_ref<uint32> word(*ioWord);
		return (word.fetch_or(kLockBit, std::memory_order_acquire) & kLockBit) == 0;
	}

	static void LockMaxSpinsThenLoopYields(uint32* ioWord);
	static void LockLoopMaxSpinsAndYields(uint32* ioWord);
	static void LockAlwaysSleep(uint32* ioWord);
	static void ReleaseWord(uint32* ioWord);

	static LockProc GetStrategy(ESpinLockMode inMode);

	// Reads "spinlock.prm" from the executable's folder and installs what it
	// asks for. Only while the main task is the one task: other tasks could
	// hold lock words taken by the strategy being replaced.
	static void Configure();

	// The steps of Configure after the file was read and parsed; null when
	// there is no file or it does not hold a JSON object.
	static void _ConfigureFrom(const SpinLockSettings* inSettings);

	// Applies parsed settings: a recognised mode installs its strategy, an
	// unknown one keeps the current one; "maxSpins" is truncated towards zero
	// and clamped to 32 bits, NaN being ignored.
	static void ApplySettings(const SpinLockSettings& inSettings);

	// The mode a "mode" text names (letter case not significant), if any.
	static std::optional<ESpinLockMode> ModeFromName(const std::u16string& inName);

	static constexpr uint32 kLockBit = 0x80000000u;
};

} // namespace qirn
