// A bundle's localizations, and the pick among them by the user's languages
// and the bundle's development region.
#include "host/HostBundleLayout.h"
#include "host/HostLocalizations.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace qirn::host {
namespace {

std::string Join(const std::vector<std::string>& inNames)
{
	std::string text;
	for (const std::string& name : inNames)
		text += (text.empty() ? "" : ",") + name;
	return text;
}

TEST(HostLocalizations, TheLprojFoldersOfTheResourcesInNameOrder)
{
	qirn::testing::TempFolder temp;
	const std::string bundle = temp / "App.app";
	const std::string resources = bundle + "/Contents/Resources";
	for (const char* folder : {"fr.lproj", "en.lproj", "de-CH.lproj", ".hidden.lproj", "lproj", "Images", "real"})
		std::filesystem::create_directories(resources + "/" + folder);
	std::ofstream(resources + "/file.lproj") << "not a folder";
	std::filesystem::create_directory_symlink("real", resources + "/it.lproj");
	std::filesystem::create_symlink("missing", resources + "/es.lproj");

	EXPECT_EQ(GetBundleResourcesPath(bundle), resources);
	EXPECT_EQ(Join(CopyBundleLocalizations(bundle)), "de-CH,en,fr,it");
}

TEST(HostLocalizations, ABundleWithoutContentsKeepsItsResourcesAtItsTop)
{
	qirn::testing::TempFolder temp;
	EXPECT_TRUE(CopyBundleLocalizations(temp.Path()).empty());
	std::filesystem::create_directories(temp / "Resources/ja.lproj");
	EXPECT_EQ(GetBundleResourcesPath(temp.Path()), temp / "Resources");
	EXPECT_EQ(Join(CopyBundleLocalizations(temp.Path())), "ja");
	EXPECT_TRUE(CopyBundleLocalizations(temp / "missing").empty());
}

TEST(HostLocalizations, ThePickGoesExactThenByLanguageThenRegionThenName)
{
	struct Case {
		const char* fName;
		std::vector<std::string> fLocalizations;
		std::vector<std::string> fPreferred;
		const char* fRegion;
		const char* fPick;
	};
	const Case cases[] = {
		{"none", {}, {"fr"}, "en", ""},
		{"exact", {"de", "en", "fr"}, {"fr"}, "en", "fr"},
		{"the first preferred that matches", {"de", "en", "fr"}, {"it", "de", "fr"}, "en", "de"},
		{"exact beats an earlier language match", {"fr", "pt-BR"}, {"fr-CA", "pt-BR"}, "", "pt-BR"},
		{"exact without case, '_' for '-'", {"en", "pt_BR", "pt-PT"}, {"pt-br"}, "en", "pt_BR"},
		{"by language, bare first", {"fr-CA", "fr"}, {"fr-FR"}, "en", "fr"},
		{"by language, first by name", {"fr-CA", "fr-CH"}, {"fr-BE"}, "en", "fr-CA"},
		{"a bare preference takes a regional folder", {"de", "fr-CA"}, {"fr"}, "de", "fr-CA"},
		{"the region when nothing matches", {"de", "en", "fr"}, {"ja"}, "fr", "fr"},
		{"a region that is no localization", {"de", "fr"}, {"ja"}, "en", "de"},
		{"no preference", {"fr", "de"}, {}, "", "de"},
		{"C and POSIX name none", {"de", "fr"}, {"C", "POSIX"}, "fr", "fr"},
		{"an empty preference names none", {"de", "fr"}, {""}, "", "de"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		EXPECT_EQ(ChoosePreferredLocalization(c.fLocalizations, c.fPreferred, c.fRegion), c.fPick);
	}
}

} // namespace
} // namespace qirn::host
