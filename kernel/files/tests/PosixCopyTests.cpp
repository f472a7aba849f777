#include "files/platform/PosixFileOps.h"
#include "files/tests/PosixFiles.h"
#include "testing/TempFolder.h"
#include "testing/TestChild.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <memory>
#include <random>
#include <sys/resource.h>

namespace qirn {
namespace {

namespace ops = PosixFileOps;
using testing::Names;
using testing::ReadFile;
using testing::WriteFile;
using Strings = std::vector<std::string>;

std::string RandomBytes(size_t inSize)
{
	std::mt19937 generator(42);
	std::string bytes(inSize, '\0');
	for (char& byte : bytes)
		byte = static_cast<char>(generator());
	return bytes;
}

void SetModificationTime(const std::string& inPath, time_t inSeconds, long inNanoseconds)
{
	const timespec times[2] = {{inSeconds, inNanoseconds}, {inSeconds, inNanoseconds}};
	ASSERT_EQ(::utimensat(AT_FDCWD, inPath.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

timespec ModificationTime(const std::string& inPath)
{
	struct stat status{};
	::lstat(inPath.c_str(), &status);
	return status.st_mtim;
}

// The folder /dev/shm when it is another file system than the temporary
// folder's.
bool OtherFileSystem(const std::string& inHere, std::string& outThere)
{
	struct stat here{}, there{};
	if (::stat(inHere.c_str(), &here) != 0 || ::stat("/dev/shm", &there) != 0 || here.st_dev == there.st_dev)
		return false;
	if (::access("/dev/shm", W_OK) != 0)
		return false;
	outThere = "/dev/shm";
	return true;
}

TEST(PosixCopyFile, RefusesWhatWouldLoseDataAndTouchesNothing)
{
	testing::TempFolder folder;
	const std::string source = folder / "source";
	ASSERT_TRUE(WriteFile(source, "source bytes", 0640));
	ASSERT_TRUE(WriteFile(folder / "other", "other bytes"));
	ASSERT_EQ(::link(source.c_str(), (folder / "hard").c_str()), 0);
	ASSERT_EQ(::symlink("source", (folder / "link").c_str()), 0);
	ASSERT_EQ(::mkdir((folder / "folder").c_str(), 0755), 0);
	const Strings before = Names(folder.Path());

	struct Case {
		const char* fFrom;
		const char* fTo;
		bool fReplace;
		int32 fExpected;
	};
	const Case cases[] = {
		{"source", "other", false, EEXIST},
		{"source", "source", true, EINVAL},
		{"source", "./folder/../source", true, EINVAL},
		{"source", "hard", true, EINVAL},
		{"link", "source", true, EINVAL}, // the link would replace what it points to
		{"source", "folder", true, EISDIR},
		{"source", "folder/", true, EISDIR},
		{"folder", "new", false, EISDIR},
		{"missing", "new", false, ENOENT},
		{"source", "missing-folder/new", false, ENOENT},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(std::string(test.fFrom) + " to " + test.fTo + (test.fReplace ? ", replacing" : ""));
		EXPECT_EQ(ops::CopyFile((folder / test.fFrom).c_str(), (folder / test.fTo).c_str(), test.fReplace), test.fExpected);
		EXPECT_EQ(ReadFile(source), "source bytes");
		EXPECT_EQ(ReadFile(folder / "other"), "other bytes");
		EXPECT_EQ(Names(folder.Path()), before);
		EXPECT_TRUE(Names(folder / "folder").empty());
	}
}

TEST(PosixCopyFile, CopiesBytesModeAndTimesAndReplacesWhenAsked)
{
	testing::TempFolder folder;
	const std::string source = folder / "source";
	const std::string bytes = RandomBytes(3 * 1024 * 1024 + 17);
	ASSERT_TRUE(WriteFile(source, bytes, 0751));
	SetModificationTime(source, 1'000'000'000, 123'456'789);

	std::string there;
	std::unique_ptr<testing::TempFolder> other;
	if (OtherFileSystem(folder.Path(), there))
		other = std::make_unique<testing::TempFolder>(there);
	std::vector<std::string> targets = {folder / "copy"};
	if (other)
		targets.push_back(*other / "copy"); // read and write: copy_file_range stops at file systems
	for (const std::string& target : targets) {
		SCOPED_TRACE(target);
		ASSERT_EQ(ops::CopyFile(source.c_str(), target.c_str(), false), 0);
		EXPECT_TRUE(ReadFile(target) == bytes);
		EXPECT_EQ(testing::Mode(target), 0751u);
		EXPECT_EQ(ModificationTime(target).tv_sec, 1'000'000'000);
		EXPECT_EQ(ModificationTime(target).tv_nsec, 123'456'789);

		ASSERT_TRUE(WriteFile(target, "older", 0600));
		EXPECT_EQ(ops::CopyFile(source.c_str(), target.c_str(), false), EEXIST);
		EXPECT_EQ(ReadFile(target), "older");
		EXPECT_EQ(ops::CopyFile(source.c_str(), target.c_str(), true), 0);
		EXPECT_TRUE(ReadFile(target) == bytes);
		EXPECT_EQ(Names(target.substr(0, target.rfind('/'))).size(), target.find(folder.Path()) == 0 ? 2u : 1u);
	}
}

TEST(PosixCopyFile, CopiesLinksAsLinks)
{
	testing::TempFolder folder;
	ASSERT_TRUE(WriteFile(folder / "file", "bytes"));
	ASSERT_EQ(::mkdir((folder / "folder").c_str(), 0755), 0);
	struct Case {
		const char* fName;
		const char* fText;
	};
	const Case cases[] = {
		{"to-file", "file"},
		{"to-folder", "folder"},
		{"absolute", "/nonexistent/absolute/target"},
		{"dangling", "missing"},
		{"cycle-a", "cycle-b"},
		{"cycle-b", "cycle-a"},
	};
	for (const Case& test : cases)
		ASSERT_EQ(::symlink(test.fText, (folder / test.fName).c_str()), 0);
	ASSERT_EQ(::mkdir((folder / "out").c_str(), 0755), 0);
	for (const Case& test : cases) {
		SCOPED_TRACE(test.fName);
		SetModificationTime(folder / test.fName, 2'000'000'000, 5);
		const std::string copy = folder / "out/" + test.fName;
		ASSERT_EQ(ops::CopyFile((folder / test.fName).c_str(), copy.c_str(), false), 0);
		EXPECT_EQ(testing::LinkText(copy), test.fText);
		EXPECT_EQ(ModificationTime(copy).tv_sec, 2'000'000'000);
	}
	EXPECT_EQ(Names(folder / "folder"), Strings{});
}

TEST(PosixCopyFile, NamesPassAsTheyAre)
{
	testing::TempFolder folder;
	// "é" composed and decomposed are two names; ':' and a leading dot are
	// ordinary bytes.
	const Strings names = {"caf\xC3\xA9", "cafe\xCC\x81", "a:b", ".hidden", "..dots", "-dash"};
	ASSERT_EQ(::mkdir((folder / "out").c_str(), 0755), 0);
	for (const std::string& name : names)
		ASSERT_TRUE(WriteFile(folder / name, "content of " + name));
	for (const std::string& name : names) {
		SCOPED_TRACE(name);
		EXPECT_EQ(ops::CopyFile((folder / name).c_str(), (folder / "out/" + name).c_str(), false), 0);
		EXPECT_EQ(ReadFile(folder / "out/" + name), "content of " + name);
	}
	Strings sorted = names;
	std::sort(sorted.begin(), sorted.end());
	EXPECT_EQ(Names(folder / "out"), sorted);
}

TEST(PosixCopyFile, ShortWritesUnderAFileSizeLimitLeaveNoPartialTarget)
{
	testing::TempFolder folder;
	const std::string source = folder / "source";
	const std::string bytes = RandomBytes(512 * 1024);
	ASSERT_TRUE(WriteFile(source, bytes));
	std::string there;
	std::unique_ptr<testing::TempFolder> other;
	if (OtherFileSystem(folder.Path(), there))
		other = std::make_unique<testing::TempFolder>(there);
	std::vector<std::string> targetFolders = {folder / "out"};
	ASSERT_EQ(::mkdir(targetFolders[0].c_str(), 0755), 0);
	if (other)
		targetFolders.push_back(other->Path());
	for (const std::string& targetFolder : targetFolders) {
		SCOPED_TRACE(targetFolder);
		const std::string answer = testing::RunInChild([&] {
			::signal(SIGXFSZ, SIG_IGN);
			const rlimit limit{100'000, 100'000};
			::setrlimit(RLIMIT_FSIZE, &limit);
			const int32 error = ops::CopyFile(source.c_str(), (targetFolder + "/target").c_str(), false);
			return std::to_string(error);
		});
		EXPECT_EQ(answer, std::to_string(EFBIG));
		EXPECT_EQ(Names(targetFolder), Strings{});
		EXPECT_TRUE(ReadFile(source) == bytes);
	}
}

TEST(PosixCopyFile, AFullDiskLeavesNoPartialTarget)
{
	testing::TempFolder folder;
	const std::string source = folder / "source";
	const std::string small = folder / "small";
	const std::string bytes = RandomBytes(1024 * 1024);
	ASSERT_TRUE(WriteFile(source, bytes));
	ASSERT_TRUE(WriteFile(folder / "old", "old bytes"));
	ASSERT_EQ(::mkdir(small.c_str(), 0755), 0);
	const std::string answer = testing::RunInChild([&] {
		std::string whyNot = testing::EnterPrivateMounts();
		if (whyNot.empty())
			whyNot = testing::MountTmpfs(small, 256 * 1024);
		if (!whyNot.empty())
			return "skip: " + whyNot;
		if (!WriteFile(small + "/old", "old bytes"))
			return std::string("could not write old");
		std::string result = std::to_string(ops::CopyFile(source.c_str(), (small + "/new").c_str(), false));
		result += " " + std::to_string(ops::CopyFile(source.c_str(), (small + "/old").c_str(), true));
		for (const std::string& name : Names(small))
			result += " " + name;
		return result + " " + ReadFile(small + "/old");
	});
	if (answer.rfind("skip: ", 0) == 0)
		GTEST_SKIP() << "no small file system: " << answer;
	EXPECT_EQ(answer, std::to_string(ENOSPC) + " " + std::to_string(ENOSPC) + " old old bytes");
	EXPECT_TRUE(ReadFile(source) == bytes);
}

TEST(PosixCopyFile, PermissionDeniedAsNobodyCreatesNothing)
{
	testing::UserIds nobody;
	std::string whyNot;
	if (!testing::FindNobody(nobody, whyNot))
		GTEST_SKIP() << whyNot;
	testing::TempFolder folder;
	::chmod(folder.Path().c_str(), 0755);
	ASSERT_TRUE(WriteFile(folder / "secret", "root's only", 0600));
	ASSERT_TRUE(WriteFile(folder / "public", "anybody's", 0644));
	ASSERT_EQ(::mkdir((folder / "open").c_str(), 0777), 0);
	::chmod((folder / "open").c_str(), 0777);
	const std::string answer = testing::RunInChild([&] {
		if (!testing::BecomeUser(nobody))
			return std::string("could not become nobody");
		const int32 unreadable = ops::CopyFile((folder / "secret").c_str(), (folder / "open/secret").c_str(), false);
		const int32 unwritable = ops::CopyFile((folder / "public").c_str(), (folder / "public-copy").c_str(), false);
		const int32 replaced = ops::CopyFile((folder / "public").c_str(), (folder / "secret").c_str(), true);
		return std::to_string(unreadable) + " " + std::to_string(unwritable) + " " + std::to_string(replaced);
	});
	const std::string denied = std::to_string(EACCES);
	EXPECT_EQ(answer, denied + " " + denied + " " + denied);
	EXPECT_EQ(Names(folder / "open"), Strings{});
	EXPECT_EQ(Names(folder.Path()), (Strings{"open", "public", "secret"}));
	EXPECT_EQ(ReadFile(folder / "secret"), "root's only");
}

TEST(PosixCopyFile, PathsLongerThanPathMax)
{
	testing::TempFolder folder;
	const std::string deep = testing::MakeDeepFolder(folder.Path());
	ASSERT_TRUE(WriteFile(folder / "top", "from the top"));
	EXPECT_EQ(ops::CopyFile((folder / "top").c_str(), (deep + "/down").c_str(), false), 0);
	EXPECT_EQ(ops::CopyFile((deep + "/down").c_str(), (deep + "/again").c_str(), false), 0);
	EXPECT_EQ(ops::CopyFile((deep + "/again").c_str(), (folder / "back").c_str(), false), 0);
	EXPECT_EQ(ReadFile(folder / "back"), "from the top");
	EXPECT_EQ(ops::RemoveTree((folder / std::string(200, 'd')).c_str(), false), 0);
}

} // namespace
} // namespace qirn
