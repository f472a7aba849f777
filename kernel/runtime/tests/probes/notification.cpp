// Shows one waited-for notification with flags 0 and reports its answer:
// run from a bundle of its own, with a fake zenity on PATH.
#include "core/VString.h"
#include "runtime/VSystem.h"

#include <cstdio>

using namespace qirn;

int main()
{
	ENotificationResponse response = ENR_NONE;
	const bool shown = VSystem::DisplayNotification(VString("Title"), VString("Message"), 0, &response);
	std::printf("shown=%d\n", shown ? 1 : 0);
	std::printf("response=%d\n", static_cast<int>(response));
	return 0;
}
