#include "runtime/VSystem.h"

#include "core/VString.h"
#include "runtime/platform/XLinuxSystem.h"

#include <cerrno>
#include <ctime>

namespace qirn {

namespace {

int32 AtLeastOne(int32 inCount)
{
	return inCount < 2 ? 1 : inCount;
}

} // namespace

uint32 VSystem::GetCurrentTime()
{
	return static_cast<uint32>(XLinuxSystem::GetMonotonicNanoseconds() / 1000000ull);
}

uint32 VSystem::GetCurrentTicks()
{
	// Whole seconds and the rest apart, so that the product never overflows.
	uint64 nanoseconds = XLinuxSystem::GetMonotonicNanoseconds();
	return static_cast<uint32>(nanoseconds / 1000000000ull * 60ull + nanoseconds % 1000000000ull * 60ull / 1000000000ull);
}

uint32 VSystem::GetCurrentDeltaTicks(uint32 inStartTicks)
{
	uint32 now = GetCurrentTicks();
	return now >= inStartTicks ? now - inStartTicks : inStartTicks - now;
}

int64 VSystem::GetUptime()
{
	return XLinuxSystem::GetUptime();
}

uint64 VSystem::GetProfilingCounter(uint64& outCounter)
{
	outCounter = XLinuxSystem::GetMonotonicNanoseconds();
	return outCounter;
}

uint64 VSystem::GetProfilingFrequency()
{
	// The profiling counter counts nanoseconds.
	return 1000000000ull;
}

uint64 VSystem::GetMicrosecFromProfilingCounter()
{
	return XLinuxSystem::GetMonotonicNanoseconds() / 1000ull;
}

void VSystem::Delay(int32 inMilliseconds)
{
	if (inMilliseconds <= 0)
		return;
	timespec remaining{inMilliseconds / 1000, static_cast<long>(inMilliseconds % 1000) * 1000000L};
	while (::nanosleep(&remaining, &remaining) != 0 && errno == EINTR) {
	}
}

// The first-use caches below are static locals: filled once, by the first
// caller, while any other first caller waits for it.
int32 VSystem::GetNumberOfLogicalProcessors()
{
	static const int32 sCount = AtLeastOne(XLinuxSystem::ReadLogicalProcessorCount());
	return sCount;
}

int32 VSystem::GetNumberOfPhysicalProcessors()
{
	static const int32 sCount = AtLeastOne(XLinuxSystem::ReadPhysicalProcessorCount());
	return sCount;
}

int32 VSystem::GetEnabledCoresNumber()
{
	return AtLeastOne(XLinuxSystem::ReadOnlineCoreCount());
}

uint64 VSystem::GetPhysicalMemSize()
{
	return XLinuxSystem::GetPhysicalMemSize();
}

uint64 VSystem::GetPhysicalFreeMemSize()
{
	return XLinuxSystem::GetPhysicalFreeMemSize();
}

uint64 VSystem::GetApplicationPhysicalMemSize()
{
	return XLinuxSystem::GetApplicationPhysicalMemSize();
}

uint64 VSystem::VirtualMemoryUsedSize()
{
	return XLinuxSystem::VirtualMemoryUsedSize();
}

size_t VSystem::GetVMPageSize()
{
	static const size_t sSize = XLinuxSystem::ReadPageSize();
	return sSize;
}

size_t VSystem::RoundUpVMPageSize(size_t inSize)
{
	size_t page = GetVMPageSize();
	if (inSize > SIZE_MAX - (page - 1))
		return 0;
	return (inSize + page - 1) / page * page;
}

void* VSystem::VirtualAlloc(size_t inSize, const void* inAddress)
{
	return XLinuxSystem::MapPages(RoundUpVMPageSize(inSize), inAddress);
}

void* VSystem::VirtualAllocPhysicalMemory(size_t inSize, const void* inAddress, bool* outResident)
{
	// Pages are neither locked nor touched here: the memory manager reserves
	// whole pools, and making them resident at once would cost the process
	// memory it may never use. A refusal is asked once more, as the system
	// may have released pages meanwhile; only a first success is resident.
	const size_t size = RoundUpVMPageSize(inSize);
	void* area = XLinuxSystem::MapPages(size, inAddress);
	if (outResident != nullptr)
		*outResident = area != nullptr;
	return area != nullptr ? area : XLinuxSystem::MapPages(size, inAddress);
}

int32 VSystem::VirtualFree(void* inAddress, size_t inSize, bool)
{
	return XLinuxSystem::UnmapPages(inAddress, RoundUpVMPageSize(inSize));
}

bool VSystem::VirtualQuery(const void* inAddress, size_t* outSize, int32* outIsFree, const void** outBase)
{
	size_t size = 0;
	int32 isFree = 0;
	const void* base = nullptr;
	uintptr_t start = 0, end = 0;
	uintptr_t address = reinterpret_cast<uintptr_t>(inAddress);
	if (XLinuxSystem::FindRegion(inAddress, &start, &end)) {
		if (start <= address) {
			size = end - start;
			base = reinterpret_cast<const void*>(start);
		} else {
			size = start - address;
			isFree = 1;
			base = inAddress;
		}
	}
	if (outSize != nullptr)
		*outSize = size;
	if (outIsFree != nullptr)
		*outIsFree = isFree;
	if (outBase != nullptr)
		*outBase = base;
	return size != 0;
}

void VSystem::DemangleSymbol(const char* inName, VString& outName)
{
	std::string name = XLinuxSystem::DemangleSymbol(inName);
	outName.FromBlock(name.data(), name.size(), VTC_UTF_8);
}

} // namespace qirn
