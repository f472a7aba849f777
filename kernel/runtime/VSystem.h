#pragma once

#include "core/VKernelTypes.h"

#include <sys/types.h>
#include <vector>

namespace qirn {

class VFilePath;
class VJSONArray;
class VString;

// The answer of a notification: which of its buttons was pressed.
enum ENotificationResponse : int32 {
	ENR_NONE = 0,
	ENR_OK = 1,
	ENR_CANCEL = 2,
	ENR_YES = 3,
	ENR_NO = 4,
	ENR_ABORT = 5,
	ENR_RETRY = 6,
	ENR_IGNORE = 7,
	ENR_CANCELLED = 8, // closed without a button
};

// Notification flags: the low four bits choose the button set.
constexpr uint32 kNotificationOKCancel = 1;
constexpr uint32 kNotificationYesNo = 2;
constexpr uint32 kNotificationYesNoCancel = 4;
constexpr uint32 kNotificationRetryIgnoreAbort = 5;
constexpr uint32 kNotificationFirstIsDefault = 16; // OK or Yes is the default button
constexpr uint32 kNotificationNoIsDefault = 32;	   // of the Yes/No/Cancel set only
constexpr uint32 kNotificationCaution = 512;

// Versions of the system by number, as IsSystemVersionOrAbove takes them.
enum SystemVersion : int32 {
	MAC_OS_10_9 = 11,
	MAC_OS_10_10 = 12,
	MAC_OS_10_11 = 13,
	MAC_OS_10_12 = 14,
	MAC_OS_10_13 = 15,
	MAC_OS_10_14 = 16,
	MAC_OS_10_15 = 17,
	MAC_OS_11 = 18,
	MAC_OS_12 = 19,
	MAC_OS_13 = 20,
	MAC_OS_14 = 21,
	MAC_OS_15 = 22,
};

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

	static uint32 GetDoubleClicTicks();
	static void SetCenturyPivotYear(sWORD inYear);
	static sWORD GetCenturyPivotYear();

	static uint32 GetCaretTicks() { return 60; }
	static uint32 GetTipsDelayTicks() { return 60; }
	static uint32 GetTipsTimeoutTicks() { return 600; }
	static uint32 GetSelectDelayTicks() { return 15; }
	static int32 GetDragOffset() { return 2; }
	static int32 GetDoubleClicOffsetWidth() { return 2; }
	static int32 GetDoubleClicOffsetHeight() { return 2; }

	// The operating system and the machine.
	static bool Init();
	// With inPseudo false, a number from the system's cryptographic source
	// (31 bits); else the C library's random().
	static sLONG Random(bool inPseudo = true);
	static void Beep();
	static bool IsSystemVersionOrAbove(SystemVersion inVersion);
	static sLONG MAC_GetSystemVersionDecimal();
	static void GetOSVersionString(VString& outVersion);
	static void GetFullOSName(VString& outName);
	static void GetSystemBuildNumber(VString& outBuild);
	static void GetComputerManufacturer(VString& outModel);
	static void GetProcessorTypeString(VString& outType, bool inCompact);
	static bool AllowedToGetSystemInfo() { return true; }

	// Processors and memory.
	static int32 GetNumberOfLogicalProcessors();
	static int32 GetNumberOfPhysicalProcessors();
	static int32 GetEnabledCoresNumber();
	// The machine's busy share since the previous call (0.0 to 1.0, divided
	// by the number of processors); false at the first call, which only
	// takes the baseline, and when the counters cannot be read.
	static bool GetProcessorsPercentageUse(Real& outPercentage);
	// This process's share of the machine; -1.0 when it cannot be read.
	static Real GetApplicationProcessorsPercentageUse();
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

	// Processes. The list holds the processes still running: one that has
	// ended but is not reaped yet by its parent is left out, though its name
	// can still be asked for (its path cannot).
	static void GetProcessList(std::vector<pid_t>& ioIds);
	// False when no process has that id (outName left as it was).
	static bool GetProcessName(pid_t inPid, VString& outName);
	// The executable's full path; false when it cannot be read (no such
	// process, an ended one, or one of another user without the right).
	static bool GetProcessPath(pid_t inPid, VString& outPath);
	// Sends SIGKILL; false for an id of 0 or below, which would reach a
	// whole group or every process.
	static bool KillProcess(pid_t inPid);
	enum EWFP_Reason : int32 {
		EWFP_NoChild = 1,	   // the id names no child of this process
		EWFP_StillRunning = 2, // the child has not ended yet
	};
	// Reaps the child inPid when it has ended: a negative inTimeout waits for
	// it, any other value looks once.
	static bool WaitForProcess(pid_t inPid, sLONG inTimeout, EWFP_Reason* outReason);

	// Users and host.
	static void GetLoginUserName(VString& outName);
	static void GetCurrentUserName(VString& outName);
	static void GetHostName(VString& outName);

	// The executable a name stands for: a name with '/' is that file, any
	// other is looked for in each folder of PATH in turn. Found, outPath is
	// its resolved full path; else outPath is cleared and the answer false.
	static bool SearchExecutablePath(const VString& inName, VFilePath& outPath);

	// Network adapters and mounted volumes, one JSON object each.
	static void GetNetworkAdaptersInformations(VJSONArray& ioArray);
	static void GetDiskPartitionsInfos(VJSONArray& ioArray);
	// Bytes a second received and sent since the previous call, in that
	// order, over every interface but loopback ones. False with no figures
	// at the first call (the baseline), when no time has passed, and when a
	// counter went back.
	static bool GetInOutNetworkStats(std::vector<Real>& outRates);

	// Notifications: a modal alert with the buttons the flags choose. With
	// outResponse, waits for the user's answer; without it, returns at once.
	// False when the alert could not be shown.
	static bool DisplayNotification(const VString& inTitle, const VString& inMessage, uint32 inFlags,
									ENotificationResponse* outResponse = nullptr);
	static void CancelAllPendingUserNotifications();

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
