#include "runtime/VSystem.h"

#include <gtest/gtest.h>

#include <cstring>

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

TEST(SystemClocks, DeltaTicksIsAnAbsoluteDifference)
{
	uint32 later = VSystem::GetCurrentTicks() + 600;
	EXPECT_GE(VSystem::GetCurrentDeltaTicks(later), 590u);
	EXPECT_LE(VSystem::GetCurrentDeltaTicks(later), 600u);
}

TEST(SystemClocks, ProfilingCounterAndFrequencyAgree)
{
	uint64 counter = 0;
	uint64 answered = VSystem::GetProfilingCounter(counter);
	EXPECT_EQ(answered, counter);
	EXPECT_EQ(VSystem::GetProfilingFrequency(), 1000000000u);
	EXPECT_GE(VSystem::GetUptime(), 0);
	VSystem::Delay(0);
	VSystem::Delay(-5);
}

TEST(SystemMachine, ProcessorAndMemoryFigures)
{
	EXPECT_GE(VSystem::GetNumberOfLogicalProcessors(), 1);
	EXPECT_GE(VSystem::GetNumberOfPhysicalProcessors(), 1);
	EXPECT_LE(VSystem::GetNumberOfPhysicalProcessors(), VSystem::GetNumberOfLogicalProcessors());
	EXPECT_GE(VSystem::GetEnabledCoresNumber(), 1);
	EXPECT_GT(VSystem::GetPhysicalMemSize(), 0u);
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

	EXPECT_EQ(VSystem::VirtualFree(area, 3 * page, false), 0);
	// The released range is now a gap: the query answers its distance to the
	// next region, marked free.
	EXPECT_TRUE(VSystem::VirtualQuery(area, &size, &isFree, &base));
	if (isFree == 1) {
		EXPECT_EQ(base, area);
		EXPECT_GE(size, 3 * page);
	}

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
	static_cast<char*>(area)[0] = 1;
	EXPECT_EQ(VSystem::VirtualFree(area, 64 * 1024, false), 0);
	EXPECT_EQ(VSystem::VirtualAlloc(0, nullptr), nullptr);
}

} // namespace
} // namespace qirn
