#pragma once

#include "core/VArrayValue.h"

namespace qirn {

// An array of Booleans, one bit each: element i is bit (i mod 8) of byte
// i / 8, lowest bit first. The storage takes (count + 8) / 8 bytes. Bits
// beyond the count carry no meaning and are cleared when the count grows
// over them.
class VArrayBoolean : public VArrayValueOf<VArrayBoolean, VArrayValue> {
public:
	VArrayBoolean() : VArrayValueOf(0) {}
	explicit VArrayBoolean(sLONG inCount) : VArrayValueOf(0) { SetCount(inCount); }
	VArrayBoolean(const VArrayBoolean& inOther) : VArrayValueOf(0) { Copy(inOther); }

	uint16 GetElemValueKind() const override { return 1; }
	bool SetCount(sLONG inCount) override;

	// False outside 1..count.
	uint8 GetBoolean(sLONG inPosition) const { return ValidIndex(inPosition) && _Bit(inPosition - 1) ? 1 : 0; }
	void FromBoolean(uint8 inValue, VIndex inPosition) override
	{
		if (ValidIndex(inPosition))
			_SetBit(inPosition - 1, inValue != 0);
	}

	// Looks for an element equal to the value; the method is not used.
	using VArrayValue::Find;
	sLONG Find(const VValueSingle& inValue, sLONG inStart, uBYTE inForward, CompareMethod inMethod) const override;
	sLONG Find(uint8 inValue, sLONG inStart, uBYTE inForward, CompareMethod inMethod) const;

	void FromValue(const VValueSingle& inValue, sLONG inPosition) override;
	void GetValue(VValueSingle& outValue, sLONG inPosition) const override;
	VValueSingle* CloneValue(sLONG inPosition) const override;
	CompareResult CompareTo(const VValueSingle& inValue, bool inDiacritical, VIndex inPosition) const override;

	// The whole array is sorted by counting; other ranges through the
	// interface.
	void Sort(sLONG inFrom, sLONG inTo, uBYTE inDescending) override;
	// The bits stay as they are.
	void Unsort() override {}

	void MoveElements(sLONG inFrom, sLONG inTo, sLONG inCount) override;
	void InitElements(sLONG inFrom, sLONG inCount) override;
	void SwapElements(uBYTE* inData, sLONG inA, sLONG inB) override;
	CompareResult CompareElements(uBYTE* inData, sLONG inA, sLONG inB) override;

	static const VValueInfo_array<VArrayBoolean, 100, uint8> sInfo;

protected:
	void DoWriteElements(VStream* ioStream) const override;
	void DoReadElements(VStream* ioStream) override;
	sLONG8 DoGetMinStreamBytes(sLONG inCount) const override { return inCount > 0 ? _StorageBytes(inCount) : 0; }

private:
	static bool _BitIn(const uBYTE* inData, sLONG inIndex) { return (inData[inIndex >> 3] >> (inIndex & 7)) & 1; }
	static void _SetBitIn(uBYTE* ioData, sLONG inIndex, bool inValue)
	{
		const uBYTE mask = static_cast<uBYTE>(1u << (inIndex & 7));
		if (inValue)
			ioData[inIndex >> 3] |= mask;
		else
			ioData[inIndex >> 3] &= static_cast<uBYTE>(~mask);
	}
	bool _Bit(sLONG inIndex) const { return _BitIn(fData, inIndex); }
	void _SetBit(sLONG inIndex, bool inValue) { _SetBitIn(fData, inIndex, inValue); }
	void _SetBits(sLONG inFrom, sLONG inCount, bool inValue);
};

} // namespace qirn
