#include "core/VMemory.h"

#include "core/VCppMemMgr.h"
#include "core/VObject.h"

#include <cstring>

namespace qirn {

VCppMemMgr* VObject::sCppMemMgr = nullptr;

void* VMemory::NewPtrClear(size_t inSize, int32 inTag)
{
	void* block = NewPtr(inSize, inTag);
	if (block != nullptr)
		std::memset(block, 0, inSize);
	return block;
}

void* VMemory::SetPtrSize(void* inBlock, size_t inNewSize)
{
	return VObject::sCppMemMgr->Realloc(inBlock, inNewSize);
}

size_t VMemory::GetPtrSize(const void* inBlock)
{
	return VObject::sCppMemMgr->GetPtrSize(inBlock);
}

bool VMemory::InitMemoryManager()
{
	if (VObject::sCppMemMgr == nullptr)
		VObject::sCppMemMgr = new VCppMemMgr(eAllocator_FromInfoPlist);
	return VObject::sCppMemMgr != nullptr;
}

namespace {

// Runs before every ordinary static initializer of the library, which may
// already allocate through the manager.
__attribute__((constructor(101))) void InitMemoryManagerBeforeMain()
{
	VMemory::InitMemoryManager();
}

} // namespace

} // namespace qirn
