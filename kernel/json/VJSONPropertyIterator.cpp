#include "json/VJSONPropertyIterator.h"

#include "json/VJSONClass.h"

namespace qirn {

VJSONPropertyIteratorBase& VJSONPropertyIteratorBase::operator++()
{
	if (_OnNames())
		++fNameIndex;
	else if (_OwnIsValid())
		_OwnNext();
	return *this;
}

VJSONValue VJSONPropertyIteratorBase::GetValue(VDBLanguageContext* inContext) const
{
	if (_OnNames())
		return fObject->GetProperty(fNames[fNameIndex], inContext);
	VJSONReadLock lock(fObject->_GetStorageLocker());
	return VJSONValue(_OwnValue());
}

bool VJSONPropertyIteratorBase::_AskImplementationNames()
{
	IJSONObject* impl = fObject->GetImplementation();
	return impl != nullptr && impl->IJSON_GetPropertyNames(fNames) != eJSONStatus_NotHandled;
}

void VJSONPropertyIteratorBase::_AddGetterNames()
{
	if (const VJSONClass* theClass = fObject->GetClass(); theClass != nullptr)
		theClass->GetGetterNames(fNames);
}

bool VJSONPropertyIteratorBase::_IsSnapshotObject() const
{
	if (fObject->_GetStorageLocker() != nullptr)
		return true;
	bool flag = false;
	IJSONObject* impl = fObject->GetImplementation();
	return impl != nullptr && impl->IJSON_IsSharable(fObject.Get(), flag);
}

// ---------------------------------------------------------------------------

VJSONPropertyIterator::VJSONPropertyIterator(VJSONObject* inObject)
: VJSONPropertyIteratorBase(inObject), fUser(inObject, false)
{
	if (!_AskImplementationNames())
		_AddGetterNames();
	fCursor = inObject->_GetMap().begin();
}

void VJSONPropertyIterator::SetValue(const VJSONValue& inValue, VDBLanguageContext* inContext)
{
	if (_OnNames()) {
		fObject->SetProperty(fNames[fNameIndex], inValue, inContext);
	} else if (!inValue.IsUndefined()) {
		// Overwriting an existing name keeps the entry where it is.
		VString name = fCursor->first;
		fObject->SetProperty(name, inValue, inContext);
	}
}

// ---------------------------------------------------------------------------

VJSONPropertyConstIterator::VJSONPropertyConstIterator(const VJSONObject* inObject)
: VJSONPropertyIteratorBase(inObject)
{
	const bool answered = _AskImplementationNames();
	if (_IsSnapshotObject()) {
		fSnapshot = true;
		VJSONReadLock lock(inObject->_GetStorageLocker());
		for (const auto& entry : inObject->_GetMap())
			fNames.push_back(entry.first);
	}
	if (!answered)
		_AddGetterNames();
	fCursor = inObject->_GetMap().begin();
}

// ---------------------------------------------------------------------------

VJSONPropertyConstOrderedIterator::VJSONPropertyConstOrderedIterator(const VJSONObject* inObject, uint32 inOptions)
: VJSONPropertyIteratorBase(inObject)
{
	const bool answered = (inOptions & kWithoutImplementationNames) == 0 && _AskImplementationNames();
	VJSONReadLock lock(inObject->_GetStorageLocker());
	const VJSONObject::PropertyMap& map = inObject->_GetMap();
	fOwn.resize(map.size());
	for (const auto& entry : map)
		fOwn[entry.second.second] = &entry;
	if (_IsSnapshotObject()) {
		// The implementation's names that are no own property, then the own
		// names in order: all walked by name.
		std::vector<VString> names;
		for (const VString& name : fNames) {
			if (map.find(name) == map.end())
				names.push_back(name);
		}
		for (const auto* entry : fOwn)
			names.push_back(entry->first);
		fNames.swap(names);
		fOwn.clear();
	}
	if ((inOptions & kWithoutGetterNames) == 0 && !answered)
		_AddGetterNames();
}

} // namespace qirn
