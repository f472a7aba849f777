#include "runtime/SpinLock.h"
#include "runtime/VConditionVariable.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <limits>
#include <thread>
#include <vector>

namespace qirn {
namespace {

// Puts the spin-lock settings back as they were after a test changed them.
class SpinLockSettingsGuard {
public:
	~SpinLockSettingsGuard()
	{
		SpinLock::Lock = fLock;
		SpinLock::Unlock = fUnlock;
		SpinLock::sMaxSpins = fMaxSpins;
		SpinLock::sYieldAfterCheckEvent = fYield;
	}

private:
	SpinLock::LockProc fLock = SpinLock::Lock;
	SpinLock::LockProc fUnlock = SpinLock::Unlock;
	int32 fMaxSpins = SpinLock::sMaxSpins;
	bool fYield = SpinLock::sYieldAfterCheckEvent;
};

// Runs inWork on inThreads plain threads at once.
template <class Work>
void RunOnThreads(int inThreads, Work inWork)
{
	std::vector<std::thread> threads;
	for (int t = 0; t < inThreads; ++t)
		threads.emplace_back([&inWork, t]() { inWork(t); });
	for (std::thread& thread : threads)
		thread.join();
}

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
		RunOnThreads(4, [&](int) {
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
	for (const Case& c : cases)
		EXPECT_EQ(SpinLock::ModeFromName(c.fName), c.fMode) << std::u16string(c.fName).size();
}

TEST(SpinLock, SettingsApply)
{
	SpinLockSettingsGuard guard;
	SpinLockSettings settings;
	settings.fMode = u"alwaysSleep";
	settings.fMaxSpins = 100;
	settings.fYieldAfterCheckEvent = true;
	SpinLock::ApplySettings(settings);
	EXPECT_EQ(SpinLock::Lock, &SpinLock::LockAlwaysSleep);
	EXPECT_EQ(SpinLock::Unlock, &SpinLock::ReleaseWord);
	EXPECT_EQ(SpinLock::sMaxSpins, 100);
	EXPECT_TRUE(SpinLock::sYieldAfterCheckEvent);
}

TEST(SpinLock, UnknownModeKeepsTheStrategyButOtherSettingsApply)
{
	SpinLockSettingsGuard guard;
	SpinLockSettings settings;
	settings.fMode = u"fastest";
	settings.fMaxSpins = 2.9;
	settings.fYieldAfterCheckEvent = true;
	SpinLock::ApplySettings(settings);
	EXPECT_EQ(SpinLock::Lock, &SpinLock::LockMaxSpinsThenLoopYields);
	EXPECT_EQ(SpinLock::sMaxSpins, 2);
	EXPECT_TRUE(SpinLock::sYieldAfterCheckEvent);
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

TEST(CriticalSection, RecursionCountsPerTask)
{
	VCriticalSection section;
	ASSERT_TRUE(section.Lock());
	ASSERT_TRUE(section.Lock());
	ASSERT_TRUE(section.TryToLock());
	EXPECT_EQ(section.GetOwner(), VTaskMgr::GetCurrentTaskID());
	EXPECT_EQ(section.GetUseCount(), 3);

	std::atomic<bool> entered{false};
	std::thread other([&]() {
		EXPECT_FALSE(section.TryToLock());
		section.Lock();
		entered = true;
		section.Unlock();
	});
	section.Unlock();
	section.Unlock();
	VSystem::Delay(20);
	EXPECT_FALSE(entered.load()); // still held once
	section.Unlock();
	other.join();
	EXPECT_TRUE(entered.load());
	EXPECT_EQ(section.GetOwner(), 0);
	EXPECT_EQ(section.GetUseCount(), 0);
}

TEST(CriticalSection, TryToLockOnAHeldSectionChangesNothing)
{
	VCriticalSection section;
	section.Lock();
	bool taken = true;
	std::thread([&]() { taken = section.TryToLock(); }).join();
	EXPECT_FALSE(taken);
	EXPECT_EQ(section.GetOwner(), VTaskMgr::GetCurrentTaskID());
	EXPECT_EQ(section.GetUseCount(), 1);
	section.Unlock();
}

TEST(CriticalSection, DestroyingAHeldSectionLeavesIt)
{
	VCriticalSection* section = new VCriticalSection;
	section->Lock();
	section->Lock();
	delete section; // must not leak the state or crash
	SUCCEED();
}

// Many threads and tasks add to a plain counter under one section, each
// entering it recursively; any lapse of exclusion loses increments.
TEST(CriticalSection, ContentionKeepsAnExactCount)
{
	VCriticalSection section;
	long counter = 0;
	constexpr int kRounds = 5000;
	auto work = [&]() {
		for (int i = 0; i < kRounds; ++i) {
			section.Lock();
			section.Lock();
			long value = counter;
			if (i % 64 == 0)
				VTaskMgr::YieldNow();
			counter = value + 1;
			section.Unlock();
			section.Unlock();
		}
	};
	std::vector<VTask*> tasks;
	for (int t = 0; t < 4; ++t) {
		tasks.push_back(new VTask(0, ETaskStyle::kPreemptive, work));
		ASSERT_TRUE(tasks.back()->Run());
	}
	RunOnThreads(4, [&](int) { work(); });
	for (VTask* task : tasks) {
		EXPECT_TRUE(task->WaitForDeath(60000));
		task->Release();
	}
	EXPECT_EQ(counter, 8L * kRounds);
	EXPECT_EQ(section.GetOwner(), 0);
}

TEST(CriticalSection, ExcludesWithEveryStrategy)
{
	const ESpinLockMode modes[] = {ESpinLockMode::kAlwaysSleep, ESpinLockMode::kLoopMaxSpinsAndYields};
	for (ESpinLockMode mode : modes) {
		SpinLockSettingsGuard guard;
		SpinLock::Lock = SpinLock::GetStrategy(mode);
		SpinLock::sYieldAfterCheckEvent = true;
		VCriticalSection section;
		long counter = 0;
		RunOnThreads(4, [&](int) {
			for (int i = 0; i < 3000; ++i) {
				StLocker<VCriticalSection> lock(section);
				++counter;
			}
		});
		EXPECT_EQ(counter, 4L * 3000);
	}
}

TEST(SyncEvent, UnlockReleasesEveryWaiter)
{
	VSyncEvent* event = new VSyncEvent;
	std::atomic<int> released{0};
	std::vector<std::thread> waiters;
	for (int t = 0; t < 5; ++t) {
		waiters.emplace_back([&]() {
			EXPECT_TRUE(event->Lock());
			++released;
		});
	}
	VSystem::Delay(20);
	EXPECT_EQ(released.load(), 0);
	event->Unlock();
	for (std::thread& waiter : waiters)
		waiter.join();
	EXPECT_EQ(released.load(), 5);
	EXPECT_TRUE(event->Lock()); // already unlocked: at once
	event->Release();
}

TEST(SyncEvent, TimedLock)
{
	VSyncEvent* event = new VSyncEvent;
	EXPECT_FALSE(event->Lock(0));
	EXPECT_FALSE(event->Lock(-5));
	EXPECT_FALSE(event->Lock(30));

	std::thread unlocker([event]() {
		VSystem::Delay(20);
		event->Unlock();
	});
	EXPECT_TRUE(event->Lock(60000));
	unlocker.join();
	EXPECT_TRUE(event->Lock(0));

	event->Reset();
	EXPECT_FALSE(event->Lock(0));
	event->Release();
}

TEST(SyncEvent, TimedLockWaitsItsWholeTime)
{
	// Whatever wakes the waiter early, a locked event is only reported after
	// the time-out has passed.
	VSyncEvent* event = new VSyncEvent;
	uint32 start = VSystem::GetCurrentTime();
	EXPECT_FALSE(event->Lock(50));
	EXPECT_GE(VSystem::GetCurrentTime() - start, 49u);
	event->Release();
}

TEST(ConditionVariable, BroadcastWakesEveryWaiter)
{
	VCriticalSection section;
	VConditionVariable condition;
	int ready = 0;
	bool go = false;
	std::atomic<int> woken{0};
	RunOnThreads(4, [&](int inIndex) {
		if (inIndex == 0) {
			// The broadcaster waits until the three others are inside.
			for (;;) {
				section.Lock();
				if (ready == 3) {
					go = true;
					condition.Broadcast();
					section.Unlock();
					return;
				}
				section.Unlock();
				VTaskMgr::YieldNow();
			}
		}
		section.Lock();
		++ready;
		while (!go) {
			if (condition.Wait(&section))
				++woken;
		}
		EXPECT_EQ(section.GetOwner(), VTaskMgr::GetCurrentTaskID());
		section.Unlock();
	});
	EXPECT_EQ(woken.load(), 3);
}

TEST(ConditionVariable, TimeOutWithoutBroadcastAnswersFalse)
{
	VCriticalSection section;
	VConditionVariable condition;
	section.Lock();
	EXPECT_FALSE(condition.Wait(&section, 20));
	EXPECT_EQ(section.GetUseCount(), 1);
	section.Unlock();
}

TEST(ConditionVariable, AWaitWithAnotherSectionIsRefused)
{
	VCriticalSection first;
	VCriticalSection second;
	VConditionVariable condition;
	std::atomic<bool> waiting{false};
	std::thread waiter([&]() {
		first.Lock();
		waiting = true;
		condition.Wait(&first, 60000);
		first.Unlock();
	});
	// The waiter has left the section once it is inside the wait.
	while (!waiting.load())
		VTaskMgr::YieldNow();
	first.Lock();
	first.Unlock();

	second.Lock();
	EXPECT_FALSE(condition.Wait(&second, 1000));
	EXPECT_EQ(second.GetUseCount(), 1); // not left
	second.Unlock();

	condition.Broadcast();
	waiter.join();
}

} // namespace
} // namespace qirn
