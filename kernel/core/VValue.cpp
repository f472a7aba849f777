#include "core/VValue.h"

#include "runtime/VError.h"

namespace qirn {

VError VValue::FromJSONString(const VString&, uint32)
{
	_ThrowError(VE_UNIMPLEMENTED);
	return VE_UNIMPLEMENTED;
}

VError VValue::GetJSONString(VString&, uint32) const
{
	_ThrowError(VE_UNIMPLEMENTED);
	return VE_UNIMPLEMENTED;
}

void VValue::SetNull(bool inNull)
{
	if (IsNull() == inNull)
		return;
	// The hook sees the value already null (or not), and the bit is set again
	// afterwards in case the hook went through an edit that touched it.
	if (inNull)
		fFlags |= kFlag_Null;
	else
		fFlags &= ~kFlag_Null;
	DoNullChanged();
	if (inNull)
		fFlags |= kFlag_Null;
	else
		fFlags &= ~kFlag_Null;
	if (!IsDirty()) {
		fFlags |= kFlag_Dirty;
		DoDirtyChanged();
	}
}

void VValue::SetDirty(bool inDirty)
{
	if (IsDirty() == inDirty)
		return;
	if (inDirty)
		fFlags |= kFlag_Dirty;
	else
		fFlags &= ~kFlag_Dirty;
	DoDirtyChanged();
}

} // namespace qirn
