#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

class VString;

// What the kernel asks of a localization manager. Errors ask it for the
// message of their code, registered per component signature.
class ILocalizer {
public:
	virtual ~ILocalizer() = default;

	// Puts the message of the code into outMessage; false when there is none.
	virtual bool LocalizeErrorMessage(VError inError, VString& outMessage) = 0;
};

} // namespace qirn
