#include "core/VArrayString.h"

#include "files/VStream.h"

namespace qirn {

namespace {

constexpr sLONG kStringFollows = 2;
constexpr sLONG kAbsent = 'NULL';

// Absent elements come first, equal among themselves.
CompareResult CompareStrings(const VString* inA, const VString* inB, bool inDiacritical)
{
	if (inA == nullptr || inB == nullptr)
		return inA == inB ? CR_EQUAL : (inA == nullptr ? CR_SMALLER : CR_BIGGER);
	return inA->CompareToString(*inB, inDiacritical);
}

} // namespace

void VArrayString::GetString(VString& outValue, sLONG inPosition) const
{
	if (const VString* element = _At(inPosition))
		outValue.FromString(*element);
	else
		outValue.Clear();
}

void VArrayString::FromString(const VString& inValue, VIndex inPosition)
{
	if (!ValidIndex(inPosition))
		return;
	if (VString* element = _Elements()[inPosition - 1])
		element->FromString(inValue);
	else
		_Elements()[inPosition - 1] = inValue.Clone();
}

sLONG VArrayString::Find(const VValueSingle& inValue, sLONG inStart, uBYTE inForward, CompareMethod inMethod) const
{
	VString value;
	inValue.GetString(value);
	return Find(value, inStart, inForward, inMethod);
}

sLONG VArrayString::Find(const VString& inValue, sLONG inStart, uBYTE inForward, CompareMethod inMethod) const
{
	if (fCount == 0 || inStart < 1 || inStart > fCount || fData == nullptr)
		return -1;
	VString* const* elements = _Elements();
	const sLONG step = inForward != 0 ? 1 : -1;
	for (sLONG i = inStart - 1; i >= 0 && i < fCount; i += step) {
		if (elements[i] != nullptr && arrays::Matches(elements[i]->CompareToString(inValue, false), inMethod))
			return i + 1;
	}
	return -1;
}

sLONG VArrayString::QuickFind(const VString& inValue) const
{
	if (fCount == 0 || fData == nullptr)
		return -1;
	VString* const* elements = _Elements();
	sLONG lo = 0;
	sLONG hi = fCount - 1;
	while (lo <= hi) {
		const sLONG mid = lo + (hi - lo) / 2;
		const CompareResult result = CompareStrings(elements[mid], &inValue, false);
		if (result == CR_EQUAL)
			return mid + 1;
		if (result == CR_SMALLER)
			lo = mid + 1;
		else
			hi = mid - 1;
	}
	return -1;
}

void VArrayString::FromValue(const VValueSingle& inValue, sLONG inPosition)
{
	VString value;
	inValue.GetString(value);
	FromString(value, inPosition);
}

void VArrayString::GetValue(VValueSingle& outValue, sLONG inPosition) const
{
	if (const VString* element = _At(inPosition))
		outValue.FromString(*element);
	else
		outValue.Clear();
}

VValueSingle* VArrayString::CloneValue(sLONG inPosition) const
{
	VString* value = new VString();
	GetValue(*value, inPosition);
	return value;
}

CompareResult VArrayString::CompareTo(const VValueSingle& inValue, bool inDiacritical, VIndex inPosition) const
{
	const VString* element = _At(inPosition);
	if (element == nullptr)
		return CR_SMALLER;
	VString value;
	inValue.GetString(value);
	return element->CompareToString(value, inDiacritical);
}

CompareResult VArrayString::CompareElements(uBYTE* inData, sLONG inA, sLONG inB)
{
	VString* const* elements = reinterpret_cast<VString* const*>(inData);
	return CompareStrings(elements[inA], elements[inB], true);
}

void VArrayString::DoWriteElements(VStream* ioStream) const
{
	VString* const* elements = _Elements();
	for (sLONG i = 0; i < fCount && ioStream->GetLastError() == VE_OK; ++i) {
		if (elements[i] != nullptr) {
			ioStream->PutLong(kStringFollows);
			elements[i]->WriteToStream(ioStream);
		} else {
			ioStream->PutLong(kAbsent);
		}
	}
}

void VArrayString::DoReadElements(VStream* ioStream)
{
	for (sLONG i = 0; i < fCount; ++i) {
		sLONG marker = 0;
		if (ioStream->GetLong(marker) != VE_OK)
			return;
		if (marker == kStringFollows) {
			VString* element = _Elements()[i];
			if (element == nullptr) {
				element = new VString();
				_Elements()[i] = element;
			}
			if (element->ReadFromStream(ioStream) != VE_OK)
				return;
		} else {
			_Replace(i, nullptr);
		}
	}
}

} // namespace qirn
