#include "json/VJSONClassHelpers.h"

#include "json/IJSONClassStore.h"
#include "json/VJSONClass.h"
#include "json/VJSONFunctionContext.h"

namespace qirn {

bool IsObjectAFormula(const VJSONObject* inObject)
{
	static const VString sFormula("Formula");
	IJSONClassStore* store = IJSONClassStore::GetProcessStore();
	if (inObject == nullptr || store == nullptr)
		return false;
	VRefPtr<VJSONObject> formulaClass = store->GetClassObjectFromIdentifier(sFormula);
	return inObject->IsInstanceOf(VJSONClass::FromClassObject(formulaClass.Get()));
}

bool IsObjectAFormula(const VJSONValue& inValue)
{
	return IsObjectAFormula(inValue.GetObject());
}

VRefPtr<VJSONObject> GetSingletonFromMap(std::map<const VJSONClass*, VRefPtr<VJSONObject>>& ioMap,
										 const VJSONClass* inClass, VDBLanguageContext* inLanguageContext,
										 IJSONFunctionContext* inCaller)
{
	if (inClass == nullptr)
		return nullptr;
	if (auto found = ioMap.find(inClass); found != ioMap.end())
		return found->second;
	VJSONFunctionContext own(nullptr, nullptr, nullptr);
	own.SetContexts(nullptr, inLanguageContext);
	VRefPtr<VJSONObject> instance =
		VJSONClass::CreateInstance(inClass->GetClassObject(), inCaller != nullptr ? inCaller : &own);
	if (instance != nullptr)
		ioMap.emplace(inClass, instance);
	return instance;
}

} // namespace qirn
