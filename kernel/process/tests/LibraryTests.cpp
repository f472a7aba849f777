// Loadable libraries: a plain shared library (a module the build makes,
// copied without its execute bits), application bundles and frameworks
// built here around it, one carrying its links as "XSym" text files.
#include "core/StStringConverter.h"
#include "files/FileErrorCodes.h"
#include "files/VFile.h"
#include "files/VFolder.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "process/VLibrary.h"
#include "runtime/VErrorBase.h"
#include "testing/RaisedErrors.h"
#include "testing/TempFolder.h"
#include "testing/TestChild.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace qirn {
namespace {

const std::string kSharedLibrary = QIRN_PROBE_DIR "/libqirn_module_sharedlib.so";

std::string UTF8(const VString& inText)
{
	StStringConverter<char> utf8(inText, VTC_UTF_8);
	return utf8.GetCPointer();
}

VFilePath FilePath(const std::string& inPosixPath)
{
	return VFilePath(VString(inPosixPath.c_str()), FPS_POSIX);
}

// A copy of the test library with the given mode.
std::string CopyLibrary(const std::string& inPath, mode_t inMode)
{
	std::filesystem::create_directories(std::filesystem::path(inPath).parent_path());
	std::filesystem::copy_file(kSharedLibrary, inPath);
	::chmod(inPath.c_str(), inMode);
	return inPath;
}

mode_t ModeOf(const std::string& inPath)
{
	struct stat status{};
	::lstat(inPath.c_str(), &status);
	return status.st_mode & 07777;
}

int CallAnswer(const VLibrary& inLibrary)
{
	const auto answer = reinterpret_cast<int (*)()>(inLibrary.GetProcAddress(VString("qirn_library_answer")));
	return answer != nullptr ? answer() : -1;
}

std::string FolderOf(const VLibrary& inLibrary, BundleFolderKind inKind)
{
	VFolder* folder = inLibrary.RetainFolder(inKind);
	if (folder == nullptr)
		return "null";
	const std::string path = UTF8(folder->GetPath().GetPath(FPS_POSIX));
	folder->Release();
	return path;
}

TEST(Library, APlainLibraryGetsItsReadAndExecuteBitsAndLoads)
{
	testing::TempFolder temp;
	const std::string path = CopyLibrary(temp / "libplain.so", 0600);
	VLibrary* library = new VLibrary(FilePath(path));
	EXPECT_EQ(library->GetProcAddress(VString("qirn_library_answer")), nullptr);
	EXPECT_FALSE(library->IsLoaded());
	ASSERT_TRUE(library->Load());
	EXPECT_EQ(ModeOf(path), 0755u);
	EXPECT_EQ(CallAnswer(*library), 42);
	EXPECT_EQ(library->GetProcAddress(VString("no_such_symbol")), nullptr);
	EXPECT_TRUE(library->Load());
	// A plain library is no bundle.
	EXPECT_EQ(FolderOf(*library, kBUNDLE_FOLDER), "null");
	EXPECT_EQ(library->RetainExecutableFile(), nullptr);
	EXPECT_EQ(library->RetainResourceFile(), nullptr);
	EXPECT_TRUE(library->IsSameFile(FilePath(path)));
	EXPECT_FALSE(library->IsSameFile(FilePath(temp / "LIBPLAIN.so")));
	library->Unload();
	EXPECT_FALSE(library->IsLoaded());
	EXPECT_EQ(library->GetProcAddress(VString("qirn_library_answer")), nullptr);
	library->Release();
}

// The bits are added when the process may; another user's library loads as
// it is.
TEST(Library, BitsThatCannotBeAddedDoNotFailTheLoad)
{
	testing::UserIds nobody;
	std::string whyNot;
	if (!testing::FindNobody(nobody, whyNot))
		GTEST_SKIP() << whyNot;
	testing::TempFolder temp;
	::chmod(temp.Path().c_str(), 0755);
	const std::string path = CopyLibrary(temp / "librooted.so", 0644);
	const std::string answer = testing::RunInChild([&] {
		if (!testing::BecomeUser(nobody))
			return std::string("no drop");
		VLibrary* library = new VLibrary(FilePath(path));
		const bool loaded = library->Load();
		const int value = CallAnswer(*library);
		library->Release();
		return std::string(loaded ? "loaded " : "failed ") + std::to_string(value);
	});
	EXPECT_EQ(answer, "loaded 42");
	EXPECT_EQ(ModeOf(path), 0644u);
}

TEST(Library, AFailedLoadRaisesItsReason)
{
	testing::TempFolder temp;
	std::ofstream(temp / "notalib.so") << "not a shared library";
	struct Case {
		const char* fName;
		std::string fPath;
	};
	const Case cases[] = {
		{"missing file", temp / "missing.so"},
		{"not a library", temp / "notalib.so"},
		{"missing bundle", temp / "Missing.app/"},
		{"bundle without Info.plist", temp.Path() + "/"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		testing::RaisedErrors errors;
		VLibrary* library = new VLibrary(FilePath(c.fPath));
		EXPECT_FALSE(library->Load());
		EXPECT_FALSE(library->IsLoaded());
		ASSERT_EQ(errors.Last(), VE_LIBRARY_CANNOT_LOAD);
		VString reason;
		errors.LastError()->GetParameters()->GetProperty(VString("reason")).GetString(reason);
		EXPECT_FALSE(reason.IsEmpty());
		library->Release();
	}
}

TEST(Library, AnApplicationBundleLoadsItsExecutableAndKnowsItsFolders)
{
	testing::TempFolder temp;
	const std::string bundle = temp / "Plug.bundle";
	CopyLibrary(bundle + "/Contents/MacOS/plug", 0644);
	std::ofstream(bundle + "/Contents/Info.plist")
		<< "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>\n"
		   "<key>CFBundleExecutable</key><string>plug</string>\n</dict></plist>\n";
	VLibrary* library = new VLibrary(FilePath(bundle + "/"));
	EXPECT_EQ(FolderOf(*library, kBUNDLE_FOLDER), "null");
	ASSERT_TRUE(library->Load());
	EXPECT_EQ(CallAnswer(*library), 42);
	// An application bundle's executable is left as it is.
	EXPECT_EQ(ModeOf(bundle + "/Contents/MacOS/plug"), 0644u);
	VFile* executable = library->RetainExecutableFile();
	ASSERT_NE(executable, nullptr);
	EXPECT_EQ(UTF8(executable->GetPath().GetPath(FPS_POSIX)), bundle + "/Contents/MacOS/plug");
	executable->Release();
	struct Case {
		int32 fKind;
		std::string fFolder;
	};
	const Case cases[] = {
		{1, bundle + "/"},
		{2, bundle + "/Contents/MacOS/"},
		{3, bundle + "/Contents/Resources/"},
		{4, "null"},
		{5, bundle + "/Contents/PlugIns/"},
		{6, bundle + "/Contents/Frameworks/"},
		{7, bundle + "/Contents/"},
		{8, "null"},
		{0, "null"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fKind);
		EXPECT_EQ(FolderOf(*library, static_cast<BundleFolderKind>(c.fKind)), c.fFolder);
	}
	library->Release();
}

void WriteText(const std::string& inPath, const std::string& inText)
{
	std::filesystem::create_directories(std::filesystem::path(inPath).parent_path());
	std::ofstream(inPath, std::ios::binary) << inText;
}

std::string LinkTarget(const std::string& inPath)
{
	std::error_code error;
	return std::filesystem::is_symlink(inPath, error) ? std::filesystem::read_symlink(inPath, error).string() : "";
}

// A framework copied without its links: "XSym" text files stand for them,
// the fourth line naming the target.
TEST(Library, AFrameworkGetsItsLinksBackAndLoads)
{
	testing::TempFolder temp;
	const std::string framework = temp / "Kit.framework";
	CopyLibrary(framework + "/Versions/A/Kit", 0400);
	std::filesystem::create_directories(framework + "/Versions/A/Resources");
	WriteText(framework + "/Versions/Current", "XSym\n0001\n0cc175b9c0f1b6a831c399e269772661\nA\n          \n");
	WriteText(framework + "/Resources", "XSym\n0019\n00000000000000000000000000000000\nVersions/Current/Resources\n");
	WriteText(framework + "/Kit", "XSym\r\n0017\r\nffff\r\nVersions/Current/Kit\r\n");

	VLibrary* library = new VLibrary(FilePath(framework + "/"));
	ASSERT_TRUE(library->Load());
	EXPECT_EQ(LinkTarget(framework + "/Versions/Current"), "A");
	EXPECT_EQ(LinkTarget(framework + "/Resources"), "Versions/Current/Resources");
	EXPECT_EQ(LinkTarget(framework + "/Kit"), "Versions/Current/Kit");
	EXPECT_EQ(CallAnswer(*library), 42);
	// The executable got read and execute for its owner.
	EXPECT_EQ(ModeOf(framework + "/Versions/A/Kit"), 0500u);
	EXPECT_EQ(FolderOf(*library, kBUNDLE_EXECUTABLE_FOLDER), framework + "/");
	EXPECT_EQ(FolderOf(*library, kBUNDLE_RESOURCES_FOLDER), framework + "/Resources/");
	EXPECT_EQ(FolderOf(*library, kBUNDLE_SUPPORT_FOLDER), framework + "/");
	library->Release();
}

TEST(Library, AShortXSymFileStopsTheRepair)
{
	testing::TempFolder temp;
	const std::string framework = temp / "Kit.framework";
	CopyLibrary(framework + "/Kit", 0700);
	WriteText(framework + "/Versions/Current", "XSym\n0001\nabc\n");
	WriteText(framework + "/Resources", "XSym\n0001\nabc\nA\n");
	// Neither a link nor an "XSym" text: left alone.
	WriteText(framework + "/Versions/A/Other", "plain");
	testing::RaisedErrors errors;
	VLibrary* library = new VLibrary(FilePath(framework + "/"));
	// The executable is there: the load goes on.
	EXPECT_TRUE(library->Load());
	EXPECT_EQ(errors.Codes(), std::vector<VError>{VE_FILE_CANNOT_RESOLVE_ALIAS_TO_FILE});
	EXPECT_EQ(LinkTarget(framework + "/Versions/Current"), "");
	EXPECT_EQ(LinkTarget(framework + "/Resources"), "");
	library->Release();
}

} // namespace
} // namespace qirn
