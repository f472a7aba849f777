#pragma once

#include "core/VObject.h"
#include "core/VString.h"
#include "core/VStringLessCompareStrict.h"

#include <condition_variable>
#include <cstddef>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qirn {

class VFilePath;

// Starts one child with posix_spawn, in a process group of its own, with
// pipes for its standard streams, and waits for it. Every descriptor is made
// close-on-exec and the child closes all but 0, 1 and 2 before it runs, so
// that no launch (from any thread) leaks a descriptor into another child.
// An optional time-out kills the child's group from a timer thread; the
// timer and the reaping take one lock, so a pid is never signalled once
// reaped (and possibly reused).
class XPosixProcessLauncher : public VObject {
public:
	using EnvironmentMap = std::map<VString, VString, VStringLessCompareStrict>;
	// Receives each piece of a child's output, in order.
	using DataSink = std::function<void(const void*, size_t)>;

	static constexpr int32 kNoTimeout = 0x7FFFFFFF;

	XPosixProcessLauncher();
	~XPosixProcessLauncher() override;

	XPosixProcessLauncher(const XPosixProcessLauncher&) = delete;
	XPosixProcessLauncher& operator=(const XPosixProcessLauncher&) = delete;

	void SetDefaultDirectory(const VFilePath& inFolder);
	void SetEnvironmentVariable(const VString& inName, const VString& inValue);
	void SetEnvironmentVariables(const EnvironmentMap& inVariables) { fEnvironment = inVariables; }
	void SetBinaryPath(const VString& inPath);
	void CreateArgumentsFromFullCommandLine(const VString& inCommandLine);
	void AddArgument(const VString& inArgument);
	void ClearArguments() { fArguments.clear(); }
	void SetWaitClosingChildProcess(int inMilliseconds) { fWaitTimeout = inMilliseconds; }
	void SetRedirectStandardInput(bool inRedirect) { fRedirectStdIn = inRedirect; }
	void SetRedirectStandardOutput(bool inRedirect) { fRedirectStdOut = inRedirect; }
	void SetQuoteArgumentsIfNeeded(bool inQuote) { fQuoteArgumentsIfNeeded = inQuote; }
	void EnableProcessTreeKill() { fKillTree = true; }

	void CloseStandardInput();
	int WriteToChild(const void* inData, unsigned inSize, bool inCloseAfter);
	int WaitForData();
	int ReadFromChild(char* outBuffer, long inSize) { return _ReadPipe(fStdOut[0], outBuffer, inSize); }
	int ReadErrorFromChild(char* outBuffer, long inSize) { return _ReadPipe(fStdErr[0], outBuffer, inSize); }
	int ReadFromChildAndShutdown(const DataSink& inOnOutput, const DataSink& inOnError);

	// Feeds inInput (may be null) to the child while both outputs are read to
	// their end, in one poll loop, so that no pipe can fill up and stall the
	// child; standard input is closed once the input is written or the child
	// stops reading it. A null sink drops its stream's data. Stops early when
	// the time-out killed the child, even when a descendant still holds a pipe.
	void Pump(const void* inInput, size_t inInputSize, const DataSink& inOnOutput, const DataSink& inOnError);

	int GetPid() const { return fPid; }
	static bool KillProcess(int inPid);

	int Start() { return Start(fEnvironment); }
	int Start(const EnvironmentMap& inEnvironment);
	bool IsRunning();
	int Shutdown(bool inKill, bool inKillTree);
	int GetExitStatus() const { return fExitStatus; }

	// The arguments as split or added, the program first.
	const std::vector<VString>& GetArguments() const { return fArguments; }

	// How many children left running still wait to be reaped; with none,
	// the reaper holds no descriptor.
	static size_t GetWatchedChildCount();

private:
	bool _Poll();
	void _RecordStatus(int inStatus);
	void _MarkReaped();
	int _AdjustBinaryPathIfNeeded();
	int _ReadPipe(int& ioFd, char* outBuffer, long inSize);
	bool _TerminateIndependantChildProcess(int inSignal, int inTimeoutMs, bool inToGroup);
	void _ArmTimeout(int inMilliseconds);
	void _StopTimer();
	bool _TimedOut();
	void _KillGroupIfUnreaped();
	void _CloseAllPipes();

	std::string fDefaultDirectory; // POSIX form, UTF-8; empty when unset
	EnvironmentMap fEnvironment;
	std::string fBinaryPath; // UTF-8; empty when unset
	std::vector<VString> fArguments;
	std::vector<std::string> fArgumentVector;
	bool fIsRunning = false;
	int32 fExitStatus = 0;
	int32 fWaitTimeout = kNoTimeout;
	int32 fPid = 0; // written under fChildMutex once a timer runs
	int fStdIn[2] = {-1, -1};
	int fStdOut[2] = {-1, -1};
	int fStdErr[2] = {-1, -1};
	int fControl[2] = {-1, -1};
	bool fRedirectStdIn = true;
	bool fRedirectStdOut = true;
	bool fQuoteArgumentsIfNeeded = true; // kept for callers; arguments travel as split
	bool fKillTree = false;
	int32 fProcessGroup = 0;

	// The time-out: the timer thread and the reaping share fChildMutex.
	std::mutex fChildMutex;
	std::condition_variable fTimerCondition;
	std::thread fTimer;
	bool fTimerCancelled = false;
	bool fTimedOut = false;
	int fWakeFd = -1; // readable once the time-out has fired
};

} // namespace qirn
