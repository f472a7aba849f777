#pragma once

#include "bags_xml/VPackedDictionary_base.h"

#include <vector>

namespace qirn {

class VValueSingle;

// Tag of the values an attribute store holds.
struct VPackedValue_VValueSingle {};

template <class Value>
struct _VPackedDictionary_with_backstore_slot;

template <>
struct _VPackedDictionary_with_backstore_slot<VPackedValue_VValueSingle> {
	size_t fKeyOffset = 0;
	// In 16-bit units from the start of the backstore. Packing moves runs
	// of a dictionary that is otherwise only read, hence mutable.
	mutable size_t fValueOffset = 0;
	// A value made by a read of another kind or set without room in its
	// run; it overrides the run until the next pack. Owned.
	mutable VValueSingle* fClone = nullptr;
};

template <class Value>
class VPackedDictionary_with_backstore;

// The attribute store of a bag: every value lies serialized in one vector
// of 16-bit units (its kind, then its flat data), in slot order, so that a
// bag of many small attributes costs a few blocks and streams as a whole.
template <>
class VPackedDictionary_with_backstore<VPackedValue_VValueSingle>
	: public VPackedDictionary_base<_VPackedDictionary_with_backstore_slot<VPackedValue_VValueSingle>> {
public:
	using Slot = _VPackedDictionary_with_backstore_slot<VPackedValue_VValueSingle>;

	VPackedDictionary_with_backstore() = default;
	VPackedDictionary_with_backstore(const VPackedDictionary_with_backstore& inOther);
	VPackedDictionary_with_backstore& operator=(const VPackedDictionary_with_backstore& inOther);
	~VPackedDictionary_with_backstore() override;

	// Converts the value into outValue; false, outValue untouched, when the
	// key is absent. A read into another kind keeps the converted value.
	bool GetValue(const StPackedDictionaryKey& inKey, VValueSingle& outValue) const;
	bool GetValueAt(size_t inIndex, VValueSingle& outValue) const;
	// A new value of the stored kind (the caller owns it); null without a
	// descriptor for the kind.
	VValueSingle* NewValueAt(size_t inIndex) const;
	uint16 GetKindAt(size_t inIndex) const;

	// False when the key is absent.
	bool SetExistingValue(const StPackedDictionaryKey& inKey, const VValueSingle& inValue);
	bool SetValueAt(size_t inIndex, const VValueSingle& inValue);
	// Adds without looking for the key; End() when memory runs out or the
	// key cannot be stored.
	size_t Append(const StPackedDictionaryKey& inKey, const VValueSingle& inValue);
	void Clear(const StPackedDictionaryKey& inKey);
	void ClearAt(size_t inIndex);
	void RemoveAll();

	bool IsPackNeeded() const { return fPackNeeded; }
	size_t GetBackstoreUnits() const { return fBackstore.size(); }
	bool HasCloneAt(size_t inIndex) const { return fSlots[inIndex].fClone != nullptr; }

	VError WriteToStream(VStream* ioStream, bool inWithHashMap) const;
	VError ReadFromStream(VStream* ioStream);

	// The bytes of a run, kind word included.
	static VSize _GetPackedSize(const uint16* inRun);
	void _Pack() const;

private:
	uint16* _Run(size_t inIndex) const { return fBackstore.data() + fSlots[inIndex].fValueOffset; }
	size_t _RunEnd(size_t inIndex) const
	{
		return inIndex + 1 < fSlots.size() ? fSlots[inIndex + 1].fValueOffset : fBackstore.size();
	}
	void _DeleteClones();
	bool _CopyFrom(const VPackedDictionary_with_backstore& inOther);
	// Swaps every run between native and stream order.
	void _SwapRuns(bool inFromNative) const;
	VError _FailReadingValues(VStream* ioStream, VError inError);

	mutable std::vector<uint16> fBackstore;
	mutable bool fPackNeeded = false;
};

} // namespace qirn
