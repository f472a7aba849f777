#pragma once

#include "core/VMemThreadImpl.h"
#include "core/XMemCppImpl.h"

namespace qirn {

class VMemCppImpl;
class VPageAllocationImpl;

// An area the pool carves big blocks from, with this header at its start.
struct VMemImplAllocation {
	VMemCppImpl* fOwner;
	VMemImplAllocation* fNext;
	VMemImplAllocation* fPrevious;
	uint64 fUsableSize;
	// Blocks are carved only at the end of this prefix of the block area.
	uint64 fUsed;
	uint64 fLastBlockSize;
	uint8 fPhysical;

	char* BlockArea() { return reinterpret_cast<char*>(this) + sizeof(VMemImplAllocation); }
	char* UsedEnd() { return BlockArea() + fUsed; }
};
static_assert(sizeof(VMemImplAllocation) == 56);

// The header of a big block. Its size word holds the total size, header
// included, with the object flag in bit 0 and the page flag in bit 1, or
// minus the size when the block is free. The distance and the tag are the
// two words just before the caller's data.
struct VMemBigBlock {
	VMemImplAllocation* fAllocation;
	int32 fSize;
	int32 fUnused;
	uint32 fPreviousDistance;
	int32 fTag;
};
static_assert(sizeof(VMemBigBlock) == 24);

// The kernel's own allocator, one pool of the memory manager's pool mode.
// Big blocks are carved from areas and kept, once freed, in free lists by
// size in 1 KiB steps; smaller requests go to pages of small blocks. It takes
// no lock: the manager serializes every call.
class VMemCppImpl final : public XMemCppImpl {
public:
	static constexpr size_t kBigHeaderSize = sizeof(VMemBigBlock);
	static constexpr size_t kMaxRequest = 2147481598;
	static constexpr size_t kMinAllocation = 64 * 1024;
	static constexpr int32 kListCount = 1026;

	explicit VMemCppImpl(int32 inPoolNumber);
	~VMemCppImpl() override;

	VMemCppImpl(const VMemCppImpl&) = delete;
	VMemCppImpl& operator=(const VMemCppImpl&) = delete;

	void Init(VCppMemMgr* inManager) override;
	void* Malloc(size_t inSize, uint8 inPage, uint8 inFlag, int32 inTag) override;
	void Free(void* inBlock) override;
	void* Realloc(void* inBlock, size_t inNewSize) override;
	size_t GetPtrSize(const void* inBlock) override;
	bool CheckPtr(const void* inBlock) override;
	bool Check(void* inBlock) override;
	bool AddAllocation(size_t inSize, const void* inAddress, uint8 inPhysical) override;
	int32 CountAllocations() override;
	void SetAutoAllocationState(bool inState) override { fAutoAllocation = inState; }
	bool GetAutoAllocationState() const override { return fAutoAllocation; }
	void GetStats(VMemStats& ioStats, int16 inAllocatorIndex) override;
	uint64 GetTotalAllocation() override { return fTotalAllocation; }
	void GetMemUsageInfo(size_t& outAllocated, size_t& outUsed) override;
	bool AddAlreadyAllocatedMem(size_t inSize, void* inAddress, bool inPhysical) override;
	int32 GetAllocationBlockNumber(const void* inBlock) override;

	// The small-block part's pages, which are big blocks of this pool.
	void* MallocPage(size_t inPageSize);
	void FreePage(VPageAllocationImpl* inPage);

	// An area from the system, held in memory when inPhysical asks for it.
	static void* ReserveArea(size_t inSize, const void* inAddress, bool inPhysical);

	// The free list of a free block of this size.
	static int32 ListIndex(uint64 inSize);

private:
	static VMemCppImpl* _OwnerOf(const void* inBlock);
	void* _MallocBig(size_t inSize, bool inPage, bool inFlag, int32 inTag);
	VMemBigBlock* _TakeBlock(size_t inNeeded, int32 inIndex);
	VMemBigBlock* _Carve(size_t inNeeded);
	VMemBigBlock* _SplitOff(VMemBigBlock* ioBlock, size_t inNeeded);
	bool _AddAutoAllocation(size_t inNeeded);
	void _FreeBig(VMemBigBlock* inBlock);
	void _FreeSmall(void* inBlockHeader);
	void _GiveBackToEnd(VMemBigBlock* inBlock);
	void _PushFree(VMemBigBlock* inBlock, uint64 inSize);
	void _UnlinkFree(VMemBigBlock* inBlock);
	void _LinkAllocation(void* inArea, size_t inSize, bool inPhysical);
	void _ReleaseAllocation(VMemImplAllocation* inAllocation);
	bool _CheckAllocation(VMemImplAllocation* inAllocation);
	void _AddSmallBlockStats(VMemStats& ioStats, VPageAllocationImpl* inPage);

	VMemThreadImpl fThread;
	VCppMemMgr* fManager = nullptr;
	VMemImplAllocation* fAllocations = nullptr;
	VMemBigBlock* fFreeLists[kListCount] = {};
	uint64 fTotalAllocation = 0;
	uint64 fUsedBytes = 0;
	int32 fPoolNumber;
	bool fAutoAllocation = false;
};

} // namespace qirn
