#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

// The task manager. Locks ask it for the calling task's id: a thread that is
// no kernel task is identified by its own thread id.
class VTaskMgr {
public:
	static int32 GetCurrentTaskID();
	static void YieldNow();
};

} // namespace qirn
