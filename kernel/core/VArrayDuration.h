#pragma once

#include "core/VArrayNumeric.h"
#include "core/VDuration.h"

namespace qirn {

// An array of durations, kept as signed 64-bit milliseconds.
class VArrayDuration : public VArrayValueOf<VArrayDuration, VArrayNumeric<VArrayDuration, sLONG8, 9, false>> {
public:
	VArrayDuration() = default;
	explicit VArrayDuration(sLONG inCount) { SetCount(inCount); }
	VArrayDuration(const VArrayDuration& inOther) : VArrayValueOf() { Copy(inOther); }

	// Outside 1..count the duration is 0.
	void GetDuration(VDuration& outValue, sLONG inPosition) const { outValue.FromNbMilliseconds(_Get(inPosition)); }
	void FromDuration(const VDuration& inValue, VIndex inPosition) override
	{
		_Set(inValue.ConvertToMilliseconds(), inPosition);
	}
	using VArrayValue::Find;
	sLONG Find(const VDuration& inValue, sLONG inStart, uBYTE inForward, CompareMethod inMethod) const
	{
		return _Find(inValue.ConvertToMilliseconds(), inStart, inForward, inMethod);
	}
	sLONG QuickFind(const VDuration& inValue) const { return _QuickFind(inValue.ConvertToMilliseconds()); }

	// The element kind's conversions, for the shared template.
	static sLONG8 Extract(const VValueSingle& inValue)
	{
		VDuration duration;
		inValue.GetDuration(duration);
		return duration.ConvertToMilliseconds();
	}
	static void Give(VValueSingle& outValue, sLONG8 inValue) { outValue.FromDuration(VDuration(inValue)); }
	static VValueSingle* NewElementValue() { return new VDuration(); }
	static CompareResult CompareToValue(sLONG8 inElement, const VValueSingle& inValue)
	{
		return VDuration(inElement).CompareTo(inValue);
	}

	static const VValueInfo_array<VArrayDuration, 108, sLONG8> sInfo;
};

} // namespace qirn
