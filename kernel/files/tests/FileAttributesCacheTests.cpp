#include "files/VFileAttributesCache.h"
#include "files/tests/MemoryFiles.h"
#include "testing/RaisedErrors.h"
#include "testing/TestThreads.h"

#include <gtest/gtest.h>

#include <atomic>

namespace qirn {
namespace {

using testing::MemoryFile;
using testing::MemoryFolder;
using testing::SystemPath;
using Map = VFileAttributesCache::AttributesMap;

VTime At(sLONG8 inMilliseconds)
{
	VTime time;
	time.FromMilliseconds(inMilliseconds);
	return time;
}

void SetTimes(MemoryFile* ioFile, sLONG8 inBase)
{
	ioFile->fModified = At(inBase + 1);
	ioFile->fCreated = At(inBase + 2);
	ioFile->fAccessed = At(inBase + 3);
}

class FileAttributesCache : public ::testing::Test {
protected:
	VRefPtr<VFileAttributesCache> fCache = VRefPtr<VFileAttributesCache>::Adopt(new VFileAttributesCache);
	VRefPtr<MemoryFolder> fFolder = VRefPtr<MemoryFolder>::Adopt(new MemoryFolder("Root:data:"));
};

TEST_F(FileAttributesCache, AnswersOnlyForTheFilesItWasGiven)
{
	SetTimes(fFolder->AddFile("a.txt"), 1000);
	SetTimes(fFolder->AddFile("b.txt"), 2000);
	Map map;
	VFileAttributesCache::CollectFileAttributes(map, fFolder.Get());
	fCache->SwapMap(map);
	EXPECT_TRUE(map.empty());

	EXPECT_TRUE(fCache->FileExists(SystemPath("Root:data:a.txt")));
	VTime modified = At(1);
	VTime created = At(1);
	VTime accessed = At(1);
	ASSERT_TRUE(fCache->GetTimeAttributes(SystemPath("Root:data:b.txt"), &modified, nullptr, &accessed));
	EXPECT_EQ(modified.GetMilliseconds(), 2001);
	EXPECT_EQ(created.GetMilliseconds(), 1);
	EXPECT_EQ(accessed.GetMilliseconds(), 2003);
	ASSERT_TRUE(fCache->GetTimeAttributes(SystemPath("Root:data:a.txt"), nullptr, &created, nullptr));
	EXPECT_EQ(created.GetMilliseconds(), 1002);

	// Missing paths, and paths that differ only by case or composition, are
	// left for the disk to answer.
	const char* unknown[] = {"Root:data:c.txt", "Root:data:A.txt", "Root:data:", "Root:Data:a.txt", ""};
	for (const char* path : unknown) {
		SCOPED_TRACE(path);
		modified = At(7);
		EXPECT_FALSE(fCache->FileExists(SystemPath(path)));
		EXPECT_FALSE(fCache->GetTimeAttributes(SystemPath(path), &modified, &created, &accessed));
		EXPECT_EQ(modified.GetMilliseconds(), 7);
	}
}

TEST_F(FileAttributesCache, CollectsVisibleFilesWhoseTimesCanBeRead)
{
	SetTimes(fFolder->AddFile("first"), 100);
	MemoryFile* unreadable = fFolder->AddFile("unreadable");
	unreadable->fTimesError = MAKE_VERROR('qirn', 608);
	SetTimes(fFolder->AddFile(".hidden"), 200);
	SetTimes(fFolder->AddFile("last"), 300);
	testing::RaisedErrors raised;
	Map map;
	VFileAttributesCache::CollectFileAttributes(map, fFolder.Get());
	EXPECT_EQ(fFolder->fLastOptions, 4u);
	ASSERT_EQ(map.size(), 2u);
	EXPECT_EQ(map.count(VString("Root:data:first")), 1u);
	EXPECT_EQ(map.count(VString("Root:data:last")), 1u);

	// An entry already there stays; null adds nothing.
	VRefPtr<MemoryFile> again = VRefPtr<MemoryFile>::Adopt(new MemoryFile("Root:data:first"));
	SetTimes(again.Get(), 900);
	VFileAttributesCache::CollectFileAttributes(map, again.Get());
	EXPECT_EQ(map[VString("Root:data:first")].fModified.GetMilliseconds(), 101);
	VFileAttributesCache::CollectFileAttributes(map, static_cast<const IFile*>(nullptr));
	VFileAttributesCache::CollectFileAttributes(map, static_cast<const IFolder*>(nullptr));
	VFileAttributesCache::CollectFileAttributes(map, unreadable);
	EXPECT_EQ(map.size(), 2u);
}

TEST_F(FileAttributesCache, SwappingInAnEmptyMapForgetsEverything)
{
	SetTimes(fFolder->AddFile("a"), 0);
	Map map;
	VFileAttributesCache::CollectFileAttributes(map, fFolder.Get());
	fCache->SwapMap(map);
	Map empty;
	fCache->SwapMap(empty);
	EXPECT_EQ(empty.size(), 1u);
	EXPECT_FALSE(fCache->FileExists(SystemPath("Root:data:a")));

	fCache->SwapMap(empty);
	EXPECT_TRUE(fCache->FileExists(SystemPath("Root:data:a")));
	fCache->Clear();
	EXPECT_FALSE(fCache->FileExists(SystemPath("Root:data:a")));
}

TEST_F(FileAttributesCache, ReadersRunWhileTheOwnerSwaps)
{
	for (int i = 0; i < 20; ++i) {
		VString name;
		name.Printf("f%d", i);
		SetTimes(fFolder->AddFile(to_string(name).c_str()), i * 10);
	}
	std::atomic<int> wrong{0};
	testing::RunOnThreads(6, [&](int inIndex) {
		for (int round = 0; round < 300; ++round) {
			if (inIndex == 0) {
				Map map;
				if (round % 2 == 0)
					VFileAttributesCache::CollectFileAttributes(map, fFolder.Get());
				fCache->SwapMap(map);
			} else {
				VTime modified;
				VString path;
				path.Printf("Root:data:f%d", round % 20);
				VFilePath filePath = SystemPath(to_string(path).c_str());
				if (fCache->GetTimeAttributes(filePath, &modified, nullptr, nullptr) &&
					modified.GetMilliseconds() != (round % 20) * 10 + 1)
					++wrong;
				(void)fCache->FileExists(filePath);
			}
		}
	});
	EXPECT_EQ(wrong.load(), 0);
}

} // namespace
} // namespace qirn
