#include "core/VCompareOptions.h"

namespace qirn {

// The current task's intl manager comes with international settings; until
// then comparisons collate without one.
VCompareOptions::VCompareOptions() : fIntlMgr(nullptr) {}

} // namespace qirn
