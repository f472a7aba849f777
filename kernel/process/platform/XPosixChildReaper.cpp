#include "process/platform/XPosixChildReaper.h"

#include <cerrno>
#include <map>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace qirn {
namespace {

struct WatchState {
	std::mutex sWatchSetMutex;
	std::map<pid_t, int> sWatchSet; // pid -> its pidfd, -1 when the kernel has none
	int fWakeFd = -1;				 // -1 too when no eventfd could be had
	bool fThreadStarted = false;
};

// Never freed: the reaper thread may still wait on it while statics go.
WatchState& State()
{
	static WatchState* sState = new WatchState;
	return *sState;
}

int OpenPidFd(pid_t inPid)
{
#ifdef SYS_pidfd_open
	return static_cast<int>(::syscall(SYS_pidfd_open, inPid, 0));
#else
	(void)inPid;
	return -1;
#endif
}

// The caller is the reaper thread and holds sWatchSetMutex. Only that thread
// reaps and closes pidfds: a pidfd closed by another thread while the reaper
// polls it could come back as a newer descriptor, and the reaper would sleep
// on something that never wakes it.
void CleanLocked(WatchState& ioState)
{
	for (auto entry = ioState.sWatchSet.begin(); entry != ioState.sWatchSet.end();) {
		int status = 0;
		pid_t result;
		do
			result = ::waitpid(entry->first, &status, WNOHANG);
		while (result < 0 && errno == EINTR);
		if (result == entry->first || (result < 0 && errno == ECHILD)) {
			if (entry->second >= 0)
				::close(entry->second);
			entry = ioState.sWatchSet.erase(entry);
		} else {
			++entry;
		}
	}
}

// Runs only while children are watched: with the last one reaped, it closes
// its eventfd and ends in the same locked step, so that a process that has no
// child left running holds no descriptor or thread of the reaper (whether a
// launch left its child here depends only on how fast the child ended).
void ReaperLoop()
{
	WatchState& state = State();
	std::vector<pollfd> fds;
	for (;;) {
		bool someWithoutFd = false;
		int wakeFd = -1;
		{
			std::lock_guard<std::mutex> lock(state.sWatchSetMutex);
			CleanLocked(state);
			if (state.sWatchSet.empty()) {
				if (state.fWakeFd >= 0)
					::close(state.fWakeFd);
				state.fWakeFd = -1;
				state.fThreadStarted = false;
				return;
			}
			wakeFd = state.fWakeFd;
			fds.clear();
			if (wakeFd >= 0)
				fds.push_back(pollfd{wakeFd, POLLIN, 0});
			for (const auto& [pid, pidFd] : state.sWatchSet) {
				if (pidFd >= 0)
					fds.push_back(pollfd{pidFd, POLLIN, 0});
				else
					someWithoutFd = true;
			}
		}
		// Without pidfds (an old kernel) or a way to be woken, the set is
		// looked at now and then.
		const int ready = ::poll(fds.data(), fds.size(), someWithoutFd || wakeFd < 0 ? 100 : -1);
		// This thread alone closes the eventfd, so it is still this one.
		if (ready > 0 && wakeFd >= 0 && fds[0].revents != 0) {
			uint64_t count;
			while (::read(wakeFd, &count, sizeof(count)) > 0) {
			}
		}
	}
}

} // namespace

void XPosixChildReaper::Watch(pid_t inPid)
{
	WatchState& state = State();
	std::lock_guard<std::mutex> lock(state.sWatchSetMutex);
	// The child is unreaped, so its pid cannot have been reused yet.
	state.sWatchSet.emplace(inPid, OpenPidFd(inPid));
	if (!state.fThreadStarted) {
		state.fWakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
		std::thread(ReaperLoop).detach();
		state.fThreadStarted = true;
	} else if (state.fWakeFd >= 0) {
		const uint64_t one = 1;
		(void)!::write(state.fWakeFd, &one, sizeof(one));
	}
}

size_t XPosixChildReaper::GetWatchedCount()
{
	WatchState& state = State();
	std::lock_guard<std::mutex> lock(state.sWatchSetMutex);
	return state.sWatchSet.size();
}

} // namespace qirn
