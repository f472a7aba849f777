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
	int fWakeFd = -1;
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

// The caller holds sWatchSetMutex.
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

void ReaperLoop()
{
	WatchState& state = State();
	std::vector<pollfd> fds;
	for (;;) {
		bool someWithoutFd = false;
		{
			std::lock_guard<std::mutex> lock(state.sWatchSetMutex);
			fds.assign(1, pollfd{state.fWakeFd, POLLIN, 0});
			for (const auto& [pid, pidFd] : state.sWatchSet) {
				if (pidFd >= 0)
					fds.push_back(pollfd{pidFd, POLLIN, 0});
				else
					someWithoutFd = true;
			}
		}
		// Without pidfds (an old kernel) the set is looked at now and then.
		const int ready = ::poll(fds.data(), fds.size(), someWithoutFd ? 100 : -1);
		if (ready < 0 && errno != EINTR)
			continue;
		std::lock_guard<std::mutex> lock(state.sWatchSetMutex);
		if (fds[0].revents != 0) {
			uint64_t count;
			while (::read(state.fWakeFd, &count, sizeof(count)) > 0) {
			}
		}
		CleanLocked(state);
	}
}

} // namespace

void XPosixChildReaper::Watch(pid_t inPid)
{
	WatchState& state = State();
	std::lock_guard<std::mutex> lock(state.sWatchSetMutex);
	if (!state.fThreadStarted) {
		state.fWakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
		if (state.fWakeFd >= 0) {
			std::thread(ReaperLoop).detach();
			state.fThreadStarted = true;
		}
	}
	// The child is unreaped, so its pid cannot have been reused yet.
	state.sWatchSet.emplace(inPid, OpenPidFd(inPid));
	if (state.fWakeFd >= 0) {
		const uint64_t one = 1;
		(void)!::write(state.fWakeFd, &one, sizeof(one));
	}
}

void XPosixChildReaper::CleanWatchSet()
{
	WatchState& state = State();
	std::lock_guard<std::mutex> lock(state.sWatchSetMutex);
	CleanLocked(state);
}

size_t XPosixChildReaper::GetWatchedCount()
{
	WatchState& state = State();
	std::lock_guard<std::mutex> lock(state.sWatchSetMutex);
	return state.sWatchSet.size();
}

} // namespace qirn
