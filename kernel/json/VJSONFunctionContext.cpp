#include "json/VJSONFunctionContext.h"

#include "json/VJSONBlob.h"
#include "json/VJSONErrors.h"
#include "runtime/VError.h"

namespace qirn {

VJSONFunctionContext::VJSONFunctionContext(VJSONObject* inThisObject, VJSONArray* inThisArray,
										   IJSONFunctionContext* inOuter)
: fThisObject(inThisObject), fThisArray(inThisArray), fOuter(inOuter)
{
	if (fOuter != nullptr) {
		fBaseContext = fOuter->GetBaseContext();
		fLanguageContext = fOuter->GetLanguageContext();
	}
}

void VJSONFunctionContext::SetResult(const VJSONValue& inValue, uint8 inLegacyKind)
{
	if (fOuter != nullptr) {
		fOuter->SetResult(inValue, 5);
		return;
	}
	fResult = VJSONValue(inValue);
	fResultLegacyKind = inLegacyKind;
}

void VJSONFunctionContext::GetResult(VJSONValue& outValue) const
{
	if (fOuter != nullptr)
		fOuter->GetResult(outValue);
	else
		outValue = fResult;
}

VError VJSONFunctionContext::GetParametersAsJSONValues(std::vector<VJSONValue>** outParameters) const
{
	if (fOuter != nullptr)
		return fOuter->GetParametersAsJSONValues(outParameters);
	*outParameters = fParameters;
	return VE_OK;
}

int32 VJSONFunctionContext::GetParameterList(void** outList, int* outCount, void** outExtra, bool* outFlag) const
{
	if (fOuter != nullptr)
		return fOuter->GetParameterList(outList, outCount, outExtra, outFlag);
	return 1;
}

int32 VJSONFunctionContext::GetParamCount() const
{
	if (fOuter != nullptr)
		return fOuter->GetParamCount();
	return fParameters != nullptr ? static_cast<int32>(fParameters->size()) : 0;
}

VJSONValue VJSONFunctionContext::GetParam(int32 inIndex) const
{
	if (fOuter != nullptr)
		return fOuter->GetParam(inIndex);
	if (inIndex < 1 || inIndex > GetParamCount())
		return VJSONValue(JSON_undefined);
	return VJSONValue((*fParameters)[static_cast<size_t>(inIndex - 1)]);
}

VJSONObject* VJSONFunctionContext::GetScopeThisObject() const
{
	if (fScopeFunction != nullptr)
		return fScopeThis;
	return fOuter != nullptr ? fOuter->GetScopeThisObject() : nullptr;
}

VJSONObject* VJSONFunctionContext::GetScopeFunctionObject() const
{
	if (fScopeFunction != nullptr)
		return fScopeFunction;
	return fOuter != nullptr ? fOuter->GetScopeFunctionObject() : nullptr;
}

// The interface's own: every context reads blobs the same way.
std::tuple<bool, const void*, size_t> IJSONFunctionContext::GetBlobParam(int32 inIndex, bool inOptional)
{
	const VJSONValue value = GetParam(inIndex);
	if (const VJSONBlob* blob = VJSONBlob::CastJSONObject(value.GetObject()); blob != nullptr)
		return {true, blob->GetData(), blob->GetSize()};
	if (!inOptional) {
		fParametersValid = false;
		_ThrowError(VE_JSON_PARAM_NOT_CONTAINER);
	}
	return {false, nullptr, 0};
}

} // namespace qirn
