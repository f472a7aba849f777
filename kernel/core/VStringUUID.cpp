// The conversions between strings and identifiers.
#include "core/VString.h"
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

} // namespace qirn
