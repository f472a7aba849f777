#pragma once

#include "core/VKernelTypes.h"
#include "core/VLeaksChecker.h"
#include "runtime/VCriticalSection.h"

#include <cstdlib>
#include <pthread.h>
#include <vector>

namespace qirn {

class VMemStats;
class VSyncEvent;
class XMemCppImpl;

enum EAllocatorKind : int32 {
	eAllocator_FromInfoPlist = 0,
	eAllocator_System = 1,
	eAllocator_Pools = 2
};

// A task that holds on to much memory registers a hog; the hog's section
// lets the purge handler ask it to let go.
class VMemoryHog {
public:
	explicit VMemoryHog(int32 inTaskID) : fTaskID(inTaskID) {}

	VCriticalSection& GetCriticalSection() { return fCriticalSection; }
	int32 GetTaskID() const { return fTaskID; }

private:
	VCriticalSection fCriticalSection;
	int32 fTaskID;
};

// The process-wide memory manager. Every raw buffer of the kernel comes from
// it, tagged with a four-character code naming its user. It forwards to the
// system allocator (single mode) or spreads requests over pools served in
// rotation, with a purge protocol for when every pool is full.
class VCppMemMgr {
public:
	// Called with the pool index, the requested size and whether this is the
	// first purge of the request; answers the bytes it released.
	using PurgeHandlerProc = size_t (*)(int32 inAllocatorIndex, size_t inRequestedSize, bool inFirstCall);
	// Makes the back end of pool number inIndex; null when none can be made.
	using PoolFactoryProc = XMemCppImpl* (*)(int32 inIndex);

	explicit VCppMemMgr(EAllocatorKind inKind);
	VCppMemMgr(EAllocatorKind inKind, bool inFlag1, bool inFlag2);
	virtual ~VCppMemMgr();

	VCppMemMgr(const VCppMemMgr&) = delete;
	VCppMemMgr& operator=(const VCppMemMgr&) = delete;

	// The manager does not live in memory it manages.
	static void* operator new(size_t inSize) noexcept;
	static void operator delete(void* inBlock);

	// Single mode always runs over the C allocator: its paths are inline so
	// that a kernel allocation costs no more than a call to malloc.
	void* Malloc(size_t inSize, bool inFlag, int32 inTag, int32 inPreferredAllocator = -1)
	{
		if (fSingleAllocator)
			return std::malloc(inSize);
		return _MallocPoolMode(inSize, inFlag, inTag, inPreferredAllocator);
	}
	void* TryToMalloc(size_t inSize, bool inFlag, int32 inTag, int32 inPreferredAllocator = -1);
	void* Calloc(int32 inCount, size_t inSize, int32 inTag);
	void Free(void* inBlock)
	{
		if (fSingleAllocator)
			std::free(inBlock);
		else
			_FreePoolMode(inBlock);
	}
	void* Realloc(void* inBlock, size_t inNewSize);
	size_t GetPtrSize(const void* inBlock);

	uint64 GetAllocatedMem();
	size_t GetMaxFree() { return 0; }
	void GetMemStatistics(size_t& out1, size_t& out2, size_t& outAllocated, size_t& out4, size_t& out5,
						  size_t& out6, size_t& out7, size_t& out8, size_t& out9);
	void GetMemUsageInfo(size_t& outAllocated, size_t& outUsed);
	void GetStatistics(VMemStats& outStats, int32 inAllocatorIndex);
	int32 GetAllocationBlockNumber(const void* inBlock);

	bool AddVirtualAllocation(size_t inTotalSize, const void* inAddress, bool inPhysical);
	int32 CountVirtualAllocations();

	PurgeHandlerProc SetPurgeHandlerProc(PurgeHandlerProc inProc);
	void PurgeMem(int32 inAllocatorIndex);

	VMemoryHog* RegisterMemHog();
	void UnRegisterMemHog(VMemoryHog* inHog);

	const void* CheckVObject(const void* inObject) const { return inObject; }

	bool IsSingleAllocator() const { return fSingleAllocator; }
	int32 CountPools() const { return fPoolCount; }
	uint64 GetLargestPoolArea() const { return fLargestPoolArea; }
	VLeaksChecker& GetLeaksChecker() { return fLeaksChecker; }

	// The pools' own accounting of the areas they were given.
	void AddToTotalAllocation(uint64 inBytes) { fTotalAllocation += inBytes; }
	void RemoveFromTotalAllocation(uint64 inBytes) { fTotalAllocation -= inBytes; }
	uint64 GetTotalAllocationOfPools() const { return fTotalAllocation; }

	// Pool mode makes its pools through this factory (the kernel's own
	// allocator by default); when it makes none, the manager runs in single
	// mode.
	static PoolFactoryProc SetPoolFactory(PoolFactoryProc inFactory);

	// The back end a kind asks for: eAllocator_System or eAllocator_Pools.
	// Kind 0 decides from the bundle's Info.plist "MemoryAllocator" (the main
	// bundle's when inBundlePath is null); unknown kinds give the system one.
	static EAllocatorKind ChooseAllocatorKind(EAllocatorKind inKind, const char* inBundlePath = nullptr);

	static constexpr size_t kMinVirtualAllocation = 10 * 1024 * 1024;

private:
	void _Init(EAllocatorKind inKind, bool inFlag1, bool inFlag2);
	void _InitSingle();
	void* _MallocFromPools(size_t inSize, bool inFlag, int32 inTag, int32 inPreferred, bool inFirstPass,
						   int32 inFrom);
	void* _MallocPoolMode(size_t inSize, bool inFlag, int32 inTag, int32 inPreferred);
	void _FreePoolMode(void* inBlock);
	void _WaitForPurgeLocked();
	void _RunPurge(int32 inIndex, size_t inSize, bool inFirstCall);
	XMemCppImpl* _FirstPool() const { return fPools.empty() ? nullptr : fPools.front(); }

	class StLock;

	pthread_mutex_t fMutex;
	std::vector<XMemCppImpl*> fPools;
	int32 fPoolCount = 0;
	int32 fPoolsToCreate = 0;
	int32 fCurrentPool = 0;
	int32 fPurgingPool = -1;
	// The task whose purge handler runs: its own requests cannot wait for
	// that purge to end.
	int32 fPurgingTask = 0;
	uint64 fLargestPoolArea = 0;
	// Pools that take areas on their own serve requests larger than any area
	// registered with the manager.
	bool fPoolsGrow = false;
	VSyncEvent* fPurgeEvent = nullptr;
	PurgeHandlerProc fPurgeHandler = nullptr;
	uint64 fTotalAllocation = 0;
	bool fSingleAllocator = false;
	XMemCppImpl* fSingle = nullptr;
	VLeaksChecker fLeaksChecker;
	VCriticalSection fHogLock;
	std::vector<VMemoryHog*> fHogs;
	bool fFlag1 = false;
	bool fFlag2 = false;
};

} // namespace qirn
