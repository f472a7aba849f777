// Ends a process while one of its tasks still polls with short sleeps, and
// reports what holds afterwards. One "name=value" line per check.
#include "process/VProcess.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "testing/TestWaits.h"

#include <atomic>
#include <cstdio>

using namespace qirn;

namespace {

void Report(const char* inName, bool inValue)
{
	std::printf("%s=%d\n", inName, inValue ? 1 : 0);
}

} // namespace

int main()
{
	// Outlive the process object, so that a task left running by a faulty
	// end touches nothing that is gone.
	testing::Gate polling;
	std::atomic<bool> sawDying{false};
	VTask* task = nullptr;
	bool started = false;
	{
		VProcess process;
		if (!process.Init(0))
			return 1;
		task = new VTask(0, ETaskStyle::kPreemptive, [&]() {
			polling.Open();
			while (!VTask::GetCurrent()->IsDying())
				VTask::Sleep(1);
			sawDying = true;
		});
		started = task->Run() && polling.Wait();
	}
	Report("started", started);
	Report("process.gone", VProcess::sInstance.load() == nullptr && !VTaskMgr::IsInited());
	Report("task.deadAfterTheEnd", task->GetState() == TS_DEAD);
	Report("task.sawItWasDying", sawDying.load());
	if (task->GetState() != TS_DEAD) {
		// Keeps a faulty end from hanging the probe on the last release.
		task->Kill();
		task->WaitForDeath(testing::kHangMilliseconds);
	}
	task->Release();
	return 0;
}
