#pragma once

#include <mutex>

namespace qirn {

// The task manager's recursive lock. Owned by a thread, not by a task: it
// guards the registry while tasks come and go, before a thread is bound to
// its task and after it was unbound.
class XTaskMgrMutexImpl {
public:
	void Lock() { fMutex.lock(); }
	void Unlock() { fMutex.unlock(); }

private:
	std::recursive_mutex fMutex;
};

} // namespace qirn
