#pragma once

#include "core/IRefCountable.h"
#include "core/VKernelTypes.h"
#include "core/VObject.h"
#include "runtime/VCriticalSection.h"

#include <atomic>
#include <memory>
#include <set>

namespace qirn {

class VString;
class XLinuxSleepNotifier;

// A null handler given to the notifier.
constexpr VError VE_SLEEP_NOTIFIER_BAD_HANDLER = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 3);
// The system's sleep notifications cannot be received.
constexpr VError VE_SLEEP_NOTIFIER_CANNOT_REGISTER = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 1150);

// Tells the process when the machine is going to sleep and when it woke up:
// each event is logged, told to the fiber scheduler and to the registered
// handlers. The events come from the platform notifier's own thread, and the
// handlers run there: they must be thread-safe.
class VSleepNotifier : public VObject {
public:
	class ISleepHandler : public IRefCountable {
	public:
		virtual void DoSleep() = 0;
		virtual void DoWakeUp() = 0;
		virtual void GetHandlerName(VString& outName) const = 0;
	};

	VSleepNotifier();
	~VSleepNotifier() override;

	VSleepNotifier(const VSleepNotifier&) = delete;
	VSleepNotifier& operator=(const VSleepNotifier&) = delete;

	// The process's notifier: the first one made that still lives (the
	// process frame makes it at start-up), null without one.
	static VSleepNotifier* Instance();

	// Starts listening to the system. A system that tells nothing of its
	// sleep (no system bus, no login manager) is no failure: 0, and no event
	// comes. A failure is raised and answered.
	VError Init();

	// 3 (not raised) for a null handler; a handler registered twice is kept
	// once. Each registered handler is retained.
	VError RegisterSleepHandler(ISleepHandler* inHandler);
	VError UnregisterSleepHandler(ISleepHandler* inHandler);
	void UnregisterSleepHandlers();

	// The events, as the platform notifier reports them (tests inject them).
	void HaveSleepNotification();
	void HaveWakeupNotification();

private:
	void _Notify(bool inSleep);

	std::unique_ptr<XLinuxSleepNotifier> fPlatform;
	std::set<ISleepHandler*> fHandlers; // retained, under fLock
	VCriticalSection fLock;

	static std::atomic<VSleepNotifier*> sInstance;
};

} // namespace qirn
