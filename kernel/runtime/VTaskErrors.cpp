#include "runtime/VDebugMgr.h"
#include "runtime/VErrorContext.h"
#include "runtime/VTask.h"

namespace qirn {

VErrorTaskContext* VTask::GetErrorContext(bool inCreateIfNeeded)
{
	VTask* task = GetCurrent();
	if (task == nullptr)
		return nullptr;
	VErrorTaskContext* context = task->fErrorContext.load(std::memory_order_acquire);
	if (context != nullptr || !inCreateIfNeeded)
		return context;
	VErrorTaskContext* made = new VErrorTaskContext();
	if (task->fErrorContext.compare_exchange_strong(context, made, std::memory_order_acq_rel))
		return made;
	made->Release();
	return context;
}

VError VTask::GetLastError()
{
	VErrorTaskContext* context = GetErrorContext(false);
	return context != nullptr ? context->GetLastError() : VE_OK;
}

bool VTask::FailedForMemory()
{
	VErrorTaskContext* context = GetErrorContext(false);
	return context != nullptr && context->FailedForMemory();
}

bool VTask::PushError(VErrorBase* inError)
{
	if (inError == nullptr)
		return false;
	VErrorTaskContext* context = GetErrorContext(true);
	if (context == nullptr)
		return false;
	bool quiet = false;
	const bool pushed = context->PushError(inError, &quiet);
	if (pushed && !quiet)
		VDebugMgr::Get().ErrorThrown(inError);
	return pushed;
}

bool VTask::PushRetainedError(VErrorBase* inError)
{
	const bool pushed = PushError(inError);
	if (inError != nullptr)
		inError->Release();
	return pushed;
}

void VTask::PushErrors(const VErrorContext* inContext)
{
	if (inContext == nullptr || inContext->IsEmpty())
		return;
	if (VErrorTaskContext* context = GetErrorContext(true); context != nullptr)
		context->PushErrorsFromContext(inContext);
}

void VTask::FlushErrors()
{
	if (VErrorTaskContext* context = GetErrorContext(false); context != nullptr)
		context->Flush();
}

} // namespace qirn
