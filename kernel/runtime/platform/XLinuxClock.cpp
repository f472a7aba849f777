#include "runtime/platform/XLinuxClock.h"

namespace qirn {

timespec XLinuxClock::MonotonicDeadline(int32 inMilliseconds)
{
	if (inMilliseconds < 0)
		inMilliseconds = 0;
	timespec deadline{};
	::clock_gettime(kWaitClock, &deadline);
	deadline.tv_sec += inMilliseconds / 1000;
	deadline.tv_nsec += static_cast<long>(inMilliseconds % 1000) * 1000000L;
	if (deadline.tv_nsec >= 1000000000L) {
		deadline.tv_sec += 1;
		deadline.tv_nsec -= 1000000000L;
	}
	return deadline;
}

uint32 XLinuxClock::CoarseMilliseconds()
{
	timespec now{};
	::clock_gettime(CLOCK_MONOTONIC_COARSE, &now);
	return static_cast<uint32>(static_cast<uint64>(now.tv_sec) * 1000u + static_cast<uint64>(now.tv_nsec) / 1000000u);
}

} // namespace qirn
