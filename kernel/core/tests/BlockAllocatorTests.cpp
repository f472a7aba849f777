#include "PoolWorkload.h"
#include "TestPool.h"
#include "testing/TestWaits.h"

#include "core/VCppMemMgr.h"
#include "core/VMemCppImpl.h"
#include "core/VMemStats.h"
#include "core/VObject.h"
#include "core/VPageAllocationImpl.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <new>
#include <thread>
#include <vector>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#endif

namespace qirn {
namespace {

constexpr size_t kKiB = 1024;
constexpr size_t kMiB = 1024 * kKiB;

bool IsSmall(const void* inBlock)
{
	return VPageAllocationImpl::SmallBlockHeader(inBlock) != nullptr;
}

// One pool on its own, with an area of a known size and no growth, so that
// blocks land where the tests expect them.
class BlockAllocator : public ::testing::Test {
protected:
	void SetUp() override { fPool.Init(nullptr); }
	void GiveArea(size_t inSize = 8 * kMiB) { ASSERT_TRUE(fPool.AddAllocation(inSize, nullptr, 0)); }
	void* Take(size_t inSize)
	{
		void* block = fPool.Malloc(inSize, 0, 0, 'test');
		EXPECT_NE(block, nullptr) << inSize;
		return block;
	}
	size_t Used()
	{
		size_t allocated = 0, used = 0;
		fPool.GetMemUsageInfo(allocated, used);
		return used;
	}
	// Every block given back, and the pool's structures still whole.
	void ExpectEmptyAndSound()
	{
		EXPECT_EQ(Used(), 0u);
		EXPECT_TRUE(fPool.Check(nullptr));
	}

	VMemCppImpl fPool{0};
};

TEST_F(BlockAllocator, RequestsGetTheUsableSizeOfTheirClass)
{
	GiveArea();
	struct Case {
		size_t fRequest;
		bool fSmall;
		size_t fUsable;
	};
	const Case cases[] = {
		{0, true, 8},
		{100, true, 104},		 // 108 with its header, in 112-byte blocks
		{1016, true, 1016},		 // the last class in steps of 16
		{1017, true, 1080},		 // then steps of 64
		{4089, true, 4344},		 // then steps of 256
		{8183, true, 8184},		 // 8,191 with its header: the last small block
		{8184, false, 9192},	 // 8,208 with its header, raised to 9 KiB
		{1048552, false, 1048552}, // exactly 1 MiB with its header
		{1048553, false, 1048560}, // above: raised to a multiple of 8 only
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fRequest);
		void* block = Take(c.fRequest);
		ASSERT_NE(block, nullptr);
		EXPECT_EQ(IsSmall(block), c.fSmall);
		EXPECT_EQ(fPool.GetPtrSize(block), c.fUsable);
		EXPECT_EQ(reinterpret_cast<uintptr_t>(block) % 16, 0u);
		EXPECT_TRUE(fPool.CheckPtr(block));
		fPool.Free(block);
	}
	ExpectEmptyAndSound();
}

TEST_F(BlockAllocator, WithoutAnAreaOrGrowthEveryRequestFails)
{
	EXPECT_EQ(fPool.Malloc(16, 0, 0, 'test'), nullptr);
	EXPECT_EQ(fPool.Malloc(100 * kKiB, 0, 0, 'test'), nullptr);
	EXPECT_EQ(fPool.Malloc(VMemCppImpl::kMaxRequest + 1, 0, 0, 'test'), nullptr);
	EXPECT_EQ(fPool.CountAllocations(), 0);
}

TEST_F(BlockAllocator, RequestsAboveTheLimitAreRefusedEvenWithGrowth)
{
	fPool.SetAutoAllocationState(true);
	for (size_t size : {VMemCppImpl::kMaxRequest + 1, SIZE_MAX - 7, SIZE_MAX - 3, SIZE_MAX}) {
		SCOPED_TRACE(size);
		EXPECT_EQ(fPool.Malloc(size, 0, 0, 'test'), nullptr);
	}
	EXPECT_EQ(fPool.CountAllocations(), 0);
}

TEST_F(BlockAllocator, AreasBelow64KiBAreRefused)
{
	EXPECT_FALSE(fPool.AddAllocation(64 * kKiB - 1, nullptr, 0));
	EXPECT_EQ(fPool.CountAllocations(), 0);
	EXPECT_TRUE(fPool.AddAllocation(64 * kKiB, nullptr, 0));
	EXPECT_TRUE(fPool.AddAllocation(128 * kKiB, nullptr, 1));
	EXPECT_EQ(fPool.CountAllocations(), 2);
	EXPECT_EQ(fPool.GetTotalAllocation(), 192 * kKiB);
}

TEST_F(BlockAllocator, ARequestTooBigForEveryAreaFailsWithoutGrowth)
{
	GiveArea(1 * kMiB);
	EXPECT_EQ(fPool.Malloc(1 * kMiB, 0, 0, 'test'), nullptr);
	EXPECT_EQ(fPool.CountAllocations(), 1);
}

TEST_F(BlockAllocator, FreeingTheLastBlockGivesItsSpaceBackToTheAreasEnd)
{
	GiveArea();
	void* first = Take(20000);
	void* second = Take(20000);
	void* third = Take(50000);
	fPool.Free(second); // a hole in the middle stays a free block
	fPool.Free(third);	// the end goes back, and the hole before it with it
	void* again = Take(100000);
	EXPECT_EQ(again, second) << "carved where the freed blocks were";
	fPool.Free(again);
	fPool.Free(first);
	ExpectEmptyAndSound();
}

TEST_F(BlockAllocator, AdjacentFreedBlocksBecomeOne)
{
	GiveArea();
	// Freed left to right (merged with the previous block) and right to left
	// (merged with the next one): both leave one block of 40 KiB.
	for (bool leftFirst : {true, false}) {
		SCOPED_TRACE(leftFirst);
		void* left = Take(20000); // 20 KiB blocks
		void* right = Take(20000);
		void* guard = Take(20000);
		fPool.Free(leftFirst ? left : right);
		fPool.Free(leftFirst ? right : left);
		void* joined = Take(40 * kKiB - 24);
		EXPECT_EQ(joined, left);
		fPool.Free(joined);
		fPool.Free(guard);
		ExpectEmptyAndSound();
	}
}

TEST_F(BlockAllocator, AFreeBlockIsSplitOnlyWhenTheRestReaches8192Bytes)
{
	GiveArea();
	// A free block of 2 MiB + 24 bytes (its list keeps sizes in steps of 8),
	// held away from the area's end by a guard.
	const size_t freeSize = 2 * kMiB + 24;
	struct Case {
		size_t fRest;
		size_t fUsable;
	};
	// Rests are multiples of 8: 8,184 is the largest below 8,192.
	const Case cases[] = {{8184, freeSize - 24}, {8192, freeSize - 8192 - 24}};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fRest);
		void* big = Take(freeSize - 24);
		void* guard = Take(20000);
		fPool.Free(big);
		void* block = Take(freeSize - c.fRest - 24);
		EXPECT_EQ(block, big);
		EXPECT_EQ(fPool.GetPtrSize(block), c.fUsable);
		fPool.Free(block);
		fPool.Free(guard);
		ExpectEmptyAndSound();
	}
}

TEST_F(BlockAllocator, AListedBlockIsHandedOutWhole)
{
	GiveArea();
	// A 20 KiB free block lies in list 20: a request that needs 20 KiB takes
	// it whole, one that needs 19 KiB waits for a block of list 19 or carves.
	void* block = Take(20 * kKiB - 24);
	void* guard = Take(100);
	fPool.Free(block);
	void* smaller = Take(19 * kKiB - 24);
	EXPECT_NE(smaller, block);
	void* same = Take(20 * kKiB - 24);
	EXPECT_EQ(same, block);
	for (void* b : {smaller, same, guard})
		fPool.Free(b);
	EXPECT_EQ(Used(), 0u);
}

TEST_F(BlockAllocator, ABlockFreedThroughAnotherPoolReturnsToItsOwner)
{
	VMemCppImpl other(3);
	other.Init(nullptr);
	ASSERT_TRUE(other.AddAllocation(4 * kMiB, nullptr, 0));
	GiveArea();
	for (size_t size : {size_t(100), size_t(50000)}) {
		SCOPED_TRACE(size);
		void* block = other.Malloc(size, 0, 0, 'test');
		ASSERT_NE(block, nullptr);
		EXPECT_EQ(fPool.GetAllocationBlockNumber(block), 3);
		EXPECT_EQ(fPool.GetPtrSize(block), other.GetPtrSize(block));
		fPool.Free(block);
		size_t allocated = 0, used = 1;
		other.GetMemUsageInfo(allocated, used);
		EXPECT_EQ(used, 0u);
		EXPECT_EQ(Used(), 0u);
	}
	EXPECT_TRUE(other.Check(nullptr));
	EXPECT_TRUE(fPool.Check(nullptr));
}

TEST_F(BlockAllocator, SmallBlocksOfOneClassShareAPageUntilItIsFull)
{
	GiveArea();
	// 16-byte blocks: (8,168 - 56) / 16 = 507 to a page of 8 KiB.
	std::vector<void*> blocks;
	for (int i = 0; i < 508; ++i)
		blocks.push_back(Take(1));
	EXPECT_EQ(Used(), 2 * 8192u) << "the 508th block opens a second page";
	void* freed = blocks[10];
	fPool.Free(freed);
	EXPECT_FALSE(fPool.CheckPtr(freed));
	EXPECT_EQ(Take(1), freed) << "the last freed block serves first";
	for (void* block : blocks)
		fPool.Free(block);
	EXPECT_EQ(Used(), 0u) << "empty pages go back as big blocks";
	EXPECT_TRUE(fPool.Check(nullptr));
}

TEST_F(BlockAllocator, WithGrowthOnAnAreaOfAtLeast20MiBIsTakenAndGivenBackWhenEmpty)
{
	fPool.SetAutoAllocationState(true);
	void* block = Take(100);
	EXPECT_EQ(fPool.CountAllocations(), 1);
	EXPECT_EQ(fPool.GetTotalAllocation(), 20 * kMiB);
	void* huge = Take(30 * kMiB);
	EXPECT_EQ(fPool.CountAllocations(), 2);
	fPool.Free(huge);
	EXPECT_EQ(fPool.CountAllocations(), 1);
	fPool.Free(block);
	EXPECT_EQ(fPool.CountAllocations(), 0);
	EXPECT_EQ(fPool.GetTotalAllocation(), 0u);
}

TEST_F(BlockAllocator, ReallocKeepsTheTagAndTheContents)
{
	GiveArea();
	char* block = static_cast<char*>(Take(10));
	std::memcpy(block, "0123456789", 10);
	char* grown = static_cast<char*>(fPool.Realloc(block, 30000));
	ASSERT_NE(grown, nullptr);
	EXPECT_EQ(std::memcmp(grown, "0123456789", 10), 0);
	char* shrunk = static_cast<char*>(fPool.Realloc(grown, 4));
	ASSERT_NE(shrunk, nullptr);
	EXPECT_EQ(std::memcmp(shrunk, "0123", 4), 0);
	fPool.Free(shrunk);
	EXPECT_EQ(Used(), 0u);
}

// ---- checks and statistics ----

// Headers are poisoned in the sanitizer build: a test that damages one on
// purpose writes past the checks.
__attribute__((no_sanitize_address)) void PokeWord(void* inAddress, int32 inValue)
{
	*static_cast<volatile int32*>(inAddress) = inValue;
}

__attribute__((no_sanitize_address)) int32 PeekWord(const void* inAddress)
{
	return *static_cast<const volatile int32*>(inAddress);
}

TEST_F(BlockAllocator, ChecksFindADamagedHeaderOrFreedList)
{
	GiveArea();
	void* big = Take(20000);
	void* next = Take(20000);
	void* small = Take(100);
	void* freedSmall = Take(100);
	fPool.Free(freedSmall);
	EXPECT_TRUE(fPool.CheckPtr(big));
	EXPECT_TRUE(fPool.CheckPtr(small));
	EXPECT_FALSE(fPool.CheckPtr(freedSmall));
	EXPECT_TRUE(fPool.Check(nullptr));

	struct Case {
		const char* fName;
		void* fWord;
		int32 fValue;
	};
	const Case cases[] = {
		// The next block's distance back no longer leads to this block.
		{"distance", static_cast<char*>(next) - 8, 12345},
		// The freed block's link leaves the page's carved part.
		{"freed link", freedSmall, 64},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		int32 saved = PeekWord(c.fWord);
		PokeWord(c.fWord, c.fValue);
		EXPECT_FALSE(fPool.Check(nullptr));
		PokeWord(c.fWord, saved);
		EXPECT_TRUE(fPool.Check(nullptr));
	}
	for (void* block : {big, next, small})
		fPool.Free(block);
	EXPECT_FALSE(fPool.CheckPtr(big));
}

TEST_F(BlockAllocator, TheSanitizerSeesOnlyTheCallersBytes)
{
#if defined(__SANITIZE_ADDRESS__)
	GiveArea();
	for (size_t size : {size_t(100), size_t(20000)}) {
		SCOPED_TRACE(size);
		char* block = static_cast<char*>(Take(size));
		const size_t usable = fPool.GetPtrSize(block);
		EXPECT_EQ(__asan_region_is_poisoned(block, usable), nullptr);
		EXPECT_TRUE(__asan_address_is_poisoned(block - 1)) << "the header";
		EXPECT_TRUE(__asan_address_is_poisoned(block + usable)) << "what follows";
		void* keep = Take(size); // so that the freed block is not given back
		fPool.Free(block);
		EXPECT_TRUE(__asan_address_is_poisoned(block)) << "a freed block";
		fPool.Free(keep);
	}
#else
	GTEST_SKIP() << "the address sanitizer build checks this";
#endif
}

class StatsProbe : public VObject {
public:
	char fPayload[200] = {};
};

TEST_F(BlockAllocator, StatisticsCountBlocksByTagSizePageAndClass)
{
	GiveArea();
	void* strings[3] = {fPool.Malloc(100, 0, 0, 'str '), fPool.Malloc(100, 0, 0, 'str '), fPool.Malloc(100, 0, 0, 'str ')};
	fPool.Free(strings[1]);
	void* buffer = fPool.Malloc(20000, 0, 0, 'memb');
	void* hole = fPool.Malloc(30000, 0, 0, 'memb');
	void* guard = fPool.Malloc(20000, 0, 0, 'memb');
	fPool.Free(hole);
	StatsProbe* smallObject = new (fPool.Malloc(sizeof(StatsProbe), 0, 1, 0)) StatsProbe;
	StatsProbe* bigObject = new (fPool.Malloc(10000, 0, 1, 0)) StatsProbe;

	VMemStats stats;
	fPool.GetStats(stats, 0);
	EXPECT_EQ(stats.fNbPages, 2u);
	EXPECT_EQ(stats.fPagesBySize[8168].fPartial, 2u) << "112- and 224-byte blocks";
	EXPECT_EQ(stats.fSmallBlocksBySize[112].fUsed, 2u);
	EXPECT_EQ(stats.fSmallBlocksBySize[112].fFree, 1u);
	EXPECT_EQ(stats.fNbSmallBlocks, 4u);
	EXPECT_EQ(stats.fNbUsedSmallBlocks, 3u);
	EXPECT_EQ(stats.fNbFreeSmallBlocks, 1u);
	EXPECT_EQ(stats.fNbBigBlocks, 6u) << "two pages, three used blocks and the hole";
	EXPECT_EQ(stats.fNbUsedBigBlocks, 5u);
	EXPECT_EQ(stats.fNbFreeBigBlocks, 1u);
	EXPECT_EQ(stats.fOtherBigBlocksBySize[30 * kKiB].fFree, 1u);
	EXPECT_EQ(stats.fOtherBigBlocksBySize[20 * kKiB].fUsed, 2u);
	EXPECT_EQ(stats.fBlocksByTag['str '].fCount, 2u);
	EXPECT_EQ(stats.fBlocksByTag['str '].fTotalSize, 224u);
	EXPECT_EQ(stats.fBlocksByTag['memb'].fCount, 2u);
	EXPECT_EQ(stats.fBlocksByTag['memb'].fTotalSize, 40 * kKiB);
	EXPECT_EQ(stats.fNbObjects, 2u);
	const std::string probeName = "qirn::(anonymous namespace)::StatsProbe";
	EXPECT_EQ(stats.fObjectsByClass[probeName].fCount, 2u);
	EXPECT_EQ(stats.fObjectsByClass[probeName].fTotalSize, 224u + 10 * kKiB);
	EXPECT_EQ(stats.fUsedMem, 2 * 112u + 224u + 2 * 20 * kKiB + 10 * kKiB);
	EXPECT_EQ(stats.fBiggestBlock, 30 * kKiB);

	const std::string dump = stats.Dump();
	for (const std::string& line : {probeName + " : 2   ,  mem = 10464\n", std::string("str  : 2   ,  mem = 224\n"),
									std::string("112 : NbUsed = 2 , NbFree = 1\n"),
									std::string("8168 : NbFull = 0 , NbPartial = 2\n"),
									std::string("30720 : NbUsed = 0 , NbFree = 1\n"),
									std::string("Nb Pages containing small blocks = 2\n")}) {
		SCOPED_TRACE(line);
		EXPECT_NE(dump.find(line), std::string::npos) << dump;
	}

	smallObject->~StatsProbe();
	bigObject->~StatsProbe();
	for (void* block : {strings[0], strings[2], buffer, guard, static_cast<void*>(smallObject),
						static_cast<void*>(bigObject)})
		fPool.Free(block);
	EXPECT_EQ(Used(), 0u);
}

// ---- the pools serving a manager ----

// The kernel's own pools, recorded so that tests can check each of them.
using StRecordedPools = testing::StPoolFactory<VMemCppImpl>;

bool CheckAllPools()
{
	for (VMemCppImpl* pool : StRecordedPools::Pools())
		if (!pool->Check(nullptr))
			return false;
	return true;
}

class PoolsOfAManager : public ::testing::Test {
protected:
	void SetUp() override { ASSERT_FALSE(fManager->IsSingleAllocator()); }

	StRecordedPools fPools;
	std::unique_ptr<VCppMemMgr> fManager{new VCppMemMgr(eAllocator_Pools)};
};

TEST_F(PoolsOfAManager, PoolsGrowOnTheirOwnSoEveryRequestIsServed)
{
	EXPECT_EQ(fManager->GetLargestPoolArea(), 0u);
	void* block = fManager->Malloc(100, false, 'test');
	ASSERT_NE(block, nullptr);
	EXPECT_EQ(fManager->GetPtrSize(block), 104u);
	void* big = fManager->Malloc(40 * kMiB, false, 'test', 2);
	ASSERT_NE(big, nullptr);
	EXPECT_EQ(fManager->GetAllocationBlockNumber(big), 2);
	EXPECT_EQ(fManager->CountVirtualAllocations(), 2);
	EXPECT_EQ(fManager->GetTotalAllocationOfPools(), fManager->GetAllocatedMem());
	fManager->Free(big);
	fManager->Free(block);
	EXPECT_EQ(fManager->CountVirtualAllocations(), 0);
}

TEST_F(PoolsOfAManager, ARegisteredAreaIsSplitOverThePools)
{
	ASSERT_TRUE(fManager->AddVirtualAllocation(16 * kMiB, nullptr, false));
	EXPECT_EQ(fManager->CountVirtualAllocations(), 4);
	EXPECT_EQ(fManager->GetAllocatedMem(), 16 * kMiB);
	void* block = fManager->Malloc(1 * kMiB, false, 'test', 1);
	EXPECT_EQ(fManager->GetAllocationBlockNumber(block), 1);
	EXPECT_EQ(fManager->CountVirtualAllocations(), 4) << "carved from the registered area";
	fManager->Free(block);
}

TEST_F(PoolsOfAManager, EightTasksAllocatingAtOnceKeepTheirBlocks)
{
	// Each thread runs a workload of its own; blocks freed by one thread's
	// realloc may come from any pool, so the pools meet under the manager's
	// mutex all the time.
	testing::Gate start;
	std::vector<std::string> faults(8);
	std::vector<std::thread> threads;
	for (uint32 i = 0; i < 8; ++i) {
		threads.emplace_back([&, i] {
			testing::PoolWorkload workload(*fManager, 100 + i, 64);
			if (!start.Wait())
				return;
			faults[i] = workload.Run(4, 300);
		});
	}
	start.Open();
	for (std::thread& thread : threads)
		thread.join();
	for (uint32 i = 0; i < 8; ++i)
		EXPECT_EQ(faults[i], "") << i;
	size_t allocated = 0, used = 1;
	fManager->GetMemUsageInfo(allocated, used);
	EXPECT_EQ(used, 0u);
	EXPECT_TRUE(CheckAllPools());
}

TEST_F(PoolsOfAManager, StatisticsAddUpEveryPool)
{
	void* blocks[4];
	for (int32 i = 0; i < 4; ++i)
		blocks[i] = fManager->Malloc(50000, false, 'memb', i);
	VMemStats stats;
	fManager->GetStatistics(stats, -1);
	EXPECT_EQ(stats.fBlocksByTag['memb'].fCount, 4u);
	fManager->GetStatistics(stats, 2);
	EXPECT_EQ(stats.fBlocksByTag['memb'].fCount, 1u);
	for (void* block : blocks)
		fManager->Free(block);
}

TEST_F(PoolsOfAManager, ASeededWorkloadKeepsEveryBlockAndEveryPoolSound)
{
	for (uint32 seed : {1u, 2u, 3u}) {
		SCOPED_TRACE(seed);
		testing::PoolWorkload workload(*fManager, seed);
		EXPECT_EQ(workload.Run(20, 500, &CheckAllPools), "");
		workload.FreeAll();
		size_t allocated = 0, used = 1;
		fManager->GetMemUsageInfo(allocated, used);
		EXPECT_EQ(used, 0u);
		EXPECT_TRUE(CheckAllPools());
	}
}

} // namespace
} // namespace qirn
