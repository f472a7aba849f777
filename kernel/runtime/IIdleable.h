#pragma once

#include <atomic>

namespace qirn {

class VTask;

// An object that does small pieces of background work on a task: the task
// calls its DoIdle whenever it idles.
class IIdleable {
public:
	IIdleable() = default;
	virtual ~IIdleable();

	IIdleable(const IIdleable&) = delete;
	IIdleable& operator=(const IIdleable&) = delete;

	// Idles on the task (retained), leaving the one it idled on before.
	void StartIdling(VTask* inTask);
	void StartIdling();
	void StopIdling();
	bool IsIdling() const { return fIdling.load(std::memory_order_acquire); }
	// Calls DoIdle while idling.
	void Idle();

	virtual void DoIdle() {}

private:
	VTask* fTask = nullptr;
	std::atomic<bool> fIdling{false};
};

} // namespace qirn
