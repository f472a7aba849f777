// The language the component manager chooses for a folder of ".lproj"
// folders: for a wanted language, and, without one, for the main bundle by
// the user's languages (a probe started from bundles built here).
#include "files/VFolder.h"
#include "process/VComponentManager.h"
#include "testing/ProbeOutput.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace qirn {
namespace {

constexpr DialectCode kFrench = 1036;
constexpr DialectCode kGerman = 1031;
constexpr DialectCode kEnglishUS = 1033;
constexpr DialectCode kEnglishUK = 2057;
constexpr DialectCode kItalian = 1040;

VRefPtr<VFolder> FolderAt(const std::string& inPosixPath)
{
	return VRefPtr<VFolder>::Adopt(new VFolder(VString((inPosixPath + "/").c_str()), FPS_POSIX));
}

void MakeFolders(const std::string& inParent, const std::vector<std::string>& inNames)
{
	std::filesystem::create_directories(inParent);
	for (const std::string& name : inNames)
		std::filesystem::create_directories(inParent + "/" + name);
}

TEST(ComponentManagerLanguage, NoFolderGivesNoLanguage)
{
	testing::TempFolder temp;
	EXPECT_EQ(VComponentManager::GetLocalizationLanguage(nullptr, false, kFrench), -2);
	EXPECT_EQ(VComponentManager::GetLocalizationLanguage(FolderAt(temp / "missing").Get(), false, kFrench), -2);
	EXPECT_EQ(VComponentManager::GetLocalizationLanguage(FolderAt(temp / "missing").Get(), true, 0), -2);
	// A bundle without a resources folder has no language folder.
	EXPECT_EQ(VComponentManager::GetLocalizationLanguage(FolderAt(temp.Path()).Get(), true, kFrench), -2);
}

TEST(ComponentManagerLanguage, TheWantedLanguageElseEnglishElseTheLastFolder)
{
	struct Case {
		const char* fName;
		std::vector<std::string> fFolders;
		DialectCode fWanted;
		DialectCode fLanguage;
	};
	const Case cases[] = {
		{"wanted present", {"de.lproj", "en.lproj", "fr.lproj"}, kFrench, kFrench},
		{"English stands in", {"de.lproj", "en.lproj"}, kFrench, kEnglishUS},
		{"the only language", {"de.lproj"}, kFrench, kGerman},
		{"the last by name", {"de.lproj", "it.lproj"}, kFrench, kItalian},
		{"by English name", {"French.lproj", "German.lproj"}, kFrench, kFrench},
		{"English by name stands in", {"English.lproj", "German.lproj"}, kFrench, kEnglishUS},
		{"a region", {"en-GB.lproj", "en_US.lproj"}, kEnglishUK, kEnglishUK},
		{"British English is not English", {"de.lproj", "en-GB.lproj"}, kFrench, kEnglishUK},
		{"no language folder", {"Images", "lproj", "xx.lproj"}, kFrench, -2},
		{"unknown names are passed by", {"de.lproj", "zz.lproj"}, kFrench, kGerman},
		{"hidden folders are not seen", {".fr.lproj", "de.lproj"}, kFrench, kGerman},
		{"nothing wanted: US English", {"de.lproj", "en.lproj"}, 0, kEnglishUS},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		testing::TempFolder temp;
		MakeFolders(temp / "loc", c.fFolders);
		EXPECT_EQ(VComponentManager::GetLocalizationLanguage(FolderAt(temp / "loc").Get(), false, c.fWanted),
				  c.fLanguage);
		// Files named like language folders are no language folders.
		std::ofstream(temp / "loc/fr.lproj.txt") << "x";
		std::ofstream(temp / "loc/it.lproj") << "x";
		EXPECT_EQ(VComponentManager::GetLocalizationLanguage(FolderAt(temp / "loc").Get(), false, c.fWanted),
				  c.fLanguage);
	}
}

TEST(ComponentManagerLanguage, ABundleIsSearchedInItsResources)
{
	testing::TempFolder temp;
	MakeFolders(temp / "B.app/Contents/Resources", {"de.lproj", "fr.lproj"});
	MakeFolders(temp / "B.app", {"it.lproj"});
	MakeFolders(temp / "B.app/Contents", {"it.lproj"});
	const VRefPtr<VFolder> bundle = FolderAt(temp / "B.app");
	EXPECT_EQ(VComponentManager::GetLocalizationLanguage(bundle.Get(), true, kFrench), kFrench);
	EXPECT_EQ(VComponentManager::GetLocalizationLanguage(bundle.Get(), true, kItalian), kFrench);
	EXPECT_EQ(VComponentManager::GetLocalizationLanguage(bundle.Get(), false, kFrench), kItalian);
	// Links are walked as the folders they lead to, under those folders' names.
	MakeFolders(temp.Path(), {"it.lproj"});
	std::filesystem::create_directory_symlink(temp / "it.lproj", temp / "B.app/Contents/Resources/link");
	EXPECT_EQ(VComponentManager::GetLocalizationLanguage(bundle.Get(), true, kItalian), kItalian);
	std::filesystem::create_directory_symlink("de.lproj", temp / "B.app/Contents/Resources/es.lproj");
	EXPECT_EQ(VComponentManager::GetLocalizationLanguage(bundle.Get(), true, 3082), kItalian);
}

// The main bundle's own localizations decide when nothing is wanted: the
// probe started from a bundle reports what it chose there.
TEST(ComponentManagerLanguage, TheMainBundlePicksByTheUsersLanguages)
{
	struct Case {
		const char* fName;
		std::vector<std::string> fFolders;
		const char* fRegion; // CFBundleDevelopmentRegion, none when null
		std::vector<std::string> fEnvironment;
		int fLanguage;
	};
	const Case cases[] = {
		{"LANG", {"de.lproj", "fr.lproj"}, "de", {"LANG=fr_FR.UTF-8"}, kFrench},
		{"LANGUAGE first", {"de.lproj", "fr.lproj"}, "de", {"LANGUAGE=it:de", "LANG=fr_FR.UTF-8"}, kGerman},
		{"exact before by language", {"fr.lproj", "it.lproj"}, nullptr, {"LANGUAGE=fr_CA:it"}, kItalian},
		{"by language", {"de.lproj", "fr.lproj"}, "de", {"LANG=fr_CA.UTF-8"}, kFrench},
		{"a regional folder", {"en.lproj", "en_GB.lproj"}, "en", {"LANG=en_GB.UTF-8"}, kEnglishUK},
		{"C names none: the region", {"de.lproj", "fr.lproj"}, "fr", {"LANG=C"}, kFrench},
		{"POSIX names none: the region", {"de.lproj", "fr.lproj"}, "fr", {"LC_ALL=POSIX"}, kFrench},
		{"no match: the region", {"de.lproj", "fr.lproj"}, "fr", {"LANG=ja_JP.UTF-8"}, kFrench},
		{"no region: the first by name", {"it.lproj", "fr.lproj"}, nullptr, {"LANG=ja_JP.UTF-8"}, kFrench},
		{"English names", {"English.lproj", "French.lproj"}, "English", {}, kEnglishUS},
		// Without localizations US English is looked for in the folder.
		{"none: English wanted", {}, nullptr, {"LANG=fr_FR.UTF-8"}, -2},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		testing::TempFolder temp;
		const std::string bundle = temp / "B.app";
		const std::string executable = bundle + "/Contents/MacOS/exe";
		MakeFolders(bundle + "/Contents/Resources", c.fFolders);
		std::filesystem::create_directories(bundle + "/Contents/MacOS");
		std::filesystem::copy_file(QIRN_PROBE_DIR "/qirn_probe_bundlelanguage", executable);
		std::string plist = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>\n"
							"<key>CFBundleExecutable</key><string>exe</string>\n";
		if (c.fRegion != nullptr)
			plist += std::string("<key>CFBundleDevelopmentRegion</key><string>") + c.fRegion + "</string>\n";
		std::ofstream(bundle + "/Contents/Info.plist") << plist << "</dict></plist>\n";
		std::vector<std::string> environment = c.fEnvironment;
		environment.push_back("HOME=" + temp.Path());
		const testing::ProbeOutput output = testing::RunProbe(executable, {}, environment);
		ASSERT_EQ(output.fExitCode, 0);
		EXPECT_EQ(output.fValues.at("language"), std::to_string(c.fLanguage));
	}
}

} // namespace
} // namespace qirn
