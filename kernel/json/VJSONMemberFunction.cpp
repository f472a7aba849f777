#include "json/VJSONMemberFunction.h"

#include "json/IJSONClassStore.h"
#include "json/IJSONFunctionContext.h"
#include "json/VJSONArray.h"
#include "json/VJSONClass.h"
#include "json/VJSONErrors.h"
#include "json/VJSONFunctionContext.h"
#include "json/VStorageLocker.h"
#include "runtime/VError.h"

namespace qirn {

namespace {

const VString& DescriptionProperty()
{
	static const VString sName("_description");
	return sName;
}

// Calls a function object with the this of the first parameter and the
// given parameters; the callee's result is the caller's.
EJSONStatus CallWithThis(const VJSONObject* inFunction, const VJSONValue& inThis,
						 std::vector<VJSONValue>& ioParameters, IJSONFunctionContext* inContext)
{
	IJSONObject* impl = inFunction != nullptr ? inFunction->GetImplementation() : nullptr;
	if (impl == nullptr) {
		_ThrowError(VE_JSON_NOT_A_FUNCTION);
		return eJSONStatus_Failed;
	}
	VJSONFunctionContext context(inThis.GetObject(), inThis.GetArray(), nullptr);
	context.SetParameters(&ioParameters);
	context.SetContexts(inContext->GetBaseContext(), inContext->GetLanguageContext());
	context.SetScope(const_cast<VJSONObject*>(inFunction), inThis.GetObject());
	EJSONStatus status = impl->IJSON_CallAsFunction(inFunction, &context);
	VJSONValue result;
	context.GetResult(result);
	inContext->SetResult(result, context.GetResultLegacyValueKind());
	if (status == eJSONStatus_NotHandled)
		_ThrowError(VE_JSON_NOT_A_FUNCTION);
	return status;
}

} // namespace

VJSONMemberFunction::VJSONMemberFunction(NativeFunction inFunction, const VString& inFullName, VJSONClass* inOwner)
: fFunction(inFunction), fFullName(inFullName), fOwner(inOwner)
{
}

VRefPtr<VJSONObject> VJSONMemberFunction::Create(NativeFunction inFunction, const VString& inName, VJSONClass* inOwner,
												 uint32 inFlags)
{
	IJSONClassStore* store = IJSONClassStore::GetProcessStore();
	return _Create(inFunction, inName, inOwner, inFlags, store != nullptr ? store->GetFunctionClassObject() : nullptr);
}

VRefPtr<VJSONObject> VJSONMemberFunction::_Create(NativeFunction inFunction, const VString& inName,
												  VJSONClass* inOwner, uint32 inFlags,
												  VJSONObject* inFunctionClassObject)
{
	VString fullName;
	if (inOwner != nullptr)
		fullName.FromString(inOwner->GetName());
	fullName.AppendUniChar(u'.');
	fullName.AppendString(inName);
	auto* function = new VJSONMemberFunction(inFunction, fullName, inOwner);
	auto object = VRefPtr<VJSONObject>::Adopt(new VJSONObject(inFunctionClassObject, function, true));
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

EJSONStatus VJSONMemberFunction::IJSON_Stringify(const VJSONObject* inObject, VJSONWriter& /*inWriter*/,
												 VString& outText, VError* /*outError*/)
{
	return IJSON_GetDescription(inObject, outText);
}

EJSONStatus VJSONMemberFunction::do_call(const VJSONObject* inThis, IJSONFunctionContext* inContext)
{
	std::vector<VJSONValue> parameters;
	const int32 count = inContext->GetParamCount();
	for (int32 index = 2; index <= count; ++index)
		parameters.push_back(inContext->GetParam(index));
	return CallWithThis(inThis, inContext->GetParam(1), parameters, inContext);
}

EJSONStatus VJSONMemberFunction::do_apply(const VJSONObject* inThis, IJSONFunctionContext* inContext)
{
	std::vector<VJSONValue> parameters;
	if (VJSONValue list = inContext->GetParam(2); list.IsArray())
		list.GetArray()->GetValues(parameters);
	return CallWithThis(inThis, inContext->GetParam(1), parameters, inContext);
}

EJSONStatus VJSONMemberFunction::IJSON_CallAsFunction(const VJSONObject* /*inObject*/, IJSONFunctionContext* inContext)
{
	return fFunction(inContext->GetThisObject(), inContext);
}

} // namespace qirn
