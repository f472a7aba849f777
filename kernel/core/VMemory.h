#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

// Static access to the process-wide memory manager.
class VMemory {
public:
	static void* NewPtr(size_t inSize, int32 inTag);
	static void* NewPtrClear(size_t inSize, int32 inTag);
	static void DisposePtr(void* inBlock);
	static void* SetPtrSize(void* inBlock, size_t inNewSize);
	static size_t GetPtrSize(const void* inBlock);

	// Creates the process's memory manager when it does not exist yet; runs
	// before main and again from the program's entry. False when it cannot.
	static bool InitMemoryManager();
};

} // namespace qirn
