#pragma once

#include "core/VArrayNumeric.h"
#include "core/VWord.h"

namespace qirn {

// An array of signed 16-bit numbers.
class VArrayWord : public VArrayValueOf<VArrayWord, VArrayNumeric<VArrayWord, sWORD, 3, true>> {
public:
	VArrayWord() = default;
	explicit VArrayWord(sLONG inCount) { SetCount(inCount); }
	VArrayWord(const VArrayWord& inOther) : VArrayValueOf() { Copy(inOther); }

	sWORD GetWord(sLONG inPosition) const { return _Get(inPosition); }
	void FromWord(sWORD inValue, VIndex inPosition) override { _Set(inValue, inPosition); }
	using VArrayValue::Find;
	sLONG Find(sWORD inValue, sLONG inStart, uBYTE inForward, CompareMethod inMethod) const
	{
		return _Find(inValue, inStart, inForward, inMethod);
	}
	sLONG QuickFind(sWORD inValue) const { return _QuickFind(inValue); }
	sWORD GetMin() const { return _Min(); }
	sWORD GetMax() const { return _Max(); }

	// The element kind's conversions, for the shared template.
	static sWORD Extract(const VValueSingle& inValue) { return inValue.GetWord(); }
	static void Give(VValueSingle& outValue, sWORD inValue) { outValue.FromWord(inValue); }
	static VValueSingle* NewElementValue() { return new VWord(); }
	static CompareResult CompareToValue(sWORD inElement, const VValueSingle& inValue)
	{
		return arrays::Compare(inElement, inValue.GetWord());
	}

	static const VValueInfo_array<VArrayWord, 102, sWORD> sInfo;
};

} // namespace qirn
