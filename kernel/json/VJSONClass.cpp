#include "json/VJSONClass.h"

#include "json/IJSONClassStore.h"
#include "json/IJSONFunctionContext.h"
#include "json/VJSONErrors.h"
#include "json/VJSONMemberFunction.h"
#include "json/VStorageLocker.h"
#include "runtime/VError.h"

namespace qirn {

std::atomic<uint32> VJSONClass::sSequenceID{0};

namespace {

const VString& EventNameProperty()
{
	static const VString sName("eventName");
	return sName;
}

} // namespace

VJSONClass::VJSONClass(const VString& inName, VJSONClass* inSuperClass, VJSONObject* inSuperClassObject,
					   const VString& inStoreName, uint32 inFlags)
: fName(inName)
, fStoreName(inStoreName)
, fSuperClass(inSuperClass)
, fSuperClassObject(inSuperClassObject)
, fPrototype(VJSONObject::_CreateWithoutClass(nullptr, true))
, fDepth(inSuperClass != nullptr ? inSuperClass->fDepth + 1 : 0)
, fID(sSequenceID.fetch_add(1, std::memory_order_relaxed) + 1)
, fFlags((inFlags & kFlagSessionSingleton) != 0 ? inFlags | kFlagShared | kFlagSingleton : inFlags)
{
}

VJSONClass::~VJSONClass() = default;

VRefPtr<VJSONObject> VJSONClass::Create(const VString& inName, VJSONObject* inSuperClassObject,
										const VString& inStoreName, uint32 inFlags)
{
	IJSONClassStore* store = IJSONClassStore::GetProcessStore();
	VJSONObject* superObject = inSuperClassObject;
	if (superObject == nullptr && store != nullptr)
		superObject = store->GetObjectClassObject();
	VJSONClass* superClass = nullptr;
	if (superObject != nullptr) {
		superClass = FromClassObject(superObject);
		if (superClass == nullptr) {
			_ThrowError(VE_JSON_SUPERCLASS_NOT_A_CLASS);
			return nullptr;
		}
	}
	auto* created = new VJSONClass(inName, superClass, superObject, inStoreName, inFlags);
	// The store's root classes are made before its "Class" exists: their
	// class objects get their class afterwards.
	VJSONObject* classClassObject = store != nullptr ? store->GetClassClassObject() : nullptr;
	VRefPtr<VJSONObject> classObject =
		classClassObject != nullptr ? VRefPtr<VJSONObject>::Adopt(new VJSONObject(classClassObject, created, true))
									: VJSONObject::_CreateWithoutClass(created, true);
	created->fClassObject = classObject.Get();
	created->Release();
	return classObject;
}

VJSONClass* VJSONClass::FromClassObject(const VJSONObject* inClassObject)
{
	return inClassObject != nullptr ? dynamic_cast<VJSONClass*>(inClassObject->GetImplementation()) : nullptr;
}

VJSONObject* VJSONClass::_Find(const FunctionMap& inMap, const VString& inName)
{
	auto found = inMap.find(inName);
	return found != inMap.end() ? found->second.Get() : nullptr;
}

void VJSONClass::GetGetterNames(std::vector<VString>& ioNames) const
{
	for (const auto& entry : fGetters)
		ioNames.push_back(entry.first);
}

bool VJSONClass::DerivesFrom(const VJSONClass* inClass) const
{
	for (const VJSONClass* walk = this; walk != nullptr; walk = walk->fSuperClass) {
		if (walk == inClass)
			return true;
	}
	return false;
}

void VJSONClass::UseClassObject()
{
	if (fUseCount.fetch_add(1, std::memory_order_acq_rel) == 0)
		fClassObject->Retain();
}

void VJSONClass::UnuseClassObject()
{
	// The release may delete the class object, and this class with it.
	if (fUseCount.fetch_sub(1, std::memory_order_acq_rel) == 1)
		fClassObject->Release();
}

// ---------------------------------------------------------------------------
// Members

void VJSONClass::_AddTo(VRefPtr<VJSONObject>& ioHolder, FunctionMap& ioMap, const VString& inName,
						VJSONObject* inFunction)
{
	// Without class: an object of "Object" here would keep the class object
	// of "Object" alive from inside it.
	if (ioHolder == nullptr)
		ioHolder = VJSONObject::_CreateWithoutClass(nullptr, true);
	VJSONUser user(ioHolder.Get(), false);
	ioHolder->SetProperty(inName, VJSONValue(inFunction));
	ioMap[inName].Set(inFunction);
}

void VJSONClass::SetFunctions(const std::vector<std::pair<VString, VRefPtr<VJSONObject>>>& inFunctions,
							  VJSONObject* inConstructor, Instantiator inInstantiator)
{
	if (fFunctionsSet)
		return;
	fConstructor.Set(inConstructor);
	fInstantiator = inInstantiator;
	if (fSuperClass != nullptr) {
		fFunctions = fSuperClass->fFunctions;
		fGetters = fSuperClass->fGetters;
		fSetters = fSuperClass->fSetters;
	}
	static const VString sGet("get");
	static const VString sSet("set");
	static const VString sInit("init");
	VJSONUser prototypeUser(fPrototype.Get(), false);
	for (const auto& [name, function] : inFunctions) {
		if (function == nullptr || !fPrototype->SetProperty(name, VJSONValue(function.Get())))
			continue;
		fFunctions[name] = function;
		VIndex space = name.FindUniChar(u' ');
		if (space == 0)
			continue;
		VString kind = name.GetSubString(1, space - 1);
		VString member = name.GetSubString(space + 1, name.GetLength() - space);
		{
			VJSONUser functionUser(function.Get(), false);
			function->SetOwnProperty(EventNameProperty(), VJSONValue(kind));
		}
		if (kind.EqualToStringRaw(sGet))
			_AddTo(fGettersObject, fGetters, member, function.Get());
		else if (kind.EqualToStringRaw(sSet))
			_AddTo(fSettersObject, fSetters, member, function.Get());
		else if (kind.EqualToStringRaw(sInit))
			_AddTo(fInitializersObject, fInitializers, member, function.Get());
	}
	// A getter without setter refuses writes; a setter without getter reads
	// as undefined.
	for (const auto& [name, getter] : fGetters) {
		if (fSetters.find(name) == fSetters.end())
			fSetters[name].Set(_ErrorFunction(fReadOnlyErrorSetter, "set ", name, do_errorReadOnlyAttribute));
	}
	for (const auto& [name, setter] : fSetters) {
		if (fGetters.find(name) == fGetters.end())
			fGetters[name].Set(_ErrorFunction(fWriteOnlyErrorGetter, "get ", name, do_errorWriteOnlyAttribute));
	}
	fFunctionsSet = true;
}

VJSONObject* VJSONClass::_ErrorFunction(VRefPtr<VJSONObject>& ioHolder, const char* inKind, const VString& inName,
										EJSONStatus (*inFunction)(const VJSONObject*, IJSONFunctionContext*))
{
	if (ioHolder == nullptr) {
		VString name(inKind);
		name.AppendString(inName);
		ioHolder = VJSONMemberFunction::Create(inFunction, name, this, VJSONMemberFunction::kFlagFinal);
	}
	return ioHolder.Get();
}

EJSONStatus VJSONClass::do_errorReadOnlyAttribute(const VJSONObject* /*inThis*/, IJSONFunctionContext* /*inContext*/)
{
	_ThrowError(VE_JSON_READ_ONLY_PROPERTY);
	return eJSONStatus_Failed;
}

EJSONStatus VJSONClass::do_errorWriteOnlyAttribute(const VJSONObject* /*inThis*/, IJSONFunctionContext* inContext)
{
	inContext->SetResult(VJSONValue(JSON_undefined));
	return eJSONStatus_Handled;
}

} // namespace qirn
