#include "json/VJSONClassStore.h"

#include "files/IFile.h"
#include "json/VJSONErrors.h"
#include "json/VJSONMemberFunction.h"
#include "json/VStorageLocker.h"
#include "runtime/VError.h"

namespace qirn {

VJSONClassStore::VJSONClassStore(const VString& inName) : fName(inName)
{
}

VJSONClassStore::~VJSONClassStore()
{
	ReleaseSingletons();
	RemoveComponentClassStores();
	// The root classes hold each other in a ring: "Class" is its own class
	// and that of "Object", its superclass, and of "Function", whose
	// member functions ("call", "apply", and "new" of "Class") are of
	// "Function" in turn. Unlinked, they go with their last holder.
	for (VJSONObject* root : {fObjectClass.Get(), fClassClass.Get(), fFunctionClass.Get()}) {
		if (root == nullptr)
			continue;
		VJSONClass::FromClassObject(root)->_DetachMemberFunctionClasses();
		root->_DetachClass();
	}
	ClassMap classes;
	ClassMap visible;
	{
		StGraphThenLock lock(fLock);
		classes.swap(fClasses);
		visible.swap(fVisibleClasses);
	}
}

// ---------------------------------------------------------------------------
// Classes

void VJSONClassStore::AddRootClasses()
{
	StGraphThenLock lock(fLock);
	if (fObjectClass != nullptr)
		return;
	VRefPtr<VJSONObject> object = VJSONClass::_Create(VString("Object"), nullptr, nullptr, nullptr, fName, 0);
	VRefPtr<VJSONObject> classObject = VJSONClass::_Create(VString("Class"), object.Get(), nullptr, nullptr, fName, 0);
	VJSONClass* classClass = VJSONClass::FromClassObject(classObject.Get());
	object->_SetClass(classClass);
	classObject->_SetClass(classClass);
	object->_SetConstructionLevel(1);
	classObject->_SetConstructionLevel(2);
	_AddClassLocked(object.Get(), 0);
	_AddClassLocked(classObject.Get(), 0);
	fObjectClass = object;
	fClassClass = classObject;

	VRefPtr<VJSONObject> function =
		VJSONClass::_Create(VString("Function"), object.Get(), classObject.Get(), nullptr, fName, 0);
	_AddClassLocked(function.Get(), 0);
	fFunctionClass = function;

	VJSONClass* functionClass = VJSONClass::FromClassObject(function.Get());
	auto member = [&](VJSONClass* inOwner, const char* inName, VJSONClass::NativeFunction inFunction) {
		VString name(inName);
		return std::make_pair(name, VJSONMemberFunction::_Create(inFunction, name, inOwner, 0, function.Get()));
	};
	VJSONClass::FromClassObject(object.Get())
		->SetFunctions(std::vector<std::pair<VString, VRefPtr<VJSONObject>>>{}, nullptr, nullptr);
	classClass->SetFunctions({member(classClass, "new", VJSONClass::do_new)}, nullptr, nullptr);
	functionClass->SetFunctions(
		{member(functionClass, "apply", VJSONMemberFunction::do_apply),
		 member(functionClass, "call", VJSONMemberFunction::do_call)},
		nullptr, nullptr);
}

void VJSONClassStore::_Put(ClassMap& ioMap, const VString& inName, VJSONObject* inClassObject)
{
	ioMap[inName].Set(inClassObject);
}

void VJSONClassStore::_AddClassLocked(VJSONObject* inClassObject, uint32 inFlags)
{
	VJSONClass* theClass = VJSONClass::FromClassObject(inClassObject);
	if (theClass == nullptr)
		return;
	_Put(fClasses, theClass->GetName(), inClassObject);
	if ((inFlags & kAddHidden) == 0)
		_Put(fVisibleClasses, theClass->GetName(), inClassObject);
}

void VJSONClassStore::AddClass(VJSONObject* inClassObject, uint32 inFlags)
{
	StGraphThenLock lock(fLock);
	_AddClassLocked(inClassObject, inFlags);
}

VRefPtr<VJSONObject> VJSONClassStore::AddClass(const VString& inName,
											   const std::vector<VJSONClass::FunctionDescriptor>& inFunctions,
											   VJSONObject* inSuperClassObject,
											   VJSONClass::NativeFunction inConstructor,
											   VJSONClass::Instantiator inInstantiator, uint32 inFlags)
{
	VRefPtr<VJSONObject> classObject =
		VJSONClass::Create(inName, inFunctions, inSuperClassObject, inConstructor, inInstantiator, fName, inFlags);
	if (classObject != nullptr)
		AddClass(classObject.Get(), 0);
	return classObject;
}

bool VJSONClassStore::EqualClassName(const VString& inA, const VString& inB, bool inCaseInsensitive)
{
	return inCaseInsensitive ? inA.CompareToStringRawCase(inB) == CR_EQUAL : inA.EqualToStringRaw(inB);
}

VRefPtr<VJSONObject> VJSONClassStore::_Find(const ClassMap& inMap, const VString& inName, bool inCaseInsensitive)
{
	if (!inCaseInsensitive) {
		auto found = inMap.find(inName);
		return found != inMap.end() ? found->second : nullptr;
	}
	for (const auto& [name, classObject] : inMap) {
		if (EqualClassName(name, inName, true))
			return classObject;
	}
	return nullptr;
}

VRefPtr<VJSONObject> VJSONClassStore::GetClassObject(const VString& inName, bool inCaseInsensitive) const
{
	StGraphThenLock lock(fLock);
	return _Find(fClasses, inName, inCaseInsensitive);
}

VRefPtr<VJSONObject> VJSONClassStore::GetVisibleClassObject(const VString& inName, bool inCaseInsensitive) const
{
	StGraphThenLock lock(fLock);
	return _Find(fVisibleClasses, inName, inCaseInsensitive);
}

void VJSONClassStore::GetClasses(ClassMap& outClasses) const
{
	StGraphThenLock lock(fLock);
	outClasses = fClasses;
}

void VJSONClassStore::GetVisibleClasses(ClassMap& outClasses) const
{
	StGraphThenLock lock(fLock);
	outClasses = fVisibleClasses;
}

size_t VJSONClassStore::GetCount() const
{
	StGraphThenLock lock(fLock);
	return fClasses.size();
}

void VJSONClassStore::RemoveObsoleteClasses(const FileMap& inSources, std::vector<VString>& ioRemovedNames)
{
	// Released once the lock is left: a class object's end may reach back.
	std::vector<VRefPtr<VJSONObject>> removed;
	StGraphThenLock lock(fLock);
	for (auto entry = fClasses.begin(); entry != fClasses.end();) {
		VJSONClass* theClass = VJSONClass::FromClassObject(entry->second.Get());
		const bool listed = inSources.find(entry->first) != inSources.end();
		const bool hasFile = theClass->GetFile() != nullptr;
		// A listed class with a file, and an unlisted one without, stay
		// unless obsolete.
		const bool remove = hasFile != listed || theClass->IsObsolete();
		if (!remove) {
			++entry;
			continue;
		}
		if (hasFile)
			ioRemovedNames.push_back(entry->first);
		fVisibleClasses.erase(entry->first);
		removed.push_back(std::move(entry->second));
		entry = fClasses.erase(entry);
	}
}

void VJSONClassStore::ReleaseSingletons()
{
	StGraphThenLock lock(fLock);
	for (auto& entry : fClasses)
		VJSONClass::FromClassObject(entry.second.Get())->ReleaseSingleton();
}

// ---------------------------------------------------------------------------
// Component stores

void VJSONClassStore::AddComponentClassStore(const VString& inName, VJSONClassStore* inStore)
{
	if (inStore == nullptr)
		return;
	StGraphThenLock lock(fLock);
	fComponentStores.try_emplace(inName, inStore);
}

VRefPtr<VJSONClassStore> VJSONClassStore::GetComponentClassStore(const VString& inName) const
{
	StGraphThenLock lock(fLock);
	auto found = fComponentStores.find(inName);
	return found != fComponentStores.end() ? found->second : nullptr;
}

void VJSONClassStore::GetComponentClassStores(StoreMap& outStores) const
{
	StGraphThenLock lock(fLock);
	outStores = fComponentStores;
}

void VJSONClassStore::RemoveComponentClassStores()
{
	StoreMap stores;
	StGraphThenLock lock(fLock);
	stores.swap(fComponentStores);
}

VRefPtr<VJSONObject> VJSONClassStore::GetClassObjectFromIdentifier(const VString& inIdentifier) const
{
	const VIndex dot = inIdentifier.FindUniChar(u'.');
	if (dot == 0)
		return GetClassObject(inIdentifier);
	VRefPtr<VJSONClassStore> component = GetComponentClassStore(inIdentifier.GetSubString(1, dot - 1));
	if (component == nullptr)
		return nullptr;
	return component->GetClassObject(inIdentifier.GetSubString(dot + 1, inIdentifier.GetLength() - dot));
}

VRefPtr<VJSONObject> VJSONClassStore::GetSingletonObjectFromIdentifier(const VString& inIdentifier,
																	   VDBLanguageContext* inLanguageContext) const
{
	VRefPtr<VJSONObject> classObject = GetClassObjectFromIdentifier(inIdentifier);
	VJSONClass* theClass = VJSONClass::FromClassObject(classObject.Get());
	return theClass != nullptr ? theClass->GetSingleton(inLanguageContext, nullptr) : nullptr;
}

void VJSONClassStore::GetPublicSharedSingletonIdentifiers(std::vector<VString>& ioIdentifiers,
														  const VString& inPrefix) const
{
	constexpr uint32 kSharedSingleton = VJSONClass::kFlagShared | VJSONClass::kFlagSingleton;
	auto isSharedSingleton = [](const VJSONObject* inClassObject) {
		return (VJSONClass::FromClassObject(inClassObject)->GetFlags() & kSharedSingleton) == kSharedSingleton;
	};
	StoreMap components;
	{
		StGraphThenLock lock(fLock);
		for (const auto& [name, classObject] : fVisibleClasses) {
			if (isSharedSingleton(classObject.Get())) {
				VString identifier(inPrefix);
				identifier.AppendString(name);
				ioIdentifiers.push_back(identifier);
			}
		}
		components = fComponentStores;
	}
	// Each component store is asked under its own lock only.
	for (const auto& [componentName, store] : components) {
		ClassMap classes;
		store->GetVisibleClasses(classes);
		for (const auto& [name, classObject] : classes) {
			if (isSharedSingleton(classObject.Get())) {
				VString identifier(componentName);
				identifier.AppendUniChar(u'.');
				identifier.AppendString(name);
				ioIdentifiers.push_back(identifier);
			}
		}
	}
}

// ---------------------------------------------------------------------------
// The store as a JSON object

EJSONStatus VJSONClassStore::IJSON_GetProperty(const VJSONObject* /*inObject*/, const VString& inName,
											   VJSONValue& outValue, VDBLanguageContext* /*inContext*/)
{
	StGraphThenLock lock(fLock);
	if (auto found = fClasses.find(inName); found != fClasses.end()) {
		outValue = VJSONValue(found->second.Get());
	} else if (auto component = fComponentStores.find(inName); component != fComponentStores.end()) {
		VRefPtr<VJSONObject> wrapper = VJSONObject::_CreateWithoutClass(component->second.Get(), false);
		outValue = VJSONValue(wrapper.Get());
	} else {
		outValue = VJSONValue(JSON_undefined);
	}
	return eJSONStatus_Handled;
}

EJSONStatus VJSONClassStore::IJSON_SetProperty(VJSONObject* /*inObject*/, const VString& /*inName*/,
											   const VJSONValue& /*inValue*/, VDBLanguageContext* /*inContext*/)
{
	_ThrowError(VE_JSON_OBJECT_READ_ONLY);
	return eJSONStatus_Failed;
}

EJSONStatus VJSONClassStore::IJSON_GetPropertyNames(std::vector<VString>& outNames)
{
	StGraphThenLock lock(fLock);
	for (const auto& entry : fVisibleClasses)
		outNames.push_back(entry.first);
	return eJSONStatus_Handled;
}

EJSONStatus VJSONClassStore::IJSON_GetDescription(const VJSONObject* /*inObject*/, VString& outText)
{
	outText.FromCString("<<Class Store>>");
	return eJSONStatus_Handled;
}

EJSONStatus VJSONClassStore::IJSON_Stringify(const VJSONObject* inObject, VJSONWriter& /*inWriter*/,
											 VString& outText, VError* /*outError*/)
{
	return IJSON_GetDescription(inObject, outText);
}

} // namespace qirn
