#include "core/VArrayBlob.h"

#include "files/VStream.h"

namespace qirn {

void VArrayBlob::FromValue(const VValueSingle& inValue, sLONG inPosition)
{
	if (!ValidIndex(inPosition))
		return;
	if (VBlob* element = _Elements()[inPosition - 1]) {
		element->FromValueSameKind(&inValue);
		return;
	}
	// Only a blob may take an element's place: the array reads its elements
	// as blobs.
	if (const VBlob* blob = dynamic_cast<const VBlob*>(&inValue))
		_Elements()[inPosition - 1] = blob->Clone();
}

void VArrayBlob::GetValue(VValueSingle& outValue, sLONG inPosition) const
{
	if (const VBlob* element = _At(inPosition))
		outValue.FromValueSameKind(element);
	else
		outValue.Clear();
}

VValueSingle* VArrayBlob::CloneValue(sLONG inPosition) const
{
	VBlobWithPtr* value = new VBlobWithPtr();
	GetValue(*value, inPosition);
	return value;
}

CompareResult VArrayBlob::CompareTo(const VValueSingle& inValue, bool inDiacritical, VIndex inPosition) const
{
	const VBlob* element = _At(inPosition);
	return element == nullptr ? CR_SMALLER : element->CompareToSameKind(&inValue, inDiacritical);
}

CompareResult VArrayBlob::CompareElements(uBYTE* inData, sLONG inA, sLONG inB)
{
	VBlob* const* elements = reinterpret_cast<VBlob* const*>(inData);
	const VBlob* a = elements[inA];
	const VBlob* b = elements[inB];
	if (a == nullptr || b == nullptr)
		return a == b ? CR_EQUAL : (a == nullptr ? CR_SMALLER : CR_BIGGER);
	return a->CompareToSameKind(b);
}

void VArrayBlob::DoWriteElements(VStream* ioStream) const
{
	VBlob* const* elements = _Elements();
	for (sLONG i = 0; i < fCount && ioStream->GetLastError() == VE_OK; ++i) {
		if (elements[i] != nullptr)
			elements[i]->WriteToStream(ioStream);
		else
			ioStream->PutLong(static_cast<sLONG>(0)); // an empty blob
	}
}

void VArrayBlob::DoReadElements(VStream* ioStream)
{
	for (sLONG i = 0; i < fCount; ++i) {
		VBlob* element = _Elements()[i];
		// A viewed blob refuses to be read into: an owned one takes its place.
		if (dynamic_cast<VBlobWithPtr*>(element) == nullptr) {
			element = new VBlobWithPtr();
			_Replace(i, element);
		}
		if (element->ReadFromStream(ioStream) != VE_OK)
			return;
	}
}

} // namespace qirn
