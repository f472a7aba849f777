#include "json/IJSONObject.h"

#include "core/VString.h"
#include "json/VJSONErrors.h"
#include "runtime/VError.h"

namespace qirn {

bool IJSONObject::IJSON_IsEmpty(const VJSONObject* /*inObject*/)
{
	std::vector<VString> names;
	IJSON_GetPropertyNames(names);
	return names.empty();
}

EJSONStatus IJSONObject::IJSON_WriteToBuffer(VMemoryBuffer<>& /*ioBuffer*/, VError* outError)
{
	_ThrowError(VE_JSON_CANNOT_WRITE_BINARY);
	if (outError != nullptr)
		*outError = VE_JSON_CANNOT_WRITE_BINARY;
	return eJSONStatus_Failed;
}

} // namespace qirn
