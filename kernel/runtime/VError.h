#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

class VString;

// Raises a kernel error on the current task's error stack, with up to three
// string parameters ("p1", "p2", "p3"). Records nothing while there is no
// process object or outside a kernel task. Callers return the code themselves.
void _ThrowError(VError inError, const VString* inP1 = nullptr, const VString* inP2 = nullptr,
				 const VString* inP3 = nullptr);

} // namespace qirn
