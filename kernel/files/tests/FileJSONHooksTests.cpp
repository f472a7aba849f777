#include "files/FileJSONHooks.h"
#include "files/tests/MemoryFiles.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

using testing::MemoryFile;
using testing::MemoryFolder;

// The hooks are the process's: each test leaves none installed.
class FileJSONHooks : public ::testing::Test {
protected:
	void TearDown() override { SetFileFolderExtractorAndWrapper(nullptr, nullptr, nullptr, nullptr); }
};

TEST_F(FileJSONHooks, WithoutHooksNothingIsExtractedAndAllWrapsAsUndefined)
{
	VRefPtr<MemoryFile> file = VRefPtr<MemoryFile>::Adopt(new MemoryFile("Root:f"));
	EXPECT_EQ(ExtractFile(VJSONValue(VString("Root:f"))), nullptr);
	EXPECT_EQ(ExtractFolder(VJSONValue(VString("Root:"))), nullptr);
	VJSONValue first = WrapFile(file.Get());
	VJSONValue second = WrapFolder(nullptr);
	EXPECT_TRUE(first.IsUndefined());
	EXPECT_TRUE(second.IsUndefined());
	EXPECT_NE(first.GetStamp(), second.GetStamp());
}

MemoryFile* sTheFile = nullptr;
MemoryFolder* sTheFolder = nullptr;

TEST_F(FileJSONHooks, InstalledHooksAnswer)
{
	VRefPtr<MemoryFile> file = VRefPtr<MemoryFile>::Adopt(new MemoryFile("Root:f"));
	VRefPtr<MemoryFolder> folder = VRefPtr<MemoryFolder>::Adopt(new MemoryFolder("Root:d:"));
	sTheFile = file.Get();
	sTheFolder = folder.Get();
	SetFileFolderExtractorAndWrapper(
		[](const VJSONValue& inValue) -> IFile* { return inValue.IsString() ? RetainRefCountable(sTheFile) : nullptr; },
		[](const VJSONValue&) -> IFolder* { return RetainRefCountable(sTheFolder); },
		[](IFile* inFile) { return VJSONValue(inFile->GetPath().GetPath(FPS_SYSTEM)); }, nullptr);

	VRefPtr<IFile> extracted = VRefPtr<IFile>::Adopt(ExtractFile(VJSONValue(VString("Root:f"))));
	EXPECT_EQ(extracted.Get(), file.Get());
	EXPECT_EQ(ExtractFile(VJSONValue(1.0)), nullptr);
	VRefPtr<IFolder> extractedFolder = VRefPtr<IFolder>::Adopt(ExtractFolder(VJSONValue()));
	EXPECT_EQ(extractedFolder.Get(), folder.Get());
	VString text;
	WrapFile(file.Get()).GetString(text);
	EXPECT_EQ(to_string(text), "Root:f");
	EXPECT_TRUE(WrapFolder(folder.Get()).IsUndefined());
}

} // namespace
} // namespace qirn
