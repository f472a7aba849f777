// The conversions between strings and the values that parse and write text
// by rules of their own: identifiers, times and durations.
#include "core/VDuration.h"
#include "core/VString.h"
#include "core/VTime.h"
#include "core/VUUID.h"

namespace qirn {

void VString::FromVUUID(const VUUID& inValue)
{
	inValue.GetString(*this);
	SetNull(inValue.IsNull());
}

void VString::GetVUUID(VUUID& outValue) const
{
	outValue.FromString(*this);
}

void VString::FromTime(const VTime& inValue)
{
	inValue.GetString(*this);
	SetNull(inValue.IsNull());
}

void VString::GetTime(VTime& outValue) const
{
	outValue.FromString(*this);
}

void VString::FromDuration(const VDuration& inValue)
{
	inValue.GetString(*this);
	SetNull(inValue.IsNull());
}

void VString::GetDuration(VDuration& outValue) const
{
	outValue.FromString(*this);
}

} // namespace qirn
