// The assert file: its place beside the bundle, its entries, and its
// rotation. The writing runs in a probe copied into a bundle the test makes.
#include "runtime/VDebugMgr.h"
#include "testing/ProbeOutput.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <cctype>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <numeric>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace qirn {
namespace {

TEST(AssertFilePath, CutsTheExtensionOfTheBundlesOwnNameOnly)
{
	struct Case {
		const char* fBundle;
		const char* fAssertFile;
	};
	const Case cases[] = {
		{"/Applications/Tool.app", "/Applications/Tool_asserts.txt"},
		{"/opt/Tool.v2.app", "/opt/Tool.v2_asserts.txt"},
		{"/opt/tools.d/Tool", "/opt/tools.d/Tool_asserts.txt"},
		{"/opt/tools.d/bin", "/opt/tools.d/bin_asserts.txt"},
		{"/opt/.hidden", "/opt/.hidden_asserts.txt"},
		{"/home/j\xC3\xB6rg/T\xC3\xB6\xC3\xB6l.app", "/home/j\xC3\xB6rg/T\xC3\xB6\xC3\xB6l_asserts.txt"},
		{"Tool.app", "Tool_asserts.txt"},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.fBundle);
		EXPECT_EQ(VDebugMgr::_MakeAssertFilePath(test.fBundle), test.fAssertFile);
	}
}

std::string ReadFile(const std::string& inPath)
{
	std::ifstream file(inPath, std::ios::binary);
	std::stringstream text;
	text << file.rdbuf();
	return text.str();
}

std::vector<std::string> Lines(const std::string& inText)
{
	std::vector<std::string> lines;
	std::istringstream stream(inText);
	for (std::string line; std::getline(stream, line);)
		lines.push_back(line);
	return lines;
}

// "12/31/26, 23:59:58"
bool IsDateLine(const std::string& inLine)
{
	const std::string shape = "00/00/00, 00:00:00";
	if (inLine.size() != shape.size())
		return false;
	for (size_t i = 0; i < shape.size(); ++i)
		if (shape[i] == '0' ? !std::isdigit(static_cast<unsigned char>(inLine[i])) : inLine[i] != shape[i])
			return false;
	return true;
}

// An entry: an empty line, the date line, the frames, then the text.
struct Entry {
	std::vector<int> fFrames; // the numbers of the frame lines, in order
	std::string fText;		  // the first line after the frames
};

std::vector<Entry> Entries(const std::vector<std::string>& inLines)
{
	const std::string framePrefix = "  :: frame ";
	std::vector<Entry> entries;
	for (size_t i = 1; i < inLines.size(); ++i) {
		if (!inLines[i - 1].empty() || !IsDateLine(inLines[i]))
			continue;
		Entry entry;
		size_t next = i + 1;
		for (; next < inLines.size() && inLines[next].starts_with(framePrefix); ++next)
			entry.fFrames.push_back(std::atoi(inLines[next].c_str() + framePrefix.size()));
		if (next < inLines.size())
			entry.fText = inLines[next];
		entries.push_back(entry);
	}
	return entries;
}

class AssertFile : public ::testing::Test {
protected:
	void SetUp() override
	{
		fEnvironment.Set("HOME", fHome.Path());
		fEnvironment.Set("XDG_DATA_HOME", fHome / "data");
		fEnvironment.Set("XDG_CONFIG_HOME", fHome / "config");
		fEnvironment.Set("XDG_CACHE_HOME", fHome / "cache");
		fEnvironment.Remove("DISPLAY");
		fEnvironment.Remove("WAYLAND_DISPLAY");
	}

	// The probe copied to inExecutable (relative to the test's folder).
	std::string PlaceProbe(const std::string& inExecutable)
	{
		const std::string program = fFolder / inExecutable;
		std::filesystem::create_directories(std::filesystem::path(program).parent_path());
		std::filesystem::copy_file(QIRN_PROBE_DIR "/qirn_probe_debugmgr", program);
		return program;
	}

	testing::ProbeOutput Run(const std::string& inProgram, const char* inMode)
	{
		testing::ScopedEnvironment mode;
		mode.Set("QIRN_TEST_DEBUG_MODE", inMode);
		return testing::RunProbe(inProgram);
	}

	testing::TempFolder fHome;
	testing::TempFolder fFolder;
	testing::ScopedEnvironment fEnvironment;
};

// An entry: a line feed, the local date and time, the stack, the text.
TEST_F(AssertFile, EntriesOfAFreshRunReplaceTheFileOfAnEarlierOne)
{
	struct Case {
		const char* fExecutable;
		const char* fAssertFile;
	};
	const Case cases[] = {
		{"Tool.app/Contents/MacOS/probe", "Tool_asserts.txt"},
		{"T\xC3\xB6\xC3\xB6l.app/Contents/MacOS/probe", "T\xC3\xB6\xC3\xB6l_asserts.txt"},
		{"my.tools/bin/probe", "my.tools/bin_asserts.txt"},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.fExecutable);
		const std::string program = PlaceProbe(test.fExecutable);
		const std::string assertFile = fFolder / test.fAssertFile;
		std::ofstream(assertFile) << "left by an earlier run\n";

		const testing::ProbeOutput output = Run(program, "entries");
		ASSERT_EQ(output.fExitCode, 0);
		EXPECT_EQ(output.fValues.at("done"), "1");

		const std::string text = ReadFile(assertFile);
		EXPECT_EQ(text.find("left by an earlier run"), std::string::npos);
		const std::vector<std::string> lines = Lines(text);
		ASSERT_GE(lines.size(), 3u);
		EXPECT_TRUE(lines[0].starts_with("QX log file opened on "));
		EXPECT_TRUE(lines[0].ends_with(" AM") || lines[0].ends_with(" PM"));
		EXPECT_EQ(lines[1], "");

		const std::vector<Entry> entries = Entries(lines);
		ASSERT_EQ(entries.size(), 4u);
		EXPECT_TRUE(entries[0].fText.starts_with("Error: "));
		EXPECT_EQ(entries[1].fText, "Assert Failed: count > 0, src/counter.cpp, 31");
		EXPECT_EQ(entries[2].fText, "deep");
		EXPECT_EQ(entries[3].fText, "caf\xC3\xA9 message");
		// The frames count down to 0; the deep stack keeps 8 of them.
		EXPECT_EQ(entries[2].fFrames.size(), 8u);
		for (const Entry& entry : entries) {
			SCOPED_TRACE(entry.fText);
			ASSERT_FALSE(entry.fFrames.empty());
			ASSERT_LE(entry.fFrames.size(), 8u);
			for (size_t i = 0; i < entry.fFrames.size(); ++i)
				EXPECT_EQ(entry.fFrames[i], static_cast<int>(entry.fFrames.size() - 1 - i));
		}
		// Without a date or a stack, the text follows the previous entry.
		EXPECT_TRUE(text.ends_with("\ncaf\xC3\xA9 message\nbare text\n"));
	}
}

TEST_F(AssertFile, AFullFileIsMovedAsideWithTheNumberOfItsRotation)
{
	const std::string program = PlaceProbe("Tool.app/Contents/MacOS/probe");
	const std::string assertFile = fFolder / "Tool_asserts.txt";
	testing::ScopedEnvironment path;
	path.Set("QIRN_TEST_ASSERT_FILE", assertFile);

	const testing::ProbeOutput output = Run(program, "rotate");
	ASSERT_EQ(output.fExitCode, 0);
	EXPECT_EQ(output.fValues.at("filled1"), "1");
	EXPECT_EQ(output.fValues.at("filled2"), "1");
	EXPECT_EQ(output.fValues.at("done"), "1");

	const std::string first = ReadFile(assertFile + "0");
	const std::string second = ReadFile(assertFile + "1");
	const std::string current = ReadFile(assertFile);
	EXPECT_TRUE(first.starts_with("QX log file opened on "));
	EXPECT_NE(first.find("entry one\n"), std::string::npos);
	EXPECT_GE(static_cast<long>(first.size()), VDebugMgr::kAssertFileRotationSize);
	EXPECT_TRUE(second.starts_with("2 nth log opened on "));
	EXPECT_NE(second.find("entry two\n"), std::string::npos);
	EXPECT_GE(static_cast<long>(second.size()), VDebugMgr::kAssertFileRotationSize);
	EXPECT_TRUE(current.starts_with("3 nth log opened on "));
	EXPECT_TRUE(current.ends_with("entry three\n"));
	EXPECT_FALSE(std::filesystem::exists(assertFile + "2"));
}

// Tasks writing at the same time each write whole entries.
TEST_F(AssertFile, EntriesOfTasksAtOnceDoNotMix)
{
	const std::string program = PlaceProbe("Tool.app/Contents/MacOS/probe");
	const testing::ProbeOutput output = Run(program, "concurrent");
	ASSERT_EQ(output.fExitCode, 0);
	EXPECT_EQ(output.fValues.at("done"), "1");
	const std::vector<std::string> lines = Lines(ReadFile(fFolder / "Tool_asserts.txt"));
	const std::vector<Entry> entries = Entries(lines);
	ASSERT_EQ(entries.size(), 100u);
	std::set<std::string> texts;
	for (const Entry& entry : entries) {
		SCOPED_TRACE(entry.fText);
		EXPECT_FALSE(entry.fFrames.empty());
		EXPECT_EQ(entry.fFrames.back(), 0);
		texts.insert(entry.fText);
	}
	EXPECT_EQ(texts.size(), 100u);
	EXPECT_EQ(texts.count("task 3 entry 24"), 1u);
	// Nothing but the banner, the entries and their parts.
	EXPECT_EQ(lines.size(), 2 + std::accumulate(entries.begin(), entries.end(), size_t{0}, [](size_t inSum, const Entry& inEntry) {
								 return inSum + 3 + inEntry.fFrames.size();
							 }));
}

// A handler's answer to quit ends the process with 0 during the report; an
// answer to break stops it with SIGTRAP where no debugger is attached.
TEST_F(AssertFile, TheHandlerCanEndTheProcess)
{
	const std::string program = PlaceProbe("Tool.app/Contents/MacOS/probe");
	// Quitting in the middle of a report leaves its objects alive, as any
	// exit from inside a call does: no leak report for these runs.
	testing::ScopedEnvironment leaks;
	leaks.Set("LSAN_OPTIONS", "detect_leaks=0");
	testing::ProbeOutput output = Run(program, "quit");
	EXPECT_EQ(output.fExitCode, 0);
	EXPECT_EQ(output.fValues.count("before"), 1u);
	EXPECT_EQ(output.fValues.count("after"), 0u);

	testing::ScopedEnvironment mode;
	mode.Set("QIRN_TEST_DEBUG_MODE", "break");
	const int status = std::system(("'" + program + "' > /dev/null").c_str());
	ASSERT_NE(status, -1);
	// The shell reports a command ended by a signal as 128 + the signal.
	EXPECT_TRUE((WIFSIGNALED(status) && WTERMSIG(status) == SIGTRAP) ||
				(WIFEXITED(status) && WEXITSTATUS(status) == 128 + SIGTRAP));
	EXPECT_FALSE(std::filesystem::exists(fFolder / "Tool_asserts.txt"));
}

} // namespace
} // namespace qirn
