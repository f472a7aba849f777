#pragma once

#include "core/VKernelTypes.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "json/VJSONValue.h"

#include <tuple>
#include <vector>

namespace qirn {

class CDBQXBaseContext;
class VDBLanguageContext;
class VJSONArray;
class VJSONClass;
class VJSONObject;

// What a native function receives when a function object is called: its
// this (an object or an array), its parameters (counted from 1), the slot for
// its result and the caller's contexts.
class IJSONFunctionContext {
public:
	virtual VJSONObject* GetThisObject() const = 0;
	virtual VJSONArray* GetThisArray() const = 0;
	virtual void SetResult(const VJSONValue& inValue, uint8 inLegacyKind = 5) = 0;
	virtual void GetResult(VJSONValue& outValue) const = 0;
	virtual uint8 GetResultLegacyValueKind() const = 0;
	virtual bool GetResultIsExpected() const = 0;
	virtual VError GetParametersAsJSONValues(std::vector<VJSONValue>** outParameters) const = 0;
	virtual int32 GetParameterList(void** /*outList*/, int* /*outCount*/, void** /*outExtra*/, bool* /*outFlag*/) const
	{
		return 1;
	}
	virtual CDBQXBaseContext* GetBaseContext() const = 0;
	virtual VDBLanguageContext* GetLanguageContext() const = 0;
	virtual int32 GetParamCount() const = 0;
	// Undefined below 1 or above the count.
	virtual VJSONValue GetParam(int32 inIndex) const = 0;
	virtual VJSONObject* GetScopeThisObject() const = 0;
	virtual VJSONObject* GetScopeFunctionObject() const = 0;

	virtual ~IJSONFunctionContext() = default;

	// The bytes of a Blob parameter (counted from 1): valid, the data inside
	// the blob's buffer (alive as long as the parameter) and the size. Any
	// other value raises 'QXRT' 54 and clears the parameters-valid flag,
	// unless the parameter is optional: then (false, null, 0) quietly.
	std::tuple<bool, const void*, size_t> GetBlobParam(int32 inIndex, bool inOptional = false);

	// Cleared by a typed getter that meets a parameter of the wrong kind.
	bool AreParametersValid() const { return fParametersValid; }

	// The class whose member function is running (the owner of the scope
	// function), or null.
	VJSONClass* GetScopeClass() const;

	// Typed parameters, counted from 1. A parameter of another kind clears
	// the valid flag and raises an error; the answer is then the value's
	// conversion (numbers, Booleans) or empty.
	double GetNumberParam(int32 inIndex);
	// Truncated toward zero; beyond the range it saturates, NaN gives 0.
	int32 GetLongParam(int32 inIndex);
	// False without error for a missing parameter (the flag is cleared all
	// the same); other kinds raise an error.
	bool GetNumberOptParam(int32 inIndex, double* outNumber);
	bool GetBoolParam(int32 inIndex);
	VString GetStringParam(int32 inIndex);
	VRefPtr<VJSONObject> GetObjectParam(int32 inIndex);
	VRefPtr<VJSONArray> GetArrayParam(int32 inIndex);

protected:
	bool fParametersValid = true;
};

} // namespace qirn
