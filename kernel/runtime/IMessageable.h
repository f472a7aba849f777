#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

class VMessage;
class VMessagingContext;

// An object that receives messages on the task that made it (or the task
// given to SetMessagingTask).
class IMessageable {
public:
	IMessageable();
	virtual ~IMessageable();

	IMessageable(const IMessageable&) = delete;
	IMessageable& operator=(const IMessageable&) = delete;

	// Whether posts and sends to this object are taken.
	void StartMessaging();
	void StopMessaging();
	int32 GetMessagingTask() const;
	void SetMessagingTask(int32 inTaskID);
	VMessagingContext* RetainMessagingContext() const;

	virtual void DoMessage(VMessage& /*ioMessage*/) {}

private:
	VMessagingContext* fMessagingContext;
};

} // namespace qirn
