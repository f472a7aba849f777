#include "testing/ProbeOutput.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// The probe runs before any process object exists, which this program's
// main has already made.
TEST(Startup, BeforeAndAroundTheProcessObject)
{
	const qirn::testing::ProbeOutput output = qirn::testing::RunProbe(QIRN_PROBE_DIR "/qirn_probe_startup");
	EXPECT_EQ(output.fExitCode, 0);

	const std::map<std::string, std::string> expected = {
		{"before.process", "0"},
		{"before.inited", "0"},
		{"before.task", "0"},
		{"before.taskid", "0"},
		// A thread that is no task is known by its tid, so sections exclude
		// before the task manager starts as after.
		{"before.idIsTid", "1"},
		{"before.sectionExcludes", "1"},
		{"before.idsDiffer", "1"},
		{"before.sleepReturnsAtOnce", "1"},
		{"before.intlIsUSEnglish", "1"},
		{"before.textCollates", "1"},
		{"process.startsAndEndsTwice", "1"},
		{"fibered.process", "1"},
		{"fibered.mainTask", "1"},
	};
	EXPECT_EQ(output.fValues, expected);
}

} // namespace
