#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

class VMemCppImpl;
class VMemStats;
class VPageAllocationImpl;

// The small-block part of a pool: requests of under 8,192 bytes, header
// included, come from pages cut into equal blocks by size class. A page is a
// big block of the owning pool.
class VMemThreadImpl {
public:
	static constexpr size_t kSmallLimit = 8192;
	static constexpr int32 kClassCount = 132;

	explicit VMemThreadImpl(VMemCppImpl* inOwner);

	// inSize includes the block's header and is below kSmallLimit.
	void* Malloc(size_t inSize, bool inFlag, int32 inTag);
	// The block's header, in one of this part's pages.
	void Free(VPageAllocationImpl* inPage, void* inBlockHeader);

	VMemCppImpl* GetOwner() const { return fOwner; }

	// A request's class and block size, and the page size for a block size.
	static int32 SizeClass(size_t inSize);
	static size_t BlockSize(size_t inSize);
	static size_t PageSize(size_t inBlockSize);

	// Whether the page is one of this part's lists (the full ones are not).
	bool IsListed(const VPageAllocationImpl* inPage) const;

private:
	void _Link(VPageAllocationImpl* inPage, int32 inClass);
	void _Unlink(VPageAllocationImpl* inPage, int32 inClass);

	VMemCppImpl* fOwner;
	VPageAllocationImpl* fPages[kClassCount];
};

} // namespace qirn
