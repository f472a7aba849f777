#include "runtime/VCriticalSection.h"

#include "runtime/SpinLock.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "runtime/tests/SpinLockSettingsGuard.h"
#include "testing/TestThreads.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

namespace qirn {
namespace {

// Until inSection has a task waiting to enter it, or inGaveUp answers true.
template <class GaveUp>
void WaitForAWaiter(const VCriticalSection& inSection, GaveUp inGaveUp)
{
	while (!inSection._HasWaiters() && !inGaveUp())
		VTaskMgr::YieldNow();
}

void ExpectHeldByThisTask(const VCriticalSection& inSection, int32 inCount)
{
	EXPECT_EQ(inSection.GetOwner(), VTaskMgr::GetCurrentTaskID());
	EXPECT_EQ(inSection.GetUseCount(), inCount);
}

TEST(CriticalSection, RecursionCountsPerTask)
{
	VCriticalSection section;
	ASSERT_TRUE(section.Lock());
	ASSERT_TRUE(section.Lock());
	ASSERT_TRUE(section.TryToLock());
	ExpectHeldByThisTask(section, 3);

	std::atomic<bool> entered{false};
	std::thread other([&]() {
		EXPECT_FALSE(section.TryToLock());
		section.Lock();
		entered = true;
		section.Unlock();
	});
	section.Unlock();
	section.Unlock();
	WaitForAWaiter(section, [&]() { return entered.load(); });
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
	EXPECT_FALSE(testing::OnAnotherThread([&]() { return section.TryToLock(); }));
	ExpectHeldByThisTask(section, 1);
	section.Unlock();
}

#ifdef NDEBUG
TEST(CriticalSection, AnUnlockByAnotherTaskChangesNothing)
{
	VCriticalSection section;
	EXPECT_FALSE(section.Unlock()); // free: nobody's to leave
	EXPECT_EQ(section.GetUseCount(), 0);

	section.Lock();
	section.Lock();
	EXPECT_FALSE(testing::OnAnotherThread([&]() { return section.Unlock(); }));
	ExpectHeldByThisTask(section, 2);
	section.Unlock();
	section.Unlock();
	EXPECT_EQ(section.GetOwner(), 0);
}
#else
TEST(CriticalSection, AnUnlockByAnotherTaskStopsAtAnAssertion)
{
	GTEST_FLAG_SET(death_test_style, "threadsafe");
	EXPECT_DEATH(
		{
			VCriticalSection section;
			section.Unlock();
		},
		"does not own the section");
}
#endif

// The section lives in storage that outlives it, so that the waiter its
// destruction wakes finds a free section there and not freed memory.
TEST(CriticalSection, DestroyingAHeldSectionLetsItsWaiterIn)
{
	alignas(VCriticalSection) unsigned char storage[sizeof(VCriticalSection)];
	VCriticalSection* section = new (storage) VCriticalSection;
	section->Lock();
	section->Lock();
	testing::Gate entered;
	std::thread waiter([&]() {
		section->Lock();
		entered.Open();
		section->Unlock();
	});
	WaitForAWaiter(*section, [&]() { return entered.IsOpen(); });
	EXPECT_FALSE(entered.IsOpen());
	std::destroy_at(section);
	if (!entered.Wait()) {
		ADD_FAILURE() << "the waiter was left asleep";
		waiter.detach();
		return;
	}
	waiter.join();
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
	testing::RunOnThreads(4, [&](int) { work(); });
	for (VTask* task : tasks) {
		EXPECT_TRUE(task->WaitForDeath(testing::kHangMilliseconds));
		task->Release();
	}
	EXPECT_EQ(counter, 8L * kRounds);
	EXPECT_EQ(section.GetOwner(), 0);
	EXPECT_FALSE(section._HasWaiters());
}

TEST(CriticalSection, ExcludesWithEveryStrategy)
{
	const ESpinLockMode modes[] = {ESpinLockMode::kAlwaysSleep, ESpinLockMode::kLoopMaxSpinsAndYields};
	for (ESpinLockMode mode : modes) {
		SCOPED_TRACE(static_cast<int>(mode));
		SpinLockSettingsGuard guard;
		SpinLock::Lock = SpinLock::GetStrategy(mode);
		SpinLock::sYieldAfterCheckEvent = true;
		VCriticalSection section;
		long counter = 0;
		testing::RunOnThreads(4, [&](int) {
			for (int i = 0; i < 3000; ++i) {
				StLocker<VCriticalSection> lock(section);
				++counter;
			}
		});
		EXPECT_EQ(counter, 4L * 3000);
	}
}

} // namespace
} // namespace qirn
