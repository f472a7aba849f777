#pragma once

// What tests wait with. A wait that should end at once gets kHangMilliseconds,
// so that a regression fails the test instead of hanging the run; waits whose
// length is what a test checks keep their own figures.

#include "runtime/VSyncEvent.h"

namespace qirn::testing {

inline constexpr int32 kHangMilliseconds = 60000;

// A one-shot gate between threads: Open lets every waiter through, Wait
// answers whether it opened within the hang limit.
class Gate {
public:
	Gate() : fEvent(new VSyncEvent) {}
	~Gate() { fEvent->Release(); }
	Gate(const Gate&) = delete;
	Gate& operator=(const Gate&) = delete;

	void Open() { fEvent->Unlock(); }
	bool Wait(int32 inMilliseconds = kHangMilliseconds) { return fEvent->Lock(inMilliseconds); }
	bool IsOpen() { return fEvent->IsUnlocked(); }

private:
	VSyncEvent* fEvent;
};

} // namespace qirn::testing
