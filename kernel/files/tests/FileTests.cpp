#include "core/VTime.h"
#include "files/FileErrorCodes.h"
#include "files/VFile.h"
#include "files/VFileDesc.h"
#include "files/VFileKind.h"
#include "files/VFileSystem.h"
#include "files/VFolder.h"
#include "files/VStream.h"
#include "files/tests/PosixFiles.h"
#include "testing/ProbeOutput.h"
#include "testing/RaisedErrors.h"
#include "testing/TempFolder.h"
#include "testing/TestChild.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace qirn {
namespace {

using testing::RaisedErrors;
using testing::ReadFile;
using testing::WriteFile;

constexpr VError Posix(int inErrno)
{
	return MAKE_VERROR('POSX', inErrno);
}

VRefPtr<VFile> FileAt(const std::string& inPath)
{
	return VRefPtr<VFile>::Adopt(new VFile(VFilePath(VString(inPath.c_str()), FPS_POSIX)));
}

VFilePath PathOf(const std::string& inPath)
{
	return VFilePath(VString(inPath.c_str()), FPS_POSIX);
}

// A refused copy or move names the file, keeps the system's cause below
// it, and leaves source and target as they were.
struct RefusedCase {
	const char* fName;
	bool fMove;
	bool fOntoItself; // else onto an existing other file
	uint32 fOptions;
	VError fCode;
	VError fCause;
};

class FileCopyMoveRefusals : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(FileCopyMoveRefusals, TouchNothing)
{
	const RefusedCase& row = GetParam();
	testing::TempFolder folder;
	ASSERT_TRUE(WriteFile(folder / "a.txt", "source"));
	ASSERT_TRUE(WriteFile(folder / "b.txt", "target"));
	const std::string target = row.fOntoItself ? folder / "a.txt" : folder / "b.txt";
	VRefPtr<VFile> source = FileAt(folder / "a.txt");
	RaisedErrors raised;
	VFile* out = reinterpret_cast<VFile*>(1);
	const VError error = row.fMove ? source->Move(PathOf(target), &out, row.fOptions)
								   : source->CopyTo(PathOf(target), &out, row.fOptions);
	EXPECT_EQ(error, row.fCode);
	EXPECT_EQ(out, nullptr);
	EXPECT_EQ(raised.Codes(), (std::vector<VError>{row.fCause, row.fCode}));
	EXPECT_EQ(ReadFile(folder / "a.txt"), "source");
	EXPECT_EQ(ReadFile(folder / "b.txt"), "target");
}

INSTANTIATE_TEST_SUITE_P(Cases, FileCopyMoveRefusals,
	::testing::Values(RefusedCase{"CopyOntoOther", false, false, 0, VE_FILE_CANNOT_COPY, Posix(EEXIST)},
					  RefusedCase{"MoveOntoOtherInFolder", true, false, 0, VE_FILE_CANNOT_MOVE, Posix(EEXIST)},
					  RefusedCase{"CopyOntoItself", false, true, 0, VE_FILE_CANNOT_COPY, Posix(EINVAL)},
					  RefusedCase{"CopyOntoItselfOverwrite", false, true, FCP_Overwrite, VE_FILE_CANNOT_COPY, Posix(EINVAL)},
					  RefusedCase{"MoveOntoItselfOverwrite", true, true, FCP_Overwrite, VE_FILE_CANNOT_MOVE, Posix(EINVAL)}),
	[](const auto& inInfo) { return std::string(inInfo.param.fName); });

TEST(File, CopyAndMoveReplaceOnlyWithOverwrite)
{
	testing::TempFolder folder;
	ASSERT_TRUE(WriteFile(folder / "a.txt", "source", 0640));
	ASSERT_TRUE(WriteFile(folder / "b.txt", "target"));
	VRefPtr<VFile> source = FileAt(folder / "a.txt");
	VFile* copy = nullptr;
	ASSERT_EQ(source->CopyTo(PathOf(folder / "b.txt"), &copy, FCP_Overwrite), VE_OK);
	ASSERT_NE(copy, nullptr);
	EXPECT_EQ(ReadFile(folder / "b.txt"), "source");
	uint16 mode = 0;
	EXPECT_EQ(copy->MAC_GetPermissions(&mode), VE_OK);
	EXPECT_EQ(mode, 0640);
	copy->Release();

	// Into a folder path: under the file's own name.
	::mkdir((folder / "sub").c_str(), 0755);
	VFile* moved = nullptr;
	ASSERT_EQ(source->Move(PathOf(folder / "sub/"), &moved, 0), VE_OK);
	ASSERT_NE(moved, nullptr);
	VString name;
	moved->GetPath().GetName(name);
	EXPECT_EQ(to_string(name), "a.txt");
	EXPECT_TRUE(moved->Exists());
	EXPECT_FALSE(source->Exists());
	moved->Release();
}

TEST(File, RenameNeverReplaces)
{
	testing::TempFolder folder;
	ASSERT_TRUE(WriteFile(folder / "a.txt", "a"));
	ASSERT_TRUE(WriteFile(folder / "b.txt", "b"));
	VRefPtr<VFile> file = FileAt(folder / "a.txt");
	RaisedErrors raised;
	VFile* out = nullptr;
	EXPECT_EQ(file->Rename(VString("b.txt"), &out), VE_FILE_CANNOT_RENAME);
	EXPECT_EQ(raised.Codes(), (std::vector<VError>{Posix(EEXIST), VE_FILE_CANNOT_RENAME}));
	EXPECT_EQ(ReadFile(folder / "b.txt"), "b");
	raised.Clear();
	ASSERT_EQ(file->Rename(VString("c.txt"), &out), VE_OK);
	ASSERT_NE(out, nullptr);
	EXPECT_EQ(ReadFile(folder / "c.txt"), "a");
	out->Release();
}

TEST(File, CreateOpenWriteRead)
{
	testing::TempFolder folder;
	VRefPtr<VFile> file = FileAt(folder / "new.bin");
	EXPECT_FALSE(file->Exists());
	ASSERT_EQ(file->Create(), VE_OK);
	EXPECT_TRUE(file->Exists());
	{
		RaisedErrors raised;
		EXPECT_EQ(file->Create(), VE_FILE_CANNOT_CREATE);
		EXPECT_EQ(raised.Codes(), (std::vector<VError>{Posix(EEXIST), VE_FILE_CANNOT_CREATE}));
	}
	VFileDesc* desc = nullptr;
	ASSERT_EQ(file->Open(FA_READ_WRITE, &desc), VE_OK);
	EXPECT_EQ(desc->PutDataAtPos("hello", 5), VE_OK);
	EXPECT_EQ(desc->PutDataAtPos(" world", 6), VE_OK);
	EXPECT_EQ(desc->GetPos(), 11);
	EXPECT_EQ(desc->GetSize(), 11);

	// A second exclusive opener is refused at once, not kept waiting.
	{
		RaisedErrors raised;
		VFileDesc* second = nullptr;
		EXPECT_EQ(file->Open(FA_READ_WRITE, &second, FO_Overwrite), MAKE_VERROR('qirn', 5));
		EXPECT_EQ(second, nullptr);
		EXPECT_EQ(raised.Codes().front(), Posix(EACCES));
		EXPECT_EQ(desc->GetSize(), 11); // not emptied by the refused opener
	}
	char buffer[32] = {};
	VSize read = 0;
	{
		RaisedErrors raised;
		EXPECT_EQ(desc->GetData(buffer, 20, 6, &read), VE_STREAM_EOF);
		EXPECT_EQ(read, 5u);
		EXPECT_EQ(std::string(buffer, read), "world");
		EXPECT_EQ(raised.Codes(), (std::vector<VError>{VE_STREAM_EOF}));
		raised.Clear();
		desc->SetPos(0);
		EXPECT_EQ(desc->GetDataAtPos(buffer, 20, 0, &read), VE_STREAM_EOF);
		EXPECT_EQ(read, 11u);
		EXPECT_TRUE(raised.Codes().empty());
	}
	delete desc;

	VMemoryBuffer<> content;
	ASSERT_EQ(file->GetContent(content), VE_OK);
	EXPECT_EQ(std::string(static_cast<const char*>(content.GetDataPtr()), content.GetDataSize()), "hello world");
	ASSERT_EQ(file->SetContent("xy", 2), VE_OK);
	ASSERT_EQ(file->AppendContent("z", 1), VE_OK);
	EXPECT_EQ(ReadFile(folder / "new.bin"), "xyz");
	{
		RaisedErrors raised;
		VSize got = 0;
		EXPECT_EQ(file->GetData(buffer, sizeof(buffer), &got), VE_STREAM_EOF);
		EXPECT_EQ(got, 3u);
		EXPECT_EQ(raised.Codes().size(), 1u);
	}
}

TEST(File, AccessMaxFallsBackToReading)
{
	testing::TempFolder folder;
	::chmod(folder.Path().c_str(), 0755);
	ASSERT_TRUE(WriteFile(folder / "ro.txt", "ro", 0444));
	const auto openMax = [&]() -> std::string {
		VFileDesc* desc = nullptr;
		if (FileAt(folder / "ro.txt")->Open(FA_MAX, &desc) != VE_OK)
			return "not opened";
		const FileAccess mode = desc->GetMode();
		delete desc;
		return mode == FA_READ ? "ok" : "opened for writing";
	};
	if (::geteuid() != 0) {
		EXPECT_EQ(openMax(), "ok");
		return;
	}
	// Root writes any file: the fallback shows as nobody.
	testing::UserIds nobody;
	std::string whyNot;
	if (!testing::FindNobody(nobody, whyNot))
		GTEST_SKIP() << whyNot;
	EXPECT_EQ(testing::RunInChild([&]() -> std::string {
		return testing::BecomeUser(nobody) ? openMax() : "cannot become nobody";
	}),
		"ok");
}

TEST(File, DeleteOfMissingIsNoErrorAndInvalidPathIs604)
{
	testing::TempFolder folder;
	RaisedErrors raised;
	EXPECT_EQ(FileAt(folder / "missing")->Delete(), VE_OK);
	EXPECT_TRUE(raised.Codes().empty());
	VRefPtr<VFile> invalid = VRefPtr<VFile>::Adopt(new VFile(VFilePath()));
	EXPECT_EQ(invalid->Delete(), VE_FILE_CANNOT_DELETE);
	ASSERT_TRUE(WriteFile(folder / "f", "x"));
	EXPECT_EQ(FileAt(folder / "f")->Delete(), VE_OK);
	EXPECT_EQ(::access((folder / "f").c_str(), F_OK), -1);
}

TEST(File, LinksAreAliases)
{
	testing::TempFolder folder;
	ASSERT_TRUE(WriteFile(folder / "target.txt", "t"));
	VRefPtr<VFile> plain = FileAt(folder / "target.txt");
	EXPECT_FALSE(plain->IsAliasFile());
	{
		RaisedErrors raised;
		VFilePath resolved;
		EXPECT_EQ(plain->ResolveAlias(resolved), VE_FILE_CANNOT_RESOLVE_ALIAS);
		EXPECT_TRUE(resolved.IsEmpty());
		EXPECT_EQ(raised.Codes(), (std::vector<VError>{VE_FILE_CANNOT_RESOLVE_ALIAS}));
	}
	::mkdir((folder / "sub").c_str(), 0755);
	VRefPtr<VFile> link = FileAt(folder / "sub/link");
	// Relative: written from the link's folder, so it survives moving both.
	ASSERT_EQ(link->MAC_CreateSymbolicLink(PathOf(folder / "target.txt"), true), VE_OK);
	char text[256] = {};
	ASSERT_GT(::readlink((folder / "sub/link").c_str(), text, sizeof(text)), 0);
	EXPECT_STREQ(text, "../target.txt");
	EXPECT_TRUE(link->IsAliasFile());
	EXPECT_TRUE(link->MAC_IsSymbolicLink());
	VFilePath resolved;
	ASSERT_EQ(link->ResolveAlias(resolved), VE_OK);
	EXPECT_EQ(to_string(resolved.GetPath(FPS_POSIX)), folder / "target.txt");

	ASSERT_EQ(link->MAC_CreateSymbolicLink(PathOf(folder / "target.txt"), false), VE_OK);
	ASSERT_GT(::readlink((folder / "sub/link").c_str(), text, sizeof(text)), 0);
	EXPECT_EQ(std::string(text), folder / "target.txt");

	// Without following, a link is refused as itself, never its target opened.
	{
		RaisedErrors raised;
		VFileDesc* desc = nullptr;
		EXPECT_NE(link->Open(FA_READ, &desc, 0), VE_OK);
		EXPECT_EQ(raised.Codes().front(), Posix(ELOOP));
	}

	// A link to a FIFO resolves without opening it (which would block).
	ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
	ASSERT_EQ(::symlink((folder / "fifo").c_str(), (folder / "to-fifo").c_str()), 0);
	ASSERT_EQ(FileAt(folder / "to-fifo")->ResolveAlias(resolved), VE_OK);
	EXPECT_EQ(to_string(resolved.GetPath(FPS_POSIX)), folder / "fifo");

	// ResolveAliasFile replaces the link by its target; a dangling one is
	// deleted when asked.
	VFile* file = new VFile(PathOf(folder / "sub/link"));
	ASSERT_EQ(VFile::ResolveAliasFile(&file, false), VE_OK);
	EXPECT_EQ(to_string(file->GetPath().GetPath(FPS_POSIX)), folder / "target.txt");
	file->Release();
	ASSERT_EQ(::symlink((folder / "nowhere").c_str(), (folder / "dangling").c_str()), 0);
	VRefPtr<VFile> dangling = FileAt(folder / "dangling");
	EXPECT_EQ(VFile::ResolveAliasFile(dangling, true), VE_OK);
	struct stat status{};
	EXPECT_NE(::lstat((folder / "dangling").c_str(), &status), 0);
}

TEST(File, ResolveAliasFileRefusesFoldersAndDanglingLinks)
{
	testing::TempFolder folder;
	::mkdir((folder / "dir").c_str(), 0755);
	ASSERT_EQ(::symlink((folder / "dir").c_str(), (folder / "to-dir").c_str()), 0);
	ASSERT_EQ(::symlink((folder / "nowhere").c_str(), (folder / "dangling").c_str()), 0);
	RaisedErrors raised;
	VFile* file = new VFile(PathOf(folder / "to-dir"));
	EXPECT_EQ(VFile::ResolveAliasFile(&file, false), VE_FILE_CANNOT_RESOLVE_ALIAS_TO_FILE);
	EXPECT_EQ(raised.Codes(), (std::vector<VError>{VE_FILE_CANNOT_RESOLVE_ALIAS_TO_FILE}));
	file->Release();
	raised.Clear();
	file = new VFile(PathOf(folder / "dangling"));
	EXPECT_EQ(VFile::ResolveAliasFile(&file, false), VE_FILE_NOT_FOUND);
	EXPECT_EQ(raised.Codes(), (std::vector<VError>{Posix(ENOENT), VE_FILE_NOT_FOUND}));
	EXPECT_TRUE(testing::Exists(folder / "dangling"));
	file->Release();
	raised.Clear();
	// Asked to, the unresolved link goes quietly (the file answered is the
	// link, now gone).
	VRefPtr<VFolder> parent = VRefPtr<VFolder>::Adopt(new VFolder(PathOf(folder / "")));
	VRefPtr<VFile> resolved = VRefPtr<VFile>::Adopt(VFile::CreateAndResolveAlias(*parent, VString("dangling")));
	ASSERT_TRUE(resolved);
	EXPECT_FALSE(resolved->Exists());
	EXPECT_FALSE(testing::Exists(folder / "dangling"));
	EXPECT_TRUE(raised.Codes().empty());
}

TEST(File, PermissionsTimesAndKinds)
{
	testing::TempFolder folder;
	ASSERT_TRUE(WriteFile(folder / "tool", "#!", 0600));
	VRefPtr<VFile> file = FileAt(folder / "tool");
	ASSERT_EQ(file->MAC_SetPermissions(0755), VE_OK);
	uint16 mode = 0;
	ASSERT_EQ(file->MAC_GetPermissions(&mode), VE_OK);
	EXPECT_EQ(mode, 0755);
	EXPECT_FALSE(file->MAC_IsWritableByAll());
	ASSERT_EQ(file->MAC_MakeWritableByAll(), VE_OK);
	EXPECT_TRUE(file->MAC_IsWritableByAll());

	VTime modified;
	modified.FromUTCTime(2020, 2, 29, 12, 30, 15, 250);
	ASSERT_EQ(file->SetTimeAttributes(&modified, nullptr, nullptr), VE_OK);
	VTime got;
	VTime created;
	ASSERT_EQ(file->GetTimeAttributes(&got, &created, nullptr), VE_OK);
	EXPECT_EQ(got.GetMilliseconds(), modified.GetMilliseconds());
	EXPECT_FALSE(created.IsNull());

	uint32 attributes = 0;
	ASSERT_EQ(FileAt(folder / "tool")->GetFileAttributes(attributes), VE_OK);
	EXPECT_EQ(attributes, 0u);
	ASSERT_TRUE(WriteFile(folder / ".hidden", ""));
	ASSERT_EQ(FileAt(folder / ".hidden")->GetFileAttributes(attributes), VE_OK);
	EXPECT_EQ(attributes, 2u);

	{
		RaisedErrors raised;
		VTime missing;
		EXPECT_NE(FileAt(folder / "missing")->GetTimeAttributes(&missing, nullptr, nullptr), VE_OK);
		EXPECT_TRUE(missing.IsNull());
		EXPECT_EQ(raised.Codes().front(), Posix(ENOENT));
	}

	// Forks: none on Linux.
	EXPECT_FALSE(file->HasResourceFork());
	sLONG8 forkSize = 7;
	EXPECT_EQ(file->GetResourceForkSize(&forkSize), VE_OK);
	EXPECT_EQ(forkSize, 0);
	{
		RaisedErrors raised;
		VFileDesc* desc = nullptr;
		EXPECT_NE(file->Open(FA_READ, &desc, FO_OpenResourceFork), VE_OK);
		EXPECT_EQ(raised.Codes().front(), Posix(ENOTSUP));
	}

	sLONG8 free = 0;
	sLONG8 total = 0;
	ASSERT_EQ(file->GetVolumeFreeSpace(&free, &total, true, 60000), VE_OK);
	EXPECT_GT(total, 0);
	EXPECT_LE(free, total);
}

// The volume answer kept for a while is taken and put back whole: callers
// on many threads never share or lose one.
TEST(File, VolumeSpaceFromManyThreads)
{
	testing::TempFolder folder;
	ASSERT_TRUE(WriteFile(folder / "f", "f"));
	VRefPtr<VFile> file = FileAt(folder / "f");
	std::vector<std::thread> threads;
	std::atomic<int> failures{0};
	for (int t = 0; t < 8; ++t)
		threads.emplace_back([&, t] {
			for (int i = 0; i < 200; ++i) {
				sLONG8 free = 0;
				sLONG8 total = 0;
				if (file->GetVolumeFreeSpace(&free, &total, (i + t) % 2 == 0, 1000) != VE_OK || total <= 0)
					++failures;
			}
		});
	for (std::thread& thread : threads)
		thread.join();
	EXPECT_EQ(failures.load(), 0);
}

TEST(File, ConformsByExtension)
{
	testing::TempFolder folder;
	VRefPtr<VFileKind> kind = VRefPtr<VFileKind>::Adopt(
		VFileKind::Create(VString("com.example.notes"), {}, VString("Notes"), {VString("notes")}, {}, false));
	ASSERT_TRUE(kind);
	EXPECT_TRUE(FileAt(folder / "a.NOTES")->ConformsTo(*kind));
	EXPECT_FALSE(FileAt(folder / "a.txt")->ConformsTo(*kind));
}

TEST(File, PathsPastPathMax)
{
	testing::TempFolder folder;
	const std::string deep = testing::MakeDeepFolder(folder.Path());
	ASSERT_GT(deep.size(), 4096u);
	VRefPtr<VFile> file = FileAt(deep + "/long.txt");
	ASSERT_EQ(file->SetContent("deep", 4), VE_OK);
	EXPECT_TRUE(file->Exists());
	VFile* copy = nullptr;
	ASSERT_EQ(file->CopyTo(PathOf(deep + "/copy.txt"), &copy, 0), VE_OK);
	VMemoryBuffer<> content;
	ASSERT_EQ(copy->GetContent(content), VE_OK);
	EXPECT_EQ(content.GetDataSize(), 4u);
	EXPECT_EQ(copy->Delete(), VE_OK);
	EXPECT_FALSE(copy->Exists());
	copy->Release();
}

TEST(File, PermissionDeniedAsNobodyKeepsCause)
{
	testing::UserIds nobody;
	std::string whyNot;
	if (!testing::FindNobody(nobody, whyNot))
		GTEST_SKIP() << whyNot;
	testing::TempFolder folder;
	::chmod(folder.Path().c_str(), 0755);
	ASSERT_TRUE(WriteFile(folder / "keep.txt", "keep", 0644));
	const std::string answer = testing::RunInChild([&]() -> std::string {
		if (!testing::BecomeUser(nobody))
			return "cannot become nobody";
		RaisedErrors raised;
		VRefPtr<VFile> file = FileAt(folder / "keep.txt");
		if (file->Delete() != MAKE_VERROR('qirn', 5))
			return "delete not refused";
		if (raised.Codes() != std::vector<VError>{Posix(EACCES), MAKE_VERROR('qirn', 5)})
			return "cause not kept";
		raised.Clear();
		VFile* out = nullptr;
		if (file->Move(PathOf(folder / "moved.txt"), &out, 0) == VE_OK)
			return "move not refused";
		if (raised.Codes().front() != Posix(EACCES))
			return "move cause not kept";
		return "ok";
	});
	EXPECT_EQ(answer, "ok");
	EXPECT_EQ(ReadFile(folder / "keep.txt"), "keep");
}

TEST(File, SetContentMakesMissingFolders)
{
	testing::TempFolder folder;
	VRefPtr<VFile> file = FileAt(folder / "a/b/c.txt");
	ASSERT_EQ(file->SetContent("abc", 3), VE_OK);
	EXPECT_EQ(ReadFile(folder / "a/b/c.txt"), "abc");
}

TEST(File, TemporaryFilesAreEmptyAndPrivate)
{
	VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(VFile::CreateTemporaryFile());
	ASSERT_TRUE(file);
	VString name;
	file->GetPath().GetName(name);
	const std::string text = to_string(name);
	ASSERT_EQ(text.size(), 36u) << text;
	EXPECT_EQ(text.substr(0, 4), "qrn_");
	EXPECT_EQ(text.find_first_not_of("0123456789ABCDEF", 4), std::string::npos) << text;
	VString posix;
	file->GetPlatformPath(posix, FPS_POSIX);
	struct stat status{};
	ASSERT_EQ(::stat(to_string(posix).c_str(), &status), 0);
	EXPECT_EQ(status.st_mode & 07777, 0600u);
	EXPECT_EQ(status.st_size, 0);
	EXPECT_EQ(file->Delete(), VE_OK);
}

TEST(File, CopiesKeepTheFileSystemOnlyInsideItsRoot)
{
	testing::TempFolder folder;
	::mkdir((folder / "root").c_str(), 0755);
	ASSERT_TRUE(WriteFile(folder / "root/a.txt", "a"));
	VRefPtr<VFolder> root = VRefPtr<VFolder>::Adopt(new VFolder(PathOf(folder / "root/")));
	VRefPtr<VFileSystem> fileSystem =
		VRefPtr<VFileSystem>::Adopt(VFileSystem::Create(VString("docs"), root.Get(), VFileSystem::kWritable));
	ASSERT_TRUE(fileSystem);
	VRefPtr<VFile> inFileSystem = VRefPtr<VFile>::Adopt(new VFile(PathOf(folder / "root/a.txt"), fileSystem.Get()));
	EXPECT_EQ(to_string(inFileSystem->GetPathWithFileSystem()), "/docs/a.txt");
	VFile* inside = nullptr;
	ASSERT_EQ(inFileSystem->CopyTo(PathOf(folder / "root/b.txt"), &inside, 0), VE_OK);
	EXPECT_EQ(inside->GetFileSystem(), fileSystem.Get());
	inside->Release();
	VFile* outside = nullptr;
	ASSERT_EQ(inFileSystem->CopyTo(PathOf(folder / "c.txt"), &outside, 0), VE_OK);
	EXPECT_EQ(outside->GetFileSystem(), nullptr);
	outside->Release();
	EXPECT_EQ(VRefPtr<IFolder>::Adopt(inFileSystem->RetainParentFolder(true))->GetFileSystem(), fileSystem.Get());
	VRefPtr<VFile> atRoot = VRefPtr<VFile>::Adopt(new VFile(PathOf(folder / "c.txt"), fileSystem.Get()));
	EXPECT_FALSE(VRefPtr<IFolder>::Adopt(atRoot->RetainParentFolder(true)));
}

// GLib reads HOME and XDG_* once: the trash runs in a probe with a home of
// its own, and the real trash is never touched.
TEST(FileTrash, MovesFilesAndLinksNotTheirTargets)
{
	testing::TempFolder folder;
	const std::string home = folder / "home";
	const std::string work = folder / "work";
	ASSERT_EQ(::mkdir(home.c_str(), 0755), 0);
	ASSERT_EQ(::mkdir(work.c_str(), 0755), 0);
	ASSERT_TRUE(WriteFile(work + "/file", "file"));
	ASSERT_TRUE(WriteFile(work + "/target", "target"));
	ASSERT_EQ(::symlink("target", (work + "/link").c_str()), 0);
	const testing::ProbeOutput output = testing::RunProbe(QIRN_PROBE_DIR "/qirn_probe_files",
		{work + "/file", work + "/link", work + "/missing"},
		{"HOME=" + home, "XDG_DATA_HOME=" + home + "/data", "XDG_CONFIG_HOME=" + home + "/config",
			"XDG_CACHE_HOME=" + home + "/cache", "GIO_USE_VFS=local", "LANG=C"});
	ASSERT_EQ(output.fExitCode, 0);
	const std::map<std::string, std::string> expected = {{"trash.1", "0"}, {"trash.2", "0"}, {"trash.3", "0"}};
	EXPECT_EQ(output.fValues, expected);
	EXPECT_EQ(ReadFile(home + "/data/Trash/files/file"), "file");
	EXPECT_EQ(testing::LinkText(home + "/data/Trash/files/link"), "target");
	EXPECT_EQ(ReadFile(work + "/target"), "target");
	EXPECT_FALSE(testing::Exists(work + "/file"));
	EXPECT_FALSE(testing::Exists(work + "/link"));
}

} // namespace
} // namespace qirn
