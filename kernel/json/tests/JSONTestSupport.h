#pragma once

#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "runtime/VTaskMgr.h"

#include <gtest/gtest.h>

namespace qirn::testing {

inline VString U(const char* inText)
{
	return VString(inText);
}

inline VRefPtr<VJSONObject> NewObject()
{
	return VRefPtr<VJSONObject>::Adopt(new VJSONObject());
}

inline VRefPtr<VJSONArray> NewArray()
{
	return VRefPtr<VJSONArray>::Adopt(new VJSONArray());
}

// Counts the objects and arrays the test's task makes and destroys, so that
// a test can tell that everything it built is gone.
class JSONLeakMonitor {
public:
	JSONLeakMonitor()
	{
		VJSONObject::sTaskCounter = 0;
		VJSONArray::sTaskCounter = 0;
		VJSONObject::sTaskToMonitor = VTaskMgr::GetCurrentTaskID();
		VJSONArray::sTaskToMonitor = VTaskMgr::GetCurrentTaskID();
	}
	~JSONLeakMonitor()
	{
		VJSONObject::sTaskToMonitor = 0;
		VJSONArray::sTaskToMonitor = 0;
	}
	int32 Objects() const { return VJSONObject::sTaskCounter; }
	int32 Arrays() const { return VJSONArray::sTaskCounter; }
};

} // namespace qirn::testing
