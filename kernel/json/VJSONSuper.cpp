#include "json/VJSONSuper.h"

#include "json/IJSONFunctionContext.h"
#include "json/VJSONClass.h"
#include "json/VJSONErrors.h"
#include "json/VJSONFunctionContext.h"
#include "json/VJSONObject.h"
#include "runtime/VError.h"

namespace qirn {

namespace {

// The object owns the implementation: the creation's own reference goes.
VRefPtr<VJSONObject> Wrap(IJSONObject* inImpl)
{
	VRefPtr<VJSONObject> object = VJSONObject::_CreateWithoutClass(inImpl, false);
	inImpl->Release();
	return object;
}

EJSONStatus RefuseChange()
{
	_ThrowError(VE_JSON_OBJECT_READ_ONLY);
	return eJSONStatus_Failed;
}

} // namespace

VRefPtr<VJSONObject> VJSONSuper::CreateObject()
{
	auto* super = new VJSONSuper();
	return Wrap(super);
}

EJSONStatus VJSONSuper::IJSON_GetProperty(const VJSONObject* /*inObject*/, const VString& inName,
										  VJSONValue& outValue, VDBLanguageContext* /*inContext*/)
{
	outValue = VJSONValue(VJSONSuperMember::CreateObject(inName).Get());
	return eJSONStatus_Handled;
}

EJSONStatus VJSONSuper::IJSON_SetProperty(VJSONObject* /*inObject*/, const VString& /*inName*/,
										  const VJSONValue& /*inValue*/, VDBLanguageContext* /*inContext*/)
{
	return RefuseChange();
}

EJSONStatus VJSONSuper::IJSON_RemoveProperty(VJSONObject* /*inObject*/, const VString& /*inName*/)
{
	return RefuseChange();
}

EJSONStatus VJSONSuper::IJSON_Clone(const VJSONObject* /*inObject*/, VJSONCloner& /*inCloner*/,
									VJSONValue& outValue, VError* /*outError*/)
{
	outValue = VJSONValue(CreateObject().Get());
	return eJSONStatus_Handled;
}

EJSONStatus VJSONSuper::IJSON_GetDescription(const VJSONObject* /*inObject*/, VString& outText)
{
	outText.FromCString("<<Super>>");
	return eJSONStatus_Handled;
}

VRefPtr<VJSONObject> VJSONSuperMember::CreateObject(const VString& inName)
{
	auto* member = new VJSONSuperMember(inName);
	return Wrap(member);
}

EJSONStatus VJSONSuperMember::IJSON_CallAsFunction(const VJSONObject* /*inObject*/, IJSONFunctionContext* inContext)
{
	VJSONClass* scope = inContext != nullptr ? inContext->GetScopeClass() : nullptr;
	if (scope == nullptr) {
		_ThrowError(VE_JSON_NO_SCOPE_CLASS);
		return eJSONStatus_Failed;
	}
	VJSONObject* self = inContext->GetScopeThisObject();
	VJSONValue member(JSON_undefined);
	for (VJSONClass* walk = scope->GetSuperClass(); walk != nullptr && member.IsUndefined();
		 walk = walk->GetSuperClass())
		member = walk->GetPrototype()->GetProperty(fName);
	if (member.IsUndefined()) {
		_ThrowError(VE_JSON_NOT_A_FUNCTION, &fName);
		return eJSONStatus_Failed;
	}
	VJSONObject* function = member.GetObject();
	IJSONObject* impl = function != nullptr ? function->GetImplementation() : nullptr;
	if (impl == nullptr) {
		_ThrowError(VE_JSON_SUPER_MEMBER_NOT_A_FUNCTION, &fName);
		return eJSONStatus_Failed;
	}
	// The member found is the running function from now on: a super call
	// inside it starts above its own class.
	VJSONFunctionContext context(self, nullptr, inContext);
	context.SetScope(function, self);
	return impl->IJSON_CallAsFunction(function, &context);
}

EJSONStatus VJSONSuperMember::IJSON_SetProperty(VJSONObject* /*inObject*/, const VString& /*inName*/,
												const VJSONValue& /*inValue*/, VDBLanguageContext* /*inContext*/)
{
	return RefuseChange();
}

EJSONStatus VJSONSuperMember::IJSON_RemoveProperty(VJSONObject* /*inObject*/, const VString& /*inName*/)
{
	return RefuseChange();
}

EJSONStatus VJSONSuperMember::IJSON_Clone(const VJSONObject* /*inObject*/, VJSONCloner& /*inCloner*/,
										  VJSONValue& outValue, VError* /*outError*/)
{
	outValue = VJSONValue(CreateObject(fName).Get());
	return eJSONStatus_Handled;
}

EJSONStatus VJSONSuperMember::IJSON_GetDescription(const VJSONObject* /*inObject*/, VString& outText)
{
	outText.FromCString("<<Super member: ");
	outText.AppendString(fName);
	outText.AppendString(VString(">>"));
	return eJSONStatus_Handled;
}

} // namespace qirn
