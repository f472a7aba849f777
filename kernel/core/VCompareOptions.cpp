#include "core/VCompareOptions.h"

#include "runtime/VTask.h"

namespace qirn {

VCompareOptions::VCompareOptions() : fIntlMgr(VTask::GetCurrentIntlManager()) {}

} // namespace qirn
