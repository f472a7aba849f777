// Updates that succeed: the new bundle at the old one's path with its modes
// and links, the old one in the trash, the new one started again with the
// restart parameters, and the log telling each step.

#include "UpdaterHarness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <sys/stat.h>

namespace qirn::e2e {
namespace {

constexpr int kRelaunchWaitMs = 20000;

// What every successful update leaves: the new bundle in place, the update
// itself untouched, the old bundle whole in the trash and nothing beside.
void ExpectUpdated(Sandbox& inSandbox, const Tree& inOld, const Tree& inNew)
{
	const Tree installed = Snapshot(inSandbox.Installed());
	EXPECT_EQ(installed, inNew) << DescribeDifference(inNew, installed);
	EXPECT_EQ(Snapshot(inSandbox.Update()), inNew) << "the update itself is copied, not moved";
	ASSERT_EQ(inSandbox.TrashNames(), std::vector<std::string>{"Sample_old0001.app"});
	const Tree trashed = Snapshot(inSandbox.Trashed("Sample_old0001.app"));
	EXPECT_EQ(trashed, inOld) << DescribeDifference(inOld, trashed);
	EXPECT_TRUE(inSandbox.SetAside().empty());
	const std::string log = inSandbox.LogText();
	for (const char* step : {"Updater starting - ", "Proceeding with up-to-date application install...",
							 "Proceeding with up-to-date application restart...", "Restarting installed application (open -a \"",
							 "Updated application restarted, returned 0", "Up-to-date application restarted",
							 "Update successful - "})
		EXPECT_TRUE(HasLogLine(log, "INFO", step)) << step << "\n" << log;
	EXPECT_TRUE(LogMessages(log, "ERROR").empty()) << log;
}

struct RestartCase {
	const char* fName;
	bool fAsOptions;		   // --outdated-app/--uptodate-app rather than positional
	bool fTrailingSlash;	   // "Sample.app/" rather than "Sample.app"
	const char* fParams;	   // --restart-params, or null
	bool fHeadless;			   // --restart-headless
	const char* fExpectedLine; // what the relaunched sample records
	const char* fLoggedTail;   // the end of the logged command line
};

class NormalUpdate : public ::testing::TestWithParam<RestartCase> {};

TEST_P(NormalUpdate, InstallsRelaunchesAndTrashes)
{
	const RestartCase& test = GetParam();
	Sandbox sandbox;
	sandbox.MakeBundles();
	// An "open" in the working folder must never be the one run.
	WriteFile(sandbox.Path("work/open"), "#!/bin/sh\nprintf 'wrong open\\n' >> \"$HOME/starts\"\n", 0755);
	const Tree oldTree = Snapshot(sandbox.Installed());
	const Tree newTree = Snapshot(sandbox.Update());

	const std::string slash = test.fTrailingSlash ? "/" : "";
	std::vector<std::string> arguments{"--log-dir", sandbox.Logs()};
	if (test.fParams != nullptr)
		arguments.insert(arguments.end(), {"--restart-params", test.fParams});
	if (test.fHeadless)
		arguments.push_back("--restart-headless");
	if (test.fAsOptions)
		arguments.insert(arguments.end(), {"--outdated-app", sandbox.Installed() + slash, "--uptodate-app", sandbox.Update() + slash});
	else
		arguments.insert(arguments.end(), {sandbox.Installed() + slash, sandbox.Update() + slash});

	const RunResult result = RunUpdater({UpdaterExecutable(), arguments, sandbox.Environment(), sandbox.Path("work"), {}});
	EXPECT_EQ(result.fExitCode, 0) << result.fErrors;
	EXPECT_EQ(result.fOutput, "");
	EXPECT_EQ(result.fErrors, "");
	ExpectUpdated(sandbox, oldTree, newTree);
	EXPECT_EQ(sandbox.Starts(1, kRelaunchWaitMs), std::vector<std::string>{test.fExpectedLine});
	const std::string log = sandbox.LogText();
	EXPECT_TRUE(HasLogLine(log, "INFO", "Skipping process wait (negative pid)")) << log;
	EXPECT_TRUE(HasLogLine(log, "INFO", "Restarting installed application (open -a \"" + sandbox.Installed())) << log;
	EXPECT_TRUE(HasLogLine(log, "INFO", std::string(test.fLoggedTail) + ")...")) << log;
}

INSTANTIATE_TEST_SUITE_P(
	PathFormsAndRestartParameters, NormalUpdate,
	::testing::Values(
		RestartCase{"Positional", false, false, nullptr, false, "version=2.0", "\""},
		RestartCase{"PositionalWithSlash", false, true, nullptr, false, "version=2.0", "\""},
		RestartCase{"Options", true, false, nullptr, false, "version=2.0", "\""},
		RestartCase{"OptionsWithSlash", true, true, nullptr, false, "version=2.0", "\""},
		RestartCase{"Params", false, false, "/srv/db/Link.QXlink", false, "version=2.0 [/srv/db/Link.QXlink]",
					"--args \"/srv/db/Link.QXlink\""},
		RestartCase{"ParamsHeadless", false, false, "/srv/db/Link.QXlink", true,
					"version=2.0 [/srv/db/Link.QXlink] [--headless]", "--args \"/srv/db/Link.QXlink\" --headless"},
		RestartCase{"HeadlessOnly", false, false, nullptr, true, "version=2.0 [--headless]", "--args --headless"},
		// Passed whole to the relaunched application, quotes and all.
		RestartCase{"ParamsWithQuoteAndSpace", false, false, "/srv/my \"db\"\\x.QXlink", false,
					"version=2.0 [/srv/my \"db\"\\x.QXlink]", "--args \"/srv/my \"db\"\\x.QXlink\""}),
	[](const ::testing::TestParamInfo<RestartCase>& inInfo) { return std::string(inInfo.param.fName); });

// A caller as an application runs it: the progress line, then the end of
// the caller's pipe while the updater waits for it; it quits and is left
// unreaped (a zombie counts as gone).
TEST(UpdateWithCaller, WaitsForTheCallerThenUpdates)
{
	Sandbox sandbox;
	sandbox.MakeBundles();
	const Tree oldTree = Snapshot(sandbox.Installed());
	const Tree newTree = Snapshot(sandbox.Update());
	Caller caller;
	const std::string pid = std::to_string(caller.Pid());
	UpdaterRun run;
	ASSERT_TRUE(run.Start({UpdaterExecutable(),
						   UsualArguments(sandbox, {"--pid", pid, "--caller-log", "yes"}),
						   sandbox.Environment(), sandbox.Root(), {}}));
	EXPECT_EQ(run.ReadOutputLine(20000), "waitquit,-1");
	EXPECT_TRUE(run.OutputEnds(20000)) << "the caller's pipe stays open";
	EXPECT_FALSE(run.Exited());
	EXPECT_EQ(Snapshot(sandbox.Installed()), oldTree) << "nothing moves while the caller runs";
	caller.Quit();
	ASSERT_TRUE(run.Wait(30000));
	caller.Reap();
	EXPECT_EQ(run.ExitCode(), 0) << run.Errors();
	EXPECT_EQ(run.Output(), "waitquit,-1\n");
	EXPECT_EQ(run.Errors(), "");
	ExpectUpdated(sandbox, oldTree, newTree);
	EXPECT_EQ(sandbox.Starts(1, kRelaunchWaitMs), std::vector<std::string>{"version=2.0"});
	const std::string log = sandbox.LogText();
	EXPECT_TRUE(HasLogLine(log, "INFO", "Waiting for external process to quit")) << log;
	EXPECT_TRUE(HasLogLine(log, "INFO", "Waiting for process " + pid + " to quit")) << log;
	EXPECT_TRUE(HasLogLine(log, "INFO", "Process " + pid + " has quit. Proceeding.")) << log;
}

// A caller that never quits: the updater keeps waiting (a quit signal only
// marks it dying, the wait goes on) and moves nothing. The full wait lasts
// a minute; it runs only when QIRN_E2E_FULL_WAIT is set.
TEST(UpdateWithCaller, KeepsWaitingForACallerThatStays)
{
	Sandbox sandbox;
	sandbox.MakeBundles();
	const Tree oldTree = Snapshot(sandbox.Installed());
	const Tree newTree = Snapshot(sandbox.Update());
	Caller caller;
	const std::string pid = std::to_string(caller.Pid());
	UpdaterRun run;
	ASSERT_TRUE(run.Start({UpdaterExecutable(), UsualArguments(sandbox, {"--pid", pid}),
						   sandbox.Environment(), sandbox.Root(), {}}));
	EXPECT_FALSE(run.Wait(2500));
	run.Kill(SIGTERM);
	EXPECT_FALSE(run.Wait(2500)) << "a quit signal ended the wait";
	EXPECT_EQ(Snapshot(sandbox.Installed()), oldTree);
	EXPECT_TRUE(sandbox.SetAside().empty());
	const std::string log = sandbox.LogText();
	EXPECT_TRUE(HasLogLine(log, "INFO", "Waiting for process " + pid + " to quit")) << log;
	EXPECT_FALSE(HasLogLine(log, "INFO", "Proceeding with up-to-date application install...")) << log;
	// Once it quits, the run goes on to its end.
	caller.Quit();
	caller.Reap();
	ASSERT_TRUE(run.Wait(30000));
	EXPECT_EQ(run.ExitCode(), 0) << run.Errors();
	EXPECT_EQ(Snapshot(sandbox.Installed()), newTree);
	EXPECT_TRUE(HasLogLine(sandbox.LogText(), "INFO", "Process " + pid + " has quit. Proceeding."));
	sandbox.Starts(1, kRelaunchWaitMs);
}

TEST(UpdateWithCaller, GivesUpAfterTheMaximumWait)
{
	if (std::getenv("QIRN_E2E_FULL_WAIT") == nullptr)
		GTEST_SKIP() << "the full wait lasts a minute: set QIRN_E2E_FULL_WAIT to run it";
	Sandbox sandbox;
	sandbox.MakeBundles();
	const Tree oldTree = Snapshot(sandbox.Installed());
	Caller caller;
	const std::string pid = std::to_string(caller.Pid());
	const RunResult result = RunUpdater(
		{UpdaterExecutable(), UsualArguments(sandbox, {"--pid", pid}), sandbox.Environment(), sandbox.Root(), {}},
		120000);
	EXPECT_EQ(result.fExitCode, 2);
	EXPECT_EQ(Snapshot(sandbox.Installed()), oldTree);
	const std::string log = sandbox.LogText();
	EXPECT_TRUE(HasLogLine(log, "ERROR", "Process " + pid +
											 " still exists after maximum wait time. Giving up."))
		<< log;
	EXPECT_TRUE(HasLogLine(log, "ERROR", "External process wait failed")) << log;
	EXPECT_TRUE(HasLogLine(log, "INFO", "Update failed - ")) << log;
	EXPECT_NE(result.fErrors, "");
}

// A customised client: the link file written into the installed bundle,
// the executable made runnable, then the usual update.
TEST(ClientCustomisation, WritesTheLinkFileAndMakesTheExecutableRunnable)
{
	Sandbox sandbox;
	sandbox.MakeBundles({"1.0"}, {"2.0", false});
	WriteFile(sandbox.Path("client.json"),
			  "{\"ServerPlatform\":\"Linux\",\"BuildIPAdress\":\"10.0.0.7\",\"BuildIPPort\":\"19812\","
			  "\"PublishName\":\"Books\",\"BuildCacheFolderNameClient\":\"BooksCache\"}");
	const RunResult result = RunUpdater({UpdaterExecutable(),
										 UsualArguments(sandbox, {"--client-info", sandbox.Path("client.json")}),
										 sandbox.Environment(), sandbox.Root(), {}});
	EXPECT_EQ(result.fExitCode, 0) << result.fErrors;
	struct stat info {};
	ASSERT_EQ(::stat((sandbox.Installed() + "/Contents/MacOS/Sample").c_str(), &info), 0);
	EXPECT_EQ(info.st_mode & 0111, 0111u);
	const std::string link = ReadFile(sandbox.Installed() + "/Contents/Database/RoruzazUdivad.QXlink");
	EXPECT_NE(link.find("<database_shortcut"), std::string::npos) << link;
	for (const char* attribute : {"is_remote=\"true\"", "server_database_name=\"Books\"", "server_path=\"10.0.0.7:19812\"",
								  "cache_folder_name=\"BooksCache\"", "remote_shared_resources=\"false\""})
		EXPECT_NE(link.find(attribute), std::string::npos) << attribute << "\n" << link;
	// The link file is written into the update, which is then copied.
	EXPECT_TRUE(Exists(sandbox.Update() + "/Contents/Database/RoruzazUdivad.QXlink"));
	EXPECT_EQ(sandbox.Starts(1, kRelaunchWaitMs), std::vector<std::string>{"version=2.0"});
}

TEST(ClientCustomisation, RefusesAFileWithoutServerPlatform)
{
	Sandbox sandbox;
	sandbox.MakeBundles();
	const Tree oldTree = Snapshot(sandbox.Installed());
	WriteFile(sandbox.Path("client.json"), "[\"ServerPlatform\", \"Linux\"]");
	const RunResult result = RunUpdater({UpdaterExecutable(),
										 UsualArguments(sandbox, {"--client-info", sandbox.Path("client.json"), "--caller-log", "1"}),
										 sandbox.Environment(), sandbox.Root(), {}});
	EXPECT_EQ(result.fExitCode, 2);
	EXPECT_EQ(result.fOutput, "") << "no progress line: the update ends before the wait";
	EXPECT_NE(result.fErrors, "");
	EXPECT_EQ(Snapshot(sandbox.Installed()), oldTree);
	EXPECT_FALSE(Exists(sandbox.Update() + "/Contents/Database"));
	const std::string log = sandbox.LogText();
	EXPECT_FALSE(HasLogLine(log, "INFO", "Waiting for external process to quit")) << log;
	EXPECT_TRUE(HasLogLine(log, "INFO", "Update failed - ")) << log;
}

// The trash cannot be made: the old bundle is deleted instead, silently.
TEST(UnusableTrash, DeletesTheOldBundleAndSucceeds)
{
	Sandbox sandbox;
	sandbox.MakeBundles();
	const Tree newTree = Snapshot(sandbox.Update());
	WriteFile(sandbox.Path("not-a-folder"), "");
	const RunResult result = RunUpdater({UpdaterExecutable(), UsualArguments(sandbox),
										 sandbox.Environment({"XDG_DATA_HOME=" + sandbox.Path("not-a-folder/share")}),
										 sandbox.Root(), {}});
	EXPECT_EQ(result.fExitCode, 0) << result.fErrors;
	EXPECT_EQ(result.fErrors, "");
	EXPECT_EQ(Snapshot(sandbox.Installed()), newTree);
	EXPECT_TRUE(sandbox.SetAside().empty()) << "the old bundle is deleted when it cannot be trashed";
	EXPECT_TRUE(LogMessages(sandbox.LogText(), "ERROR").empty()) << sandbox.LogText();
	sandbox.Starts(1, kRelaunchWaitMs);
}

// The launcher ran open, and open could not start the new bundle (its
// executable cannot run): only a launcher failure fails the run, so the
// update stands and the old bundle goes to the trash.
TEST(Relaunch, AnOpenThatFailsIsNoFailure)
{
	Sandbox sandbox;
	sandbox.MakeBundles({"1.0"}, {"2.0", false});
	const Tree oldTree = Snapshot(sandbox.Installed());
	const Tree newTree = Snapshot(sandbox.Update());
	const RunResult result = RunUpdater({UpdaterExecutable(), UsualArguments(sandbox), sandbox.Environment(), sandbox.Root(), {}});
	EXPECT_EQ(result.fExitCode, 0) << result.fErrors;
	EXPECT_EQ(result.fErrors, "");
	EXPECT_EQ(Snapshot(sandbox.Installed()), newTree);
	ASSERT_EQ(sandbox.TrashNames(), std::vector<std::string>{"Sample_old0001.app"});
	EXPECT_EQ(Snapshot(sandbox.Trashed("Sample_old0001.app")), oldTree);
	const std::string log = sandbox.LogText();
	EXPECT_TRUE(LogMessages(log, "ERROR").empty()) << log;
	EXPECT_TRUE(HasLogLine(log, "INFO", "Update successful - ")) << log;
	EXPECT_TRUE(HasLogLine(log, "INFO", "Updated application restarted, returned 1")) << log;
	EXPECT_TRUE(sandbox.Starts().empty());
}

// An installed bundle that is a link to a folder elsewhere: the link moves
// aside as a link, the update takes its place as a folder, and the link
// goes to the trash, or is deleted when the trash cannot be used; the folder
// it leads to is never touched.
TEST(LinkedBundle, TheLinkIsReplacedAndWhatItLeadsToIsKept)
{
	for (const bool trashUsable : {true, false}) {
		SCOPED_TRACE(trashUsable ? "trash" : "no trash");
		Sandbox sandbox;
		sandbox.MakeBundles();
		MakeFolder(sandbox.Path("real"));
		std::filesystem::rename(sandbox.Installed(), sandbox.Path("real/Sample.app"));
		std::filesystem::create_directory_symlink("../real/Sample.app", sandbox.Installed());
		const Tree realTree = Snapshot(sandbox.Path("real/Sample.app"));
		const Tree newTree = Snapshot(sandbox.Update());
		std::vector<std::string> extra;
		if (!trashUsable) {
			WriteFile(sandbox.Path("not-a-folder"), "");
			extra.push_back("XDG_DATA_HOME=" + sandbox.Path("not-a-folder/share"));
		}
		const RunResult result =
			RunUpdater({UpdaterExecutable(), UsualArguments(sandbox), sandbox.Environment(extra), sandbox.Root(), {}});
		EXPECT_EQ(result.fExitCode, 0) << result.fErrors << sandbox.LogText();
		EXPECT_FALSE(std::filesystem::is_symlink(sandbox.Installed()));
		EXPECT_EQ(Snapshot(sandbox.Installed()), newTree);
		EXPECT_EQ(Snapshot(sandbox.Path("real/Sample.app")), realTree) << "the folder the link led to was changed";
		EXPECT_TRUE(sandbox.SetAside().empty());
		if (trashUsable) {
			ASSERT_EQ(sandbox.TrashNames(), std::vector<std::string>{"Sample_old0001.app"});
			EXPECT_TRUE(std::filesystem::is_symlink(sandbox.Trashed("Sample_old0001.app")));
		}
		EXPECT_EQ(sandbox.Starts(1, kRelaunchWaitMs), std::vector<std::string>{"version=2.0"});
	}
}

} // namespace
} // namespace qirn::e2e
