#include "runtime/VError.h"

#include "process/VProcess.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"
#include "runtime/VTask.h"

namespace qirn {

namespace {

const VString kKeyP1("p1");
const VString kKeyP2("p2");
const VString kKeyP3("p3");

// Building an error can fail the way the error it describes did (a string
// that cannot grow while memory is short): what it raises meanwhile is not
// recorded, so that raising never recurses without end.
thread_local bool tBuildingError = false;

} // namespace

void _ThrowError(VError inError, const VString* inP1, const VString* inP2, const VString* inP3)
{
	if (VProcess::sInstance.load(std::memory_order_acquire) == nullptr || tBuildingError)
		return;
	tBuildingError = true;
	VErrorBase* error = new VErrorBase(inError);
	if (inP1 != nullptr)
		error->SetString(kKeyP1, *inP1);
	if (inP2 != nullptr)
		error->SetString(kKeyP2, *inP2);
	if (inP3 != nullptr)
		error->SetString(kKeyP3, *inP3);
	tBuildingError = false;
	VTask::PushRetainedError(error);
}

bool _PushRetainedError(VErrorBase* inError, VError inNativeError)
{
	if (inError == nullptr)
		return false;
	if (inNativeError != VE_OK) {
		VErrorTaskContext* context = VTask::GetErrorContext(false);
		if (context == nullptr || !context->IsErrorFiltered(inError->GetError()))
			VTask::PushRetainedError(new VErrorBase(inNativeError));
	}
	return VTask::PushRetainedError(inError);
}

VError vThrowUserGeneratedError(VError inError, const VString& inMessage)
{
	VTask::PushRetainedError(new VErrorUserGenerated(inError, inMessage));
	return inError;
}

} // namespace qirn
