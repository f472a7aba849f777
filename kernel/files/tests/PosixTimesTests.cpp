#include "files/platform/PosixFileOps.h"
#include "files/tests/PosixFiles.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

namespace ops = PosixFileOps;

bool operator==(const timespec& inA, const timespec& inB)
{
	return inA.tv_sec == inB.tv_sec && inA.tv_nsec == inB.tv_nsec;
}

TEST(PosixTimes, SetTimesWritesWhatIsGivenAndNeverFollowsALink)
{
	testing::TempFolder folder;
	const std::string file = folder / "file";
	const std::string link = folder / "link";
	ASSERT_TRUE(testing::WriteFile(file, "bytes"));
	ASSERT_EQ(::symlink("file", link.c_str()), 0);
	ops::Times before;
	ASSERT_EQ(ops::GetTimes(file.c_str(), false, before), 0);

	const timespec modification{1'234'567'890, 123'456'789};
	const timespec access{1'111'111'111, 5};
	EXPECT_EQ(ops::SetTimes(link.c_str(), &modification, &access), 0);
	ops::Times linkTimes, fileTimes;
	ASSERT_EQ(ops::GetTimes(link.c_str(), false, linkTimes), 0);
	EXPECT_TRUE(linkTimes.fModification == modification);
	EXPECT_TRUE(linkTimes.fAccess == access);
	ASSERT_EQ(ops::GetTimes(file.c_str(), false, fileTimes), 0);
	EXPECT_TRUE(fileTimes.fModification == before.fModification);
	// Following the link gives the file's.
	ASSERT_EQ(ops::GetTimes(link.c_str(), true, linkTimes), 0);
	EXPECT_TRUE(linkTimes.fModification == before.fModification);

	// Null leaves a time as it was.
	EXPECT_EQ(ops::SetTimes(file.c_str(), &modification, nullptr), 0);
	ASSERT_EQ(ops::GetTimes(file.c_str(), false, fileTimes), 0);
	EXPECT_TRUE(fileTimes.fModification == modification);
	EXPECT_TRUE(fileTimes.fAccess == before.fAccess);
	EXPECT_EQ(ops::SetTimes((folder / "missing").c_str(), &modification, nullptr), ENOENT);
}

TEST(PosixTimes, CreationIsTheBirthTimeOrElseTheModificationTime)
{
	testing::TempFolder folder;
	const std::string file = folder / "file";
	ASSERT_TRUE(testing::WriteFile(file, "bytes"));
	const timespec old{1'000'000'000, 0};
	ASSERT_EQ(ops::SetTimes(file.c_str(), &old, &old), 0);
	ops::Times times;
	ASSERT_EQ(ops::GetTimes(file.c_str(), false, times), 0);
	struct statx status{};
	ASSERT_EQ(::statx(AT_FDCWD, file.c_str(), 0, STATX_BTIME, &status), 0);
	if ((status.stx_mask & STATX_BTIME) != 0) {
		// Setting times never moves the birth time: it is now, not 2001.
		EXPECT_GT(times.fCreation.tv_sec, old.tv_sec);
		EXPECT_EQ(times.fCreation.tv_sec, status.stx_btime.tv_sec);
	} else {
		EXPECT_TRUE(times.fCreation == times.fModification);
	}
	ops::Times missing;
	EXPECT_EQ(ops::GetTimes((folder / "missing").c_str(), false, missing), ENOENT);
}

} // namespace
} // namespace qirn
