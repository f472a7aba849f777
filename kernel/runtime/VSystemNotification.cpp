#include "runtime/VSystem.h"

#include "runtime/platform/XLinuxSystem.h"

namespace qirn {

bool VSystem::DisplayNotification(const VString& inTitle, const VString& inMessage, uint32 inFlags,
								  ENotificationResponse* outResponse)
{
	int32 response = ENR_NONE;
	bool shown = XLinuxSystem::DisplayNotification(inTitle, inMessage, inFlags, outResponse != nullptr ? &response : nullptr);
	if (shown && outResponse != nullptr)
		*outResponse = static_cast<ENotificationResponse>(response);
	return shown;
}

void VSystem::CancelAllPendingUserNotifications()
{
	XLinuxSystem::CancelAllPendingUserNotifications();
}

} // namespace qirn
