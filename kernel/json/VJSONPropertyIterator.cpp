#include "json/VJSONPropertyIterator.h"

namespace qirn {

namespace {

bool AskNames(const VJSONObject* inObject, std::vector<VString>& outNames)
{
	IJSONObject* impl = inObject->GetImplementation();
	return impl != nullptr && impl->IJSON_GetPropertyNames(outNames) != eJSONStatus_NotHandled;
}

bool IsSnapshotObject(const VJSONObject* inObject)
{
	if (inObject->_GetStorageLocker() != nullptr)
		return true;
	bool flag = false;
	IJSONObject* impl = inObject->GetImplementation();
	return impl != nullptr && impl->IJSON_IsSharable(inObject, flag);
}

} // namespace

// ---------------------------------------------------------------------------

VJSONPropertyIterator::VJSONPropertyIterator(VJSONObject* inObject) : fObject(inObject), fUser(inObject, false)
{
	// Objects have no class getters in this build: the extra names are the
	// implementation's only.
	AskNames(inObject, fNames);
	fCursor = inObject->_GetMap().begin();
}

bool VJSONPropertyIterator::IsValid() const
{
	return fNameIndex < fNames.size() || fCursor != fObject->_GetMap().end();
}

VJSONPropertyIterator& VJSONPropertyIterator::operator++()
{
	if (fNameIndex < fNames.size())
		++fNameIndex;
	else if (fCursor != fObject->_GetMap().end())
		++fCursor;
	return *this;
}

const VString& VJSONPropertyIterator::GetName() const
{
	return fNameIndex < fNames.size() ? fNames[fNameIndex] : fCursor->first;
}

VJSONValue VJSONPropertyIterator::GetValue(VDBLanguageContext* inContext) const
{
	if (fNameIndex < fNames.size())
		return fObject->GetProperty(fNames[fNameIndex], inContext);
	VJSONReadLock lock(fObject->_GetStorageLocker());
	return VJSONValue(fCursor->second.first);
}

void VJSONPropertyIterator::SetValue(const VJSONValue& inValue, VDBLanguageContext* inContext)
{
	if (fNameIndex < fNames.size()) {
		fObject->SetProperty(fNames[fNameIndex], inValue, inContext);
	} else if (!inValue.IsUndefined()) {
		// Overwriting an existing name keeps the entry where it is.
		VString name = fCursor->first;
		fObject->SetProperty(name, inValue, inContext);
	}
}

// ---------------------------------------------------------------------------

VJSONPropertyConstIterator::VJSONPropertyConstIterator(const VJSONObject* inObject)
: fObject(const_cast<VJSONObject*>(inObject))
{
	AskNames(inObject, fNames);
	if (IsSnapshotObject(inObject)) {
		fSnapshot = true;
		VJSONReadLock lock(inObject->_GetStorageLocker());
		for (const auto& entry : inObject->_GetMap())
			fNames.push_back(entry.first);
	}
	fCursor = inObject->_GetMap().begin();
}

bool VJSONPropertyConstIterator::IsValid() const
{
	return fNameIndex < fNames.size() || (!fSnapshot && fCursor != fObject->_GetMap().end());
}

VJSONPropertyConstIterator& VJSONPropertyConstIterator::operator++()
{
	if (fNameIndex < fNames.size())
		++fNameIndex;
	else if (!fSnapshot && fCursor != fObject->_GetMap().end())
		++fCursor;
	return *this;
}

const VString& VJSONPropertyConstIterator::GetName() const
{
	return fNameIndex < fNames.size() ? fNames[fNameIndex] : fCursor->first;
}

VJSONValue VJSONPropertyConstIterator::GetValue(VDBLanguageContext* inContext) const
{
	if (fNameIndex < fNames.size())
		return fObject->GetProperty(fNames[fNameIndex], inContext);
	return VJSONValue(fCursor->second.first);
}

// ---------------------------------------------------------------------------

VJSONPropertyConstOrderedIterator::VJSONPropertyConstOrderedIterator(const VJSONObject* inObject, uint32 inOptions)
: fObject(const_cast<VJSONObject*>(inObject))
{
	if ((inOptions & kWithoutImplementationNames) == 0)
		AskNames(inObject, fNames);
	VJSONReadLock lock(inObject->_GetStorageLocker());
	const VJSONObject::PropertyMap& map = inObject->_GetMap();
	if (IsSnapshotObject(inObject)) {
		// The implementation's names that are no own property, then the own
		// names in order: all walked by name.
		std::vector<VString> names;
		for (const VString& name : fNames) {
			if (map.find(name) == map.end())
				names.push_back(name);
		}
		std::vector<const VString*> own(map.size());
		for (const auto& entry : map)
			own[entry.second.second] = &entry.first;
		for (const VString* name : own)
			names.push_back(*name);
		fNames.swap(names);
	} else {
		fOwn.resize(map.size());
		for (const auto& entry : map)
			fOwn[entry.second.second] = &entry;
	}
}

bool VJSONPropertyConstOrderedIterator::IsValid() const
{
	return fNameIndex < fNames.size() || fOwnIndex < fOwn.size();
}

VJSONPropertyConstOrderedIterator& VJSONPropertyConstOrderedIterator::operator++()
{
	if (fNameIndex < fNames.size())
		++fNameIndex;
	else if (fOwnIndex < fOwn.size())
		++fOwnIndex;
	return *this;
}

const VString& VJSONPropertyConstOrderedIterator::GetName() const
{
	return fNameIndex < fNames.size() ? fNames[fNameIndex] : fOwn[fOwnIndex]->first;
}

VJSONValue VJSONPropertyConstOrderedIterator::GetValue(VDBLanguageContext* inContext) const
{
	if (fNameIndex < fNames.size())
		return fObject->GetProperty(fNames[fNameIndex], inContext);
	return VJSONValue(fOwn[fOwnIndex]->second.first);
}

} // namespace qirn
