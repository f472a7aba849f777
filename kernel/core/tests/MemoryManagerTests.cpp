#include "TestPool.h"
#include "testing/TempFolder.h"

#include "core/VCppMemMgr.h"
#include "core/VMemStats.h"
#include "core/VMemory.h"
#include "core/VObject.h"
#include "runtime/VSyncEvent.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <sys/stat.h>
#include <unistd.h>

namespace qirn {
namespace {

using testing::StTestPools;
using testing::TestPool;

constexpr size_t kMiB = 1024 * 1024;

bool AllZero(const void* inBlock, size_t inSize)
{
	const unsigned char* bytes = static_cast<const unsigned char*>(inBlock);
	for (size_t i = 0; i < inSize; ++i)
		if (bytes[i] != 0)
			return false;
	return true;
}

// ---- the process's manager and VMemory ----

// The whole executable also runs in a bundle that asks for the pools, which
// says so through QIRN_EXPECT_ALLOCATOR.
TEST(MemoryManager, ExistsBeforeMainInTheModeTheBundleAsksFor)
{
	ASSERT_NE(VObject::sCppMemMgr, nullptr);
	const char* expected = std::getenv("QIRN_EXPECT_ALLOCATOR");
	const bool pools = expected != nullptr && std::strcmp(expected, "qirn") == 0;
	EXPECT_EQ(VObject::sCppMemMgr->IsSingleAllocator(), !pools);
	EXPECT_EQ(VCppMemMgr::ChooseAllocatorKind(eAllocator_FromInfoPlist), pools ? eAllocator_Pools : eAllocator_System);
	EXPECT_TRUE(VMemory::InitMemoryManager()); // the entry's second call keeps it
}

TEST(MemoryManager, NewPtrClearAndCallocAreZeroFilled)
{
	void* cleared = VMemory::NewPtrClear(1000, 'test');
	ASSERT_NE(cleared, nullptr);
	EXPECT_TRUE(AllZero(cleared, 1000));
	VMemory::DisposePtr(cleared);

	void* block = VObject::sCppMemMgr->Calloc(10, 100, 'test');
	ASSERT_NE(block, nullptr);
	EXPECT_TRUE(AllZero(block, 1000));
	VObject::sCppMemMgr->Free(block);
}

TEST(MemoryManager, CallocRefusesNegativeAndOverflowingCounts)
{
	EXPECT_EQ(VObject::sCppMemMgr->Calloc(-1, 16, 'test'), nullptr);
	EXPECT_EQ(VObject::sCppMemMgr->Calloc(2, SIZE_MAX / 2 + 1, 'test'), nullptr);
}

TEST(MemoryManager, ReallocOfNullAllocatesAndToZeroFrees)
{
	void* block = VMemory::SetPtrSize(nullptr, 32);
	ASSERT_NE(block, nullptr);
	std::memcpy(block, "0123456789abcdefghijklmnopqrstu", 32);
	block = VMemory::SetPtrSize(block, 4096);
	ASSERT_NE(block, nullptr);
	EXPECT_EQ(std::memcmp(block, "0123456789abcdefghijklmnopqrstu", 32), 0);
	block = VMemory::SetPtrSize(block, 8);
	ASSERT_NE(block, nullptr);
	EXPECT_EQ(std::memcmp(block, "01234567", 8), 0);
	EXPECT_EQ(VMemory::SetPtrSize(block, 0), nullptr); // freed: the sanitizer build sees a leak otherwise
}

TEST(MemoryManager, FailedReallocKeepsTheOldBlock)
{
	void* block = VMemory::NewPtr(16, 'test');
	ASSERT_NE(block, nullptr);
	std::memcpy(block, "still here", 11);
	EXPECT_EQ(VMemory::SetPtrSize(block, SIZE_MAX - 4096), nullptr);
	EXPECT_STREQ(static_cast<char*>(block), "still here");
	VMemory::DisposePtr(block);
}

TEST(MemoryManager, SingleModeFigures)
{
	std::unique_ptr<VCppMemMgr> single(new VCppMemMgr(eAllocator_System));
	VCppMemMgr& manager = *single;
	EXPECT_EQ(manager.GetMaxFree(), 0u);
	EXPECT_EQ(manager.GetAllocatedMem(), 1048576u);
	size_t allocated = 0, used = 1;
	manager.GetMemUsageInfo(allocated, used);
	EXPECT_EQ(allocated, 1048576u);
	EXPECT_EQ(used, 0u);
	size_t s[9];
	manager.GetMemStatistics(s[0], s[1], s[2], s[3], s[4], s[5], s[6], s[7], s[8]);
	for (int i = 0; i < 9; ++i)
		EXPECT_EQ(s[i], i == 2 ? 1048576u : 0u) << i;
	EXPECT_EQ(manager.CountVirtualAllocations(), 1);
	EXPECT_FALSE(manager.AddVirtualAllocation(20 * kMiB, nullptr, false));
	EXPECT_EQ(manager.GetAllocationBlockNumber(nullptr), 0);
	int value = 0;
	EXPECT_EQ(manager.CheckVObject(&value), &value);
	void* block = manager.Malloc(100, false, 'test');
	EXPECT_GE(manager.GetPtrSize(block), 100u);
	manager.Free(block);
	manager.Free(nullptr);
}

// ---- the choice of back end ----

class AllocatorChoice : public ::testing::Test {
protected:
	void SetUp() override
	{
		fBundle = fRoot / "Demo.app";
		ASSERT_EQ(::mkdir(fBundle.c_str(), 0755), 0);
		ASSERT_EQ(::mkdir((fBundle + "/Contents").c_str(), 0755), 0);
	}
	void WriteInfoPlist(const std::string& inBody)
	{
		std::ofstream(fBundle + "/Contents/Info.plist")
			<< "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
			   "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
			   "<plist version=\"1.0\"><dict>"
			<< inBody << "</dict></plist>\n";
	}
	testing::TempFolder fRoot;
	std::string fBundle;
};

TEST_F(AllocatorChoice, InfoPlistValueDecides)
{
	struct Case {
		const char* fBody;
		EAllocatorKind fExpected;
	};
	const Case cases[] = {
		{"", eAllocator_System},
		{"<key>MemoryAllocator</key><string>stdlib</string>", eAllocator_System},
		{"<key>MemoryAllocator</key><string>STDLIB</string>", eAllocator_System},
		{"<key>MemoryAllocator</key><string>other</string>", eAllocator_System},
		{"<key>MemoryAllocator</key><integer>2</integer>", eAllocator_System},
		{"<key>MemoryAllocator</key><string>qirn</string>", eAllocator_Pools},
		{"<key>MemoryAllocator</key><string>QiRN</string>", eAllocator_Pools},
	};
	for (const Case& c : cases) {
		WriteInfoPlist(c.fBody);
		EXPECT_EQ(VCppMemMgr::ChooseAllocatorKind(eAllocator_FromInfoPlist, fBundle.c_str()), c.fExpected)
			<< c.fBody;
	}
}

TEST_F(AllocatorChoice, ExplicitKindsAndUnknownKinds)
{
	WriteInfoPlist("<key>MemoryAllocator</key><string>qirn</string>");
	EXPECT_EQ(VCppMemMgr::ChooseAllocatorKind(eAllocator_System, fBundle.c_str()), eAllocator_System);
	EXPECT_EQ(VCppMemMgr::ChooseAllocatorKind(eAllocator_Pools, fBundle.c_str()), eAllocator_Pools);
	EXPECT_EQ(VCppMemMgr::ChooseAllocatorKind(static_cast<EAllocatorKind>(7), fBundle.c_str()), eAllocator_System);
	EXPECT_EQ(VCppMemMgr::ChooseAllocatorKind(static_cast<EAllocatorKind>(-1), fBundle.c_str()), eAllocator_System);

	std::unique_ptr<VCppMemMgr> manager(new VCppMemMgr(static_cast<EAllocatorKind>(42)));
	ASSERT_NE(manager, nullptr);
	EXPECT_TRUE(manager->IsSingleAllocator());
	void* block = manager->Malloc(10, false, 'test');
	EXPECT_NE(block, nullptr);
	manager->Free(block);
}

XMemCppImpl* MakeNoPool(int32)
{
	return nullptr;
}

TEST(MemoryManagerPools, WithoutAPoolBackEndTheSystemAllocatorServes)
{
	VCppMemMgr::PoolFactoryProc previous = VCppMemMgr::SetPoolFactory(&MakeNoPool);
	std::unique_ptr<VCppMemMgr> manager(new VCppMemMgr(eAllocator_Pools));
	VCppMemMgr::SetPoolFactory(previous);
	EXPECT_TRUE(manager->IsSingleAllocator());
	void* block = manager->Malloc(64, false, 'test');
	EXPECT_NE(block, nullptr);
	manager->Free(block);
}

// ---- pool mode, over the test back end ----

class PoolMode : public ::testing::Test {
protected:
	void SetUp() override
	{
		fManager.reset(new VCppMemMgr(eAllocator_Pools));
		ASSERT_FALSE(fManager->IsSingleAllocator());
		ASSERT_EQ(fManager->CountPools(), 4);
	}
	void TearDown() override { fManager.reset(); }
	TestPool& Pool(int32 inIndex) { return *StTestPools::Pool(inIndex); }
	// Gives each pool room for inBytes through the manager's own call.
	void GiveAreas(size_t inPerPool)
	{
		ASSERT_TRUE(fManager->AddVirtualAllocation(inPerPool * 4, nullptr, false));
	}

	StTestPools fPools;
	std::unique_ptr<VCppMemMgr> fManager;
};

TEST_F(PoolMode, NothingIsServedBeforeAnAreaIsRegistered)
{
	EXPECT_EQ(fManager->Malloc(16, false, 'test'), nullptr);
	for (int32 i = 0; i < 4; ++i)
		EXPECT_EQ(Pool(i).fMallocCalls, 0) << "no pool is asked above the largest area";
}

TEST_F(PoolMode, SmallRegistrationsChangeNothing)
{
	EXPECT_TRUE(fManager->AddVirtualAllocation(10 * kMiB - 1, nullptr, false));
	EXPECT_EQ(fManager->GetLargestPoolArea(), 0u);
	EXPECT_EQ(fManager->CountVirtualAllocations(), 0);
}

TEST_F(PoolMode, RegistrationSplitsTheAreaOverThePools)
{
	GiveAreas(4 * kMiB);
	EXPECT_EQ(fManager->GetLargestPoolArea(), 4 * kMiB);
	EXPECT_EQ(fManager->CountVirtualAllocations(), 4);
	EXPECT_EQ(fManager->GetAllocatedMem(), 16 * kMiB);
	for (int32 i = 0; i < 4; ++i)
		EXPECT_EQ(Pool(i).fCapacity, 4 * kMiB);
	EXPECT_EQ(fManager->Malloc(4 * kMiB + 1, false, 'test'), nullptr);
}

TEST_F(PoolMode, RegistrationAtAnAddressGivesEachPoolItsOwnSlice)
{
	// Find a free region, then hand its address to the manager.
	const size_t total = 12 * kMiB;
	void* probe = VSystem::VirtualAlloc(total, nullptr);
	ASSERT_NE(probe, nullptr);
	VSystem::VirtualFree(probe, total, false);
	ASSERT_TRUE(fManager->AddVirtualAllocation(total, probe, false));
	for (int32 i = 0; i < 4; ++i)
		EXPECT_EQ(Pool(i).fAreas.at(0).fAddress, static_cast<char*>(probe) + i * (total / 4));
}

TEST_F(PoolMode, AnAreaAPoolTurnsDownIsGivenBack)
{
	Pool(2).fRefusesAreas = true;
	EXPECT_FALSE(fManager->AddVirtualAllocation(16 * kMiB, nullptr, false));
	EXPECT_EQ(Pool(0).fAreas.size(), 1u) << "pools served before keep their area";
	EXPECT_EQ(Pool(1).fAreas.size(), 1u);
	EXPECT_TRUE(Pool(3).fAreas.empty()) << "no pool is served after the refusal";
	ASSERT_EQ(Pool(2).fRefusedAreas.size(), 1u);

	// The refused pages are free again: they can be mapped at that very place.
	const TestPool::Area refused = Pool(2).fRefusedAreas[0];
	void* again = VSystem::VirtualAlloc(refused.fSize, refused.fAddress);
	EXPECT_EQ(again, refused.fAddress);
	if (again != nullptr)
		VSystem::VirtualFree(again, refused.fSize, false);
}

TEST_F(PoolMode, PreferredPoolFirstThenRotationFromTheCurrentPool)
{
	GiveAreas(3 * kMiB);
	void* preferred = fManager->Malloc(100, false, 'test', 2);
	EXPECT_EQ(fManager->GetAllocationBlockNumber(preferred), 2);
	void* rotated = fManager->Malloc(100, false, 'test');
	EXPECT_EQ(fManager->GetAllocationBlockNumber(rotated), 0);

	// Pool 0 full: the walk goes on to pool 1.
	void* filler = fManager->Malloc(3 * kMiB - 100, false, 'test');
	ASSERT_NE(filler, nullptr);
	EXPECT_EQ(fManager->GetAllocationBlockNumber(filler), 0);
	void* next = fManager->Malloc(100, false, 'test');
	EXPECT_EQ(fManager->GetAllocationBlockNumber(next), 1);

	size_t allocated = 0, used = 0;
	fManager->GetMemUsageInfo(allocated, used);
	EXPECT_EQ(allocated, 12 * kMiB);
	EXPECT_EQ(used, 3 * kMiB + 200);

	for (void* block : {preferred, rotated, filler, next})
		fManager->Free(block);
	fManager->GetMemUsageInfo(allocated, used);
	EXPECT_EQ(used, 0u);
}

TEST_F(PoolMode, ReallocMovesTheDataIntoANewBlock)
{
	GiveAreas(3 * kMiB);
	char* block = static_cast<char*>(fManager->Malloc(8, false, 'test'));
	std::memcpy(block, "abcdefgh", 8);
	char* grown = static_cast<char*>(fManager->Realloc(block, 64));
	ASSERT_NE(grown, nullptr);
	EXPECT_EQ(std::memcmp(grown, "abcdefgh", 8), 0);
	EXPECT_EQ(fManager->GetPtrSize(grown), 64u);
	EXPECT_EQ(fManager->Realloc(grown, 0), nullptr);
	size_t allocated = 0, used = 0;
	fManager->GetMemUsageInfo(allocated, used);
	EXPECT_EQ(used, 0u);
}

TEST_F(PoolMode, StatisticsAskOnePoolOrEvery)
{
	GiveAreas(3 * kMiB);
	VMemStats stats;
	fManager->GetStatistics(stats, 2);
	fManager->GetStatistics(stats, -1);
	fManager->GetStatistics(stats, 9);
	EXPECT_EQ(Pool(2).fStatsIndexes, (std::vector<int16>{2, 2, 2}));
	EXPECT_EQ(Pool(0).fStatsIndexes, (std::vector<int16>{0, 0}));
}

struct PurgeRecord {
	int32 fIndex;
	size_t fSize;
	bool fFirst;
};
std::vector<PurgeRecord> sPurges;
std::function<void()> sOnPurge;

size_t RecordPurge(int32 inIndex, size_t inSize, bool inFirst)
{
	sPurges.push_back({inIndex, inSize, inFirst});
	if (sOnPurge)
		sOnPurge();
	return 0;
}

class PoolPurge : public PoolMode {
protected:
	void SetUp() override
	{
		PoolMode::SetUp();
		sPurges.clear();
		sOnPurge = nullptr;
		fManager->SetPurgeHandlerProc(&RecordPurge);
		GiveAreas(3 * kMiB);
		for (int32 i = 0; i < 4; ++i)
			fFull[i] = fManager->Malloc(3 * kMiB, false, 'test', i);
	}
	void TearDown() override
	{
		for (void* block : fFull)
			fManager->Free(block);
		sOnPurge = nullptr;
		PoolMode::TearDown();
	}
	void* fFull[4] = {};
};

TEST_F(PoolPurge, EveryPoolFullPurgesInRotationAndGivesUpAtTheStart)
{
	EXPECT_EQ(fManager->Malloc(1000, false, 'test'), nullptr);
	ASSERT_EQ(sPurges.size(), 4u);
	for (int32 i = 0; i < 4; ++i) {
		EXPECT_EQ(sPurges[i].fIndex, i);
		EXPECT_EQ(sPurges[i].fSize, 1000u);
		EXPECT_EQ(sPurges[i].fFirst, i == 0);
	}
}

TEST_F(PoolPurge, AHandlerThatFreesMemoryLetsTheRequestSucceed)
{
	// The handler runs without the manager's mutex, so it may free through it.
	sOnPurge = [this] {
		fManager->Free(fFull[0]);
		fFull[0] = nullptr;
	};
	void* block = fManager->Malloc(1000, false, 'test');
	ASSERT_NE(block, nullptr);
	EXPECT_EQ(fManager->GetAllocationBlockNumber(block), 0);
	EXPECT_EQ(sPurges.size(), 1u);
	fManager->Free(block);
}

TEST_F(PoolPurge, PurgeMemCallsTheHandlerOnceWithSizeZero)
{
	fManager->PurgeMem(-1);
	fManager->PurgeMem(3);
	ASSERT_EQ(sPurges.size(), 2u);
	EXPECT_EQ(sPurges[0].fIndex, -1);
	EXPECT_EQ(sPurges[1].fIndex, 3);
	EXPECT_EQ(sPurges[1].fSize, 0u);
	EXPECT_TRUE(sPurges[1].fFirst);
}

TEST_F(PoolPurge, ATaskThatFindsAPurgeRunningWaitsForIt)
{
	// While this thread's handler runs, a second thread asks for memory: it
	// must wait on the purge instead of starting its own, and be served once
	// the handler has made room.
	void* otherBlock = nullptr;
	std::thread other;
	sOnPurge = [&] {
		if (sPurges.size() != 1)
			return;
		int before = 0;
		for (int32 i = 0; i < 4; ++i)
			before += Pool(i).fMallocCalls;
		other = std::thread([&] { otherBlock = fManager->Malloc(500, false, 'test'); });
		// The other thread's failed walk over the pools happens under the
		// mutex, just before it looks for a running purge.
		for (;;) {
			int now = 0;
			for (int32 i = 0; i < 4; ++i)
				now += Pool(i).fMallocCalls;
			if (now >= before + 3)
				break;
			std::this_thread::yield();
		}
		fManager->Free(fFull[1]);
		fFull[1] = nullptr;
	};
	void* block = fManager->Malloc(1000, false, 'test');
	other.join();
	ASSERT_NE(block, nullptr);
	ASSERT_NE(otherBlock, nullptr);
	EXPECT_EQ(sPurges.size(), 1u);
	fManager->Free(block);
	fManager->Free(otherBlock);
}

TEST_F(PoolPurge, AHandlerThatAsksForMemoryDoesNotWaitForItsOwnPurge)
{
	// The handler's own request finds every pool full and its own purge
	// running: it is refused instead of waiting for itself.
	void* fromHandler = this; // anything but null until the handler answers
	sOnPurge = [&] {
		if (sPurges.size() == 1) {
			fromHandler = fManager->Malloc(100, false, 'test');
			fManager->PurgeMem(-1);
		}
	};
	VSyncEvent* done = new VSyncEvent;
	std::thread requester([&] {
		EXPECT_EQ(fManager->Malloc(1000, false, 'test'), nullptr);
		done->Unlock();
	});
	// A deadlock leaves the thread blocked: the test then ends the program.
	ASSERT_TRUE(done->Lock(60000));
	requester.join();
	done->Release();
	EXPECT_EQ(fromHandler, nullptr);
	EXPECT_EQ(sPurges.size(), 4u);
}

// ---- memory hogs ----

TEST(MemoryHogs, RegisteredForTheCallingTaskAndUnregisteredOnce)
{
	VCppMemMgr& manager = *VObject::sCppMemMgr;
	VMemoryHog* hog = manager.RegisterMemHog();
	ASSERT_NE(hog, nullptr);
	EXPECT_NE(hog->GetTaskID(), 0);
	hog->GetCriticalSection().Lock();
	hog->GetCriticalSection().Unlock();
	manager.UnRegisterMemHog(hog);
	VMemoryHog stranger(1);
	manager.UnRegisterMemHog(&stranger); // not registered: ignored, not deleted
}

} // namespace
} // namespace qirn

namespace qirn {
namespace {

// The real start-up path: the probe program, copied into a bundle of its own,
// reads that bundle's Info.plist before main.
class StartUpInBundle : public AllocatorChoice {
protected:
	std::string RunProbe()
	{
		std::string macos = fBundle + "/Contents/MacOS";
		EXPECT_EQ(::mkdir(macos.c_str(), 0755), 0);
		std::string copy = "cp '" QIRN_PROBE_DIR "/qirn_probe_memmgr' '" + macos + "/probe'";
		EXPECT_EQ(std::system(copy.c_str()), 0);
		std::string command = "'" + macos + "/probe'";
		FILE* pipe = ::popen(command.c_str(), "r");
		std::string output;
		char line[8192];
		while (pipe != nullptr && std::fgets(line, sizeof(line), pipe) != nullptr)
			output += line;
		EXPECT_EQ(pipe != nullptr ? ::pclose(pipe) : -1, 0);
		return output;
	}
};

TEST_F(StartUpInBundle, TheBundlesInfoPlistChoosesBeforeMain)
{
	WriteInfoPlist("<key>MemoryAllocator</key><string>Qirn</string>");
	EXPECT_EQ(RunProbe(), "created=1 asked=pools single=0 bundle=" + fBundle + "\n");
}

TEST_F(StartUpInBundle, WithoutTheKeyTheSystemAllocatorIsChosen)
{
	WriteInfoPlist("<key>CFBundleExecutable</key><string>probe</string>");
	EXPECT_EQ(RunProbe(), "created=1 asked=system single=1 bundle=" + fBundle + "\n");
}

} // namespace
} // namespace qirn
