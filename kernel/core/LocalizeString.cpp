#include "core/LocalizeString.h"

namespace qirn {

VString LocalizeString(const VString& /*inKey*/, const char* inFallback)
{
	// No localizer is installed in this build (VProcess::GetLocalizer is null
	// until an application brings localization files): every key falls back.
	VString text;
	if (inFallback != nullptr)
		text.FromCString(inFallback);
	return text;
}

} // namespace qirn
