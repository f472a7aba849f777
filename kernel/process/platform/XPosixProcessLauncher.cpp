#include "process/platform/XPosixProcessLauncher.h"

#include "core/StStringConverter.h"
#include "files/VFilePath.h"
#include "process/platform/XPosixChildReaper.h"
#include "runtime/VError.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

extern char** environ;

namespace qirn {
namespace {

// The kernel error left on the task when the time-out killed the child.
constexpr VError kErrorChildKilledAtTimeout = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 8);

// The exit status for a child ended by a signal.
constexpr int32 kStatusSignaled = -127;

std::string ToUTF8(const VString& inText)
{
	StStringConverter<char> converter(inText, VTC_UTF_8);
	if (converter.GetCPointer() == nullptr)
		return std::string();
	return std::string(converter.GetCPointer(), converter.GetLength());
}

VString FromUTF8(const std::string& inText)
{
	VString text;
	text.FromBlock(inText.data(), inText.size(), VTC_UTF_8);
	return text;
}

void CloseFd(int& ioFd)
{
	if (ioFd >= 0)
		::close(ioFd);
	ioFd = -1;
}

void ClosePipe(int ioPipe[2])
{
	CloseFd(ioPipe[0]);
	CloseFd(ioPipe[1]);
}

// A pipe whose ends are close-on-exec and above 2: a spawn action that
// duplicates one end onto 0, 1 or 2 must never find that end already there
// (which happens when the caller runs with a standard stream closed).
bool MakePipe(int outPipe[2])
{
	int fds[2];
	if (::pipe2(fds, O_CLOEXEC) != 0)
		return false;
	for (int i = 0; i < 2; ++i) {
		if (fds[i] <= 2) {
			const int moved = ::fcntl(fds[i], F_DUPFD_CLOEXEC, 3);
			::close(fds[i]);
			if (moved < 0) {
				::close(fds[1 - i]);
				if (i == 1)
					::close(fds[0]);
				return false;
			}
			fds[i] = moved;
		}
	}
	outPipe[0] = fds[0];
	outPipe[1] = fds[1];
	return true;
}

bool SetNonBlocking(int inFd)
{
	const int flags = ::fcntl(inFd, F_GETFL);
	return flags >= 0 && ::fcntl(inFd, F_SETFL, flags | O_NONBLOCK) == 0;
}

// Keeps SIGPIPE from the calling thread while it writes to a child that may
// have closed its input: the write answers EPIPE instead. A SIGPIPE raised
// meanwhile is taken off the thread before the mask is put back.
class StNoSigPipe {
public:
	StNoSigPipe()
	{
		sigset_t pipeOnly;
		sigemptyset(&pipeOnly);
		sigaddset(&pipeOnly, SIGPIPE);
		sigset_t pending;
		sigpending(&pending);
		fWasPending = sigismember(&pending, SIGPIPE) == 1;
		pthread_sigmask(SIG_BLOCK, &pipeOnly, &fOldMask);
	}
	~StNoSigPipe()
	{
		if (!fWasPending) {
			sigset_t pending;
			sigpending(&pending);
			if (sigismember(&pending, SIGPIPE) == 1) {
				sigset_t pipeOnly;
				sigemptyset(&pipeOnly);
				sigaddset(&pipeOnly, SIGPIPE);
				const timespec zero{0, 0};
				while (::sigtimedwait(&pipeOnly, nullptr, &zero) < 0 && errno == EINTR) {
				}
			}
		}
		pthread_sigmask(SIG_SETMASK, &fOldMask, nullptr);
	}
	StNoSigPipe(const StNoSigPipe&) = delete;
	StNoSigPipe& operator=(const StNoSigPipe&) = delete;

private:
	sigset_t fOldMask;
	bool fWasPending = false;
};

bool IsRegularFile(const std::string& inPath)
{
	struct stat info;
	return ::stat(inPath.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

} // namespace

XPosixProcessLauncher::XPosixProcessLauncher() = default;

XPosixProcessLauncher::~XPosixProcessLauncher()
{
	// A child still running is left to the reaper rather than waited for.
	if (fIsRunning && _Poll()) {
		fWaitTimeout = 0;
		Shutdown(false, false);
	}
	_StopTimer();
	_CloseAllPipes();
	CloseFd(fWakeFd);
}

void XPosixProcessLauncher::SetDefaultDirectory(const VFilePath& inFolder)
{
	fDefaultDirectory.clear();
	VString posix;
	inFolder.GetPosixPath(posix);
	if (!posix.IsEmpty())
		fDefaultDirectory = ToUTF8(posix);
}

void XPosixProcessLauncher::SetEnvironmentVariable(const VString& inName, const VString& inValue)
{
	if (!inName.IsEmpty())
		fEnvironment[inName] = inValue;
}

void XPosixProcessLauncher::SetBinaryPath(const VString& inPath)
{
	fBinaryPath = inPath.IsEmpty() ? std::string() : ToUTF8(inPath);
	if (fArguments.empty())
		fArguments.push_back(inPath);
	else
		fArguments.front() = inPath;
}

void XPosixProcessLauncher::AddArgument(const VString& inArgument)
{
	if (!inArgument.IsNull() && !inArgument.IsEmpty())
		fArguments.push_back(inArgument);
}

// Blanks separate tokens; a token opened by a quote runs to the same quote
// (or the end); a backslash makes the next character ordinary, anywhere in a
// token, quoted or not.
void XPosixProcessLauncher::CreateArgumentsFromFullCommandLine(const VString& inCommandLine)
{
	fArguments.clear();
	if (inCommandLine.IsNull() || inCommandLine.IsEmpty())
		return;
	const std::string line = ToUTF8(inCommandLine);
	std::vector<std::string> tokens;
	size_t pos = 0;
	const size_t end = line.size();
	while (pos < end) {
		if (line[pos] == ' ') {
			++pos;
			continue;
		}
		std::string token;
		if (line[pos] == '"' || line[pos] == '\'') {
			const char quote = line[pos++];
			while (pos < end && line[pos] != quote) {
				if (line[pos] == '\\' && pos + 1 < end)
					++pos;
				else if (line[pos] == '\\') {
					++pos;
					break;
				}
				token += line[pos++];
			}
			if (pos < end)
				++pos; // the closing quote
		} else {
			while (pos < end && line[pos] != ' ') {
				if (line[pos] == '\\') {
					++pos;
					if (pos == end)
						break;
				}
				token += line[pos++];
			}
		}
		tokens.push_back(std::move(token));
	}
	for (const std::string& token : tokens)
		fArguments.push_back(FromUTF8(token));
	if (!fArguments.empty()) {
		const VString program = fArguments.front();
		SetBinaryPath(program);
	}
}

// A name without '/' is looked up on PATH only, as a shell does: the current
// folder is never tried, and a name found nowhere is ENOENT. The first
// executable match wins; a match that cannot be run is kept only when none
// can (the start then answers EACCES).
int XPosixProcessLauncher::_AdjustBinaryPathIfNeeded()
{
	if (fBinaryPath.empty())
		return ENOENT;
	if (fBinaryPath.find('/') != std::string::npos)
		return 0;
	const char* searchPath = std::getenv("PATH");
	if (searchPath == nullptr)
		searchPath = std::getenv("path");
	if (searchPath == nullptr)
		return ENOENT;
	std::string notExecutable;
	const std::string folders(searchPath);
	size_t start = 0;
	while (start <= folders.size()) {
		size_t colon = folders.find(':', start);
		if (colon == std::string::npos)
			colon = folders.size();
		if (colon > start) {
			const std::string candidate = folders.substr(start, colon - start) + "/" + fBinaryPath;
			if (IsRegularFile(candidate)) {
				if (::access(candidate.c_str(), X_OK) == 0) {
					fBinaryPath = candidate;
					return 0;
				}
				if (notExecutable.empty())
					notExecutable = candidate;
			}
		}
		start = colon + 1;
	}
	if (notExecutable.empty())
		return ENOENT;
	fBinaryPath = notExecutable;
	return 0;
}

int XPosixProcessLauncher::Start(const EnvironmentMap& inEnvironment)
{
	if (fIsRunning)
		return -1; // one child per launcher at a time
	fExitStatus = 0;
	{
		std::lock_guard<std::mutex> lock(fChildMutex);
		fTimedOut = false;
	}
	_StopTimer();
	CloseFd(fWakeFd);
	_CloseAllPipes(); // what a former child left unread

	const int found = _AdjustBinaryPathIfNeeded();
	if (found != 0)
		return found;

	if (!MakePipe(fControl))
		return -1;
	if (fRedirectStdIn && !MakePipe(fStdIn)) {
		_CloseAllPipes();
		return -1;
	}
	if (fRedirectStdOut) {
		if (!MakePipe(fStdOut) || !MakePipe(fStdErr) || !SetNonBlocking(fStdOut[0]) || !SetNonBlocking(fStdErr[0])) {
			_CloseAllPipes();
			return -1;
		}
	}

	posix_spawn_file_actions_t actions;
	posix_spawnattr_t attributes;
	int error = posix_spawn_file_actions_init(&actions);
	if (error != 0) {
		syslog(LOG_ERR, "init_pipes error");
		_CloseAllPipes();
		return error;
	}
	error = posix_spawnattr_init(&attributes);
	if (error != 0) {
		posix_spawn_file_actions_destroy(&actions);
		syslog(LOG_ERR, "init_pipes error");
		_CloseAllPipes();
		return error;
	}
	if (fRedirectStdIn)
		error = posix_spawn_file_actions_adddup2(&actions, fStdIn[0], 0);
	if (error == 0 && fRedirectStdOut)
		error = posix_spawn_file_actions_adddup2(&actions, fStdOut[1], 1);
	if (error == 0 && fRedirectStdOut)
		error = posix_spawn_file_actions_adddup2(&actions, fStdErr[1], 2);
	if (error == 0 && !fDefaultDirectory.empty())
		error = posix_spawn_file_actions_addchdir_np(&actions, fDefaultDirectory.c_str());
	// The child gets its standard streams and nothing else.
	if (error == 0)
		error = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
	sigset_t noSignals;
	sigemptyset(&noSignals);
	if (error == 0)
		error = posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK);
	if (error == 0)
		error = posix_spawnattr_setpgroup(&attributes, 0);
	if (error == 0)
		error = posix_spawnattr_setsigmask(&attributes, &noSignals);
	if (error != 0) {
		posix_spawn_file_actions_destroy(&actions);
		posix_spawnattr_destroy(&attributes);
		syslog(LOG_ERR, "init_pipes error");
		_CloseAllPipes();
		return error;
	}

	fArgumentVector.clear();
	for (const VString& argument : fArguments)
		fArgumentVector.push_back(ToUTF8(argument));
	std::vector<char*> argv;
	for (std::string& argument : fArgumentVector)
		argv.push_back(argument.data());
	if (argv.empty())
		argv.push_back(fBinaryPath.data());
	argv.push_back(nullptr);

	std::vector<std::string> environment;
	for (const auto& [name, value] : inEnvironment) {
		if (!name.IsEmpty())
			environment.push_back(ToUTF8(name) + "=" + ToUTF8(value));
	}
	std::vector<char*> envp;
	for (std::string& entry : environment)
		envp.push_back(entry.data());
	envp.push_back(nullptr);

	fIsRunning = true;
	pid_t pid = 0;
	error = ::posix_spawn(&pid, fBinaryPath.c_str(), &actions, &attributes, argv.data(),
						  environment.empty() ? environ : envp.data());
	posix_spawn_file_actions_destroy(&actions);
	posix_spawnattr_destroy(&attributes);
	if (error != 0) {
		// The C library has already reaped a child whose exec failed.
		fIsRunning = false;
		_CloseAllPipes();
		return error;
	}
	{
		std::lock_guard<std::mutex> lock(fChildMutex);
		fPid = pid;
		fTimerCancelled = false;
	}
	fProcessGroup = -pid;

	CloseFd(fControl[1]);
	CloseFd(fStdIn[0]);
	CloseFd(fStdOut[1]);
	CloseFd(fStdErr[1]);
	int result = 0;
	int32 report = 0;
	ssize_t got;
	do
		got = ::read(fControl[0], &report, sizeof(report));
	while (got < 0 && errno == EINTR);
	if (got != 0)
		result = -1;
	CloseFd(fControl[0]);

	if (fWaitTimeout > 0 && fWaitTimeout < kNoTimeout)
		_ArmTimeout(fWaitTimeout);
	return result;
}

void XPosixProcessLauncher::_ArmTimeout(int inMilliseconds)
{
	fWakeFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
	fTimer = std::thread([this, inMilliseconds] {
		std::unique_lock<std::mutex> lock(fChildMutex);
		if (fTimerCondition.wait_for(lock, std::chrono::milliseconds(inMilliseconds),
									 [this] { return fTimerCancelled; }))
			return;
		// Under the lock the child is not reaped yet: its pid, which leads its
		// group, is still its own.
		if (fPid > 0) {
			fTimedOut = true;
			::kill(-fPid, SIGKILL);
			if (fWakeFd >= 0) {
				const uint64_t one = 1;
				(void)!::write(fWakeFd, &one, sizeof(one));
			}
		}
	});
}

void XPosixProcessLauncher::_StopTimer()
{
	{
		std::lock_guard<std::mutex> lock(fChildMutex);
		fTimerCancelled = true;
	}
	fTimerCondition.notify_all();
	if (fTimer.joinable())
		fTimer.join();
}

bool XPosixProcessLauncher::_TimedOut()
{
	std::lock_guard<std::mutex> lock(fChildMutex);
	return fTimedOut;
}

void XPosixProcessLauncher::_RecordStatus(int inStatus)
{
	if (WIFEXITED(inStatus))
		fExitStatus = WEXITSTATUS(inStatus);
	else if (WIFSIGNALED(inStatus))
		fExitStatus = kStatusSignaled;
}

// The caller holds fChildMutex: the pending time-out has nothing left to kill.
void XPosixProcessLauncher::_MarkReaped()
{
	fPid = 0;
	fIsRunning = false;
	fTimerCancelled = true;
	fTimerCondition.notify_all();
}

// Whether the child still runs, reaping it when it has ended. A stopped
// child has not ended: it still holds its pid and may be continued.
bool XPosixProcessLauncher::_Poll()
{
	std::lock_guard<std::mutex> lock(fChildMutex);
	if (fPid <= 0)
		return false;
	int status = 0;
	pid_t result;
	do
		result = ::waitpid(fPid, &status, WNOHANG);
	while (result < 0 && errno == EINTR);
	if (result == 0)
		return true;
	if (result == fPid)
		_RecordStatus(status);
	else
		fExitStatus = 0;
	_MarkReaped();
	return false;
}

bool XPosixProcessLauncher::IsRunning()
{
	if (!fIsRunning)
		return false;
	if (fPid <= 0)
		return true;
	return _Poll();
}

int XPosixProcessLauncher::_ReadPipe(int& ioFd, char* outBuffer, long inSize)
{
	if (ioFd < 0 || outBuffer == nullptr || inSize <= 0)
		return -1;
	ssize_t got;
	do
		got = ::read(ioFd, outBuffer, static_cast<size_t>(inSize));
	while (got < 0 && errno == EINTR);
	VTaskMgr::Yield();
	if (got > 0)
		return static_cast<int>(got);
	if (got < 0 && errno == EAGAIN)
		return 0;
	// The end of the stream (or a failed pipe): nothing more will come.
	CloseFd(ioFd);
	return -1;
}

int XPosixProcessLauncher::WaitForData()
{
	pollfd fds[3];
	nfds_t count = 0;
	int outIndex = -1, errIndex = -1, wakeIndex = -1;
	if (fStdOut[0] >= 0) {
		outIndex = static_cast<int>(count);
		fds[count++] = pollfd{fStdOut[0], POLLIN, 0};
	}
	if (fStdErr[0] >= 0) {
		errIndex = static_cast<int>(count);
		fds[count++] = pollfd{fStdErr[0], POLLIN, 0};
	}
	if (count == 0)
		return 0;
	if (fWakeFd >= 0) {
		wakeIndex = static_cast<int>(count);
		fds[count++] = pollfd{fWakeFd, POLLIN, 0};
	}
	if (::poll(fds, count, -1) < 0)
		return (errno == EINTR && !IsRunning()) ? 4 : 0;
	int result = 0;
	if (outIndex >= 0 && fds[outIndex].revents != 0)
		result |= 1;
	if (errIndex >= 0 && fds[errIndex].revents != 0)
		result |= 2;
	if (wakeIndex >= 0 && fds[wakeIndex].revents != 0)
		result |= 4; // killed at its time-out
	return result;
}

void XPosixProcessLauncher::CloseStandardInput()
{
	CloseFd(fStdIn[1]);
}

int XPosixProcessLauncher::WriteToChild(const void* inData, unsigned inSize, bool inCloseAfter)
{
	if (inData == nullptr || !fIsRunning || fStdIn[1] < 0)
		return -1;
	VTaskMgr::Yield();
	int result = 0;
	{
		StNoSigPipe noSigPipe;
		const char* data = static_cast<const char*>(inData);
		size_t done = 0;
		while (done < inSize) {
			const ssize_t wrote = ::write(fStdIn[1], data + done, inSize - done);
			if (wrote < 0 && errno == EINTR)
				continue;
			if (wrote < 0 && errno == EAGAIN) {
				pollfd writable{fStdIn[1], POLLOUT, 0};
				::poll(&writable, 1, -1);
				continue;
			}
			if (wrote < 0) {
				result = -1;
				break;
			}
			done += static_cast<size_t>(wrote);
		}
		if (result == 0)
			result = static_cast<int>(done);
	}
	if (inCloseAfter)
		CloseStandardInput();
	return result;
}

void XPosixProcessLauncher::Pump(const void* inInput, size_t inInputSize, const DataSink& inOnOutput,
								 const DataSink& inOnError)
{
	// Without input, standard input is the caller's to write or close.
	const bool feedInput = inInput != nullptr;
	const char* input = static_cast<const char*>(inInput);
	size_t inputLeft = feedInput ? inInputSize : 0;
	if (feedInput && (inputLeft == 0 || (fStdIn[1] >= 0 && !SetNonBlocking(fStdIn[1]))))
		CloseStandardInput();
	std::vector<char> buffer(65536);
	StNoSigPipe noSigPipe;
	for (;;) {
		pollfd fds[4];
		nfds_t count = 0;
		int outIndex = -1, errIndex = -1, inIndex = -1, wakeIndex = -1;
		if (fStdOut[0] >= 0) {
			outIndex = static_cast<int>(count);
			fds[count++] = pollfd{fStdOut[0], POLLIN, 0};
		}
		if (fStdErr[0] >= 0) {
			errIndex = static_cast<int>(count);
			fds[count++] = pollfd{fStdErr[0], POLLIN, 0};
		}
		if (feedInput && fStdIn[1] >= 0) {
			inIndex = static_cast<int>(count);
			fds[count++] = pollfd{fStdIn[1], POLLOUT, 0};
		}
		if (count == 0)
			break;
		if (fWakeFd >= 0) {
			wakeIndex = static_cast<int>(count);
			fds[count++] = pollfd{fWakeFd, POLLIN, 0};
		}
		if (::poll(fds, count, -1) < 0) {
			if (errno == EINTR)
				continue;
			break;
		}
		// Killed at its time-out: a descendant of another group may still
		// hold the pipes open, so their end is not waited for.
		if (wakeIndex >= 0 && fds[wakeIndex].revents != 0)
			break;
		const auto drain = [&](int inIndex, int& ioFd, const DataSink& inSink) {
			if (inIndex < 0 || fds[inIndex].revents == 0)
				return;
			const ssize_t got = ::read(ioFd, buffer.data(), buffer.size());
			if (got > 0) {
				if (inSink)
					inSink(buffer.data(), static_cast<size_t>(got));
			} else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
				if (got < 0)
					syslog(LOG_ERR, "READ ERROR : %s", std::strerror(errno));
				CloseFd(ioFd);
			}
		};
		drain(outIndex, fStdOut[0], inOnOutput);
		drain(errIndex, fStdErr[0], inOnError);
		if (inIndex >= 0 && fds[inIndex].revents != 0) {
			const ssize_t wrote = ::write(fStdIn[1], input, inputLeft);
			if (wrote > 0) {
				input += wrote;
				inputLeft -= static_cast<size_t>(wrote);
				if (inputLeft == 0)
					CloseStandardInput();
			} else if (wrote < 0 && errno != EAGAIN && errno != EINTR) {
				CloseStandardInput(); // the child no longer reads (EPIPE)
			}
		}
	}
}

int XPosixProcessLauncher::ReadFromChildAndShutdown(const DataSink& inOnOutput, const DataSink& inOnError)
{
	Pump(nullptr, 0, inOnOutput, inOnError);
	return Shutdown(false, false);
}

void XPosixProcessLauncher::_KillGroupIfUnreaped()
{
	std::lock_guard<std::mutex> lock(fChildMutex);
	if (fPid > 0)
		::kill(-fPid, SIGKILL);
}

int XPosixProcessLauncher::Shutdown(bool inKill, bool inKillTree)
{
	const bool killTree = inKillTree && fKillTree;
	bool treeKilled = false;
	// Asked to kill, the caller does not wait for the child to end first.
	if (fWaitTimeout > 0 && !inKill && fIsRunning && fPid > 0) {
		// Waits for the end without reaping, so that the group can still be
		// told apart from a newcomer's when it must be killed.
		siginfo_t info;
		while (::waitid(P_PID, static_cast<id_t>(fPid), &info, WEXITED | WNOWAIT) < 0 && errno == EINTR) {
		}
		if (killTree) {
			_KillGroupIfUnreaped();
			treeKilled = true;
		}
	}
	if (_TimedOut())
		_ThrowError(kErrorChildKilledAtTimeout);
	if (fIsRunning && (fPid <= 0 || _Poll())) {
		CloseFd(fStdOut[0]);
		CloseFd(fStdErr[0]);
		CloseFd(fStdIn[1]);
		if (inKill) {
			if (_Poll()) {
				if (!_TerminateIndependantChildProcess(SIGTERM, 5000, false) &&
					!_TerminateIndependantChildProcess(SIGQUIT, 5000, false))
					_TerminateIndependantChildProcess(SIGKILL, 5000, false);
				_Poll();
			}
		} else if (_Poll()) {
			if (killTree) {
				_KillGroupIfUnreaped();
				treeKilled = true;
			}
			std::lock_guard<std::mutex> lock(fChildMutex);
			if (fPid > 0)
				XPosixChildReaper::Watch(fPid);
		}
	}
	if (killTree && !treeKilled && fProcessGroup < 0)
		::kill(fProcessGroup, SIGKILL);
	{
		std::lock_guard<std::mutex> lock(fChildMutex);
		fPid = 0;
		fIsRunning = false;
		fTimerCancelled = true;
	}
	fTimerCondition.notify_all();
	return 0;
}

bool XPosixProcessLauncher::_TerminateIndependantChildProcess(int inSignal, int inTimeoutMs, bool inToGroup)
{
	{
		std::lock_guard<std::mutex> lock(fChildMutex);
		if (fPid <= 0)
			return true;
		if (::kill(inToGroup ? -fPid : fPid, inSignal) != 0)
			return errno == ESRCH;
	}
	const int timeout = inTimeoutMs < 1 ? 30 : inTimeoutMs;
	int waited = 0;
	while (_Poll()) {
		if (waited >= timeout)
			return !_Poll();
		VTask::Sleep(30);
		VTaskMgr::Yield();
		waited += 30;
	}
	return true;
}

bool XPosixProcessLauncher::KillProcess(int inPid)
{
	// 0 and negative pids name process groups, the caller's own among them.
	if (inPid <= 0)
		return false;
	return ::kill(inPid, SIGTERM) == 0;
}

size_t XPosixProcessLauncher::GetWatchedChildCount()
{
	return XPosixChildReaper::GetWatchedCount();
}

void XPosixProcessLauncher::_CloseAllPipes()
{
	ClosePipe(fStdIn);
	ClosePipe(fStdOut);
	ClosePipe(fStdErr);
	ClosePipe(fControl);
}

} // namespace qirn
