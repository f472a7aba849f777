#include "json/IJSONFunctionContext.h"
#include "json/VJSONClass.h"
#include "json/VJSONErrors.h"
#include "json/VJSONFunctionContext.h"
#include "json/VStorageLocker.h"
#include "runtime/VError.h"

namespace qirn {

// Instantiation, construction and singletons of JSON classes.
//
// The construction level of an instance tells how far up its class chain
// the constructors have run: while a chain runs it is the depth of the
// root-most class whose constructor is still owed; once construction ends
// it is the depth of the instance's class.

namespace {

// A context for a constructor or initialiser: this is the instance, the
// parameters and contexts are the caller's, and the scope is the function.
void PrepareContext(VJSONFunctionContext& ioContext, IJSONFunctionContext* inCaller, VJSONObject* inFunction,
					VJSONObject* inInstance)
{
	if (inCaller != nullptr) {
		std::vector<VJSONValue>* parameters = nullptr;
		if (inCaller->GetParametersAsJSONValues(&parameters) == VE_OK)
			ioContext.SetParameters(parameters);
		ioContext.SetContexts(inCaller->GetBaseContext(), inCaller->GetLanguageContext());
	}
	ioContext.SetScope(inFunction, inInstance);
}

} // namespace

VJSONObject* VJSONClass::GenericInstantiator(VJSONObject* inClassObject, IJSONFunctionContext* /*inContext*/)
{
	return new VJSONObject(inClassObject, nullptr, false);
}

VJSONObject* VJSONClass::SharedInstantiator(VJSONObject* inClassObject, IJSONFunctionContext* /*inContext*/)
{
	return new VJSONObject(inClassObject, nullptr, true);
}

VJSONObject* VJSONClass::ErrorSharedObjectInstantiator(VJSONObject* /*inClassObject*/,
													   IJSONFunctionContext* /*inContext*/)
{
	_ThrowError(VE_JSON_SHARED_OBJECT_INSTANTIATOR);
	return nullptr;
}

EJSONStatus VJSONClass::_MakeInstance(IJSONFunctionContext* inContext, VRefPtr<VJSONObject>& outInstance)
{
	outInstance = nullptr;
	if (!fFunctionsSet)
		return eJSONStatus_Handled;
	if (fInstantiator == nullptr) {
		_ThrowError(VE_JSON_NO_INSTANTIATOR);
		return eJSONStatus_Handled;
	}
	VRefPtr<VJSONObject> instance = VRefPtr<VJSONObject>::Adopt(fInstantiator(fClassObject, inContext));
	if (instance == nullptr)
		return eJSONStatus_Handled;
	if (ConstructInstance(instance.Get(), inContext) == eJSONStatus_Failed)
		return eJSONStatus_Failed;
	outInstance = std::move(instance);
	return eJSONStatus_Handled;
}

VRefPtr<VJSONObject> VJSONClass::CreateInstance(VJSONObject* inClassObject, IJSONFunctionContext* inContext)
{
	VJSONClass* theClass = FromClassObject(inClassObject);
	VRefPtr<VJSONObject> instance;
	if (theClass != nullptr)
		theClass->_MakeInstance(inContext, instance);
	return instance;
}

VRefPtr<VJSONObject> VJSONClass::CreateInstanceFromClassObject(VJSONObject* inClassObject,
															   const std::vector<VJSONValue>& inParameters)
{
	std::vector<VJSONValue> parameters(inParameters);
	VJSONFunctionContext context(nullptr, nullptr, nullptr);
	context.SetParameters(&parameters);
	return CreateInstance(inClassObject, &context);
}

EJSONStatus VJSONClass::ConstructInstance(VJSONObject* inInstance, IJSONFunctionContext* inContext)
{
	// The first class with a constructor from this one up, and the
	// root-most one: the level starts at the latter's depth.
	VJSONClass* first = nullptr;
	VJSONClass* rootMost = nullptr;
	for (VJSONClass* walk = this; walk != nullptr; walk = walk->fSuperClass) {
		if (walk->fConstructor != nullptr) {
			if (first == nullptr)
				first = walk;
			rootMost = walk;
		}
	}
	inInstance->_SetUnderConstruction(true);
	inInstance->_SetConstructionLevel(rootMost != nullptr ? rootMost->fDepth : fDepth);
	// The initialisers of this class, and of the superclasses up to the
	// first constructor: no super-constructor call would reach those (with
	// no constructor at all, the whole chain's).
	EJSONStatus status = eJSONStatus_Handled;
	for (VJSONClass* walk = this; walk != nullptr; walk = walk->fSuperClass) {
		if (walk->_InitProperties(inInstance, inContext) == eJSONStatus_Failed) {
			status = eJSONStatus_Failed;
			break;
		}
		if (walk == first)
			break;
	}
	if (status != eJSONStatus_Failed && first != nullptr &&
		first->CallConstructor(inInstance, inContext) == eJSONStatus_Failed)
		status = eJSONStatus_Failed;
	inInstance->_SetConstructionLevel(fDepth);
	inInstance->_SetUnderConstruction(false);
	return status;
}

EJSONStatus VJSONClass::CallConstructor(VJSONObject* inInstance, IJSONFunctionContext* inContext)
{
	IJSONObject* impl = fConstructor != nullptr ? fConstructor->GetImplementation() : nullptr;
	if (impl == nullptr)
		return eJSONStatus_NotHandled;
	VJSONFunctionContext context(inInstance, nullptr, nullptr);
	PrepareContext(context, inContext, fConstructor.Get(), inInstance);
	EJSONStatus status = impl->IJSON_CallAsFunction(fConstructor.Get(), &context);
	if (status != eJSONStatus_Handled)
		return status;
	// The constructors above this one must have run: a class the level
	// covers comes before the next class with a constructor.
	const uint32 level = inInstance->_GetConstructionLevel();
	for (const VJSONClass* walk = this; walk->fDepth > level;) {
		walk = walk->fSuperClass;
		if (walk == nullptr)
			break;
		if (walk->fConstructor != nullptr) {
			_ThrowError(VE_JSON_SUPER_CONSTRUCTOR_NOT_CALLED);
			return eJSONStatus_Failed;
		}
	}
	return eJSONStatus_Handled;
}

EJSONStatus VJSONClass::CallSuperConstructor(IJSONFunctionContext* inContext)
{
	VJSONClass* scope = inContext != nullptr ? inContext->GetScopeClass() : nullptr;
	VJSONObject* instance = inContext != nullptr ? inContext->GetThisObject() : nullptr;
	if (scope == nullptr || scope->fDepth == 0 || instance == nullptr || instance->GetClass() == nullptr) {
		_ThrowError(VE_JSON_SUPER_CONSTRUCTOR_MISPLACED);
		return eJSONStatus_Failed;
	}
	const uint32 level = instance->_GetConstructionLevel();
	if (scope->fDepth > level) {
		EJSONStatus status = eJSONStatus_NotHandled;
		for (VJSONClass* walk = scope; walk->fDepth > level && walk->fSuperClass != nullptr;
			 walk = walk->fSuperClass) {
			VJSONClass* super = walk->fSuperClass;
			super->_InitProperties(instance, inContext);
			status = super->CallConstructor(instance, inContext);
			if (status != eJSONStatus_NotHandled)
				break;
		}
		instance->_SetConstructionLevel(scope->fDepth);
		return status;
	}
	if (level != instance->GetClass()->fDepth || instance->_IsUnderConstruction()) {
		scope->fSuperClass->_InitProperties(instance, inContext);
		return eJSONStatus_Handled;
	}
	_ThrowError(VE_JSON_SUPER_CONSTRUCTOR_MISPLACED);
	return eJSONStatus_Failed;
}

VError VJSONClass::FinalizeInstance(VJSONObject* inInstance)
{
	VError error = VE_OK;
	for (const VJSONClass* walk = this; walk != nullptr; walk = walk->fSuperClass) {
		if (walk->fConstructor != nullptr) {
			_ThrowError(VE_JSON_INSTANCE_NOT_CONSTRUCTED, &walk->fName);
			error = VE_JSON_INSTANCE_NOT_CONSTRUCTED;
			break;
		}
	}
	inInstance->_SetConstructionLevel(fDepth);
	return error;
}

EJSONStatus VJSONClass::_InitProperties(VJSONObject* inInstance, IJSONFunctionContext* inContext)
{
	if (fInitializers.empty())
		return eJSONStatus_Handled;
	// A shared subclass makes shared instances of a class that is not: the
	// instance decides, not the class.
	if ((fFlags & kFlagShared) == 0 && !inInstance->IsShared())
		return _CallProperties(inInstance, inContext);
	VJSONUser user(inInstance, false);
	return _CallProperties(inInstance, inContext);
}

EJSONStatus VJSONClass::_CallProperties(VJSONObject* inInstance, IJSONFunctionContext* /*inContext*/)
{
	static const VString sConstant("constant");
	for (const auto& [name, function] : fInitializers) {
		IJSONObject* impl = function->GetImplementation();
		if (impl == nullptr) {
			inInstance->SetOwnProperty(name, function->GetProperty(sConstant));
			continue;
		}
		VJSONFunctionContext context(inInstance, nullptr, nullptr);
		context.SetScope(function.Get(), inInstance);
		EJSONStatus status = impl->IJSON_CallAsFunction(function.Get(), &context);
		if (status != eJSONStatus_Handled)
			return status;
		VJSONValue value;
		context.GetResult(value);
		inInstance->MakeValueSharedIfNecessary(value);
		inInstance->SetOwnProperty(name, value);
	}
	return eJSONStatus_Handled;
}

// ---------------------------------------------------------------------------
// Singletons

VRefPtr<VJSONObject> VJSONClass::GetSingleton(VDBLanguageContext* inLanguageContext, IJSONFunctionContext* inContext)
{
	if ((fFlags & kFlagSingleton) == 0)
		return nullptr;
	if ((fFlags & (kFlagShared | kFlagSessionSingleton)) == kFlagShared)
		return GetInternalSingleton(inLanguageContext, inContext);
	SessionSingletonProvider provider = GetSessionSingletonProvider();
	return provider != nullptr ? provider(this, inLanguageContext) : nullptr;
}

VRefPtr<VJSONObject> VJSONClass::GetInternalSingleton(VDBLanguageContext* inLanguageContext,
													  IJSONFunctionContext* inContext)
{
	// The graph mutex first, then the class's lock, also when the singleton
	// exists: reading "me" on the (shared) class object asks for it while
	// holding the graph mutex already, and handing out the shared singleton
	// retains it, which takes the graph mutex too. One order, no deadlock.
	StGraphLocker graph(true);
	StLocker<VCriticalSection> lock(fSingletonLock);
	if (fInternalSingleton == nullptr && fInstantiator != nullptr) {
		VJSONFunctionContext own(nullptr, nullptr, nullptr);
		own.SetContexts(nullptr, inLanguageContext);
		IJSONFunctionContext* context = inContext != nullptr ? inContext : &own;
		VRefPtr<VJSONObject> instance = VRefPtr<VJSONObject>::Adopt(fInstantiator(fClassObject, context));
		if (instance != nullptr && ConstructInstance(instance.Get(), context) != eJSONStatus_Failed)
			fInternalSingleton = std::move(instance);
	}
	return fInternalSingleton;
}

} // namespace qirn
