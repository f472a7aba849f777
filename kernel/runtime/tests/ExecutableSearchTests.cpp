#include "core/VString.h"
#include "files/VFilePath.h"
#include "runtime/VSystem.h"
#include "runtime/platform/XLinuxSystem.h"
#include "testing/RaisedErrors.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace qirn {
namespace {

// Two folders of programs: "tool" in each (the first one wins), "plain"
// that nobody may run, "folder" that is no file, "group-only" that only
// its group may run (its owner, this process, may not).
class ExecutableSearch : public ::testing::Test {
protected:
	void SetUp() override
	{
		for (const std::string& folder : {fFirst.Path(), fSecond.Path()})
			Make(folder + "/tool", 0755);
		Make(fSecond / "only-second", 0755);
		Make(fFirst / "plain", 0644);
		Make(fFirst / "group-only", 0614);
		::mkdir((fFirst / "folder").c_str(), 0755);
	}

	static void Make(const std::string& inPath, mode_t inMode)
	{
		std::ofstream(inPath) << "#!/bin/sh\n";
		::chmod(inPath.c_str(), inMode);
	}

	static std::string Real(const std::string& inPath)
	{
		char resolved[PATH_MAX];
		return ::realpath(inPath.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
	}

	testing::TempFolder fFirst;
	testing::TempFolder fSecond;
	testing::ScopedEnvironment fEnvironment;
};

TEST_F(ExecutableSearch, NamesAlongPath)
{
	struct Case {
		std::string fPath; // PATH; "unset" removes it
		std::string fName;
		std::string fExpected; // empty: not found
	};
	const std::string both = fFirst.Path() + ":" + fSecond.Path();
	const Case cases[] = {
		{both, "tool", Real(fFirst / "tool")},
		{fSecond.Path() + ":" + fFirst.Path(), "tool", Real(fSecond / "tool")},
		{both, "only-second", Real(fSecond / "only-second")},
		{fFirst.Path() + "/:" + fSecond.Path() + "/", "only-second", Real(fSecond / "only-second")},
		{both, "plain", ""},
		{both, "folder", ""},
		{both, "group-only", ""}, // the owner's bit decides for the owner
		{both, "absent", ""},
		// Empty elements name no folder, not the current one.
		{"::" + fSecond.Path() + ":", "only-second", Real(fSecond / "only-second")},
		{"", "tool", ""},
		{"unset", "tool", ""},
		// A name with '/' is a path, searched nowhere else.
		{both, fFirst / "tool", Real(fFirst / "tool")},
		{both, fFirst / "plain", ""},
		{both, "./only-second", ""},
		{both, "", ""},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.fPath + " / " + test.fName);
		if (test.fPath == "unset")
			fEnvironment.Remove("PATH");
		else
			fEnvironment.Set("PATH", test.fPath);
		std::string found = "unchanged";
		const bool ok = XLinuxSystem::SearchExecutablePath(test.fName, found);
		EXPECT_EQ(ok, !test.fExpected.empty());
		EXPECT_EQ(found, ok ? test.fExpected : std::string("unchanged"));
	}
}

// A candidate too long for the system is skipped: cut to the limit, this
// one would name "tool" in the first folder, another program than the one
// asked for.
TEST_F(ExecutableSearch, OverLongCandidatesAreSkipped)
{
	std::string prefix = fFirst.Path() + "/";
	const std::string toolName = "tool";
	while (prefix.size() + toolName.size() < PATH_MAX - 1)
		prefix += "./";
	prefix.resize(PATH_MAX - 1 - toolName.size());
	if (prefix.back() != '/')
		prefix.back() = '/';
	const std::string cutToTool = prefix + toolName; // PATH_MAX - 1 bytes
	ASSERT_EQ(cutToTool.size(), static_cast<size_t>(PATH_MAX - 1));
	ASSERT_EQ(Real(cutToTool), Real(fFirst / "tool"));

	fEnvironment.Set("PATH", cutToTool + "/x:" + fSecond.Path());
	std::string found;
	EXPECT_FALSE(XLinuxSystem::SearchExecutablePath("absent", found));
	ASSERT_TRUE(XLinuxSystem::SearchExecutablePath("only-second", found));
	EXPECT_EQ(found, Real(fSecond / "only-second"));
}

// The kernel's form: the found program as a file path, or a cleared path.
TEST_F(ExecutableSearch, AsAFilePath)
{
	fEnvironment.Set("PATH", fFirst.Path() + ":" + fSecond.Path());
	VFilePath path;
	ASSERT_TRUE(VSystem::SearchExecutablePath(VString("only-second"), path));
	EXPECT_TRUE(path.IsFile());
	VString posix;
	path.GetPosixPath(posix);
	EXPECT_TRUE(posix.EqualToStringRaw(VString(Real(fSecond / "only-second").c_str())));

	EXPECT_FALSE(VSystem::SearchExecutablePath(VString("absent"), path));
	EXPECT_TRUE(path.IsEmpty());
}

TEST(SymbolicLinks, CreatedOrRaisedAsPosixErrors)
{
	testing::TempFolder folder;
	const std::string link = folder / "link";
	EXPECT_EQ(XLinuxSystem::CreateSymbolicLink("target that need not exist", link.c_str()), VE_OK);
	char target[64] = {};
	ASSERT_GT(::readlink(link.c_str(), target, sizeof(target) - 1), 0);
	EXPECT_STREQ(target, "target that need not exist");

	testing::RaisedErrors raised;
	const VError taken = XLinuxSystem::CreateSymbolicLink("other", link.c_str());
	EXPECT_EQ(taken, MAKE_VERROR('POSX', EEXIST));
	EXPECT_EQ(raised.Last(), taken);
	const VError noFolder = XLinuxSystem::CreateSymbolicLink("other", (folder / "missing/link").c_str());
	EXPECT_EQ(noFolder, MAKE_VERROR('POSX', ENOENT));
}

} // namespace
} // namespace qirn
