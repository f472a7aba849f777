#include "runtime/VSyncEvent.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

namespace qirn {
namespace {

VRefPtr<VTask> MakeTask(std::function<void()> inBody)
{
	return VRefPtr<VTask>::Adopt(new VTask(0, ETaskStyle::kPreemptive, std::move(inBody)));
}

// A wake-up given before the start must neither start the parked thread nor
// end it: the task still runs when asked, and the wake-up is kept for its
// first sleep.
TEST(TaskLife, AWakeUpBeforeRunKeepsTheTaskStartable)
{
	std::atomic<bool> ran{false};
	VRefPtr<VTask> task = MakeTask([&]() {
		VTask::Sleep(600000); // the wake-up given before the start counts
		ran = true;
	});
	task->WakeUp();
	// Leaves the parked thread time to act on the wake-up, as it once did by
	// ending; the outcome checked below does not depend on this delay.
	VSystem::Delay(50);
	ASSERT_TRUE(task->Run());
	EXPECT_TRUE(task->WaitForDeath(60000));
	EXPECT_TRUE(ran.load());
	EXPECT_EQ(task->GetState(), TS_DEAD);
}

} // namespace
} // namespace qirn
