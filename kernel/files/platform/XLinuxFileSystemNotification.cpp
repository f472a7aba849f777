#include "files/platform/XLinuxFileSystemNotification.h"

namespace qirn {

struct XLinuxFileSystemNotification::Watcher {};

XLinuxFileSystemNotification::XLinuxFileSystemNotification(VFileSystemNotifier* inOwner) : fOwner(inOwner) {}

XLinuxFileSystemNotification::~XLinuxFileSystemNotification() = default;

VError XLinuxFileSystemNotification::StartWatchingForChanges(const VFolder&, VFileSystemNotifier::EventKind,
		VFileSystemNotifier::IEventHandler*, int, VFileSystemNotifier::VChangeData** outData)
{
	*outData = nullptr;
	return VE_UNIMPLEMENTED;
}

void XLinuxFileSystemNotification::StopWatchingForChanges(VFileSystemNotifier::VChangeData*, bool) {}

void XLinuxFileSystemNotification::SetAddWatchFunctionForTests(AddWatchFunction) {}

} // namespace qirn
