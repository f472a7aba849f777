#include "runtime/platform/XLinuxFiber.h"

#include "runtime/VError.h"
#include "runtime/VSystem.h"

#include <cerrno>
#include <limits.h>

namespace qirn {

XLinuxFiber::~XLinuxFiber()
{
	if (fHasThread) {
		// A thread still parked for its start ends without running.
		if (!fStarted.load(std::memory_order_acquire))
			fCancelled.store(true, std::memory_order_release);
		::sem_post(&fSemaphore);
		if (::pthread_equal(::pthread_self(), fThread))
			::pthread_detach(fThread);
		else
			::pthread_join(fThread, nullptr);
	}
	// A thread's own fiber is deleted by its thread or after it ended:
	// nobody waits on the semaphore any more.
	::sem_destroy(&fSemaphore);
}

XLinuxFiber* XLinuxFiber::CreateFiberForThread()
{
	XLinuxFiber* fiber = new XLinuxFiber;
	if (::sem_init(&fiber->fSemaphore, 0, 0) != 0) {
		const int error = errno;
		::operator delete(fiber); // no semaphore to destroy
		_ThrowError(MAKE_VERROR('POSX', error));
		return nullptr;
	}
	fiber->fThread = ::pthread_self();
	return fiber;
}

XLinuxFiber* XLinuxFiber::Create(size_t inStackSize, std::function<void()>&& inEntry)
{
	size_t stackSize = VSystem::RoundUpVMPageSize(inStackSize);
	const size_t minimum = static_cast<size_t>(PTHREAD_STACK_MIN);
	if (stackSize < minimum)
		stackSize = VSystem::RoundUpVMPageSize(minimum);

	XLinuxFiber* fiber = new XLinuxFiber;
	if (::sem_init(&fiber->fSemaphore, 0, 0) != 0) {
		const int error = errno;
		::operator delete(fiber);
		_ThrowError(MAKE_VERROR('POSX', error));
		return nullptr;
	}
	fiber->fEntry = std::move(inEntry);
	pthread_attr_t attributes;
	int error = ::pthread_attr_init(&attributes);
	if (error == 0) {
		error = ::pthread_attr_setstacksize(&attributes, stackSize);
		if (error == 0)
			error = ::pthread_attr_setdetachstate(&attributes, PTHREAD_CREATE_JOINABLE);
		if (error == 0)
			error = ::pthread_create(&fiber->fThread, &attributes, &_ThreadProc, fiber);
		::pthread_attr_destroy(&attributes);
	}
	if (error != 0) {
		delete fiber; // no thread: destroys the semaphore and the entry
		_ThrowError(MAKE_VERROR('POSX', error));
		return nullptr;
	}
	fiber->fHasThread = true;
	return fiber;
}

void* XLinuxFiber::_ThreadProc(void* inArgument)
{
	XLinuxFiber* self = static_cast<XLinuxFiber*>(inArgument);
	self->_Wait();
	if (self->fCancelled.load(std::memory_order_acquire))
		return nullptr;
	self->fEntry();
	return nullptr;
}

void XLinuxFiber::_Wait()
{
	// A signal handled without SA_RESTART interrupts the wait: the fiber is
	// still not the one to run.
	while (::sem_wait(&fSemaphore) != 0 && errno == EINTR) {
	}
}

void XLinuxFiber::YieldTo(XLinuxFiber* inFrom, XLinuxFiber* inTo)
{
	if (inFrom == nullptr || inTo == nullptr || inFrom == inTo)
		return;
	inTo->fStarted.store(true, std::memory_order_release);
	::sem_post(&inTo->fSemaphore);
	inFrom->_Wait();
}

void XLinuxFiber::WakeUp()
{
	fStarted.store(true, std::memory_order_release);
	::sem_post(&fSemaphore);
}

} // namespace qirn
