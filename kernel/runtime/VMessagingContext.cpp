#include "runtime/VMessagingContext.h"

namespace qirn {

int32 VMessagingContext::GetMessagingTask() const
{
	return GetTarget() != nullptr ? fTaskID.load(std::memory_order_acquire) : 0;
}

} // namespace qirn
