#include "core/platform/XLinuxUUID.h"

#include "core/VUUIDBuffer.h"

#include <cerrno>
#include <cstring>
#include <sys/random.h>

namespace qirn {

bool XLinuxUUID::Generate(VUUIDBuffer* outBuffer)
{
	uint8 bytes[16];
	size_t filled = 0;
	while (filled < sizeof(bytes)) {
		ssize_t got = getrandom(bytes + filled, sizeof(bytes) - filled, 0);
		if (got < 0) {
			if (errno == EINTR)
				continue;
			return false;
		}
		filled += static_cast<size_t>(got);
	}
	// Marked as a random identifier of the standard variant, like the
	// identifiers other systems make.
	bytes[6] = static_cast<uint8>((bytes[6] & 0x0F) | 0x40);
	bytes[8] = static_cast<uint8>((bytes[8] & 0x3F) | 0x80);
	std::memcpy(outBuffer->fBytes, bytes, sizeof(bytes));
	return true;
}

} // namespace qirn
