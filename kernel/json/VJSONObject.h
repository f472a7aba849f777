#pragma once

#include "core/VString.h"
#include "json/IJSONObject.h"
#include "json/VJSONContainer.h"
#include "json/VJSONValue.h"

#include <atomic>
#include <unordered_map>
#include <utility>
#include <vector>

namespace qirn {

class CDBQXBaseContext;
class VCompareOptions;
class VDBLanguageContext;
class VJSONClass;
class VJSONCloner;

// Property names compare code unit by code unit. The hash cannot fail: the
// map then keeps no hash in each entry (names are short and hash fast), which
// makes every property smaller.
struct VJSONNameHash {
	size_t operator()(const VString& inName) const noexcept;
};
struct VJSONNameEqual {
	bool operator()(const VString& inA, const VString& inB) const { return inA.EqualToStringRaw(inB); }
};

// The reference-counted JSON object: named properties in insertion order,
// optionally backed by a native implementation that may answer any property
// operation first, optionally shared between tasks under a storage locker.
// Paths such as a.b[2].c read and write nested values.
class VJSONObject : public VJSONContainer {
public:
	// A value and its place in the insertion order (0 to count - 1).
	using Property = std::pair<VJSONValue, uint64>;
	using PropertyMap = std::unordered_map<VString, Property, VJSONNameHash, VJSONNameEqual>;

	// The class is the one the class object carries; without class object,
	// the process store's "Object", when there is a store.
	explicit VJSONObject(VJSONObject* inClassObject = nullptr, IJSONObject* inImpl = nullptr,
						 VStorageLocker* inLocker = nullptr, bool inInternal = false);
	// With inShared, the object gets a new fresh locker of its own.
	VJSONObject(VJSONObject* inClassObject, IJSONObject* inImpl, bool inShared);
	// An object of no class at all, whatever the process store holds: what
	// the class machinery keeps inside a class (its prototype, say) must not
	// keep the class object of "Object" alive.
	static VRefPtr<VJSONObject> _CreateWithoutClass(IJSONObject* inImpl, bool inShared);

	IJSONObject* GetImplementation() const { return fImpl; }
	bool IsInternal() const { return fInternal; }

	// Reading. Absent things read as undefined; reading raises no error.
	VJSONValue GetProperty(const VString& inName, VDBLanguageContext* inContext = nullptr) const;
	VJSONValue GetOwnProperty(const VString& inName) const;
	VJSONValue _GetOwnProperty(const VString& inName) const;
	bool HasProperty(const VString& inName, VDBLanguageContext* inContext = nullptr) const;
	bool HasOwnProperty(const VString& inName) const;
	bool _HasOwnProperty(const VString& inName) const;
	VJSONValue GetPropertyByIndex(size_t inIndex, EJSONStatus* outStatus) const;
	size_t GetCountPropertiesByIndex(EJSONStatus* outStatus) const;
	PropertyMap GetInternalProperties() const;
	size_t GetOwnPropertyCount() const;
	bool IsEmpty() const;
	VJSONValue GetPropertyWithPath(const VString& inPath, VDBLanguageContext* inContext = nullptr) const;
	VJSONValue GetPropertyWithPath(const std::vector<VString>& inNames, VDBLanguageContext* inContext = nullptr) const;
	// Names joined by dots, indices in brackets: a.b[2][10].c gives a, b, 2,
	// 10, c. The first error ends the extraction.
	static VError ExtractPath(const VString& inPath, std::vector<VString>& outNames);
	static bool isvalidnumber(const VString& inText);
	void GetString(VString& outString) const { outString.FromString(VJSONValue::sObjectString); }
	void GetClassName(VString& outName) const;
	VJSONClass* GetClass() const { return fClass; }
	// Null without a class.
	VJSONObject* GetClassObject() const;
	VJSONObject* _GetPrototype() const;
	// Uses the new class and unuses the old one; a null class or the same
	// class changes nothing. The class machinery sets it before the object is
	// handed out: it is read without lock.
	void _SetClass(VJSONClass* inClass);
	// Unuses the class and forgets it: how a class store breaks the links of
	// its root class objects to their own class when it goes.
	void _DetachClass();
	// No class, or a class without superclass.
	bool IsGenericObject() const;
	// Whether the class or one of its superclasses is the given one.
	bool IsInstanceOf(const VJSONClass* inClass) const;
	// Raises an error when the argument is no class object.
	bool IsInstanceOf(const VJSONObject* inClassObject) const;
	uint32 _GetConstructionLevel() const { return fConstructionLevel; }
	void _SetConstructionLevel(uint32 inLevel) { fConstructionLevel = inLevel; }
	// Set while the constructors of its classes run.
	bool _IsUnderConstruction() const { return fUnderConstruction; }
	void _SetUnderConstruction(bool inUnder) { fUnderConstruction = inUnder; }
	// Calls a function object (one whose implementation answers calls); 1
	// (not handled) without implementation, the result left alone.
	EJSONStatus CallAsFunction(VJSONObject* inThisObject, VJSONArray* inThisArray,
							   std::vector<VJSONValue>* inParameters, VJSONValue& outResult,
							   CDBQXBaseContext* inBaseContext, VDBLanguageContext* inContext) const;
	// A locker, else the implementation's sharable answer.
	bool IsShared() const;
	bool _IsSharedOrSharable() const override;
	// The implementation's description, else the object's JSON text (cut
	// short after some 512 characters with inTruncate).
	void GetDescription(VString& outText, bool inTruncate, VDBLanguageContext* inContext = nullptr) const;
	bool DeepEqualTo(const VJSONObject* inOther, const VCompareOptions& inOptions) const;
	bool _DeepEqualTo(const VJSONObject* inOther, const VCompareOptions& inOptions, VJSONDeepEqualPairs& ioPairs) const;

	// Writing. Each answers true on success.
	bool SetProperty(const VString& inName, const VJSONValue& inValue, VDBLanguageContext* inContext = nullptr);
	bool SetPropertyAsString(const VString& inName, const VString& inValue)
	{
		return SetProperty(inName, VJSONValue(inValue));
	}
	bool SetOwnProperty(const VString& inName, const VJSONValue& inValue);
	bool _SetOwnProperty(const VString& inName, const VJSONValue& inValue);
	// What a reader building a new tree calls for each member: the value is
	// moved in when the object is plain (no implementation, no setters,
	// nobody shares it), else set as SetProperty sets it.
	bool _SetParsedProperty(const VString& inName, VJSONValue&& ioValue);
	bool RemoveProperty(const VString& inName);
	bool RemoveOwnProperty(const VString& inName);
	bool _RemoveOwnProperty(const VString& inName);
	bool ClearProperty(const VString& inName, VDBLanguageContext* inContext = nullptr);
	void Clear();
	bool ClearInternalProperties();
	bool SetProperties(const std::vector<std::pair<VString, VJSONValue>>& inProperties,
					   VDBLanguageContext* inContext = nullptr);
	bool SetPropertiesWithPaths(const std::vector<std::pair<VString, VJSONValue>>& inProperties,
								VDBLanguageContext* inContext = nullptr);
	// Containers missing on the way are made (an array before a name of
	// digits); a scalar on the way raises 903 or 904 and answers false.
	bool SetPropertyWithPath(const VString& inPath, const VJSONValue& inValue, VDBLanguageContext* inContext = nullptr);
	// Sets the other's properties in its order; with inOnlyMissing, only those
	// this object lacks.
	VError MergeWith(const VJSONObject* inOther, bool inOnlyMissing);
	// A copy through the cloner (which copies a container met twice once);
	// shared objects stay themselves in the cloner's mode 1.
	VError Clone(VJSONValue& outValue, VJSONCloner& ioCloner) const;
	// Replaces the target's own properties by copies of this object's.
	VError CloneProperties(VJSONCloner& ioCloner, VJSONObject* ioTarget) const;

	// For implementations that hold containers of their own: they enter or
	// leave the object's graph as if held by a property.
	void ConnectImplementationProperty(const VJSONValue& inValue);
	void DisconnectImplementationProperty(const VJSONValue& inValue);

	// Stamps.
	uint32 GetPropertyStamp(const VString& inName) const;
	void TouchPropertyStamp(const VString& inName);
	uint32 GetPropertyStampWithPath(const VString& inPath) const;
	void TouchPropertyStampWithPath(const VString& inPath);

	void ClearFromGraph() override;
	// Lowers the container references of the held containers and the graph's
	// internal count by their number; nothing is removed.
	void DisconnectAll() { _DisconnectAll(); }
	void _DropValuesFromGraph() override;
	void _GetChildValues(void (*inFn)(const VJSONValue&, void*), void* inContext) const override;
	// The map without locks, for iterators that hold them.
	const PropertyMap& _GetMap() const { return fProperties; }

	// A leak counter for debugging: objects made and destroyed by the task.
	static std::atomic<int32> sTaskToMonitor;
	static std::atomic<int32> sTaskCounter;

protected:
	~VJSONObject() override;
	void _StampChanged(VJSONStamp* inStamp) override;

private:
	struct WithClass {};
	VJSONObject(WithClass, VJSONClass* inClass, IJSONObject* inImpl, VStorageLocker* inLocker, bool inInternal);

	bool _IsSharedLocked() const;
	bool _CheckInUse() const;
	void _RemoveInternalProperty(PropertyMap::iterator inEntry);
	void _DropProperties();

	PropertyMap fProperties;
	IJSONObject* fImpl;
	VJSONClass* fClass = nullptr;
	uint32 fConstructionLevel = 0;
	bool fUnderConstruction = false;
	bool fInternal;
	[[maybe_unused]] int32 fMonitoredTask = 0;
};

} // namespace qirn
