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

	// One attempt: true when the bit was clear and is now ours. A held word
	// is only read, so that waiting tasks do not pull its line from the
	// holder; a compare-and-swap failing for another bit tries again.
	static bool TryLock(uint32* ioWord)
	{
		std::atomic_ref<uint32> word(*ioWord);
		uint32 value = word.load(std::memory_order_relaxed);
		while ((value & kLockBit) == 0) {
			if (word.compare_exchange_weak(value, value | kLockBit, std::memory_order_acquire,
										   std::memory_order_relaxed))
				return true;
		}
		return false;
	}

	// What sections and condition variables take and release their words
	// with: one attempt in line, the strategy only when it fails (every
	// strategy starts with attempts, so one more changes nothing), and the
	// clear-bit release in line while it is the installed one.
	static void Take(uint32* ioWord)
	{
		if (!TryLock(ioWord))
			Lock(ioWord);
	}
	static void Give(uint32* ioWord)
	{
		if (Unlock == &ReleaseWord)
			_ReleaseWord(ioWord);
		else
			Unlock(ioWord);
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

private:
	static void _ReleaseWord(uint32* ioWord)
	{
		// A plain release store: while the bit is ours nobody else changes the
		// word (a failed attempt writes back the value it found).
		std::atomic_ref<uint32> word(*ioWord);
		word.store(word.load(std::memory_order_relaxed) & ~kLockBit, std::memory_order_release);
	}
};

} // namespace qirn
