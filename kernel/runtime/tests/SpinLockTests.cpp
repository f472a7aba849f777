#include "runtime/SpinLock.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "runtime/VSystem.h"
#include "runtime/tests/SpinLockSettingsGuard.h"
#include "testing/TestThreads.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace qirn {
namespace {

TEST(SpinLock, DefaultIsOneAttemptThenYields)
{
	EXPECT_EQ(SpinLock::Lock, &SpinLock::LockMaxSpinsThenLoopYields);
	EXPECT_EQ(SpinLock::Unlock, &SpinLock::ReleaseWord);
	EXPECT_EQ(SpinLock::sMaxSpins, 1);
	EXPECT_FALSE(SpinLock::sYieldAfterCheckEvent);
}

TEST(SpinLock, UnlockKeepsTheOtherBitsOfTheWord)
{
	uint32 word = 0x1234;
	SpinLock::Lock(&word);
	EXPECT_EQ(word, 0x1234u | SpinLock::kLockBit);
	EXPECT_FALSE(SpinLock::TryLock(&word));
	SpinLock::Unlock(&word);
	EXPECT_EQ(word, 0x1234u);
}

TEST(SpinLock, EveryStrategyExcludes)
{
	const ESpinLockMode modes[] = {ESpinLockMode::kAlwaysSleep, ESpinLockMode::kLoopMaxSpinsAndYields,
								   ESpinLockMode::kMaxSpinsThenLoopYields};
	for (ESpinLockMode mode : modes) {
		SpinLock::LockProc lock = SpinLock::GetStrategy(mode);
		uint32 word = 0;
		long counter = 0;
		constexpr int kRounds = 20000;
		testing::RunOnThreads(4, [&](int) {
			for (int i = 0; i < kRounds; ++i) {
				lock(&word);
				++counter;
				SpinLock::ReleaseWord(&word);
			}
		});
		EXPECT_EQ(counter, 4L * kRounds);
		EXPECT_EQ(word, 0u);
	}
}

TEST(SpinLock, ModeNames)
{
	struct Case {
		const char16_t* fName;
		std::optional<ESpinLockMode> fMode;
	};
	const Case cases[] = {
		{u"alwaysSleep", ESpinLockMode::kAlwaysSleep},
		{u"ALWAYSSLEEP", ESpinLockMode::kAlwaysSleep},
		{u"loopMaxSpinsAndYields", ESpinLockMode::kLoopMaxSpinsAndYields},
		{u"maxSpinsThenLoopYields", ESpinLockMode::kMaxSpinsThenLoopYields},
		{u"maxSpinsThenLoopYield", std::nullopt},
		{u"alwaysSleepy", std::nullopt},
		{u"", std::nullopt},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::u16string(c.fName).size());
		EXPECT_EQ(SpinLock::ModeFromName(c.fName), c.fMode);
	}
}

// A recognised mode installs its strategy; an unknown one keeps the current
// strategy while the other settings still apply.
TEST(SpinLock, SettingsApply)
{
	struct Case {
		const char16_t* fMode;
		double fMaxSpins;
		SpinLock::LockProc fExpectedLock;
		int32 fExpectedSpins;
	};
	const Case cases[] = {
		{u"alwaysSleep", 100, &SpinLock::LockAlwaysSleep, 100},
		{u"fastest", 2.9, &SpinLock::LockMaxSpinsThenLoopYields, 2},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(std::u16string(c.fMode).size());
		SpinLockSettingsGuard guard;
		SpinLockSettings settings;
		settings.fMode = c.fMode;
		settings.fMaxSpins = c.fMaxSpins;
		settings.fYieldAfterCheckEvent = true;
		SpinLock::ApplySettings(settings);
		EXPECT_EQ(SpinLock::Lock, c.fExpectedLock);
		EXPECT_EQ(SpinLock::Unlock, &SpinLock::ReleaseWord);
		EXPECT_EQ(SpinLock::sMaxSpins, c.fExpectedSpins);
		EXPECT_TRUE(SpinLock::sYieldAfterCheckEvent);
	}
}

TEST(SpinLock, MaxSpinsIsTruncatedAndClamped)
{
	struct Case {
		double fValue;
		int32 fExpected;
	};
	const Case cases[] = {
		{2.9, 2},
		{-2.9, -2},
		{0, 0},
		{1e12, std::numeric_limits<int32>::max()},
		{-1e12, std::numeric_limits<int32>::min()},
		{std::numeric_limits<double>::infinity(), std::numeric_limits<int32>::max()},
		{std::nan(""), 7}, // ignored: stays at the value set before
	};
	for (const Case& c : cases) {
		SpinLockSettingsGuard guard;
		SpinLock::sMaxSpins = 7;
		SpinLockSettings settings;
		settings.fMaxSpins = c.fValue;
		SpinLock::ApplySettings(settings);
		EXPECT_EQ(SpinLock::sMaxSpins, c.fExpected) << c.fValue;
	}
}

TEST(SpinLock, ConfigureChangesNothingWhileOtherTasksExist)
{
	SpinLockSettingsGuard guard;
	VSyncEvent* release = new VSyncEvent;
	VTask* task = new VTask(0, ETaskStyle::kPreemptive, [release]() { release->Lock(); });
	ASSERT_TRUE(task->Run());
	while (task->GetState() != TS_RUNNING)
		VTaskMgr::YieldNow();

	SpinLockSettings settings;
	settings.fMode = u"alwaysSleep";
	settings.fMaxSpins = 50;
	SpinLock::_ConfigureFrom(&settings);
	EXPECT_EQ(SpinLock::Lock, &SpinLock::LockMaxSpinsThenLoopYields);
	EXPECT_EQ(SpinLock::sMaxSpins, 1);

	release->Unlock();
	EXPECT_TRUE(task->WaitForDeath(10000));
	VTaskMgr::Get()->PurgeDeadTasks();
	SpinLock::_ConfigureFrom(&settings);
	EXPECT_EQ(SpinLock::Lock, &SpinLock::LockAlwaysSleep);
	EXPECT_EQ(SpinLock::sMaxSpins, 50);
	task->Release();
	release->Release();
}

// A wake-up given to a task before it waits for a lock word is still there
// for its own Sleep afterwards, however long the "alwaysSleep" strategy had
// to wait.
TEST(SpinLock, AlwaysSleepLeavesTheTaskItsWakeUp)
{
	uint32 word = 0;
	testing::Gate go;
	testing::Gate slept;
	VTask* task = new VTask(0, ETaskStyle::kPreemptive, [&]() {
		go.Wait();
		SpinLock::LockAlwaysSleep(&word);
		SpinLock::ReleaseWord(&word);
		VTask::Sleep(2 * testing::kHangMilliseconds);
		slept.Open();
	});
	SpinLock::Lock(&word);
	ASSERT_TRUE(task->Run());
	task->WakeUp();
	go.Open();
	// Long enough for the strategy to pass its yields and sleep.
	VSystem::Delay(20);
	SpinLock::Unlock(&word);
	EXPECT_TRUE(slept.Wait());
	task->WakeUp();
	EXPECT_TRUE(task->WaitForDeath(testing::kHangMilliseconds));
	task->Release();
}

} // namespace
} // namespace qirn
