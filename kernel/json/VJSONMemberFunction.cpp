#include "json/VJSONMemberFunction.h"

#include "json/IJSONClassStore.h"
#include "json/IJSONFunctionContext.h"
#include "json/VJSONClass.h"
#include "json/VJSONErrors.h"
#include "json/VStorageLocker.h"
#include "runtime/VError.h"

namespace qirn {

namespace {

const VString& DescriptionProperty()
{
	static const VString sName("_description");
	return sName;
}

} // namespace

VJSONMemberFunction::VJSONMemberFunction(NativeFunction inFunction, const VString& inFullName, VJSONClass* inOwner)
: fFunction(inFunction), fFullName(inFullName), fOwner(inOwner)
{
}

VRefPtr<VJSONObject> VJSONMemberFunction::Create(NativeFunction inFunction, const VString& inName, VJSONClass* inOwner,
												 uint32 inFlags)
{
	VString fullName;
	if (inOwner != nullptr)
		fullName.FromString(inOwner->GetName());
	fullName.AppendUniChar(u'.');
	fullName.AppendString(inName);
	IJSONClassStore* store = IJSONClassStore::GetProcessStore();
	VJSONObject* functionClassObject = store != nullptr ? store->GetFunctionClassObject() : nullptr;
	auto* function = new VJSONMemberFunction(inFunction, fullName, inOwner);
	auto object = VRefPtr<VJSONObject>::Adopt(new VJSONObject(functionClassObject, function, true));
	function->Release();
	static const VString sFinal("final");
	static const VString sHidden("__hidden");
	VJSONUser user(object.Get(), false);
	if ((inFlags & kFlagFinal) != 0)
		object->SetOwnProperty(sFinal, VJSONValue(JSON_true));
	if ((inFlags & kFlagHidden) != 0)
		object->SetOwnProperty(sHidden, VJSONValue(JSON_true));
	return object;
}

EJSONStatus VJSONMemberFunction::IJSON_GetProperty(const VJSONObject* /*inObject*/, const VString& inName,
												   VJSONValue& outValue, VDBLanguageContext* /*inContext*/)
{
	if (!inName.EqualToStringRaw(DescriptionProperty()))
		return eJSONStatus_NotHandled;
	outValue = VJSONValue(fFullName);
	return eJSONStatus_Handled;
}

EJSONStatus VJSONMemberFunction::IJSON_SetProperty(VJSONObject* /*inObject*/, const VString& /*inName*/,
												   const VJSONValue& /*inValue*/, VDBLanguageContext* /*inContext*/)
{
	_ThrowError(VE_JSON_READ_ONLY_PROPERTY);
	return eJSONStatus_Failed;
}

EJSONStatus VJSONMemberFunction::IJSON_RemoveProperty(VJSONObject* /*inObject*/, const VString& /*inName*/)
{
	_ThrowError(VE_JSON_READ_ONLY_PROPERTY);
	return eJSONStatus_Failed;
}

EJSONStatus VJSONMemberFunction::IJSON_CloneImpl(const VJSONObject* /*inObject*/, VJSONCloner& /*inCloner*/,
												 VRefPtr<IJSONObject>& outImpl, VError* /*outError*/)
{
	outImpl = VRefPtr<IJSONObject>::Adopt(new VJSONMemberFunction(fFunction, fFullName, nullptr));
	return eJSONStatus_Handled;
}

EJSONStatus VJSONMemberFunction::IJSON_GetDescription(const VJSONObject* /*inObject*/, VString& outText)
{
	outText.FromCString("<<Native Function: ");
	outText.AppendString(fFullName);
	outText.AppendString(VString(" >>"));
	return eJSONStatus_Handled;
}

EJSONStatus VJSONMemberFunction::IJSON_CallAsFunction(const VJSONObject* /*inObject*/, IJSONFunctionContext* inContext)
{
	return fFunction(inContext->GetThisObject(), inContext);
}

} // namespace qirn
