#pragma once

// Counts the JSON objects and arrays the current task makes and destroys
// while one input is read, so that a tree left alive (a cycle no one broke)
// shows up in every build, not only under the leak sanitizer.
#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "runtime/VTaskMgr.h"

namespace qirn::fuzz {

class StJSONLeakCount {
public:
	StJSONLeakCount()
	{
		VJSONObject::sTaskCounter = 0;
		VJSONArray::sTaskCounter = 0;
		VJSONObject::sTaskToMonitor = VTaskMgr::GetCurrentTaskID();
		VJSONArray::sTaskToMonitor = VTaskMgr::GetCurrentTaskID();
	}
	~StJSONLeakCount()
	{
		VJSONObject::sTaskToMonitor = 0;
		VJSONArray::sTaskToMonitor = 0;
	}
	StJSONLeakCount(const StJSONLeakCount&) = delete;
	StJSONLeakCount& operator=(const StJSONLeakCount&) = delete;

	bool AllGone() const { return VJSONObject::sTaskCounter == 0 && VJSONArray::sTaskCounter == 0; }
};

} // namespace qirn::fuzz
