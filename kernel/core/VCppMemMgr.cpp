#include "core/VCppMemMgr.h"

#include "core/VMemCppImpl.h"
#include "core/VMemCppImpl_stdlib.h"
#include "core/VMemStats.h"
#include "core/VMemToolHooks.h"
#include "core/XMemCppImpl.h"
#include "host/HostBundle.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VSystem.h"
#include "runtime/VTaskMgr.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <strings.h>
#include <utility>

namespace qirn {

namespace {

XMemCppImpl* MakeOwnPool(int32 inIndex)
{
	return new VMemCppImpl(inIndex);
}

// Constant-initialized: the manager is made before any static initializer.
std::atomic<VCppMemMgr::PoolFactoryProc> sPoolFactory{&MakeOwnPool};

constexpr int32 kPoolsToCreate = 4;

bool IsValidIndex(int32 inIndex, int32 inCount)
{
	return inIndex >= 0 && inIndex < inCount;
}

} // namespace

class VCppMemMgr::StLock {
public:
	explicit StLock(pthread_mutex_t& inMutex) : fMutex(inMutex) { pthread_mutex_lock(&fMutex); }
	~StLock() { pthread_mutex_unlock(&fMutex); }
	StLock(const StLock&) = delete;
	StLock& operator=(const StLock&) = delete;

private:
	pthread_mutex_t& fMutex;
};

VCppMemMgr::PoolFactoryProc VCppMemMgr::SetPoolFactory(PoolFactoryProc inFactory)
{
	return sPoolFactory.exchange(inFactory);
}

void* VCppMemMgr::operator new(size_t inSize) noexcept
{
	size_t total = inSize + 8;
	void* area = VSystem::VirtualAlloc(total, nullptr);
	if (area == nullptr)
		return nullptr;
	std::memcpy(area, &total, sizeof(total));
	// Pages of its own, which the leak checker would not scan otherwise: the
	// blocks the manager holds would be reported as lost.
	memtools::AreaMapped(area, total, false);
	return static_cast<char*>(area) + 8;
}

void VCppMemMgr::operator delete(void* inBlock)
{
	if (inBlock == nullptr)
		return;
	char* area = static_cast<char*>(inBlock) - 8;
	size_t total = 0;
	std::memcpy(&total, area, sizeof(total));
	memtools::AreaUnmapping(area, total);
	VSystem::VirtualFree(area, total, false);
}

VCppMemMgr::VCppMemMgr(EAllocatorKind inKind) : VCppMemMgr(inKind, false, false) {}

VCppMemMgr::VCppMemMgr(EAllocatorKind inKind, bool inFlag1, bool inFlag2)
{
	pthread_mutexattr_t attributes;
	pthread_mutexattr_init(&attributes);
	pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
	pthread_mutex_init(&fMutex, &attributes);
	pthread_mutexattr_destroy(&attributes);
	_Init(inKind, inFlag1, inFlag2);
}

VCppMemMgr::~VCppMemMgr()
{
	for (XMemCppImpl* pool : fPools)
		delete pool;
	fPools.clear();
	delete fSingle;
	fSingle = nullptr;
	pthread_mutex_destroy(&fMutex);
}

EAllocatorKind VCppMemMgr::ChooseAllocatorKind(EAllocatorKind inKind, const char* inBundlePath)
{
	if (inKind == eAllocator_Pools)
		return eAllocator_Pools;
	if (inKind != eAllocator_FromInfoPlist)
		return eAllocator_System; // unknown kinds keep the process working
	char value[64];
	bool found = inBundlePath == nullptr
					 ? host::CopyMainBundleInfoString("MemoryAllocator", value, sizeof(value))
					 : host::CopyBundleInfoString(inBundlePath, "MemoryAllocator", value, sizeof(value));
	if (found && ::strcasecmp(value, "stdlib") != 0 && ::strcasecmp(value, "qirn") == 0)
		return eAllocator_Pools;
	return eAllocator_System;
}

void VCppMemMgr::_Init(EAllocatorKind inKind, bool inFlag1, bool inFlag2)
{
	fFlag1 = inFlag1;
	fFlag2 = inFlag2;
	fTotalAllocation = 0;
	fPurgeHandler = nullptr;
	fPurgingPool = -1;

	bool usePools = ChooseAllocatorKind(inKind) == eAllocator_Pools;

	PoolFactoryProc factory = sPoolFactory.load();
	if (usePools && factory != nullptr) {
		fPoolsToCreate = kPoolsToCreate;
		for (int32 i = 0; i < fPoolsToCreate; ++i) {
			XMemCppImpl* pool = factory(i);
			if (pool == nullptr)
				break;
			fPools.push_back(pool);
			pool->Init(this);
			// Nothing registers areas for the pools: they take their own.
			pool->SetAutoAllocationState(true);
			fPoolsGrow = fPoolsGrow || pool->GetAutoAllocationState();
		}
		if (static_cast<int32>(fPools.size()) == fPoolsToCreate) {
			fPoolCount = fPoolsToCreate;
			fCurrentPool = 0;
			fPurgingPool = -1;
			fLargestPoolArea = 0;
			fPurgeEvent = nullptr;
			fSingleAllocator = false;
			return;
		}
		for (XMemCppImpl* pool : fPools)
			delete pool;
		fPools.clear();
		fPoolsGrow = false;
	}
	// Without a pool back end the own allocator could serve nothing: the
	// system allocator stands in.
	_InitSingle();
}

void VCppMemMgr::_InitSingle()
{
	fSingle = new VMemCppImpl_stdlib;
	fSingle->Init(this);
	fSingleAllocator = true;
	fPoolCount = 0;
}

void* VCppMemMgr::_MallocFromPools(size_t inSize, bool inFlag, int32 inTag, int32 inPreferred, bool inFirstPass,
								   int32 inFrom)
{
	if (inFirstPass && IsValidIndex(inPreferred, fPoolCount)) {
		if (void* block = fPools[inPreferred]->Malloc(inSize, 0, inFlag, inTag))
			return block;
	}
	for (int32 step = 0; step < fPoolCount; ++step) {
		int32 index = (inFrom + step) % fPoolCount;
		if ((inFirstPass && index == inPreferred) || index == fPurgingPool)
			continue;
		if (void* block = fPools[index]->Malloc(inSize, 0, inFlag, inTag))
			return block;
	}
	return nullptr;
}

void* VCppMemMgr::_MallocPoolMode(size_t inSize, bool inFlag, int32 inTag, int32 inPreferred)
{
	StLock lock(fMutex);
	if ((inSize > fLargestPoolArea && !fPoolsGrow) || fPoolCount == 0)
		return nullptr;

	const int32 start = fCurrentPool;
	bool firstPass = true;
	bool firstPurge = true;
	// Every round either purges or waits for another task's purge, and each
	// purge moves the current pool on; a request gives up once the rotation
	// is back where it started, or after as many rounds as could possibly
	// bring it there when other tasks' purges step over the start.
	for (int32 round = 0; round <= 2 * fPoolCount; ++round) {
		if (void* block = _MallocFromPools(inSize, inFlag, inTag, inPreferred, firstPass, fCurrentPool))
			return block;
		firstPass = false;

		if (fPurgeEvent == nullptr) {
			_RunPurge(fCurrentPool, inSize, firstPurge);
			firstPurge = false;
			fCurrentPool = (fCurrentPool + 1) % fPoolCount;
			if (void* block = _MallocFromPools(inSize, inFlag, inTag, -1, false, fCurrentPool))
				return block;
		} else if (fPurgingTask == VTaskMgr::GetCurrentTaskID()) {
			// Asked from inside this task's own purge handler: waiting for
			// the purge would wait for ourselves.
			return nullptr;
		} else {
			_WaitForPurgeLocked();
		}
		if (fCurrentPool == start)
			break;
	}
	return nullptr;
}

void VCppMemMgr::_WaitForPurgeLocked()
{
	VSyncEvent* event = fPurgeEvent;
	event->Retain();
	pthread_mutex_unlock(&fMutex);
	event->Lock();
	event->Release();
	pthread_mutex_lock(&fMutex);
}

void VCppMemMgr::_RunPurge(int32 inIndex, size_t inSize, bool inFirstCall)
{
	// Called under the mutex with no purge running. The handler runs with the
	// mutex released so that it may free memory through the manager.
	fPurgeEvent = new VSyncEvent;
	fPurgingPool = inIndex < 0 ? 0 : inIndex;
	fPurgingTask = VTaskMgr::GetCurrentTaskID();
	PurgeHandlerProc handler = fPurgeHandler;
	pthread_mutex_unlock(&fMutex);
	if (handler != nullptr)
		handler(inIndex, inSize, inFirstCall);
	pthread_mutex_lock(&fMutex);
	if (VSyncEvent* event = std::exchange(fPurgeEvent, nullptr)) {
		event->Unlock();
		event->Release();
	}
	fPurgingPool = -1;
	fPurgingTask = 0;
}

void* VCppMemMgr::TryToMalloc(size_t inSize, bool inFlag, int32 inTag, int32 inPreferredAllocator)
{
	if (fSingleAllocator)
		return fSingle->Malloc(inSize, 0, inFlag, inTag);
	if (fPoolCount == 0)
		return nullptr;
	return _MallocFromPools(inSize, inFlag, inTag, inPreferredAllocator, true, fCurrentPool);
}

void* VCppMemMgr::Calloc(int32 inCount, size_t inSize, int32 inTag)
{
	// A negative count or a product that does not fit is refused rather than
	// wrapped into a small block the caller would overrun.
	if (inCount < 0)
		return nullptr;
	size_t total = 0;
	if (__builtin_mul_overflow(static_cast<size_t>(inCount), inSize, &total))
		return nullptr;
	void* block = Malloc(total, false, inTag, -1);
	if (block != nullptr)
		std::memset(block, 0, total);
	return block;
}

void VCppMemMgr::_FreePoolMode(void* inBlock)
{
	if (inBlock == nullptr)
		return;
	StLock lock(fMutex);
	if (XMemCppImpl* pool = _FirstPool())
		pool->Free(inBlock);
}

size_t VCppMemMgr::GetPtrSize(const void* inBlock)
{
	if (fSingleAllocator)
		return fSingle->GetPtrSize(inBlock);
	StLock lock(fMutex);
	XMemCppImpl* pool = _FirstPool();
	return pool != nullptr ? pool->GetPtrSize(inBlock) : 0;
}

void* VCppMemMgr::Realloc(void* inBlock, size_t inNewSize)
{
	if (inBlock == nullptr)
		return Malloc(inNewSize, false, 0, -1);
	if (inNewSize == 0) {
		Free(inBlock);
		return nullptr;
	}
	// The C library resizes large blocks in place by remapping pages; a
	// copy through a new block would make every growth of a big buffer cost
	// its whole size. Both leave the old block intact on failure.
	if (fSingleAllocator)
		return fSingle->Realloc(inBlock, inNewSize);
	void* block = Malloc(inNewSize, false, 'grow', -1);
	if (block == nullptr)
		return nullptr;
	std::memmove(block, inBlock, std::min(GetPtrSize(inBlock), inNewSize));
	Free(inBlock);
	return block;
}

uint64 VCppMemMgr::GetAllocatedMem()
{
	StLock lock(fMutex);
	if (fSingleAllocator)
		return fSingle->GetTotalAllocation();
	uint64 total = 0;
	for (XMemCppImpl* pool : fPools)
		total += pool->GetTotalAllocation();
	return total;
}

void VCppMemMgr::GetMemStatistics(size_t& out1, size_t& out2, size_t& outAllocated, size_t& out4, size_t& out5,
								  size_t& out6, size_t& out7, size_t& out8, size_t& out9)
{
	out1 = out2 = out4 = out5 = out6 = out7 = out8 = out9 = 0;
	outAllocated = static_cast<size_t>(GetAllocatedMem());
}

void VCppMemMgr::GetMemUsageInfo(size_t& outAllocated, size_t& outUsed)
{
	if (fSingleAllocator) {
		fSingle->GetMemUsageInfo(outAllocated, outUsed);
		return;
	}
	// Another task may unmap an emptied area meanwhile.
	StLock lock(fMutex);
	outAllocated = 0;
	outUsed = 0;
	for (XMemCppImpl* pool : fPools) {
		size_t allocated = 0, used = 0;
		pool->GetMemUsageInfo(allocated, used);
		outAllocated += allocated;
		outUsed += used;
	}
}

void VCppMemMgr::GetStatistics(VMemStats& outStats, int32 inAllocatorIndex)
{
	StLock lock(fMutex);
	outStats.Clear();
	if (fSingleAllocator) {
		fSingle->GetStats(outStats, 0);
	} else if (IsValidIndex(inAllocatorIndex, fPoolCount)) {
		fPools[inAllocatorIndex]->GetStats(outStats, static_cast<int16>(inAllocatorIndex));
	} else {
		for (int32 i = 0; i < fPoolCount; ++i)
			fPools[i]->GetStats(outStats, static_cast<int16>(i));
	}
}

int32 VCppMemMgr::GetAllocationBlockNumber(const void* inBlock)
{
	if (fSingleAllocator)
		return 0;
	XMemCppImpl* pool = _FirstPool();
	return pool != nullptr ? pool->GetAllocationBlockNumber(inBlock) : 0;
}

bool VCppMemMgr::AddVirtualAllocation(size_t inTotalSize, const void* inAddress, bool inPhysical)
{
	if (fSingleAllocator)
		return false;
	if (inTotalSize < kMinVirtualAllocation || fPoolCount == 0)
		return true;
	StLock lock(fMutex);
	size_t perPool = inTotalSize / fPoolCount;
	for (int32 i = 0; i < fPoolCount; ++i) {
		// A caller's address places the whole region: each pool takes its
		// own slice of it rather than all asking for the same address.
		const void* address = inAddress == nullptr ? nullptr : static_cast<const char*>(inAddress) + i * perPool;
		void* area = VMemCppImpl::ReserveArea(perPool, address, inPhysical);
		if (area == nullptr)
			return false;
		// A pool that does not take the area leaves it to us to give back.
		if (!fPools[i]->AddAlreadyAllocatedMem(perPool, area, inPhysical)) {
			VSystem::VirtualFree(area, perPool, false);
			return false;
		}
		fLargestPoolArea = std::max<uint64>(fLargestPoolArea, perPool);
	}
	return true;
}

int32 VCppMemMgr::CountVirtualAllocations()
{
	if (fSingleAllocator)
		return fSingle->CountAllocations();
	StLock lock(fMutex);
	int32 count = 0;
	for (XMemCppImpl* pool : fPools)
		count += pool->CountAllocations();
	return count;
}

VCppMemMgr::PurgeHandlerProc VCppMemMgr::SetPurgeHandlerProc(PurgeHandlerProc inProc)
{
	StLock lock(fMutex);
	return std::exchange(fPurgeHandler, inProc);
}

void VCppMemMgr::PurgeMem(int32 inAllocatorIndex)
{
	if (fSingleAllocator)
		return;
	StLock lock(fMutex);
	while (fPurgeEvent != nullptr) {
		if (fPurgingTask == VTaskMgr::GetCurrentTaskID())
			return; // from inside this task's own purge handler
		_WaitForPurgeLocked();
	}
	_RunPurge(inAllocatorIndex, 0, true);
}

VMemoryHog* VCppMemMgr::RegisterMemHog()
{
	VMemoryHog* hog = new VMemoryHog(VTaskMgr::GetCurrentTaskID());
	fHogLock.Lock();
	fHogs.push_back(hog);
	fHogLock.Unlock();
	return hog;
}

void VCppMemMgr::UnRegisterMemHog(VMemoryHog* inHog)
{
	fHogLock.Lock();
	auto found = std::find(fHogs.begin(), fHogs.end(), inHog);
	bool known = found != fHogs.end();
	if (known)
		fHogs.erase(found);
	fHogLock.Unlock();
	if (known)
		delete inHog;
}

} // namespace qirn
