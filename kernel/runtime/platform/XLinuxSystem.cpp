#include "runtime/platform/XLinuxFiles.h"
#include "runtime/platform/XLinuxSystem.h"

#include <cstdlib>
#include <cxxabi.h>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <set>
#include <sys/mman.h>
#include <sys/sysinfo.h>
#include <unistd.h>
#include <utility>

namespace qirn {

namespace {

int64 ReadIntegerFile(const char* inPath, int64 inDefault)
{
	FILE* file = XLinuxFiles::OpenForReading(inPath);
	if (file == nullptr)
		return inDefault;
	long long value = inDefault;
	if (std::fscanf(file, "%lld", &value) != 1)
		value = inDefault;
	std::fclose(file);
	return value;
}

// The two figures of /proc/self/statm we need, in pages.
bool ReadStatm(uint64* outVirtualPages, uint64* outResidentPages)
{
	FILE* file = XLinuxFiles::OpenForReading("/proc/self/statm");
	if (file == nullptr)
		return false;
	unsigned long long size = 0, resident = 0;
	bool ok = std::fscanf(file, "%llu %llu", &size, &resident) == 2;
	std::fclose(file);
	*outVirtualPages = size;
	*outResidentPages = resident;
	return ok;
}

} // namespace

uint64 XLinuxSystem::GetMonotonicNanoseconds()
{
	timespec now{};
	::clock_gettime(CLOCK_MONOTONIC, &now);
	return static_cast<uint64>(now.tv_sec) * 1000000000ull + static_cast<uint64>(now.tv_nsec);
}

int64 XLinuxSystem::GetUptime()
{
	timespec now{};
	if (::clock_gettime(CLOCK_BOOTTIME, &now) != 0)
		return -1;
	return now.tv_sec;
}

int32 XLinuxSystem::ReadLogicalProcessorCount()
{
	long count = ::sysconf(_SC_NPROCESSORS_CONF);
	return count > 0 ? static_cast<int32>(count) : 0;
}

int32 XLinuxSystem::ReadOnlineCoreCount()
{
	long count = ::sysconf(_SC_NPROCESSORS_ONLN);
	return count > 0 ? static_cast<int32>(count) : 0;
}

int32 XLinuxSystem::ReadPhysicalProcessorCount()
{
	// Distinct (package, core) pairs of the processors the system knows.
	std::set<std::pair<int64, int64>> cores;
	int32 logical = ReadLogicalProcessorCount();
	for (int32 cpu = 0; cpu < logical; ++cpu) {
		char path[128];
		std::snprintf(path, sizeof(path), "/sys/devices/system/cpu/cpu%d/topology/core_id", cpu);
		int64 core = ReadIntegerFile(path, -1);
		std::snprintf(path, sizeof(path), "/sys/devices/system/cpu/cpu%d/topology/physical_package_id", cpu);
		int64 package = ReadIntegerFile(path, -1);
		if (core < 0)
			return logical;
		cores.emplace(package, core);
	}
	return static_cast<int32>(cores.size());
}

uint64 XLinuxSystem::GetPhysicalMemSize()
{
	struct sysinfo info {};
	if (::sysinfo(&info) != 0)
		return 0;
	return static_cast<uint64>(info.totalram) * info.mem_unit;
}

uint64 XLinuxSystem::GetPhysicalFreeMemSize()
{
	long pages = ::sysconf(_SC_AVPHYS_PAGES);
	long pageSize = ::sysconf(_SC_PAGESIZE);
	if (pages < 0 || pageSize <= 0)
		return 0;
	return static_cast<uint64>(pages) * static_cast<uint64>(pageSize);
}

uint64 XLinuxSystem::GetApplicationPhysicalMemSize()
{
	uint64 size = 0, resident = 0;
	return ReadStatm(&size, &resident) ? resident * ReadPageSize() : 0;
}

uint64 XLinuxSystem::VirtualMemoryUsedSize()
{
	uint64 size = 0, resident = 0;
	return ReadStatm(&size, &resident) ? size * ReadPageSize() : 0;
}

size_t XLinuxSystem::ReadPageSize()
{
	long size = ::sysconf(_SC_PAGESIZE);
	return size > 0 ? static_cast<size_t>(size) : 4096;
}

void* XLinuxSystem::MapPages(size_t inSize, const void* inAddress)
{
	if (inSize == 0)
		return nullptr;
	int flags = MAP_PRIVATE | MAP_ANONYMOUS;
	if (inAddress != nullptr)
		flags |= MAP_FIXED_NOREPLACE;
	void* area = ::mmap(const_cast<void*>(inAddress), inSize, PROT_READ | PROT_WRITE, flags, -1, 0);
	if (area == MAP_FAILED)
		return nullptr;
	// Kernels that do not know MAP_FIXED_NOREPLACE treat the address as a
	// hint: a mapping elsewhere is not what was asked for.
	if (inAddress != nullptr && area != inAddress) {
		::munmap(area, inSize);
		return nullptr;
	}
	return area;
}

int32 XLinuxSystem::UnmapPages(void* inAddress, size_t inSize)
{
	return ::munmap(inAddress, inSize) == 0 ? 0 : errno;
}

bool XLinuxSystem::FindRegion(const void* inAddress, uintptr_t* outStart, uintptr_t* outEnd)
{
	FILE* maps = XLinuxFiles::OpenForReading("/proc/self/maps");
	if (maps == nullptr)
		return false;
	uintptr_t address = reinterpret_cast<uintptr_t>(inAddress);
	bool found = false;
	// Only the start of a line holds a range; the rest of a line longer than
	// the buffer (a long mapped path) is skipped, never read as a new line.
	bool atLineStart = true;
	char line[512];
	while (!found && std::fgets(line, sizeof(line), maps) != nullptr) {
		const bool lineStart = atLineStart;
		atLineStart = std::strchr(line, '\n') != nullptr;
		uintptr_t start = 0, end = 0;
		if (lineStart && std::sscanf(line, "%" SCNxPTR "-%" SCNxPTR, &start, &end) == 2 && end > address) {
			*outStart = start;
			*outEnd = end;
			found = true;
		}
	}
	std::fclose(maps);
	return found;
}

std::string XLinuxSystem::DemangleSymbol(const char* inName)
{
	if (inName == nullptr)
		return std::string();
	int status = 0;
	char* demangled = abi::__cxa_demangle(inName, nullptr, nullptr, &status);
	if (status != 0 || demangled == nullptr) {
		std::free(demangled);
		return std::string(inName);
	}
	std::string result(demangled);
	std::free(demangled);
	return result;
}

} // namespace qirn
