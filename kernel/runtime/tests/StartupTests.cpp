#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

// The probe runs before any process object exists, which this program's
// main has already made.
TEST(Startup, BeforeAndAroundTheProcessObject)
{
	FILE* pipe = ::popen(QIRN_PROBE_DIR "/qirn_probe_startup", "r");
	ASSERT_NE(pipe, nullptr);
	std::map<std::string, std::string> values;
	char line[256];
	while (std::fgets(line, sizeof(line), pipe) != nullptr) {
		std::string text(line);
		size_t equal = text.find('=');
		if (equal != std::string::npos)
			values[text.substr(0, equal)] = text.substr(equal + 1, text.find('\n') - equal - 1);
	}
	EXPECT_EQ(::pclose(pipe), 0);

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
		{"process.startsAndEndsTwice", "1"},
		{"fibered.process", "1"},
		{"fibered.mainTask", "1"},
	};
	EXPECT_EQ(values, expected);
}

} // namespace
