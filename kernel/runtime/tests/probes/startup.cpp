// Reports what holds on a thread before any process object exists, then
// while a process starts and ends, twice. One "name=value" line per check.
#include "core/VIntlMgr.h"
#include "core/VString.h"
#include "process/VProcess.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <cstdio>
#include <thread>
#include <unistd.h>

using namespace qirn;

namespace {

void Report(const char* inName, bool inValue)
{
	std::printf("%s=%d\n", inName, inValue ? 1 : 0);
}

int32 Tid()
{
	return static_cast<int32>(::gettid());
}

} // namespace

int main()
{
	Report("before.process", VProcess::sInstance != nullptr);
	Report("before.inited", VTaskMgr::IsInited());
	Report("before.task", VTask::GetCurrent() != nullptr);
	Report("before.taskid", VTask::GetCurrentID() != 0);
	Report("before.idIsTid", VTaskMgr::GetCurrentTaskID() == Tid());

	VCriticalSection section;
	section.Lock();
	bool taken = true;
	int32 otherID = 0;
	std::thread([&]() {
		taken = section.TryToLock();
		otherID = VTaskMgr::GetCurrentTaskID();
	}).join();
	Report("before.sectionExcludes", !taken);
	Report("before.idsDiffer", otherID != 0 && otherID != VTaskMgr::GetCurrentTaskID());
	section.Unlock();

	const uint32 start = VSystem::GetCurrentTime();
	VTask::Sleep(5000);
	Report("before.sleepReturnsAtOnce", VSystem::GetCurrentTime() - start < 5000);
	// Text compares in US English before there is any process.
	Report("before.intlIsUSEnglish", VTask::GetCurrentIntlManager() != nullptr &&
										 VTask::GetCurrentIntlManager()->GetDialectCode() == DC_ENGLISH_US);
	Report("before.textCollates", VString("R\xC3\xA9sum\xC3\xA9").EqualToString(VString("resume")));

	bool everyRound = true;
	for (int round = 0; round < 2; ++round) {
		{
			VProcess process;
			everyRound &= VProcess::sInstance == nullptr;
			everyRound &= process.Init(0);
			everyRound &= VProcess::sInstance == &process && VTaskMgr::IsInited();
			VTask* main = VTask::GetCurrent();
			everyRound &= main != nullptr && main->IsMain() && main->GetID() == Tid();
			everyRound &= VTaskMgr::Get()->GetTaskCount(false) == 1;
			everyRound &= process.GetIntlMgr() != nullptr && main->GetIntlManager() != nullptr &&
						  main->GetIntlManager() != process.GetIntlMgr();
			VTask* task = new VTask(0, ETaskStyle::kPreemptive, []() {});
			everyRound &= task->Run() && task->WaitForDeath(60000);
			task->Release();
		}
		everyRound &= VProcess::sInstance == nullptr && !VTaskMgr::IsInited();
		everyRound &= VTask::GetCurrent() == nullptr && VTaskMgr::GetCurrentTaskID() == Tid();
	}
	Report("process.startsAndEndsTwice", everyRound);

	{
		VProcess process;
		process.Init(VProcess::kInitFibered);
		VTask* main = VTask::GetCurrent();
		Report("fibered.process", process.IsFibered());
		Report("fibered.mainTask", main != nullptr && main->IsFiber() && !main->IsPreemptive());
	}
	return 0;
}
