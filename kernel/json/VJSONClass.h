#pragma once

#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "core/VTime.h"
#include "json/IJSONObject.h"
#include "json/VJSONObject.h"
#include "runtime/VCriticalSection.h"

#include <atomic>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qirn {

class IFile;
class IJSONFunctionContext;
class VJSONClassStore;

// A class of JSON objects. Its class object (a shared VJSONObject) carries
// it as native implementation and owns it. The prototype holds the class's
// own member functions; the maps of functions, getters and setters also hold
// those inherited from the superclass, and answer for the names an instance
// lacks.
class VJSONClass : public VObject, public IJSONObject {
public:
	// Every member function of the class is made final.
	static constexpr uint32 kFlagFinal = 0x02;
	// Instances are shared objects.
	static constexpr uint32 kFlagShared = 0x20;
	static constexpr uint32 kFlagSingleton = 0x40;
	// A session singleton is a shared singleton as well.
	static constexpr uint32 kFlagSessionSingleton = 0x80;

	// Makes a new instance of the class of a class object.
	using Instantiator = VJSONObject* (*)(VJSONObject* inClassObject, IJSONFunctionContext* inContext);
	using FunctionMap = std::unordered_map<VString, VRefPtr<VJSONObject>, VJSONNameHash, VJSONNameEqual>;
	using NativeFunction = EJSONStatus (*)(const VJSONObject* inThis, IJSONFunctionContext* inContext);

	// A member function written in native code, as a class declares it.
	struct FunctionDescriptor {
		// Made final (0x01) or hidden (0x02): the member-function flags.
		static constexpr uint32 kFlagFinal = 0x01;
		static constexpr uint32 kFlagHidden = 0x02;

		VString fName;
		NativeFunction fFunction = nullptr;
		uint32 fFlags = 0;
	};

	// The new class object, or null (error when the superclass object is no
	// class object). Without superclass the class derives from the process
	// store's "Object", when there is one. A class with a source file grows
	// obsolete when the file changes or goes.
	static VRefPtr<VJSONObject> Create(const VString& inName, VJSONObject* inSuperClassObject, IFile* inFile,
									   const VString& inStoreName, uint32 inFlags);
	static VRefPtr<VJSONObject> Create(const VString& inName, VJSONObject* inSuperClassObject,
									   const VString& inStoreName, uint32 inFlags)
	{
		return Create(inName, inSuperClassObject, nullptr, inStoreName, inFlags);
	}
	// The same, its members then installed from the descriptors.
	static VRefPtr<VJSONObject> Create(const VString& inName, const std::vector<FunctionDescriptor>& inFunctions,
									   VJSONObject* inSuperClassObject, NativeFunction inConstructor,
									   Instantiator inInstantiator, const VString& inStoreName, uint32 inFlags);

	// The class a class object carries, or null.
	static VJSONClass* FromClassObject(const VJSONObject* inClassObject);

	// Installs the members once: each function on the prototype and in the
	// maps, "get x" and "set x" as getter and setter of x, "init x" as the
	// initialiser of x. Later calls change nothing.
	void SetFunctions(const std::vector<std::pair<VString, VRefPtr<VJSONObject>>>& inFunctions,
					  VJSONObject* inConstructor, Instantiator inInstantiator);
	// Wraps each descriptor as a member function (final in a final class) and
	// the constructor as a function named "constructor", then installs them.
	void SetFunctions(const std::vector<FunctionDescriptor>& inFunctions, NativeFunction inConstructor,
					  Instantiator inInstantiator);
	bool AreFunctionsSet() const { return fFunctionsSet; }

	VJSONObject* GetClassObject() const { return fClassObject; }
	const VString& GetName() const { return fName; }
	const VString& GetStoreName() const { return fStoreName; }
	VJSONClass* GetSuperClass() const { return fSuperClass; }
	VJSONObject* GetSuperClassObject() const { return fSuperClassObject.Get(); }
	VJSONObject* GetPrototype() const { return fPrototype.Get(); }
	uint32 GetDepth() const { return fDepth; }
	uint32 GetID() const { return fID; }
	uint32 GetFlags() const { return fFlags; }
	IFile* GetFile() const { return fFile.Get(); }
	VJSONObject* GetConstructor() const { return fConstructor.Get(); }
	Instantiator GetInstantiator() const { return fInstantiator; }

	// The function objects answering a name, or null.
	VJSONObject* GetFunction(const VString& inName) const { return _Find(fFunctions, inName); }
	VJSONObject* GetGetter(const VString& inName) const { return _Find(fGetters, inName); }
	VJSONObject* GetSetter(const VString& inName) const { return _Find(fSetters, inName); }
	bool HasGetters() const { return !fGetters.empty(); }
	bool HasSetters() const { return !fSetters.empty(); }
	// Appends the names of the getters.
	void GetGetterNames(std::vector<VString>& ioNames) const;
	// Walks from this class through the superclasses.
	bool DerivesFrom(const VJSONClass* inClass) const;
	// The function object's own "__hidden" as a Boolean.
	static bool IsFunctionHidden(const VJSONObject* inFunction);

	// Once the source file has changed or gone since the class was made, the
	// class stays obsolete, and so do the classes derived from it.
	bool IsObsolete();

	// Instantiation. An instance is made by the class's instantiator, then
	// its property initialisers and constructors run (ConstructInstance).
	// None when the members are not set yet, when the class has no
	// instantiator (an error) or when a constructor failed.
	static VRefPtr<VJSONObject> CreateInstance(VJSONObject* inClassObject, IJSONFunctionContext* inContext);
	// The parameters reach the constructors.
	static VRefPtr<VJSONObject> CreateInstanceFromClassObject(VJSONObject* inClassObject,
															  const std::vector<VJSONValue>& inParameters);
	// Runs the initialisers and the constructor chain of this class on a new
	// instance of it; the context lends its parameters and its contexts to
	// the constructors. Answers 2 when a constructor or initialiser failed.
	EJSONStatus ConstructInstance(VJSONObject* inInstance, IJSONFunctionContext* inContext);
	// Runs this class's constructor alone (1 without one); a constructor
	// that succeeds must have had its superclasses' constructors called.
	EJSONStatus CallConstructor(VJSONObject* inInstance, IJSONFunctionContext* inContext);
	// What a running constructor calls, through its own context, to run
	// the constructors of its class's superclasses.
	static EJSONStatus CallSuperConstructor(IJSONFunctionContext* inContext);
	// For an instance made without construction: an error naming the first
	// class of its chain that has a constructor, when one has.
	VError FinalizeInstance(VJSONObject* inInstance);

	// The one instance of a singleton class: the class keeps a shared
	// singleton itself; a session singleton (or a singleton that is not
	// shared) is asked of the session-singleton provider, when one is set.
	VRefPtr<VJSONObject> GetSingleton(VDBLanguageContext* inLanguageContext, IJSONFunctionContext* inContext);
	// Made on first use, with the given context or one of its own holding
	// the language context, and kept until ReleaseSingleton.
	VRefPtr<VJSONObject> GetInternalSingleton(VDBLanguageContext* inLanguageContext, IJSONFunctionContext* inContext);
	// Releases and forgets the one instance of a shared singleton class.
	void ReleaseSingleton();

	// Where the session singletons come from: the process that has sessions
	// sets it; without it they are none.
	using SessionSingletonProvider = VRefPtr<VJSONObject> (*)(VJSONClass* inClass,
															   VDBLanguageContext* inLanguageContext);
	static void SetSessionSingletonProvider(SessionSingletonProvider inProvider)
	{
		sSessionSingletonProvider.store(inProvider, std::memory_order_release);
	}
	static SessionSingletonProvider GetSessionSingletonProvider()
	{
		return sSessionSingletonProvider.load(std::memory_order_acquire);
	}

	// The instantiators: a plain instance, a shared one, and the refusal of
	// a class whose instances cannot be made that way.
	static VJSONObject* GenericInstantiator(VJSONObject* inClassObject, IJSONFunctionContext* inContext);
	static VJSONObject* SharedInstantiator(VJSONObject* inClassObject, IJSONFunctionContext* inContext);
	static VJSONObject* ErrorSharedObjectInstantiator(VJSONObject* inClassObject, IJSONFunctionContext* inContext);

	// Instances hold their class this way: the class object is retained while
	// the class has users.
	void UseClassObject();
	void UnuseClassObject();

	// What a getter-only name answers to a write, and a setter-only name to a
	// read.
	static EJSONStatus do_errorReadOnlyAttribute(const VJSONObject* inThis, IJSONFunctionContext* inContext);
	static EJSONStatus do_errorWriteOnlyAttribute(const VJSONObject* inThis, IJSONFunctionContext* inContext);
	// What overriding a final function answers (this: the function).
	static EJSONStatus do_errorOverridingFinalFunction(const VJSONObject* inThis, IJSONFunctionContext* inContext);
	// The "new" of "Class", called on a class object: the new instance is
	// the result.
	static EJSONStatus do_new(const VJSONObject* inThis, IJSONFunctionContext* inContext);

	// A class object shows its class: "name", "superclass", "__prototype",
	// "__file", "_id" and the flags "isSingleton", "isShared" and
	// "isSessionSingleton", none of which can be written or removed.
	EJSONStatus IJSON_GetProperty(const VJSONObject* inObject, const VString& inName, VJSONValue& outValue,
								  VDBLanguageContext* inContext) override;
	EJSONStatus IJSON_GetPropertyNames(std::vector<VString>& outNames) override;
	EJSONStatus IJSON_GetDescription(const VJSONObject* inObject, VString& outText) override;
	EJSONStatus IJSON_SetProperty(VJSONObject* inObject, const VString& inName, const VJSONValue& inValue,
								  VDBLanguageContext* inContext) override;
	EJSONStatus IJSON_RemoveProperty(VJSONObject* inObject, const VString& inName) override;
	// Class objects are not copied: the clone fails, without error.
	EJSONStatus IJSON_Clone(const VJSONObject* inObject, VJSONCloner& inCloner, VJSONValue& outValue,
							VError* outError) override;

	static std::atomic<uint32> sSequenceID;

	// Property names of functions, classes and their declarations, for the
	// users of the class model.
	static const VString sFunctionProperty_local;
	static const VString sFunctionProperty_exposed;
	static const VString sFunctionProperty_onHTTPGet;
	static const VString sFunctionProperty_eventName;
	static const VString sFunctionProperty_resultType;
	static const VString sFunctionProperty_resultTypeCode;
	static const VString sFunctionProperty_resultClass;
	static const VString sFunctionProperty_shared;
	static const VString sClassProperty_singleton;
	static const VString sClassProperty_session;
	static const VString sClassProperty_aliases;
	static const VString sAliasProperty_name;
	static const VString sAliasProperty_path;
	static const VString sClassProperty_properties;
	static const VString sClassProperty_property_value;
	static const VString sClassProperty_property_type;
	static const VString sClassProperty_property_content;
	// "init": the kind of a property initialiser; "init " its name's start.
	static const VString sFunctionType_init;
	static const VString sFunctionType_init_withSpace;

protected:
	// The initialisers of this class alone: on a shared instance they run
	// while it is in use.
	virtual EJSONStatus _InitProperties(VJSONObject* inInstance, IJSONFunctionContext* inContext);
	// Each initialiser's result becomes the instance's property; the first
	// that does not succeed stops the walk with its answer.
	virtual EJSONStatus _CallProperties(VJSONObject* inInstance, IJSONFunctionContext* inContext);

private:
	friend class VJSONClassStore;

	VJSONClass(const VString& inName, VJSONClass* inSuperClass, VJSONObject* inSuperClassObject, IFile* inFile,
			   const VString& inStoreName, uint32 inFlags);
	~VJSONClass() override;

	// The class's class object is of the given "Class" (none: no class). A
	// store making its root classes names them itself, whatever store the
	// process answers meanwhile.
	static VRefPtr<VJSONObject> _Create(const VString& inName, VJSONObject* inSuperClassObject,
										VJSONObject* inClassClassObject, IFile* inFile, const VString& inStoreName,
										uint32 inFlags);
	// What the store does when it goes: the member functions forget their
	// class ("Function"), which the root classes hold through them.
	void _DetachMemberFunctionClasses();
	static bool _IsReservedName(const VString& inName);
	// An instance by the instantiator, constructed: 2 when construction
	// failed (the instance is then dropped).
	EJSONStatus _MakeInstance(IJSONFunctionContext* inContext, VRefPtr<VJSONObject>& outInstance);

	static VJSONObject* _Find(const FunctionMap& inMap, const VString& inName);
	// The shared object of getters or setters, made on first use.
	static void _AddTo(VRefPtr<VJSONObject>& ioHolder, FunctionMap& ioMap, const VString& inName,
					   VJSONObject* inFunction);
	// Made once per class, named after the first name that needs it.
	VJSONObject* _ErrorFunction(VRefPtr<VJSONObject>& ioHolder, const char* inKind, const VString& inName,
								EJSONStatus (*inFunction)(const VJSONObject*, IJSONFunctionContext*));

	VJSONObject* fClassObject = nullptr;
	VString fName;
	VString fStoreName;
	VJSONClass* fSuperClass;
	VRefPtr<VJSONObject> fSuperClassObject;
	VRefPtr<VJSONObject> fPrototype;
	VRefPtr<VJSONObject> fGettersObject;
	VRefPtr<VJSONObject> fSettersObject;
	VRefPtr<VJSONObject> fConstructor;
	Instantiator fInstantiator;
	FunctionMap fFunctions;
	FunctionMap fGetters;
	FunctionMap fSetters;
	VRefPtr<VJSONObject> fInitializersObject;
	FunctionMap fInitializers;
	VRefPtr<VJSONObject> fReadOnlyErrorSetter;
	VRefPtr<VJSONObject> fWriteOnlyErrorGetter;
	uint32 fDepth;
	uint32 fID;
	VRefPtr<IFile> fFile;
	VTime fModificationDate;
	bool fFunctionsSet = false;
	std::atomic<bool> fObsolete{false};
	uint32 fFlags;
	std::atomic<int32> fUseCount{0};
	static std::atomic<SessionSingletonProvider> sSessionSingletonProvider;
	VCriticalSection fSingletonLock;
	VRefPtr<VJSONObject> fInternalSingleton;
};

} // namespace qirn
