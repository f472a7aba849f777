#include "testing/ProbeOutput.h"

#include <gtest/gtest.h>

#include <map>
#include <string>

namespace {

// Fibers need a fibered process, which this program is not: the probe makes
// one and reports what its fiber tasks did.
TEST(Fibers, InAFiberedProcess)
{
	const qirn::testing::ProbeOutput output = qirn::testing::RunProbe(QIRN_PROBE_DIR "/qirn_probe_fibers");
	EXPECT_EQ(output.fExitCode, 0);

	const std::map<std::string, std::string> expected = {
		{"process.inits", "1"},
		// Fiber tasks take ids from the manager's counter; a purged one's
		// id is given again.
		{"ids.first", "1"},
		{"ids.second", "1"},
		{"ids.reused", "1"},
		// With the void scheduler a fiber runs from start to end while the
		// task that ran it is parked, on a thread of its own.
		{"void.runs", "1"},
		{"void.log", "main.before,body.start,body.end,main.after"},
		{"void.mainParked", "1"},
		{"void.ownThread", "1"},
		{"void.deadAfterRun", "1"},
		{"void.runAgainFails", "1"},
		// A thread that is no task cannot hand over; a thread task gets a
		// fiber for its thread first.
		{"nontask.runFalse", "1"},
		{"threadtask.runs", "1"},
		{"huge.runFalse", "1"},
		{"huge.errorIsPOSX", "1"},
		// A scheduler that hands over round a ring: one fiber at a time, a
		// fiber waiting on an event until the main task unlocks it.
		{"ring.log", "m0,a1,m1,b1,m2,a2,b2,m3,a3,m4"},
		{"ring.eventWokeScheduler", "1"},
		{"ring.bothDead", "1"},
		// A signal handled without SA_RESTART does not let a parked fiber run.
		{"signal.handled", "1"},
		{"signal.stillParked", "1"},
		{"signal.resumes", "1"},
		{"wakeup.log", "m,slept,thawed"},
		{"wakeup.early", "1"},
		{"updates.polled", "1"},
		{"updates.nested", "1"},
		{"updates.stopped", "1"},
	};
	EXPECT_EQ(output.fValues, expected);
}

} // namespace
