// "spinlock.prm" read at start-up from the program's own folder: a probe
// copied beside each file reports the strategy its process took.
#include "files/tests/PosixFiles.h"
#include "testing/ProbeOutput.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qirn {
namespace {

TEST(SpinLockFile, IsReadBesideTheProgramAndNeverLeavesAnError)
{
	struct Case {
		const char* fName;
		const char* fContent; // null: no file
		const char* fMode;
		const char* fMaxSpins;
		const char* fYield;
	} cases[] = {
		{"no file", nullptr, "maxSpinsThenLoopYields", "1", "0"},
		{"all three", R"({"mode": "alwaysSleep", "maxSpins": 100, "yieldAfterCheckEvent": true})", "alwaysSleep",
		 "100", "1"},
		{"tolerant text, letter case", "{mode: LOOPMAXSPINSANDYIELDS, maxSpins: 7.9}", "loopMaxSpinsAndYields", "7",
		 "0"},
		{"byte-order mark", "\xEF\xBB\xBF{\"maxSpins\": -3}", "maxSpinsThenLoopYields", "-3", "0"},
		{"unknown mode", R"({"mode": "spinForever", "maxSpins": 3})", "maxSpinsThenLoopYields", "3", "0"},
		{"wrong kinds", R"({"mode": 1, "maxSpins": "9", "yieldAfterCheckEvent": 1})", "maxSpinsThenLoopYields", "1",
		 "0"},
		{"not an object", R"([{"mode": "alwaysSleep"}])", "maxSpinsThenLoopYields", "1", "0"},
		{"malformed", R"({"mode": "alwaysSleep", "maxSpins": 5,)", "maxSpinsThenLoopYields", "1", "0"},
		{"empty", "", "maxSpinsThenLoopYields", "1", "0"},
		{"not UTF-8", "{\"mode\": \"alwaysSleep\xff\xfe\"}", "maxSpinsThenLoopYields", "1", "0"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		testing::TempFolder folder;
		const std::string program = folder / "tool";
		std::filesystem::copy_file(QIRN_PROBE_DIR "/qirn_probe_spinlockprm", program);
		if (c.fContent != nullptr) {
			ASSERT_TRUE(testing::WriteFile(folder / "spinlock.prm", c.fContent));
		}
		testing::ProbeOutput output = testing::RunProbe(program);
		ASSERT_EQ(output.fExitCode, 0);
		EXPECT_EQ(output.fValues["mode"], c.fMode);
		EXPECT_EQ(output.fValues["release"], "1");
		EXPECT_EQ(output.fValues["maxSpins"], c.fMaxSpins);
		EXPECT_EQ(output.fValues["yieldAfterCheckEvent"], c.fYield);
		EXPECT_EQ(output.fValues["startError"], "0");
		EXPECT_EQ(output.fValues["errors"], "0");
	}
}

TEST(SpinLockFile, AFolderOfThatNameIsNoFile)
{
	testing::TempFolder folder;
	const std::string program = folder / "tool";
	std::filesystem::copy_file(QIRN_PROBE_DIR "/qirn_probe_spinlockprm", program);
	std::filesystem::create_directory(folder / "spinlock.prm");
	testing::ProbeOutput output = testing::RunProbe(program);
	ASSERT_EQ(output.fExitCode, 0);
	EXPECT_EQ(output.fValues["mode"], "maxSpinsThenLoopYields");
	EXPECT_EQ(output.fValues["errors"], "0");
}

} // namespace
} // namespace qirn
