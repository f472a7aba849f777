#pragma once

#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "json/IJSONClassStore.h"
#include "json/IJSONObject.h"
#include "json/VJSONClass.h"
#include "runtime/VCriticalSection.h"

#include <unordered_map>
#include <vector>

namespace qirn {

class IFile;

// A named registry of classes: all of them by name, those that are not
// hidden, the root classes "Object", "Class" and "Function", and the stores
// of components under their names. As a JSON object it reads as its
// classes and component stores, and cannot be written.
class VJSONClassStore : public VObject, public IJSONObject, public IJSONClassStore {
public:
	// Added to all classes but not to the visible ones.
	static constexpr uint32 kAddHidden = 0x01;

	using ClassMap = std::unordered_map<VString, VRefPtr<VJSONObject>, VJSONNameHash, VJSONNameEqual>;
	using StoreMap = std::unordered_map<VString, VRefPtr<VJSONClassStore>, VJSONNameHash, VJSONNameEqual>;
	using FileMap = std::unordered_map<VString, VRefPtr<IFile>, VJSONNameHash, VJSONNameEqual>;

	explicit VJSONClassStore(const VString& inName);

	VJSONClassStore(const VJSONClassStore&) = delete;
	VJSONClassStore& operator=(const VJSONClassStore&) = delete;

	const VString& GetName() const { return fName; }

	// Makes "Object", "Class" (with "new") and "Function" (with "apply" and
	// "call"), of this store whatever store the process answers. Once made,
	// they stay: a second call changes nothing.
	void AddRootClasses();

	// Puts a class object under its class's name, replacing any other, and
	// among the visible classes unless hidden. Objects that carry no class
	// are ignored.
	void AddClass(VJSONObject* inClassObject, uint32 inFlags);
	// Makes the class (for this store) with its members, then adds it.
	VRefPtr<VJSONObject> AddClass(const VString& inName, const std::vector<VJSONClass::FunctionDescriptor>& inFunctions,
								  VJSONObject* inSuperClassObject, VJSONClass::NativeFunction inConstructor,
								  VJSONClass::Instantiator inInstantiator, uint32 inFlags);

	// With inCaseInsensitive, the first class whose name matches ignoring
	// case, in no particular order.
	VRefPtr<VJSONObject> GetClassObject(const VString& inName, bool inCaseInsensitive = false) const;
	VRefPtr<VJSONObject> GetVisibleClassObject(const VString& inName, bool inCaseInsensitive = false) const;
	static bool EqualClassName(const VString& inA, const VString& inB, bool inCaseInsensitive);

	// Copies taken under the lock.
	void GetClasses(ClassMap& outClasses) const;
	void GetVisibleClasses(ClassMap& outClasses) const;
	void GetComponentClassStores(StoreMap& outStores) const;
	size_t GetCount() const;

	// The first store added under a name stays.
	void AddComponentClassStore(const VString& inName, VJSONClassStore* inStore);
	VRefPtr<VJSONClassStore> GetComponentClassStore(const VString& inName) const;
	void RemoveComponentClassStores();

	// "component.Class" names a class of a component store (the component
	// name may be empty); a name without "." a class of this store.
	VRefPtr<VJSONObject> GetClassObjectFromIdentifier(const VString& inIdentifier) const override;
	// The singleton of the class so named (none for a class that is no
	// singleton), made with the language context.
	VRefPtr<VJSONObject> GetSingletonObjectFromIdentifier(const VString& inIdentifier,
														  VDBLanguageContext* inLanguageContext) const;
	// The prefix and name of each visible shared singleton class, then
	// "component.Class" for those of the component stores.
	void GetPublicSharedSingletonIdentifiers(std::vector<VString>& ioIdentifiers, const VString& inPrefix) const;

	// Drops the classes whose source went: a class with a file when its name
	// is not among the sources or it is obsolete; a class without file when
	// its name is among them or it is obsolete. The names of the dropped
	// classes that had a file are appended.
	void RemoveObsoleteClasses(const FileMap& inSources, std::vector<VString>& ioRemovedNames);

	// Every class releases its shared singleton.
	void ReleaseSingletons();

	// The root classes, null until AddRootClasses.
	VJSONObject* GetObjectClassObject() const override { return fObjectClass.Get(); }
	VJSONObject* GetClassClassObject() const override { return fClassClass.Get(); }
	VJSONObject* GetFunctionClassObject() const override { return fFunctionClass.Get(); }

	EJSONStatus IJSON_GetProperty(const VJSONObject* inObject, const VString& inName, VJSONValue& outValue,
								  VDBLanguageContext* inContext) override;
	EJSONStatus IJSON_SetProperty(VJSONObject* inObject, const VString& inName, const VJSONValue& inValue,
								  VDBLanguageContext* inContext) override;
	EJSONStatus IJSON_Clear(VJSONObject* /*inObject*/) override { return eJSONStatus_Handled; }
	bool IJSON_IsEmpty(const VJSONObject* /*inObject*/) override { return false; }
	EJSONStatus IJSON_Stringify(const VJSONObject* inObject, VJSONWriter& inWriter, VString& outText,
								VError* outError) override;
	EJSONStatus IJSON_GetPropertyNames(std::vector<VString>& outNames) override;
	EJSONStatus IJSON_GetDescription(const VJSONObject* inObject, VString& outText) override;

protected:
	~VJSONClassStore() override;

private:
	static VRefPtr<VJSONObject> _Find(const ClassMap& inMap, const VString& inName, bool inCaseInsensitive);
	static void _Put(ClassMap& ioMap, const VString& inName, VJSONObject* inClassObject);
	void _AddClassLocked(VJSONObject* inClassObject, uint32 inFlags);

	mutable VCriticalSection fLock;
	VString fName;
	ClassMap fClasses;
	ClassMap fVisibleClasses;
	StoreMap fComponentStores;
	// Held apart from the maps as well: the process hook answers them for
	// the store's life, even once a removal has taken them out of the maps.
	VRefPtr<VJSONObject> fObjectClass;
	VRefPtr<VJSONObject> fClassClass;
	VRefPtr<VJSONObject> fFunctionClass;
};

} // namespace qirn
