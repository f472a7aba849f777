#pragma once

#include "core/VKernelTypes.h"

namespace qirn {

class VErrorBase;
class VString;

// Raises a kernel error on the current task's error stack, with up to three
// string parameters ("p1", "p2", "p3"). Records nothing while there is no
// process object or outside a kernel task. Callers return the code themselves.
void _ThrowError(VError inError, const VString* inP1 = nullptr, const VString* inP2 = nullptr,
				 const VString* inP3 = nullptr);

// Records the error, taking over the caller's reference. A native error
// (wrapped platform code) is recorded first, just below it, unless a context
// of the task filters the error's code.
bool _PushRetainedError(VErrorBase* inError, VError inNativeError = VE_OK);

// Records an error whose description is the user's message; answers the code.
VError vThrowUserGeneratedError(VError inError, const VString& inMessage);

} // namespace qirn
