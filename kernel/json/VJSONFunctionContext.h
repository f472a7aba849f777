#pragma once

#include "core/VObject.h"
#include "json/IJSONFunctionContext.h"

namespace qirn {

// The context VJSONObject::CallAsFunction makes for one call. Wrapping an
// outer context, it hands parameters and result through to it.
class VJSONFunctionContext : public VObject, public IJSONFunctionContext {
public:
	VJSONFunctionContext(VJSONObject* inThisObject, VJSONArray* inThisArray, IJSONFunctionContext* inOuter);

	VJSONFunctionContext(const VJSONFunctionContext&) = delete;
	VJSONFunctionContext& operator=(const VJSONFunctionContext&) = delete;

	// The vector is not owned and may be null (no parameters).
	void SetParameters(std::vector<VJSONValue>* inParameters) { fParameters = inParameters; }
	void SetContexts(CDBQXBaseContext* inBase, VDBLanguageContext* inLanguage)
	{
		fBaseContext = inBase;
		fLanguageContext = inLanguage;
	}

	// The function that runs with this context and the this it runs for:
	// what a super call or a super constructor starts from. A context that
	// names none answers its outer context's.
	void SetScope(VJSONObject* inFunction, VJSONObject* inThisObject)
	{
		fScopeFunction = inFunction;
		fScopeThis = inThisObject;
	}

	VJSONObject* GetThisObject() const override { return fThisObject; }
	VJSONArray* GetThisArray() const override { return fThisArray; }
	// With an outer context the result goes there, as kind 5.
	void SetResult(const VJSONValue& inValue, uint8 inLegacyKind = 5) override;
	void GetResult(VJSONValue& outValue) const override;
	uint8 GetResultLegacyValueKind() const override { return fResultLegacyKind; }
	bool GetResultIsExpected() const override { return fResultIsExpected; }
	VError GetParametersAsJSONValues(std::vector<VJSONValue>** outParameters) const override;
	int32 GetParameterList(void** outList, int* outCount, void** outExtra, bool* outFlag) const override;
	CDBQXBaseContext* GetBaseContext() const override { return fBaseContext; }
	VDBLanguageContext* GetLanguageContext() const override { return fLanguageContext; }
	int32 GetParamCount() const override;
	VJSONValue GetParam(int32 inIndex) const override;
	VJSONObject* GetScopeThisObject() const override;
	VJSONObject* GetScopeFunctionObject() const override;

private:
	VJSONObject* fThisObject;
	VJSONArray* fThisArray;
	std::vector<VJSONValue>* fParameters = nullptr;
	VJSONValue fResult{JSON_undefined};
	uint8 fResultLegacyKind = 5;
	bool fResultIsExpected = true;
	CDBQXBaseContext* fBaseContext = nullptr;
	VDBLanguageContext* fLanguageContext = nullptr;
	IJSONFunctionContext* fOuter;
	VJSONObject* fScopeFunction = nullptr;
	VJSONObject* fScopeThis = nullptr;
};

} // namespace qirn
