#include "core/LocalizeString.h"

#include "process/VProcess.h"
#include "runtime/ILocalizer.h"

namespace qirn {

VString LocalizeString(const VString& inKey, const char* inFallback)
{
	VString text;
	VProcess* process = VProcess::sInstance.load(std::memory_order_acquire);
	ILocalizer* localizer = process != nullptr ? process->GetLocalizer() : nullptr;
	if (localizer != nullptr && localizer->LocalizeStringWithKey(inKey, text))
		return text;
	if (inFallback != nullptr)
		text.FromCString(inFallback);
	return text;
}

} // namespace qirn
