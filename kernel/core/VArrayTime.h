#pragma once

#include "core/VArrayNumeric.h"
#include "core/VTime.h"

namespace qirn {

// An array of times, kept as their 64-bit stamps and ordered as unsigned
// numbers (year, month, day, milliseconds from the high bits down).
class VArrayTime : public VArrayValueOf<VArrayTime, VArrayNumeric<VArrayTime, uLONG8, 8, false>> {
public:
	VArrayTime() = default;
	explicit VArrayTime(sLONG inCount) { SetCount(inCount); }
	VArrayTime(const VArrayTime& inOther) : VArrayValueOf() { Copy(inOther); }

	// Outside 1..count the time is the one of stamp 0.
	void GetTime(VTime& outValue, sLONG inPosition) const { outValue.FromStamp(_Get(inPosition)); }
	void FromTime(const VTime& inValue, VIndex inPosition) override { _Set(inValue.GetStamp(), inPosition); }
	using VArrayValue::Find;
	sLONG Find(const VTime& inValue, sLONG inStart, uBYTE inForward, CompareMethod inMethod) const
	{
		return _Find(inValue.GetStamp(), inStart, inForward, inMethod);
	}

	// The element kind's conversions, for the shared template.
	static uLONG8 Extract(const VValueSingle& inValue)
	{
		VTime time;
		inValue.GetTime(time);
		return time.GetStamp();
	}
	static void Give(VValueSingle& outValue, uLONG8 inValue)
	{
		VTime time;
		time.FromStamp(inValue);
		outValue.FromTime(time);
	}
	static VValueSingle* NewElementValue() { return new VTime(); }
	static CompareResult CompareToValue(uLONG8 inElement, const VValueSingle& inValue)
	{
		VTime time;
		time.FromStamp(inElement);
		return time.CompareTo(inValue);
	}

	static const VValueInfo_array<VArrayTime, 107, uLONG8> sInfo;
};

} // namespace qirn
