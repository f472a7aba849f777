#pragma once

#include "bags_xml/VPackedDictionary_base.h"

namespace qirn {

class VBagArray;

// Tag of the values an element store holds.
struct VPackedValue_VBagArray {};

template <class Value>
struct _VPackedDictionary_slot;

template <>
struct _VPackedDictionary_slot<VPackedValue_VBagArray> {
	size_t fKeyOffset = 0;
	// One reference.
	VBagArray* fArray = nullptr;
};

template <class Value>
class VPackedDictionary;

// The element store of a bag: element name to the array of child bags.
template <>
class VPackedDictionary<VPackedValue_VBagArray>
	: public VPackedDictionary_base<_VPackedDictionary_slot<VPackedValue_VBagArray>> {
public:
	using Slot = _VPackedDictionary_slot<VPackedValue_VBagArray>;

	VPackedDictionary() = default;
	// The copy shares the arrays, each retained once more; the bag's copy
	// then replaces them by copies of its own.
	VPackedDictionary(const VPackedDictionary& inOther);
	VPackedDictionary& operator=(const VPackedDictionary&) = delete;
	~VPackedDictionary() override;

	VBagArray* GetValue(const StPackedDictionaryKey& inKey) const;
	VBagArray* GetValueAt(size_t inIndex) const { return fSlots[inIndex].fArray; }
	// Stores the array (retained), releasing the one it replaces; End()
	// when the key is new and cannot be added.
	size_t SetValue(const StPackedDictionaryKey& inKey, VBagArray* inArray);
	void SetValueAt(size_t inIndex, VBagArray* inArray);
	void Clear(const StPackedDictionaryKey& inKey);
	void ClearAt(size_t inIndex);
	void RemoveAll();
};

} // namespace qirn
