// The updater killed at every step of the swap, the roll-back and the
// disposal, and at random instants of a large copy (the test build's fault
// points, chosen by QX_UPDATER_FAULT). After each kill the bundle's path
// holds a whole bundle, or a folder that the next run replaces while the old
// bundle is whole under its temporary name; a second run then installs the
// new bundle, and nothing of the old one is lost.

#include "UpdaterHarness.h"

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/resource.h>
#include <time.h>

namespace qirn::e2e {
namespace {

constexpr int kRelaunchWaitMs = 20000;

long long NowMs()
{
	timespec now {};
	::clock_gettime(CLOCK_MONOTONIC, &now);
	return static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Whether an old copy survives whole, beside the path or in the trash.
bool OldBundleKept(const Sandbox& inSandbox, const Tree& inOld)
{
	for (const std::string& name : inSandbox.SetAside())
		if (Snapshot(inSandbox.Path("apps/" + name)) == inOld)
			return true;
	for (const std::string& name : inSandbox.TrashNames())
		if (Snapshot(inSandbox.Trashed(name)) == inOld)
			return true;
	return false;
}

// The state right after the kill.
void ExpectInvariant(const Sandbox& inSandbox, const Tree& inOld, const Tree& inNew, const std::string& inWhen)
{
	SCOPED_TRACE(inWhen);
	const Tree atPath = Snapshot(inSandbox.Installed());
	ASSERT_FALSE(atPath.empty()) << "the bundle's path is empty";
	EXPECT_EQ(Snapshot(inSandbox.Update()), inNew) << "the update was changed";
	if (atPath == inOld || atPath == inNew)
		return;
	EXPECT_TRUE(OldBundleKept(inSandbox, inOld)) << "the path holds neither bundle and the old one is not whole beside it:\n"
												 << DescribeDifference(inOld, atPath);
}

// The second run, unkilled, with the same arguments.
void ExpectRecovery(Sandbox& ioSandbox, const std::vector<std::string>& inArguments, const Tree& inOld, const Tree& inNew,
					const std::string& inWhen, bool inOldMayBeGone = false)
{
	SCOPED_TRACE(inWhen);
	const RunResult result = RunUpdater({UpdaterExecutable(), inArguments, ioSandbox.Environment(), ioSandbox.Root(), {}});
	EXPECT_EQ(result.fExitCode, 0) << result.fErrors << ioSandbox.LogText();
	const Tree atPath = Snapshot(ioSandbox.Installed());
	EXPECT_EQ(atPath, inNew) << DescribeDifference(inNew, atPath);
	if (!inOldMayBeGone) {
		EXPECT_TRUE(OldBundleKept(ioSandbox, inOld)) << "the old bundle was lost";
	}
	ioSandbox.Starts(1, kRelaunchWaitMs);
}

struct FaultCase {
	const char* fName;
	const char* fPoint;
	// 0: a plain update; 1: a copy that fails (roll-back); 2: no trash (forced deletion)
	int fSetting;
};

class KilledAtFaultPoint : public ::testing::TestWithParam<FaultCase> {};

TEST_P(KilledAtFaultPoint, LeavesARecoverableState)
{
	if (FaultsExecutable().empty())
		GTEST_SKIP() << "no test build of the updater";
	const FaultCase& test = GetParam();
	if (test.fSetting == 1 && ::geteuid() != 0)
		GTEST_SKIP() << "the file-size limit must not stop the test's own files";
	Sandbox sandbox;
	// The big files only make the copy fail under the limit.
	sandbox.MakeBundles({"1.0"}, test.fSetting == 1 ? SampleBundle{"2.0", true, 4, 200 * 1024} : SampleBundle{"2.0", true, 6, 100});
	const Tree oldTree = Snapshot(sandbox.Installed());
	const Tree newTree = Snapshot(sandbox.Update());
	std::vector<std::string> environment{"QX_UPDATER_FAULT=" + std::string(test.fPoint)};
	if (test.fSetting == 2) {
		WriteFile(sandbox.Path("not-a-folder"), "");
		environment.push_back("XDG_DATA_HOME=" + sandbox.Path("not-a-folder/share"));
	}
	std::function<bool()> setUp;
	if (test.fSetting == 1)
		setUp = [] {
			::signal(SIGXFSZ, SIG_IGN);
			const rlimit limit{128 * 1024, 128 * 1024};
			return ::setrlimit(RLIMIT_FSIZE, &limit) == 0;
		};
	const std::vector<std::string> arguments = UsualArguments(sandbox);
	const RunResult killed = RunUpdater({FaultsExecutable(), arguments, sandbox.Environment(environment), sandbox.Root(), setUp});
	EXPECT_EQ(killed.fSignal, SIGKILL) << "the fault point was not reached; exit code " << killed.fExitCode << "\n"
									   << killed.fErrors << sandbox.LogText();
	ExpectInvariant(sandbox, oldTree, newTree, test.fPoint);
	// A forced deletion under way is the old bundle's deliberate end.
	ExpectRecovery(sandbox, arguments, oldTree, newTree, test.fPoint, test.fSetting == 2);
}

INSTANTIATE_TEST_SUITE_P(
	Points, KilledAtFaultPoint,
	::testing::Values(FaultCase{"BeforeMoveAside", "before-move-aside", 0}, FaultCase{"AfterMoveAside", "after-move-aside", 0},
					  FaultCase{"AfterCopy", "after-copy", 0}, FaultCase{"BeforeRelaunch", "before-relaunch", 0},
					  FaultCase{"BeforeDispose", "before-dispose", 0}, FaultCase{"BeforeRollBack", "before-rollback", 1},
					  FaultCase{"MidRollBack", "rollback-mid", 1}, FaultCase{"AfterRollBack", "after-rollback", 1},
					  FaultCase{"MidDispose", "mid-dispose", 2}),
	[](const ::testing::TestParamInfo<FaultCase>& inInfo) { return std::string(inInfo.param.fName); });

// Every file of the copy (each file and link of the sample): a kill after
// each one in turn.
TEST(KilledAfterEachCopiedFile, LeavesARecoverableState)
{
	if (FaultsExecutable().empty())
		GTEST_SKIP() << "no test build of the updater";
	Sandbox probe;
	MakeSampleBundle(probe.Update(), {"2.0"});
	int files = 0;
	for (const auto& [path, entry] : Snapshot(probe.Update()))
		files += entry.fKind != 'd' ? 1 : 0;
	for (int k = 1; k <= files; ++k) {
		Sandbox sandbox;
		sandbox.MakeBundles();
		const Tree oldTree = Snapshot(sandbox.Installed());
		const Tree newTree = Snapshot(sandbox.Update());
		const std::string point = "copied-file:" + std::to_string(k);
		const std::vector<std::string> arguments = UsualArguments(sandbox);
		const RunResult killed =
			RunUpdater({FaultsExecutable(), arguments, sandbox.Environment({"QX_UPDATER_FAULT=" + point}), sandbox.Root(), {}});
		EXPECT_EQ(killed.fSignal, SIGKILL) << point;
		ExpectInvariant(sandbox, oldTree, newTree, point);
		ExpectRecovery(sandbox, arguments, oldTree, newTree, point);
	}
}

// Kills at random instants of a large copy, from a fixed seed: the first,
// unkilled run measures how long an update takes.
TEST(KilledAtRandomInstants, LeavesARecoverableState)
{
	if (FaultsExecutable().empty())
		GTEST_SKIP() << "no test build of the updater";
	const SampleBundle large{"2.0", true, 300, 32 * 1024};
	long long duration = 0;
	{
		Sandbox sandbox;
		sandbox.MakeBundles({"1.0"}, large);
		const long long start = NowMs();
		const RunResult result = RunUpdater({FaultsExecutable(), UsualArguments(sandbox), sandbox.Environment(), sandbox.Root(), {}});
		duration = NowMs() - start;
		ASSERT_EQ(result.fExitCode, 0) << result.fErrors;
		sandbox.Starts(1, kRelaunchWaitMs);
	}
	std::mt19937 random(20261211);
	std::uniform_int_distribution<long long> instant(0, std::max<long long>(duration, 1));
	for (int round = 0; round < 3; ++round) {
		const long long delay = instant(random);
		const std::string when = "killed after " + std::to_string(delay) + " ms of " + std::to_string(duration);
		Sandbox sandbox;
		sandbox.MakeBundles({"1.0"}, large);
		const Tree oldTree = Snapshot(sandbox.Installed());
		const Tree newTree = Snapshot(sandbox.Update());
		const std::vector<std::string> arguments = UsualArguments(sandbox);
		{
			UpdaterRun run;
			ASSERT_TRUE(run.Start({FaultsExecutable(), arguments, sandbox.Environment(), sandbox.Root(), {}}));
			// Waiting on the process's end with the instant as time-out.
			if (!run.Wait(static_cast<int>(delay))) {
				run.Kill(SIGKILL);
				ASSERT_TRUE(run.Wait(10000));
			}
		}
		ExpectInvariant(sandbox, oldTree, newTree, when);
		// A run that got to its relaunch before the kill has a start to collect.
		sandbox.Starts(0, 0);
		ExpectRecovery(sandbox, arguments, oldTree, newTree, when);
	}
}

} // namespace
} // namespace qirn::e2e
