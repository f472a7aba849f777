#include "core/VString.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "runtime/platform/XLinuxTask.h"
#include "runtime/platform/XLinuxTaskMgr.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <memory>
#include <pthread.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace qirn {
namespace {

using testing::Gate;
using testing::kHangMilliseconds;

// Whether the thread leaves the process's thread list; the system may list
// a thread a moment after it was joined.
bool ThreadEnds(int32 inTid)
{
	char path[64];
	std::snprintf(path, sizeof(path), "/proc/self/task/%d", inTid);
	const uint32 start = VSystem::GetCurrentTime();
	while (::access(path, F_OK) == 0) {
		if (VSystem::GetCurrentTime() - start > static_cast<uint32>(kHangMilliseconds))
			return false;
		VTaskMgr::YieldNow();
	}
	return true;
}

VRefPtr<VTask> MakeTask(std::function<void()> inBody)
{
	return VRefPtr<VTask>::Adopt(new VTask(0, ETaskStyle::kPreemptive, std::move(inBody)));
}

TEST(TaskManager, TestsRunOnTheMainTask)
{
	ASSERT_TRUE(VTaskMgr::IsInited());
	VTask* main = VTask::GetCurrent();
	ASSERT_NE(main, nullptr);
	EXPECT_TRUE(VTask::IsCurrentMain());
	EXPECT_EQ(main, VTaskMgr::Get()->GetMainTask());
	EXPECT_EQ(main->GetState(), TS_RUNNING);
	EXPECT_EQ(main->GetID(), static_cast<int32>(::gettid()));
	EXPECT_EQ(VTaskMgr::GetCurrentTaskID(), main->GetID());
	EXPECT_GT(main->GetStackSize(), 0u);
}

TEST(TaskManager, AThreadThatIsNoTaskIsKnownByItsTid)
{
	int32 id = 0, again = 0, tid = 0;
	VTask* current = reinterpret_cast<VTask*>(1);
	std::thread([&]() {
		tid = static_cast<int32>(::gettid());
		id = VTaskMgr::GetCurrentTaskID();
		again = VTaskMgr::GetCurrentTaskID();
		current = VTask::GetCurrent();
	}).join();
	EXPECT_EQ(id, tid);
	EXPECT_EQ(again, tid);
	EXPECT_EQ(current, nullptr);
	EXPECT_NE(id, VTaskMgr::GetCurrentTaskID());
}

TEST(Task, IdIsTheTidOfItsOwnThreadKnownBeforeItRuns)
{
	std::atomic<int32> seenID{0}, seenTid{0};
	VRefPtr<VTask> task = MakeTask([&]() {
		seenID = VTaskMgr::GetCurrentTaskID();
		seenTid = static_cast<int32>(::gettid());
	});
	const int32 id = task->GetID();
	EXPECT_GT(id, 0);
	EXPECT_EQ(task->GetSystemID(), id);
	EXPECT_NE(id, VTaskMgr::GetCurrentTaskID());
	EXPECT_EQ(task->GetState(), TS_CREATED);
	ASSERT_TRUE(task->Run());
	ASSERT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_EQ(seenID.load(), id);
	EXPECT_EQ(seenTid.load(), id);
	EXPECT_EQ(task->GetState(), TS_DEAD);
}

TEST(Task, StatesFromCreationToDeath)
{
	Gate running, finish;
	std::atomic<int32> stateInside{-1};
	VRefPtr<VTask> task = MakeTask([&]() {
		stateInside = VTask::GetCurrent()->GetState();
		running.Open();
		finish.Wait();
	});
	EXPECT_EQ(task->GetState(), TS_CREATED);
	EXPECT_FALSE(task->IsDying());
	ASSERT_TRUE(task->Run());
	EXPECT_FALSE(task->Run()); // once only
	running.Wait();
	EXPECT_EQ(stateInside.load(), TS_RUNNING);
	EXPECT_EQ(task->GetState(), TS_RUNNING);
	finish.Open();
	ASSERT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_TRUE(task->IsDying());
	EXPECT_FALSE(task->Run());
}

TEST(Task, RegistryCountsRunningTasks)
{
	VTaskMgr* manager = VTaskMgr::Get();
	manager->PurgeDeadTasks();
	const int32 before = manager->GetTaskCount(false);
	Gate running, finish;
	VRefPtr<VTask> task = MakeTask([&]() {
		running.Open();
		finish.Wait();
	});
	EXPECT_EQ(manager->GetTaskCount(false), before);
	EXPECT_EQ(manager->RetainTaskByID(task->GetID()), nullptr); // not registered until it runs
	ASSERT_TRUE(task->Run());
	running.Wait();
	EXPECT_EQ(manager->GetTaskCount(false), before + 1);
	EXPECT_EQ(manager->GetTaskByID(task->GetID()), task);
	std::vector<VRefPtr<VTask>> tasks;
	manager->GetTasks(tasks);
	ASSERT_GE(tasks.size(), 2u);
	EXPECT_EQ(tasks[0].Get(), manager->GetMainTask());
	EXPECT_EQ(tasks[1], task); // newest first after the main task
	tasks.clear();

	finish.Open();
	ASSERT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_EQ(manager->GetTaskByID(task->GetID()), nullptr); // dead tasks are not found
	const uint32 stamp = manager->GetRegistryStamp();
	manager->PurgeDeadTasks();
	EXPECT_NE(manager->GetRegistryStamp(), stamp);
	EXPECT_EQ(manager->GetTaskCount(false), before);
	EXPECT_EQ(task->GetRefCount(), 1u); // the registry let go of it
}

TEST(Task, FiberStyleCannotRunInAThreadedProcess)
{
	VRefPtr<VTask> task = VRefPtr<VTask>::Adopt(new VTask(0, ETaskStyle::kFiber, []() {}));
	EXPECT_EQ(task->GetPlatformTask(), nullptr);
	EXPECT_EQ(task->GetID(), 0);
	EXPECT_FALSE(task->Run());
	EXPECT_EQ(task->GetState(), TS_CREATED);
}

TEST(Task, ATaskThatNeverRanEndsItsThreadWhenReleased)
{
	VTask* task = new VTask(0, ETaskStyle::kPreemptive, []() { ADD_FAILURE() << "never run"; });
	const int32 tid = task->GetSystemID();
	ASSERT_GT(tid, 0);
	task->Release(); // joins the parked thread
	EXPECT_TRUE(ThreadEnds(tid));
}

struct HookTask : public VTask {
	HookTask() : VTask(0, ETaskStyle::kPreemptive, std::function<void()>()) {}
	void DoInit() override { fLog += 'I'; }
	bool DoRun() override
	{
		fLog += 'R';
		return ++fRuns < 3;
	}
	void DoDeInit() override { fLog += 'D'; }
	void DoPrepareToDie() override { ++fPrepared; }
	std::string fLog;
	int fRuns = 0;
	std::atomic<int> fPrepared{0};
};

TEST(Task, HookTaskRunsUntilDoRunAnswersFalse)
{
	HookTask* task = new HookTask;
	ASSERT_TRUE(task->Run());
	ASSERT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_EQ(task->fLog, "IRRRD");
	EXPECT_EQ(task->fPrepared.load(), 1); // the loop killed it
	task->Release();
}

TEST(Task, KillOnACreatedTaskKeepsItCreated)
{
	HookTask* task = new HookTask;
	task->Kill();
	EXPECT_EQ(task->GetState(), TS_CREATED);
	EXPECT_EQ(task->fPrepared.load(), 1);
	task->Kill();
	EXPECT_EQ(task->fPrepared.load(), 2);
	EXPECT_FALSE(task->IsDying());
	task->Release();
}

TEST(Task, KillMakesARunningTaskDyingOnce)
{
	Gate running;
	std::atomic<bool> sawDying{false};
	VRefPtr<VTask> task = MakeTask([&]() {
		running.Open();
		while (!VTask::GetCurrent()->IsDying())
			VTask::Sleep(5);
		sawDying = true;
	});
	ASSERT_TRUE(task->Run());
	running.Wait();
	task->Kill();
	int32 ticks = -1;
	EXPECT_TRUE(task->IsDying(&ticks));
	EXPECT_GE(ticks, 0);
	task->Kill(); // a second kill changes nothing
	ASSERT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_TRUE(sawDying.load());
}

// A task sleeping a long time is killed; a wake-up cuts the sleep short and
// it notices it is dying.
TEST(Task, KillDuringSleep)
{
	Gate asleep;
	std::atomic<uint32> waitKindWhileAsleep{0};
	std::atomic<bool> dyingAfterSleep{false};
	VRefPtr<VTask> task = MakeTask([&]() {
		asleep.Open();
		VTask::Sleep(600000);
		dyingAfterSleep = VTask::GetCurrent()->IsDying();
	});
	ASSERT_TRUE(task->Run());
	asleep.Wait();
	while (task->GetWaitKind() != kTaskWaitSleeping)
		VTaskMgr::YieldNow();
	waitKindWhileAsleep = task->GetWaitKind();
	task->Kill();
	task->WakeUp();
	ASSERT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_EQ(waitKindWhileAsleep.load(), kTaskWaitSleeping);
	EXPECT_TRUE(dyingAfterSleep.load());
}

TEST(Task, AWakeUpBeforeSleepMakesItReturnAtOnce)
{
	Gate woken, done;
	VRefPtr<VTask> task = MakeTask([&]() {
		woken.Wait();
		VTask::Sleep(600000); // the earlier wake-up counts
		done.Open();
	});
	ASSERT_TRUE(task->Run());
	task->WakeUp();
	woken.Open();
	EXPECT_TRUE(done.Wait());
	EXPECT_TRUE(task->WaitForDeath(kHangMilliseconds));
}

// Asked for far longer than the hang limit: a thread that is no task must
// not sleep at all. A failing thread is left behind rather than waited for.
TEST(Task, SleepOutsideATaskReturnsAtOnce)
{
	auto returned = std::make_shared<Gate>();
	std::thread([returned]() {
		VTask::Sleep(10 * kHangMilliseconds);
		returned->Open();
	}).detach();
	EXPECT_TRUE(returned->Wait());
}

TEST(Task, WaitForDeathOnItselfAnswersFalse)
{
	EXPECT_FALSE(VTask::GetCurrent()->WaitForDeath(1000));
	std::atomic<bool> answer{true};
	VRefPtr<VTask> task = MakeTask([&]() { answer = VTask::GetCurrent()->WaitForDeath(100000); });
	ASSERT_TRUE(task->Run());
	ASSERT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_FALSE(answer.load());
	EXPECT_TRUE(task->WaitForDeath(0)); // already dead: at once
}

TEST(Task, WaitForDeathTimesOut)
{
	Gate finish;
	VRefPtr<VTask> task = MakeTask([&]() { finish.Wait(); });
	ASSERT_TRUE(task->Run());
	EXPECT_FALSE(task->WaitForDeath(20));
	EXPECT_EQ(VTask::GetCurrent()->GetWaitKind(), kTaskWaitNone);
	finish.Open();
	EXPECT_TRUE(task->WaitForDeath(kHangMilliseconds));
}

// Tasks and plain threads all wait for one task; its death releases them
// together.
TEST(Task, DeathReleasesEveryWatcher)
{
	Gate finish;
	VRefPtr<VTask> target = MakeTask([&]() { finish.Wait(); });
	ASSERT_TRUE(target->Run());

	std::atomic<int> released{0};
	std::atomic<int> waiting{0};
	auto watch = [&]() {
		++waiting;
		if (target->WaitForDeath(600000))
			++released;
	};
	std::vector<VRefPtr<VTask>> watchers;
	for (int i = 0; i < 4; ++i) {
		watchers.push_back(MakeTask(watch));
		ASSERT_TRUE(watchers.back()->Run());
	}
	std::vector<std::thread> threads;
	for (int i = 0; i < 4; ++i)
		threads.emplace_back(watch);
	while (waiting.load() < 8)
		VTaskMgr::YieldNow();
	finish.Open();
	for (std::thread& thread : threads)
		thread.join();
	for (VRefPtr<VTask>& watcher : watchers)
		EXPECT_TRUE(watcher->WaitForDeath(kHangMilliseconds));
	EXPECT_EQ(released.load(), 8);
}

TEST(Task, ManyTasksComeAndGo)
{
	std::atomic<int> ran{0};
	for (int round = 0; round < 5; ++round) {
		std::vector<VRefPtr<VTask>> tasks;
		for (int i = 0; i < 16; ++i) {
			tasks.push_back(MakeTask([&]() { ++ran; }));
			ASSERT_TRUE(tasks.back()->Run());
		}
		for (VRefPtr<VTask>& task : tasks)
			EXPECT_TRUE(task->WaitForDeath(kHangMilliseconds));
	}
	EXPECT_EQ(ran.load(), 80);
	VTaskMgr::Get()->PurgeDeadTasks();
}

std::atomic<int> sDisposed{0};

TEST(TaskData, KeysAreReusedAndValuesDisposedAtTheEnd)
{
	VTaskMgr* manager = VTaskMgr::Get();
	const size_t key = manager->CreateDataKey([](void* inValue) { sDisposed += *static_cast<int*>(inValue); });
	ASSERT_GT(key, 0u);
	EXPECT_TRUE(manager->CheckDataKey(key));
	EXPECT_FALSE(manager->CheckDataKey(0));

	static int value = 5;
	std::atomic<void*> seen{nullptr};
	sDisposed = 0;
	VRefPtr<VTask> task = MakeTask([&]() {
		EXPECT_EQ(VTask::GetCurrentData(key), nullptr);
		EXPECT_EQ(VTask::GetCurrentData(0), nullptr);
		EXPECT_FALSE(VTask::SetCurrentData(0, &value));
		VTask::SetCurrentData(key, &value);
		seen = VTask::GetCurrentData(key);
	});
	ASSERT_TRUE(task->Run());
	ASSERT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_EQ(seen.load(), &value);
	EXPECT_EQ(sDisposed.load(), 5);
	EXPECT_EQ(task->GetData(key), nullptr); // emptied

	// The main task's data are its own.
	EXPECT_EQ(VTask::GetCurrentData(key), nullptr);

	manager->DeleteDataKey(key);
	EXPECT_FALSE(manager->CheckDataKey(key));
	const size_t again = manager->CreateDataKey(nullptr);
	EXPECT_EQ(again, key);
	manager->DeleteDataKey(again);
}

TEST(TaskData, AValueOfADeletedKeyIsNotDisposed)
{
	VTaskMgr* manager = VTaskMgr::Get();
	const size_t key = manager->CreateDataKey([](void*) { ++sDisposed; });
	sDisposed = 0;
	static int value = 1;
	Gate set, deleted;
	VRefPtr<VTask> task = MakeTask([&]() {
		VTask::SetCurrentData(key, &value);
		set.Open();
		deleted.Wait();
	});
	ASSERT_TRUE(task->Run());
	set.Wait();
	manager->DeleteDataKey(key);
	deleted.Open();
	ASSERT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_EQ(sDisposed.load(), 0);
}

TEST(TaskManager, KillAllTasksFromAnotherTaskKillsNothing)
{
	Gate running, finish;
	VRefPtr<VTask> victim = MakeTask([&]() {
		running.Open();
		finish.Wait();
	});
	ASSERT_TRUE(victim->Run());
	running.Wait();
	std::atomic<bool> answer{true};
	VRefPtr<VTask> killer = MakeTask([&]() { answer = VTaskMgr::Get()->KillAllTasks(100); });
	ASSERT_TRUE(killer->Run());
	ASSERT_TRUE(killer->WaitForDeath(kHangMilliseconds));
	EXPECT_FALSE(answer.load());
	EXPECT_EQ(victim->GetState(), TS_RUNNING);
	finish.Open();
	ASSERT_TRUE(victim->WaitForDeath(kHangMilliseconds));
}

TEST(TaskManager, KillAllTasksFromTheMainTaskEndsTheOthers)
{
	VTaskMgr::Get()->PurgeDeadTasks();
	std::vector<VRefPtr<VTask>> tasks;
	for (int i = 0; i < 4; ++i) {
		tasks.push_back(MakeTask([]() {
			while (!VTask::GetCurrent()->IsDying())
				VTask::Sleep(2);
		}));
		ASSERT_TRUE(tasks.back()->Run());
	}
	EXPECT_TRUE(VTaskMgr::Get()->KillAllTasks(kHangMilliseconds));
	for (VRefPtr<VTask>& task : tasks)
		EXPECT_EQ(task->GetState(), TS_DEAD);
}

// A victim's DoPrepareToDie needs a section that another task holds while
// that task asks the manager for a name: the hook must run outside the
// manager's lock. The hook waits for the section at most the hang limit, so
// that a regression fails here instead of hanging.
struct SectionVictim : public VTask {
	SectionVictim(VCriticalSection& inSection, Gate& inPreparing, Gate& inSectionFree)
		: VTask(0, ETaskStyle::kPreemptive, [this]() { fEnd.Wait(); }),
		  fSection(inSection), fPreparing(inPreparing), fSectionFree(inSectionFree)
	{
	}
	void DoPrepareToDie() override
	{
		fPreparing.Open();
		if (fSectionFree.Wait()) {
			fSection.Lock();
			fGotSection = true;
			fSection.Unlock();
		}
		fEnd.Open();
	}
	VCriticalSection& fSection;
	Gate& fPreparing;
	Gate& fSectionFree;
	Gate fEnd;
	std::atomic<bool> fGotSection{false};
};

TEST(TaskManager, KillAllTasksRunsHooksOutsideItsLock)
{
	VCriticalSection section;
	Gate holding, preparing, sectionFree;
	VRefPtr<SectionVictim> victim = VRefPtr<SectionVictim>::Adopt(new SectionVictim(section, preparing, sectionFree));
	VRefPtr<VTask> holder = MakeTask([&]() {
		section.Lock();
		holding.Open();
		if (preparing.Wait()) {
			VString name;
			victim->GetName(name); // takes the manager's lock
		}
		section.Unlock();
		sectionFree.Open();
	});
	ASSERT_TRUE(holder->Run());
	ASSERT_TRUE(holding.Wait());
	ASSERT_TRUE(victim->Run());

	EXPECT_TRUE(VTaskMgr::Get()->KillAllTasks(kHangMilliseconds));
	EXPECT_TRUE(victim->fGotSection.load());
	EXPECT_EQ(victim->GetState(), TS_DEAD);
	EXPECT_EQ(holder->GetState(), TS_DEAD);
}

// Whoever sees a task dying finds how long ago it was killed: never more
// than the time since just before the kill began.
TEST(Task, TicksSinceKillNeverPrecedeTheKill)
{
	for (int round = 0; round < 20; ++round) {
		SCOPED_TRACE(round);
		Gate running, finish;
		VRefPtr<VTask> task = MakeTask([&]() {
			running.Open();
			finish.Wait();
		});
		ASSERT_TRUE(task->Run());
		ASSERT_TRUE(running.Wait());
		std::atomic<bool> reading{false};
		int32 ticks = -1;
		uint32 bound = 0;
		uint32 beforeKill = 0;
		std::thread reader([&]() {
			reading = true;
			while (!task->IsDying(&ticks)) {
			}
			bound = VSystem::GetCurrentDeltaTicks(beforeKill);
		});
		while (!reading.load())
			VTaskMgr::YieldNow();
		beforeKill = VSystem::GetCurrentTicks();
		task->Kill();
		reader.join();
		EXPECT_GE(ticks, 0);
		EXPECT_LE(static_cast<uint32>(ticks), bound);
		finish.Open();
		ASSERT_TRUE(task->WaitForDeath(kHangMilliseconds));
	}
}

// A task responds for a second after it last did work: its start, each
// return from a sleep. Only an elapsed second excuses a false answer.
TEST(Task, BodyTasksAndTheMainTaskRespondAfterWork)
{
	struct Reading {
		std::atomic<bool> fResponding{false};
		std::atomic<uint32> fAfter{0};
	};
	Reading atStart, afterSleep;
	const uint32 beforeRun = VSystem::GetCurrentTime();
	std::atomic<uint32> beforeSleep{0};
	VRefPtr<VTask> task = MakeTask([&]() {
		VTask* self = VTask::GetCurrent();
		atStart.fResponding = self->IsResponding();
		atStart.fAfter = VSystem::GetCurrentTime();
		beforeSleep = VSystem::GetCurrentTime();
		VTask::Sleep(1);
		afterSleep.fResponding = self->IsResponding();
		afterSleep.fAfter = VSystem::GetCurrentTime();
	});
	ASSERT_TRUE(task->Run());
	ASSERT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_TRUE(atStart.fResponding.load() || atStart.fAfter.load() - beforeRun >= 1000);
	EXPECT_TRUE(afterSleep.fResponding.load() || afterSleep.fAfter.load() - beforeSleep.load() >= 1000);

	VTask* main = VTask::GetCurrent();
	const uint32 before = VSystem::GetCurrentTime();
	VTask::Sleep(1);
	const bool responding = main->IsResponding();
	EXPECT_TRUE(responding || VSystem::GetCurrentTime() - before >= 1000);
}

TEST(TaskManager, ThreadNamesKeepFifteenBytes)
{
	struct Case {
		const char* fName;
		int32 fID;
		const char* fExpected;
	};
	const Case cases[] = {
		{"", 7, " (id = 7)"},
		{"Log", 12, "Log (id = 12)"},
		{"Logger", 1234, "Logger (id = 12"},
		{"ab\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9xyz", 1, "ab\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9x"},
		{"abcdefghijklm\xC3\xA9", 1, "abcdefghijklm\xC3\xA9"},
		{"abcdefghijklmn\xC3\xA9", 1, "abcdefghijklmn"}, // never half a character
	};
	for (const Case& c : cases)
		EXPECT_EQ(XLinuxTaskMgr::MakeThreadName(c.fName, c.fID), c.fExpected) << c.fName;
}

TEST(TaskManager, ATaskNamesItsThread)
{
	char name[32] = {};
	VRefPtr<VTask> task = MakeTask([&]() { ::pthread_getname_np(::pthread_self(), name, sizeof(name)); });
	ASSERT_TRUE(task->Run());
	ASSERT_TRUE(task->WaitForDeath(kHangMilliseconds));
	std::string expected = XLinuxTaskMgr::MakeThreadName("", task->GetID());
	EXPECT_STREQ(name, expected.c_str());
}

TEST(Task, Names)
{
	VRefPtr<VTask> task = MakeTask([]() {});
	VString name("left over");
	task->GetName(name);
	EXPECT_TRUE(name.IsEmpty()); // none yet
	task->SetName(VString("First"));
	task->SetName(VString("Worker \u00E9"));
	task->GetName(name);
	EXPECT_TRUE(name.EqualToStringRaw(VString(u"Worker \u00E9")));
}

TEST(Task, ATaskRenamesItsOwnThread)
{
	char before[32] = {}, after[32] = {};
	VRefPtr<VTask> task = MakeTask([&]() {
		::pthread_getname_np(::pthread_self(), before, sizeof(before));
		VTask::GetCurrent()->SetName(VString("Later"));
		::pthread_getname_np(::pthread_self(), after, sizeof(after));
	});
	task->SetName(VString("Log"));
	ASSERT_TRUE(task->Run());
	ASSERT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_STREQ(before, XLinuxTaskMgr::MakeThreadName("Log", task->GetID()).c_str());
	EXPECT_STREQ(after, XLinuxTaskMgr::MakeThreadName("Later", task->GetID()).c_str());

	// Naming a task from another thread leaves the caller's thread alone.
	char mine[32] = {}, still[32] = {};
	::pthread_getname_np(::pthread_self(), mine, sizeof(mine));
	task->SetName(VString("Elsewhere"));
	::pthread_getname_np(::pthread_self(), still, sizeof(still));
	EXPECT_STREQ(mine, still);
}

TEST(TaskManager, StackSizes)
{
	VTaskMgr* manager = VTaskMgr::Get();
	EXPECT_GE(manager->GetStackSizeForMainTask(), 65536u);
	EXPECT_LE(manager->GetDefaultStackSize(), 1048576u);
	EXPECT_GT(manager->GetCurrentFreeStackSize(), 0u);
	EXPECT_LT(manager->GetCurrentFreeStackSize(), manager->GetStackSizeForMainTask());

	std::atomic<size_t> freeInTask{0};
	VRefPtr<VTask> task = VRefPtr<VTask>::Adopt(new VTask(256 * 1024, ETaskStyle::kPreemptive,
		[&]() { freeInTask = VTaskMgr::Get()->GetCurrentFreeStackSize(); }));
	EXPECT_EQ(task->GetStackSize(), 256u * 1024);
	ASSERT_TRUE(task->Run());
	ASSERT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_GT(freeInTask.load(), 0u);
	// The system may hand out a larger cached stack than asked for.
	EXPECT_LE(freeInTask.load(), task->GetPlatformTask()->GetStackSize());
}

TEST(Task, CPUTimes)
{
	double user = -1, system = -1, usage = -1;
	VTask* main = VTask::GetCurrent();
	EXPECT_TRUE(main->GetCPUTimes(user, system));
	EXPECT_GE(user, 0.0);
	EXPECT_GE(system, 0.0);
	EXPECT_TRUE(main->GetCPUUsage(usage));
	EXPECT_GE(usage, 0.0);
	EXPECT_LE(usage, 1.0);
}

// The last reference of a task released on its own thread, after it died:
// its thread lets itself go instead of joining itself.
struct LastReference {
	VTask* fTask = nullptr;
	Gate* fGate = nullptr;
	~LastReference()
	{
		if (fTask != nullptr) {
			fGate->Wait();
			fTask->Release();
		}
	}
};
thread_local LastReference tLastReference;

struct CountedTask : public VTask {
	explicit CountedTask(std::function<void()> inBody, std::atomic<int>* inDeaths)
		: VTask(0, ETaskStyle::kPreemptive, std::move(inBody)), fDeaths(inDeaths)
	{
	}
	~CountedTask() override { ++*fDeaths; }
	std::atomic<int>* fDeaths;
};

TEST(Task, LastReleaseOnItsOwnThreadDetaches)
{
	std::atomic<int> deaths{0};
	Gate* gate = new Gate;
	CountedTask* task = new CountedTask(
		[gate]() {
			VTask* self = VTask::GetCurrent();
			self->Retain();
			tLastReference.fTask = self;
			tLastReference.fGate = gate;
		},
		&deaths);
	const int32 tid = task->GetID();
	ASSERT_TRUE(task->Run());
	ASSERT_TRUE(task->WaitForDeath(kHangMilliseconds));
	VTaskMgr::Get()->PurgeDeadTasks();
	task->Release(); // the thread's own reference is the last now
	gate->Open();
	EXPECT_TRUE(ThreadEnds(tid));
	EXPECT_EQ(deaths.load(), 1);
	delete gate;
}

} // namespace
} // namespace qirn
