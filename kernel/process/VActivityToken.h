#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"

namespace qirn {

class VString;

// Says that the process is busy for as long as it lives: it is registered
// with the process object from construction to destruction, so the process
// can tell whether anything is going on (VProcess::HasSomeActivityTokens).
class VActivityToken : public VObject, public IRefCountable {
public:
	VActivityToken();
	~VActivityToken() override;

	VActivityToken(const VActivityToken&) = delete;
	VActivityToken& operator=(const VActivityToken&) = delete;
};

} // namespace qirn
