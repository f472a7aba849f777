#include "files/platform/PosixFileOps.h"
#include "files/tests/PosixFiles.h"
#include "testing/TempFolder.h"
#include "testing/TestChild.h"

#include <gtest/gtest.h>

#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/mount.h>

namespace qirn {
namespace {

namespace ops = PosixFileOps;
using testing::Exists;
using testing::Names;
using testing::ReadFile;
using testing::WriteFile;
using Strings = std::vector<std::string>;

// Everything a bundle may hold: hidden and non-ASCII names (composed and
// decomposed siblings), read-only files and folders, links of every kind.
// inOutside is a folder beside the tree that links point into.
void MakeTree(const std::string& inRoot, const std::string& inOutside)
{
	ASSERT_EQ(::mkdir(inRoot.c_str(), 0755), 0);
	ASSERT_EQ(::mkdir((inRoot + "/Contents").c_str(), 0755), 0);
	ASSERT_EQ(::mkdir((inRoot + "/Contents/locked").c_str(), 0755), 0);
	ASSERT_TRUE(WriteFile(inRoot + "/Contents/locked/read-only", "read-only", 0444));
	ASSERT_EQ(::mkdir((inRoot + "/Contents/locked/closed").c_str(), 0755), 0);
	ASSERT_TRUE(WriteFile(inRoot + "/Contents/locked/closed/inner", "inner", 0600));
	ASSERT_TRUE(WriteFile(inRoot + "/.hidden", "hidden"));
	ASSERT_TRUE(WriteFile(inRoot + "/caf\xC3\xA9", "composed"));
	ASSERT_TRUE(WriteFile(inRoot + "/cafe\xCC\x81", "decomposed"));
	ASSERT_TRUE(WriteFile(inRoot + "/a:b", "colon", 0755));
	ASSERT_EQ(::symlink(inOutside.c_str(), (inRoot + "/to-outside-folder").c_str()), 0);
	ASSERT_EQ(::symlink((inOutside + "/keep").c_str(), (inRoot + "/to-outside-file").c_str()), 0);
	ASSERT_EQ(::symlink("missing", (inRoot + "/dangling").c_str()), 0);
	ASSERT_EQ(::symlink("cycle-b", (inRoot + "/cycle-a").c_str()), 0);
	ASSERT_EQ(::symlink("cycle-a", (inRoot + "/cycle-b").c_str()), 0);
	ASSERT_EQ(::symlink("..", (inRoot + "/Contents/up").c_str()), 0);
	ASSERT_EQ(::mkfifo((inRoot + "/fifo").c_str(), 0640), 0);
	ASSERT_EQ(::chmod((inRoot + "/Contents/locked/closed").c_str(), 0), 0);
	ASSERT_EQ(::chmod((inRoot + "/Contents/locked").c_str(), 0555), 0);
}

const Strings kTopNames = {".hidden", "Contents", "a:b", "cafe\xCC\x81", "caf\xC3\xA9", "cycle-a", "cycle-b",
	"dangling", "fifo", "to-outside-file", "to-outside-folder"};

void MakeOutside(const std::string& inOutside)
{
	ASSERT_EQ(::mkdir(inOutside.c_str(), 0755), 0);
	ASSERT_TRUE(WriteFile(inOutside + "/keep", "not the tree's"));
}

// Changes owners below a path (the tree handed to nobody).
void ChangeOwner(const std::string& inPath, const testing::UserIds& inIds)
{
	::lchown(inPath.c_str(), inIds.fUser, inIds.fGroup);
	struct stat status{};
	if (::lstat(inPath.c_str(), &status) != 0 || !S_ISDIR(status.st_mode))
		return;
	for (const std::string& name : Names(inPath))
		ChangeOwner(inPath + "/" + name, inIds);
}

TEST(PosixRemoveTree, ForcedRemovesReadOnlyFilesAndFoldersAndNothingOutside)
{
	testing::TempFolder folder;
	MakeOutside(folder / "outside");
	MakeTree(folder / "tree", folder / "outside");
	EXPECT_EQ(ops::RemoveTree((folder / "tree").c_str(), true), 0);
	EXPECT_EQ(Names(folder.Path()), Strings{"outside"});
	EXPECT_EQ(ReadFile(folder / "outside/keep"), "not the tree's");
}

TEST(PosixRemoveTree, ForcedAsTheOwnerOpensUpFoldersAndGivesTheParentItsModeBack)
{
	testing::UserIds nobody;
	std::string whyNot;
	if (!testing::FindNobody(nobody, whyNot))
		GTEST_SKIP() << whyNot;
	testing::TempFolder folder;
	::chmod(folder.Path().c_str(), 0755);
	MakeOutside(folder / "outside");
	ASSERT_EQ(::mkdir((folder / "parent").c_str(), 0755), 0);
	MakeTree(folder / "parent/tree", folder / "outside");
	ASSERT_EQ(::mkdir((folder / "parent/stuck").c_str(), 0755), 0);
	ASSERT_TRUE(WriteFile(folder / "parent/stuck/root's", "root's"));
	ChangeOwner(folder / "parent", nobody);
	::chown((folder / "parent/stuck").c_str(), 0, 0);
	::chown((folder / "parent/stuck/root's").c_str(), 0, 0);
	ASSERT_EQ(::chmod((folder / "parent").c_str(), 0500), 0);

	const std::string answer = testing::RunInChild([&] {
		if (!testing::BecomeUser(nobody))
			return std::string("could not become nobody");
		int32 restoreError = -1;
		const int32 plain = ops::RemoveTree((folder / "parent/tree").c_str(), false);
		const int32 removed = ops::RemoveTree((folder / "parent/tree").c_str(), true, &restoreError);
		const int32 stuck = ops::RemoveTree((folder / "parent/stuck").c_str(), true);
		return std::to_string(plain) + " " + std::to_string(removed) + " " + std::to_string(restoreError) + " " +
			std::to_string(stuck);
	});
	// Without force the closed folders stop the walk; with it they open, and
	// a folder of root's stays whatever nobody does, the parent getting its
	// mode back after the failure too.
	const std::string denied = std::to_string(EACCES);
	EXPECT_EQ(answer, denied + " 0 0 " + denied);
	EXPECT_EQ(testing::Mode(folder / "parent"), 0500u);
	::chmod((folder / "parent").c_str(), 0755);
	EXPECT_EQ(Names(folder / "parent"), Strings{"stuck"});
	EXPECT_EQ(Names(folder / "parent/stuck"), Strings{"root's"});
	EXPECT_EQ(ReadFile(folder / "outside/keep"), "not the tree's");
}

TEST(PosixRemoveTree, PermissionDeniedAsNobodyRemovesNothing)
{
	testing::UserIds nobody;
	std::string whyNot;
	if (!testing::FindNobody(nobody, whyNot))
		GTEST_SKIP() << whyNot;
	testing::TempFolder folder;
	::chmod(folder.Path().c_str(), 0755);
	ASSERT_EQ(::mkdir((folder / "tree").c_str(), 0755), 0);
	ASSERT_EQ(::mkdir((folder / "tree/sub").c_str(), 0755), 0);
	ASSERT_TRUE(WriteFile(folder / "tree/sub/file", "root's"));
	ASSERT_TRUE(WriteFile(folder / "tree/file", "root's"));
	const std::string answer = testing::RunInChild([&] {
		if (!testing::BecomeUser(nobody))
			return std::string("could not become nobody");
		return std::to_string(ops::RemoveTree((folder / "tree").c_str(), true));
	});
	EXPECT_EQ(answer, std::to_string(EACCES));
	EXPECT_EQ(Names(folder / "tree"), (Strings{"file", "sub"}));
	EXPECT_EQ(Names(folder / "tree/sub"), Strings{"file"});
}

TEST(PosixRemoveTree, AFolderPathThatIsALinkRemovesTheLinkOnly)
{
	testing::TempFolder folder;
	ASSERT_EQ(::mkdir((folder / "target").c_str(), 0755), 0);
	ASSERT_TRUE(WriteFile(folder / "target/file", "kept"));
	for (const char* path : {"link", "link/", "link//"}) {
		for (bool forced : {false, true}) {
			SCOPED_TRACE(std::string(path) + (forced ? ", forced" : ""));
			ASSERT_EQ(::symlink("target", (folder / "link").c_str()), 0);
			EXPECT_EQ(ops::RemoveTree((folder / path).c_str(), forced), 0);
			EXPECT_EQ(Names(folder.Path()), Strings{"target"});
			EXPECT_EQ(ReadFile(folder / "target/file"), "kept");
		}
	}
	ASSERT_TRUE(WriteFile(folder / "file", "a file"));
	EXPECT_EQ(ops::RemoveTree((folder / "file").c_str(), true), ENOTDIR);
	EXPECT_EQ(ops::RemoveTree((folder / "missing").c_str(), true), ENOENT);
	EXPECT_EQ(ops::RemoveTree((folder / "target/..").c_str(), true), EINVAL);
	EXPECT_EQ(ReadFile(folder / "file"), "a file");
}

TEST(PosixRemoveTree, ForcedClearsImmutableFlags)
{
	testing::TempFolder folder;
	ASSERT_EQ(::mkdir((folder / "tree").c_str(), 0755), 0);
	ASSERT_TRUE(WriteFile(folder / "tree/immutable", "locked"));
	const int file = ::open((folder / "tree/immutable").c_str(), O_RDONLY | O_CLOEXEC);
	int flags = 0;
	const bool locked = ::ioctl(file, FS_IOC_GETFLAGS, &flags) == 0 && (flags |= FS_IMMUTABLE_FL, true) &&
		::ioctl(file, FS_IOC_SETFLAGS, &flags) == 0;
	::close(file);
	if (!locked)
		GTEST_SKIP() << "no immutable flag here (not root, or the file system keeps none)";
	EXPECT_EQ(ops::RemoveTree((folder / "tree").c_str(), false), EPERM);
	EXPECT_EQ(ops::RemoveTree((folder / "tree").c_str(), true), 0);
	EXPECT_EQ(Names(folder.Path()), Strings{});
}

TEST(PosixRemoveTree, NeverEntersAFileSystemMountedInside)
{
	testing::TempFolder folder;
	ASSERT_EQ(::mkdir((folder / "tree").c_str(), 0755), 0);
	ASSERT_EQ(::mkdir((folder / "tree/mounted").c_str(), 0755), 0);
	ASSERT_EQ(::mkdir((folder / "elsewhere").c_str(), 0755), 0);
	ASSERT_TRUE(WriteFile(folder / "elsewhere/precious", "precious"));
	const std::string answer = testing::RunInChild([&] {
		if (std::string whyNot = testing::EnterPrivateMounts(); !whyNot.empty())
			return "skip: " + whyNot;
		if (::mount((folder / "elsewhere").c_str(), (folder / "tree/mounted").c_str(), nullptr, MS_BIND, nullptr) != 0)
			return std::string("skip: no bind mount");
		const int32 error = ops::RemoveTree((folder / "tree").c_str(), true);
		return std::to_string(error) + " " + ReadFile(folder / "tree/mounted/precious");
	});
	if (answer.rfind("skip: ", 0) == 0)
		GTEST_SKIP() << answer;
	EXPECT_EQ(answer, std::to_string(EBUSY) + " precious");
	EXPECT_EQ(ReadFile(folder / "elsewhere/precious"), "precious");
}

TEST(PosixRemoveTree, PathsLongerThanPathMax)
{
	testing::TempFolder folder;
	const std::string deep = testing::MakeDeepFolder(folder / "");
	ASSERT_TRUE(WriteFile(folder / "keep", "kept"));
	int descriptor = -1;
	ASSERT_EQ(ops::Open((deep + "/file").c_str(), ops::EAccess::kReadWriteExclusive, ops::kOpenCreate, descriptor), 0);
	::close(descriptor);
	// The deepest folder alone, then the whole chain.
	EXPECT_EQ(ops::RemoveTree(deep.c_str(), true), 0);
	EXPECT_EQ(ops::RemoveTree((folder / std::string(200, 'd')).c_str(), true), 0);
	EXPECT_EQ(Names(folder.Path()), Strings{"keep"});
}

// ---- Copy ------------------------------------------------------------------

timespec ModificationTime(const std::string& inPath)
{
	struct stat status{};
	::lstat(inPath.c_str(), &status);
	return status.st_mtim;
}

TEST(PosixCopyTree, CopiesEverythingWithModesTimesAndLinksAsLinks)
{
	testing::TempFolder folder;
	MakeOutside(folder / "outside");
	MakeTree(folder / "tree", folder / "outside");
	const timespec times[2] = {{1'500'000'000, 1}, {1'500'000'000, 999}};
	ASSERT_EQ(::utimensat(AT_FDCWD, (folder / "tree/Contents").c_str(), times, 0), 0);

	ASSERT_EQ(ops::CopyTree((folder / "tree").c_str(), (folder / "copy").c_str()), 0);
	EXPECT_EQ(Names(folder / "copy"), kTopNames);
	EXPECT_EQ(Names(folder / "copy/Contents"), (Strings{"locked", "up"}));
	EXPECT_EQ(ReadFile(folder / "copy/caf\xC3\xA9"), "composed");
	EXPECT_EQ(ReadFile(folder / "copy/cafe\xCC\x81"), "decomposed");
	EXPECT_EQ(ReadFile(folder / "copy/.hidden"), "hidden");
	EXPECT_EQ(testing::Mode(folder / "copy/a:b"), 0755u);
	EXPECT_EQ(testing::Mode(folder / "copy/Contents/locked"), 0555u);
	EXPECT_EQ(testing::Mode(folder / "copy/Contents/locked/closed"), 0u);
	EXPECT_EQ(testing::Mode(folder / "copy/Contents/locked/read-only"), 0444u);
	EXPECT_EQ(ReadFile(folder / "copy/Contents/locked/closed/inner"), "inner");
	EXPECT_EQ(testing::LinkText(folder / "copy/to-outside-folder"), folder / "outside");
	EXPECT_EQ(testing::LinkText(folder / "copy/cycle-a"), "cycle-b");
	EXPECT_EQ(testing::LinkText(folder / "copy/dangling"), "missing");
	EXPECT_EQ(testing::LinkText(folder / "copy/Contents/up"), "..");
	struct stat fifo{};
	EXPECT_TRUE(::lstat((folder / "copy/fifo").c_str(), &fifo) == 0 && S_ISFIFO(fifo.st_mode));
	EXPECT_EQ(ModificationTime(folder / "copy/Contents").tv_sec, 1'500'000'000);
	EXPECT_EQ(ModificationTime(folder / "copy/Contents").tv_nsec, 999);
	EXPECT_EQ(Names(folder / "outside"), Strings{"keep"});
	EXPECT_EQ(Names(folder.Path()), (Strings{"copy", "outside", "tree"}));
	EXPECT_EQ(ops::RemoveTree((folder / "copy").c_str(), true), 0);
	EXPECT_EQ(ops::RemoveTree((folder / "tree").c_str(), true), 0);
}

TEST(PosixCopyTree, RefusesATargetInsideTheSourceBeforeMakingAnything)
{
	testing::TempFolder folder;
	ASSERT_EQ(::mkdir((folder / "tree").c_str(), 0755), 0);
	ASSERT_EQ(::mkdir((folder / "tree/sub").c_str(), 0755), 0);
	ASSERT_EQ(::symlink("tree", (folder / "link").c_str()), 0);
	ASSERT_EQ(::mkdir((folder / "existing").c_str(), 0755), 0);
	struct Case {
		const char* fTarget;
		int32 fExpected;
	};
	const Case cases[] = {
		{"tree", EINVAL},
		{"tree/", EINVAL},
		{"tree/copy", EINVAL},
		{"tree/sub/copy", EINVAL},
		{"link/sub/copy", EINVAL}, // inside, reached through a link
		{"existing", EEXIST},
		{"missing/copy", ENOENT},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.fTarget);
		EXPECT_EQ(ops::CopyTree((folder / "tree").c_str(), (folder / test.fTarget).c_str()), test.fExpected);
		EXPECT_EQ(Names(folder / "tree"), Strings{"sub"});
		EXPECT_EQ(Names(folder / "tree/sub"), Strings{});
		EXPECT_EQ(Names(folder.Path()), (Strings{"existing", "link", "tree"}));
	}
	// A source that is a link is copied as the link.
	EXPECT_EQ(ops::CopyTree((folder / "link").c_str(), (folder / "tree/link-copy").c_str()), 0);
	EXPECT_EQ(testing::LinkText(folder / "tree/link-copy"), "tree");
}

TEST(PosixCopyTree, AFolderMetAgainIsNotEnteredTwice)
{
	testing::TempFolder folder;
	ASSERT_EQ(::mkdir((folder / "tree").c_str(), 0755), 0);
	ASSERT_EQ(::mkdir((folder / "tree/sub").c_str(), 0755), 0);
	ASSERT_EQ(::mkdir((folder / "tree/sub/loop").c_str(), 0755), 0);
	ASSERT_TRUE(WriteFile(folder / "tree/file", "file"));
	const std::string answer = testing::RunInChild([&] {
		if (std::string whyNot = testing::EnterPrivateMounts(); !whyNot.empty())
			return "skip: " + whyNot;
		if (::mount((folder / "tree").c_str(), (folder / "tree/sub/loop").c_str(), nullptr, MS_BIND, nullptr) != 0)
			return std::string("skip: no bind mount");
		std::string result = std::to_string(ops::CopyTree((folder / "tree").c_str(), (folder / "copy").c_str()));
		for (const std::string& name : Names(folder / "copy/sub"))
			result += " " + name;
		return result + " " + ReadFile(folder / "copy/file");
	});
	if (answer.rfind("skip: ", 0) == 0)
		GTEST_SKIP() << answer;
	EXPECT_EQ(answer, "0 file");
}

TEST(PosixCopyTree, PermissionDeniedAsNobodyLeavesNoTarget)
{
	testing::UserIds nobody;
	std::string whyNot;
	if (!testing::FindNobody(nobody, whyNot))
		GTEST_SKIP() << whyNot;
	testing::TempFolder folder;
	::chmod(folder.Path().c_str(), 0755);
	ASSERT_EQ(::mkdir((folder / "tree").c_str(), 0755), 0);
	ASSERT_TRUE(WriteFile(folder / "tree/a", "public"));
	ASSERT_EQ(::mkdir((folder / "tree/b").c_str(), 0755), 0);
	ASSERT_TRUE(WriteFile(folder / "tree/b/secret", "root's", 0600));
	ASSERT_EQ(::mkdir((folder / "open").c_str(), 0777), 0);
	::chmod((folder / "open").c_str(), 0777);
	const std::string answer = testing::RunInChild([&] {
		if (!testing::BecomeUser(nobody))
			return std::string("could not become nobody");
		return std::to_string(ops::CopyTree((folder / "tree").c_str(), (folder / "open/copy").c_str())) + " " +
			std::to_string(ops::CopyTree((folder / "tree").c_str(), (folder / "copy").c_str()));
	});
	EXPECT_EQ(answer, std::to_string(EACCES) + " " + std::to_string(EACCES));
	EXPECT_EQ(Names(folder / "open"), Strings{});
	EXPECT_EQ(Names(folder.Path()), (Strings{"open", "tree"}));
}

TEST(PosixCopyTree, PathsLongerThanPathMax)
{
	testing::TempFolder folder;
	ASSERT_EQ(::mkdir((folder / "tree").c_str(), 0755), 0);
	const std::string deep = testing::MakeDeepFolder(folder / "tree");
	ASSERT_TRUE(WriteFile(folder / "tree/top", "top"));
	int descriptor = -1;
	ASSERT_EQ(ops::Open((deep + "/bottom").c_str(), ops::EAccess::kReadWriteExclusive, ops::kOpenCreate, descriptor), 0);
	::close(descriptor);
	ASSERT_EQ(ops::CopyTree((folder / "tree").c_str(), (folder / "copy").c_str()), 0);
	const std::string copiedBottom = folder / "copy" + deep.substr((folder / "tree").size()) + "/bottom";
	ops::Times times;
	EXPECT_EQ(ops::GetTimes(copiedBottom.c_str(), false, times), 0);
	// And the copy of the deep folder alone, into a deep place.
	EXPECT_EQ(ops::CopyTree(deep.c_str(), (deep + "-copy").c_str()), 0);
	EXPECT_EQ(ops::GetTimes((deep + "-copy/bottom").c_str(), false, times), 0);
	EXPECT_EQ(ops::RemoveTree((folder / "copy").c_str(), true), 0);
	EXPECT_EQ(ops::RemoveTree((folder / "tree").c_str(), true), 0);
	EXPECT_EQ(Names(folder.Path()), Strings{});
}

} // namespace
} // namespace qirn
