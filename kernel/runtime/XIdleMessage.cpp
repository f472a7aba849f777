#include "runtime/XIdleMessage.h"

#include "runtime/IIdleable.h"
#include "runtime/VTask.h"

namespace qirn {

namespace {

constexpr int32 kIdleMessageDelayMilliseconds = 16;

} // namespace

void XIdleMessage::DoExecute()
{
	if (fIdleable == nullptr || !fIdleable->IsIdling())
		return;
	fIdleable->DoIdle();
	// An idleable that stopped in its DoIdle may be destroyed next: no
	// message of the chain may outlive that.
	if (!fIdleable->IsIdling())
		return;
	VRefPtr<VMessage> next = VRefPtr<VMessage>::Adopt(new XIdleMessage(fIdleable));
	next->PostTo(VTask::GetCurrent(), false, kIdleMessageDelayMilliseconds);
}

} // namespace qirn
