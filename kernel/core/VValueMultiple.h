#pragma once

#include "core/VValue.h"

namespace qirn {

class VDuration;
class VString;
class VTime;

// Base of the values that hold an indexed series. Each typed setter falls
// back on a wider one, down to FromReal, which a kind overrides.
class VValueMultiple : public VValue {
public:
	VValueMultiple() = default;
	explicit VValueMultiple(bool inNull) : VValue(inNull) {}

	virtual uint16 GetValueKind() const { return 65535; }
	virtual VIndex GetCount() const = 0;

	virtual void FromBoolean(uint8 inValue, VIndex inElement) { FromWord(inValue, inElement); }
	virtual void FromByte(sBYTE inValue, VIndex inElement) { FromLong(inValue, inElement); }
	virtual void FromWord(sWORD inValue, VIndex inElement) { FromLong(inValue, inElement); }
	virtual void FromLong(sLONG inValue, VIndex inElement) { FromReal(static_cast<Real>(inValue), inElement); }
	virtual void FromLong8(sLONG8 inValue, VIndex inElement) { FromReal(static_cast<Real>(inValue), inElement); }
	virtual void FromReal(Real, VIndex) {}
	virtual void FromString(const VString&, VIndex) {}
	virtual void FromDuration(const VDuration&, VIndex) {}
	virtual void FromTime(const VTime&, VIndex) {}
	virtual CompareResult CompareTo(const VValueSingle&, bool, VIndex) const { return CR_UNRELEVANT; }

	VValue* Clone() const override { return nullptr; }
	bool CanBeEvaluated() const override { return false; }
};

} // namespace qirn
