#pragma once

// Runs the built updater bundle as a black box: a sandbox folder that is the
// child's whole world (HOME, XDG folders, PATH with the fakes a test asks
// for), sample bundles that record each start, real caller processes, and
// snapshots of folder trees to compare bundles on disk.

#include <functional>
#include <map>
#include <string>
#include <sys/types.h>
#include <vector>

namespace qirn::e2e {

// The updater's executables under test.
std::string UpdaterExecutable();
// Empty when the build has no fault points.
std::string FaultsExecutable();

// Small file helpers; failures make the calling test fail.
void WriteFile(const std::string& inPath, const std::string& inText, unsigned inMode = 0644);
std::string ReadFile(const std::string& inPath);
bool Exists(const std::string& inPath);
void MakeFolder(const std::string& inPath, unsigned inMode = 0755);
std::vector<std::string> ListNames(const std::string& inFolder);
void ChangeOwner(const std::string& inPath, uid_t inUser, gid_t inGroup);

// One entry of a tree: its kind ('d', 'f', 'l'), permission bits and, for a
// file its contents, for a link its target.
struct Entry {
	char fKind = 0;
	unsigned fMode = 0;
	std::string fData;
	bool operator==(const Entry&) const = default;
};
// Every entry under a root (the root itself as ""), by relative path; empty
// when the root does not exist.
using Tree = std::map<std::string, Entry>;
Tree Snapshot(const std::string& inRoot);
// A readable difference for failure messages.
std::string DescribeDifference(const Tree& inExpected, const Tree& inActual);

// A sample application bundle: Info.plist, an executable script that
// records each start (its version and arguments, one line in $HOME/starts),
// resources with various modes, a hidden file, an empty folder and a
// relative link.
struct SampleBundle {
	std::string fVersion = "1.0";
	bool fExecutable = true;
	// Extra payload: that many files of that size under Contents/Payload.
	int fPayloadFiles = 0;
	size_t fPayloadBytes = 0;
};
void MakeSampleBundle(const std::string& inPath, const SampleBundle& inSample);

// The world of one updater run.
class Sandbox {
public:
	Sandbox();
	~Sandbox();
	Sandbox(const Sandbox&) = delete;
	Sandbox& operator=(const Sandbox&) = delete;

	const std::string& Root() const { return fRoot; }
	std::string Path(const std::string& inName) const { return fRoot + "/" + inName; }
	std::string Home() const { return Path("home"); }
	std::string DataHome() const { return Path("home/.local/share"); }
	std::string Logs() const { return Path("logs"); }
	std::string Fakes() const { return Path("fakes"); }
	// Where the outdated bundle lives, and the update.
	std::string Installed() const { return Path("apps/Sample.app"); }
	std::string Update() const { return Path("updates/Sample.app"); }

	// The usual pair: 1.0 installed, 2.0 as the update.
	void MakeBundles(const SampleBundle& inOld = {"1.0"}, const SampleBundle& inNew = {"2.0"});

	// A shell script put in the fakes folder (first on PATH).
	void AddFake(const std::string& inName, const std::string& inScript);

	// The environment of the child: HOME, XDG_*, LANG, TZ, PATH (the fakes
	// folder only: the updater finds its own open first, and a sample
	// script needs nothing but its shell's builtins), plus the extras.
	std::vector<std::string> Environment(const std::vector<std::string>& inExtra = {}) const;

	// The lines the started samples wrote, waiting up to inTimeoutMs for
	// at least inCount of them.
	std::vector<std::string> Starts(size_t inCount = 0, int inTimeoutMs = 0);
	// The lines a fake wrote on the FIFO named "<name>.fifo" in the root.
	std::string FakeReport(const std::string& inName, int inTimeoutMs);
	void OpenFakeReport(const std::string& inName);

	// Names in the trash, and the trashed entry's path.
	std::vector<std::string> TrashNames() const;
	std::string Trashed(const std::string& inName) const { return DataHome() + "/Trash/files/" + inName; }
	// The Sample_old*.app entries beside the installed bundle.
	std::vector<std::string> SetAside() const;

	// The run's log file (the only *_1.txt file of the log folder), or empty.
	std::string LogText() const;

	// The whole sandbox made over to that user (for runs as nobody).
	void GiveTo(uid_t inUser, gid_t inGroup) const;

private:
	struct Listener {
		int fRead = -1;
		int fWrite = -1;
		std::string fPending;
	};
	static void OpenFifo(const std::string& inPath, Listener& outListener);
	static std::string ReadAvailable(Listener& ioListener, int inTimeoutMs, const std::function<bool(const std::string&)>& inDone);

	std::string fRoot;
	Listener fStarts;
	std::map<std::string, Listener> fFakes;
};

// Whether the log has a line of that level ("INFO", "ERROR") holding text.
bool HasLogLine(const std::string& inLog, const std::string& inLevel, const std::string& inText);
// The messages of the log's lines of that level, in order.
std::vector<std::string> LogMessages(const std::string& inLog, const std::string& inLevel);

// A process the updater waits for: it runs until told to quit, and the test
// reaps it (an ended but unreaped caller is a zombie meanwhile).
class Caller {
public:
	Caller();
	~Caller();
	Caller(const Caller&) = delete;
	Caller& operator=(const Caller&) = delete;

	pid_t Pid() const { return fPid; }
	void Quit();
	void Reap();

private:
	pid_t fPid = -1;
	int fControl = -1;
};

struct RunOptions {
	std::string fExecutable;
	std::vector<std::string> fArguments;
	std::vector<std::string> fEnvironment;
	std::string fWorkingFolder;
	// Runs in the child before the program starts (drop privileges, set
	// limits); the child ends with 126 when it answers false.
	std::function<bool()> fChildSetUp;
};

// One run of the updater as a child process with both streams collected.
class UpdaterRun {
public:
	UpdaterRun() = default;
	~UpdaterRun();
	UpdaterRun(const UpdaterRun&) = delete;
	UpdaterRun& operator=(const UpdaterRun&) = delete;

	bool Start(const RunOptions& inOptions);
	pid_t Pid() const { return fPid; }

	// The next line on standard output (without its newline), waiting up to
	// inTimeoutMs; empty on a time-out or end of file.
	std::string ReadOutputLine(int inTimeoutMs);
	// Whether standard output reaches its end within inTimeoutMs, while the
	// process may still run.
	bool OutputEnds(int inTimeoutMs);
	// Waits up to inTimeoutMs for the end, collecting both streams; false
	// on a time-out (the process then still runs).
	bool Wait(int inTimeoutMs);
	void Kill(int inSignal);

	bool Exited() const { return fExited; }
	// The exit code, or -1 after a signal.
	int ExitCode() const { return fExitCode; }
	int Signal() const { return fSignal; }
	const std::string& Output() const { return fOutput; }
	const std::string& Errors() const { return fErrors; }

private:
	void Pump(int inTimeoutMs, const std::function<bool()>& inDone);

	pid_t fPid = -1;
	int fPidFd = -1;
	int fOut = -1;
	int fErr = -1;
	bool fExited = false;
	int fExitCode = -1;
	int fSignal = 0;
	std::string fOutput;
	size_t fOutputRead = 0;
	std::string fErrors;
};

// The common case: start, wait (up to 60 s, then kill), collect.
struct RunResult {
	int fExitCode = -1;
	int fSignal = 0;
	std::string fOutput;
	std::string fErrors;
};
RunResult RunUpdater(const RunOptions& inOptions, int inTimeoutMs = 60000);

// The usual arguments: a log folder, then the two bundles.
std::vector<std::string> UsualArguments(const Sandbox& inSandbox, const std::vector<std::string>& inBefore = {});

// Looks up nobody in the test process; false when not root or missing.
bool FindNobody(uid_t& outUser, gid_t& outGroup);

} // namespace qirn::e2e
