#pragma once

#include "core/IRefCountable.h"
#include "core/VKernelTypes.h"
#include "core/VObject.h"

#include <atomic>

namespace qirn {

class IMessageable;

// What a message holds of its target, so that a message may outlive the
// object it was meant for: the target is cleared when that object goes.
class VMessagingContext : public VObject, public IRefCountable {
public:
	VMessagingContext(IMessageable* inTarget, int32 inTaskID) : fTarget(inTarget), fTaskID(inTaskID) {}

	// The task that receives the target's messages; 0 once the target is gone.
	int32 GetMessagingTask() const;
	IMessageable* GetTarget() const { return fTarget.load(std::memory_order_acquire); }
	bool IsAccepting() const { return fAccepting.load(std::memory_order_acquire); }

	void _SetMessagingTask(int32 inTaskID) { fTaskID.store(inTaskID, std::memory_order_release); }
	void _SetAccepting(bool inAccepting) { fAccepting.store(inAccepting, std::memory_order_release); }
	void _ClearTarget() { fTarget.store(nullptr, std::memory_order_release); }

private:
	std::atomic<IMessageable*> fTarget;
	std::atomic<int32> fTaskID;
	std::atomic<bool> fAccepting{true};
};

} // namespace qirn
