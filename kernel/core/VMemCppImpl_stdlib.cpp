#include "core/VMemCppImpl_stdlib.h"

#include <cstdlib>
#include <malloc.h>

namespace qirn {

void* VMemCppImpl_stdlib::Malloc(size_t inSize, uint8, uint8, int32)
{
	return std::malloc(inSize);
}

void VMemCppImpl_stdlib::Free(void* inBlock)
{
	std::free(inBlock);
}

void* VMemCppImpl_stdlib::Realloc(void* inBlock, size_t inNewSize)
{
	return std::realloc(inBlock, inNewSize);
}

size_t VMemCppImpl_stdlib::GetPtrSize(const void* inBlock)
{
	return inBlock == nullptr ? 0 : ::malloc_usable_size(const_cast<void*>(inBlock));
}

void VMemCppImpl_stdlib::GetMemUsageInfo(size_t& outAllocated, size_t& outUsed)
{
	outAllocated = kReportedAllocation;
	outUsed = 0;
}

} // namespace qirn
