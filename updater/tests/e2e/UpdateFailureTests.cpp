// Updates that fail: exit code 2, the failure told on standard error (or by
// the graphical notification when there is one), the log telling why, and
// the outdated bundle whole at its path unless the new one replaced it.

#include "UpdaterHarness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <grp.h>
#include <unistd.h>
#include <sys/resource.h>
#include <sys/stat.h>

namespace qirn::e2e {
namespace {

constexpr const char* kMoreInformation = "More information is available in the log file '";

// A failed run before anything moved.
void ExpectUntouched(const Sandbox& inSandbox, const Tree& inOld)
{
	const Tree installed = Snapshot(inSandbox.Installed());
	EXPECT_EQ(installed, inOld) << DescribeDifference(inOld, installed);
	EXPECT_TRUE(inSandbox.SetAside().empty());
	EXPECT_TRUE(inSandbox.TrashNames().empty());
}

void ExpectFailedRun(const RunResult& inResult, const std::string& inLog)
{
	EXPECT_EQ(inResult.fExitCode, 2) << inResult.fErrors;
	EXPECT_EQ(inResult.fOutput, "");
	EXPECT_TRUE(HasLogLine(inLog, "INFO", "Update failed - ")) << inLog;
	EXPECT_FALSE(HasLogLine(inLog, "INFO", "Update successful")) << inLog;
}

std::string LogFilePath(const Sandbox& inSandbox)
{
	for (const std::string& name : ListNames(inSandbox.Logs()))
		return inSandbox.Logs() + "/" + name;
	return std::string();
}

struct MissingCase {
	const char* fName;
	int fWhich; // 0: the update missing, 1: the installed bundle missing, 2: the update given as a relative path
};

class MissingBundle : public ::testing::TestWithParam<MissingCase> {};

TEST_P(MissingBundle, FailsWithoutTouchingAnything)
{
	Sandbox sandbox;
	sandbox.MakeBundles();
	std::vector<std::string> arguments{"--log-dir", sandbox.Logs(), sandbox.Installed(), sandbox.Update()};
	std::string missing;
	switch (GetParam().fWhich) {
	case 0:
		missing = sandbox.Path("updates/Gone.app");
		arguments[3] = missing;
		break;
	case 1:
		missing = sandbox.Path("apps/Gone.app");
		arguments[2] = missing;
		break;
	default:
		// Relative paths are taken as they are: no such bundle.
		missing = "updates/Sample.app";
		arguments[3] = missing;
		break;
	}
	const Tree oldTree = Snapshot(sandbox.Installed());
	const RunResult result = RunUpdater({UpdaterExecutable(), arguments, sandbox.Environment(), sandbox.Root(), {}});
	const std::string log = sandbox.LogText();
	ExpectFailedRun(result, log);
	ExpectUntouched(sandbox, oldTree);
	EXPECT_FALSE(HasLogLine(log, "INFO", "Proceeding with up-to-date application install...")) << log;
	// The error names the missing path; the notification points to the log.
	EXPECT_TRUE(HasLogLine(log, "ERROR", "cannot be found")) << log;
	EXPECT_NE(result.fErrors.find(kMoreInformation + LogFilePath(sandbox) + "'"), std::string::npos) << result.fErrors;
	EXPECT_TRUE(sandbox.Starts().empty());
}

INSTANTIATE_TEST_SUITE_P(Bundles, MissingBundle,
						 ::testing::Values(MissingCase{"UpToDate", 0}, MissingCase{"Outdated", 1}, MissingCase{"Relative", 2}),
						 [](const ::testing::TestParamInfo<MissingCase>& inInfo) { return std::string(inInfo.param.fName); });

struct OverlapCase {
	const char* fName;
	const char* fUpdate; // relative to the sandbox
};

class OverlappingBundles : public ::testing::TestWithParam<OverlapCase> {};

TEST_P(OverlappingBundles, MoveNothing)
{
	Sandbox sandbox;
	sandbox.MakeBundles();
	MakeSampleBundle(sandbox.Path("apps/Sample.app/Contents/Resources/Inner.app"), {"2.0"});
	const Tree oldTree = Snapshot(sandbox.Installed());
	const RunResult result = RunUpdater({UpdaterExecutable(),
										 {"--log-dir", sandbox.Logs(), "--silent", sandbox.Installed(), sandbox.Path(GetParam().fUpdate)},
										 sandbox.Environment(), sandbox.Root(), {}});
	const std::string log = sandbox.LogText();
	ExpectFailedRun(result, log);
	ExpectUntouched(sandbox, oldTree);
	EXPECT_EQ(result.fErrors, "") << "silent";
	EXPECT_TRUE(HasLogLine(log, "ERROR", "Up-to-date application install failed")) << log;
	EXPECT_FALSE(HasLogLine(log, "INFO", "Rolling back")) << log;
}

INSTANTIATE_TEST_SUITE_P(Bundles, OverlappingBundles,
						 ::testing::Values(OverlapCase{"Same", "apps/Sample.app"}, OverlapCase{"SameWithSlash", "apps/Sample.app/"},
										   OverlapCase{"SameThroughDots", "apps/../apps/Sample.app"},
										   OverlapCase{"Nested", "apps/Sample.app/Contents/Resources/Inner.app"}),
						 [](const ::testing::TestParamInfo<OverlapCase>& inInfo) { return std::string(inInfo.param.fName); });

// A copy that fails midway (a file bigger than the process may write) is
// rolled back: the old bundle is back, whole, and no copy is left.
TEST(RollBack, RestoresTheOldBundleWhenTheCopyFails)
{
	if (::geteuid() != 0)
		GTEST_SKIP() << "the file-size limit must not stop the test's own files";
	Sandbox sandbox;
	sandbox.MakeBundles({"1.0"}, {"2.0", true, 12, 200 * 1024});
	const Tree oldTree = Snapshot(sandbox.Installed());
	const Tree newTree = Snapshot(sandbox.Update());
	const RunResult result = RunUpdater({UpdaterExecutable(), UsualArguments(sandbox), sandbox.Environment(), sandbox.Root(), [] {
											 ::signal(SIGXFSZ, SIG_IGN);
											 const rlimit limit{128 * 1024, 128 * 1024};
											 return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
										 }});
	const std::string log = sandbox.LogText();
	ExpectFailedRun(result, log);
	ExpectUntouched(sandbox, oldTree);
	EXPECT_EQ(Snapshot(sandbox.Update()), newTree);
	EXPECT_TRUE(HasLogLine(log, "INFO", "Rolling back up-to-date application install")) << log;
	EXPECT_TRUE(HasLogLine(log, "ERROR", "Up-to-date application install failed")) << log;
	EXPECT_FALSE(HasLogLine(log, "INFO", "Proceeding with up-to-date application restart...")) << log;
	EXPECT_EQ(ListNames(sandbox.Path("apps")), std::vector<std::string>{"Sample.app"});
	EXPECT_TRUE(sandbox.Starts().empty());
}

// The update given as a link to the bundle it would replace: the paths
// differ, the folder is one. Once the bundle has traded places with the
// empty folder, the update is that folder: the copy refuses it and the run
// rolls back, rather than installing an empty bundle as a success and
// trashing the real one.
TEST(RollBack, AnUpdateThatIsTheBundleThroughALinkIsRefused)
{
	Sandbox sandbox;
	sandbox.MakeBundles();
	const Tree oldTree = Snapshot(sandbox.Installed());
	std::filesystem::create_directory_symlink("apps", sandbox.Path("link"));
	const RunResult result = RunUpdater({UpdaterExecutable(),
										 {"--log-dir", sandbox.Logs(), "--silent", sandbox.Installed(), sandbox.Path("link/Sample.app")},
										 sandbox.Environment(), sandbox.Root(), {}});
	const std::string log = sandbox.LogText();
	ExpectFailedRun(result, log);
	ExpectUntouched(sandbox, oldTree);
	EXPECT_TRUE(HasLogLine(log, "INFO", "Rolling back up-to-date application install")) << log;
	EXPECT_TRUE(HasLogLine(log, "ERROR", "Up-to-date application install failed")) << log;
	EXPECT_EQ(ListNames(sandbox.Path("apps")), std::vector<std::string>{"Sample.app"});
	EXPECT_TRUE(sandbox.Starts().empty());
}

// The runs as nobody: the sandbox is nobody's, but some of it is not.
class AsNobody : public ::testing::Test {
protected:
	void SetUp() override
	{
		if (!FindNobody(fUser, fGroup))
			GTEST_SKIP() << "needs root and the user nobody";
		// The updater's own bundle must be readable by nobody: a copy, which
		// also shows that the bundle works once copied.
		fSandbox.MakeBundles();
		const std::string bundle = fSandbox.Path("Updater.app");
		std::filesystem::copy(std::filesystem::path(UpdaterExecutable()).parent_path().parent_path().parent_path(), bundle,
							  std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
		fExecutable = bundle + "/Contents/MacOS/Updater";
		fSandbox.GiveTo(fUser, fGroup);
		fOld = Snapshot(fSandbox.Installed());
	}

	RunResult Run(const std::vector<std::string>& inArguments)
	{
		const uid_t user = fUser;
		const gid_t group = fGroup;
		return RunUpdater({fExecutable, inArguments, fSandbox.Environment(), fSandbox.Root(), [user, group] {
							   return ::setgroups(0, nullptr) == 0 && ::setgid(group) == 0 && ::setuid(user) == 0;
						   }});
	}

	uid_t fUser = 0;
	gid_t fGroup = 0;
	Sandbox fSandbox;
	std::string fExecutable;
	Tree fOld;
};

TEST_F(AsNobody, AnUnreadableUpdateIsRolledBack)
{
	ChangeOwner(fSandbox.Update(), 0, 0);
	::chmod(fSandbox.Update().c_str(), 0700);
	const RunResult result = Run(UsualArguments(fSandbox));
	const std::string log = fSandbox.LogText();
	ExpectFailedRun(result, log);
	ExpectUntouched(fSandbox, fOld);
	EXPECT_TRUE(HasLogLine(log, "INFO", "Rolling back up-to-date application install")) << log;
	EXPECT_TRUE(HasLogLine(log, "ERROR", "Up-to-date application install failed")) << log;
	EXPECT_EQ(ListNames(fSandbox.Path("apps")), std::vector<std::string>{"Sample.app"});
}

// The bundle's folder is not nobody's to write: five attempts to move the
// bundle aside, three seconds apart, then the failure.
TEST_F(AsNobody, AFolderWithoutWritePermissionMovesNothing)
{
	ChangeOwner(fSandbox.Path("apps"), 0, 0);
	const RunResult result = Run(UsualArguments(fSandbox));
	const std::string log = fSandbox.LogText();
	ExpectFailedRun(result, log);
	ExpectUntouched(fSandbox, fOld);
	EXPECT_TRUE(HasLogLine(log, "ERROR", "Up-to-date application install failed")) << log;
	EXPECT_FALSE(HasLogLine(log, "INFO", "Rolling back")) << log;
	// The file errors of five attempts and four of their own, the install's.
	EXPECT_GE(LogMessages(log, "ERROR").size(), 10u) << log;
	EXPECT_NE(result.fErrors.find(kMoreInformation), std::string::npos) << result.fErrors;
}

// A log folder nobody may write in: the file logger does not start, the
// update does not run, and the failure is told even in silent mode, without
// naming a log file that does not exist.
TEST_F(AsNobody, ALogFolderWithoutWritePermissionStopsTheUpdate)
{
	MakeFolder(fSandbox.Logs());
	const RunResult result = Run(UsualArguments(fSandbox, {"--silent"}));
	EXPECT_EQ(result.fExitCode, 2);
	ExpectUntouched(fSandbox, fOld);
	EXPECT_TRUE(ListNames(fSandbox.Logs()).empty());
	EXPECT_NE(result.fErrors, "") << "reported even when silent";
	EXPECT_EQ(result.fErrors.find(kMoreInformation), std::string::npos) << result.fErrors;
}

TEST(UnusableLogFolder, StopsTheUpdateAndIsReportedEvenWhenSilent)
{
	Sandbox sandbox;
	sandbox.MakeBundles();
	const Tree oldTree = Snapshot(sandbox.Installed());
	WriteFile(sandbox.Path("a-file"), "");
	const RunResult result = RunUpdater({UpdaterExecutable(),
										 {"--silent", "--log-dir", sandbox.Path("a-file/logs"), sandbox.Installed(), sandbox.Update()},
										 sandbox.Environment(), sandbox.Root(), {}});
	EXPECT_EQ(result.fExitCode, 2);
	EXPECT_EQ(result.fOutput, "");
	EXPECT_NE(result.fErrors, "");
	EXPECT_EQ(result.fErrors.find(kMoreInformation), std::string::npos) << result.fErrors;
	ExpectUntouched(sandbox, oldTree);
}

// Without a log folder the update runs and fails the same, with no log.
TEST(NoLogFolder, TheReportHasNoLogSentence)
{
	Sandbox sandbox;
	sandbox.MakeBundles();
	const RunResult result = RunUpdater({UpdaterExecutable(), {sandbox.Installed(), sandbox.Path("updates/Gone.app")},
										 sandbox.Environment(), sandbox.Root(), {}});
	EXPECT_EQ(result.fExitCode, 2);
	EXPECT_NE(result.fErrors, "");
	EXPECT_EQ(result.fErrors.find(kMoreInformation), std::string::npos) << result.fErrors;
}

// The relaunch cannot run (the updater's bundle lost its open): the new
// bundle stays installed and the old one aside, and the run fails.
TEST(FailedRelaunch, KeepsTheNewBundleAndTheOldAside)
{
	Sandbox sandbox;
	sandbox.MakeBundles();
	const Tree oldTree = Snapshot(sandbox.Installed());
	const Tree newTree = Snapshot(sandbox.Update());
	const std::string bundle = sandbox.Path("Updater.app");
	std::filesystem::copy(std::filesystem::path(UpdaterExecutable()).parent_path().parent_path().parent_path(), bundle,
						  std::filesystem::copy_options::recursive | std::filesystem::copy_options::copy_symlinks);
	ASSERT_TRUE(std::filesystem::remove(bundle + "/Contents/MacOS/open"));
	const RunResult result = RunUpdater({bundle + "/Contents/MacOS/Updater", UsualArguments(sandbox), sandbox.Environment(), sandbox.Root(), {}});
	const std::string log = sandbox.LogText();
	ExpectFailedRun(result, log);
	EXPECT_EQ(Snapshot(sandbox.Installed()), newTree);
	ASSERT_EQ(sandbox.SetAside(), std::vector<std::string>{"Sample_old0001.app"});
	EXPECT_EQ(Snapshot(sandbox.Path("apps/Sample_old0001.app")), oldTree);
	EXPECT_TRUE(sandbox.TrashNames().empty());
	EXPECT_TRUE(HasLogLine(log, "ERROR", "Failed to restart updated application (returned error ")) << log;
	// No status came back from a command that never ran: it is logged as 0.
	EXPECT_TRUE(HasLogLine(log, "ERROR", " - exit status 0)")) << log;
	EXPECT_TRUE(HasLogLine(log, "ERROR", "Up-to-date application restart failed")) << log;
	EXPECT_FALSE(HasLogLine(log, "INFO", "Up-to-date application restarted")) << log;
	EXPECT_TRUE(sandbox.Starts().empty());
}

// With a display and zenity, the failure is a question; "Yes" opens the log.
struct NotificationCase {
	const char* fName;
	const char* fAnswer; // the button pressed
	bool fOpensLog;
};

class GraphicalReport : public ::testing::TestWithParam<NotificationCase> {};

TEST_P(GraphicalReport, AsksAndOpensTheLogOnYes)
{
	Sandbox sandbox;
	sandbox.MakeBundles();
	sandbox.OpenFakeReport("zenity");
	sandbox.OpenFakeReport("xdg-open");
	// Presses the button titled E2E_ANSWER: exit 0 for the OK one, 1 for
	// the cancel one.
	sandbox.AddFake("zenity", "code=5\n"
							  "for a in \"$@\"; do\n"
							  "  printf 'arg=%s\\n' \"$a\"\n"
							  "  case $a in --ok-label=$E2E_ANSWER) code=0 ;; --cancel-label=$E2E_ANSWER) code=1 ;; esac\n"
							  "done > \"$E2E_REPORTS/zenity.fifo\"\n"
							  "printf 'end\\n' > \"$E2E_REPORTS/zenity.fifo\"\n"
							  "exit $code\n");
	sandbox.AddFake("xdg-open", "printf 'arg=%s\\nend\\n' \"$1\" > \"$E2E_REPORTS/xdg-open.fifo\"\n");
	const RunResult result = RunUpdater(
		{UpdaterExecutable(), {"--log-dir", sandbox.Logs(), sandbox.Installed(), sandbox.Path("updates/Gone.app")},
		 sandbox.Environment({"DISPLAY=:99", "E2E_REPORTS=" + sandbox.Root(), "E2E_ANSWER=" + std::string(GetParam().fAnswer)}),
		 sandbox.Root(), {}});
	EXPECT_EQ(result.fExitCode, 2);
	EXPECT_EQ(result.fErrors, "") << "the report went to the dialog";
	const std::string question = sandbox.FakeReport("zenity", 20000);
	EXPECT_NE(question.find("arg=--question"), std::string::npos) << question;
	EXPECT_NE(question.find(kMoreInformation + LogFilePath(sandbox) + "'"), std::string::npos) << question;
	const std::string opened = sandbox.FakeReport("xdg-open", GetParam().fOpensLog ? 20000 : 0);
	if (GetParam().fOpensLog) {
		EXPECT_NE(opened.find(LogFilePath(sandbox)), std::string::npos) << opened;
	} else {
		EXPECT_EQ(opened, "");
	}
}

INSTANTIATE_TEST_SUITE_P(Answers, GraphicalReport,
						 ::testing::Values(NotificationCase{"Yes", "Yes", true}, NotificationCase{"No", "No", false}),
						 [](const ::testing::TestParamInfo<NotificationCase>& inInfo) { return std::string(inInfo.param.fName); });

TEST(SilentReport, ShowsNothing)
{
	Sandbox sandbox;
	sandbox.MakeBundles();
	sandbox.OpenFakeReport("zenity");
	sandbox.AddFake("zenity", "printf 'called\\nend\\n' > \"$E2E_REPORTS/zenity.fifo\"\n");
	const RunResult result = RunUpdater(
		{UpdaterExecutable(), {"--silent", "--log-dir", sandbox.Logs(), sandbox.Installed(), sandbox.Path("updates/Gone.app")},
		 sandbox.Environment({"DISPLAY=:99", "E2E_REPORTS=" + sandbox.Root()}), sandbox.Root(), {}});
	EXPECT_EQ(result.fExitCode, 2);
	EXPECT_EQ(result.fErrors, "");
	EXPECT_EQ(sandbox.FakeReport("zenity", 0), "");
	EXPECT_TRUE(HasLogLine(sandbox.LogText(), "INFO", "Update failed - "));
}

} // namespace
} // namespace qirn::e2e
