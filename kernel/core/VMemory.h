#pragma once

#include "core/VCppMemMgr.h"
#include "core/VKernelTypes.h"
#include "core/VObject.h"

namespace qirn {

// Static access to the process-wide memory manager.
class VMemory {
public:
	static void* NewPtr(size_t inSize, int32 inTag) { return VObject::sCppMemMgr->Malloc(inSize, false, inTag, -1); }
	static void* NewPtrClear(size_t inSize, int32 inTag);
	static void DisposePtr(void* inBlock)
	{
		if (inBlock != nullptr)
			VObject::sCppMemMgr->Free(inBlock);
	}
	static void* SetPtrSize(void* inBlock, size_t inNewSize);
	static size_t GetPtrSize(const void* inBlock);

	// Creates the process's memory manager when it does not exist yet; runs
	// before main and again from the program's entry. False when it cannot.
	static bool InitMemoryManager();
};

} // namespace qirn
