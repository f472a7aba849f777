#include "runtime/VError.h"

namespace qirn {

void _ThrowError(VError, const VString*, const VString*, const VString*)
{
	// Error objects and the process object do not exist in this build yet:
	// with no process object, raising records nothing.
}

} // namespace qirn
