// A client's customisation: the server link file written into the bundle
// from the customisation file, and the bundle's executable made runnable.

#include "ClientCustomization.h"
#include "UpdaterErrors.h"

#include "files/VFilePath.h"
#include "testing/RaisedErrors.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using namespace qirn;
using qirn::testing::RaisedErrors;
using qirn::testing::TempFolder;
namespace fs = std::filesystem;

class ClientCustomization : public ::testing::Test {
protected:
	void SetUp() override
	{
		fs::create_directories(fBundle + "/Contents/MacOS");
		std::ofstream(fBundle + "/Contents/Info.plist")
			<< "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
			   "<key>CFBundleExecutable</key><string>Client</string></dict></plist>";
		std::ofstream(Executable()) << "#!/bin/sh\n";
		::chmod(Executable().c_str(), 0644);
	}

	std::string Executable() const { return fBundle + "/Contents/MacOS/Client"; }
	std::string LinkFile() const { return fBundle + "/Contents/Database/RoruzazUdivad.QXlink"; }
	mode_t ExecutableMode() const
	{
		struct stat info = {};
		::stat(Executable().c_str(), &info);
		return info.st_mode & 07777;
	}
	std::string ReadLinkFile() const
	{
		std::ifstream in(LinkFile());
		std::stringstream text;
		text << in.rdbuf();
		return text.str();
	}
	// Runs the step on a customisation file of that text (none for null).
	bool Run(const char* inJSON)
	{
		const std::string info = fTemp / "info.json";
		if (inJSON != nullptr)
			std::ofstream(info) << inJSON;
		return FinishClientCustomization(VFilePath(VString(info.c_str()), FPS_POSIX),
										 VFilePath(VString((fBundle + "/").c_str()), FPS_POSIX));
	}

	TempFolder fTemp;
	std::string fBundle = fTemp / "Client.app";
};

TEST_F(ClientCustomization, WritesTheLinkFile)
{
	RaisedErrors raised;
	EXPECT_TRUE(Run(R"({"ServerPlatform":"Linux","BuildIPAdress":"10.0.0.1","BuildIPPort":"8080",)"
					R"("PublishName":"Sales","BuildCacheFolderNameClient":"SalesCache"})"));
	EXPECT_TRUE(raised.Codes().empty());
	const std::string link = ReadLinkFile();
	EXPECT_NE(link.find("<database_shortcut"), std::string::npos) << link;
	for (const char* attribute : {"is_remote=\"true\"", "server_database_name=\"Sales\"",
								  "server_path=\"10.0.0.1:8080\"", "cache_folder_name=\"SalesCache\"",
								  "remote_shared_resources=\"false\""})
		EXPECT_NE(link.find(attribute), std::string::npos) << attribute << " in " << link;
	EXPECT_EQ(ExecutableMode(), 0755u);
}

TEST_F(ClientCustomization, KeysOfOtherKindsCountAsAbsent)
{
	RaisedErrors raised;
	EXPECT_TRUE(Run(R"({"ServerPlatform":"mac","BuildIPAdress":"host","BuildIPPort":8080,"PublishName":7})"));
	const std::string link = ReadLinkFile();
	EXPECT_NE(link.find("server_path=\"host\""), std::string::npos) << link;
	EXPECT_NE(link.find("server_database_name=\"\""), std::string::npos) << link;
	EXPECT_NE(link.find("cache_folder_name=\"\""), std::string::npos) << link;
}

TEST_F(ClientCustomization, WithoutAddressNoLinkFileButExecutableBits)
{
	RaisedErrors raised;
	EXPECT_TRUE(Run(R"({"ServerPlatform":"linux"})"));
	EXPECT_TRUE(raised.Codes().empty());
	EXPECT_FALSE(fs::exists(LinkFile()));
	EXPECT_EQ(ExecutableMode(), 0755u);
}

TEST_F(ClientCustomization, ExecutableWithItsBitsIsLeftAlone)
{
	::chmod(Executable().c_str(), 0750 | 01);
	EXPECT_TRUE(Run(R"({"ServerPlatform":"linux"})"));
	EXPECT_EQ(ExecutableMode(), 0751u);
	::chmod(Executable().c_str(), 0700);
	EXPECT_TRUE(Run(R"({"ServerPlatform":"linux"})"));
	EXPECT_EQ(ExecutableMode(), 0711u);
}

TEST_F(ClientCustomization, RefusesWhatIsNoCustomisation)
{
	struct Case {
		const char* fName;
		const char* fJSON;
	};
	const Case cases[] = {
		{"top-level array", R"([{"ServerPlatform":"linux","BuildIPAdress":"h"}])"},
		{"platform of another kind", R"({"ServerPlatform":1,"BuildIPAdress":"h"})"},
		{"no platform", R"({"BuildIPAdress":"h"})"},
		{"not JSON", "ServerPlatform"},
		{"missing file", nullptr},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		fs::remove(fTemp / "info.json");
		RaisedErrors raised;
		EXPECT_FALSE(Run(c.fJSON));
		EXPECT_EQ(raised.Last(), VE_UPQX_BAD_CLIENT_INFO);
		EXPECT_FALSE(fs::exists(LinkFile()));
		EXPECT_EQ(ExecutableMode(), 0644u);
	}
}

TEST_F(ClientCustomization, BrokenFileKeepsThePairsReadBeforeTheFault)
{
	RaisedErrors raised;
	EXPECT_FALSE(Run(R"({"ServerPlatform":"linux","BuildIPAdress":"10.1.1.1", "BuildIPPort": )"));
	// The reader's error stays; the link file is written all the same.
	const std::vector<VError> codes = raised.Codes();
	EXPECT_FALSE(codes.empty());
	EXPECT_EQ(codes.end(), std::find(codes.begin(), codes.end(), VE_UPQX_BAD_CLIENT_INFO));
	EXPECT_NE(ReadLinkFile().find("server_path=\"10.1.1.1\""), std::string::npos);
}

TEST_F(ClientCustomization, ExecutableNameLeadingOutsideIsSkipped)
{
	std::ofstream(fBundle + "/Contents/Info.plist")
		<< "<?xml version=\"1.0\" encoding=\"UTF-8\"?><plist version=\"1.0\"><dict>"
		   "<key>CFBundleExecutable</key><string>../outside</string></dict></plist>";
	std::ofstream(fBundle + "/Contents/outside") << "x";
	::chmod((fBundle + "/Contents/outside").c_str(), 0644);
	RaisedErrors raised;
	EXPECT_TRUE(Run(R"({"ServerPlatform":"linux"})"));
	struct stat info = {};
	::stat((fBundle + "/Contents/outside").c_str(), &info);
	EXPECT_EQ(info.st_mode & 0777, 0644u);
}

} // namespace
