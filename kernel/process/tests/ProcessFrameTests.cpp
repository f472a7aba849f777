// The process frame: version texts, process ids, the main loop's guards, the
// boot listener, the install-folder case check, and, through probe programs
// run as children, start-up from a bundle, signals and exit statuses.
#include "bags_xml/VValueBag.h"
#include "core/StStringConverter.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "files/VFilePath.h"
#include "files/platform/XLinuxFile.h"
#include "process/ILoggerBagKeys.h"
#include "process/VBootLogListener.h"
#include "process/VLogger.h"
#include "process/VProcess.h"
#include "process/VProcessIPC.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "testing/ProbeOutput.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TempFolder.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace qirn {
namespace {

std::string UTF8(const VString& inText)
{
	StStringConverter<char> utf8(inText, VTC_UTF_8);
	return utf8.GetCPointer();
}

TEST(ProcessVersionText, PiecesOfTheProductVersion)
{
	struct Case {
		const char* fVersion;
		const char* fShort;
		const char* fMain;
		const char* fBuild;
		sLONG fChangeList;
	};
	const Case cases[] = {
		{"1.2 build 3.45", "1.2", "1", "3.45", 45},
		{"", "", "", "", 0},
		{"2.0", "2.0", "2", "", 0},
		{"  3.1.4 build  7 ", "3.1.4", "3", "7", 0},
		{"build 12.3.9", "", "", "12.3.9", 9},
		{"10 build 99", "10", "10", "99", 0},
		{"4.5 Build 6.7", "4.5 Build 6.7", "4", "", 0}, // the text is "build ", as it stands
		{"1.0build 2.3", "1.0", "1", "2.3", 3}, // no space needed before it
		{"1.0 build2.3", "1.0 build2.3", "1", "", 0},  // but after it
		{"5.1 build 2.x", "5.1", "5", "2.x", 0},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.fVersion);
		const VString version(test.fVersion);
		VString text;
		VProcess::GetShortVersionOfVersion(version, text);
		EXPECT_EQ(UTF8(text), test.fShort);
		VProcess::GetMainVersionOfVersion(version, text);
		EXPECT_EQ(UTF8(text), test.fMain);
		VProcess::GetBuildNumberOfVersion(version, text);
		EXPECT_EQ(UTF8(text), test.fBuild);
		EXPECT_EQ(VProcess::GetChangeListNumberOfVersion(version), test.fChangeList);
	}
}

TEST(ProcessIDs, WhichProcessesRun)
{
	EXPECT_EQ(VProcess::GetSystemID(), static_cast<int32>(::getpid()));
	// A child that ended and was reaped is gone.
	pid_t child = 0;
	char* arguments[] = {const_cast<char*>("/bin/true"), nullptr};
	ASSERT_EQ(::posix_spawn(&child, "/bin/true", nullptr, nullptr, arguments, nullptr), 0);
	int status = 0;
	ASSERT_EQ(::waitpid(child, &status, 0), child);
	struct Case {
		int32 fPid;
		bool fRunning;
	};
	const Case cases[] = {
		{static_cast<int32>(::getpid()), true},
		{1, true}, // init: running, whoever may signal it
		{static_cast<int32>(child), false},
		{0, false},	 // kill() would ask for our own process group
		{-1, false}, // ... or for every process we may signal
		{-static_cast<int32>(::getpgrp()), false},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.fPid);
		EXPECT_EQ(VProcess::IsProcessRunning(test.fPid), test.fRunning);
	}
}

// Run belongs to the main task: from any other it neither starts the loop
// nor ends the process (the test process would die with its main task).
TEST(ProcessRun, DoesNothingOffTheMainTask)
{
	VProcess* process = VProcess::sInstance;
	ASSERT_NE(process, nullptr);
	ASSERT_TRUE(process->IsRunning());
	std::atomic<bool> returned{false};
	VTask* task = new VTask(0, ETaskStyle::kPreemptive, [&]() {
		process->Run();
		returned = true;
	});
	ASSERT_TRUE(task->Run());
	EXPECT_TRUE(task->WaitForDeath(testing::kHangMilliseconds));
	task->Release();
	EXPECT_TRUE(returned.load());
	EXPECT_TRUE(process->IsRunning());
	EXPECT_FALSE(VTaskMgr::Get()->GetMainTask()->IsDying());
}

TEST(ProcessSystemVersion, EveryVersionPassesOnLinux)
{
	struct CheckingProcess : public VProcess {
		bool Check(SystemVersion inVersion) { return DoCheckSystemVersion(inVersion); }
	};
	// Not started: a second process object only answers.
	CheckingProcess process;
	EXPECT_TRUE(process.Check(MAC_OS_10_12));
	EXPECT_TRUE(process.Check(MAC_OS_15));
	EXPECT_NE(VProcess::sInstance.load(), &process);
}

VRefPtr<VValueBag> Entry(int inNumber)
{
	VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag());
	bag->SetString(ILoggerBagKeys::message, VString(std::to_string(inNumber).c_str()));
	return bag;
}

std::string Message(const VValueBag* inBag)
{
	VString message;
	inBag->GetString(ILoggerBagKeys::message, message);
	return UTF8(message);
}

// A process that never cleans its boot listener keeps the newest entries
// only, and lets go of the others.
TEST(BootLogListener, KeepsTheNewestThousand)
{
	VRefPtr<VBootLogListener> listener = VRefPtr<VBootLogListener>::Adopt(new VBootLogListener());
	std::vector<VRefPtr<VValueBag>> bags;
	for (int i = 1; i <= 1005; ++i)
		bags.push_back(Entry(i));
	for (size_t start = 0; start < bags.size(); start += 200) {
		std::vector<const VValueBag*> batch;
		for (size_t i = start; i < std::min(bags.size(), start + 200); ++i)
			batch.push_back(bags[i].Get());
		listener->Put(batch);
	}
	EXPECT_EQ(listener->CountEntries(), VBootLogListener::kMaxEntries);
	EXPECT_EQ(bags[0]->GetRefCount(), 1u); // dropped and released
	EXPECT_EQ(bags[4]->GetRefCount(), 1u);
	EXPECT_EQ(bags[5]->GetRefCount(), 2u);
	const std::vector<const VValueBag*> kept = listener->TakeEntries();
	ASSERT_EQ(kept.size(), 1000u);
	EXPECT_EQ(Message(kept.front()), "6");
	EXPECT_EQ(Message(kept.back()), "1005");
	for (const VValueBag* bag : kept)
		bag->Release();
	EXPECT_EQ(listener->CountEntries(), 0u);
	// What it still holds goes with it.
	listener->Put({bags[7].Get()});
	EXPECT_EQ(bags[7]->GetRefCount(), 2u);
	listener.Clear();
	EXPECT_EQ(bags[7]->GetRefCount(), 1u);
}

class Recorder : public VObject, public ILogListener {
public:
	void Put(const std::vector<const VValueBag*>& inBags) override
	{
		std::lock_guard<std::mutex> lock(fMutex);
		for (const VValueBag* bag : inBags)
			fMessages.push_back(Message(bag));
	}
	std::vector<std::string> Messages()
	{
		std::lock_guard<std::mutex> lock(fMutex);
		return fMessages;
	}

private:
	std::mutex fMutex;
	std::vector<std::string> fMessages;
};

// What was logged before the application listened reaches its listener,
// in order, once the boot listener is cleaned; the boot listener goes.
TEST(BootLogListener, CleaningHandsTheEarlyEntriesOn)
{
	VProcess* process = VProcess::sInstance;
	VLogger* logger = process->GetLogger();
	ASSERT_NE(logger, nullptr);
	if (process->GetBootLogListener() == nullptr)
		GTEST_SKIP() << "the boot listener was cleaned by an earlier run";
	logger->LogMessage(EML_Information, VString("early one"), VString("test"));
	logger->LogMessage(EML_Information, VString("early two"), VString("test"));
	logger->Flush();
	VRefPtr<Recorder> recorder = VRefPtr<Recorder>::Adopt(new Recorder());
	ASSERT_TRUE(logger->AddLogListener(recorder.Get()));
	process->CleanBootLogListener();
	EXPECT_EQ(process->GetBootLogListener(), nullptr);
	logger->LogMessage(EML_Information, VString("late"), VString("test"));
	logger->Flush();
	const std::vector<std::string> messages = recorder->Messages();
	std::vector<std::string> ours;
	for (const std::string& message : messages) {
		if (message == "early one" || message == "early two" || message == "late")
			ours.push_back(message);
	}
	EXPECT_EQ(ours, (std::vector<std::string>{"early one", "early two", "late"}));
	logger->RemoveLogListener(recorder.Get());
	process->CleanBootLogListener(); // nothing left: nothing happens
}

// Whether a folder exists answers the same with its first letter in the
// other case only on a file system that ignores case.
TEST(ProcessInstallFolder, TheCaseCheck)
{
	testing::TempFolder temp;
	testing::ScopedEnvironment noDesktop;
	noDesktop.Remove("DISPLAY");
	noDesktop.Remove("WAYLAND_DISPLAY");
	struct Case {
		std::vector<std::string> fMade;
		const char* fChecked;
		bool fPasses;
	};
	const Case cases[] = {
		{{"Resources"}, "Resources", false},
		{{"resources"}, "resources", false},
		{{"Resources", "resources"}, "Resources", true},
		{{}, "Resources", true},		// neither exists
		{{"resources"}, "Resources", false}, // the flipped one only
		{{"1res"}, "1res", true},			// no letter to flip
		{{"\xC3\xA9t\xC3\xA9"}, "\xC3\xA9t\xC3\xA9", true}, // nor a letter of a-z
	};
	int round = 0;
	for (const Case& test : cases) {
		SCOPED_TRACE(test.fChecked);
		const std::string parent = temp / std::to_string(++round);
		std::filesystem::create_directories(parent);
		for (const std::string& name : test.fMade)
			std::filesystem::create_directory(parent + "/" + name);
		VFilePath folder;
		XLinuxFile::GetFilePathFromPosixPath((parent + "/" + test.fChecked).c_str(), true, folder);
		ASSERT_TRUE(folder.IsFolder());
		EXPECT_EQ(VProcess::_CheckCaseInsensitiveFolder(folder), test.fPasses);
	}
}

TEST(ProcessCommandLine, ArgumentsLessTheSerialNumber)
{
	struct Case {
		std::vector<const char*> fArgv;
		std::vector<std::string> fExpected;
	};
	const Case cases[] = {
		{{"/bin/app", "-psn_0_4242", "a"}, {"/bin/app", "a"}},
		{{"/bin/app", "a", "-psn_", "b", "-psn_1"}, {"/bin/app", "a", "b"}},
		{{"/bin/app", "-psn", "-PSN_1", "--psn_1"}, {"/bin/app", "-psn", "-PSN_1", "--psn_1"}},
		{{"-psn_path"}, {"-psn_path"}}, // the program path stays
		{{"/bin/app", "caf\xC3\xA9"}, {"/bin/app", "caf\xC3\xA9"}},
		{{}, {}},
	};
	for (const Case& test : cases) {
		std::vector<char*> argv;
		for (const char* argument : test.fArgv)
			argv.push_back(const_cast<char*>(argument));
		argv.push_back(nullptr);
		std::vector<std::string> got;
		for (const VString& argument :
			 VProcessIPC::GetCommandLineArguments(static_cast<int>(test.fArgv.size()), argv.data()))
			got.push_back(UTF8(argument));
		EXPECT_EQ(got, test.fExpected);
	}
	EXPECT_TRUE(VProcessIPC::GetCommandLineArguments(3, nullptr).empty());
}

// A probe program run as a child whose standard output is read as it comes,
// so that a test can signal it at the right moment.
class Child {
public:
	Child(const std::string& inProgram, const std::vector<std::string>& inArguments,
		  const std::vector<std::string>& inEnvironment = {})
	{
		std::vector<char*> argv{const_cast<char*>(inProgram.c_str())};
		for (const std::string& argument : inArguments)
			argv.push_back(const_cast<char*>(argument.c_str()));
		argv.push_back(nullptr);
		std::vector<std::string> environment{"LANG=C.UTF-8", "PATH=/usr/bin:/bin", "HOME=" + fHome.Path()};
		environment.insert(environment.end(), inEnvironment.begin(), inEnvironment.end());
		std::vector<char*> envp;
		for (const std::string& entry : environment)
			envp.push_back(const_cast<char*>(entry.c_str()));
		envp.push_back(nullptr);
		int out[2];
		if (::pipe2(out, O_CLOEXEC) != 0)
			return;
		fPid = ::fork();
		if (fPid == 0) {
			::dup2(out[1], STDOUT_FILENO);
			::execve(inProgram.c_str(), argv.data(), envp.data());
			::_exit(127);
		}
		::close(out[1]);
		fOut = out[0];
	}
	~Child()
	{
		if (fPid > 0 && !fReaped) {
			::kill(fPid, SIGKILL);
			::waitpid(fPid, nullptr, 0);
		}
		if (fOut >= 0)
			::close(fOut);
	}

	bool Started() const { return fPid > 0 && fOut >= 0; }
	void Signal(int inSignal) { ::kill(fPid, inSignal); }

	// Reads until the line is there; false at the end of the output or
	// at the hang limit.
	bool WaitForLine(const std::string& inLine)
	{
		while (fText.find(inLine + "\n") == std::string::npos) {
			if (!_ReadSome())
				return false;
		}
		return true;
	}
	// Reads to the end and collects the status.
	int Finish()
	{
		while (_ReadSome()) {
		}
		int status = 0;
		while (::waitpid(fPid, &status, 0) < 0 && errno == EINTR) {
		}
		fReaped = true;
		return status;
	}
	const std::string& Text() const { return fText; }
	std::map<std::string, std::string> Values() const
	{
		std::map<std::string, std::string> values;
		size_t start = 0;
		while (start < fText.size()) {
			size_t end = fText.find('\n', start);
			if (end == std::string::npos)
				end = fText.size();
			const std::string line = fText.substr(start, end - start);
			const size_t equal = line.find('=');
			if (equal != std::string::npos)
				values[line.substr(0, equal)] = line.substr(equal + 1);
			start = end + 1;
		}
		return values;
	}

private:
	bool _ReadSome()
	{
		pollfd ready = {fOut, POLLIN, 0};
		if (::poll(&ready, 1, testing::kHangMilliseconds) <= 0)
			return false;
		char buffer[512];
		const ssize_t got = ::read(fOut, buffer, sizeof(buffer));
		if (got < 0 && errno == EINTR)
			return true;
		if (got <= 0)
			return false;
		fText.append(buffer, static_cast<size_t>(got));
		return true;
	}

	testing::TempFolder fHome;
	pid_t fPid = -1;
	int fOut = -1;
	bool fReaped = false;
	std::string fText;
};

const std::string kCommandLineApp = QIRN_PROBE_DIR "/qirn_probe_cliapp";

// Each of the three signals ends the main loop, which returns through
// DoQuit; SIGINT alone first prints its line and an empty one.
TEST(ProcessSignals, EachEndsTheMainLoop)
{
	struct Case {
		int fSignal;
		bool fPrintsLine;
	};
	const Case cases[] = {{SIGINT, true}, {SIGTERM, false}, {SIGQUIT, false}};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.fSignal);
		Child child(kCommandLineApp, {});
		ASSERT_TRUE(child.Started());
		ASSERT_TRUE(child.WaitForLine("running=1")) << child.Text();
		child.Signal(test.fSignal);
		const int status = child.Finish();
		ASSERT_TRUE(WIFEXITED(status)) << child.Text();
		EXPECT_EQ(WEXITSTATUS(status), 0);
		const std::map<std::string, std::string> values = child.Values();
		EXPECT_EQ(values.count("loop.ended"), 1u);
		EXPECT_EQ(values.count("quit"), 1u);
		EXPECT_EQ(values.count("running.after") == 1 ? values.at("running.after") : "", "0");
		const std::string line = "\n (ctrl-c has been received - quit)\n\n";
		const size_t found = child.Text().find(line);
		EXPECT_EQ(found != std::string::npos, test.fPrintsLine) << child.Text();
		if (test.fPrintsLine) { // before the loop saw the quit
			EXPECT_LT(found, child.Text().find("loop.ended=1"));
		}
	}
}

// SIGQUIT is handled once: the second one ends the process the system's way.
TEST(ProcessSignals, ASecondQuitSignalTakesTheDefaultAction)
{
	Child child(kCommandLineApp, {"--linger"});
	ASSERT_TRUE(child.Started());
	ASSERT_TRUE(child.WaitForLine("running=1")) << child.Text();
	child.Signal(SIGQUIT);
	ASSERT_TRUE(child.WaitForLine("lingering=1")) << child.Text();
	child.Signal(SIGQUIT);
	const int status = child.Finish();
	ASSERT_TRUE(WIFSIGNALED(status)) << child.Text();
	EXPECT_EQ(WTERMSIG(status), SIGQUIT);
}

TEST(ProcessCommandLine, ExitStatuses)
{
	struct Case {
		std::vector<std::string> fArguments;
		int fStatus;
		bool fRuns;
	};
	const Case cases[] = {
		{{"--once"}, 0, true},
		{{"--answer=2"}, 0, false}, // a stop without error
		{{"--answer=1"}, 1, false},
		{{"--answer=7"}, 1, false},
		{{"--no-such-option"}, 1, false}, // the parser's own error
		{{"--help"}, 0, false},			  // the usage: a stop without error
		{{"--once", "one", "-psn_0_4242", "two"}, 0, true},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.fArguments.front());
		Child child(kCommandLineApp, test.fArguments);
		ASSERT_TRUE(child.Started());
		const int status = child.Finish();
		ASSERT_TRUE(WIFEXITED(status)) << child.Text();
		EXPECT_EQ(WEXITSTATUS(status), test.fStatus) << child.Text();
		const std::map<std::string, std::string> values = child.Values();
		EXPECT_EQ(values.count("running") == 1, test.fRuns) << child.Text();
		EXPECT_EQ(values.count("init") == 1 ? values.at("init") : "", test.fRuns ? "1" : "0");
	}
}

// The file-system notifier comes with flag 0x40; the sleep notifier always.
TEST(ProcessCommandLine, TheNotifiersOfTheStartUp)
{
	struct Case {
		std::vector<std::string> fEnvironment;
		const char* fFiles;
	};
	const Case cases[] = {{{}, "1"}, {{"QIRN_TEST_NO_WATCH=1"}, "0"}};
	for (const Case& test : cases) {
		Child child(kCommandLineApp, {"--once"}, test.fEnvironment);
		ASSERT_TRUE(child.Started());
		const int status = child.Finish();
		ASSERT_TRUE(WIFEXITED(status)) << child.Text();
		EXPECT_EQ(WEXITSTATUS(status), 0);
		const std::map<std::string, std::string> values = child.Values();
		EXPECT_EQ(values.count("notifier.files") == 1 ? values.at("notifier.files") : "", test.fFiles);
		EXPECT_EQ(values.count("notifier.sleep") == 1 ? values.at("notifier.sleep") : "", "1");
	}
}

// "-psn_" arguments never reach the parser, which would refuse them as
// unknown one-letter options; the others keep their order.
TEST(ProcessCommandLine, TheSerialNumberNeverReachesTheParser)
{
	Child child(kCommandLineApp, {"one", "-psn_0_4242", "two", "--once", "-psn_x"});
	ASSERT_TRUE(child.Started());
	const int status = child.Finish();
	ASSERT_TRUE(WIFEXITED(status)) << child.Text();
	EXPECT_EQ(WEXITSTATUS(status), 0);
	EXPECT_EQ(child.Values()["args"], "one|two");
}

// A system too old ends the start-up once the singleton and the
// international settings exist, before the task manager.
TEST(ProcessStartUp, AnOldSystemEndsItEarly)
{
	Child child(kCommandLineApp, {"--once"}, {"QIRN_TEST_OLD_SYSTEM=1"});
	ASSERT_TRUE(child.Started());
	const int status = child.Finish();
	ASSERT_TRUE(WIFEXITED(status)) << child.Text();
	EXPECT_EQ(WEXITSTATUS(status), 1);
	const std::map<std::string, std::string> values = child.Values();
	const std::map<std::string, std::string> expected = {
		{"init", "0"},
		{"failed.singleton", "1"},
		{"failed.intl", "1"},
		{"failed.taskmgr", "0"},
	};
	EXPECT_EQ(values, expected) << child.Text();
}

void WriteFile(const std::string& inPath, const std::string& inText)
{
	std::filesystem::create_directories(std::filesystem::path(inPath).parent_path());
	std::ofstream(inPath, std::ios::binary) << inText;
}

// A program started from a bundle finds its name and version in the
// bundle's Info.plist, and its folders from where its executable lies.
TEST(ProcessStartUp, FromABundle)
{
	testing::TempFolder temp;
	const std::string bundle = temp / "B.app";
	const std::string executable = bundle + "/Contents/MacOS/exe";
	std::filesystem::create_directories(bundle + "/Contents/MacOS");
	std::filesystem::copy_file(QIRN_PROBE_DIR "/qirn_probe_bundleinfo", executable);
	WriteFile(bundle + "/Contents/Info.plist",
			  "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
			  "<plist version=\"1.0\"><dict>\n"
			  "<key>CFBundleName</key><string>Bee</string>\n"
			  "<key>CFBundleExecutable</key><string>exe</string>\n"
			  "<key>CFBundleShortVersionString</key><string>1.2 build 3.45</string>\n"
			  "</dict></plist>\n");
	WriteFile(bundle + "/Contents/Resources/a.txt", "a");
	WriteFile(bundle + "/Contents/Resources/b.txt", "b");
	WriteFile(bundle + "/Contents/Resources/XSD/b.txt", "b");

	const testing::ProbeOutput output = testing::RunProbe(executable, {}, {"HOME=" + temp.Path()});
	ASSERT_EQ(output.fExitCode, 0);
	const std::string resources = bundle + "/Contents/Resources/";
	const std::map<std::string, std::string> expected = {
		{"name", "Bee"},
		{"version", "1.2 build 3.45"},
		{"folder.name", "Bee"},
		{"source", "Bee"},
		{"init", "1"},
		{"version.short", "1.2"},
		{"version.main", "1"},
		{"version.build", "3.45"},
		{"version.changelist", "45"},
		{"executable", executable},
		{"executable.folder", bundle + "/Contents/MacOS/"},
		{"executable.exists", "1"},
		{"folder.EXEC", bundle + "/Contents/MacOS/"},
		{"folder.PLST", bundle + "/Contents/"},
		{"folder.BNDL", bundle + "/"},
		{"folder.RSRC", resources},
		{"folder.NCMP", bundle + "/Contents/Native Components/"},
		{"folder.DTDs", resources + "DTD/"},
		{"folder.XSDs", resources + "XSD/"},
		{"folder.XSLs", resources + "XSL/"},
		{"folder.JSNs", resources + "JSONSchemas/"},
		{"folder.XXXX", "null"},
		{"file.fallback", resources + "a.txt"},
		{"file.nofallback", "null"},
		{"file.first", resources + "XSD/b.txt"},
		{"file.missing", "null"},
		{"file.nofolder", "null"},
	};
	EXPECT_EQ(output.fValues, expected);
}

// Outside a bundle there is no Info.plist: no name, no version.
TEST(ProcessStartUp, OutsideABundle)
{
	testing::TempFolder temp;
	const std::string executable = temp / "tool";
	std::filesystem::copy_file(QIRN_PROBE_DIR "/qirn_probe_bundleinfo", executable);
	const testing::ProbeOutput output = testing::RunProbe(executable, {}, {"HOME=" + temp.Path()});
	ASSERT_EQ(output.fExitCode, 0);
	EXPECT_EQ(output.fValues.at("name"), "");
	EXPECT_EQ(output.fValues.at("version"), "");
	EXPECT_EQ(output.fValues.at("version.changelist"), "0");
	EXPECT_EQ(output.fValues.at("folder.EXEC"), temp.Path() + "/");
}

} // namespace
} // namespace qirn
