#pragma once

#include "core/VMAPM.h"
#include "core/VScalarValue.h"

namespace qirn {

// The value of kind 6: a double. Reals compare with a tolerance unless the
// comparison is diacritical.
class VReal : public VScalarValue<VReal, 6, Real> {
public:
	using VScalarValue::VScalarValue;
	VReal() = default;
	VReal(const VReal&) = default;
	VReal& operator=(const VReal&) = default;
	VReal& operator=(Real inValue)
	{
		_Store(inValue);
		return *this;
	}

	void GetXMLString(VString& outText, uint32 inOptions) const override;
	// Either ',' or '.' as the decimal point; text that is not wholly a
	// number answers false and changes nothing.
	bool FromXMLString(const VString& inText) override;
	VError GetJSONString(VString& outText, uint32 inOptions) const override;
	VError FromJSONString(const VString& inText, uint32 inOptions) override;

	// Integral values within 2^53 as plain integers; NaN and infinities as
	// "NaN", "INF" and "-INF" in XML and "null" in JSON; others by "%.14G".
	static void RealToXMLString(Real inValue, VString& outText);
	static void RealToJSONString(Real inValue, VString& outText);

	// NaN equals NaN and is smaller than any number.
	class VValueInfo_real : public VValueInfo_scalar<VReal, 6, Real> {
	public:
		CompareResult CompareTwoPtrToDataWithOptions(const void* inPtr1, const void* inPtr2,
													 const VCompareOptions& inOptions) const override;
	};

	static const VValueInfo_real sInfo;
};

} // namespace qirn
