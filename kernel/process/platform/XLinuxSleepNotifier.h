#pragma once

#include "core/VKernelTypes.h"

#include <atomic>
#include <memory>

namespace qirn {

class VSleepNotifier;

// The system's sleep and wake, from the login manager's PrepareForSleep
// signal on the system bus. The notifier has a thread of its own that runs a
// GLib main context: the signal arrives there and the owner's handlers run
// there. While it listens it holds a "delay" inhibitor, so that the system
// waits for the handlers before it sleeps: the inhibitor is released once the
// sleep handlers ran and taken again at wake.
class XLinuxSleepNotifier {
public:
	XLinuxSleepNotifier();
	~XLinuxSleepNotifier();

	XLinuxSleepNotifier(const XLinuxSleepNotifier&) = delete;
	XLinuxSleepNotifier& operator=(const XLinuxSleepNotifier&) = delete;

	void SetOwner(VSleepNotifier* inOwner) { fOwner = inOwner; }

	// 0 when listening, and 0 when there is no system bus or no login
	// manager on it (nothing will be heard); 1150 raised when the thread
	// cannot start.
	VError Init();

	// Whether the signal is being listened to.
	bool IsListening() const;
	// Whether a delay inhibitor is held now.
	bool HoldsInhibitor() const;

private:
	struct Listener;

	std::atomic<VSleepNotifier*> fOwner{nullptr};
	std::unique_ptr<Listener> fListener;
};

} // namespace qirn
