#pragma once

// The current task's international settings for the time of a scope, so that
// a test's expected texts do not depend on the language of the machine.

#include "core/VIntlMgr.h"
#include "core/VRefPtr.h"
#include "runtime/VTask.h"

#include <gtest/gtest.h>

namespace qirn::testing {

class StCurrentDialect {
public:
	explicit StCurrentDialect(DialectCode inDialect, uint8 inOptions = 0)
		: fPrevious(VTask::GetCurrent() != nullptr ? VTask::GetCurrent()->GetIntlManager() : nullptr)
	{
		VTask::SetCurrentDialectCode(inDialect, inOptions);
	}
	~StCurrentDialect()
	{
		if (fPrevious != nullptr)
			VTask::SetCurrentIntlManager(fPrevious.Get());
	}
	StCurrentDialect(const StCurrentDialect&) = delete;
	StCurrentDialect& operator=(const StCurrentDialect&) = delete;

private:
	VRefPtr<VIntlMgr> fPrevious;
};

// A fixture whose tests run in US English.
class InUSEnglish : public ::testing::Test {
private:
	StCurrentDialect fDialect{DC_ENGLISH_US};
};

} // namespace qirn::testing
