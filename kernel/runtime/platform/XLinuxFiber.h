#pragma once

#include "core/VKernelTypes.h"

#include <atomic>
#include <functional>
#include <pthread.h>
#include <semaphore.h>

namespace qirn {

// A fiber: a thread of its own, parked on a semaphore whenever it is not the
// one running. Handing over posts the next fiber's semaphore and waits on
// one's own, so of the fibers that hand over to each other only one runs at
// a time. Every fiber is a real thread: the current task stays a plain
// thread-local slot and the sanitizers see ordinary threads.
class XLinuxFiber {
public:
	~XLinuxFiber();

	XLinuxFiber(const XLinuxFiber&) = delete;
	XLinuxFiber& operator=(const XLinuxFiber&) = delete;

	// A new fiber whose thread parks until a hand-over names it, then runs
	// inEntry. Null when the semaphore or the thread cannot be made: the
	// 'POSX' error is raised and nothing is left behind.
	static XLinuxFiber* Create(size_t inStackSize, std::function<void()>&& inEntry);
	// A fiber standing for the calling thread (no entry); null with the
	// 'POSX' error when the semaphore cannot be made.
	static XLinuxFiber* CreateFiberForThread();

	// Posts inTo, then parks inFrom's thread until someone hands over to it
	// again (an interrupted wait waits again). Nothing when either is null.
	static void YieldTo(XLinuxFiber* inFrom, XLinuxFiber* inTo);
	void WakeUp();

	pthread_t GetThread() const { return fThread; }

private:
	XLinuxFiber() = default;
	static void* _ThreadProc(void* inArgument);
	void _Wait();

	std::function<void()> fEntry;
	sem_t fSemaphore;
	pthread_t fThread{};
	bool fHasThread = false;
	// Set by the first hand-over to the fiber.
	std::atomic<bool> fStarted{false};
	// Set when the fiber is destroyed before it was ever handed over to:
	// its thread ends without calling the entry.
	std::atomic<bool> fCancelled{false};
};

} // namespace qirn
