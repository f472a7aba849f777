#include "json/VJSONNesting.h"

#include "runtime/VError.h"
#include "runtime/VTaskMgr.h"

namespace qirn {

VError CheckJSONNesting(uint32 inDepth)
{
	VTaskMgr* manager = VTaskMgr::Get();
	if (inDepth >= kJSONMaxDepth || (manager != nullptr && manager->GetCurrentFreeStackSize() < kJSONMinFreeStack)) {
		_ThrowError(VE_STACK_OVERFLOW);
		return VE_STACK_OVERFLOW;
	}
	return VE_OK;
}

} // namespace qirn
