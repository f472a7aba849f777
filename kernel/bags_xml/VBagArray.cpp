#include "bags_xml/VBagArray.h"

#include "bags_xml/VValueBag.h"

#include <algorithm>
#include <new>

namespace qirn {

VBagArray::VBagArray(const VBagArray& inOther) : VObject(), IRefCountable(inOther)
{
	try {
		fBags.reserve(inOther.fBags.size());
	} catch (const std::bad_alloc&) {
		return;
	}
	for (const VValueBag* bag : inOther.fBags) {
		VValueBag* copy = new (std::nothrow) VValueBag(*bag);
		if (copy == nullptr)
			return;
		fBags.push_back(copy);
	}
}

VBagArray::~VBagArray()
{
	Destroy();
}

VValueBag* VBagArray::GetNth(VIndex inIndex) const
{
	return _InRange(inIndex) ? fBags[static_cast<size_t>(inIndex - 1)] : nullptr;
}

VValueBag* VBagArray::RetainNth(VIndex inIndex) const
{
	if (!_InRange(inIndex))
		return new VValueBag;
	return RetainRefCountable(fBags[static_cast<size_t>(inIndex - 1)]);
}

VIndex VBagArray::Find(const VValueBag* inBag) const
{
	auto found = std::find(fBags.begin(), fBags.end(), inBag);
	return found != fBags.end() ? static_cast<VIndex>(found - fBags.begin()) + 1 : 0;
}

bool VBagArray::AddTail(VValueBag* inBag)
{
	return AddNth(inBag, GetCount() + 1);
}

bool VBagArray::AddNth(VValueBag* inBag, VIndex inIndex)
{
	if (inBag == nullptr)
		return false;
	VIndex position = std::clamp<VIndex>(inIndex, 1, GetCount() + 1);
	try {
		fBags.insert(fBags.begin() + (position - 1), inBag);
	} catch (const std::bad_alloc&) {
		return false;
	}
	inBag->Retain();
	return true;
}

void VBagArray::SetNth(VValueBag* inBag, VIndex inIndex)
{
	if (inBag == nullptr || !_InRange(inIndex))
		return;
	VValueBag*& entry = fBags[static_cast<size_t>(inIndex - 1)];
	if (entry == inBag)
		return;
	VValueBag* old = entry;
	entry = RetainRefCountable(inBag);
	old->Release();
}

void VBagArray::DeleteNth(VIndex inIndex)
{
	if (!_InRange(inIndex))
		return;
	VValueBag* bag = fBags[static_cast<size_t>(inIndex - 1)];
	fBags.erase(fBags.begin() + (inIndex - 1));
	bag->Release();
}

void VBagArray::Delete(const VValueBag* inBag)
{
	auto found = std::find(fBags.begin(), fBags.end(), inBag);
	if (found != fBags.end())
		fBags.erase(found);
}

void VBagArray::Destroy()
{
	// Emptied before the releases, which run destructors: the array is
	// never seen holding a bag already freed.
	std::vector<VValueBag*> bags;
	bags.swap(fBags);
	for (VValueBag* bag : bags)
		bag->Release();
}

} // namespace qirn
