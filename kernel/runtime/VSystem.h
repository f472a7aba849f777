#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

class VString;

// The kernel's one place for questions put to the operating system. Static
// operations only; the Linux answers come from XLinuxSystem.
class VSystem {
public:
	// Clocks and ticks. GetCurrentTime is the kernel's millisecond clock:
	// monotonic, arbitrary origin, kept by callers as an unsigned 32-bit count.
	static uint32 GetCurrentTime();
	static uint32 GetCurrentTicks();
	static uint32 GetCurrentDeltaTicks(uint32 inStartTicks);
	static int64 GetUptime();
	static uint64 GetProfilingCounter(uint64& outCounter);
	static uint64 GetProfilingFrequency();
	static uint64 GetMicrosecFromProfilingCounter();
	static void Delay(int32 inMilliseconds);

	static uint32 GetCaretTicks() { return 60; }
	static uint32 GetTipsDelayTicks() { return 60; }
	static uint32 GetTipsTimeoutTicks() { return 600; }
	static uint32 GetSelectDelayTicks() { return 15; }
	static int32 GetDragOffset() { return 2; }
	static int32 GetDoubleClicOffsetWidth() { return 2; }
	static int32 GetDoubleClicOffsetHeight() { return 2; }

	// Processors and memory.
	static int32 GetNumberOfLogicalProcessors();
	static int32 GetNumberOfPhysicalProcessors();
	static int32 GetEnabledCoresNumber();
	static uint64 GetPhysicalMemSize();
	static uint64 GetPhysicalFreeMemSize();
	static uint64 GetApplicationPhysicalMemSize();
	static uint64 VirtualMemoryUsedSize();

	// Virtual memory, used by the memory manager.
	static size_t GetVMPageSize();
	static size_t RoundUpVMPageSize(size_t inSize);
	static void* VirtualAlloc(size_t inSize, const void* inAddress);
	// As VirtualAlloc, asked a second time when the first attempt fails;
	// outResident tells whether the first attempt gave the pages.
	static void* VirtualAllocPhysicalMemory(size_t inSize, const void* inAddress, bool* outResident);
	static int32 VirtualFree(void* inAddress, size_t inSize, bool inFlag);
	static bool VirtualQuery(const void* inAddress, size_t* outSize, int32* outIsFree, const void** outBase);

	// The demangled form of a C++ symbol name, or the name unchanged when it
	// is not a mangled one.
	static void DemangleSymbol(const char* inName, VString& outName);

	// Date and time. A date-time array holds year, month (1-12), day, hour,
	// minute, second and millisecond. The offsets from GMT are in seconds,
	// east positive; they are kept until the zone's next change of offset.
	static sLONG GetGMTOffset(bool inWithDaylight);
	static void UpdateGMTOffset();
	// After the system's time zone changed (the TZ variable, say): the zone
	// is read again.
	static void SystemDateTimeChanged();
	// Conversions in place; the millisecond is left as it is, and so is an
	// array whose year, month and hour are all 0 or that names no time the
	// system can convert.
	static void LocalToUTCTime(sWORD ioDateTime[7]);
	static void UTCToLocalTime(sWORD ioDateTime[7]);
	static void GetSystemUTCTime(sWORD outDateTime[7]);
	static void GetSystemLocalTime(sWORD outDateTime[7]);
};

} // namespace qirn
