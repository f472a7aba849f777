#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"

#include <atomic>

namespace qirn {

// The change counter a container shares with every container stored inside
// it: a change anywhere below advances the counter the top holder reads.
class VJSONStamp : public VObject, public IRefCountable {
public:
	VJSONStamp() = default;

	uint32 GetCounter() const { return fCounter.load(std::memory_order_relaxed); }
	void Touch() { fCounter.fetch_add(1, std::memory_order_relaxed); }

private:
	std::atomic<uint32> fCounter{0};
};

} // namespace qirn
