#include "host/HostTrash.h"
#include "testing/ProbeOutput.h"
#include "testing/TempFolder.h"
#include "testing/TestChild.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <gio/gio.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qirn {
namespace {

constexpr const char* kTrashProbe = QIRN_PROBE_DIR "/qirn_probe_trash";

bool Exists(const std::string& inPath)
{
	struct stat status{};
	return ::lstat(inPath.c_str(), &status) == 0;
}

void Write(const std::string& inPath, const std::string& inText)
{
	std::ofstream(inPath) << inText;
}

// A home of its own for the probe: the real trash is never touched.
class HostTrash : public ::testing::Test {
protected:
	void SetUp() override
	{
		fHome = fFolder / "home";
		fWork = fFolder / "work";
		ASSERT_EQ(::mkdir(fHome.c_str(), 0755), 0);
		ASSERT_EQ(::mkdir(fWork.c_str(), 0755), 0);
	}

	std::vector<std::string> Environment() const
	{
		return {"HOME=" + fHome, "XDG_DATA_HOME=" + fHome + "/data", "XDG_CONFIG_HOME=" + fHome + "/config",
			"XDG_CACHE_HOME=" + fHome + "/cache", "GIO_USE_VFS=local", "LANG=C"};
	}
	std::string Trashed(const std::string& inName) const { return fHome + "/data/Trash/files/" + inName; }

	testing::TempFolder fFolder;
	std::string fHome;
	std::string fWork;
};

TEST_F(HostTrash, MovesFilesFoldersAndLinksToTheUsersTrash)
{
	Write(fWork + "/file", "file");
	ASSERT_EQ(::mkdir((fWork + "/folder").c_str(), 0755), 0);
	Write(fWork + "/folder/inner", "inner");
	ASSERT_EQ(::mkdir((fWork + "/target").c_str(), 0755), 0);
	Write(fWork + "/target/kept", "kept");
	ASSERT_EQ(::symlink("target", (fWork + "/folder-link").c_str()), 0);
	ASSERT_EQ(::symlink("missing", (fWork + "/dangling").c_str()), 0);
	Write(fWork + "/caf\xC3\xA9", "name");

	const testing::ProbeOutput output = testing::RunProbe(kTrashProbe,
		{fWork + "/file", fWork + "/folder", fWork + "/folder-link", fWork + "/dangling", fWork + "/caf\xC3\xA9",
			fWork + "/missing"},
		Environment());
	ASSERT_EQ(output.fExitCode, 0);
	const std::map<std::string, std::string> expected = {{"result.1", "0"}, {"result.2", "0"}, {"result.3", "0"},
		{"result.4", "0"}, {"result.5", "0"}, {"result.6", std::to_string(ENOENT)}};
	EXPECT_EQ(output.fValues, expected);
	for (const char* name : {"file", "folder", "folder-link", "dangling", "caf\xC3\xA9"}) {
		SCOPED_TRACE(name);
		EXPECT_FALSE(Exists(fWork + "/" + name));
		EXPECT_TRUE(Exists(Trashed(name)));
		EXPECT_TRUE(Exists(fHome + "/data/Trash/info/" + name + ".trashinfo"));
	}
	EXPECT_TRUE(Exists(Trashed("folder/inner")));
	// The link went, not what it led to.
	EXPECT_TRUE(Exists(fWork + "/target/kept"));
}

TEST_F(HostTrash, PermissionDeniedAsNobodyTrashesNothing)
{
	testing::UserIds nobody;
	std::string whyNot;
	if (!testing::FindNobody(nobody, whyNot))
		GTEST_SKIP() << whyNot;
	::chmod(fFolder.Path().c_str(), 0755);
	ASSERT_EQ(::chown(fHome.c_str(), nobody.fUser, nobody.fGroup), 0);
	Write(fWork + "/root's", "root's");
	const testing::ProbeOutput output = testing::RunProbe(kTrashProbe, {fWork + "/root's"}, Environment(),
		[&] { return testing::BecomeUser(nobody); });
	ASSERT_EQ(output.fExitCode, 0);
	EXPECT_EQ(output.fValues.at("result.1"), std::to_string(EACCES));
	EXPECT_TRUE(Exists(fWork + "/root's"));
}

TEST(HostTrashErrors, GIOErrorsMapToTheNearestErrno)
{
	EXPECT_EQ(host::ErrnoFromGIOError(G_IO_ERROR_NOT_FOUND), ENOENT);
	EXPECT_EQ(host::ErrnoFromGIOError(G_IO_ERROR_PERMISSION_DENIED), EACCES);
	EXPECT_EQ(host::ErrnoFromGIOError(G_IO_ERROR_NOT_SUPPORTED), ENOTSUP);
	EXPECT_EQ(host::ErrnoFromGIOError(G_IO_ERROR_NO_SPACE), ENOSPC);
	EXPECT_EQ(host::ErrnoFromGIOError(G_IO_ERROR_FAILED), EIO);
	EXPECT_EQ(host::ErrnoFromGIOError(-1), EIO);
}

} // namespace
} // namespace qirn
