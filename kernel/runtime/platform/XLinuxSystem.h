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

	// Time zones and the calendar clock (XLinuxSystemTime.cpp). Seconds are
	// counted from 1970-01-01 UTC.
	static void ResetTimeZone();
	static int64 GetRealTimeMilliseconds();
	// The local zone's offset from UTC in seconds at a moment, and whether
	// daylight saving is in force then.
	static int32 GetZoneOffset(int64 inSeconds, bool* outDaylight);
	// The first second after inFrom at which the offset or daylight saving
	// changes; inLimit when none does before it.
	static int64 FindNextZoneChange(int64 inFrom, int64 inLimit);
	// Date-time arrays (year, month, day, hour, minute, second) to seconds
	// and back, in the local zone or in UTC. False when the system cannot
	// place the fields, or the year does not fit.
	static bool FieldsToSeconds(const sWORD inDateTime[7], bool inLocal, int64& outSeconds);
	static bool SecondsToFields(int64 inSeconds, bool inLocal, sWORD outDateTime[7]);
};

} // namespace qirn
