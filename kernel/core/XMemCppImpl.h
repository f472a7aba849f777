#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

class VCppMemMgr;
class VMemStats;

// The memory manager's back-end interface: the system allocator in single
// mode, or one of the pools in pool mode.
class XMemCppImpl {
public:
	virtual ~XMemCppImpl() = default;

	virtual void Init(VCppMemMgr* inManager) = 0;
	// inPage asks for a big block that will hold a page of small blocks;
	// inFlag marks a block that holds a kernel object.
	virtual void* Malloc(size_t inSize, uint8 inPage, uint8 inFlag, int32 inTag) = 0;
	virtual void Free(void* inBlock) = 0;
	virtual void* Realloc(void* inBlock, size_t inNewSize) = 0;
	virtual size_t GetPtrSize(const void* inBlock) = 0;
	virtual bool CheckPtr(const void* inBlock) = 0;
	virtual bool Check(void* inBlock) = 0;
	virtual bool AddAllocation(size_t inSize, const void* inAddress, uint8 inPhysical) = 0;
	virtual int32 CountAllocations() = 0;
	virtual void SetAutoAllocationState(bool inState) = 0;
	virtual void GetStats(VMemStats& ioStats, int16 inAllocatorIndex) = 0;
	virtual uint64 GetTotalAllocation() = 0;
	virtual void GetMemUsageInfo(size_t& outAllocated, size_t& outUsed) = 0;

	// Pool services: an area the manager reserved itself, and the number of
	// the pool that owns a block.
	virtual bool AddAlreadyAllocatedMem(size_t /*inSize*/, void* /*inAddress*/, bool /*inPhysical*/) { return false; }
	virtual int32 GetAllocationBlockNumber(const void* /*inBlock*/) { return 0; }
	// Whether the back end takes new areas on its own when it runs out.
	virtual bool GetAutoAllocationState() const { return false; }
};

} // namespace qirn
