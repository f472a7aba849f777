#include "process/VActivityToken.h"
#include "process/VLogger.h"
#include "process/VProcess.h"
#include "core/VString.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"
#include "testing/ProbeOutput.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace qirn {
namespace {

TEST(Process, TheTestProcessIsTheSingleton)
{
	VProcess* process = VProcess::sInstance;
	ASSERT_NE(process, nullptr);
	EXPECT_TRUE(process->IsInitCalled());
	EXPECT_TRUE(process->IsInitOK());
	EXPECT_TRUE(process->Init(0x02)); // once only: the first result, nothing changes
	EXPECT_FALSE(process->IsFibered());
	EXPECT_NE(process->GetMetricsManager(), nullptr);
	ASSERT_NE(process->GetLogger(), nullptr); // made and started by flag 0x10
	EXPECT_TRUE(process->GetLogger()->IsStarted());
	EXPECT_EQ(process->GetLocalizer(), nullptr);
	EXPECT_TRUE(VTaskMgr::IsInited());
	EXPECT_TRUE(VTask::IsCurrentMain());
}

// The logger of flag 0x10 answers for the levels it takes.
TEST(Process, TheLoggerForALevel)
{
	VProcess* process = VProcess::sInstance;
	VLogger* logger = process->GetLogger();
	ASSERT_NE(logger, nullptr);
	EXPECT_EQ(process->GetLogger(EML_Information), logger);
	EXPECT_EQ(process->GetLogger(EML_Fatal), logger);
	EXPECT_EQ(process->GetLogger(EML_Debug), nullptr);
	EXPECT_FALSE(logger->WithDebug(true));
	EXPECT_EQ(process->GetLogger(EML_Debug), logger);
	logger->WithDebug(false);
	// The test program has no bundle: no product name.
	EXPECT_EQ(process->GetLogSourceIdentifier().GetLength(), 0);
}

TEST(Process, ActivityTokens)
{
	VProcess* process = VProcess::sInstance;
	ASSERT_NE(process, nullptr);
	EXPECT_FALSE(process->HasSomeActivityTokens(0));
	VActivityToken* token = new VActivityToken(VString("Busy"));
	EXPECT_TRUE(token->GetReason().EqualToStringRaw(VString("Busy")));
	EXPECT_TRUE(process->HasSomeActivityTokens(0));
	token->Release();
	EXPECT_FALSE(process->HasSomeActivityTokens(0));
	EXPECT_TRUE(process->HasSomeActivityTokens(600000)); // the last one went just now
}

TEST(Process, ARunningTaskHoldsATokenNamedAfterIt)
{
	VProcess* process = VProcess::sInstance;
	VSyncEvent* running = new VSyncEvent;
	VSyncEvent* released = new VSyncEvent;
	VSyncEvent* finish = new VSyncEvent;
	std::atomic<bool> whileRunning{false}, afterRelease{true};
	VTask* task = new VTask(0, ETaskStyle::kPreemptive, [&]() {
		whileRunning = process->HasSomeActivityTokens(0);
		running->Unlock();
		released->Lock();
		VTask::ReleaseCurrentActivityToken();
		afterRelease = process->HasSomeActivityTokens(0);
		finish->Unlock();
	});
	task->SetName(VString("Worker"));
	ASSERT_TRUE(task->Run());
	running->Lock();
	EXPECT_TRUE(whileRunning.load());
	const VActivityToken* token = task->_GetActivityToken();
	ASSERT_NE(token, nullptr);
	EXPECT_TRUE(token->GetReason().EqualToStringRaw(VString("Running task Worker")));
	released->Unlock();
	finish->Lock();
	EXPECT_FALSE(afterRelease.load());
	EXPECT_TRUE(task->WaitForDeath(60000));
	EXPECT_FALSE(process->HasSomeActivityTokens(0));
	task->Release();
	running->Release();
	released->Release();
	finish->Release();
}

// The process keeps the object behind its localizer alive for as long as it
// is installed, however the application lets go of its own reference.
TEST(Process, KeepsAReferenceToItsLocalizer)
{
	struct Owner : public IRefCountable {
		explicit Owner(bool* inDeleted) : fDeleted(inDeleted) {}
		~Owner() override { *fDeleted = true; }
		bool* fDeleted;
	};
	VProcess* process = VProcess::sInstance;
	ASSERT_NE(process, nullptr);
	bool deleted = false;
	Owner* owner = new Owner(&deleted);
	// The interface type is not needed here: the process only hands the
	// pointer back.
	ILocalizer* localizer = reinterpret_cast<ILocalizer*>(owner);
	process->SetLocalizer(localizer, owner);
	owner->Release();
	EXPECT_FALSE(deleted);
	EXPECT_EQ(process->GetLocalizer(), localizer);
	EXPECT_EQ(owner->GetRefCount(), 1u);

	process->SetLocalizer(nullptr, nullptr);
	EXPECT_TRUE(deleted);
	EXPECT_EQ(process->GetLocalizer(), nullptr);
}

// The end of a process kills the tasks still running and waits for them
// before the task manager goes, so none is left polling against it.
TEST(ProcessEnd, NoTaskOutlivesTheProcess)
{
	const testing::ProbeOutput output = testing::RunProbe(QIRN_PROBE_DIR "/qirn_probe_teardown");
	EXPECT_EQ(output.fExitCode, 0);
	const std::map<std::string, std::string> expected = {
		{"started", "1"},
		{"process.gone", "1"},
		{"task.deadAfterTheEnd", "1"},
		{"task.sawItWasDying", "1"},
	};
	EXPECT_EQ(output.fValues, expected);
}

} // namespace
} // namespace qirn
