#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

class VMemThreadImpl;

// A page of small blocks of one size, laid over the data of a big block.
// Each small block has an 8-byte header: minus its offset from the page's
// start (less 1 when it holds an object), then its tag. The negative first
// word is how a small block is told from a big one.
class VPageAllocationImpl {
public:
	static constexpr size_t kHeaderSize = 56;
	static constexpr size_t kBlockHeaderSize = 8;

	VPageAllocationImpl(VMemThreadImpl* inOwner, size_t inPageSize, uint16 inBlockSize);

	// A block (the address behind its header) or null when the page is full.
	void* Malloc(bool inFlag, int32 inTag);
	// Takes the block back; answers whether the page was full before.
	bool Free(void* inBlockHeader);

	bool IsFull() const { return fNbUsed == fCapacity; }
	bool IsEmpty() const { return fNbUsed == 0; }

	// The page and header of a small block, from its data address; null
	// when the block is a big one.
	static void* SmallBlockHeader(const void* inBlock);
	static VPageAllocationImpl* PageOf(const void* inBlockHeader);
	static bool HoldsObject(const void* inBlockHeader);
	static int32 TagOf(const void* inBlockHeader);
	// The block freed before this one, in its page's freed list.
	static void* NextFreed(const void* inBlockHeader);

	// Whether the header lies on a block boundary of the carved part.
	bool IsCarvedBlock(const void* inBlockHeader) const;
	bool IsInFreedList(const void* inBlockHeader) const;
	// Every freed link must lead to a carved block, the list must end within
	// the count of freed blocks, and the counts must add up.
	bool Check() const;

	VMemThreadImpl* fOwner;
	void* fFreed;
	VPageAllocationImpl* fNext;
	VPageAllocationImpl* fPrevious;
	size_t fPageSize;
	size_t fFirstUnused;
	uint16 fNbFreed;
	uint16 fNbUsed;
	uint16 fCapacity;
	uint16 fBlockSize;
};

static_assert(sizeof(VPageAllocationImpl) == VPageAllocationImpl::kHeaderSize);

} // namespace qirn
