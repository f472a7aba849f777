// Where bundles and frameworks keep their executable and folders.
#include "host/HostBundleLayout.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace qirn::host {
namespace {

void WriteInfoPlist(const std::string& inPath, const std::string& inExecutable)
{
	std::filesystem::create_directories(std::filesystem::path(inPath).parent_path());
	std::ofstream(inPath) << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\"><dict>\n"
						  << "<key>CFBundleExecutable</key><string>" << inExecutable << "</string>\n"
						  << "</dict></plist>\n";
}

TEST(HostBundleLayout, AFrameworkByItsExtension)
{
	struct Case {
		const char* fPath;
		bool fFramework;
	};
	const Case cases[] = {
		{"/a/X.framework", true}, {"/a/X.FrameWork/", true},	  {"X.framework", true},
		{"/a/.framework", false}, {"/a/X.framework/b", false}, {"/a/Xframework", false},
		{"/a/X.app", false},	  {"", false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fPath);
		EXPECT_EQ(IsFrameworkPath(c.fPath), c.fFramework);
	}
}

TEST(HostBundleLayout, AnApplicationBundleKeepsItsPartsInContents)
{
	qirn::testing::TempFolder temp;
	const std::string bundle = temp / "B.app";
	WriteInfoPlist(bundle + "/Contents/Info.plist", "tool");
	EXPECT_EQ(GetBundleContentsPath(bundle + "/"), bundle + "/Contents");
	EXPECT_EQ(GetBundleExecutablePath(bundle), bundle + "/Contents/MacOS/tool");
	EXPECT_EQ(GetBundleResourcesPath(bundle), bundle + "/Contents/Resources");
	EXPECT_EQ(GetBundlePlugInsPath(bundle), bundle + "/Contents/PlugIns");
	EXPECT_EQ(GetBundleFrameworksPath(bundle), bundle + "/Contents/Frameworks");
}

TEST(HostBundleLayout, AFolderWithoutContentsKeepsThemAtItsTop)
{
	qirn::testing::TempFolder temp;
	const std::string bundle = temp / "plain";
	WriteInfoPlist(bundle + "/Info.plist", "tool");
	EXPECT_EQ(GetBundleContentsPath(bundle), bundle);
	EXPECT_EQ(GetBundleExecutablePath(bundle), bundle + "/tool");
	EXPECT_EQ(GetBundleResourcesPath(bundle), bundle + "/Resources");
}

TEST(HostBundleLayout, NoExecutableWithoutAUsableName)
{
	qirn::testing::TempFolder temp;
	EXPECT_EQ(GetBundleExecutablePath(temp / "none.app"), "");
	WriteInfoPlist(temp / "slash.app/Contents/Info.plist", "../../elsewhere");
	EXPECT_EQ(GetBundleExecutablePath(temp / "slash.app"), "");
	WriteInfoPlist(temp / "empty.app/Contents/Info.plist", "");
	EXPECT_EQ(GetBundleExecutablePath(temp / "empty.app"), "");
}

TEST(HostBundleLayout, AFrameworkKeepsThemAtItsTopAndIsNamedByItsFolder)
{
	qirn::testing::TempFolder temp;
	const std::string framework = temp / "Kit.framework";
	// Its Info.plist does not decide: the executable is named as the framework.
	WriteInfoPlist(framework + "/Contents/Info.plist", "other");
	EXPECT_EQ(GetBundleContentsPath(framework), framework);
	EXPECT_EQ(GetBundleExecutablePath(framework + "/"), framework + "/Kit");
	EXPECT_EQ(GetBundleResourcesPath(framework), framework + "/Resources");
	EXPECT_EQ(GetBundlePlugInsPath(framework), framework + "/PlugIns");
	EXPECT_EQ(GetBundleFrameworksPath(framework), framework + "/Frameworks");
}

} // namespace
} // namespace qirn::host
