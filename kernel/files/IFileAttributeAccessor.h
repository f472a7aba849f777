#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

class VTime;

// The times of the item an iteration is on, handed to the functions of
// IFolder::IterateFiles and IterateFolders.
class IFileAttributeAccessor {
public:
	virtual ~IFileAttributeAccessor() = default;
	// Any time may be null; UTC. Kernel error 3 when there is no current item.
	virtual VError GetTime(VTime* outModified, VTime* outCreated, VTime* outAccessed) const = 0;
};

} // namespace qirn
