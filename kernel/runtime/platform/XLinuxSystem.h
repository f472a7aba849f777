#pragma once

#include "core/VKernelTypes.h"

#include <string>

namespace qirn {

// The Linux answers behind VSystem.
class XLinuxSystem {
public:
	static uint64 GetMonotonicNanoseconds();
	static int64 GetUptime();

	static int32 ReadLogicalProcessorCount();
	static int32 ReadPhysicalProcessorCount();
	static int32 ReadOnlineCoreCount();
	static uint64 GetPhysicalMemSize();
	static uint64 GetPhysicalFreeMemSize();
	static uint64 GetApplicationPhysicalMemSize();
	static uint64 VirtualMemoryUsedSize();

	static size_t ReadPageSize();
	// Reserves and commits whole pages, at inAddress when given (never over
	// an existing mapping).
	static void* MapPages(size_t inSize, const void* inAddress);
	static int32 UnmapPages(void* inAddress, size_t inSize);
	// The first mapping that ends above inAddress: false when there is none.
	static bool FindRegion(const void* inAddress, uintptr_t* outStart, uintptr_t* outEnd);

	// The demangled form of a C++ symbol name; the name itself when it is
	// not a mangled one.
	static std::string DemangleSymbol(const char* inName);
};

} // namespace qirn
