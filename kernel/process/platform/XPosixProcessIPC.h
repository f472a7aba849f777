#pragma once

#include "core/VObject.h"

#include <csignal>
#include <thread>

namespace qirn {

// Ends the process's main loop on SIGTERM, SIGINT and SIGQUIT. The signal
// handler itself only writes the signal's number into a pipe, the one thing
// it may safely do; a thread of ours reads it, prints the ctrl-c line for
// SIGINT and asks the process to quit. SIGQUIT is handled once: a second
// one has the system's default effect.
class XPosixProcessIPC : public VObject {
public:
	XPosixProcessIPC() = default;
	// Puts the signals' earlier handling back and ends the thread.
	~XPosixProcessIPC() override;

	XPosixProcessIPC(const XPosixProcessIPC&) = delete;
	XPosixProcessIPC& operator=(const XPosixProcessIPC&) = delete;

	// False when the pipe, the thread or any of the three handlers could not
	// be set up (and nothing is left installed), or when another object
	// handles the signals already.
	bool Init();

	// What the reader prints on standard output for SIGINT.
	static constexpr const char* kInterruptLine = "\n (ctrl-c has been received - quit)\n\n";

private:
	static void _Handler(int inSignal);
	void _Read();
	void _Uninstall();

	int fPipe[2] = {-1, -1};
	std::thread fReader;
	struct sigaction fPrevious[3] = {};
	bool fInstalled[3] = {false, false, false};
	bool fOwnsHandler = false;
};

} // namespace qirn
