#include "core/VValueSingle.h"

#include "core/VString.h"
#include "core/VUUID.h"
#include "core/VValueInfo.h"

namespace qirn {

CharSet VValueSingle::DebugDump(char*, int32& ioSize) const
{
	// Nothing is written while no process object exists.
	ioSize = 0;
	return VTC_UTF_16;
}

VError VValueSingle::FromJSONString(const VString& inJSONString, uint32)
{
	FromString(inJSONString);
	return VE_OK;
}

VError VValueSingle::GetJSONString(VString& outJSONString, uint32) const
{
	GetString(outJSONString);
	return VE_OK;
}

void VValueSingle::GetString(VString& outValue) const
{
	outValue.Clear();
}

void VValueSingle::GetVUUID(VUUID& outValue) const
{
	outValue.Clear();
}

VValueSingle* VValueSingle::ConvertTo(uint16 inKind) const
{
	VValue* value = VValue::NewValueFromValueKind(inKind);
	if (value == nullptr)
		return nullptr;
	VValueSingle* single = value->IsVValueSingle();
	if (single == nullptr) {
		delete value;
		return nullptr;
	}
	GetValue(*single);
	single->SetNull(IsNull());
	return single;
}

void VValueSingle::GetValue(VValueSingle& outValue) const
{
	outValue.Clear();
}

void VValueSingle::GetXMLString(VString& outText, uint32) const
{
	GetString(outText);
}

bool VValueSingle::FromXMLString(const VString& inText)
{
	FromString(inText);
	return true;
}

} // namespace qirn
