// The main every kernel test executable shares: the tests run inside a test
// process object, on its main task, so they see the errors they cause. The
// process has its logger, as an application has, with its boot listener;
// the "Logger" task the boot listener started is stopped, so that no task of
// the kernel runs beside the tests and entries go out only when a test
// flushes the logger.
#include "process/VLogger.h"
#include "process/VProcess.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

class VTestProcess : public qirn::VProcess {};

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
	return RUN_ALL_TESTS();
}
