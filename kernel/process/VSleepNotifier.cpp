#include "process/VSleepNotifier.h"

#include "core/VString.h"
#include "process/VLogger.h"
#include "process/VProcess.h"
#include "process/platform/XLinuxSleepNotifier.h"
#include "runtime/IFiberScheduler.h"
#include "runtime/VError.h"
#include "runtime/VTaskMgr.h"

#include <vector>

namespace qirn {

std::atomic<VSleepNotifier*> VSleepNotifier::sInstance{nullptr};

VSleepNotifier::VSleepNotifier() : fPlatform(std::make_unique<XLinuxSleepNotifier>())
{
	// The process frame makes the process's notifier; a second one (a test's)
	// leaves it in place.
	VSleepNotifier* none = nullptr;
	sInstance.compare_exchange_strong(none, this, std::memory_order_acq_rel);
}

VSleepNotifier::~VSleepNotifier()
{
	VSleepNotifier* self = this;
	sInstance.compare_exchange_strong(self, nullptr, std::memory_order_acq_rel);
	// The platform thread goes first: no event may reach a notifier that is
	// being destroyed.
	fPlatform.reset();
	UnregisterSleepHandlers();
}

VSleepNotifier* VSleepNotifier::Instance()
{
	return sInstance.load(std::memory_order_acquire);
}

VError VSleepNotifier::Init()
{
	if (fPlatform == nullptr) {
		_ThrowError(VE_SLEEP_NOTIFIER_BAD_HANDLER);
		return VE_SLEEP_NOTIFIER_BAD_HANDLER;
	}
	// The owner is known before the first event can come.
	fPlatform->SetOwner(this);
	const VError error = fPlatform->Init();
	if (error != VE_OK) {
		fPlatform->SetOwner(nullptr);
		_ThrowError(error);
	}
	return error;
}

VError VSleepNotifier::RegisterSleepHandler(ISleepHandler* inHandler)
{
	if (inHandler == nullptr)
		return VE_SLEEP_NOTIFIER_BAD_HANDLER;
	StLocker<VCriticalSection> locker(fLock);
	VString name;
	inHandler->GetHandlerName(name);
	if (fHandlers.insert(inHandler).second)
		inHandler->Retain();
	return VE_OK;
}

VError VSleepNotifier::UnregisterSleepHandler(ISleepHandler* inHandler)
{
	if (inHandler == nullptr)
		return VE_SLEEP_NOTIFIER_BAD_HANDLER;
	bool found = false;
	{
		StLocker<VCriticalSection> locker(fLock);
		found = fHandlers.erase(inHandler) != 0;
	}
	// Released outside the lock: the last release may run a handler's own
	// clean-up, which may come back to the notifier.
	if (found)
		inHandler->Release();
	return VE_OK;
}

void VSleepNotifier::UnregisterSleepHandlers()
{
	std::set<ISleepHandler*> handlers;
	{
		StLocker<VCriticalSection> locker(fLock);
		handlers.swap(fHandlers);
	}
	for (ISleepHandler* handler : handlers)
		handler->Release();
}

void VSleepNotifier::HaveSleepNotification()
{
	_Notify(true);
}

void VSleepNotifier::HaveWakeupNotification()
{
	_Notify(false);
}

void VSleepNotifier::_Notify(bool inSleep)
{
	if (VProcess* process = VProcess::sInstance.load(std::memory_order_acquire)) {
		if (VLogger* logger = process->GetLogger()) {
			logger->LogMessage(EML_Information,
					VString(inSleep ? "System is going to sleep" : "System woke up from sleep"),
					VString("sleepNotifications"));
		}
	}

	IFiberScheduler* scheduler = VTaskMgr::Get() != nullptr ? VTaskMgr::Get()->RetainFiberScheduler() : nullptr;
	if (scheduler != nullptr)
		scheduler->SetSystemCallCFRunloop(inSleep);

	// The handlers are called on a copy, outside the lock, so that one may
	// register or unregister handlers; the copy holds its own references, so
	// that a handler unregistered meanwhile lives until its call is over.
	std::vector<ISleepHandler*> handlers;
	{
		StLocker<VCriticalSection> locker(fLock);
		handlers.reserve(fHandlers.size());
		for (ISleepHandler* handler : fHandlers) {
			handler->Retain();
			handlers.push_back(handler);
		}
	}
	VString name;
	for (ISleepHandler* handler : handlers) {
		if (inSleep)
			handler->DoSleep();
		else
			handler->DoWakeUp();
		handler->GetHandlerName(name);
		handler->Release();
	}

	if (scheduler != nullptr)
		scheduler->Release();
}

} // namespace qirn
