#include "runtime/IMessageable.h"

#include "runtime/VMessagingContext.h"
#include "runtime/VTaskMgr.h"

namespace qirn {

IMessageable::IMessageable() : fMessagingContext(new VMessagingContext(this, VTaskMgr::GetCurrentTaskID())) {}

IMessageable::~IMessageable()
{
	// Messages still queued keep the context; they find no target and do nothing.
	fMessagingContext->_ClearTarget();
	fMessagingContext->Release();
}

void IMessageable::StartMessaging()
{
	fMessagingContext->_SetAccepting(true);
}

void IMessageable::StopMessaging()
{
	fMessagingContext->_SetAccepting(false);
}

int32 IMessageable::GetMessagingTask() const
{
	return fMessagingContext->GetMessagingTask();
}

void IMessageable::SetMessagingTask(int32 inTaskID)
{
	fMessagingContext->_SetMessagingTask(inTaskID);
}

VMessagingContext* IMessageable::RetainMessagingContext() const
{
	return RetainRefCountable(fMessagingContext);
}

} // namespace qirn
