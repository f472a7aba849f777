#include "core/VValue.h"

#include "core/VEmpty.h"
#include "core/VValueInfo.h"
#include "files/VStream.h"
#include "json/VJSONValue.h"
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

VError VValue::FromJSONValue(const VJSONValue&)
{
	_ThrowError(VE_UNIMPLEMENTED);
	return VE_UNIMPLEMENTED;
}

VError VValue::GetJSONValue(VJSONValue& outJSONValue, uint32) const
{
	outJSONValue.SetUndefined();
	_ThrowError(VE_UNIMPLEMENTED);
	return VE_UNIMPLEMENTED;
}

const VValueInfo* VValue::GetValueInfo() const
{
	// Built on first use and registered then, so kind 65535 is unknown until
	// some value asks for it.
	static const VValueInfo_default<VEmpty, 65535> sDefaultInfo(65535, 65535);
	return &sDefaultInfo;
}

CompareResult VValue::CompareToSameKindWithOptions(const VValue*, const VCompareOptions&) const
{
	return CR_EQUAL;
}

CompareResult VValue::CompareToSameKindPtrWithOptions(const void*, const VCompareOptions&) const
{
	return CR_EQUAL;
}

VError VValue::ReadFromStream(VStream* ioStream, sLONG)
{
	return ioStream->GetLastError();
}

VError VValue::WriteToStream(VStream* ioStream, sLONG) const
{
	return ioStream->GetLastError();
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
