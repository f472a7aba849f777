#include "host/HostBundle.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <plist/plist.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <sys/stat.h>

namespace qirn::host {
namespace {

TEST(HostBundle, BundleFolderFromTheExecutablePath)
{
	struct Case {
		const char* fExecutable;
		const char* fBundle;
	};
	const Case cases[] = {
		{"/Applications/X.app/Contents/MacOS/exe", "/Applications/X.app"},
		{"/opt/Updater.bundle/Contents/MacOS/updater", "/opt/Updater.bundle"},
		{"/usr/local/bin/tool", "/usr/local/bin"},
		{"/a/MacOS/exe", "/a/MacOS"},
		{"/a/NotContents/MacOS/exe", "/a/NotContents/MacOS"},
		{"/Contents/MacOS/exe", "/Contents/MacOS"},
		{"/exe", "/"},
		{"exe", ""},
	};
	for (const Case& c : cases)
		EXPECT_EQ(GetBundlePathForExecutable(c.fExecutable), c.fBundle) << c.fExecutable;
}

TEST(HostBundle, MainBundleIsTheTestExecutablesFolder)
{
	char executable[4096];
	char bundle[4096];
	ASSERT_TRUE(CopyExecutablePath(executable, sizeof(executable)));
	ASSERT_TRUE(CopyMainBundlePath(bundle, sizeof(bundle)));
	EXPECT_EQ(std::string(executable).rfind(std::string(bundle) + "/", 0), 0u);
	char tiny[4];
	EXPECT_FALSE(CopyMainBundlePath(tiny, sizeof(tiny)));
}

class InfoPlist : public ::testing::Test {
protected:
	void SetUp() override
	{
		fBundle = fRoot / "App.app";
		ASSERT_EQ(::mkdir(fBundle.c_str(), 0755), 0);
		ASSERT_EQ(::mkdir((fBundle + "/Contents").c_str(), 0755), 0);
	}

	::qirn::testing::TempFolder fRoot;
	std::string fBundle;
};

TEST_F(InfoPlist, ReadsStringValuesFromXMLAndBinaryForms)
{
	plist_t dict = plist_new_dict();
	plist_dict_set_item(dict, "CFBundleExecutable", plist_new_string("demo"));
	plist_dict_set_item(dict, "Count", plist_new_uint(3));
	char* data = nullptr;
	uint32_t length = 0;

	plist_to_xml(dict, &data, &length);
	ASSERT_NE(data, nullptr);
	std::ofstream(fBundle + "/Contents/Info.plist", std::ios::binary).write(data, length);
	std::free(data);
	char value[32];
	EXPECT_TRUE(CopyBundleInfoString(fBundle.c_str(), "CFBundleExecutable", value, sizeof(value)));
	EXPECT_STREQ(value, "demo");
	EXPECT_FALSE(CopyBundleInfoString(fBundle.c_str(), "Count", value, sizeof(value))) << "not a string";
	EXPECT_FALSE(CopyBundleInfoString(fBundle.c_str(), "Missing", value, sizeof(value)));
	EXPECT_FALSE(CopyBundleInfoString(fBundle.c_str(), "CFBundleExecutable", value, 4)) << "does not fit";

	data = nullptr;
	length = 0;
	plist_to_bin(dict, &data, &length);
	ASSERT_NE(data, nullptr);
	std::ofstream(fBundle + "/Contents/Info.plist", std::ios::binary | std::ios::trunc).write(data, length);
	std::free(data);
	plist_free(dict);
	EXPECT_TRUE(CopyBundleInfoString(fBundle.c_str(), "CFBundleExecutable", value, sizeof(value)));
	EXPECT_STREQ(value, "demo");
}

TEST_F(InfoPlist, MissingOrDamagedFilesAnswerFalse)
{
	char value[32];
	EXPECT_FALSE(CopyBundleInfoString(fBundle.c_str(), "CFBundleExecutable", value, sizeof(value)));
	std::ofstream(fBundle + "/Contents/Info.plist") << "<plist><dict><key>x</key>";
	EXPECT_FALSE(CopyBundleInfoString(fBundle.c_str(), "x", value, sizeof(value)));
	EXPECT_FALSE(CopyBundleInfoString("", "x", value, sizeof(value)));
	EXPECT_FALSE(CopyBundleInfoString(nullptr, "x", value, sizeof(value)));
}

TEST_F(InfoPlist, APlainFolderKeepsItsInfoPlistBesideTheExecutable)
{
	EXPECT_EQ(GetInfoPlistPath(fBundle), fBundle + "/Contents/Info.plist");
	EXPECT_EQ(GetInfoPlistPath(fRoot.Path()), fRoot / "Info.plist");
}

} // namespace
} // namespace qirn::host
