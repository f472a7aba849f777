// Named file systems over real temporary folders: "/name/rest" texts, parent
// namespaces, definition files and quotas.
#include "files/FolderErrorCodes.h"
#include "files/IFile.h"
#include "files/VFile.h"
#include "files/VFileSystem.h"
#include "files/VFileSystemNamespace.h"
#include "files/VFolder.h"
#include "files/tests/PosixFiles.h"
#include "json/VJSONObject.h"
#include "runtime/VErrorBase.h"
#include "testing/RaisedErrors.h"
#include "testing/TempFolder.h"
#include "testing/TestThreads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <sys/stat.h>

namespace qirn {
namespace {

using testing::WriteFile;

VRefPtr<VFolder> Folder(const std::string& inPath)
{
	return VRefPtr<VFolder>::Adopt(new VFolder(VString(inPath.c_str()) + CVSTR("/"), FPS_POSIX));
}

std::string Posix(const IFileSystemObject* inObject)
{
	if (inObject == nullptr)
		return "(none)";
	VString path;
	inObject->GetPlatformPath(path, FPS_POSIX);
	return to_string(path);
}

VRefPtr<VFileSystem> MakeFileSystem(const char* inName, VFolder* inRoot, uint32 inOptions, uint64 inQuota = 0,
									uint64 inUsed = 0)
{
	return VRefPtr<VFileSystem>::Adopt(VFileSystem::Create(VString(inName), inRoot, inOptions, inQuota, inUsed));
}

class FileSystemNamespace : public ::testing::Test {
protected:
	void SetUp() override
	{
		::mkdir((fFolder / "res").c_str(), 0755);
		::mkdir((fFolder / "res/a").c_str(), 0755);
		::mkdir((fFolder / "home").c_str(), 0755);
		ASSERT_TRUE(WriteFile(fFolder / "res/a/b.txt", "b"));
		ASSERT_EQ(fNamespace->RegisterFileSystem(VString("res"), Folder(fFolder / "res").Get(), 0), VE_OK);
		ASSERT_EQ(fNamespace->RegisterFileSystem(VString("home"), Folder(fFolder / "home").Get(),
												 VFileSystem::kHidden),
				  VE_OK);
	}

	std::string File(const char* inText, uint32 inOptions = 0, IFolder* inBase = nullptr, bool inFull = false)
	{
		VRefPtr<IFile> file =
			VRefPtr<IFile>::Adopt(fNamespace->RetainFile(VString(inText), inBase, inOptions, inFull));
		return Posix(file.Get());
	}
	std::string FolderText(const char* inText, uint32 inOptions = 0, IFolder* inBase = nullptr, bool inFull = false)
	{
		VRefPtr<IFolder> folder =
			VRefPtr<IFolder>::Adopt(fNamespace->RetainFolder(VString(inText), inBase, inOptions, inFull));
		return Posix(folder.Get());
	}

	testing::TempFolder fFolder;
	VRefPtr<VFileSystemNamespace> fNamespace = VRefPtr<VFileSystemNamespace>::Adopt(new VFileSystemNamespace());
};

TEST_F(FileSystemNamespace, TextsResolveInsideTheNamedFileSystemOnly)
{
	const std::string res = fFolder / "res";
	struct Case {
		const char* fText;
		uint32 fOptions;
		std::string fFile;
		std::string fFolder;
	} cases[] = {
		{"/res/a/b.txt", 0, res + "/a/b.txt", res + "/a/b.txt/"},
		{"/res/a/./c/../b.txt", 0, res + "/a/b.txt", res + "/a/b.txt/"},
		{"/res/a/", 0, "(none)", res + "/a/"},
		{"/res/", 0, "(none)", res + "/"},
		{"/res", 0, "(none)", res + "/"},
		{"/res/../x", 0, "(none)", "(none)"},
		{"/res/a/../../x", 0, "(none)", "(none)"},
		{"/nobody/x", 0, "(none)", "(none)"},
		{"//x", 0, "(none)", "(none)"},
		{"", 0, "(none)", "(none)"},
		{"/home/x.txt", 0, fFolder / "home/x.txt", fFolder / "home/x.txt/"},
		{"/home/x.txt", VFileSystemNamespace::kSkipHidden, "(none)", "(none)"},
		{"a/b.txt", 0, "(none)", "(none)"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fText);
		EXPECT_EQ(File(c.fText, c.fOptions), c.fFile);
		EXPECT_EQ(FolderText(c.fText, c.fOptions), c.fFolder);
	}
}

TEST_F(FileSystemNamespace, ResolvedObjectsBelongToTheirFileSystem)
{
	VRefPtr<IFile> file = VRefPtr<IFile>::Adopt(fNamespace->RetainFile(VString("/res/a/b.txt"), nullptr, 0, false));
	ASSERT_TRUE(file);
	ASSERT_NE(file->GetFileSystem(), nullptr);
	EXPECT_EQ(to_string(file->GetFileSystem()->GetName()), "res");
	EXPECT_EQ(to_string(file->GetPathWithFileSystem()), "/res/a/b.txt");
	VRefPtr<IFolder> root = VRefPtr<IFolder>::Adopt(fNamespace->RetainFolder(VString("/res/"), nullptr, 0, false));
	ASSERT_TRUE(root);
	EXPECT_EQ(root->GetFileSystem(), file->GetFileSystem());
	// The file system keeps its objects from climbing above its root.
	EXPECT_FALSE(VRefPtr<IFolder>::Adopt(root->RetainParentFolder(true)));
}

TEST_F(FileSystemNamespace, BaseRelativeAndFullPosixTexts)
{
	VRefPtr<VFolder> base = Folder(fFolder / "res/a");
	EXPECT_EQ(File("b.txt", 0, base.Get()), fFolder / "res/a/b.txt");
	EXPECT_EQ(FolderText("sub", 0, base.Get()), fFolder / "res/a/sub/");
	const std::string full = fFolder / "res/a/b.txt";
	// A full POSIX path only when allowed and without a base.
	EXPECT_EQ(File(full.c_str(), 0, nullptr, true), full);
	EXPECT_EQ(File(full.c_str(), 0, nullptr, false), "(none)");
	EXPECT_EQ(File(full.c_str(), 0, base.Get(), true), "(none)");
	EXPECT_EQ(FolderText((fFolder / "res").c_str(), 0, nullptr, true), fFolder / "res/");
	// A text naming a file system wins over the full path it could also be.
	EXPECT_EQ(File("/res/a/b.txt", 0, nullptr, true), fFolder / "res/a/b.txt");

	// Without a namespace, the other forms still resolve.
	VRefPtr<IFile> noNamespace = VRefPtr<IFile>::Adopt(
		VFileSystemNamespace::RetainFile(nullptr, VString(full.c_str()), nullptr, 0, true));
	EXPECT_EQ(Posix(noNamespace.Get()), full);
	EXPECT_FALSE(VRefPtr<IFile>::Adopt(VFileSystemNamespace::RetainFile(nullptr, VString("/res/a/b.txt"), nullptr, 0, false)));
	VRefPtr<IFolder> relative = VRefPtr<IFolder>::Adopt(
		VFileSystemNamespace::RetainFolder(nullptr, VString("x"), base.Get(), 0, false));
	EXPECT_EQ(Posix(relative.Get()), fFolder / "res/a/x/");
}

TEST_F(FileSystemNamespace, ParentsAreSearchedOnlyWhenAsked)
{
	VRefPtr<VFileSystemNamespace> child = VRefPtr<VFileSystemNamespace>::Adopt(new VFileSystemNamespace(fNamespace.Get()));
	::mkdir((fFolder / "mine").c_str(), 0755);
	ASSERT_EQ(child->RegisterFileSystem(VString("res"), Folder(fFolder / "mine").Get(), 0), VE_OK);
	constexpr uint32 kParents = VFileSystemNamespace::kSearchParents;
	constexpr uint32 kSkipHidden = VFileSystemNamespace::kSkipHidden;

	VRefPtr<VFileSystem> own = VRefPtr<VFileSystem>::Adopt(child->RetainFileSystem(VString("res"), kParents));
	ASSERT_TRUE(own);
	EXPECT_EQ(Posix(VRefPtr<VFolder>::Adopt(own->RetainRootFolder()).Get()), fFolder / "mine/");
	EXPECT_FALSE(VRefPtr<VFileSystem>::Adopt(child->RetainFileSystem(VString("home"), 0)));
	EXPECT_TRUE(VRefPtr<VFileSystem>::Adopt(child->RetainFileSystem(VString("home"), kParents)));
	EXPECT_FALSE(VRefPtr<VFileSystem>::Adopt(child->RetainFileSystem(VString("home"), kParents | kSkipHidden)));
	EXPECT_EQ(Posix(VRefPtr<VFolder>::Adopt(child->RetainFileSystemRootFolder(VString("home"), kParents)).Get()),
			  fFolder / "home/");

	VFileSystemNamespace::FileSystemMap map;
	child->RetainMapOfFileSystems(map, kParents);
	ASSERT_EQ(map.size(), 2u);
	EXPECT_EQ(map[VString("res")].Get(), own.Get());
	map.clear();
	child->RetainMapOfFileSystems(map, kParents | kSkipHidden);
	EXPECT_EQ(map.size(), 1u);
	map.clear();
	child->RetainMapOfFileSystems(map, 0);
	EXPECT_EQ(map.size(), 1u);
}

TEST_F(FileSystemNamespace, RegistrationReplacesAndUnregisters)
{
	::mkdir((fFolder / "gone").c_str(), 0755);
	VRefPtr<VFileSystem> first = MakeFileSystem("scratch", Folder(fFolder / "gone").Get(), VFileSystem::kDeleteRootAtEnd);
	fNamespace->RegisterFileSystem(first.Get());
	first = nullptr;
	ASSERT_TRUE(testing::Exists(fFolder / "gone"));
	// The replaced one is released: its root goes with it.
	ASSERT_EQ(fNamespace->RegisterFileSystem(VString("scratch"), Folder(fFolder / "res").Get(), 0), VE_OK);
	EXPECT_FALSE(testing::Exists(fFolder / "gone"));
	EXPECT_EQ(File("/scratch/a/b.txt"), fFolder / "res/a/b.txt");
	fNamespace->RegisterFileSystem(nullptr);
	fNamespace->UnregisterFileSystem(VString("scratch"));
	fNamespace->UnregisterFileSystem(VString("scratch"));
	EXPECT_EQ(File("/scratch/a/b.txt"), "(none)");

	testing::RaisedErrors errors;
	EXPECT_EQ(fNamespace->RegisterFileSystem(VString("a/b"), Folder(fFolder / "res").Get(), 0),
			  VE_FILE_SYSTEM_BAD_NAME);
	EXPECT_EQ(fNamespace->RegisterFileSystem(VString(""), Folder(fFolder / "res").Get(), 0), VE_FILE_SYSTEM_BAD_NAME);
	EXPECT_EQ(errors.Codes(), (std::vector<VError>{VE_FILE_SYSTEM_BAD_NAME, VE_FILE_SYSTEM_BAD_NAME}));
}

class FileSystemDefinitions : public FileSystemNamespace {
protected:
	VError Load(const std::string& inText)
	{
		const std::string path = fFolder / "fileSystems.json";
		EXPECT_TRUE(WriteFile(path, inText));
		VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(VString(path.c_str()), FPS_POSIX));
		return fNamespace->LoadFromDefinitionFile(file.Get());
	}
	std::string Root(const char* inName)
	{
		return Posix(VRefPtr<VFolder>::Adopt(
						 fNamespace->RetainFileSystemRootFolder(VString(inName), VFileSystemNamespace::kSearchParents))
						 .Get());
	}
	uint32 Options(const char* inName)
	{
		VRefPtr<VFileSystem> fileSystem = VRefPtr<VFileSystem>::Adopt(fNamespace->RetainFileSystem(VString(inName), 0));
		return fileSystem ? fileSystem->GetOptions() : 0xFFFFFFFF;
	}
};

TEST_F(FileSystemDefinitions, EachDefinitionThatCanBeMadeIsRegistered)
{
	const std::string data = fFolder / "data";
	testing::RaisedErrors errors;
	ASSERT_EQ(Load(R"([
		{"name": "data", "path": ")" + data + R"(", "writable": true},
		{"name": "logs", "path": "a/logs/", "parent": "res"},
		{"name": "later", "path": "x", "parent": "data"},
		{"name": "orphan", "path": "x/", "parent": "nobody"},
		{"name": "nopath"},
		{"name": "emptypath", "path": ""},
		{"name": "relative", "path": "not/absolute"},
		{"name": "numberpath", "path": 12},
		{"name": "climbs", "path": "../../", "parent": "res"},
		{"name": "flag", "path": "/tmp/", "writable": "yes"},
		{"path": "/tmp/"},
		{"name": "a/b", "path": "/tmp/"},
		42, "text", null
	])"),
			  VE_OK);
	EXPECT_EQ(Root("data"), data + "/");
	EXPECT_EQ(Options("data"), VFileSystem::kWritable);
	EXPECT_EQ(Root("logs"), fFolder / "res/a/logs/");
	EXPECT_EQ(Root("later"), data + "/x/");
	EXPECT_EQ(Options("flag"), 0u);
	for (const char* skipped : {"orphan", "nopath", "emptypath", "relative", "numberpath", "climbs"}) {
		SCOPED_TRACE(skipped);
		EXPECT_EQ(Root(skipped), "(none)");
	}
	// Only the names that cannot be names are reported.
	EXPECT_EQ(errors.Codes(), (std::vector<VError>{VE_FILE_SYSTEM_BAD_NAME, VE_FILE_SYSTEM_BAD_NAME}));
	// A definition's file system resolves texts like any other.
	ASSERT_TRUE(WriteFile(fFolder / "res/a/logs.txt", "x"));
	::mkdir((fFolder / "res/a/logs").c_str(), 0755);
	EXPECT_EQ(File("/logs/today.txt"), fFolder / "res/a/logs/today.txt");
}

TEST_F(FileSystemDefinitions, FilesThatAreNoArrayOrDoNotParse)
{
	testing::RaisedErrors errors;
	EXPECT_EQ(Load(R"({"name": "x", "path": "/tmp/"})"), VE_OK);
	EXPECT_EQ(Root("x"), "(none)");
	EXPECT_EQ(Load("[]"), VE_OK);
	EXPECT_TRUE(errors.Codes().empty());

	// Definitions are read strictly: names must be quoted.
	EXPECT_NE(Load(R"([{name: "x", "path": "/tmp/"}])"), VE_OK);
	EXPECT_EQ(Root("x"), "(none)");
	ASSERT_FALSE(errors.Codes().empty());
	EXPECT_EQ(errors.Last(), VE_FILE_SYSTEM_BAD_DEFINITIONS);
	VString path;
	errors.LastError()->GetParameters()->GetProperty(VString("path")).GetString(path);
	EXPECT_EQ(to_string(path), to_string(VFilePath(VString((fFolder / "fileSystems.json").c_str()), FPS_POSIX).GetPath()));

	errors.Clear();
	VRefPtr<VFile> missing =
		VRefPtr<VFile>::Adopt(new VFile(VString((fFolder / "none.json").c_str()), FPS_POSIX));
	EXPECT_NE(fNamespace->LoadFromDefinitionFile(missing.Get()), VE_OK);
	EXPECT_EQ(errors.Last(), VE_FILE_SYSTEM_BAD_DEFINITIONS);

	errors.Clear();
	EXPECT_EQ(fNamespace->LoadFromDefinitionFile(nullptr), VE_UNKNOWN_ERROR);
	EXPECT_EQ(errors.Last(), VE_UNKNOWN_ERROR);
	fNamespace->LoadFromJSONArray(nullptr);
}

// ---- Quotas -------------------------------------------------------------------

TEST(FileSystemQuota, RequestsAndRelinquishments)
{
	testing::TempFolder folder;
	VRefPtr<VFolder> root = Folder(folder.Path());
	struct Case {
		const char* fName;
		uint32 fOptions;
		uint64 fQuota;
		uint64 fUsed;
		uint64 fRequest;
		VError fAnswer;
		uint64 fFreeAfter;
	} cases[] = {
		{"read-only", 0, 100, 0, 1, VE_FILE_SYSTEM_NOT_WRITABLE, 100},
		{"no quota", VFileSystem::kWritable, 0, 0, 1ull << 40, VE_OK, 0},
		{"within", VFileSystem::kWritable, 100, 30, 70, VE_OK, 0},
		{"beyond", VFileSystem::kWritable, 100, 30, 71, VE_FILE_SYSTEM_QUOTA_EXCEEDED, 70},
		// Made with more in use than its quota: nothing free, not a huge number.
		{"over at creation", VFileSystem::kWritable, 100, 150, 1, VE_FILE_SYSTEM_QUOTA_EXCEEDED, 0},
		{"nothing over", VFileSystem::kWritable, 100, 150, 0, VE_OK, 0},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VRefPtr<VFileSystem> fileSystem = MakeFileSystem("q", root.Get(), c.fOptions, c.fQuota, c.fUsed);
		EXPECT_EQ(fileSystem->GetQuota(), c.fQuota);
		EXPECT_EQ(fileSystem->Request(c.fRequest), c.fAnswer);
		EXPECT_EQ(fileSystem->GetFreeQuota(), c.fFreeAfter);
	}

	VRefPtr<VFileSystem> over = MakeFileSystem("over", root.Get(), VFileSystem::kWritable, 100, 150);
	EXPECT_EQ(over->Relinquish(40), VE_OK);
	EXPECT_EQ(over->GetFreeQuota(), 0u); // 110 still in use
	EXPECT_EQ(over->Relinquish(40), VE_OK);
	EXPECT_EQ(over->GetFreeQuota(), 30u);
	EXPECT_EQ(over->Relinquish(1000), VE_OK);
	EXPECT_EQ(over->GetFreeQuota(), 100u); // never more than the quota
	EXPECT_EQ(MakeFileSystem("ro", root.Get(), 0, 100, 0)->Relinquish(1), VE_FILE_SYSTEM_NOT_WRITABLE);
}

TEST(FileSystemQuota, ManyTasksNeverGrantMoreThanTheQuota)
{
	testing::TempFolder folder;
	VRefPtr<VFileSystem> fileSystem = MakeFileSystem("q", Folder(folder.Path()).Get(), VFileSystem::kWritable, 1000, 0);
	std::atomic<uint64> granted{0};
	// Each task takes what it can, then gives back half of it: every byte
	// granted is accounted for, and none beyond the quota.
	testing::RunOnThreads(4, [&](int) {
		uint64 mine = 0;
		for (int i = 0; i < 2000; ++i) {
			if (fileSystem->Request(3) == VE_OK)
				mine += 3;
			if (i % 2 == 1 && mine >= 3) {
				EXPECT_EQ(fileSystem->Relinquish(3), VE_OK);
				mine -= 3;
			}
		}
		granted += mine;
	});
	EXPECT_LE(granted.load(), 1000u);
	EXPECT_EQ(fileSystem->GetFreeQuota(), 1000u - granted.load());
}

} // namespace
} // namespace qirn
