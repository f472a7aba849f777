// Command lines the updater refuses or answers without updating: exit code
// 1 (0 for the version and the help), its messages, and nothing touched.

#include "UpdaterHarness.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace qirn::e2e {
namespace {

// "@old" and "@new" stand for the sample bundles' paths.
struct CommandLineCase {
	const char* fName;
	std::vector<std::string> fArguments;
	int fExitCode;
	std::vector<std::string> fErrorTexts; // each on standard error, in this order
};

class BadCommandLine : public ::testing::TestWithParam<CommandLineCase> {};

TEST_P(BadCommandLine, IsRefusedBeforeAnyUpdate)
{
	const CommandLineCase& test = GetParam();
	Sandbox sandbox;
	sandbox.MakeBundles();
	const Tree oldTree = Snapshot(sandbox.Installed());
	std::vector<std::string> arguments;
	for (const std::string& argument : test.fArguments)
		arguments.push_back(argument == "@old" ? sandbox.Installed() : argument == "@new" ? sandbox.Update() : argument);
	arguments.insert(arguments.begin(), {"--log-dir", sandbox.Logs()});
	if (test.fArguments.empty())
		arguments.clear();
	const RunResult result = RunUpdater({UpdaterExecutable(), arguments, sandbox.Environment(), sandbox.Root(), {}});
	EXPECT_EQ(result.fExitCode, test.fExitCode) << result.fErrors;
	size_t at = 0;
	for (const std::string& text : test.fErrorTexts) {
		const size_t found = result.fErrors.find(text, at);
		EXPECT_NE(found, std::string::npos) << "'" << text << "' in:\n" << result.fErrors;
		if (found != std::string::npos)
			at = found + text.size();
	}
	EXPECT_EQ(Snapshot(sandbox.Installed()), oldTree);
	EXPECT_FALSE(Exists(sandbox.Logs())) << "no run, no log";
	EXPECT_TRUE(sandbox.Starts().empty());
}

INSTANTIATE_TEST_SUITE_P(
	Refused, BadCommandLine,
	::testing::Values(
		CommandLineCase{"Nothing", {}, 1, {"mismatched value for option --uptodate-app", "mismatched value for option --outdated-app"}},
		CommandLineCase{"OnlyOptions", {"--silent"}, 1, {"mismatched value for option --uptodate-app", "mismatched value for option --outdated-app"}},
		CommandLineCase{"OnePath", {"@old"}, 1, {"not enough arguments from the command line (required <dest> <src>)"}},
		CommandLineCase{"ThreePaths", {"@old", "@new", "@new"}, 1, {"two many arguments from the command line"}},
		CommandLineCase{"OutdatedMismatch", {"--outdated-app", "/elsewhere/Sample.app", "@old", "@new"}, 1,
						{"mismatched value for option --outdated-app"}},
		CommandLineCase{"UpToDateMismatch", {"--uptodate-app", "/elsewhere/Sample.app", "@old", "@new"}, 1,
						{"mismatched value for option --uptodate-app"}},
		CommandLineCase{"OnlyOutdatedOption", {"--outdated-app", "@old"}, 1, {"mismatched value for option --uptodate-app"}},
		CommandLineCase{"UnknownOption", {"--frobnicate", "@old", "@new"}, 1, {"frobnicate"}},
		CommandLineCase{"PidNotANumber", {"--pid", "twelve", "@old", "@new"}, 1, {"pid"}},
		CommandLineCase{"PidWithoutValue", {"@old", "@new", "--pid"}, 1, {"pid"}},
		// The version and the help stop the run without an error.
		CommandLineCase{"VersionWithPaths", {"--version", "@old", "@new"}, 0, {}},
		CommandLineCase{"Help", {"--help"}, 0, {}}),
	[](const ::testing::TestParamInfo<CommandLineCase>& inInfo) { return std::string(inInfo.param.fName); });

// The version printed is the bundle's CFBundleShortVersionString.
TEST(VersionOption, PrintsTheBundleVersion)
{
	const std::filesystem::path bundle = std::filesystem::path(UpdaterExecutable()).parent_path().parent_path();
	const std::string plist = ReadFile((bundle / "Info.plist").string());
	const size_t key = plist.find("<key>CFBundleShortVersionString</key>");
	ASSERT_NE(key, std::string::npos) << plist;
	const size_t start = plist.find("<string>", key) + 8;
	const std::string version = plist.substr(start, plist.find("</string>", start) - start);
	Sandbox sandbox;
	const RunResult result = RunUpdater({UpdaterExecutable(), {"--version"}, sandbox.Environment(), sandbox.Root(), {}});
	EXPECT_EQ(result.fExitCode, 0);
	EXPECT_EQ(result.fOutput, version + "\n");
	EXPECT_EQ(result.fErrors, "");
}

TEST(HelpOption, ListsTheOptions)
{
	Sandbox sandbox;
	const RunResult result = RunUpdater({UpdaterExecutable(), {"--help"}, sandbox.Environment(), sandbox.Root(), {}});
	EXPECT_EQ(result.fExitCode, 0);
	for (const char* text : {"QX Updater", "--pid", "--silent", "--install-path", "--restart-params", "--caller-log", "--log-dir",
							 "--client-info", "--outdated-app", "--uptodate-app", "--restart-headless", "--version", "--help",
							 "Restart the application in headless mode."})
		EXPECT_NE((result.fOutput + result.fErrors).find(text), std::string::npos) << text << "\n" << result.fOutput << result.fErrors;
}

} // namespace
} // namespace qirn::e2e
