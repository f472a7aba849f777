#pragma once

#include "core/VArrayOwned.h"
#include "core/VString.h"

namespace qirn {

// An array of strings it owns. An element may be absent (after SetCount or
// Insert, or read as absent from a stream): it orders before every present
// string, reads as an empty string and is skipped by Find.
class VArrayString : public VArrayValueOf<VArrayString, VArrayOwned<VString>> {
public:
	VArrayString() = default;
	explicit VArrayString(sLONG inCount) { SetCount(inCount); }
	VArrayString(const VArrayString& inOther) : VArrayValueOf() { Copy(inOther); }

	uint16 GetElemValueKind() const override { return 10; }

	// The element, or an empty string for an absent one or outside 1..count.
	void GetString(VString& outValue, sLONG inPosition) const;
	// Copies into the element, making it when absent; nothing outside
	// 1..count.
	void FromString(const VString& inValue, VIndex inPosition) override;

	using VArrayValue::Find;
	sLONG Find(const VValueSingle& inValue, sLONG inStart, uBYTE inForward, CompareMethod inMethod) const override;
	sLONG Find(const VString& inValue, sLONG inStart, uBYTE inForward, CompareMethod inMethod) const;
	// By halving, in an array sorted ascending.
	sLONG QuickFind(const VString& inValue) const;

	void FromValue(const VValueSingle& inValue, sLONG inPosition) override;
	void GetValue(VValueSingle& outValue, sLONG inPosition) const override;
	VValueSingle* CloneValue(sLONG inPosition) const override;
	// -1 outside 1..count and for an absent element.
	CompareResult CompareTo(const VValueSingle& inValue, bool inDiacritical, VIndex inPosition) const override;

	CompareResult CompareElements(uBYTE* inData, sLONG inA, sLONG inB) override;

	static const VValueInfo_array<VArrayString, 109, VString*> sInfo;

protected:
	// Each element is the marker 2 and the string, or 'NULL' when absent.
	void DoWriteElements(VStream* ioStream) const override;
	void DoReadElements(VStream* ioStream) override;
	sLONG8 DoGetMinStreamBytes(sLONG inCount) const override { return inCount * 4LL; }
};

} // namespace qirn
