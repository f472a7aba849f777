#include "runtime/VFunctionMessage.h"

#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

namespace qirn {

void VFunctionMessage::DoExecute()
{
	if (fFunction)
		fFunction();
}

bool VFunctionMessage::PostFunctionTo(VTask* inTask, std::function<void()>&& inFunction)
{
	if (inTask == nullptr || !inFunction)
		return false;
	VRefPtr<VMessage> message = VRefPtr<VMessage>::Adopt(new VFunctionMessage(std::move(inFunction)));
	return message->PostTo(inTask, false);
}

bool VFunctionMessage::PostToAndWait(VTask* inTask, std::function<void()>&& inFunction)
{
	if (inTask == nullptr || !inFunction)
		return false;
	VRefPtr<VMessage> message = VRefPtr<VMessage>::Adopt(new VFunctionMessage(std::move(inFunction)));
	return message->PostToAndWaitExecutingMessages(inTask);
}

bool VFunctionMessage::PostToAndWait(VTask* inTask, std::function<void()>&& inFunction, int32 inTimeoutMilliseconds)
{
	if (inTask == nullptr || !inFunction)
		return false;
	VRefPtr<VMessage> message = VRefPtr<VMessage>::Adopt(new VFunctionMessage(std::move(inFunction)));
	return message->PostToAndWaitExecutingMessages(inTask, inTimeoutMilliseconds);
}

bool VFunctionMessage::_PostToMainTask(std::function<void()>&& inFunction, bool inCallDirectly, bool inWait)
{
	if (!inFunction)
		return false;
	VTaskMgr* manager = VTaskMgr::Get();
	VTask* main = manager != nullptr ? manager->GetMainTask() : nullptr;
	// Before the manager is up (or without a main task) there is no queue to
	// post to: the caller is, or stands for, the main task.
	const bool direct = inCallDirectly || main == nullptr || !VTaskMgr::IsInited() || VTask::IsCurrentMain();
	if (direct) {
		inFunction();
		return true;
	}
	return inWait ? PostToAndWait(main, std::move(inFunction)) : PostFunctionTo(main, std::move(inFunction));
}

bool VFunctionMessage::PostToMainTask(std::function<void()>&& inFunction, bool inCallDirectly)
{
	return _PostToMainTask(std::move(inFunction), inCallDirectly, false);
}

bool VFunctionMessage::PostToMainTaskAndWait(std::function<void()>&& inFunction, bool inCallDirectly)
{
	return _PostToMainTask(std::move(inFunction), inCallDirectly, true);
}

} // namespace qirn
