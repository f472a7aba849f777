#include "core/VTime.h"
#include "files/FolderErrorCodes.h"
#include "files/VFileError.h"
#include "files/VFileSystem.h"
#include "files/VFolder.h"
#include "files/VFolderIterator.h"
#include "files/VURL.h"
#include "files/tests/PosixFiles.h"
#include "runtime/VErrorBase.h"
#include "testing/RaisedErrors.h"
#include "testing/ScopedEnvironment.h"
#include "testing/TempFolder.h"
#include "testing/TestChild.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace qirn {
namespace {

using testing::Exists;
using testing::Names;
using testing::ReadFile;
using testing::WriteFile;

constexpr VError Posix(int32 inErrno)
{
	return MAKE_VERROR(kCOMPONENT_SIGNATURE_POSIX, inErrno);
}

constexpr VError Kernel(int32 inNumber)
{
	return MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, inNumber);
}

// A folder on a POSIX path (a final '/' added).
VRefPtr<VFolder> Folder(const std::string& inPath)
{
	return VRefPtr<VFolder>::Adopt(new VFolder(VString(inPath.c_str()) + CVSTR("/"), FPS_POSIX));
}

std::string PosixPath(const VFolder& inFolder)
{
	VString path;
	inFolder.GetPlatformPath(path, FPS_POSIX);
	std::string bytes(path.GetLength() * 3 + 1, '\0');
	bytes.resize(path.ToBlock(bytes.data(), bytes.size(), VTC_UTF_8, false, false));
	return bytes;
}

bool MakeFolder(const std::string& inPath, mode_t inMode = 0755)
{
	return ::mkdir(inPath.c_str(), inMode) == 0 && ::chmod(inPath.c_str(), inMode) == 0;
}

class Folders : public ::testing::Test {
protected:
	std::string Path(const std::string& inName) const { return fTemp / inName; }
	// a/ holding f.txt, .hidden, sub/g.txt and sub/deeper/
	std::string MakeTree(const std::string& inName)
	{
		const std::string root = Path(inName);
		EXPECT_TRUE(MakeFolder(root));
		EXPECT_TRUE(WriteFile(root + "/f.txt", "f"));
		EXPECT_TRUE(WriteFile(root + "/.hidden", "h"));
		EXPECT_TRUE(MakeFolder(root + "/sub"));
		EXPECT_TRUE(WriteFile(root + "/sub/g.txt", "g"));
		EXPECT_TRUE(MakeFolder(root + "/sub/deeper"));
		return root;
	}

	testing::TempFolder fTemp;
	testing::RaisedErrors fErrors;
};

TEST_F(Folders, CreateRecursiveMakesTheMissingParentsAndLeavesAnExistingFolder)
{
	VRefPtr<VFolder> deep = Folder(Path("x/y/z"));
	EXPECT_FALSE(deep->Exists());
	EXPECT_EQ(deep->CreateRecursive(true), VE_OK);
	EXPECT_TRUE(deep->Exists());
	EXPECT_EQ(testing::Mode(Path("x/y")), 0777u);
	EXPECT_EQ(deep->CreateRecursive(true), VE_OK);
	EXPECT_EQ(deep->Create(), VE_OK);
	// A file path never names a folder, even where one is.
	VRefPtr<VFolder> asFile =
		VRefPtr<VFolder>::Adopt(new VFolder(VFilePath(VString(Path("x").c_str()), FPS_POSIX)));
	EXPECT_FALSE(asFile->Exists());
	EXPECT_TRUE(fErrors.Codes().empty());
}

TEST_F(Folders, CreateOverAFileFailsWithTheSystemsCause)
{
	ASSERT_TRUE(WriteFile(Path("plain"), "x"));
	EXPECT_EQ(Folder(Path("plain"))->Create(), Kernel(652));
	EXPECT_EQ(fErrors.Codes(), (std::vector<VError>{Posix(EEXIST), Kernel(652)}));
}

TEST_F(Folders, DeleteRefusesAFullFolderWithoutTheFlagAndEmptiesItWith)
{
	const std::string root = MakeTree("a");
	VRefPtr<VFolder> folder = Folder(root);
	EXPECT_FALSE(folder->IsEmpty());
	EXPECT_EQ(folder->Delete(false), Kernel(651));
	EXPECT_TRUE(Exists(root + "/sub/g.txt"));
	EXPECT_EQ(folder->Delete(true), VE_OK);
	EXPECT_FALSE(Exists(root));
	// Missing: the system's ENOENT becomes the kernel's 600.
	fErrors.Clear();
	EXPECT_EQ(folder->Delete(false), Kernel(600));
	EXPECT_EQ(fErrors.Codes(), (std::vector<VError>{Posix(ENOENT), Kernel(600)}));
	EXPECT_EQ(folder->MoveToTrash(), VE_OK); // nothing to trash
}

TEST_F(Folders, AFolderHoldingOnlyAHiddenFileIsNotEmpty)
{
	ASSERT_TRUE(MakeFolder(Path("h")));
	ASSERT_TRUE(WriteFile(Path("h/.DS_Store"), ""));
	EXPECT_FALSE(Folder(Path("h"))->IsEmpty());
	EXPECT_TRUE(Folder(Path("missing"))->IsEmpty());
}

TEST_F(Folders, DeleteContentsRemovesLinksAsLinks)
{
	const std::string root = MakeTree("a");
	const std::string outside = MakeTree("outside");
	ASSERT_EQ(::symlink(outside.c_str(), (root + "/sub/to-outside").c_str()), 0);
	EXPECT_EQ(Folder(root)->DeleteContents(true), VE_OK);
	EXPECT_TRUE(Names(root).empty());
	EXPECT_EQ(Names(outside), (std::vector<std::string>{".hidden", "f.txt", "sub"}));
}

// Removing a folder whose path is a link must never empty the folder the
// link leads to.
TEST_F(Folders, DeletingAFolderThatIsALinkRemovesTheLinkOnly)
{
	const std::string target = MakeTree("target");
	const struct {
		const char* fName;
		VError (*fDelete)(const VFolder&);
	} cases[] = {
		{"Delete(true)", [](const VFolder& inFolder) { return inFolder.Delete(true); }},
		{"DeleteForced", [](const VFolder& inFolder) { return inFolder.DeleteForced(); }},
	};
	for (const auto& entry : cases) {
		SCOPED_TRACE(entry.fName);
		ASSERT_EQ(::symlink(target.c_str(), Path("link").c_str()), 0);
		EXPECT_EQ(entry.fDelete(*Folder(Path("link"))), VE_OK);
		EXPECT_FALSE(Exists(Path("link")));
		EXPECT_EQ(Names(target), (std::vector<std::string>{".hidden", "f.txt", "sub"}));
		EXPECT_TRUE(Exists(target + "/sub/g.txt"));
	}
	// Without the flag a link is no folder to remove: refused, both kept.
	ASSERT_EQ(::symlink(target.c_str(), Path("link").c_str()), 0);
	EXPECT_EQ(Folder(Path("link"))->Delete(false), Kernel(651));
	EXPECT_TRUE(Exists(Path("link")));
	EXPECT_TRUE(Exists(target + "/f.txt"));
}

TEST_F(Folders, DeleteForcedRemovesReadOnlyTreesAndGivesTheParentItsModeBack)
{
	const std::string parent = Path("parent");
	ASSERT_TRUE(MakeFolder(parent));
	const std::string root = parent + "/tree";
	ASSERT_TRUE(MakeFolder(root));
	ASSERT_TRUE(MakeFolder(root + "/locked"));
	ASSERT_TRUE(WriteFile(root + "/locked/f", "f", 0400));
	ASSERT_EQ(::chmod((root + "/locked").c_str(), 0500), 0);
	ASSERT_EQ(::chmod(parent.c_str(), 0500), 0);
	EXPECT_EQ(Folder(root)->DeleteForced(), VE_OK);
	EXPECT_FALSE(Exists(root));
	EXPECT_EQ(testing::Mode(parent), 0500u);
	::chmod(parent.c_str(), 0755);
}

TEST_F(Folders, DeleteForcedAsNobodyRemovesNothingAndKeepsTheCause)
{
	testing::UserIds nobody;
	std::string whyNot;
	if (!testing::FindNobody(nobody, whyNot))
		GTEST_SKIP() << whyNot;
	ASSERT_EQ(::chmod(fTemp.Path().c_str(), 0755), 0);
	const std::string root = MakeTree("roots");
	const std::string answer = testing::RunInChild([&] {
		if (!testing::BecomeUser(nobody))
			return std::string("no nobody");
		testing::RaisedErrors errors;
		const VError result = Folder(root)->DeleteForced();
		std::string text = std::to_string(ERRCODE_FROM_VERROR(result));
		for (const VError code : errors.Codes())
			text += " " + std::to_string(COMPONENT_FROM_VERROR(code) == kCOMPONENT_SIGNATURE_POSIX) + ":" +
					std::to_string(ERRCODE_FROM_VERROR(code));
		return text;
	});
	// EACCES is the kernel's 5, with the system's cause beneath it.
	EXPECT_EQ(answer, "5 1:" + std::to_string(EACCES) + " 0:5");
	EXPECT_TRUE(Exists(root + "/sub/g.txt"));
	EXPECT_TRUE(Exists(root + "/f.txt"));
}

// The parent opened up for the walk gets its mode back even when the walk
// fails.
TEST_F(Folders, AFailedForcedDeleteStillGivesTheParentItsModeBack)
{
	testing::UserIds nobody;
	std::string whyNot;
	if (!testing::FindNobody(nobody, whyNot))
		GTEST_SKIP() << whyNot;
	ASSERT_EQ(::chmod(fTemp.Path().c_str(), 0755), 0);
	const std::string parent = Path("parent");
	const std::string tree = parent + "/tree";
	ASSERT_TRUE(MakeFolder(parent));
	ASSERT_TRUE(MakeFolder(tree));
	ASSERT_TRUE(MakeFolder(tree + "/roots"));
	ASSERT_TRUE(WriteFile(tree + "/roots/kept", "kept"));
	ASSERT_EQ(::chown(parent.c_str(), nobody.fUser, nobody.fGroup), 0);
	ASSERT_EQ(::chown(tree.c_str(), nobody.fUser, nobody.fGroup), 0);
	ASSERT_EQ(::chmod(parent.c_str(), 0500), 0);
	const std::string answer = testing::RunInChild([&] {
		if (!testing::BecomeUser(nobody))
			return std::string("no nobody");
		return std::to_string(Folder(tree)->DeleteForced() != VE_OK);
	});
	EXPECT_EQ(answer, "1");
	EXPECT_EQ(testing::Mode(parent), 0500u);
	EXPECT_EQ(ReadFile(tree + "/roots/kept"), "kept");
}

TEST_F(Folders, RenameNeverReplacesAndNamesTheNewName)
{
	MakeTree("a");
	ASSERT_TRUE(MakeFolder(Path("taken")));
	VFolder* renamed = nullptr;
	EXPECT_EQ(Folder(Path("a"))->Rename(CVSTR("taken"), &renamed), Kernel(657));
	EXPECT_EQ(renamed, nullptr);
	ASSERT_EQ(fErrors.Codes(), (std::vector<VError>{Posix(EEXIST), Kernel(657)}));
	EXPECT_TRUE(Exists(Path("a/f.txt")));
	fErrors.Clear();
	EXPECT_EQ(Folder(Path("a"))->Rename(CVSTR("b"), &renamed), VE_OK);
	ASSERT_NE(renamed, nullptr);
	EXPECT_EQ(PosixPath(*renamed), Path("b") + "/");
	EXPECT_TRUE(renamed->Exists());
	renamed->Release();
	EXPECT_EQ(ReadFile(Path("b/sub/g.txt")), "g");
}

TEST_F(Folders, MoveTakesTheOwnNameOrTheOneGivenAndNeverReplaces)
{
	MakeTree("a");
	ASSERT_TRUE(MakeFolder(Path("into")));
	VFolder* moved = nullptr;
	EXPECT_EQ(Folder(Path("a"))->Move(*Folder(Path("into")), &moved), VE_OK);
	ASSERT_NE(moved, nullptr);
	EXPECT_EQ(PosixPath(*moved), Path("into/a") + "/");
	moved->Release();
	EXPECT_EQ(Folder(Path("into/a"))->Move(*Folder(fTemp.Path()), CVSTR("b"), nullptr), VE_OK);
	EXPECT_EQ(ReadFile(Path("b/sub/g.txt")), "g");
	ASSERT_TRUE(MakeFolder(Path("c")));
	EXPECT_EQ(Folder(Path("b"))->Move(*Folder(fTemp.Path()), CVSTR("c"), nullptr), Kernel(657));
	EXPECT_TRUE(Exists(Path("b/f.txt")));
}

TEST_F(Folders, MoveAcrossFileSystemsCopiesThenRemovesTheSource)
{
	if (!Exists("/dev/shm"))
		GTEST_SKIP() << "no /dev/shm";
	testing::TempFolder other("/dev/shm");
	struct stat here{}, there{};
	if (::stat(fTemp.Path().c_str(), &here) != 0 || ::stat(other.Path().c_str(), &there) != 0 ||
		here.st_dev == there.st_dev)
		GTEST_SKIP() << "/dev/shm is on the same file system";
	MakeTree("a");
	EXPECT_EQ(Folder(Path("a"))->Move(*Folder(other.Path()), nullptr), VE_OK);
	EXPECT_FALSE(Exists(Path("a")));
	EXPECT_EQ(ReadFile(other / "a/sub/g.txt"), "g");
	EXPECT_EQ(ReadFile(other / "a/.hidden"), "h");
}

// A copy that does not fit: an error, the source whole. What the item by
// item copy had made before the disk filled stays (the caller removes it).
TEST_F(Folders, ACopyOntoAFullDiskFailsAndLeavesTheSourceWhole)
{
	const std::string root = MakeTree("a");
	ASSERT_TRUE(WriteFile(root + "/sub/big", std::string(512 * 1024, 'b')));
	const std::string small = Path("small");
	ASSERT_TRUE(MakeFolder(small));
	const std::string answer = testing::RunInChild([&] {
		if (std::string why = testing::EnterPrivateMounts(); !why.empty())
			return "skip: " + why;
		if (std::string why = testing::MountTmpfs(small, 64 * 1024); !why.empty())
			return "skip: " + why;
		testing::RaisedErrors errors;
		const VError result = Folder(root)->CopyTo(*Folder(small), nullptr, VFolder::kCopyReplace);
		std::string text = result == VE_OK ? "copied" : "failed";
		for (const VError code : errors.Codes())
			if (code == Posix(ENOSPC))
				text += " ENOSPC";
		return text;
	});
	if (answer.rfind("skip: ", 0) == 0)
		GTEST_SKIP() << answer;
	EXPECT_EQ(answer, "failed ENOSPC");
	EXPECT_EQ(ReadFile(root + "/sub/big").size(), 512u * 1024u);
	EXPECT_EQ(Names(root), (std::vector<std::string>{".hidden", "f.txt", "sub"}));
}

// Replacing a target that is the source, or that holds it, would delete the
// source before anything is copied.
TEST_F(Folders, CopyRefusesATargetThatIsOrHoldsOrLiesInTheSource)
{
	const std::string root = MakeTree("a");
	ASSERT_TRUE(MakeFolder(root + "/sub/deeper/b"));
	ASSERT_TRUE(WriteFile(root + "/sub/deeper/b/kept", "kept"));
	ASSERT_EQ(::symlink(root.c_str(), Path("link-to-a").c_str()), 0);
	const struct {
		const char* fCase;
		std::string fSource;
		std::string fDestination;
		const char* fName;
	} cases[] = {
		{"the source itself", root, fTemp.Path(), "a"},
		{"a folder holding the source", root + "/sub/deeper/b", Path("a"), "sub"},
		{"into the source", root, root, "copy"},
		{"into a sub-folder", root, root + "/sub", "copy"},
		{"the source through a link", root, fTemp.Path(), "link-to-a"},
		{"into the source through a link", root, Path("link-to-a/sub"), "copy"},
	};
	for (const auto& entry : cases) {
		SCOPED_TRACE(entry.fCase);
		fErrors.Clear();
		VFolder* copy = reinterpret_cast<VFolder*>(1);
		EXPECT_EQ(Folder(entry.fSource)->CopyTo(*Folder(entry.fDestination), VString(entry.fName), &copy,
					  VFolder::kCopyReplace),
			Kernel(660));
		EXPECT_EQ(copy, nullptr);
		ASSERT_EQ(fErrors.Codes(), std::vector<VError>{Kernel(660)});
		EXPECT_TRUE(Exists(root + "/sub/deeper/b/kept"));
		EXPECT_EQ(Names(root), (std::vector<std::string>{".hidden", "f.txt", "sub"}));
	}
	// Contents into the source itself: refused before the destination is made.
	EXPECT_EQ(Folder(root)->CopyContentsTo(*Folder(root + "/new"), 0), Kernel(660));
	EXPECT_FALSE(Exists(root + "/new"));
}

TEST_F(Folders, CopyWithReplaceTakesTheSourcesContentsOnly)
{
	const std::string root = MakeTree("a");
	ASSERT_TRUE(MakeFolder(Path("dest")));
	ASSERT_TRUE(MakeFolder(Path("dest/a")));
	ASSERT_TRUE(WriteFile(Path("dest/a/stale"), "stale"));
	ASSERT_TRUE(WriteFile(Path("dest/a/f.txt"), "old"));
	VFolder* copy = nullptr;
	EXPECT_EQ(Folder(root)->CopyTo(*Folder(Path("dest")), &copy, VFolder::kCopyReplace), VE_OK);
	ASSERT_NE(copy, nullptr);
	EXPECT_EQ(PosixPath(*copy), Path("dest/a") + "/");
	copy->Release();
	EXPECT_EQ(Names(Path("dest/a")), (std::vector<std::string>{".hidden", "f.txt", "sub"}));
	EXPECT_EQ(ReadFile(Path("dest/a/f.txt")), "f");
	EXPECT_EQ(ReadFile(Path("dest/a/sub/g.txt")), "g");
	EXPECT_TRUE(Exists(Path("dest/a/sub/deeper")));
}

TEST_F(Folders, CopyWithoutReplaceMergesAndStopsAtTheFirstFailureUnlessKeepGoing)
{
	const std::string root = MakeTree("a");
	ASSERT_TRUE(WriteFile(root + "/z.txt", "z"));
	ASSERT_TRUE(MakeFolder(Path("dest")));
	ASSERT_TRUE(MakeFolder(Path("dest/a")));
	ASSERT_TRUE(WriteFile(Path("dest/a/f.txt"), "mine"));
	ASSERT_TRUE(WriteFile(Path("dest/a/z.txt"), "mine too"));
	EXPECT_EQ(Folder(root)->CopyTo(*Folder(Path("dest")), nullptr, VFolder::kCopyKeepGoing), Kernel(605));
	EXPECT_EQ(ReadFile(Path("dest/a/f.txt")), "mine");
	EXPECT_EQ(ReadFile(Path("dest/a/z.txt")), "mine too");
	EXPECT_EQ(ReadFile(Path("dest/a/.hidden")), "h"); // the others were copied
	EXPECT_EQ(ReadFile(Path("dest/a/sub/g.txt")), "g");
	// The failure names the file, the destination and the options.
	ASSERT_GE(fErrors.Codes().size(), 2u);
	EXPECT_EQ(fErrors.Codes()[0], Posix(EEXIST));
}

TEST_F(Folders, CopyCanLeaveHiddenItemsOut)
{
	const std::string root = MakeTree("a");
	ASSERT_TRUE(MakeFolder(root + "/.git"));
	EXPECT_EQ(Folder(root)->CopyTo(*Folder(fTemp.Path()), CVSTR("b"), nullptr, VFolder::kCopyWithoutHidden), VE_OK);
	EXPECT_EQ(Names(Path("b")), (std::vector<std::string>{"f.txt", "sub"}));
}

TEST_F(Folders, CopyOfAMissingFolderIs650)
{
	EXPECT_EQ(Folder(Path("missing"))->CopyContentsTo(*Folder(Path("dest")), 0), Kernel(650));
	EXPECT_FALSE(Exists(Path("dest")));
}

TEST_F(Folders, NamesWithColonsLeadingDotsAndBothUnicodeFormsSurviveACopy)
{
	const std::string root = Path("names");
	ASSERT_TRUE(MakeFolder(root));
	const std::string composed = "caf\xC3\xA9";	   // NFC
	const std::string decomposed = "cafe\xCC\x81"; // NFD
	for (const std::string& name : {composed, decomposed, std::string("a:b"), std::string(".dot")})
		ASSERT_TRUE(MakeFolder(root + "/" + name));
	ASSERT_TRUE(WriteFile(root + "/" + composed + "/in", composed));
	ASSERT_TRUE(WriteFile(root + "/" + decomposed + "/in", decomposed));

	std::set<std::string> seen;
	for (VFolderIterator folder(Folder(root).Get(), 2 | 8); folder.Current() != nullptr; ++folder) {
		EXPECT_TRUE(folder->Exists());
		seen.insert(PosixPath(*folder.Current()));
	}
	EXPECT_EQ(seen, (std::set<std::string>{root + "/" + composed + "/", root + "/" + decomposed + "/",
						root + "/a:b/", root + "/.dot/"}));
	// The kernel's name of "a:b" holds '/' in place of ':'.
	VString name;
	Folder(root + "/a:b")->GetName(name);
	EXPECT_TRUE(name.EqualToStringRaw(CVSTR("a/b")));

	EXPECT_EQ(Folder(root)->CopyTo(*Folder(fTemp.Path()), CVSTR("copy"), nullptr, 0), VE_OK);
	EXPECT_EQ(Names(Path("copy")), Names(root));
	EXPECT_EQ(ReadFile(Path("copy/" + composed + "/in")), composed);
	EXPECT_EQ(ReadFile(Path("copy/" + decomposed + "/in")), decomposed);
}

TEST_F(Folders, TheIteratorCountsItsItemsAndHasNoTimeWithoutOne)
{
	ASSERT_TRUE(MakeFolder(Path("empty")));
	VFolderIterator none(Folder(Path("empty")).Get(), 2);
	EXPECT_EQ(none.Current(), nullptr);
	EXPECT_EQ(none.GetIndex(), 0);
	EXPECT_EQ(none.GetTime(nullptr, nullptr, nullptr), Kernel(3));

	MakeTree("a");
	VFolderIterator some(Folder(Path("a")).Get(), 2 | 4); // files are never yielded here
	ASSERT_NE(some.Current(), nullptr);
	EXPECT_EQ(some.GetIndex(), 1);
	VTime modified;
	EXPECT_EQ(some.GetTime(&modified, nullptr, nullptr), VE_OK);
	EXPECT_EQ(PosixPath(*some.Current()), Path("a/sub") + "/");
	++some;
	EXPECT_EQ(some.Current(), nullptr);
}

TEST_F(Folders, RecursiveWalksResolvingLinksDoNotLoopOnLinkCycles)
{
	const std::string root = MakeTree("a");
	ASSERT_EQ(::symlink("..", (root + "/sub/up").c_str()), 0);
	ASSERT_EQ(::symlink(root.c_str(), (root + "/sub/deeper/top").c_str()), 0);
	std::vector<std::string> seen;
	EXPECT_TRUE(Folder(root)->IterateFolders(
		[&](IFolder* inFolder, IFileAttributeAccessor*) {
			seen.push_back(PosixPath(*static_cast<VFolder*>(inFolder)));
			return seen.size() < 100;
		},
		1 | 16));
	std::sort(seen.begin(), seen.end());
	// Each link is handed over (as its target) but not walked again.
	EXPECT_EQ(seen, (std::vector<std::string>{root + "/", root + "/", root + "/sub/", root + "/sub/deeper/"}));
}

TEST_F(Folders, FileWalksGoDownOnceAndHandOverLinksAsFiles)
{
	const std::string root = MakeTree("a");
	ASSERT_EQ(::symlink("..", (root + "/sub/up").c_str()), 0);
	std::vector<std::string> seen;
	EXPECT_TRUE(Folder(root)->IterateFiles(
		[&](IFile* inFile, IFileAttributeAccessor* inAccessor) {
			VString path;
			inFile->GetPlatformPath(path, FPS_POSIX);
			std::string bytes(path.GetLength() * 3 + 1, '\0');
			bytes.resize(path.ToBlock(bytes.data(), bytes.size(), VTC_UTF_8, false, false));
			seen.push_back(bytes);
			VTime modified;
			EXPECT_EQ(inAccessor->GetTime(&modified, nullptr, nullptr), VE_OK);
			return seen.size() < 100;
		},
		1));
	std::sort(seen.begin(), seen.end());
	EXPECT_EQ(seen, (std::vector<std::string>{root + "/f.txt", root + "/sub/g.txt", root + "/sub/up"}));
	EXPECT_FALSE(Folder(Path("missing"))->IterateFiles([](IFile*, IFileAttributeAccessor*) { return true; }, 1));
}

TEST_F(Folders, ALinkInAFoldersPlaceResolvesToItsTargetOrIsRemoved)
{
	MakeTree("a");
	ASSERT_EQ(::symlink(Path("a").c_str(), Path("to-a").c_str()), 0);
	VFolder* folder = VFolder::CreateAndResolveAlias(*Folder(fTemp.Path()), CVSTR("to-a"));
	ASSERT_NE(folder, nullptr);
	EXPECT_EQ(PosixPath(*folder), Path("a") + "/");
	folder->Release();
	// A link to a file is no folder: deleted with the flag, refused without.
	ASSERT_TRUE(WriteFile(Path("plain"), "p"));
	ASSERT_EQ(::symlink(Path("plain").c_str(), Path("to-plain").c_str()), 0);
	folder = Folder(Path("to-plain")).Retain();
	EXPECT_EQ(VFolder::ResolveAliasFolder(&folder, false), Kernel(618));
	EXPECT_TRUE(Exists(Path("to-plain")));
	EXPECT_EQ(VFolder::ResolveAliasFolder(&folder, true), VE_OK);
	EXPECT_FALSE(Exists(Path("to-plain")));
	EXPECT_TRUE(Exists(Path("plain")));
	folder->Release();
}

TEST_F(Folders, AFunctionAnsweringFalseEndsTheWholeWalk)
{
	const std::string root = MakeTree("a");
	ASSERT_TRUE(MakeFolder(root + "/other"));
	int calls = 0;
	Folder(root)->IterateFolders([&](IFolder*, IFileAttributeAccessor*) { return ++calls < 1; }, 1);
	EXPECT_EQ(calls, 1);
}

TEST_F(Folders, PathsPastTheSystemsLimitAreCreatedWalkedCopiedAndRemoved)
{
	ASSERT_TRUE(MakeFolder(Path("top")));
	const std::string deep = testing::MakeDeepFolder(Path("top"));
	ASSERT_GT(deep.size(), static_cast<size_t>(PATH_MAX));
	VRefPtr<VFolder> folder = Folder(deep + "/leaf");
	EXPECT_EQ(folder->Create(), VE_OK);
	EXPECT_TRUE(folder->Exists());
	EXPECT_EQ(Folder(deep + "/leaf/inner")->Create(), VE_OK);
	VFolderIterator inside(folder.Get(), 2);
	ASSERT_NE(inside.Current(), nullptr);
	EXPECT_EQ(PosixPath(*inside.Current()), deep + "/leaf/inner/");
	EXPECT_EQ(folder->CopyTo(*Folder(deep), CVSTR("copy"), nullptr, 0), VE_OK);
	EXPECT_TRUE(Folder(deep + "/copy/inner")->Exists());
	EXPECT_EQ(Folder(Path("top"))->DeleteForced(), VE_OK);
	EXPECT_FALSE(Exists(Path("top")));
}

TEST_F(Folders, ParentsAndRelativeFoldersKeepToTheFileSystem)
{
	MakeTree("a");
	VRefPtr<VFolder> a = Folder(Path("a"));
	VRefPtr<VFolder> sub = VRefPtr<VFolder>::Adopt(a->RetainRelativeFolder(CVSTR("sub"), FPS_POSIX));
	ASSERT_TRUE(sub);
	EXPECT_TRUE(sub->Exists());
	VRefPtr<VFolder> parent = VRefPtr<VFolder>::Adopt(sub->RetainParentFolder());
	ASSERT_TRUE(parent);
	EXPECT_TRUE(parent->IsSameFolder(a.Get()));
}

TEST_F(Folders, AFileSystemKeepsItsFoldersInsideItsRoot)
{
	const std::string root = MakeTree("root");
	const std::string outside = MakeTree("outside");
	ASSERT_EQ(::symlink(outside.c_str(), (root + "/out").c_str()), 0);
	VRefPtr<VFileSystem> fileSystem =
		VRefPtr<VFileSystem>::Adopt(VFileSystem::Create(CVSTR("fs"), Folder(root).Get(), 0));
	ASSERT_TRUE(fileSystem);
	VRefPtr<VFolder> top = VRefPtr<VFolder>::Adopt(fileSystem->RetainRootFolder());
	ASSERT_TRUE(top);
	EXPECT_EQ(top->GetFileSystem(), fileSystem.Get());
	EXPECT_EQ(top->RetainParentFolder(true), nullptr);
	VRefPtr<VFolder> parent = VRefPtr<VFolder>::Adopt(top->RetainParentFolder(false));
	ASSERT_TRUE(parent);
	EXPECT_EQ(parent->GetFileSystem(), nullptr);
	EXPECT_EQ(top->RetainRelativeFolder(CVSTR("../outside"), FPS_POSIX), nullptr);
	VRefPtr<VFolder> sub = VRefPtr<VFolder>::Adopt(top->RetainRelativeFolder(CVSTR("sub"), FPS_POSIX));
	ASSERT_TRUE(sub);
	EXPECT_EQ(sub->GetFileSystem(), fileSystem.Get());
	VString withFileSystem = sub->GetPathWithFileSystem();
	EXPECT_TRUE(withFileSystem.EqualToStringRaw(CVSTR("/fs/sub/")));
	// A link leading out of the root is not given out when links resolve.
	std::set<std::string> seen;
	for (VFolderIterator folder(top.Get(), 2 | 16); folder.Current() != nullptr; ++folder)
		seen.insert(PosixPath(*folder.Current()));
	EXPECT_EQ(seen, std::set<std::string>{root + "/sub/"});
	// With option 4 the root goes with the file system.
	MakeTree("scratch");
	VFileSystem::Create(CVSTR("scratch"), Folder(Path("scratch")).Get(), VFileSystem::kDeleteRootAtEnd)->Release();
	EXPECT_FALSE(Exists(Path("scratch")));
	// A name holding '/' is refused.
	EXPECT_EQ(VFileSystem::Create(CVSTR("a/b"), top.Get(), 0), nullptr);
	EXPECT_EQ(fErrors.Last(), Kernel(686));
}

TEST_F(Folders, PathsAndURLsStartFromAFolder)
{
	VRefPtr<VFolder> base = Folder("/base");
	const VFilePath path(*base, CVSTR("x/y.txt"), FPS_POSIX);
	EXPECT_TRUE(path.IsFile());
	VString posix;
	path.GetPosixPath(posix);
	EXPECT_TRUE(posix.EqualToStringRaw(CVSTR("/base/x/y.txt")));
	const struct {
		EURLPathStyle fStyle;
		const char* fText;
	} cases[] = {{eURL_POSIX_STYLE, "sub/f.txt"}, {eURL_WIN_STYLE, "sub\\f.txt"}, {eURL_HFS_STYLE, "sub:f.txt"}};
	for (const auto& entry : cases) {
		SCOPED_TRACE(entry.fText);
		VString url;
		VURL(*base, VString(entry.fText), entry.fStyle).GetAbsoluteURL(url, false);
		EXPECT_TRUE(url.EqualToStringRaw(CVSTR("file:///base/sub/f.txt")));
	}
}

TEST_F(Folders, RevealWithoutASessionBusFailsAtOnce)
{
	testing::ScopedEnvironment environment;
	environment.Remove("DBUS_SESSION_BUS_ADDRESS");
	environment.Remove("XDG_RUNTIME_DIR");
	MakeTree("a");
	EXPECT_FALSE(Folder(Path("a"))->RevealInFinder(false));
	EXPECT_EQ(fErrors.Codes(), (std::vector<VError>{Posix(ENOTCONN), Kernel(656)}));
}

} // namespace
} // namespace qirn
