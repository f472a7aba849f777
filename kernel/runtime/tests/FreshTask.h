#pragma once

// Runs a body on a new kernel task and waits for its end, so that the body
// starts on an error stack of its own, empty.
#include "runtime/VTask.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <functional>

namespace qirn::testing {

inline void RunInFreshTask(std::function<void()>&& inBody)
{
	VRefPtr<VTask> task = VRefPtr<VTask>::Adopt(new VTask(0, ETaskStyle::kPreemptive, std::move(inBody)));
	ASSERT_TRUE(task->Run());
	ASSERT_TRUE(task->WaitForDeath(kHangMilliseconds));
}

} // namespace qirn::testing
