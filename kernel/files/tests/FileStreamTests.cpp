#include "files/FileErrorCodes.h"
#include "files/VFile.h"
#include "files/VFileStream.h"
#include "files/tests/PosixFiles.h"
#include "testing/RaisedErrors.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <unistd.h>

namespace qirn {
namespace {

using testing::RaisedErrors;
using testing::ReadFile;
using testing::WriteFile;

VRefPtr<VFile> FileAt(const std::string& inPath)
{
	return VRefPtr<VFile>::Adopt(new VFile(VFilePath(VString(inPath.c_str()), FPS_POSIX)));
}

constexpr uint32 kCreate = FO_CreateIfNotFound;

TEST(FileStream, ReadingPastTheEndGivesWhatThereIs)
{
	testing::TempFolder folder;
	ASSERT_TRUE(WriteFile(folder / "ten", "0123456789"));
	VFileStream stream(FileAt(folder / "ten").Get());
	RaisedErrors raised;
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	EXPECT_EQ(stream.GetSize(), 10);
	char buffer[20] = {};
	VSize read = 0;
	EXPECT_EQ(stream.GetData(buffer, 20, &read), VE_STREAM_EOF);
	EXPECT_EQ(read, 10u);
	EXPECT_EQ(std::string(buffer, read), "0123456789");
	stream.CloseReading();
}

TEST(FileStream, ReadingFollowsALink)
{
	testing::TempFolder folder;
	ASSERT_TRUE(WriteFile(folder / "target", "linked"));
	ASSERT_EQ(::symlink((folder / "target").c_str(), (folder / "link").c_str()), 0);
	VFileStream stream(FileAt(folder / "link").Get());
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	char buffer[6] = {};
	EXPECT_EQ(stream.GetData(buffer, 6), VE_OK);
	EXPECT_EQ(std::string(buffer, 6), "linked");
	stream.CloseReading();
}

TEST(FileStream, PositionPastTheEndGrowsTheFile)
{
	testing::TempFolder folder;
	VRefPtr<VFile> file = FileAt(folder / "grow");
	VFileStream stream(file.Get(), kCreate);
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	EXPECT_EQ(stream.PutData("abc", 3), VE_OK);
	EXPECT_EQ(stream.SetPos(100), VE_OK);
	EXPECT_EQ(stream.PutData("z", 1), VE_OK);
	ASSERT_EQ(stream.CloseWriting(), VE_OK);
	const std::string content = ReadFile(folder / "grow");
	ASSERT_EQ(content.size(), 101u);
	EXPECT_EQ(content.substr(0, 3), "abc");
	EXPECT_EQ(content[100], 'z');
	EXPECT_EQ(content[50], '\0');
}

TEST(FileStream, SetSizeThenCloseKeepsTheSmallerSize)
{
	testing::TempFolder folder;
	VFileStream stream(FileAt(folder / "cut").Get(), kCreate);
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	EXPECT_EQ(stream.PutData("0123456789", 10), VE_OK);
	EXPECT_EQ(stream.SetSize(4), VE_OK);
	ASSERT_EQ(stream.CloseWriting(true), VE_OK);
	EXPECT_EQ(ReadFile(folder / "cut"), "0123");
}

TEST(FileStream, LargeWritesAndReadsBypassTheBuffer)
{
	testing::TempFolder folder;
	std::string big(100000, '\0');
	for (size_t i = 0; i < big.size(); ++i)
		big[i] = static_cast<char>(i * 7);
	{
		VFileStream stream(FileAt(folder / "big").Get(), kCreate);
		ASSERT_EQ(stream.OpenWriting(), VE_OK);
		EXPECT_EQ(stream.PutData("head", 4), VE_OK);
		EXPECT_EQ(stream.PutData(big.data(), big.size()), VE_OK);
		EXPECT_EQ(stream.PutData("tail", 4), VE_OK);
		ASSERT_EQ(stream.CloseWriting(), VE_OK);
	}
	EXPECT_EQ(ReadFile(folder / "big"), "head" + big + "tail");

	VFileStream stream(FileAt(folder / "big").Get());
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	std::string got(4, '\0');
	EXPECT_EQ(stream.GetData(got.data(), 4), VE_OK);
	std::string middle(big.size(), '\0');
	EXPECT_EQ(stream.GetData(middle.data(), middle.size()), VE_OK);
	EXPECT_EQ(middle, big);
	EXPECT_EQ(stream.GetData(got.data(), 4), VE_OK);
	EXPECT_EQ(got, "tail");
	// Back inside the last buffer, then past the end.
	EXPECT_EQ(stream.SetPos(stream.GetSize() - 2), VE_OK);
	EXPECT_EQ(stream.GetData(got.data(), 2), VE_OK);
	EXPECT_EQ(got.substr(0, 2), "il");
	{
		RaisedErrors raised;
		EXPECT_EQ(stream.SetPos(stream.GetSize() + 1), VE_STREAM_EOF);
	}
	stream.CloseReading();
}

TEST(FileStream, TypedNumbersRoundTripAcrossBufferEdges)
{
	testing::TempFolder folder;
	VRefPtr<VFile> file = FileAt(folder / "longs");
	{
		VFileStream stream(file.Get(), kCreate | FO_Overwrite);
		stream.SetBufferSize(1000); // not a multiple of 4: values straddle the edges
		ASSERT_EQ(stream.OpenWriting(), VE_OK);
		for (sLONG i = 0; i < 10000; ++i)
			stream.PutLong(i * 3);
		ASSERT_EQ(stream.CloseWriting(), VE_OK);
	}
	VFileStream stream(file.Get());
	stream.SetBufferSize(998);
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	for (sLONG i = 0; i < 10000; ++i) {
		sLONG value = -1;
		ASSERT_EQ(stream.GetLong(value), VE_OK) << i;
		ASSERT_EQ(value, i * 3);
	}
	stream.CloseReading();
}

TEST(FileStream, WithoutAFileNothingOpens)
{
	RaisedErrors raised;
	VFileStream stream(nullptr);
	EXPECT_EQ(stream.OpenReading(), VE_STREAM_NO_FILE);
	EXPECT_EQ(stream.OpenWriting(), VE_STREAM_NO_FILE);
}

TEST(FileStream, AStreamLeftOpenStillWritesWhatItWasGiven)
{
	testing::TempFolder folder;
	{
		VFileStream stream(FileAt(folder / "left").Get(), kCreate);
		ASSERT_EQ(stream.OpenWriting(), VE_OK);
		EXPECT_EQ(stream.PutData("kept", 4), VE_OK);
	}
	EXPECT_EQ(ReadFile(folder / "left"), "kept");
}

} // namespace
} // namespace qirn
