#pragma once

#include "core/VArrayNumeric.h"
#include "core/VLong.h"

namespace qirn {

// An array of signed 32-bit numbers.
class VArrayLong : public VArrayValueOf<VArrayLong, VArrayNumeric<VArrayLong, sLONG, 4, true>> {
public:
	VArrayLong() = default;
	explicit VArrayLong(sLONG inCount) { SetCount(inCount); }
	VArrayLong(const VArrayLong& inOther) : VArrayValueOf() { Copy(inOther); }
	VArrayLong& operator=(const VArrayLong& inOther)
	{
		Copy(inOther);
		return *this;
	}

	sLONG GetLong(sLONG inPosition) const { return _Get(inPosition); }
	void FromLong(sLONG inValue, VIndex inPosition) override { _Set(inValue, inPosition); }
	using VArrayValue::Find;
	sLONG Find(sLONG inValue, sLONG inStart, uBYTE inForward, CompareMethod inMethod) const
	{
		return _Find(inValue, inStart, inForward, inMethod);
	}
	sLONG QuickFind(sLONG inValue) const { return _QuickFind(inValue); }
	sLONG GetMin() const { return _Min(); }
	sLONG GetMax() const { return _Max(); }

	// The element kind's conversions, for the shared template.
	static sLONG Extract(const VValueSingle& inValue) { return inValue.GetLong(); }
	static void Give(VValueSingle& outValue, sLONG inValue) { outValue.FromLong(inValue); }
	static VValueSingle* NewElementValue() { return new VLong(); }
	static CompareResult CompareToValue(sLONG inElement, const VValueSingle& inValue)
	{
		return arrays::Compare(inElement, inValue.GetLong());
	}

	static const VValueInfo_array<VArrayLong, 103, sLONG> sInfo;
};

} // namespace qirn
