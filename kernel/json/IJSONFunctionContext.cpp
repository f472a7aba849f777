#include "json/IJSONFunctionContext.h"

#include "core/VScalarValue.h"
#include "json/IJSONObject.h"
#include "json/VJSONArray.h"
#include "json/VJSONErrors.h"
#include "json/VJSONObject.h"
#include "runtime/VError.h"

namespace qirn {

VJSONClass* IJSONFunctionContext::GetScopeClass() const
{
	VJSONObject* function = GetScopeFunctionObject();
	IJSONObject* impl = function != nullptr ? function->GetImplementation() : nullptr;
	return impl != nullptr ? impl->IJSON_GetFunctionClassOwner(function) : nullptr;
}

double IJSONFunctionContext::GetNumberParam(int32 inIndex)
{
	VJSONValue value = GetParam(inIndex);
	if (!value.IsNumber()) {
		fParametersValid = false;
		_ThrowError(VE_JSON_PARAM_NOT_NUMBER);
	}
	return value.GetNumber();
}

int32 IJSONFunctionContext::GetLongParam(int32 inIndex)
{
	return scalar::TruncateReal<int32>(GetNumberParam(inIndex));
}

bool IJSONFunctionContext::GetNumberOptParam(int32 inIndex, double* outNumber)
{
	VJSONValue value = GetParam(inIndex);
	if (value.IsNumber()) {
		if (outNumber != nullptr)
			*outNumber = value.GetNumber();
		return true;
	}
	fParametersValid = false;
	if (!value.IsUndefined())
		_ThrowError(VE_JSON_PARAM_NOT_NUMBER);
	return false;
}

bool IJSONFunctionContext::GetBoolParam(int32 inIndex)
{
	VJSONValue value = GetParam(inIndex);
	if (value.GetType() != JSON_true && value.GetType() != JSON_false) {
		fParametersValid = false;
		_ThrowError(VE_JSON_PARAM_NOT_BOOLEAN);
	}
	return value.GetBool();
}

VString IJSONFunctionContext::GetStringParam(int32 inIndex)
{
	VJSONValue value = GetParam(inIndex);
	VString text;
	if (value.IsString()) {
		value.GetString(text);
	} else {
		fParametersValid = false;
		_ThrowError(VE_JSON_PARAM_NOT_STRING);
	}
	return text;
}

VRefPtr<VJSONObject> IJSONFunctionContext::GetObjectParam(int32 inIndex)
{
	VJSONValue value = GetParam(inIndex);
	if (value.IsObject())
		return VRefPtr<VJSONObject>(value.GetObject());
	fParametersValid = false;
	_ThrowError(VE_JSON_PARAM_NOT_CONTAINER);
	return nullptr;
}

VRefPtr<VJSONArray> IJSONFunctionContext::GetArrayParam(int32 inIndex)
{
	VJSONValue value = GetParam(inIndex);
	if (value.IsArray())
		return VRefPtr<VJSONArray>(value.GetArray());
	fParametersValid = false;
	_ThrowError(VE_JSON_PARAM_NOT_CONTAINER);
	return nullptr;
}

} // namespace qirn
