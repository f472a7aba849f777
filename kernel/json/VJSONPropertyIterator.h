#pragma once

#include "core/VObject.h"
#include "core/VString.h"
#include "json/VJSONObject.h"
#include "json/VStorageLocker.h"

#include <vector>

namespace qirn {

class VDBLanguageContext;

// What the property iterators share: a list of names walked first (read
// through GetProperty), then the own properties by a cursor of each kind.
class VJSONPropertyIteratorBase : public VObject {
public:
	bool IsValid() const { return _OnNames() || _OwnIsValid(); }
	VJSONPropertyIteratorBase& operator++();
	const VString& GetName() const { return _OnNames() ? fNames[fNameIndex] : _OwnName(); }
	VJSONValue GetValue(VDBLanguageContext* inContext = nullptr) const;

protected:
	explicit VJSONPropertyIteratorBase(const VJSONObject* inObject)
	: fObject(const_cast<VJSONObject*>(inObject))
	{
	}
	~VJSONPropertyIteratorBase() override = default;

	bool _OnNames() const { return fNameIndex < fNames.size(); }
	// Asks the implementation's names into the list; false when it does not answer.
	bool _AskImplementationNames();
	// Appends the names of the class's getters.
	void _AddGetterNames();
	// Whether the object is walked over a snapshot of its names.
	bool _IsSnapshotObject() const;

	virtual bool _OwnIsValid() const = 0;
	virtual void _OwnNext() = 0;
	virtual const VString& _OwnName() const = 0;
	virtual const VJSONValue& _OwnValue() const = 0;

	VRefPtr<VJSONObject> fObject;
	std::vector<VString> fNames;
	size_t fNameIndex = 0;
};

// Walks an object's names and values, the names only its implementation
// knows (else its class's getter names) first, then its own properties in
// hash order. It holds the use of
// the object's locker for its life, so that it may change values.
class VJSONPropertyIterator : public VJSONPropertyIteratorBase {
public:
	explicit VJSONPropertyIterator(VJSONObject* inObject);

	// An undefined value is ignored: the entry under the cursor stays.
	void SetValue(const VJSONValue& inValue, VDBLanguageContext* inContext = nullptr);

private:
	bool _OwnIsValid() const override { return fCursor != fObject->_GetMap().end(); }
	void _OwnNext() override { ++fCursor; }
	const VString& _OwnName() const override { return fCursor->first; }
	const VJSONValue& _OwnValue() const override { return fCursor->second.first; }

	VJSONUser fUser;
	VJSONObject::PropertyMap::const_iterator fCursor;
};

// Walks a constant object. A shared (or sharable) object is walked over a
// snapshot of its names; any other live, after the implementation's names
// (else the class's getter names).
class VJSONPropertyConstIterator : public VJSONPropertyIteratorBase {
public:
	explicit VJSONPropertyConstIterator(const VJSONObject* inObject);

private:
	bool _OwnIsValid() const override { return !fSnapshot && fCursor != fObject->_GetMap().end(); }
	void _OwnNext() override { ++fCursor; }
	const VString& _OwnName() const override { return fCursor->first; }
	const VJSONValue& _OwnValue() const override { return fCursor->second.first; }

	bool fSnapshot = false;
	VJSONObject::PropertyMap::const_iterator fCursor;
};

// Walks a constant object's own properties in insertion order, after the
// implementation's names (else the class's getter names). Option 1 leaves
// the implementation's names out; option 2 the getter names.
class VJSONPropertyConstOrderedIterator : public VJSONPropertyIteratorBase {
public:
	static constexpr uint32 kWithoutImplementationNames = 1;
	static constexpr uint32 kWithoutGetterNames = 2;

	VJSONPropertyConstOrderedIterator(const VJSONObject* inObject, uint32 inOptions);

private:
	bool _OwnIsValid() const override { return fOwnIndex < fOwn.size(); }
	void _OwnNext() override { ++fOwnIndex; }
	const VString& _OwnName() const override { return fOwn[fOwnIndex]->first; }
	const VJSONValue& _OwnValue() const override { return fOwn[fOwnIndex]->second.first; }

	std::vector<const VJSONObject::PropertyMap::value_type*> fOwn;
	size_t fOwnIndex = 0;
};

} // namespace qirn
