#include "process/VProcess.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

namespace qirn {
namespace {

using testing::kHangMilliseconds;

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
	EXPECT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_TRUE(ran.load());
	EXPECT_EQ(task->GetState(), TS_DEAD);
}

// The main task dies when the task manager shuts down; a task watching for
// that death learns it then, not at the end of its time-out.
TEST(TaskLife, TheMainTaskDeathWakesItsWatchers)
{
	VTask* main = VTaskMgr::Get()->GetMainTask();
	ASSERT_EQ(main, VTask::GetCurrent());
	main->Retain();
	VSyncEvent* done = new VSyncEvent;
	std::atomic<bool> sawDeath{false};
	VRefPtr<VTask> watcher = MakeTask([&]() {
		sawDeath = main->WaitForDeath(10 * kHangMilliseconds);
		done->Unlock();
	});
	ASSERT_TRUE(watcher->Run());
	// The watcher is registered before its wait kind shows.
	while (watcher->GetWaitKind() != kTaskWaitDeath)
		VTaskMgr::YieldNow();

	const uint32 beforeEnd = VSystem::GetCurrentTicks();
	VTaskMgr::DeInit();
	const bool woken = done->Lock(kHangMilliseconds);
	// Dead without a kill, it still tells when it died: never before the end.
	int32 ticksSinceDeath = -1;
	const bool dying = main->IsDying(&ticksSinceDeath);
	const uint32 sinceEnd = VSystem::GetCurrentDeltaTicks(beforeEnd);
	ASSERT_TRUE(VTaskMgr::Init(VProcess::sInstance));

	ASSERT_TRUE(woken);
	EXPECT_TRUE(watcher->WaitForDeath(kHangMilliseconds));
	EXPECT_TRUE(sawDeath.load());
	EXPECT_TRUE(dying);
	EXPECT_GE(ticksSinceDeath, 0);
	EXPECT_LE(static_cast<uint32>(ticksSinceDeath), sinceEnd);
	main->Release();
	done->Release();
}

} // namespace
} // namespace qirn
