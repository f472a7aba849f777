#pragma once

#include "core/VRefPtr.h"
#include "json/VJSONObject.h"

#include <map>

namespace qirn {

class IJSONFunctionContext;
class VDBLanguageContext;
class VJSONClass;

// The class of formulas is the process store's class "Formula"; without it
// nothing is a formula.
bool IsObjectAFormula(const VJSONObject* inObject);
bool IsObjectAFormula(const VJSONValue& inValue);

// A singleton per class kept by its caller: the map's instance of the
// class, made and recorded on first request (with the caller's context, or
// one of its own without this or parameters). None when the class makes no
// instance.
VRefPtr<VJSONObject> GetSingletonFromMap(std::map<const VJSONClass*, VRefPtr<VJSONObject>>& ioMap,
										 const VJSONClass* inClass, VDBLanguageContext* inLanguageContext,
										 IJSONFunctionContext* inCaller);

} // namespace qirn
