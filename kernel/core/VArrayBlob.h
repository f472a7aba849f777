#pragma once

#include "core/VArrayOwned.h"
#include "core/VBlob.h"

namespace qirn {

// An array of blobs it owns. An absent element orders before every present
// one, reads as an empty blob and is written as one. Any two present blobs
// compare equal, so sorting orders only presence.
class VArrayBlob : public VArrayValueOf<VArrayBlob, VArrayOwned<VBlob>> {
public:
	VArrayBlob() = default;
	explicit VArrayBlob(sLONG inCount) { SetCount(inCount); }
	VArrayBlob(const VArrayBlob& inOther) : VArrayValueOf() { Copy(inOther); }

	uint16 GetElemValueKind() const override { return 11; }

	// Blobs are not searched: -1.
	sLONG Find(const VValueSingle&, sLONG, uBYTE, CompareMethod) const override { return -1; }
	// Copies a blob into the element, or stores a copy of it when the element
	// is absent; a value that is no blob is not stored.
	void FromValue(const VValueSingle& inValue, sLONG inPosition) override;
	// Copies the element into a blob; clears it for an absent element or
	// outside 1..count.
	void GetValue(VValueSingle& outValue, sLONG inPosition) const override;
	VValueSingle* CloneValue(sLONG inPosition) const override;
	// -1 outside 1..count and for an absent element.
	CompareResult CompareTo(const VValueSingle& inValue, bool inDiacritical, VIndex inPosition) const override;

	CompareResult CompareElements(uBYTE* inData, sLONG inA, sLONG inB) override;

	static const VValueInfo_array<VArrayBlob, 110, VBlob*> sInfo;

protected:
	void DoWriteElements(VStream* ioStream) const override;
	void DoReadElements(VStream* ioStream) override;
	sLONG8 DoGetMinStreamBytes(sLONG inCount) const override { return inCount * 4LL; }
};

} // namespace qirn
