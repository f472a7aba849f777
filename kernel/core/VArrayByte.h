#pragma once

#include "core/VArrayNumeric.h"
#include "core/VByte.h"

namespace qirn {

// An array of signed 8-bit numbers.
class VArrayByte : public VArrayValueOf<VArrayByte, VArrayNumeric<VArrayByte, sBYTE, 2, true>> {
public:
	VArrayByte() = default;
	explicit VArrayByte(sLONG inCount) { SetCount(inCount); }
	VArrayByte(const VArrayByte& inOther) : VArrayValueOf() { Copy(inOther); }

	sBYTE GetByte(sLONG inPosition) const { return _Get(inPosition); }
	void FromByte(sBYTE inValue, VIndex inPosition) override { _Set(inValue, inPosition); }
	using VArrayValue::Find;
	sLONG Find(sBYTE inValue, sLONG inStart, uBYTE inForward, CompareMethod inMethod) const
	{
		return _Find(inValue, inStart, inForward, inMethod);
	}
	sLONG QuickFind(sBYTE inValue) const { return _QuickFind(inValue); }
	sBYTE GetMin() const { return _Min(); }
	sBYTE GetMax() const { return _Max(); }

	// The element kind's conversions, for the shared template.
	static sBYTE Extract(const VValueSingle& inValue) { return inValue.GetByte(); }
	static void Give(VValueSingle& outValue, sBYTE inValue) { outValue.FromByte(inValue); }
	static VValueSingle* NewElementValue() { return new VByte(); }
	static CompareResult CompareToValue(sBYTE inElement, const VValueSingle& inValue)
	{
		return arrays::Compare(inElement, inValue.GetByte());
	}

	static const VValueInfo_array<VArrayByte, 101, sBYTE> sInfo;
};

} // namespace qirn
