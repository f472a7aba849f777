#include "runtime/VTaskMgr.h"

#include <sched.h>
#include <unistd.h>

namespace qirn {

int32 VTaskMgr::GetCurrentTaskID()
{
	thread_local const int32 sThreadID = static_cast<int32>(::gettid());
	return sThreadID;
}

void VTaskMgr::YieldNow()
{
	::sched_yield();
}

} // namespace qirn
