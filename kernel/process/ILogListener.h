#pragma once

#include "core/IRefCountable.h"

#include <vector>

namespace qirn {

class VValueBag;

// Receives the process logger's entries, a batch at a time, on the logger's
// task. The bags are lent for the call: a listener that keeps one retains it.
class ILogListener : public IRefCountable {
public:
	virtual void Put(const std::vector<const VValueBag*>& inBags) = 0;
};

} // namespace qirn
