#pragma once

#include "core/VKernelTypes.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace qirn {

class VString;

// The Linux answers behind VSystem.
class XLinuxSystem {
public:
	struct AdapterAddress {
		std::string fAddress; // as text
		bool fIPv6;
	};
	struct Adapter {
		std::string fName;
		std::string fType; // "ethernet", "wifi", or the system's own word
		std::vector<AdapterAddress> fAddresses;
	};
	// A mounted volume: sizes in kilobytes. A network volume has no disk
	// facts; fInterface is then "network".
	struct Volume {
		std::string fMountPoint;
		std::string fFileSystem;
		std::string fName;
		double fCapacity = 0;
		double fAvailable = 0;
		bool fNetwork = false;
		std::string fInterface;
		std::string fDescription;
		double fSize = 0;
		std::string fIdentifier;
	};

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

	// The operating system, the machine and its users (XLinuxSystemInfo.cpp).
	static uint32 ReadRandomNumber();
	// From os-release: the system's name, its version number and the name
	// to show ("Debian GNU/Linux 12 (bookworm)").
	static bool ReadOSRelease(std::string& outName, std::string& outVersion, std::string& outPrettyName);
	static std::string ReadKernelRelease();
	static std::string ReadMachineModel();
	static std::string ReadProcessorBrand();
	// Four counters a processor: user, system, idle, nice.
	static bool ReadProcessorTicks(std::vector<uint64>& outTicks);
	// This process's share of one processor since it started; -1 on failure.
	static double ReadApplicationLoad();
	static std::string ReadUserName();
	static std::string ReadUserFullName();
	static std::string ReadHostName();
	// A name with '/' is taken as a path; else each folder of PATH in turn.
	// The answer is the resolved path of an executable regular file.
	static bool SearchExecutablePath(const std::string& inName, std::string& outPath);
	// 0, or raises and answers the error 'POSX' with the system's number.
	static VError CreateSymbolicLink(const char* inTarget, const char* inLinkPath);

	// Processes (XLinuxSystemProcesses.cpp).
	// The state letter of /proc/<pid>/stat ('R', 'S', 'Z'...); 0 for none.
	static char ReadProcessState(pid_t inPid);
	// Appends the processes that still run; false when /proc cannot be read.
	static bool ReadProcessIds(std::vector<pid_t>& ioIds);
	static bool ReadProcessName(pid_t inPid, std::string& outName);
	static bool ReadProcessPath(pid_t inPid, std::string& outPath);
	static bool KillProcess(pid_t inPid);
	static bool WaitForProcess(pid_t inPid, bool inBlock, int32* outReason);

	// Network and volumes (XLinuxSystemNetwork.cpp, XLinuxSystemVolumes.cpp).
	static void ReadAdapters(std::vector<Adapter>& outAdapters);
	static bool ReadNetworkByteTotals(double& outReceived, double& outSent);
	static void ReadVolumes(std::vector<Volume>& outVolumes);

	// Notifications (XLinuxSystemNotification.cpp): see VSystem.
	static bool DisplayNotification(const VString& inTitle, const VString& inMessage, uint32 inFlags,
									int32* outResponse);
	static void CancelAllPendingUserNotifications();

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
