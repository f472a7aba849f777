#include "files/platform/PosixFileOps.h"
#include "files/tests/PosixFiles.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

namespace ops = PosixFileOps;
using testing::ReadFile;
using testing::WriteFile;

TEST(PosixEntry, RemoveFileNeverRemovesAFolder)
{
	testing::TempFolder folder;
	::mkdir((folder / "dir").c_str(), 0755);
	EXPECT_EQ(ops::RemoveFile((folder / "dir").c_str()), EISDIR);
	EXPECT_TRUE(testing::Exists(folder / "dir"));
	ASSERT_EQ(::symlink("dir", (folder / "link").c_str()), 0);
	EXPECT_EQ(ops::RemoveFile((folder / "link").c_str()), 0);
	EXPECT_TRUE(testing::Exists(folder / "dir"));
	EXPECT_EQ(ops::RemoveFile((folder / "missing").c_str()), ENOENT);
}

TEST(PosixEntry, LinksReplaceOnlyFilesAndLinks)
{
	testing::TempFolder folder;
	ASSERT_TRUE(WriteFile(folder / "file", "f"));
	EXPECT_EQ(ops::MakeLink("a", (folder / "file").c_str(), false), EEXIST);
	EXPECT_EQ(ReadFile(folder / "file"), "f");
	EXPECT_EQ(ops::MakeLink("a", (folder / "file").c_str(), true), 0);
	EXPECT_EQ(testing::LinkText(folder / "file"), "a");
	::mkdir((folder / "dir").c_str(), 0755);
	EXPECT_EQ(ops::MakeLink("a", (folder / "dir").c_str(), true), EISDIR);
	std::string text;
	EXPECT_EQ(ops::ReadLink((folder / "file").c_str(), text), 0);
	EXPECT_EQ(text, "a");
	// Nothing left beside: the link was built under another name first.
	EXPECT_EQ(testing::Names(folder.Path()), (std::vector<std::string>{"dir", "file"}));
	const std::string longText(1000, 'x');
	EXPECT_EQ(ops::MakeLink(longText.c_str(), (folder / "long").c_str(), false), 0);
	EXPECT_EQ(ops::ReadLink((folder / "long").c_str(), text), 0);
	EXPECT_EQ(text, longText);
}

TEST(PosixEntry, ModesOfFilesNotLinks)
{
	testing::TempFolder folder;
	ASSERT_TRUE(WriteFile(folder / "file", "f", 0600));
	ASSERT_EQ(::symlink("file", (folder / "link").c_str()), 0);
	EXPECT_EQ(ops::SetMode((folder / "file").c_str(), 0751), 0);
	EXPECT_EQ(testing::Mode(folder / "file") & 07777, 0751u);
	EXPECT_EQ(ops::SetMode((folder / "link").c_str(), 0777), EOPNOTSUPP);
	EXPECT_EQ(testing::Mode(folder / "file") & 07777, 0751u);
}

TEST(PosixEntry, RealPaths)
{
	testing::TempFolder folder;
	std::string real;
	ASSERT_EQ(ops::RealPath(folder.Path().c_str(), true, real), 0);
	const std::string base = real;
	::mkdir((folder / "dir").c_str(), 0755);
	ASSERT_EQ(::symlink("dir", (folder / "link").c_str()), 0);
	ASSERT_EQ(::symlink("link", (folder / "link2").c_str()), 0);
	EXPECT_EQ(ops::RealPath((folder / "link2").c_str(), true, real), 0);
	EXPECT_EQ(real, base + "/dir");
	EXPECT_EQ(ops::RealPath((folder / "link2/missing").c_str(), true, real), ENOENT);
	EXPECT_EQ(ops::RealPath((folder / "link2/missing").c_str(), false, real), 0);
	EXPECT_EQ(real, base + "/dir/missing");
	// Only the last element may be missing.
	EXPECT_EQ(ops::RealPath((folder / "no/missing").c_str(), false, real), ENOENT);
	// A FIFO is never opened.
	ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
	EXPECT_EQ(ops::RealPath((folder / "fifo").c_str(), true, real), 0);
	EXPECT_EQ(real, base + "/fifo");
}

TEST(PosixEntry, ImmutableFlag)
{
	testing::TempFolder folder;
	ASSERT_TRUE(WriteFile(folder / "file", "f"));
	bool immutable = true;
	ASSERT_EQ(ops::GetImmutable((folder / "file").c_str(), false, immutable), 0);
	EXPECT_FALSE(immutable);
	ASSERT_EQ(::mkfifo((folder / "fifo").c_str(), 0600), 0);
	ASSERT_EQ(ops::GetImmutable((folder / "fifo").c_str(), false, immutable), 0);
	EXPECT_FALSE(immutable);
	EXPECT_EQ(ops::SetImmutable((folder / "fifo").c_str(), false, true), EOPNOTSUPP);
	const int32 set = ops::SetImmutable((folder / "file").c_str(), false, true);
	if (set == EPERM || set == EOPNOTSUPP || set == ENOTTY)
		GTEST_SKIP() << "this file system or user cannot set the flag: " << set;
	ASSERT_EQ(set, 0);
	ASSERT_EQ(ops::GetImmutable((folder / "file").c_str(), false, immutable), 0);
	EXPECT_TRUE(immutable);
	EXPECT_EQ(ops::RemoveFile((folder / "file").c_str()), EPERM);
	EXPECT_EQ(ops::Unlock((folder / "file").c_str(), false), 0);
	EXPECT_EQ(ops::RemoveFile((folder / "file").c_str()), 0);
}

} // namespace
} // namespace qirn
