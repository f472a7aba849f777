#include "core/VKernelTypes.h"
#include "testing/ProbeOutput.h"
#include "testing/TempFolder.h"
#include "testing/TestChild.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace qirn {
namespace {

constexpr const char* kFoldersProbe = QIRN_PROBE_DIR "/qirn_probe_folders";

bool Exists(const std::string& inPath)
{
	struct stat status{};
	return ::lstat(inPath.c_str(), &status) == 0;
}

// A home of its own for the probe: GLib reads HOME and the XDG variables
// once, and the real home, trash and desktop are never touched.
class SystemFolders : public ::testing::Test {
protected:
	void SetUp() override
	{
		fHome = fFolder / "home";
		ASSERT_EQ(::mkdir(fHome.c_str(), 0755), 0);
	}

	std::vector<std::string> Environment() const
	{
		return {"HOME=" + fHome, "XDG_DATA_HOME=" + fHome + "/data", "XDG_CONFIG_HOME=" + fHome + "/config",
			"XDG_CACHE_HOME=" + fHome + "/cache", "XDG_DATA_DIRS=/usr/local/share:/usr/share",
			"TMPDIR=" + fFolder.Path(), "GIO_USE_VFS=local", "LANG=C"};
	}

	testing::TempFolder fFolder;
	std::string fHome;
};

TEST_F(SystemFolders, AreGLibsXDGFoldersForTheEnvironment)
{
	const testing::ProbeOutput output = testing::RunProbe(kFoldersProbe, {}, Environment());
	ASSERT_EQ(output.fExitCode, 0);
	const std::map<std::string, std::string>& values = output.fValues;
	EXPECT_EQ(values.at("kind.0"), std::string(QIRN_PROBE_DIR) + "/");
	EXPECT_EQ(values.at("kind.1"), fHome + "/Documents/");
	EXPECT_EQ(values.at("kind.2"), fFolder.Path() + "/");
	EXPECT_EQ(values.at("kind.3"), "");
	EXPECT_EQ(values.at("kind.4"), "/usr/local/share/");
	EXPECT_EQ(values.at("kind.5"), fHome + "/data/");
	EXPECT_EQ(values.at("kind.7"), fHome + "/data/");
	EXPECT_EQ(values.at("kind.8"), fHome + "/Desktop/");
	EXPECT_EQ(values.at("kind.9"), "");
	EXPECT_EQ(values.at("kind.10"), "/var/cache/");
	EXPECT_EQ(values.at("kind.11"), fHome + "/cache/");
	EXPECT_EQ(values.at("kind.12"), fHome + "/config/");
	EXPECT_EQ(values.at("kind.13"), fHome + "/");
	EXPECT_EQ(values.at("kind.14"), "");
	// Asked with creation, the user's folders are made.
	EXPECT_EQ(values.at("created.1"), "1");
	EXPECT_EQ(values.at("created.7"), "1");
	EXPECT_EQ(values.at("created.11"), "1");
	EXPECT_TRUE(Exists(fHome + "/Documents"));
}

TEST_F(SystemFolders, TrashTakesFoldersAndTheirLinksWithoutFollowingThem)
{
	const std::string work = fFolder / "work";
	ASSERT_EQ(::mkdir(work.c_str(), 0755), 0);
	ASSERT_EQ(::mkdir((work + "/folder").c_str(), 0755), 0);
	std::ofstream(work + "/folder/inner") << "inner";
	ASSERT_EQ(::mkdir((work + "/target").c_str(), 0755), 0);
	std::ofstream(work + "/target/kept") << "kept";
	ASSERT_EQ(::symlink("target", (work + "/folder-link").c_str()), 0);
	const testing::ProbeOutput output = testing::RunProbe(kFoldersProbe,
		{work + "/folder/", work + "/folder-link/", work + "/missing/"}, Environment());
	ASSERT_EQ(output.fExitCode, 0);
	EXPECT_EQ(output.fValues.at("trash.1"), "0");
	EXPECT_EQ(output.fValues.at("trash.2"), "0");
	EXPECT_EQ(output.fValues.at("trash.3"), "0"); // nothing there, nothing to do
	EXPECT_FALSE(Exists(work + "/folder"));
	EXPECT_FALSE(Exists(work + "/folder-link"));
	EXPECT_TRUE(Exists(fHome + "/data/Trash/files/folder/inner"));
	EXPECT_TRUE(Exists(work + "/target/kept"));
}

TEST_F(SystemFolders, TrashRefusedAsNobodyIsAnErrorAndMovesNothing)
{
	testing::UserIds nobody;
	std::string whyNot;
	if (!testing::FindNobody(nobody, whyNot))
		GTEST_SKIP() << whyNot;
	::chmod(fFolder.Path().c_str(), 0755);
	ASSERT_EQ(::chown(fHome.c_str(), nobody.fUser, nobody.fGroup), 0);
	const std::string roots = fFolder / "roots";
	ASSERT_EQ(::mkdir(roots.c_str(), 0755), 0);
	const testing::ProbeOutput output = testing::RunProbe(kFoldersProbe, {roots + "/"}, Environment(),
		[&] { return testing::BecomeUser(nobody); });
	ASSERT_EQ(output.fExitCode, 0);
	// The kernel's 5 (EACCES): the updater then deletes by force instead.
	EXPECT_EQ(output.fValues.at("trash.1"), std::to_string(MAKE_VERROR('qirn', 5)));
	EXPECT_TRUE(Exists(roots));
}

} // namespace
} // namespace qirn
