// The assert file: its place beside the bundle, its entries, and its
// rotation. The writing runs in a probe copied into a bundle the test makes.
#include "runtime/VDebugMgr.h"
#include "testing/ProbeOutput.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

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

size_t CountOf(const std::string& inText, const std::string& inPart)
{
	size_t count = 0;
	for (size_t at = inText.find(inPart); at != std::string::npos; at = inText.find(inPart, at + 1))
		++count;
	return count;
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
		EXPECT_TRUE(std::regex_search(text, std::regex("^QX log file opened on [A-Z][a-z]+day, [A-Z][a-z]+ \\d\\d, "
													   "\\d{4} \\d\\d:\\d\\d:\\d\\d [AP]M\n\n\n")));
		const std::regex entry("\n\\d\\d/\\d\\d/\\d\\d, \\d\\d:\\d\\d:\\d\\d\n(  :: frame \\d: [^\n]*\n)+");
		EXPECT_EQ(std::distance(std::sregex_iterator(text.begin(), text.end(), entry), std::sregex_iterator()), 4);
		EXPECT_EQ(CountOf(text, "  :: frame 0: "), 4u);
		// The deep stack keeps 8 frames, numbered down to 0.
		EXPECT_EQ(CountOf(text, "  :: frame 7: "), 1u);
		EXPECT_EQ(CountOf(text, "  :: frame 8: "), 0u);
		EXPECT_TRUE(std::regex_search(text, std::regex("\n  :: frame 7: [^\n]*\n(  :: frame [0-6]: [^\n]*\n){7}deep\n")));
		EXPECT_TRUE(std::regex_search(text, std::regex("\n  :: frame 0: [^\n]*\nError: [^\n]+\n")));
		EXPECT_TRUE(std::regex_search(text, std::regex("\n  :: frame 0: [^\n]*\nAssert Failed: count > 0, src/counter.cpp, 31\n")));
		// Without a date or a stack, the text follows the previous entry.
		EXPECT_TRUE(std::regex_search(text, std::regex("\n  :: frame 0: [^\n]*\ncaf\xC3\xA9 message\nbare text\n$")));
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

// A handler's answer to quit ends the process with 0 during the report; an
// answer to break stops it with SIGTRAP where no debugger is attached.
TEST_F(AssertFile, TheHandlerCanEndTheProcess)
{
	const std::string program = PlaceProbe("Tool.app/Contents/MacOS/probe");
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
