#pragma once

#include "core/VKernelTypes.h"
#include "core/VObject.h"

namespace qirn {

// A task's debug state, read and changed by that task only.
class VDebugContext : public VObject {
public:
	// While non-zero, the task makes no report.
	uint32 fLowLevelModeCount = 0;
	// While non-zero, the notification handler answers "go on" without asking.
	int32 fNoNotification = 0;
	// While non-zero, break requests are ignored.
	int32 fNoBreak = 0;
	// Set while a report of the task is being made, so that a report raised
	// by reporting is not made.
	bool fInDebugReport = false;
};

} // namespace qirn
