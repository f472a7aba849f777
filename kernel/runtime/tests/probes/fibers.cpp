// Runs fiber tasks in a fibered process and reports, one "name=value" line
// per check, what the hand-overs did: an ordered log of who ran when, the
// threads that were parked meanwhile, ids, failures and signals.
#include "core/VObject.h"
#include "process/VProcess.h"
#include "runtime/IFiberScheduler.h"
#include "runtime/VError.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "runtime/platform/XLinuxTask.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/syscall.h>
#include <thread>
#include <unistd.h>
#include <vector>

using namespace qirn;

namespace {

void Report(const char* inName, bool inValue)
{
	std::printf("%s=%d\n", inName, inValue ? 1 : 0);
}

void Report(const char* inName, const std::string& inValue)
{
	std::printf("%s=%s\n", inName, inValue.c_str());
}

// Only one fiber runs at a time, and each hand-over orders what came before
// it: the log needs no lock.
std::vector<std::string> sLog;

void Log(const char* inEntry)
{
	sLog.push_back(inEntry);
}

std::string TakeLog()
{
	std::string joined;
	for (const std::string& entry : sLog)
		joined += (joined.empty() ? "" : ",") + entry;
	sLog.clear();
	return joined;
}

// The scheduling state of a thread from /proc ('S' while it sleeps in a wait).
char ThreadState(int32 inTid)
{
	std::ifstream stat("/proc/self/task/" + std::to_string(inTid) + "/stat");
	std::string line;
	std::getline(stat, line);
	const size_t close = line.rfind(')');
	return close != std::string::npos && close + 2 < line.size() ? line[close + 2] : '?';
}

void PauseMilliseconds(int inMilliseconds)
{
	// Not VTask::Sleep: on a fiber task that goes to the scheduler.
	std::this_thread::sleep_for(std::chrono::milliseconds(inMilliseconds));
}

VTask* NewFiber(std::function<void()>&& inBody, size_t inStackSize = 0)
{
	return new VTask(inStackSize, ETaskStyle::kFiber, std::move(inBody));
}

// A scheduler for the test: a fixed ring of tasks, each yield handing over
// to the next one in the ring that is running.
class RingScheduler : public VObject, public IFiberScheduler {
public:
	explicit RingScheduler(std::vector<VTask*> inRing) : fRing(std::move(inRing)) {}

	void Yield() override { YieldNow(); }
	void YieldNow() override
	{
		VTask* current = VTask::GetCurrent();
		size_t index = 0;
		while (index < fRing.size() && fRing[index] != current)
			++index;
		for (size_t step = 1; step < fRing.size(); ++step) {
			VTask* next = fRing[(index + step) % fRing.size()];
			if (next->GetState() == TS_RUNNING && VTaskMgr::Get()->YieldToFiber(next))
				return;
		}
	}
	void WaitFlag(std::atomic<int32>* inFlag, int32 inValue) override
	{
		while (inFlag->load() == inValue)
			YieldNow();
	}
	void WaitFlagWithTimeout(std::atomic<int32>* inFlag, int32 inValue, int32 inTimeoutMilliseconds) override
	{
		const uint32 start = VSystem::GetCurrentTime();
		while (inFlag->load() == inValue && VSystem::GetCurrentTime() - start < static_cast<uint32>(inTimeoutMilliseconds))
			YieldNow();
	}
	void SetSystemEventPolling(bool inPolling) override { fPolling = inPolling; }
	bool WithSystemEventPolling() const override { return fPolling; }
	void PollAndExecuteUpdateEvent() override { ++fPolls; }
	void SetDirectUpdate(bool) override {}
	void WakeUpSystemEventPolling() override { ++fWakeUps; }
	void RequiresSystemEventPolling() override {}
	bool RunFiber(VTask*, bool*) override { return false; }
	void SetSystemCallCFRunloop(bool) override {}
	void SetDirectUpdateAllowedEvenIfWaitingForFlag(bool) override {}

	std::vector<VTask*> fRing;
	std::atomic<bool> fPolling{true};
	std::atomic<int> fPolls{0};
	std::atomic<int> fWakeUps{0};
};

std::atomic<int> sSignals{0};

void OnSignal(int)
{
	sSignals.fetch_add(1);
}

void IdsAreReused()
{
	VTask* first = NewFiber([]() {});
	VTask* second = NewFiber([]() {});
	Report("ids.first", first->GetID() == -1);
	Report("ids.second", second->GetID() == -2);
	const bool ran = first->Run();
	first->Release();
	VTaskMgr::Get()->PurgeDeadTasks();
	VTask* third = NewFiber([]() {});
	Report("ids.reused", ran && third->GetID() == -1);
	second->Release();
	third->Release();
}

void VoidSchedulerRunsTheBodyWhileMainIsParked()
{
	VTask* main = VTask::GetCurrent();
	const int32 mainTid = main->GetSystemID();
	char mainState = '?';
	bool ownThread = false;
	bool isCurrent = false;
	VTask* fiber = nullptr;
	fiber = NewFiber([&]() {
		Log("body.start");
		isCurrent = VTask::GetCurrent() == fiber && VTaskMgr::IsCurrentFiber();
		ownThread = static_cast<int32>(::gettid()) != mainTid;
		// Give the main thread time to reach its wait, then look at it.
		for (int i = 0; i < 200 && mainState != 'S'; ++i) {
			PauseMilliseconds(5);
			mainState = ThreadState(mainTid);
		}
		// With the void scheduler these come back at once.
		VTaskMgr::Yield();
		VTaskMgr::YieldNow();
		VTask::Sleep(60000);
		Log("body.end");
	});
	Log("main.before");
	const bool ran = fiber->Run();
	Log("main.after");
	Report("void.runs", ran);
	Report("void.log", TakeLog());
	Report("void.mainParked", mainState == 'S');
	Report("void.ownThread", ownThread && isCurrent);
	Report("void.deadAfterRun", fiber->GetState() == TS_DEAD);
	Report("void.runAgainFails", !fiber->Run());
	fiber->Release();
}

void RunFromElsewhere()
{
	// From a thread that is no task nothing can hand over.
	VTask* fiber = NewFiber([]() { Log("never"); });
	bool ran = true;
	std::thread([&]() { ran = fiber->Run(); }).join();
	Report("nontask.runFalse", !ran && fiber->GetState() == TS_CREATED && sLog.empty());
	fiber->Release();

	// A thread task gets a fiber of its own for its thread first, and the
	// fiber task comes back to it.
	bool threadRan = false;
	bool gotFiber = false;
	bool backOnThread = false;
	VTask* thread = new VTask(0, ETaskStyle::kPreemptive, [&]() {
		VTask* self = VTask::GetCurrent();
		VTask* inner = NewFiber([&]() { threadRan = VTask::GetCurrent() != self; });
		const bool ran = inner->Run();
		gotFiber = ran && self->GetPlatformTask()->GetFiber() != nullptr;
		backOnThread = VTask::GetCurrent() == self && inner->GetState() == TS_DEAD;
		inner->Release();
	});
	thread->Run();
	thread->WaitForDeath(10000);
	thread->Release();
	Report("threadtask.runs", threadRan && gotFiber && backOnThread);
}

void TestSchedulerHandsOver()
{
	VTask* main = VTask::GetCurrent();
	VSyncEvent* event = new VSyncEvent;
	VTask* a = NewFiber([event]() {
		Log("a1");
		VTask::Sleep(0);
		Log("a2");
		event->Lock();
		Log("a3");
	});
	VTask* b = NewFiber([]() {
		Log("b1");
		VTask::Sleep(0);
		Log("b2");
	});
	RingScheduler* scheduler = new RingScheduler({main, a, b});
	VTaskMgr::Get()->SetFiberScheduler(scheduler);
	Log("m0");
	a->Run();
	Log("m1");
	b->Run();
	Log("m2");
	VTask::Sleep(0);
	Log("m3");
	event->Unlock();
	VTask::Sleep(0);
	Log("m4");
	Report("ring.log", TakeLog());
	Report("ring.eventWokeScheduler", scheduler->fWakeUps.load() >= 1);
	Report("ring.bothDead", a->GetState() == TS_DEAD && b->GetState() == TS_DEAD);
	a->Release();
	b->Release();
	event->Release();

	// A parked fiber whose wait a signal interrupts waits again.
	struct sigaction action {};
	action.sa_handler = &OnSignal;
	sigemptyset(&action.sa_mask);
	action.sa_flags = 0; // no SA_RESTART
	::sigaction(SIGUSR1, &action, nullptr);
	VTask* parked = NewFiber([]() {
		Log("s1");
		VTask::Sleep(0);
		Log("s2");
	});
	scheduler->fRing = {main, parked};
	parked->Run();
	::syscall(SYS_tgkill, ::getpid(), parked->GetSystemID(), SIGUSR1);
	for (int i = 0; i < 1000 && sSignals.load() == 0; ++i)
		PauseMilliseconds(2);
	PauseMilliseconds(50);
	Report("signal.handled", sSignals.load() == 1);
	Report("signal.stillParked", TakeLog() == "s1");
	VTask::Sleep(0);
	Report("signal.resumes", TakeLog() == "s2" && parked->GetState() == TS_DEAD);
	parked->Release();

	// WakeUp ends a fiber's sleep and a fiber's freeze.
	VTask* sleeper = NewFiber([]() {
		VTask::Sleep(60000);
		Log("slept");
	});
	VTask* frozen = NewFiber([]() {
		VTask::GetCurrent()->Freeze();
		Log("thawed");
	});
	scheduler->fRing = {main, sleeper, frozen};
	const uint32 sleepStart = VSystem::GetCurrentTime();
	sleeper->Run();
	frozen->Run();
	Log("m");
	sleeper->WakeUp();
	frozen->WakeUp();
	for (int i = 0; i < 10 && (sleeper->GetState() != TS_DEAD || frozen->GetState() != TS_DEAD); ++i)
		VTask::Sleep(0);
	Report("wakeup.log", TakeLog());
	Report("wakeup.early", VSystem::GetCurrentTime() - sleepStart < 30000);
	sleeper->Release();
	frozen->Release();

	// The update-events polling: a repeating message on the calling task.
	VTaskMgr* manager = VTaskMgr::Get();
	scheduler->fRing = {main};
	manager->MAC_BeginHandlingUpdateEventsOnly();
	manager->MAC_BeginHandlingUpdateEventsOnly();
	const bool pollingOff = !scheduler->fPolling.load();
	const uint32 start = VSystem::GetCurrentTime();
	while (VSystem::GetCurrentTime() - start < 300 && scheduler->fPolls.load() < 3) {
		VTask::ExecuteMessages(true);
		PauseMilliseconds(5);
	}
	const int polls = scheduler->fPolls.load();
	manager->MAC_StopHandlingUpdateEventsOnly();
	const bool stillOff = !scheduler->fPolling.load();
	manager->MAC_StopHandlingUpdateEventsOnly();
	for (int i = 0; i < 10; ++i) {
		VTask::ExecuteMessages(true);
		PauseMilliseconds(5);
	}
	const int settled = scheduler->fPolls.load();
	for (int i = 0; i < 10; ++i) {
		VTask::ExecuteMessages(true);
		PauseMilliseconds(5);
	}
	Report("updates.polled", pollingOff && polls >= 3);
	Report("updates.nested", stillOff && scheduler->fPolling.load());
	Report("updates.stopped", scheduler->fPolls.load() == settled);

	scheduler->Release();
}

void HugeStackFails()
{
	VTask* fiber = NewFiber([]() { Log("huge"); }, size_t(1) << 50);
	const bool ran = fiber->Run();
	const VError error = VTask::GetLastError();
	Report("huge.runFalse", !ran && sLog.empty() && fiber->GetState() == TS_DEAD);
	Report("huge.errorIsPOSX", COMPONENT_FROM_VERROR(error) == 'POSX' && ERRCODE_FROM_VERROR(error) != 0);
	fiber->Release();
	VTask::FlushErrors();
}

} // namespace

int main()
{
	VProcess process;
	Report("process.inits", process.Init(VProcess::kInitFibered));
	IdsAreReused();
	VoidSchedulerRunsTheBodyWhileMainIsParked();
	RunFromElsewhere();
	HugeStackFails();
	TestSchedulerHandsOver();
	return 0;
}
