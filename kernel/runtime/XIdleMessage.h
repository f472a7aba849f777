#pragma once

#include "runtime/VMessage.h"

namespace qirn {

class IIdleable;

// Idles an idleable through messages: each execution calls its DoIdle and
// posts a fresh message 16 ms later, until the idleable stops idling. The
// idleable is not retained.
class XIdleMessage : public VMessage {
public:
	explicit XIdleMessage(IIdleable* inIdleable) : fIdleable(inIdleable) {}

protected:
	void DoExecute() override;

private:
	IIdleable* fIdleable;
};

} // namespace qirn
