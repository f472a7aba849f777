#include "core/VScalarValue.h"

#include "json/VJSONValue.h"

namespace qirn::scalar {

JSONReading ReadJSON(const VJSONValue& inValue)
{
	return {inValue.IsNull(), inValue.GetBool(), inValue.GetNumber()};
}

void WriteJSON(VJSONValue& outValue, bool inNull, bool inIsBoolean, Real inDatum)
{
	if (inNull)
		outValue.SetNull();
	else if (inIsBoolean)
		outValue.SetBool(inDatum != 0.0);
	else
		outValue.SetNumber(inDatum);
}

} // namespace qirn::scalar
