// The updater's command line: its options, the rule that joins the two
// positional paths with the path options, and what it stores.

#include "VUpdateCommandLine.h"

#include "process/VCommandLineParser.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace qirn;

struct Parsed {
	uint32 fResult = 99;
	std::string fOut;
	std::string fErr;
	VUpdateCommandLine fLine;
};

Parsed Parse(const std::vector<std::string>& inArguments)
{
	std::vector<VString> arguments{VString("Updater")};
	for (const std::string& argument : inArguments)
		arguments.emplace_back(argument.c_str());
	Parsed parsed;
	VCommandLineParser parser(arguments);
	::testing::internal::CaptureStdout();
	::testing::internal::CaptureStderr();
	parsed.fResult = parsed.fLine.Parse(parser, VString("2.5"));
	parsed.fErr = ::testing::internal::GetCapturedStderr();
	parsed.fOut = ::testing::internal::GetCapturedStdout();
	return parsed;
}

std::string Text(const VFilePath& inPath)
{
	return inPath.IsEmpty() ? std::string("<empty>") : to_string(inPath.GetPath(FPS_POSIX));
}

TEST(UpdateCommandLine, JoinsPositionalPathsWithPathOptions)
{
	const std::string outdatedMismatch = "mismatched value for option --outdated-app\n\n";
	const std::string upToDateMismatch = "mismatched value for option --uptodate-app\n\n";
	struct Case {
		const char* fName;
		std::vector<std::string> fArguments;
		uint32 fResult;
		std::string fErr;
		std::string fOutdated;
		std::string fUpToDate;
	};
	const std::vector<Case> cases = {
		{"two positionals", {"/a/Old.app", "/b/New.app"}, 0, "", "/a/Old.app/", "/b/New.app/"},
		{"trailing slashes kept", {"/a/Old.app/", "/b/New.app/"}, 0, "", "/a/Old.app/", "/b/New.app/"},
		{"options only", {"--outdated-app=/a/Old.app", "--uptodate-app", "/b/New.app"}, 0, "", "/a/Old.app/",
		 "/b/New.app/"},
		{"options equal to positionals",
		 {"--outdated-app=/a/Old.app", "--uptodate-app=/b/New.app", "/a/Old.app", "/b/New.app"},
		 0,
		 "",
		 "/a/Old.app/",
		 "/b/New.app/"},
		{"outdated option differs", {"--outdated-app=/x.app", "/a/Old.app", "/b/New.app"}, 1, outdatedMismatch, "<empty>",
		 "<empty>"},
		{"up-to-date option differs", {"--uptodate-app=/x.app", "/a/Old.app", "/b/New.app"}, 1, upToDateMismatch,
		 "<empty>", "<empty>"},
		{"both differ: up-to-date ends it", {"--outdated-app=/x.app", "--uptodate-app=/y.app", "/a.app", "/b.app"}, 1,
		 outdatedMismatch + upToDateMismatch, "<empty>", "<empty>"},
		{"nothing at all", {}, 1, upToDateMismatch + outdatedMismatch, "<empty>", "<empty>"},
		{"only a flag", {"--silent"}, 1, upToDateMismatch + outdatedMismatch, "<empty>", "<empty>"},
		{"only the outdated option", {"--outdated-app=/a.app"}, 1, upToDateMismatch, "<empty>", "<empty>"},
		{"one positional", {"/a.app"}, 1, "not enough arguments from the command line (required <dest> <src>)\n\n",
		 "<empty>", "<empty>"},
		{"three positionals", {"/a.app", "/b.app", "/c.app"}, 1, "two many arguments from the command line\n",
		 "<empty>", "<empty>"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		const Parsed parsed = Parse(c.fArguments);
		EXPECT_EQ(parsed.fResult, c.fResult);
		EXPECT_EQ(parsed.fErr, c.fErr);
		EXPECT_EQ(Text(parsed.fLine.fOutdatedApp), c.fOutdated);
		EXPECT_EQ(Text(parsed.fLine.fUpToDateApp), c.fUpToDate);
		EXPECT_TRUE(parsed.fOut.empty());
	}
}

TEST(UpdateCommandLine, StoresEveryOption)
{
	const Parsed parsed =
		Parse({"--pid=4242", "--silent", "--install-path=/elsewhere", "--restart-params=/p/link.QXlink",
			   "--caller-log=yes", "--log-dir=/logs", "--client-info=/c/info.json", "--restart-headless", "/a/Old.app",
			   "/b/New.app"});
	ASSERT_EQ(parsed.fResult, 0u);
	const VUpdateCommandLine& line = parsed.fLine;
	EXPECT_EQ(line.fCallerPid, 4242);
	EXPECT_TRUE(line.fSilent);
	EXPECT_TRUE(line.fCallerLog);
	EXPECT_TRUE(line.fRestartHeadless);
	// "install-path" is accepted and not used.
	EXPECT_EQ(Text(line.fInstallPath), "/a/Old.app/");
	EXPECT_EQ(Text(line.fRestartParams), "/p/link.QXlink");
	EXPECT_TRUE(line.fLogFolder.IsFolder());
	EXPECT_EQ(Text(line.fLogFolder), "/logs/");
	EXPECT_TRUE(line.fClientInfoFile.IsFile());
	EXPECT_EQ(Text(line.fClientInfoFile), "/c/info.json");
}

TEST(UpdateCommandLine, DefaultsWhenOptionsAreMissingOrEmpty)
{
	const Parsed parsed = Parse({"--caller-log=", "/a/Old.app", "/b/New.app"});
	ASSERT_EQ(parsed.fResult, 0u);
	const VUpdateCommandLine& line = parsed.fLine;
	EXPECT_EQ(line.fCallerPid, -1);
	EXPECT_FALSE(line.fSilent);
	EXPECT_FALSE(line.fCallerLog);
	EXPECT_FALSE(line.fRestartHeadless);
	EXPECT_TRUE(line.fRestartParams.IsEmpty());
	EXPECT_FALSE(line.fLogFolder.IsValid());
	EXPECT_FALSE(line.fClientInfoFile.IsValid());
}

TEST(UpdateCommandLine, VersionAndHelpStopWithoutError)
{
	const Parsed version = Parse({"--version", "--pid=3", "/a.app"});
	EXPECT_EQ(version.fResult, 2u);
	EXPECT_EQ(version.fOut, "2.5\n");
	EXPECT_EQ(version.fErr, "");
	EXPECT_TRUE(version.fLine.fOutdatedApp.IsEmpty());

	const Parsed help = Parse({"--help"});
	EXPECT_EQ(help.fResult, 2u);
	EXPECT_NE(help.fOut.find("--restart-headless"), std::string::npos);
	EXPECT_NE(help.fOut.find("Print the version and exits"), std::string::npos);
	// The help listing drops the tabs of the texts.
	EXPECT_EQ(help.fOut.find('\t'), std::string::npos);
}

TEST(UpdateCommandLine, BadValueIsAnError)
{
	const Parsed parsed = Parse({"--pid=abc", "/a.app", "/b.app"});
	EXPECT_EQ(parsed.fResult, 1u);
	EXPECT_TRUE(parsed.fLine.fOutdatedApp.IsEmpty());
}

TEST(UpdateCommandLine, FolderPathSpec)
{
	VFilePath path;
	VUpdateCommandLine::FixFolderPathSpec(VString("/x/y"), FPS_POSIX, path);
	EXPECT_TRUE(path.IsFolder());
	EXPECT_EQ(Text(path), "/x/y/");
	VUpdateCommandLine::FixFolderPathSpec(VString(), FPS_POSIX, path);
	EXPECT_FALSE(path.IsValid());
}

} // namespace
