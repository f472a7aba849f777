#include "runtime/VSystem.h"
#include "testing/TempFolder.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <memory>
#include <string>
#include <sys/mman.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace qirn {
namespace {

TEST(SystemClocks, MillisecondsAndTicksFollowDelay)
{
	uint32 startMs = VSystem::GetCurrentTime();
	uint32 startTicks = VSystem::GetCurrentTicks();
	uint64 startMicro = VSystem::GetMicrosecFromProfilingCounter();
	VSystem::Delay(50);
	// Lower bounds only: a loaded machine may sleep longer, never shorter.
	EXPECT_GE(VSystem::GetCurrentTime() - startMs, 50u);
	EXPECT_GE(VSystem::GetCurrentDeltaTicks(startTicks), 2u);
	EXPECT_GE(VSystem::GetMicrosecFromProfilingCounter() - startMicro, 50000u);
}

// A start later than now gives a positive difference. Bounds from readings
// around the call hold however long the thread stalls between them.
TEST(SystemClocks, DeltaTicksIsAnAbsoluteDifference)
{
	const uint32 before = VSystem::GetCurrentTicks();
	const uint32 later = before + 600;
	const uint32 delta = VSystem::GetCurrentDeltaTicks(later);
	const uint32 elapsed = VSystem::GetCurrentTicks() - before;
	if (elapsed <= 600) {
		EXPECT_LE(delta, 600u);
		EXPECT_GE(delta, 600u - elapsed);
	} else {
		EXPECT_LE(delta, elapsed - 600); // the stall outlasted the head start
	}
}

// Nothing to wait for: a delay of zero or less returns, however the length
// is converted. A thread that sleeps instead is left behind, not waited for.
TEST(SystemClocks, DelayOfZeroOrLessReturns)
{
	for (int32 milliseconds : {0, -5, -1500, INT32_MIN}) {
		SCOPED_TRACE(milliseconds);
		auto returned = std::make_shared<testing::Gate>();
		std::thread([returned, milliseconds]() {
			VSystem::Delay(milliseconds);
			returned->Open();
		}).detach();
		EXPECT_TRUE(returned->Wait());
	}
}

TEST(SystemClocks, ProfilingCounterAndFrequencyAgree)
{
	uint64 counter = 0;
	uint64 answered = VSystem::GetProfilingCounter(counter);
	EXPECT_EQ(answered, counter);
	EXPECT_EQ(VSystem::GetProfilingFrequency(), 1000000000u);
	EXPECT_GE(VSystem::GetUptime(), 0);
}

TEST(SystemMachine, ProcessorAndMemoryFigures)
{
	EXPECT_GE(VSystem::GetNumberOfLogicalProcessors(), 1);
	EXPECT_GE(VSystem::GetNumberOfPhysicalProcessors(), 1);
	EXPECT_LE(VSystem::GetNumberOfPhysicalProcessors(), VSystem::GetNumberOfLogicalProcessors());
	EXPECT_GE(VSystem::GetEnabledCoresNumber(), 1);
	EXPECT_GT(VSystem::GetPhysicalMemSize(), 0u);
	EXPECT_GT(VSystem::GetPhysicalFreeMemSize(), 0u);
	EXPECT_LE(VSystem::GetPhysicalFreeMemSize(), VSystem::GetPhysicalMemSize());
	EXPECT_GT(VSystem::GetApplicationPhysicalMemSize(), 0u);
	EXPECT_GE(VSystem::VirtualMemoryUsedSize(), VSystem::GetApplicationPhysicalMemSize());
	EXPECT_EQ(VSystem::GetCaretTicks(), 60u);
	EXPECT_EQ(VSystem::GetTipsTimeoutTicks(), 600u);
}

TEST(SystemVirtualMemory, PagesRoundUp)
{
	size_t page = VSystem::GetVMPageSize();
	ASSERT_GT(page, 0u);
	EXPECT_EQ(VSystem::RoundUpVMPageSize(0), 0u);
	EXPECT_EQ(VSystem::RoundUpVMPageSize(1), page);
	EXPECT_EQ(VSystem::RoundUpVMPageSize(page), page);
	EXPECT_EQ(VSystem::RoundUpVMPageSize(page + 1), 2 * page);
}

TEST(SystemVirtualMemory, ReserveQueryAndRelease)
{
	size_t page = VSystem::GetVMPageSize();
	char* area = static_cast<char*>(VSystem::VirtualAlloc(3 * page - 10, nullptr));
	ASSERT_NE(area, nullptr);
	std::memset(area, 0x5A, 3 * page); // the whole rounded size is usable

	size_t size = 0;
	int32 isFree = -1;
	const void* base = nullptr;
	EXPECT_TRUE(VSystem::VirtualQuery(area + page, &size, &isFree, &base));
	EXPECT_EQ(isFree, 0);
	EXPECT_LE(static_cast<const char*>(base), area);
	EXPECT_GE(static_cast<const char*>(base) + size, area + 3 * page);

	// A reservation at a taken address is refused, never moved elsewhere.
	EXPECT_EQ(VSystem::VirtualAlloc(page, area), nullptr);

	// A released middle page is a gap between two regions: the query
	// answers its distance to the next region, marked free.
	EXPECT_EQ(VSystem::VirtualFree(area + page, page, false), 0);
	EXPECT_TRUE(VSystem::VirtualQuery(area + page, &size, &isFree, &base));
	EXPECT_EQ(isFree, 1);
	EXPECT_EQ(base, area + page);
	EXPECT_EQ(size, page);
	EXPECT_EQ(VSystem::VirtualFree(area, page, false), 0);
	EXPECT_EQ(VSystem::VirtualFree(area + 2 * page, page, false), 0);

	// At a chosen free address.
	void* placed = VSystem::VirtualAlloc(page, area);
	ASSERT_EQ(placed, area);
	EXPECT_EQ(VSystem::VirtualFree(placed, page, false), 0);
}

TEST(SystemVirtualMemory, PhysicalMemoryReservation)
{
	bool resident = false;
	void* area = VSystem::VirtualAllocPhysicalMemory(64 * 1024, nullptr, &resident);
	ASSERT_NE(area, nullptr);
	EXPECT_TRUE(resident); // the first attempt gave it
	static_cast<char*>(area)[0] = 1;
	EXPECT_EQ(VSystem::VirtualFree(area, 64 * 1024, false), 0);
	EXPECT_EQ(VSystem::VirtualAlloc(0, nullptr), nullptr);

	// Refused twice: nothing, and not resident.
	resident = true;
	EXPECT_EQ(VSystem::VirtualAllocPhysicalMemory(0, nullptr, &resident), nullptr);
	EXPECT_FALSE(resident);
}

// The reservation is neither locked nor touched: a large one costs the
// process no resident memory until it is used.
TEST(SystemVirtualMemory, PhysicalMemoryIsNotLockedOrTouched)
{
	const size_t size = 64 * 1024 * 1024;
	bool resident = false;
	char* area = static_cast<char*>(VSystem::VirtualAllocPhysicalMemory(size, nullptr, &resident));
	ASSERT_NE(area, nullptr);
	const size_t page = VSystem::GetVMPageSize();
	std::vector<unsigned char> inMemory(size / page);
	ASSERT_EQ(::mincore(area, size, inMemory.data()), 0);
	size_t residentPages = 0;
	for (unsigned char flags : inMemory)
		residentPages += flags & 1;
	EXPECT_EQ(residentPages, 0u);
	EXPECT_EQ(VSystem::VirtualFree(area, size, false), 0);
}

// A mapped file whose path is longer than a line of the memory map the
// reader holds at once: the rest of its line, which reads like a range, is
// never taken for the next region.
TEST(SystemVirtualMemory, QueryPastAMappingWithAVeryLongPath)
{
	testing::TempFolder temp;
	ASSERT_FALSE(temp.Path().empty());
	// The file name starts well inside the reader's first piece of the line
	// and runs well past it; at any cut its rest parses as a range ending
	// high above every mapping.
	std::string folder = temp.Path();
	while (folder.size() < 320) {
		folder += "/" + std::string(40, 'd');
		ASSERT_EQ(::mkdir(folder.c_str(), 0700), 0);
	}
	std::string name;
	while (name.size() < 240)
		name += "ffffffffffff-";
	const std::string path = folder + "/" + name;
	const int file = ::open(path.c_str(), O_RDWR | O_CREAT, 0600);
	ASSERT_GE(file, 0);
	const size_t page = VSystem::GetVMPageSize();
	ASSERT_EQ(::ftruncate(file, static_cast<off_t>(page)), 0);
	void* mapped = ::mmap(nullptr, page, PROT_READ, MAP_PRIVATE, file, 0);
	::close(file);
	ASSERT_NE(mapped, MAP_FAILED);

	// Just past the mapping: a gap or the next region, starting there.
	const char* past = static_cast<const char*>(mapped) + page;
	size_t size = 0;
	int32 isFree = -1;
	const void* base = nullptr;
	EXPECT_TRUE(VSystem::VirtualQuery(past, &size, &isFree, &base));
	EXPECT_EQ(base, past);
	EXPECT_GT(size, 0u);
	::munmap(mapped, page);
}

} // namespace
} // namespace qirn
