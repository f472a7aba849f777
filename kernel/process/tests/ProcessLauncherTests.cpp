#include "process/VProcessLauncher.h"
#include "process/platform/XPosixProcessLauncher.h"

#include "core/VString.h"
#include "files/VFilePath.h"
#include "testing/RaisedErrors.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TempFolder.h"
#include "testing/TestThreads.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <csignal>
#include <dirent.h>
#include <fstream>
#include <set>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

extern char** environ;

namespace qirn {
namespace {

using Buffer = VMemoryBuffer<>;

std::string Text(const Buffer& inBuffer)
{
	return std::string(static_cast<const char*>(inBuffer.GetDataPtr()), inBuffer.GetDataSize());
}

VString Str(const std::string& inText)
{
	VString text;
	text.FromBlock(inText.data(), inText.size(), VTC_UTF_8);
	return text;
}

std::set<std::string> OpenDescriptors()
{
	std::set<std::string> names;
	if (DIR* dir = ::opendir("/proc/self/fd")) {
		while (dirent* entry = ::readdir(dir)) {
			if (entry->d_name[0] != '.')
				names.insert(entry->d_name);
		}
		::closedir(dir);
	}
	// The listing's own descriptor, open while it was read.
	return names;
}

// What each descriptor leads to, for the message of a failed comparison.
std::string DescribeDescriptors()
{
	std::string text;
	for (const std::string& name : OpenDescriptors()) {
		char target[512] = {};
		const ssize_t length = ::readlink(("/proc/self/fd/" + name).c_str(), target, sizeof(target) - 1);
		text += name + " -> " + (length > 0 ? std::string(target, static_cast<size_t>(length)) : "?") + "\n";
	}
	return text;
}

// The direct children of this process, whatever thread started them.
std::set<pid_t> Children()
{
	std::set<pid_t> pids;
	if (DIR* dir = ::opendir("/proc/self/task")) {
		while (dirent* entry = ::readdir(dir)) {
			if (entry->d_name[0] == '.')
				continue;
			std::ifstream file(std::string("/proc/self/task/") + entry->d_name + "/children");
			pid_t pid;
			while (file >> pid)
				pids.insert(pid);
		}
		::closedir(dir);
	}
	return pids;
}

// 'R', 'S', 'T', 'Z'... or 0 once the pid is gone.
char ProcessState(pid_t inPid)
{
	std::ifstream file("/proc/" + std::to_string(inPid) + "/stat");
	std::string line;
	if (!std::getline(file, line))
		return 0;
	const size_t close = line.rfind(')');
	return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : 0;
}

// Polls until inDone answers true, within the hang limit.
template <class Predicate>
bool Eventually(Predicate inDone)
{
	const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(testing::kHangMilliseconds);
	while (!inDone()) {
		if (std::chrono::steady_clock::now() > limit)
			return false;
		std::this_thread::sleep_for(std::chrono::milliseconds(5));
	}
	return true;
}

// Fake programs in a folder put first on PATH.
class ProcessLauncher : public ::testing::Test {
protected:
	void SetUp() override
	{
		const char* path = std::getenv("PATH");
		fEnvironment.Set("PATH", fFolder.Path() + ":" + (path != nullptr ? path : "/usr/bin:/bin"));
		// Prints each argument between angle brackets.
		WriteProgram("qirn-args", "#!/bin/sh\nfor a in \"$@\"; do printf '<%s>' \"$a\"; done\n");
	}

	void WriteProgram(const std::string& inName, const std::string& inScript, mode_t inMode = 0755)
	{
		const std::string path = fFolder / inName;
		std::ofstream(path) << inScript;
		::chmod(path.c_str(), inMode);
	}

	struct Outcome {
		int fResult = -99;
		int fStatus = -99;
		std::string fOutput;
		std::string fError;
	};

	static Outcome Execute(const std::string& inCommandLine, const std::string* inInput = nullptr,
						   std::vector<VString>* inExtra = nullptr, VProcessLauncher::EnvironmentMap* inEnvironment = nullptr,
						   VFilePath* inFolder = nullptr)
	{
		Outcome outcome;
		Buffer input, output, error;
		if (inInput != nullptr)
			input.AddData(inInput->data(), inInput->size());
		outcome.fResult = VProcessLauncher::ExecuteCommandLine(Str(inCommandLine), 0, inInput != nullptr ? &input : nullptr,
															   &output, &error, inEnvironment, inFolder, &outcome.fStatus,
															   nullptr, inExtra, true, false);
		outcome.fOutput = Text(output);
		outcome.fError = Text(error);
		return outcome;
	}

	testing::TempFolder fFolder;
	testing::ScopedEnvironment fEnvironment;
};

TEST_F(ProcessLauncher, SplitsCommandLines)
{
	struct Case {
		const char* fLine;
		const char* fArguments;
	} const cases[] = {
		{"qirn-args -a \"/Apps/My App.app\" --args --headless", "<-a></Apps/My App.app><--args><--headless>"},
		{"qirn-args 'a b' \"\" x", "<a b><><x>"},
		{"qirn-args \"runs to the end", "<runs to the end>"},
		{"qirn-args a\\ b\\ c", "<a b c>"},
		{"qirn-args abc\\", "<abc>"},
		{"qirn-args it's \"say 'hi'\"", "<it's><say 'hi'>"},
		{"qirn-args \"a \\\"q\\\" b\" \\\\x", "<a \"q\" b><\\x>"},
		{"  qirn-args   many    blanks  ", "<many><blanks>"},
		{"qirn-args \"\\\\server\\\\share\"", "<\\server\\share>"},
		{"qirn-args été", "<été>"},
	};
	for (const Case& c : cases) {
		const Outcome outcome = Execute(c.fLine);
		EXPECT_EQ(outcome.fResult, 0) << c.fLine;
		EXPECT_EQ(outcome.fOutput, c.fArguments) << c.fLine;
	}
}

// Extra arguments travel whole, quoting asked or not: a path may hold any
// character a shell or the splitter would read.
TEST_F(ProcessLauncher, ExtraArgumentsArriveWhole)
{
	std::vector<VString> extra = {Str("/tmp/we\"ird\\ dir/it's $HOME"), Str("--args"), Str("\\"), Str("\"")};
	const Outcome outcome = Execute("qirn-args first", nullptr, &extra);
	EXPECT_EQ(outcome.fResult, 0);
	EXPECT_EQ(outcome.fOutput, "<first></tmp/we\"ird\\ dir/it's $HOME><--args><\\><\">");
}

TEST_F(ProcessLauncher, AddArgumentWithQuoting)
{
	VProcessLauncher launcher;
	launcher.CreateArgumentsFromFullCommandLine(CVSTR("qirn-args"));
	launcher.AddArgument(CVSTR("a b"), true);
	launcher.AddArgument(CVSTR("c"), false);
	launcher.AddArgument(CVSTR(""), false); // ignored
	ASSERT_EQ(launcher.Start(), 0);
	Buffer output;
	launcher.ReadStd(&output, nullptr);
	EXPECT_EQ(launcher.Shutdown(false, false), 0);
	EXPECT_EQ(Text(output), "<\"a b\"><c>");
}

TEST_F(ProcessLauncher, ExitStatuses)
{
	struct Case {
		const char* fLine;
		int fStatus;
	} const cases[] = {
		{"true", 0},
		{"sh -c \"exit 3\"", 3},
		{"sh -c \"exit 255\"", 255},
		{"sh -c \"kill -KILL $$\"", -127},
		{"sh -c \"kill -TERM $$\"", -127},
	};
	for (const Case& c : cases) {
		const Outcome outcome = Execute(c.fLine);
		EXPECT_EQ(outcome.fResult, 0) << c.fLine;
		EXPECT_EQ(outcome.fStatus, c.fStatus) << c.fLine;
	}
}

// Input, output and error move together: none of the three can stall the
// child, whichever it fills first.
TEST_F(ProcessLauncher, FeedsInputWhileReadingBothOutputs)
{
	std::string input(1 << 20, 0);
	for (size_t i = 0; i < input.size(); ++i)
		input[i] = static_cast<char>(i * 7 + i / 251);
	Outcome outcome = Execute("cat", &input);
	EXPECT_EQ(outcome.fResult, 0);
	EXPECT_TRUE(outcome.fOutput == input) << outcome.fOutput.size();

	// Standard error filled (past a pipe's room) before a word on output.
	outcome = Execute("sh -c \"head -c 300000 /dev/zero >&2; echo done\"");
	EXPECT_EQ(outcome.fOutput, "done\n");
	EXPECT_EQ(outcome.fError.size(), 300000u);

	// The same input echoed on error while output says it read it all.
	outcome = Execute("sh -c \"cat >&2; echo read\"", &input);
	EXPECT_EQ(outcome.fOutput, "read\n");
	EXPECT_TRUE(outcome.fError == input);

	// Waiting without buffers still drains the child's output.
	EXPECT_EQ(VProcessLauncher::ExecuteCommandLine(CVSTR("head -c 300000 /dev/zero"), 0, nullptr, nullptr, nullptr,
												   nullptr, nullptr, nullptr, nullptr, nullptr, true, false),
			  0);
}

// A child that closes its input early: the rest of the input is dropped,
// with no SIGPIPE (which would end this test program).
TEST_F(ProcessLauncher, ChildClosingItsInput)
{
	const std::string input(1 << 20, 'x');
	const Outcome outcome = Execute("sh -c \"exec 0<&-; echo closed\"", &input);
	EXPECT_EQ(outcome.fResult, 0);
	EXPECT_EQ(outcome.fOutput, "closed\n");

	VProcessLauncher launcher;
	launcher.CreateArgumentsFromFullCommandLine(CVSTR("sh -c \"exec 0<&-; echo closed; exec sleep 30\""));
	ASSERT_EQ(launcher.Start(), 0);
	char buffer[64];
	int got = 0;
	while (got == 0) {
		ASSERT_NE(launcher.WaitForData() & 1, 0);
		got = launcher.ReadFromChild(buffer, sizeof(buffer));
	}
	EXPECT_EQ(std::string(buffer, got), "closed\n");
	EXPECT_EQ(launcher.WriteToChild("more", 4, false), -1);
	EXPECT_TRUE(launcher.IsRunning());
	EXPECT_EQ(launcher.Shutdown(true, false), 0);
	EXPECT_EQ(launcher.GetExitStatus(), -127);
	EXPECT_EQ(launcher.WriteToChild("more", 4, false), -1);
}

// Failed starts leave no child and no descriptor behind.
TEST_F(ProcessLauncher, FailedStarts)
{
	WriteProgram("qirn-not-executable", "#!/bin/sh\necho no\n", 0644);
	WriteProgram("qirn-here-only", "#!/bin/sh\necho here\n");
	const std::string notExecutable = fFolder / "qirn-not-executable";
	struct Case {
		std::string fLine;
		int fResult;
	} const cases[] = {
		{"qirn-no-such-program", ENOENT},
		{fFolder / "missing", ENOENT},
		{"qirn-not-executable", EACCES},
		{notExecutable, EACCES},
		{fFolder.Path(), EACCES},
		{"", ENOENT},
		{"   ", ENOENT},
	};
	const std::set<std::string> descriptors = OpenDescriptors();
	const std::set<pid_t> children = Children();
	for (const Case& c : cases) {
		int status = -99;
		VProcessLauncher* launcher = nullptr;
		EXPECT_EQ(VProcessLauncher::ExecuteCommandLine(Str(c.fLine), 0, nullptr, nullptr, nullptr, nullptr, nullptr,
													   &status, nullptr, nullptr, true, false),
				  c.fResult)
			<< c.fLine;
		EXPECT_EQ(status, -99) << c.fLine; // left alone on failure
		EXPECT_EQ(VProcessLauncher::ExecuteCommandLine(Str(c.fLine), 0, nullptr, nullptr, nullptr, nullptr, nullptr,
													   nullptr, &launcher, nullptr, true, false),
				  c.fResult);
		ASSERT_NE(launcher, nullptr); // handed out even so
		EXPECT_FALSE(launcher->IsRunning());
		delete launcher;
	}
	EXPECT_EQ(OpenDescriptors(), descriptors);
	EXPECT_EQ(Children(), children);

	// A name without '/' is looked for on PATH only, never in the folder
	// the child starts in.
	VFilePath folder(Str(fFolder.Path() + "/"), FPS_POSIX);
	fEnvironment.Set("PATH", "/usr/bin:/bin");
	EXPECT_EQ(Execute("qirn-here-only", nullptr, nullptr, nullptr, &folder).fResult, ENOENT);
	EXPECT_EQ(Execute("./qirn-here-only", nullptr, nullptr, nullptr, &folder).fOutput, "here\n");
}

TEST_F(ProcessLauncher, EnvironmentAndFolder)
{
	VProcessLauncher::EnvironmentMap environment;
	environment[CVSTR("QIRN_ONE")] = CVSTR("1");
	environment[CVSTR("")] = CVSTR("skipped");
	environment[CVSTR("QIRN_TWO")] = CVSTR("deux été");
	EXPECT_EQ(Execute("env", nullptr, nullptr, &environment).fOutput, "QIRN_ONE=1\nQIRN_TWO=deux été\n");

	// An empty map passes this process's environment.
	fEnvironment.Set("QIRN_INHERITED", "yes");
	environment.clear();
	EXPECT_EQ(Execute("sh -c \"echo $QIRN_INHERITED\"", nullptr, nullptr, &environment).fOutput, "yes\n");

	VFilePath folder(Str(fFolder.Path() + "/"), FPS_POSIX);
	char real[PATH_MAX];
	ASSERT_NE(::realpath(fFolder.Path().c_str(), real), nullptr);
	EXPECT_EQ(Execute("pwd -P", nullptr, nullptr, nullptr, &folder).fOutput, std::string(real) + "\n");
	VFilePath missing(Str(fFolder.Path() + "/missing/"), FPS_POSIX);
	EXPECT_EQ(Execute("pwd", nullptr, nullptr, nullptr, &missing).fResult, ENOENT);
}

// Stopped is not ended: the child keeps its pid and may go on.
TEST_F(ProcessLauncher, StoppedChildStillRuns)
{
	VProcessLauncher launcher;
	launcher.CreateArgumentsFromFullCommandLine(CVSTR("sleep 30"));
	ASSERT_EQ(launcher.Start(), 0);
	const int pid = launcher.GetPid();
	ASSERT_GT(pid, 0);
	ASSERT_EQ(::kill(pid, SIGSTOP), 0);
	ASSERT_TRUE(Eventually([&] { return ProcessState(pid) == 'T'; }));
	EXPECT_TRUE(launcher.IsRunning());
	EXPECT_EQ(launcher.GetPid(), pid);
	ASSERT_EQ(::kill(pid, SIGCONT), 0);
	EXPECT_TRUE(launcher.IsRunning());
	ASSERT_EQ(::kill(pid, SIGKILL), 0);
	EXPECT_TRUE(Eventually([&] { return !launcher.IsRunning(); }));
	EXPECT_EQ(launcher.GetExitStatus(), -127);
	EXPECT_EQ(ProcessState(pid), 0); // reaped
}

// At the time-out the whole group dies, reading stops although a descendant
// in a session of its own still holds the pipes, and the error is raised.
TEST_F(ProcessLauncher, TimeOutKillsTheGroup)
{
	const std::string inGroup = fFolder / "in-group";
	const std::string outside = fFolder / "outside";
	VProcessLauncher launcher;
	// Long enough for the shell to start and print on a loaded machine: the
	// time-out must fall after "started", which the test reads.
	launcher.SetWaitClosingChildProcess(4000);
	launcher.CreateArgumentsFromFullCommandLine(
		Str("sh -c \"sleep 30 & echo $! > " + inGroup + "; setsid sleep 30 & echo $! > " + outside +
			"; echo started; sleep 30\""));
	ASSERT_EQ(launcher.Start(), 0);
	std::string output;
	testing::RaisedErrors errors;
	EXPECT_EQ(launcher.ReadFromChildAndShutdown(
				  [&](const void* inData, size_t inSize) { output.append(static_cast<const char*>(inData), inSize); },
				  nullptr),
			  0);
	EXPECT_EQ(errors.Last(), MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 8));
	EXPECT_EQ(output, "started\n");
	EXPECT_EQ(launcher.GetExitStatus(), -127);
	EXPECT_FALSE(launcher.IsRunning());

	pid_t pid = 0;
	std::ifstream(inGroup) >> pid;
	ASSERT_GT(pid, 0);
	// Gone, or a zombie waiting for a parent that does not reap.
	EXPECT_TRUE(Eventually([&] {
		const char state = ProcessState(pid);
		return state == 0 || state == 'Z';
	}));
	pid_t survivor = 0;
	std::ifstream(outside) >> survivor;
	ASSERT_GT(survivor, 0);
	EXPECT_NE(ProcessState(survivor), 0);
	::kill(survivor, SIGKILL);
}

// A child that ends in time is reaped and never signalled, and raises
// nothing.
TEST_F(ProcessLauncher, TimeOutNotReached)
{
	testing::RaisedErrors errors;
	VProcessLauncher launcher;
	launcher.SetWaitClosingChildProcess(60000);
	launcher.CreateArgumentsFromFullCommandLine(CVSTR("sh -c \"echo ok; exit 4\""));
	ASSERT_EQ(launcher.Start(), 0);
	Buffer output;
	launcher.ReadStd(&output, nullptr);
	EXPECT_EQ(launcher.Shutdown(false, false), 0);
	EXPECT_EQ(Text(output), "ok\n");
	EXPECT_EQ(launcher.GetExitStatus(), 4);
	EXPECT_EQ(errors.Last(), VE_OK);
}

// Children left running are reaped when they end, and only they: another
// child of this process keeps its status for its own code.
TEST_F(ProcessLauncher, LeftRunningIsReapedAtItsEnd)
{
	pid_t foreign = 0;
	char* foreignArgs[] = {const_cast<char*>("sleep"), const_cast<char*>("0.3"), nullptr};
	ASSERT_EQ(::posix_spawnp(&foreign, "sleep", nullptr, nullptr, foreignArgs, environ), 0);

	VProcessLauncher* launcher = nullptr;
	ASSERT_EQ(VProcessLauncher::ExecuteCommandLine(CVSTR("sleep 0.2"), VProcessLauncher::kDontWait, nullptr, nullptr,
												   nullptr, nullptr, nullptr, nullptr, &launcher, nullptr, true, false),
			  0);
	ASSERT_NE(launcher, nullptr);
	const int pid = launcher->GetPid();
	ASSERT_GT(pid, 0);
	EXPECT_TRUE(launcher->IsRunning());
	EXPECT_EQ(launcher->Shutdown(false, false), 0); // no wait: left to the reaper
	EXPECT_EQ(launcher->GetPid(), 0);
	delete launcher;
	EXPECT_TRUE(Eventually([&] { return ProcessState(pid) == 0; }));

	// Without a launcher kept, the same.
	const std::set<pid_t> before = Children();
	ASSERT_EQ(VProcessLauncher::ExecuteCommandLine(CVSTR("sleep 0.1"), VProcessLauncher::kDontWait, nullptr, nullptr,
												   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, true, false),
			  0);
	EXPECT_TRUE(Eventually([&] { return Children() == before && XPosixProcessLauncher::GetWatchedChildCount() == 0; }));

	int status = 0;
	EXPECT_EQ(::waitpid(foreign, &status, 0), foreign);
	EXPECT_TRUE(WIFEXITED(status));
}

TEST_F(ProcessLauncher, KillProcess)
{
	EXPECT_FALSE(VProcessLauncher::KillProcess(0)); // would be this process's own group
	EXPECT_FALSE(VProcessLauncher::KillProcess(-1));
	EXPECT_FALSE(VProcessLauncher::KillProcess(-static_cast<int>(::getpgrp())));

	VProcessLauncher launcher;
	launcher.CreateArgumentsFromFullCommandLine(CVSTR("sleep 30"));
	ASSERT_EQ(launcher.Start(), 0);
	EXPECT_TRUE(VProcessLauncher::KillProcess(launcher.GetPid()));
	EXPECT_TRUE(Eventually([&] { return !launcher.IsRunning(); }));
	EXPECT_EQ(launcher.GetExitStatus(), -127);
	EXPECT_EQ(launcher.Shutdown(false, false), 0);
}

// The tree kill reaches what the child left behind in its group.
TEST_F(ProcessLauncher, ProcessTreeKill)
{
	const std::string pidFile = fFolder / "grandchild";
	EXPECT_EQ(VProcessLauncher::ExecuteCommandLine(
				  Str("sh -c \"sleep 30 > /dev/null 2>&1 & echo $! > " + pidFile + "\""), 0, nullptr, nullptr, nullptr,
				  nullptr, nullptr, nullptr, nullptr, nullptr, true, true),
			  0);
	pid_t grandchild = 0;
	std::ifstream(pidFile) >> grandchild;
	ASSERT_GT(grandchild, 0);
	EXPECT_TRUE(Eventually([&] {
		const char state = ProcessState(grandchild);
		return state == 0 || state == 'Z';
	}));
}

// Launching, failing and timing out leave the descriptor table as it was,
// the reaper's part included once it has no child left to reap.
TEST_F(ProcessLauncher, NoDescriptorLeft)
{
	ASSERT_TRUE(Eventually([] { return XPosixProcessLauncher::GetWatchedChildCount() == 0; }));
	const std::set<std::string> before = OpenDescriptors();
	const std::string input = "abc";
	Execute("cat", &input);
	Execute("qirn-missing");
	Execute("sh -c \"echo err >&2\"");
	{
		testing::RaisedErrors errors;
		VProcessLauncher launcher;
		launcher.SetWaitClosingChildProcess(50);
		launcher.CreateArgumentsFromFullCommandLine(CVSTR("sleep 30"));
		ASSERT_EQ(launcher.Start(), 0);
		EXPECT_EQ(launcher.ReadFromChildAndShutdown(nullptr, nullptr), 0);
	}
	{
		// Deleted unread while running: left to the reaper, not waited for.
		VProcessLauncher launcher;
		launcher.CreateArgumentsFromFullCommandLine(CVSTR("sh -c \"echo x; sleep 0.1\""));
		ASSERT_EQ(launcher.Start(), 0);
	}
	EXPECT_TRUE(Eventually([] { return XPosixProcessLauncher::GetWatchedChildCount() == 0; }));
	EXPECT_EQ(OpenDescriptors(), before) << DescribeDescriptors();
}

// Whether a child that is not waited for goes to the reaper depends on how
// fast it ends; from several threads at once, the reaper starts and stops
// over and over. However it went, nothing is left behind.
TEST_F(ProcessLauncher, ChildrenLeftFromManyThreadsLeaveNothing)
{
	ASSERT_TRUE(Eventually([] { return XPosixProcessLauncher::GetWatchedChildCount() == 0; }));
	const std::set<std::string> descriptors = OpenDescriptors();
	const std::set<pid_t> children = Children();
	testing::RunOnThreads(4, [](int) {
		for (int i = 0; i < 8; ++i) {
			EXPECT_EQ(VProcessLauncher::ExecuteCommandLine(CVSTR("true"), VProcessLauncher::kDontWait, nullptr,
														   nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
														   nullptr, true, false),
					  0);
			VProcessLauncher launcher;
			launcher.CreateArgumentsFromFullCommandLine(CVSTR("sleep 0.01"));
			EXPECT_EQ(launcher.Start(), 0);
		}
	});
	EXPECT_TRUE(Eventually([&] { return XPosixProcessLauncher::GetWatchedChildCount() == 0; }));
	EXPECT_EQ(OpenDescriptors(), descriptors) << DescribeDescriptors();
	EXPECT_EQ(Children(), children);
}

} // namespace
} // namespace qirn
