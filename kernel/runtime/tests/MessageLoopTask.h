#pragma once

// Tasks that execute their messages until they are killed, for tests of
// messaging between real threads.
#include "runtime/VTask.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <functional>

namespace qirn::testing {

inline VRefPtr<VTask> StartMessageLoopTask()
{
	VRefPtr<VTask> task = VRefPtr<VTask>::Adopt(new VTask(0, ETaskStyle::kPreemptive, []() {
		while (!VTask::GetCurrent()->IsDying())
			VTask::WaitAndExecuteMessages();
	}));
	EXPECT_TRUE(task->Run());
	return task;
}

// A task started on a plain body, for senders.
inline VRefPtr<VTask> StartTask(std::function<void()>&& inBody)
{
	VRefPtr<VTask> task = VRefPtr<VTask>::Adopt(new VTask(0, ETaskStyle::kPreemptive, std::move(inBody)));
	EXPECT_TRUE(task->Run());
	return task;
}

// Kills the task and wakes its wait for messages, so that it sees it.
inline void StopMessageLoopTask(VTask* inTask)
{
	inTask->Kill();
	inTask->SetMessageQueueEvent();
	EXPECT_TRUE(inTask->WaitForDeath(kHangMilliseconds));
}

} // namespace qirn::testing
