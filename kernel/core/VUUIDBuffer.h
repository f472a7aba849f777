#pragma once

#include "core/VKernelTypes.h"

#include <cstring>

namespace qirn {

// The 16 bytes of an identifier, in the order in which they print and compare.
class VUUIDBuffer {
public:
	VUUIDBuffer() { std::memset(fBytes, 0, sizeof(fBytes)); }
	explicit VUUIDBuffer(const uint8 (&inBytes)[16]) { std::memcpy(fBytes, inBytes, sizeof(fBytes)); }

	bool IsNull() const
	{
		for (uint8 byte : fBytes)
			if (byte != 0)
				return false;
		return true;
	}
	bool operator==(const VUUIDBuffer& inOther) const { return std::memcmp(fBytes, inOther.fBytes, 16) == 0; }

	uint8 fBytes[16];
};

static_assert(sizeof(VUUIDBuffer) == 16);

} // namespace qirn
