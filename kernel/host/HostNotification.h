#pragma once

// A small modal alert outside the application's windows: a header, a
// message and up to three buttons. Plain C++ only.
//
// In a graphical session (DISPLAY or WAYLAND_DISPLAY set) with "zenity" on
// PATH, the alert is a zenity dialog run as a child process. Elsewhere the
// header and message go to standard error as "header: message" and the
// default button counts as pressed, so that a process without a screen
// neither blocks nor loses what it had to say.

#include <memory>
#include <string>
#include <sys/types.h>

namespace qirn::host {

struct NotificationRequest {
	std::string fHeader;
	std::string fMessage; // may be empty
	bool fCaution = false;
	std::string fIconPath; // the application's icon file; empty for none
	// Empty titles are buttons the alert does not have; with all three empty
	// the alert shows its single "OK" button, answered as the default one.
	std::string fDefaultButton;
	std::string fAlternateButton;
	std::string fOtherButton;
};

// Which button ended the alert.
enum class NotificationPress {
	kDefault,
	kAlternate,
	kOther,
	kCancelled, // closed, killed or cancelled without a button
};

class HostNotification {
public:
	// Shows the alert; null when it could not be shown.
	static std::unique_ptr<HostNotification> Show(const NotificationRequest& inRequest);

	~HostNotification();
	HostNotification(const HostNotification&) = delete;
	HostNotification& operator=(const HostNotification&) = delete;

	// Blocks until the user answers.
	NotificationPress WaitForPress();
	// Whether the alert has ended (collecting it when it has), without waiting.
	bool HasEnded();
	// Closes the alert without a button; it then counts as ended.
	void Cancel();

	// The main bundle's icon ("CFBundleIconFile" among its resources), or
	// empty when it names none or the file is missing.
	static std::string FindMainBundleIcon();

	// Whether alerts go to zenity in this environment (else standard error).
	static bool HasGraphicalService();

private:
	HostNotification(const NotificationRequest& inRequest, pid_t inPid, int inOutput);
	NotificationPress _Collect(int inStatus);
	void _ReadOutput();

	NotificationRequest fRequest;
	pid_t fPid;		 // 0 once collected, or for an alert written to standard error
	int fOutput;	 // zenity's standard output: the title of an extra button pressed
	std::string fPrinted;
	NotificationPress fPress = NotificationPress::kDefault;
};

} // namespace qirn::host
