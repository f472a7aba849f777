#include "core/VValueSingle.h"

#include "core/VDuration.h"
#include "core/VString.h"
#include "core/VTime.h"
#include "core/VUUID.h"
#include "core/VValueInfo.h"
#include "process/VProcess.h"

namespace qirn {

CharSet VValueSingle::DebugDump(char* ioBuffer, int32& ioSize) const
{
	// Before the process object exists (static initializers, a library
	// used without one) a value is not asked for its text.
	if (VProcess::sInstance == nullptr || ioBuffer == nullptr || ioSize <= 0) {
		ioSize = 0;
		return VTC_UTF_16;
	}
	VString text;
	GetString(text);
	if (text.GetLength() > ioSize / 2)
		text.Truncate(ioSize / 2);
	ioSize = static_cast<int32>(text.ToBlock(ioBuffer, static_cast<VSize>(ioSize), VTC_UTF_16, false, false));
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

void VValueSingle::GetDuration(VDuration& outValue) const
{
	outValue.Clear();
}

void VValueSingle::GetTime(VTime& outValue) const
{
	outValue.Clear();
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
