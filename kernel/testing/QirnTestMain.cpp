// The main every kernel test executable shares: the tests run inside a test
// process object, on its main task, so they see the errors they cause. The
// process has its logger, as an application has, with its boot listener;
// the "Logger" task the boot listener started is stopped, so that no task of
// the kernel runs beside the tests and entries go out only when a test
// flushes the logger.
#include "process/VLogger.h"
#include "process/VProcess.h"
#include "runtime/VTaskMgr.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

class VTestProcess : public qirn::VProcess {};

// The sanitizer builds run a whole executable's tests in one process. The
// task manager joins an ended task's thread only when it next purges, so
// the threads of the tasks one test ended would still be there in the
// children a later test forks, and the thread sanitizer reports them leaked
// when such a child exits. Each test's ended tasks are purged as it ends.
class VJoinEndedTasks : public ::testing::EmptyTestEventListener {
	void OnTestEnd(const ::testing::TestInfo&) override
	{
		if (qirn::VTaskMgr* manager = qirn::VTaskMgr::Get())
			manager->PurgeDeadTasks();
	}
};

} // namespace

int main(int argc, char** argv)
{
	::testing::InitGoogleTest(&argc, argv);
	VTestProcess process;
	if (!process.Init(qirn::VProcess::kInitLogger)) {
		std::fputs("the test process could not start\n", stderr);
		return 1;
	}
	process.GetLogger()->Stop();
	::testing::UnitTest::GetInstance()->listeners().Append(new VJoinEndedTasks);
	return RUN_ALL_TESTS();
}
