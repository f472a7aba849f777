#pragma once

#include "core/VKernelTypes.h"

#include <ctime>

namespace qirn {

// The clock every timed wait of the kernel measures on: monotonic, so that a
// change of the wall clock neither ends a wait early nor stretches it.
class XLinuxClock {
public:
	static constexpr clockid_t kWaitClock = CLOCK_MONOTONIC;

	// The time on kWaitClock inMilliseconds from now (none below 0), for
	// sem_clockwait and conditions made with that clock.
	static timespec MonotonicDeadline(int32 inMilliseconds);

	// Milliseconds of the monotonic clock as the scheduler last saw it (a few
	// milliseconds behind at most), for caches that check their age on every
	// lookup: reading it costs a fraction of a precise reading.
	static uint32 CoarseMilliseconds();
};

} // namespace qirn
