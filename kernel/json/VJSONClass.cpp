#include "json/VJSONClass.h"

#include "files/IFile.h"
#include "json/IJSONClassStore.h"
#include "json/IJSONFunctionContext.h"
#include "json/VJSONErrors.h"
#include "json/VJSONFunctionContext.h"
#include "json/VJSONMemberFunction.h"
#include "json/VStorageLocker.h"
#include "runtime/VError.h"
#include "runtime/VErrorContext.h"

namespace qirn {

std::atomic<uint32> VJSONClass::sSequenceID{0};
std::atomic<VJSONClass::SessionSingletonProvider> VJSONClass::sSessionSingletonProvider{nullptr};

const VString VJSONClass::sFunctionProperty_local("local");
const VString VJSONClass::sFunctionProperty_exposed("exposed");
const VString VJSONClass::sFunctionProperty_onHTTPGet("onHTTPGet");
const VString VJSONClass::sFunctionProperty_eventName("eventName");
const VString VJSONClass::sFunctionProperty_resultType("resultType");
const VString VJSONClass::sFunctionProperty_resultTypeCode("resultTypeCode");
const VString VJSONClass::sFunctionProperty_resultClass("resultClass");
const VString VJSONClass::sFunctionProperty_shared("shared");
const VString VJSONClass::sClassProperty_singleton("singleton");
const VString VJSONClass::sClassProperty_session("session");
const VString VJSONClass::sClassProperty_aliases("aliases");
const VString VJSONClass::sAliasProperty_name("name");
const VString VJSONClass::sAliasProperty_path("path");
const VString VJSONClass::sClassProperty_properties("properties");
const VString VJSONClass::sClassProperty_property_value("value");
const VString VJSONClass::sClassProperty_property_type("type");
const VString VJSONClass::sClassProperty_property_content("content");
const VString VJSONClass::sFunctionType_init("init");
const VString VJSONClass::sFunctionType_init_withSpace("init ");

namespace {

const VString& EventNameProperty()
{
	static const VString sName("eventName");
	return sName;
}

// What a class object answers of itself.
struct ClassKeys {
	VString fName{"name"};
	VString fSuperclass{"superclass"};
	VString fPrototype{"__prototype"};
	VString fFile{"__file"};
	VString fID{"_id"};
	VString fMe{"me"};
	VString fIsSingleton{"isSingleton"};
	VString fIsShared{"isShared"};
	VString fIsSessionSingleton{"isSessionSingleton"};
	VString fProperties{"__properties"};
};

const ClassKeys& Keys()
{
	static const ClassKeys sKeys;
	return sKeys;
}

VJSONValue Flag(bool inSet)
{
	return VJSONValue(inSet ? JSON_true : JSON_false);
}

// The file's modification date, read without leaving an error behind.
bool ReadModificationDate(const IFile& inFile, VTime& outDate)
{
	StErrorContextInstaller silent(false, true);
	return inFile.GetTimeAttributes(&outDate, nullptr, nullptr) == VE_OK;
}

} // namespace

VJSONClass::VJSONClass(const VString& inName, VJSONClass* inSuperClass, VJSONObject* inSuperClassObject,
					   IFile* inFile, const VString& inStoreName, uint32 inFlags)
: fName(inName)
, fStoreName(inStoreName)
, fSuperClass(inSuperClass)
, fSuperClassObject(inSuperClassObject)
, fPrototype(VJSONObject::_CreateWithoutClass(nullptr, true))
, fInstantiator((inFlags & (kFlagShared | kFlagSessionSingleton)) != 0 ? SharedInstantiator : GenericInstantiator)
, fDepth(inSuperClass != nullptr ? inSuperClass->fDepth + 1 : 0)
, fID(sSequenceID.fetch_add(1, std::memory_order_relaxed) + 1)
, fFile(inFile)
, fFlags((inFlags & kFlagSessionSingleton) != 0 ? inFlags | kFlagShared | kFlagSingleton : inFlags)
{
	if (fFile == nullptr || !ReadModificationDate(*fFile, fModificationDate))
		VTime::Now(fModificationDate);
}

VJSONClass::~VJSONClass() = default;

VRefPtr<VJSONObject> VJSONClass::Create(const VString& inName, VJSONObject* inSuperClassObject, IFile* inFile,
										const VString& inStoreName, uint32 inFlags)
{
	IJSONClassStore* store = IJSONClassStore::GetProcessStore();
	VJSONObject* superObject = inSuperClassObject;
	if (superObject == nullptr && store != nullptr)
		superObject = store->GetObjectClassObject();
	return _Create(inName, superObject, store != nullptr ? store->GetClassClassObject() : nullptr, inFile,
				   inStoreName, inFlags);
}

VRefPtr<VJSONObject> VJSONClass::Create(const VString& inName, const std::vector<FunctionDescriptor>& inFunctions,
										VJSONObject* inSuperClassObject, NativeFunction inConstructor,
										Instantiator inInstantiator, const VString& inStoreName, uint32 inFlags)
{
	VRefPtr<VJSONObject> classObject = Create(inName, inSuperClassObject, nullptr, inStoreName, inFlags);
	if (classObject != nullptr)
		FromClassObject(classObject.Get())->SetFunctions(inFunctions, inConstructor, inInstantiator);
	return classObject;
}

VRefPtr<VJSONObject> VJSONClass::_Create(const VString& inName, VJSONObject* inSuperClassObject,
										 VJSONObject* inClassClassObject, IFile* inFile, const VString& inStoreName,
										 uint32 inFlags)
{
	VJSONObject* superObject = inSuperClassObject;
	VJSONClass* superClass = nullptr;
	if (superObject != nullptr) {
		superClass = FromClassObject(superObject);
		if (superClass == nullptr) {
			_ThrowError(VE_JSON_SUPERCLASS_NOT_A_CLASS);
			return nullptr;
		}
	}
	auto* created = new VJSONClass(inName, superClass, superObject, inFile, inStoreName, inFlags);
	// The store's root classes are made before its "Class" exists: their
	// class objects get their class afterwards.
	VRefPtr<VJSONObject> classObject =
		inClassClassObject != nullptr
			? VRefPtr<VJSONObject>::Adopt(new VJSONObject(inClassClassObject, created, true))
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

bool VJSONClass::IsFunctionHidden(const VJSONObject* inFunction)
{
	static const VString sHidden("__hidden");
	VJSONValue hidden = inFunction->GetOwnProperty(sHidden);
	return !hidden.IsUndefined() && hidden.GetBool();
}

bool VJSONClass::IsObsolete()
{
	if (!fObsolete.load(std::memory_order_acquire) && fFile != nullptr) {
		VTime fileDate;
		bool obsolete;
		if (ReadModificationDate(*fFile, fileDate)) {
			obsolete = fModificationDate.CompareTo(fileDate) == CR_SMALLER;
		} else {
			StErrorContextInstaller silent(false, true);
			obsolete = !fFile->Exists();
		}
		if (obsolete)
			fObsolete.store(true, std::memory_order_release);
	}
	if (fObsolete.load(std::memory_order_acquire))
		return true;
	return fSuperClass != nullptr && fSuperClass->IsObsolete();
}

void VJSONClass::ReleaseSingleton()
{
	VRefPtr<VJSONObject> singleton;
	{
		StLocker<VCriticalSection> lock(fSingletonLock);
		singleton = std::move(fInternalSingleton);
	}
	// Released out of the lock: the instance's end may reach its class.
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

void VJSONClass::SetFunctions(const std::vector<FunctionDescriptor>& inFunctions, NativeFunction inConstructor,
							  Instantiator inInstantiator)
{
	if (fFunctionsSet)
		return;
	const uint32 finalFlag = (fFlags & kFlagFinal) != 0 ? VJSONMemberFunction::kFlagFinal : 0;
	std::vector<std::pair<VString, VRefPtr<VJSONObject>>> functions;
	functions.reserve(inFunctions.size());
	for (const FunctionDescriptor& descriptor : inFunctions) {
		functions.emplace_back(descriptor.fName, VJSONMemberFunction::Create(descriptor.fFunction, descriptor.fName,
																			  this, descriptor.fFlags | finalFlag));
	}
	static const VString sConstructor("constructor");
	VRefPtr<VJSONObject> constructor;
	if (inConstructor != nullptr)
		constructor = VJSONMemberFunction::Create(inConstructor, sConstructor, this, 0);
	SetFunctions(functions, constructor.Get(), inInstantiator);
}

void VJSONClass::_DetachMemberFunctionClasses()
{
	for (FunctionMap* map : {&fFunctions, &fGetters, &fSetters, &fInitializers}) {
		for (auto& entry : *map)
			entry.second->_DetachClass();
	}
	for (VJSONObject* function : {fConstructor.Get(), fReadOnlyErrorSetter.Get(), fWriteOnlyErrorGetter.Get()}) {
		if (function != nullptr)
			function->_DetachClass();
	}
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

EJSONStatus VJSONClass::do_errorOverridingFinalFunction(const VJSONObject* inThis,
														 IJSONFunctionContext* /*inContext*/)
{
	static const VString sDescription("_description");
	VJSONValue description = inThis != nullptr ? inThis->GetProperty(sDescription) : VJSONValue(JSON_undefined);
	VString name;
	if (description.IsString())
		description.GetString(name);
	_ThrowError(VE_JSON_FINAL_FUNCTION_OVERRIDDEN, description.IsString() ? &name : nullptr);
	return eJSONStatus_Failed;
}

EJSONStatus VJSONClass::do_errorWriteOnlyAttribute(const VJSONObject* /*inThis*/, IJSONFunctionContext* inContext)
{
	inContext->SetResult(VJSONValue(JSON_undefined));
	return eJSONStatus_Handled;
}

} // namespace qirn

namespace qirn {

// ---------------------------------------------------------------------------
// The class object's own properties

bool VJSONClass::_IsReservedName(const VString& inName)
{
	const ClassKeys& keys = Keys();
	for (const VString* reserved : {&keys.fPrototype, &keys.fName, &keys.fSuperclass, &keys.fFile, &keys.fProperties,
									&keys.fIsSingleton, &keys.fMe, &keys.fIsShared, &keys.fIsSessionSingleton}) {
		if (inName.EqualToStringRaw(*reserved))
			return true;
	}
	return false;
}

EJSONStatus VJSONClass::IJSON_GetProperty(const VJSONObject* /*inObject*/, const VString& inName,
										  VJSONValue& outValue, VDBLanguageContext* inContext)
{
	const ClassKeys& keys = Keys();
	if (inName.EqualToStringRaw(keys.fMe) && (fFlags & kFlagSingleton) != 0) {
		VRefPtr<VJSONObject> singleton = GetSingleton(inContext, nullptr);
		outValue = singleton != nullptr ? VJSONValue(singleton.Get()) : VJSONValue(JSON_null);
	} else if (inName.EqualToStringRaw(keys.fPrototype))
		outValue = VJSONValue(fPrototype.Get());
	else if (inName.EqualToStringRaw(keys.fIsSingleton))
		outValue = Flag((fFlags & kFlagSingleton) != 0);
	else if (inName.EqualToStringRaw(keys.fIsShared))
		outValue = Flag((fFlags & kFlagShared) != 0);
	else if (inName.EqualToStringRaw(keys.fIsSessionSingleton))
		outValue = Flag((fFlags & kFlagSessionSingleton) != 0);
	else if (inName.EqualToStringRaw(keys.fName))
		outValue = VJSONValue(fName);
	else if (inName.EqualToStringRaw(keys.fSuperclass) && fSuperClassObject != nullptr)
		outValue = VJSONValue(fSuperClassObject.Get());
	else if (inName.EqualToStringRaw(keys.fFile) && fFile != nullptr)
		outValue = VJSONValue(fFile->GetPathWithFileSystem());
	else if (inName.EqualToStringRaw(keys.fID))
		outValue = VJSONValue(static_cast<double>(fID));
	else
		return eJSONStatus_NotHandled;
	return eJSONStatus_Handled;
}

EJSONStatus VJSONClass::IJSON_GetPropertyNames(std::vector<VString>& outNames)
{
	const ClassKeys& keys = Keys();
	for (const VString* name : {&keys.fName, &keys.fSuperclass, &keys.fIsSingleton, &keys.fIsShared,
								&keys.fIsSessionSingleton})
		outNames.push_back(*name);
	return eJSONStatus_Handled;
}

EJSONStatus VJSONClass::IJSON_GetDescription(const VJSONObject* /*inObject*/, VString& outText)
{
	outText.FromCString("Class: ");
	outText.AppendString(fName);
	return eJSONStatus_Handled;
}

EJSONStatus VJSONClass::IJSON_SetProperty(VJSONObject* /*inObject*/, const VString& inName,
										  const VJSONValue& /*inValue*/, VDBLanguageContext* /*inContext*/)
{
	if (!_IsReservedName(inName))
		return eJSONStatus_NotHandled;
	_ThrowError(VE_JSON_READ_ONLY_PROPERTY);
	return eJSONStatus_Failed;
}

EJSONStatus VJSONClass::IJSON_RemoveProperty(VJSONObject* /*inObject*/, const VString& inName)
{
	if (!_IsReservedName(inName))
		return eJSONStatus_NotHandled;
	_ThrowError(VE_JSON_READ_ONLY_PROPERTY);
	return eJSONStatus_Failed;
}

EJSONStatus VJSONClass::IJSON_Clone(const VJSONObject* /*inObject*/, VJSONCloner& /*inCloner*/,
									VJSONValue& /*outValue*/, VError* /*outError*/)
{
	return eJSONStatus_Failed;
}

// ---------------------------------------------------------------------------
// "new"

EJSONStatus VJSONClass::do_new(const VJSONObject* inThis, IJSONFunctionContext* inContext)
{
	VJSONClass* theClass = FromClassObject(inThis);
	if (theClass == nullptr)
		return eJSONStatus_NotHandled;
	VRefPtr<VJSONObject> instance;
	EJSONStatus status = eJSONStatus_Handled;
	if ((theClass->fFlags & kFlagSingleton) != 0)
		instance = theClass->GetSingleton(inContext->GetLanguageContext(), nullptr);
	else
		status = theClass->_MakeInstance(inContext, instance);
	inContext->SetResult(instance != nullptr ? VJSONValue(instance.Get()) : VJSONValue(JSON_null));
	return status;
}

} // namespace qirn
