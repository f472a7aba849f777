// Files at the limits of the system: full disks, size limits, other file
// systems, names of every form.
#include "files/FileErrorCodes.h"
#include "files/VFile.h"
#include "files/VFileDesc.h"
#include "files/VFileStream.h"
#include "files/platform/XLinuxPathBytes.h"
#include "files/tests/PosixFiles.h"
#include "testing/RaisedErrors.h"
#include "testing/TempFolder.h"
#include "testing/TestChild.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

namespace qirn {
namespace {

using testing::RaisedErrors;
using testing::ReadFile;
using testing::WriteFile;

constexpr VError Posix(int inErrno)
{
	return MAKE_VERROR('POSX', inErrno);
}

// Paths from their bytes, whatever they hold.
VFilePath PathOf(const std::string& inPath)
{
	VString text;
	XLinuxPathBytes::ToText(inPath.data(), inPath.size(), text);
	return VFilePath(text, FPS_POSIX);
}

VRefPtr<VFile> FileAt(const std::string& inPath)
{
	return VRefPtr<VFile>::Adopt(new VFile(PathOf(inPath)));
}

TEST(FileLimits, CopyOntoAFullDiskLeavesNoPartialTarget)
{
	testing::TempFolder folder;
	ASSERT_TRUE(WriteFile(folder / "big", std::string(1 << 20, 'b')));
	::mkdir((folder / "small").c_str(), 0755);
	const std::string answer = testing::RunInChild([&]() -> std::string {
		if (std::string why = testing::EnterPrivateMounts(); !why.empty())
			return "skip: " + why;
		if (std::string why = testing::MountTmpfs(folder / "small", 64 * 1024); !why.empty())
			return "skip: " + why;
		RaisedErrors raised;
		VFile* copy = nullptr;
		if (FileAt(folder / "big")->CopyTo(PathOf(folder / "small/big"), &copy, 0) != VE_FILE_CANNOT_COPY)
			return "copy not refused";
		if (copy != nullptr || raised.Codes().front() != Posix(ENOSPC))
			return "wrong answer";
		if (!testing::Names(folder / "small").empty())
			return "partial target left";
		// A stream writing there fails too, and says so.
		VFileStream stream(FileAt(folder / "small/streamed").Get(), FO_CreateIfNotFound);
		if (stream.OpenWriting() != VE_OK)
			return "cannot open the stream";
		const std::string chunk(100000, 's');
		for (int i = 0; i < 10 && stream.GetLastError() == VE_OK; ++i)
			stream.PutData(chunk.data(), chunk.size());
		const VError closed = stream.CloseWriting();
		return closed != VE_OK ? "ok" : "full disk not reported";
	});
	if (answer.rfind("skip: ", 0) == 0)
		GTEST_SKIP() << answer;
	EXPECT_EQ(answer, "ok");
	EXPECT_EQ(ReadFile(folder / "big").size(), 1u << 20);
}

TEST(FileLimits, WritesPastTheSizeLimitFail)
{
	testing::TempFolder folder;
	const std::string answer = testing::RunInChild([&]() -> std::string {
		std::signal(SIGXFSZ, SIG_IGN);
		const rlimit limit{4096, 4096};
		if (::setrlimit(RLIMIT_FSIZE, &limit) != 0)
			return "setrlimit";
		VRefPtr<VFile> file = FileAt(folder / "limited");
		if (file->Create() != VE_OK)
			return "create";
		VFileDesc* desc = nullptr;
		if (file->Open(FA_READ_WRITE, &desc) != VE_OK)
			return "open";
		RaisedErrors raised;
		const std::string bytes(10000, 'x');
		VSize written = 0;
		const VError error = desc->PutData(bytes.data(), bytes.size(), 0, &written);
		delete desc;
		if (error == VE_OK)
			return "short write passed for a whole one";
		if (written != 4096)
			return "count " + std::to_string(written);
		return raised.Codes().front() == Posix(EFBIG) ? "ok" : "cause lost";
	});
	EXPECT_EQ(answer, "ok");
}

TEST(FileLimits, MovesAcrossFileSystems)
{
	struct stat shm{};
	if (::stat("/dev/shm", &shm) != 0 || !S_ISDIR(shm.st_mode))
		GTEST_SKIP() << "no /dev/shm";
	testing::TempFolder folder;
	testing::TempFolder other("/dev/shm");
	if (other.Path().empty())
		GTEST_SKIP() << "cannot write /dev/shm";
	ASSERT_TRUE(WriteFile(folder / "moving", "moved bytes", 0750));
	VFile* moved = nullptr;
	ASSERT_EQ(FileAt(folder / "moving")->Move(PathOf(other / "moved"), &moved, 0), VE_OK);
	ASSERT_NE(moved, nullptr);
	EXPECT_EQ(ReadFile(other / "moved"), "moved bytes");
	EXPECT_EQ(testing::Mode(other / "moved") & 07777, 0750u);
	EXPECT_FALSE(testing::Exists(folder / "moving"));
	// And back onto an existing file: refused without option 4.
	ASSERT_TRUE(WriteFile(folder / "moving", "kept"));
	RaisedErrors raised;
	EXPECT_EQ(moved->Move(PathOf(folder / "moving"), nullptr, 0), VE_FILE_CANNOT_MOVE);
	EXPECT_EQ(ReadFile(folder / "moving"), "kept");
	EXPECT_EQ(ReadFile(other / "moved"), "moved bytes");
	raised.Clear();
	EXPECT_EQ(moved->Move(PathOf(folder / "moving"), nullptr, FCP_Overwrite), VE_OK);
	EXPECT_EQ(ReadFile(folder / "moving"), "moved bytes");
	moved->Release();
}

TEST(FileLimits, NamesOfEveryForm)
{
	testing::TempFolder folder;
	const char* names[] = {"caf\xC3\xA9", "cafe\xCC\x81", "a:b", ".hidden", "-dash", "\xFF\xFEraw"};
	for (const char* name : names)
		ASSERT_TRUE(WriteFile(folder / name, name));
	for (const char* name : names) {
		SCOPED_TRACE(name);
		VRefPtr<VFile> file = FileAt(folder / name);
		EXPECT_TRUE(file->Exists());
		VMemoryBuffer<> content;
		ASSERT_EQ(file->GetContent(content), VE_OK);
		EXPECT_EQ(std::string(static_cast<const char*>(content.GetDataPtr()), content.GetDataSize()), name);
		VFile* copy = nullptr;
		ASSERT_EQ(file->CopyTo(PathOf(folder / (std::string(name) + ".copy")), &copy, 0), VE_OK);
		copy->Release();
		EXPECT_EQ(ReadFile(folder / (std::string(name) + ".copy")), name);
	}
	EXPECT_EQ(testing::Names(folder.Path()).size(), 2 * std::size(names));
}

} // namespace
} // namespace qirn
