#include "runtime/VConditionVariable.h"

#include "runtime/VCriticalSection.h"
#include "runtime/VTaskMgr.h"
#include "testing/TestThreads.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>

namespace qirn {
namespace {

TEST(ConditionVariable, BroadcastWakesEveryWaiter)
{
	VCriticalSection section;
	VConditionVariable condition;
	int ready = 0;
	bool go = false;
	std::atomic<int> woken{0};
	testing::RunOnThreads(4, [&](int inIndex) {
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

// A waiter that entered its section twice leaves both levels while it waits,
// so that the broadcaster can enter, and holds both again afterwards.
TEST(ConditionVariable, AWaiterHoldingItsSectionTwiceLetsTheBroadcasterIn)
{
	struct Case {
		const char* fName;
		bool fTimed;
	};
	const Case cases[] = {{"untimed", false}, {"timed", true}};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VCriticalSection section;
		VConditionVariable condition;
		testing::Gate holding;
		bool woken = false;
		std::thread waiter([&]() {
			section.Lock();
			section.Lock();
			holding.Open();
			woken = c.fTimed ? condition.Wait(&section, testing::kHangMilliseconds) : condition.Wait(&section);
			EXPECT_EQ(section.GetOwner(), VTaskMgr::GetCurrentTaskID());
			EXPECT_EQ(section.GetUseCount(), 2);
			section.Unlock();
			section.Unlock();
		});
		ASSERT_TRUE(holding.Wait());
		// Entering means the waiter is inside its wait.
		section.Lock();
		condition.Broadcast();
		section.Unlock();
		waiter.join();
		EXPECT_TRUE(woken);
		EXPECT_EQ(section.GetOwner(), 0);
	}
}

TEST(ConditionVariable, TimeOutWithoutBroadcastAnswersFalse)
{
	VCriticalSection section;
	VConditionVariable condition;
	section.Lock();
	section.Lock();
	EXPECT_FALSE(condition.Wait(&section, 20));
	EXPECT_EQ(section.GetUseCount(), 2);
	EXPECT_EQ(section.GetOwner(), VTaskMgr::GetCurrentTaskID());
	section.Unlock();
	section.Unlock();
}

TEST(ConditionVariable, AWaitWithoutHoldingTheSectionIsRefused)
{
	VCriticalSection section;
	VConditionVariable condition;
	EXPECT_FALSE(condition.Wait(nullptr));
	EXPECT_FALSE(condition.Wait(&section));
	EXPECT_EQ(section.GetOwner(), 0);

	section.Lock();
	EXPECT_FALSE(testing::OnAnotherThread([&]() { return condition.Wait(&section); }));
	EXPECT_EQ(section.GetOwner(), VTaskMgr::GetCurrentTaskID());
	EXPECT_EQ(section.GetUseCount(), 1);
	section.Unlock();
}

TEST(ConditionVariable, AWaitWithAnotherSectionIsRefused)
{
	VCriticalSection first;
	VCriticalSection second;
	VConditionVariable condition;
	testing::Gate holding;
	std::thread waiter([&]() {
		first.Lock();
		holding.Open();
		condition.Wait(&first, testing::kHangMilliseconds);
		first.Unlock();
	});
	// The waiter has left the section once it is inside the wait.
	ASSERT_TRUE(holding.Wait());
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
