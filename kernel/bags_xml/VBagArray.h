#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"

#include <vector>

namespace qirn {

class VStream;
class VValueBag;

// The ordered child bags under one element name, each holding one
// reference. Positions count from 1.
class VBagArray : public VObject, public IRefCountable {
public:
	VBagArray() = default;
	// A deep copy: every bag is copied. A bag that cannot be copied ends
	// the copy there.
	VBagArray(const VBagArray& inOther);
	VBagArray& operator=(const VBagArray&) = delete;
	~VBagArray() override;

	VIndex GetCount() const { return static_cast<VIndex>(fBags.size()); }
	// Not retained; null out of range.
	VValueBag* GetNth(VIndex inIndex) const;
	// Retained; out of range, a new empty bag. The caller releases either.
	VValueBag* RetainNth(VIndex inIndex) const;
	VIndex Find(const VValueBag* inBag) const;

	bool AddTail(VValueBag* inBag);
	// Before position inIndex: below 1 at the front, beyond the end at the end.
	bool AddNth(VValueBag* inBag, VIndex inIndex);
	void SetNth(VValueBag* inBag, VIndex inIndex);
	void DeleteNth(VIndex inIndex);
	// Takes the bag out without releasing it: the reference passes to the caller.
	void Delete(const VValueBag* inBag);
	void Destroy();

	// Count, then each bag's body; reading appends.
	VError WriteToStreamMinimal(VStream* ioStream) const;
	VError ReadFromStreamMinimal(VStream* ioStream);

private:
	bool _InRange(VIndex inIndex) const { return inIndex >= 1 && inIndex <= GetCount(); }

	std::vector<VValueBag*> fBags;
};

} // namespace qirn
