// The swap's file operations: the free temporary name beside a bundle, the
// exchange of two entries, and the copy of a bundle into an existing folder.

#include "BundleSwap.h"
#include "VUpdateEngine.h"

#include "files/VFilePath.h"
#include "files/VFolder.h"
#include "testing/RaisedErrors.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using namespace qirn;
using qirn::testing::RaisedErrors;
using qirn::testing::TempFolder;
namespace fs = std::filesystem;

VFilePath FolderPath(const std::string& inPath)
{
	return VFilePath(VString((inPath + "/").c_str()), FPS_POSIX);
}

VRefPtr<VFolder> Folder(const std::string& inPath)
{
	return VRefPtr<VFolder>::Adopt(new VFolder(FolderPath(inPath)));
}

std::string ReadText(const std::string& inPath)
{
	std::ifstream in(inPath);
	std::string text;
	std::getline(in, text);
	return text;
}

struct stat Stat(const std::string& inPath)
{
	struct stat info = {};
	::lstat(inPath.c_str(), &info);
	return info;
}

TEST(BundleSwap, TemporaryNameSkipsEveryKindOfEntry)
{
	struct Case {
		const char* fName;
		const char* fBundle;
		const char* fSuffix;
		std::function<void(const std::string&)> fTake; // given the folder
		const char* fExpected;
	};
	const std::vector<Case> cases = {
		{"free", "Tool.app", "old", [](const std::string&) {}, "Tool_old0001.app"},
		{"folder taken", "Tool.app", "old", [](const std::string& f) { fs::create_directory(f + "/Tool_old0001.app"); },
		 "Tool_old0002.app"},
		{"file taken", "Tool.app", "old", [](const std::string& f) { std::ofstream(f + "/Tool_old0001.app") << "x"; },
		 "Tool_old0002.app"},
		{"dangling link taken", "Tool.app", "old",
		 [](const std::string& f) {
			 fs::create_symlink(f + "/nowhere", f + "/Tool_old0001.app");
			 fs::create_directory(f + "/Tool_old0002.app");
		 },
		 "Tool_old0003.app"},
		{"no extension", "Tool", "old", [](const std::string&) {}, "Tool_old0001"},
		{"no suffix", "Tool.app", "", [](const std::string&) {}, "Tool0001.app"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		TempFolder temp;
		fs::create_directory(temp / c.fBundle);
		c.fTake(temp.Path());
		const VString suffix(c.fSuffix);
		VFilePath result;
		EXPECT_TRUE(VUpdateEngine::_ComputeTempFolderPath(FolderPath(temp / c.fBundle), result, &suffix));
		EXPECT_TRUE(result.IsFolder());
		EXPECT_EQ(to_string(result.GetPath(FPS_POSIX)), temp / c.fExpected + "/");
	}
}

TEST(BundleSwap, ExchangeSwapsTwoFoldersAtOnce)
{
	TempFolder temp;
	fs::create_directories(temp / "a/inside_a");
	fs::create_directories(temp / "b");
	EXPECT_EQ(ExchangeEntries(*Folder(temp / "a"), *Folder(temp / "b")), 0);
	EXPECT_TRUE(fs::exists(temp / "b/inside_a"));
	EXPECT_TRUE(fs::is_empty(temp / "a"));

	// A link trades places itself; what it leads to stays where it is.
	fs::create_directories(temp / "real/inside_real");
	fs::create_directory_symlink("real", temp / "link");
	fs::create_directories(temp / "empty");
	EXPECT_EQ(ExchangeEntries(*Folder(temp / "link"), *Folder(temp / "empty")), 0);
	EXPECT_TRUE(fs::is_symlink(temp / "empty"));
	EXPECT_TRUE(fs::is_directory(fs::symlink_status(temp / "link")));
	EXPECT_TRUE(fs::exists(temp / "real/inside_real"));

	EXPECT_EQ(ExchangeEntries(*Folder(temp / "a"), *Folder(temp / "missing")), ENOENT);
	EXPECT_FALSE(IsExchangeUnsupported(ENOENT));
	EXPECT_TRUE(IsExchangeUnsupported(EINVAL));

	RaisedErrors raised;
	ThrowFolderSystemError(*Folder(temp / "a"), EACCES, MAKE_VERROR('qirn', 657));
	ASSERT_FALSE(raised.Codes().empty());
	EXPECT_EQ(raised.Codes().front(), MAKE_VERROR('POSX', EACCES));
}

TEST(BundleSwap, CopyIntoExistingFolderKeepsTheWholeBundle)
{
	TempFolder temp;
	const std::string source = temp / "New.app";
	fs::create_directories(source + "/Contents/MacOS");
	fs::create_directories(source + "/Contents/Locked");
	std::ofstream(source + "/Contents/MacOS/Tool") << "tool";
	std::ofstream(source + "/Contents/.hidden") << "hidden";
	std::ofstream(source + "/Contents/Locked/inside") << "inside";
	fs::create_symlink("MacOS/Tool", source + "/Contents/link");
	fs::create_symlink("MacOS", source + "/Contents/folderlink");
	::chmod((source + "/Contents/MacOS/Tool").c_str(), 0750);
	::chmod((source + "/Contents/Locked").c_str(), 0555);
	::chmod(source.c_str(), 0751);
	const std::string target = temp / "Old.app";
	fs::create_directory(target);
	::chmod(target.c_str(), 0700);

	int copied = 0;
	EXPECT_EQ(CopyFolderContentsInto(*Folder(source), *Folder(target), [&] { ++copied; }), VE_OK);
	EXPECT_EQ(copied, 5);
	EXPECT_EQ(ReadText(target + "/Contents/MacOS/Tool"), "tool");
	EXPECT_EQ(ReadText(target + "/Contents/.hidden"), "hidden");
	EXPECT_EQ(ReadText(target + "/Contents/Locked/inside"), "inside");
	EXPECT_EQ(Stat(target + "/Contents/MacOS/Tool").st_mode & 07777, 0750u);
	EXPECT_EQ(Stat(target + "/Contents/Locked").st_mode & 07777, 0555u);
	EXPECT_EQ(Stat(target).st_mode & 07777, 0751u);
	EXPECT_TRUE(fs::is_symlink(target + "/Contents/link"));
	EXPECT_EQ(fs::read_symlink(target + "/Contents/link"), "MacOS/Tool");
	EXPECT_TRUE(fs::is_symlink(target + "/Contents/folderlink"));
	EXPECT_EQ(Stat(target + "/Contents/MacOS").st_mtim.tv_sec, Stat(source + "/Contents/MacOS").st_mtim.tv_sec);
	::chmod((source + "/Contents/Locked").c_str(), 0755);
	::chmod((target + "/Contents/Locked").c_str(), 0755);
}

TEST(BundleSwap, CopyStopsAtTheFirstFailure)
{
	TempFolder temp;
	const std::string source = temp / "New.app";
	fs::create_directories(source + "/Contents");
	std::ofstream(source + "/Contents/file") << "x";
	const std::string target = temp / "Old.app";
	// A file where the copy needs a folder.
	fs::create_directory(target);
	std::ofstream(target + "/Contents") << "in the way";
	RaisedErrors raised;
	int copied = 0;
	EXPECT_NE(CopyFolderContentsInto(*Folder(source), *Folder(target), [&] { ++copied; }), VE_OK);
	EXPECT_EQ(copied, 0);
	EXPECT_FALSE(raised.Codes().empty());
}


// Once links are followed, a destination that is the source (an update given
// as a link to the bundle it replaces) or lies inside it is refused before
// anything is copied: copied, the one would be an empty bundle installed as a
// success, the other a copy without end.
TEST(BundleSwap, CopyRefusesADestinationThatIsTheSourceOrInsideIt)
{
	struct Case {
		const char* fName;
		const char* fSource;	  // relative to the temporary folder
		const char* fDestination; // likewise; "link" leads to "apps"
	};
	const Case cases[] = {
		{"same through a link", "link/Sample.app", "apps/Sample.app"},
		{"inside the source", "apps/Sample.app", "apps/Sample.app/Contents/Resources/Old.app"},
		{"inside the source through a link", "link/Sample.app", "apps/Sample.app/Contents/Old.app"},
	};
	for (const Case& test : cases) {
		SCOPED_TRACE(test.fName);
		TempFolder temp;
		fs::create_directories(temp / "apps/Sample.app/Contents/Resources");
		std::ofstream(temp / "apps/Sample.app/Contents/Info.plist") << "plist";
		fs::create_directory_symlink("apps", temp / "link");
		fs::create_directories(temp / test.fDestination);
		const auto count = [&] {
			return std::distance(fs::recursive_directory_iterator(temp / "apps"), fs::recursive_directory_iterator());
		};
		const auto entries = count();
		RaisedErrors raised;
		int copied = 0;
		EXPECT_EQ(CopyFolderContentsInto(*Folder(temp / test.fSource), *Folder(temp / test.fDestination), [&] { ++copied; }),
				  MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 660));
		EXPECT_EQ(copied, 0);
		EXPECT_EQ(raised.Codes(), std::vector<VError>{MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 660)});
		EXPECT_EQ(count(), entries) << "something was copied";
	}
}

} // namespace
