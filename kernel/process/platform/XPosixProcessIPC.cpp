#include "process/platform/XPosixProcessIPC.h"

#include "process/VProcess.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace qirn {

namespace {

// The pipe's write end for the handler; -1 while nobody listens. A
// lock-free atomic, the only kind of shared state a handler may read.
std::atomic<int> sSignalPipe{-1};
static_assert(std::atomic<int>::is_always_lock_free);

constexpr int kSignals[3] = {SIGTERM, SIGINT, SIGQUIT};

// Asks the reader to end: no signal has the number 0.
constexpr unsigned char kStopByte = 0;

} // namespace

XPosixProcessIPC::~XPosixProcessIPC()
{
	_Uninstall();
}

void XPosixProcessIPC::_Handler(int inSignal)
{
	const int savedErrno = errno;
	const int pipe = sSignalPipe.load(std::memory_order_acquire);
	if (pipe >= 0) {
		const unsigned char byte = static_cast<unsigned char>(inSignal);
		// Non-blocking: with the pipe full, a quit is under way already.
		[[maybe_unused]] const ssize_t written = ::write(pipe, &byte, 1);
	}
	errno = savedErrno;
}

bool XPosixProcessIPC::Init()
{
	int expected = -1;
	if (fOwnsHandler || sSignalPipe.load(std::memory_order_acquire) != -1)
		return false;
	if (::pipe2(fPipe, O_CLOEXEC) != 0)
		return false;
	::fcntl(fPipe[1], F_SETFL, ::fcntl(fPipe[1], F_GETFL) | O_NONBLOCK);
	if (!sSignalPipe.compare_exchange_strong(expected, fPipe[1], std::memory_order_acq_rel)) {
		::close(fPipe[0]);
		::close(fPipe[1]);
		fPipe[0] = fPipe[1] = -1;
		return false;
	}
	fOwnsHandler = true;
	try {
		fReader = std::thread([this]() { _Read(); });
	} catch (...) {
		_Uninstall();
		return false;
	}
	// Each signal's handler keeps the other two out while it runs.
	for (int i = 0; i < 3; ++i) {
		struct sigaction action = {};
		action.sa_handler = &XPosixProcessIPC::_Handler;
		sigemptyset(&action.sa_mask);
		for (int other : kSignals) {
			if (other != kSignals[i])
				sigaddset(&action.sa_mask, other);
		}
		action.sa_flags = SA_RESTART;
		if (kSignals[i] == SIGQUIT)
			action.sa_flags |= SA_RESETHAND;
		if (::sigaction(kSignals[i], &action, &fPrevious[i]) != 0) {
			_Uninstall();
			return false;
		}
		fInstalled[i] = true;
	}
	return true;
}

void XPosixProcessIPC::_Uninstall()
{
	for (int i = 2; i >= 0; --i) {
		if (fInstalled[i])
			::sigaction(kSignals[i], &fPrevious[i], nullptr);
		fInstalled[i] = false;
	}
	if (fOwnsHandler) {
		sSignalPipe.store(-1, std::memory_order_release);
		fOwnsHandler = false;
	}
	if (fReader.joinable()) {
		const unsigned char stop = kStopByte;
		while (::write(fPipe[1], &stop, 1) < 0 && (errno == EINTR || errno == EAGAIN)) {
		}
		fReader.join();
	}
	for (int& end : fPipe) {
		if (end >= 0)
			::close(end);
		end = -1;
	}
}

void XPosixProcessIPC::_Read()
{
	for (;;) {
		unsigned char signal = 0;
		const ssize_t got = ::read(fPipe[0], &signal, 1);
		if (got < 0 && errno == EINTR)
			continue;
		if (got <= 0 || signal == kStopByte)
			return;
		VProcess* process = VProcess::sInstance.load(std::memory_order_acquire);
		if (process == nullptr)
			continue;
		if (signal == SIGINT) {
			std::fputs(kInterruptLine, stdout);
			std::fflush(stdout);
		}
		if (signal == SIGTERM || signal == SIGINT || signal == SIGQUIT)
			process->QuitAsynchronously(nullptr);
	}
}

} // namespace qirn
