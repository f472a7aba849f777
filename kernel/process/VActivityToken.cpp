#include "process/VActivityToken.h"

#include "process/VProcess.h"

namespace qirn {

VActivityToken::VActivityToken(const VString& inReason) : fReason(inReason)
{
	if (VProcess* process = VProcess::sInstance.load(std::memory_order_acquire))
		process->_RegisterActivityToken(this);
}

VActivityToken::~VActivityToken()
{
	if (VProcess* process = VProcess::sInstance.load(std::memory_order_acquire))
		process->_UnregisterActivityToken(this);
}

} // namespace qirn
