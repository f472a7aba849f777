#include "host/HostBundle.h"
#include "host/HostPropertyList.h"
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

TEST_F(InfoPlist, BinaryListsReadAsTheirXMLForm)
{
	// One-byte strings "caf\xE9" and "org.na\xEFve.app", and keys "Du" and
	// "Du\0" (which the library cuts to "Du") for "first" then "last".
	// clang-format off
	const std::string binary(
		"\x62\x70\x6C\x69\x73\x74\x30\x30\xD4\x01\x02\x03\x04\x05\x06\x07\x08\x52\x44\x75"
		"\x53\x44\x75\x00\x52\x49\x64\x54\x4E\x61\x6D\x65\x55\x66\x69\x72\x73\x74\x54\x6C"
		"\x61\x73\x74\x5D\x6F\x72\x67\x2E\x6E\x61\xEF\x76\x65\x2E\x61\x70\x70\x54\x63\x61"
		"\x66\xE9\x08\x11\x14\x18\x1B\x20\x26\x2B\x39\x00\x00\x00\x00\x00\x00\x01\x01\x00"
		"\x00\x00\x00\x00\x00\x00\x09\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00\x00"
		"\x00\x00\x3E", 103);
	// clang-format on
	std::string xml;
	ASSERT_TRUE(CopyBinaryPropertyListAsXML(binary.data(), binary.size(), xml));
	EXPECT_NE(xml.find("<string>caf\xC3\xA9</string>"), std::string::npos) << xml;
	EXPECT_EQ(xml.find("first"), std::string::npos) << xml;

	struct Case {
		const char* fKey;
		const char* fValue;
	};
	const Case cases[] = {
		{"Name", "caf\xC3\xA9"},
		{"Id", "org.na\xC3\xAFve.app"},
		{"Du", "last"},
	};
	for (const std::string& form : {binary, xml}) {
		std::ofstream(fBundle + "/Contents/Info.plist", std::ios::binary | std::ios::trunc) << form;
		for (const Case& c : cases) {
			SCOPED_TRACE(c.fKey);
			char value[32];
			EXPECT_TRUE(CopyBundleInfoString(fBundle.c_str(), c.fKey, value, sizeof(value)));
			EXPECT_STREQ(value, c.fValue);
		}
	}
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
