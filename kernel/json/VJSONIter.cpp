#include "json/VJSONIter.h"

#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "json/VJSONPropertyIterator.h"
#include "json/VStorageLocker.h"

namespace qirn {

VJSONIter::VJSONIter(VJSONObject* inObject, int inStart, int inEnd, bool inFlag)
: fContainer(inObject), fIndex(inStart), fEnd(inEnd)
{
	if (inObject == nullptr)
		return;
	fImpl = inObject->GetImplementation();
	if (fImpl != nullptr) {
		fImpl->Retain();
		fImplIterator = fImpl->IJSON_MakeIterator(inObject, static_cast<size_t>(inStart), static_cast<size_t>(inEnd), inFlag);
		if (fImplIterator != nullptr)
			return;
	}
	for (VJSONPropertyConstOrderedIterator it(inObject, 0); it.IsValid(); ++it)
		fNames.push_back(it.GetName());
}

VJSONIter::VJSONIter(VJSONArray* inArray, int inStart, int inEnd, bool)
: fContainer(inArray), fIndex(inStart), fEnd(inEnd)
{
}

VJSONIter::~VJSONIter()
{
	if (fImplIterator != nullptr)
		fImplIterator->Release();
	if (fImpl != nullptr)
		fImpl->Release();
}

bool VJSONIter::NextValue(VJSONValue& outValue)
{
	outValue.SetUndefined();
	if (VJSONArray* array = fContainer.GetArray(); array != nullptr) {
		VJSONUser user(array, false);
		if (fIndex < 0 || fIndex >= fEnd || static_cast<size_t>(fIndex) >= array->GetCount())
			return false;
		outValue = array->GetAt(static_cast<size_t>(fIndex));
		++fIndex;
		return true;
	}
	if (fImplIterator != nullptr)
		return fImplIterator->NextValue(outValue);
	if (fCursor >= fNames.size())
		return false;
	outValue.SetString(fNames[fCursor++]);
	return true;
}

} // namespace qirn
