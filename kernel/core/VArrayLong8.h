#pragma once

#include "core/VArrayNumeric.h"
#include "core/VLong8.h"

namespace qirn {

// An array of signed 64-bit numbers.
class VArrayLong8 : public VArrayValueOf<VArrayLong8, VArrayNumeric<VArrayLong8, sLONG8, 5, true>> {
public:
	VArrayLong8() = default;
	explicit VArrayLong8(sLONG inCount) { SetCount(inCount); }
	VArrayLong8(const VArrayLong8& inOther) : VArrayValueOf() { Copy(inOther); }

	sLONG8 GetLong8(sLONG inPosition) const { return _Get(inPosition); }
	void FromLong8(sLONG8 inValue, VIndex inPosition) override { _Set(inValue, inPosition); }
	using VArrayValue::Find;
	sLONG Find(sLONG8 inValue, sLONG inStart, uBYTE inForward, CompareMethod inMethod) const
	{
		return _Find(inValue, inStart, inForward, inMethod);
	}
	sLONG QuickFind(sLONG8 inValue) const { return _QuickFind(inValue); }

	// The element kind's conversions, for the shared template.
	static sLONG8 Extract(const VValueSingle& inValue) { return inValue.GetLong8(); }
	static void Give(VValueSingle& outValue, sLONG8 inValue) { outValue.FromLong8(inValue); }
	static VValueSingle* NewElementValue() { return new VLong8(); }
	static CompareResult CompareToValue(sLONG8 inElement, const VValueSingle& inValue)
	{
		return arrays::Compare(inElement, inValue.GetLong8());
	}

	static const VValueInfo_array<VArrayLong8, 104, sLONG8> sInfo;
};

} // namespace qirn
