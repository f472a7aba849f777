#include "bags_xml/VPackedDictionary.h"

#include "bags_xml/VBagArray.h"

namespace qirn {

using ElementDictionary = VPackedDictionary<VPackedValue_VBagArray>;

ElementDictionary::VPackedDictionary(const VPackedDictionary& inOther) : VPackedDictionary_base()
{
	try {
		fKeys = inOther.fKeys;
		fSlots = inOther.fSlots;
	} catch (const std::bad_alloc&) {
		_ClearKeys();
		return;
	}
	for (Slot& slot : fSlots)
		RetainRefCountable(slot.fArray);
}

ElementDictionary::~VPackedDictionary()
{
	RemoveAll();
}

VBagArray* ElementDictionary::GetValue(const StPackedDictionaryKey& inKey) const
{
	size_t index = _Find(inKey);
	return index != End() ? fSlots[index].fArray : nullptr;
}

size_t ElementDictionary::SetValue(const StPackedDictionaryKey& inKey, VBagArray* inArray)
{
	size_t index = _Find(inKey);
	if (index == End()) {
		index = _AppendKeyAndSlot(inKey, Slot());
		if (index == End())
			return End();
	}
	SetValueAt(index, inArray);
	return index;
}

void ElementDictionary::SetValueAt(size_t inIndex, VBagArray* inArray)
{
	Slot& slot = fSlots[inIndex];
	if (slot.fArray == inArray)
		return;
	VBagArray* old = slot.fArray;
	slot.fArray = RetainRefCountable(inArray);
	ReleaseRefCountable(&old);
}

void ElementDictionary::Clear(const StPackedDictionaryKey& inKey)
{
	size_t index = _Find(inKey);
	if (index != End())
		ClearAt(index);
}

void ElementDictionary::ClearAt(size_t inIndex)
{
	VBagArray* array = fSlots[inIndex].fArray;
	_EraseKeyAndSlot(inIndex);
	ReleaseRefCountable(&array);
}

void ElementDictionary::RemoveAll()
{
	std::vector<Slot> slots;
	slots.swap(fSlots);
	_ClearKeys();
	for (Slot& slot : slots)
		ReleaseRefCountable(&slot.fArray);
}

} // namespace qirn
