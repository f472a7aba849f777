#pragma once

#include "core/VObject.h"
#include "core/VString.h"
#include "json/VJSONObject.h"
#include "json/VStorageLocker.h"

#include <memory>
#include <vector>

namespace qirn {

class VDBLanguageContext;

// Walks an object's names and values, the names only its implementation
// knows first, then its own properties in hash order. It holds the use of
// the object's locker for its life, so that it may change values.
class VJSONPropertyIterator : public VObject {
public:
	explicit VJSONPropertyIterator(VJSONObject* inObject);
	~VJSONPropertyIterator() override = default;

	bool IsValid() const;
	VJSONPropertyIterator& operator++();
	const VString& GetName() const;
	VJSONValue GetValue(VDBLanguageContext* inContext = nullptr) const;
	// An undefined value is ignored: the entry under the cursor stays.
	void SetValue(const VJSONValue& inValue, VDBLanguageContext* inContext = nullptr);

private:
	VRefPtr<VJSONObject> fObject;
	VJSONUser fUser;
	std::vector<VString> fNames;
	size_t fNameIndex = 0;
	VJSONObject::PropertyMap::const_iterator fCursor;
};

// Walks a constant object. A shared (or sharable) object is walked over a
// snapshot of its names; any other live, after the implementation's names.
class VJSONPropertyConstIterator : public VObject {
public:
	explicit VJSONPropertyConstIterator(const VJSONObject* inObject);
	~VJSONPropertyConstIterator() override = default;

	bool IsValid() const;
	VJSONPropertyConstIterator& operator++();
	const VString& GetName() const;
	VJSONValue GetValue(VDBLanguageContext* inContext = nullptr) const;

private:
	VRefPtr<VJSONObject> fObject;
	std::vector<VString> fNames;
	size_t fNameIndex = 0;
	bool fSnapshot = false;
	VJSONObject::PropertyMap::const_iterator fCursor;
};

// Walks a constant object's own properties in insertion order, after the
// implementation's names. Option 1 leaves those names out; option 2 the
// class's getter names.
class VJSONPropertyConstOrderedIterator : public VObject {
public:
	static constexpr uint32 kWithoutImplementationNames = 1;
	static constexpr uint32 kWithoutGetterNames = 2;

	VJSONPropertyConstOrderedIterator(const VJSONObject* inObject, uint32 inOptions);
	~VJSONPropertyConstOrderedIterator() override = default;

	bool IsValid() const;
	VJSONPropertyConstOrderedIterator& operator++();
	const VString& GetName() const;
	VJSONValue GetValue(VDBLanguageContext* inContext = nullptr) const;

private:
	VRefPtr<VJSONObject> fObject;
	std::vector<VString> fNames;
	size_t fNameIndex = 0;
	std::vector<const VJSONObject::PropertyMap::value_type*> fOwn;
	size_t fOwnIndex = 0;
};

} // namespace qirn
