#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

class VUUIDBuffer;

// New identifiers from the kernel's random source.
class XLinuxUUID {
public:
	// Fills the buffer with a random (version 4) identifier; false, the buffer
	// untouched, when no random bytes can be had.
	static bool Generate(VUUIDBuffer* outBuffer);
};

} // namespace qirn
