#include "core/VValueSingle.h"

#include "core/VDuration.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VTime.h"
#include "core/VUUID.h"
#include "core/VValueInfo.h"
#include "json/VJSONValue.h"
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

// A single kind without a JSON form fails as the base does, but leaves
// itself cleared and the JSON value null.
VError VValueSingle::FromJSONValue(const VJSONValue& inJSONValue)
{
	Clear();
	return VValue::FromJSONValue(inJSONValue);
}

VError VValueSingle::GetJSONValue(VJSONValue& outJSONValue, uint32 inOptions) const
{
	VError error = VValue::GetJSONValue(outJSONValue, inOptions);
	outJSONValue.SetNull();
	return error;
}

VValueSingle* VValueSingle::ConvertVValueToJSONScalar(const VValueSingle& inValue, bool inMilliseconds)
{
	switch (inValue.GetValueInfo()->GetKind()) {
		case 2:
		case 3:
		case 4:
		case 5:
		case 7:
		case 16: {
			auto* real = new VReal(inValue.GetReal());
			real->SetNull(inValue.IsNull());
			real->SetDirty(true);
			return real;
		}
		case 13:
		case 14:
		case 17:
		case 19:
		case 20: {
			auto* text = new VString;
			text->FromValue(inValue);
			return text;
		}
		case 9: {
			// A duration answers its milliseconds here, whatever its kind of
			// number conversion.
			auto* real = new VReal;
			if (inValue.IsNull()) {
				real->SetNull(true);
			} else {
				sLONG8 milliseconds = inValue.GetLong8OrMilliSeconds();
				if (inMilliseconds)
					real->FromLong8(milliseconds);
				else
					real->FromReal(static_cast<Real>(milliseconds) / 1000.0);
			}
			return real;
		}
		default:
			return inValue.Clone();
	}
}

JSONType VValueSingle::ValueKindToJsonType(uint16 inKind)
{
	switch (inKind) {
		case 1:
			return JSON_true;
		case 6:
			return JSON_number;
		case 8:
			return JSON_date;
		case 10:
			return JSON_string;
		default:
			return JSON_null;
	}
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
