#include "process/platform/XLinuxSleepNotifier.h"

namespace qirn {

struct XLinuxSleepNotifier::Listener {};

XLinuxSleepNotifier::XLinuxSleepNotifier() = default;

XLinuxSleepNotifier::~XLinuxSleepNotifier() = default;

VError XLinuxSleepNotifier::Init()
{
	return VE_OK;
}

bool XLinuxSleepNotifier::IsListening() const
{
	return false;
}

bool XLinuxSleepNotifier::HoldsInhibitor() const
{
	return false;
}

} // namespace qirn
