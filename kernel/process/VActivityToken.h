#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VString.h"

namespace qirn {

// Says that the process is busy for as long as it lives: it is registered
// with the process object from construction to destruction, so the process
// can tell whether anything is going on (VProcess::HasSomeActivityTokens).
class VActivityToken : public VObject, public IRefCountable {
public:
	explicit VActivityToken(const VString& inReason);
	~VActivityToken() override;

	const VString& GetReason() const { return fReason; }

	VActivityToken(const VActivityToken&) = delete;
	VActivityToken& operator=(const VActivityToken&) = delete;

private:
	VString fReason;
};

} // namespace qirn
