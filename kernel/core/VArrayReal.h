#pragma once

#include "core/VArrayNumeric.h"
#include "core/VReal.h"

namespace qirn {

// An array of 64-bit reals, with their statistics.
class VArrayReal : public VArrayValueOf<VArrayReal, VArrayNumeric<VArrayReal, Real, 6, true>> {
public:
	VArrayReal() = default;
	explicit VArrayReal(sLONG inCount) { SetCount(inCount); }
	VArrayReal(const VArrayReal& inOther) : VArrayValueOf() { Copy(inOther); }

	Real GetReal(sLONG inPosition) const { return _Get(inPosition); }
	void FromReal(Real inValue, VIndex inPosition) override { _Set(inValue, inPosition); }
	using VArrayValue::Find;
	sLONG Find(Real inValue, sLONG inStart, uBYTE inForward, CompareMethod inMethod) const
	{
		return _Find(inValue, inStart, inForward, inMethod);
	}
	sLONG QuickFind(Real inValue) const { return _QuickFind(inValue); }
	// Each 0.0 for an empty array. GetSquareSum is the sum of the squared
	// differences from the average, GetStdDev that sum divided by the count
	// (the variance: no square root is taken).
	Real GetSum() const;
	Real GetAverage() const;
	Real GetSquareSum() const;
	Real GetStdDev() const;

	// The element kind's conversions, for the shared template.
	static Real Extract(const VValueSingle& inValue) { return inValue.GetReal(); }
	static void Give(VValueSingle& outValue, Real inValue) { outValue.FromReal(inValue); }
	static VValueSingle* NewElementValue() { return new VReal(); }
	static CompareResult CompareToValue(Real inElement, const VValueSingle& inValue)
	{
		return arrays::Compare(inElement, inValue.GetReal());
	}

	static const VValueInfo_array<VArrayReal, 105, Real> sInfo;
};

} // namespace qirn
