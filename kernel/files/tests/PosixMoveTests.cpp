#include "files/platform/PosixFileOps.h"
#include "files/tests/PosixFiles.h"
#include "testing/TempFolder.h"
#include "testing/TestChild.h"

#include <gtest/gtest.h>

#include <memory>

namespace qirn {
namespace {

namespace ops = PosixFileOps;
using testing::Names;
using testing::ReadFile;
using testing::WriteFile;
using Strings = std::vector<std::string>;

// A folder of each kind of entry a rename or move meets.
void MakeEntries(const testing::TempFolder& inFolder)
{
	ASSERT_TRUE(WriteFile(inFolder / "file", "file bytes"));
	ASSERT_TRUE(WriteFile(inFolder / "other", "other bytes"));
	ASSERT_EQ(::link((inFolder / "file").c_str(), (inFolder / "hard").c_str()), 0);
	ASSERT_EQ(::symlink("file", (inFolder / "link").c_str()), 0);
	ASSERT_EQ(::mkdir((inFolder / "folder").c_str(), 0755), 0);
	ASSERT_TRUE(WriteFile(inFolder / "folder/inner", "inner bytes"));
	ASSERT_EQ(::mkdir((inFolder / "empty").c_str(), 0755), 0);
}

void ExpectEntriesUntouched(const testing::TempFolder& inFolder)
{
	EXPECT_EQ(Names(inFolder.Path()), (Strings{"empty", "file", "folder", "hard", "link", "other"}));
	EXPECT_EQ(ReadFile(inFolder / "file"), "file bytes");
	EXPECT_EQ(ReadFile(inFolder / "other"), "other bytes");
	EXPECT_EQ(testing::LinkText(inFolder / "link"), "file");
	EXPECT_EQ(Names(inFolder / "folder"), Strings{"inner"});
	EXPECT_EQ(Names(inFolder / "empty"), Strings{});
}

using Rename = int32 (*)(const char*, const char*);

TEST(PosixRenameExclusive, NeverReplacesWithOrWithoutTheSystemsExclusiveRename)
{
	const std::pair<const char*, Rename> renames[] = {
		{"renameat2", ops::RenameExclusive},
		{"placeholder", ops::RenameOverPlaceholder},
	};
	struct Case {
		const char* fFrom;
		const char* fTo;
		int32 fExpected;
	};
	const Case refusals[] = {
		{"file", "other", EEXIST},
		{"file", "empty", EEXIST},
		{"folder", "empty", EEXIST}, // rename(2) alone would replace an empty folder
		{"link", "other", EEXIST},
		{"file", "hard", EEXIST},
		{"folder", "folder/inside", EINVAL},
		{"missing", "new", ENOENT},
	};
	for (const auto& [name, rename] : renames) {
		testing::TempFolder folder;
		MakeEntries(folder);
		for (const Case& test : refusals) {
			SCOPED_TRACE(std::string(name) + ": " + test.fFrom + " to " + test.fTo);
			EXPECT_EQ(rename((folder / test.fFrom).c_str(), (folder / test.fTo).c_str()), test.fExpected);
			ExpectEntriesUntouched(folder);
		}
		SCOPED_TRACE(name);
		EXPECT_EQ(rename((folder / "file").c_str(), (folder / "renamed").c_str()), 0);
		EXPECT_EQ(rename((folder / "link").c_str(), (folder / "folder/link").c_str()), 0);
		EXPECT_EQ(rename((folder / "folder").c_str(), (folder / "moved/").c_str()), 0);
		EXPECT_EQ(Names(folder.Path()), (Strings{"empty", "hard", "moved", "other", "renamed"}));
		EXPECT_EQ(ReadFile(folder / "renamed"), "file bytes");
		EXPECT_EQ(testing::LinkText(folder / "moved/link"), "file");
	}
}

TEST(PosixMove, RefusesWhatWouldLoseDataAndTouchesNothing)
{
	testing::TempFolder folder;
	MakeEntries(folder);
	struct Case {
		const char* fFrom;
		const char* fTo;
		bool fReplace;
		int32 fExpected;
	};
	const Case cases[] = {
		{"file", "other", false, EEXIST}, // also within one folder
		{"file", "file", true, EINVAL},
		{"file", "folder/../file", true, EINVAL},
		{"file", "hard", true, EINVAL},
		{"link", "file", true, EINVAL}, // the link would replace what it points to
		{"file", "folder", true, EISDIR},
		{"folder", "empty", true, EEXIST}, // a folder is never replaced
		{"folder", "other", true, EEXIST},
		{"folder", "folder/inside", false, EINVAL},
		{"missing", "new", true, ENOENT},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(std::string(test.fFrom) + " to " + test.fTo + (test.fReplace ? ", replacing" : ""));
		EXPECT_EQ(ops::Move((folder / test.fFrom).c_str(), (folder / test.fTo).c_str(), test.fReplace), test.fExpected);
		ExpectEntriesUntouched(folder);
	}
	EXPECT_EQ(ops::Move((folder / "file").c_str(), (folder / "other").c_str(), true), 0);
	EXPECT_EQ(ReadFile(folder / "other"), "file bytes");
	EXPECT_FALSE(testing::Exists(folder / "file"));
}

// The same tree moved to another file system comes out whole, and the
// source is gone only then.
class PosixMoveAcross : public ::testing::Test {
protected:
	void SetUp() override
	{
		struct stat here{}, there{};
		if (::stat(fHere.Path().c_str(), &here) != 0 || ::stat("/dev/shm", &there) != 0 || here.st_dev == there.st_dev ||
			::access("/dev/shm", W_OK) != 0)
			GTEST_SKIP() << "/dev/shm is no other writable file system (the private-tmpfs case covers moves)";
		fThere = std::make_unique<testing::TempFolder>("/dev/shm");
	}

	testing::TempFolder fHere;
	std::unique_ptr<testing::TempFolder> fThere;
};

TEST_F(PosixMoveAcross, FilesLinksAndFoldersArriveWholeAndTheSourceGoes)
{
	ASSERT_TRUE(WriteFile(fHere / "file", "file bytes", 0604));
	ASSERT_EQ(::symlink("file", (fHere / "link").c_str()), 0);
	ASSERT_EQ(::mkdir((fHere / "tree").c_str(), 0750), 0);
	ASSERT_EQ(::mkdir((fHere / "tree/sub").c_str(), 0500), 0);
	ASSERT_TRUE(WriteFile(fHere / "tree/.hidden", "hidden"));
	ASSERT_EQ(::symlink("../..", (fHere / "tree/up").c_str()), 0);
	ASSERT_EQ(::symlink("/", (fHere / "tree/root").c_str()), 0);
	ASSERT_EQ(::symlink("tree", (fHere / "folder-link").c_str()), 0);

	EXPECT_EQ(ops::Move((fHere / "file").c_str(), (*fThere / "file").c_str(), false), 0);
	EXPECT_EQ(ops::Move((fHere / "link").c_str(), (*fThere / "link").c_str(), false), 0);
	EXPECT_EQ(ops::Move((fHere / "folder-link").c_str(), (*fThere / "folder-link").c_str(), false), 0);
	EXPECT_EQ(ops::Move((fHere / "tree").c_str(), (*fThere / "tree").c_str(), false), 0);

	EXPECT_EQ(Names(fHere.Path()), Strings{});
	EXPECT_EQ(Names(fThere->Path()), (Strings{"file", "folder-link", "link", "tree"}));
	EXPECT_EQ(ReadFile(*fThere / "file"), "file bytes");
	EXPECT_EQ(testing::Mode(*fThere / "file"), 0604u);
	EXPECT_EQ(testing::LinkText(*fThere / "link"), "file");
	EXPECT_EQ(testing::LinkText(*fThere / "folder-link"), "tree");
	EXPECT_EQ(Names(*fThere / "tree"), (Strings{".hidden", "root", "sub", "up"}));
	EXPECT_EQ(testing::Mode(*fThere / "tree"), 0750u);
	EXPECT_EQ(testing::Mode(*fThere / "tree/sub"), 0500u);
	EXPECT_EQ(testing::LinkText(*fThere / "tree/root"), "/");
	::chmod((*fThere / "tree/sub").c_str(), 0700);
}

TEST_F(PosixMoveAcross, AnExistingTargetIsRefusedOrReplacedAsOnOneFileSystem)
{
	ASSERT_TRUE(WriteFile(fHere / "file", "new bytes"));
	ASSERT_TRUE(WriteFile(*fThere / "file", "old bytes"));
	ASSERT_EQ(::mkdir((fHere / "tree").c_str(), 0755), 0);
	ASSERT_EQ(::mkdir((*fThere / "tree").c_str(), 0755), 0);
	EXPECT_EQ(ops::Move((fHere / "file").c_str(), (*fThere / "file").c_str(), false), EEXIST);
	EXPECT_EQ(ops::Move((fHere / "tree").c_str(), (*fThere / "tree").c_str(), true), EEXIST);
	EXPECT_EQ(ReadFile(*fThere / "file"), "old bytes");
	EXPECT_EQ(Names(fHere.Path()), (Strings{"file", "tree"}));
	EXPECT_EQ(ops::Move((fHere / "file").c_str(), (*fThere / "file").c_str(), true), 0);
	EXPECT_EQ(ReadFile(*fThere / "file"), "new bytes");
	EXPECT_EQ(Names(fHere.Path()), Strings{"tree"});
	EXPECT_EQ(Names(fThere->Path()), (Strings{"file", "tree"}));
}

TEST_F(PosixMoveAcross, AsTheOwnerAFolderGoesWhateverItsModesAndNothingMovesThatCouldNotBeRenamed)
{
	testing::UserIds nobody;
	std::string whyNot;
	if (!testing::FindNobody(nobody, whyNot))
		GTEST_SKIP() << whyNot;
	::chmod(fHere.Path().c_str(), 0755);
	ASSERT_EQ(::mkdir((fHere / "mine").c_str(), 0755), 0);
	ASSERT_EQ(::mkdir((fHere / "mine/tree").c_str(), 0755), 0);
	ASSERT_EQ(::mkdir((fHere / "mine/tree/closed").c_str(), 0755), 0);
	ASSERT_TRUE(WriteFile(fHere / "mine/tree/closed/inner", "inner", 0444));
	for (const char* path : {"mine", "mine/tree", "mine/tree/closed", "mine/tree/closed/inner"})
		ASSERT_EQ(::chown((fHere / path).c_str(), nobody.fUser, nobody.fGroup), 0);
	ASSERT_EQ(::chmod((fHere / "mine/tree/closed").c_str(), 0500), 0);
	ASSERT_TRUE(WriteFile(fHere / "root's", "root's"));
	::chmod(fThere->Path().c_str(), 0777);

	const std::string answer = testing::RunInChild([&] {
		if (!testing::BecomeUser(nobody))
			return std::string("could not become nobody");
		return std::to_string(ops::Move((fHere / "mine/tree").c_str(), (*fThere / "tree").c_str(), false)) + " " +
			std::to_string(ops::Move((fHere / "root's").c_str(), (*fThere / "root's").c_str(), false));
	});
	EXPECT_EQ(answer, "0 " + std::to_string(EACCES));
	EXPECT_EQ(Names(fHere / "mine"), Strings{});
	EXPECT_EQ(ReadFile(*fThere / "tree/closed/inner"), "inner");
	EXPECT_EQ(testing::Mode(*fThere / "tree/closed"), 0500u);
	EXPECT_EQ(Names(fThere->Path()), Strings{"tree"});
	EXPECT_EQ(ReadFile(fHere / "root's"), "root's");
	::chmod((*fThere / "tree/closed").c_str(), 0700);
}

// The same across a tmpfs of the test's own, for machines whose /dev/shm is
// no other file system.
TEST(PosixMoveIntoAPrivateTmpfs, FilesLinksAndFoldersArriveWholeAndTheSourceGoes)
{
	testing::TempFolder folder;
	const std::string other = folder / "other";
	ASSERT_EQ(::mkdir(other.c_str(), 0755), 0);
	ASSERT_EQ(::mkdir((folder / "tree").c_str(), 0755), 0);
	ASSERT_TRUE(WriteFile(folder / "tree/file", "file bytes"));
	ASSERT_EQ(::symlink("file", (folder / "tree/link").c_str()), 0);
	ASSERT_TRUE(WriteFile(folder / "single", "single bytes"));
	const std::string answer = testing::RunInChild([&] {
		std::string whyNot = testing::EnterPrivateMounts();
		if (whyNot.empty())
			whyNot = testing::MountTmpfs(other, 1024 * 1024);
		if (!whyNot.empty())
			return "skip: " + whyNot;
		std::string result = std::to_string(ops::Move((folder / "tree").c_str(), (other + "/tree").c_str(), false));
		result += " " + std::to_string(ops::Move((folder / "single").c_str(), (other + "/single").c_str(), false));
		for (const std::string& name : Names(other + "/tree"))
			result += " " + name;
		return result + " " + ReadFile(other + "/tree/file") + " " + testing::LinkText(other + "/tree/link") + " " +
			ReadFile(other + "/single");
	});
	if (answer.rfind("skip: ", 0) == 0)
		GTEST_SKIP() << "neither /dev/shm nor a private tmpfs: " << answer;
	EXPECT_EQ(answer, "0 0 file link file bytes file single bytes");
	EXPECT_EQ(Names(folder.Path()), Strings{"other"});
}

TEST(PosixMoveToAFullDisk, FailsWithTheSourceWholeAndNoTarget)
{
	testing::TempFolder folder;
	const std::string small = folder / "small";
	ASSERT_EQ(::mkdir(small.c_str(), 0755), 0);
	ASSERT_EQ(::mkdir((folder / "tree").c_str(), 0755), 0);
	const std::string big(300 * 1024, 'x');
	for (const char* name : {"a", "b", "c"})
		ASSERT_TRUE(WriteFile(folder / "tree/" + name, big));
	ASSERT_TRUE(WriteFile(folder / "file", big + big));
	const std::string answer = testing::RunInChild([&] {
		std::string whyNot = testing::EnterPrivateMounts();
		if (whyNot.empty())
			whyNot = testing::MountTmpfs(small, 512 * 1024);
		if (!whyNot.empty())
			return "skip: " + whyNot;
		std::string result = std::to_string(ops::Move((folder / "tree").c_str(), (small + "/tree").c_str(), false));
		result += " " + std::to_string(ops::Move((folder / "file").c_str(), (small + "/file").c_str(), false));
		for (const std::string& name : Names(small))
			result += " " + name;
		return result;
	});
	if (answer.rfind("skip: ", 0) == 0)
		GTEST_SKIP() << "no small file system: " << answer;
	EXPECT_EQ(answer, std::to_string(ENOSPC) + " " + std::to_string(ENOSPC));
	EXPECT_EQ(Names(folder / "tree"), (Strings{"a", "b", "c"}));
	EXPECT_TRUE(ReadFile(folder / "tree/c") == big);
	EXPECT_TRUE(ReadFile(folder / "file") == big + big);
}

TEST(PosixMoveAsNobody, PermissionDeniedMovesNothing)
{
	testing::UserIds nobody;
	std::string whyNot;
	if (!testing::FindNobody(nobody, whyNot))
		GTEST_SKIP() << whyNot;
	testing::TempFolder folder;
	::chmod(folder.Path().c_str(), 0755);
	ASSERT_EQ(::mkdir((folder / "open").c_str(), 0777), 0);
	::chmod((folder / "open").c_str(), 0777);
	ASSERT_TRUE(WriteFile(folder / "file", "root's"));
	ASSERT_EQ(::mkdir((folder / "tree").c_str(), 0755), 0);
	ASSERT_TRUE(WriteFile(folder / "tree/inner", "inner"));
	const std::string answer = testing::RunInChild([&] {
		if (!testing::BecomeUser(nobody))
			return std::string("could not become nobody");
		return std::to_string(ops::Move((folder / "file").c_str(), (folder / "open/file").c_str(), false)) + " " +
			std::to_string(ops::Move((folder / "tree").c_str(), (folder / "open/tree").c_str(), false)) + " " +
			std::to_string(ops::RenameExclusive((folder / "file").c_str(), (folder / "renamed").c_str()));
	});
	const std::string denied = std::to_string(EACCES);
	EXPECT_EQ(answer, denied + " " + denied + " " + denied);
	EXPECT_EQ(Names(folder.Path()), (Strings{"file", "open", "tree"}));
	EXPECT_EQ(Names(folder / "open"), Strings{});
	EXPECT_EQ(Names(folder / "tree"), Strings{"inner"});
}

} // namespace
} // namespace qirn
