#include "json/VJSONCloner.h"

#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VStorageLocker.h"

namespace qirn {

VJSONCloner::~VJSONCloner()
{
	if (fLocker != nullptr)
		fLocker->Release();
}

VError VJSONCloner::CloneValue(VJSONValue& ioValue)
{
	if (VJSONObject* object = ioValue.GetObject(); object != nullptr)
		return CloneObject(object, ioValue);
	if (VJSONArray* array = ioValue.GetArray(); array != nullptr)
		return CloneArray(array, ioValue);
	return VE_OK;
}

template <class Container>
VError VJSONCloner::_Clone(const Container* inSource, VJSONValue& outValue)
{
	if (inSource == nullptr) {
		outValue.SetUndefined();
		return VE_OK;
	}
	auto found = fCopies.find(inSource);
	if (found != fCopies.end()) {
		outValue = found->second;
		return VE_OK;
	}
	// The entry exists before the children are copied: a container met again
	// below gets this copy, so cycles close on the copies.
	VJSONValue& entry = fCopies.emplace(inSource, VJSONValue(JSON_undefined)).first->second;
	VError error = inSource->Clone(entry, *this);
	outValue = entry;
	return error;
}

VError VJSONCloner::CloneObject(const VJSONObject* inObject, VJSONValue& outValue)
{
	return _Clone(inObject, outValue);
}

VError VJSONCloner::CloneArray(const VJSONArray* inArray, VJSONValue& outValue)
{
	return _Clone(inArray, outValue);
}

VStorageLocker* VJSONCloner::GetStorageLockerAndAssignIfNecessary()
{
	if (fLocker == nullptr)
		fLocker = new VStorageLocker(false, true);
	else
		fLocker->SetFresh(false);
	return fLocker;
}

void VJSONCloner::SetStorageLocker(VStorageLocker* inLocker)
{
	if (inLocker == fLocker)
		return;
	if (inLocker != nullptr)
		inLocker->Retain();
	if (fLocker != nullptr)
		fLocker->Release();
	fLocker = inLocker;
}

} // namespace qirn
