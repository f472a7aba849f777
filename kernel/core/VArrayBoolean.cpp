#include "core/VArrayBoolean.h"

#include "core/VBoolean.h"
#include "files/VStream.h"

namespace qirn {

bool VArrayBoolean::SetCount(sLONG inCount)
{
	const sLONG oldCount = fCount;
	if (!VArrayValue::SetCount(inCount))
		return false;
	// The last byte may hold bits beyond the old count (read from a stream
	// or left by a deletion): new elements are false.
	if (fCount > oldCount)
		_SetBits(oldCount, fCount - oldCount, false);
	return true;
}

void VArrayBoolean::_SetBits(sLONG inFrom, sLONG inCount, bool inValue)
{
	sLONG i = inFrom;
	const sLONG end = inFrom + inCount;
	for (; i < end && (i & 7) != 0; ++i)
		_SetBit(i, inValue);
	for (; i + 8 <= end; i += 8)
		fData[i >> 3] = inValue ? 0xFF : 0;
	for (; i < end; ++i)
		_SetBit(i, inValue);
}

sLONG VArrayBoolean::Find(const VValueSingle& inValue, sLONG inStart, uBYTE inForward, CompareMethod inMethod) const
{
	return Find(inValue.GetBoolean(), inStart, inForward, inMethod);
}

sLONG VArrayBoolean::Find(uint8 inValue, sLONG inStart, uBYTE inForward, CompareMethod) const
{
	if (fCount == 0 || inStart < 1 || inStart > fCount || fData == nullptr)
		return -1;
	const bool sought = inValue != 0;
	const sLONG step = inForward != 0 ? 1 : -1;
	for (sLONG i = inStart - 1; i >= 0 && i < fCount; i += step) {
		if (_Bit(i) == sought)
			return i + 1;
	}
	return -1;
}

void VArrayBoolean::FromValue(const VValueSingle& inValue, sLONG inPosition)
{
	FromBoolean(inValue.GetBoolean(), inPosition);
}

void VArrayBoolean::GetValue(VValueSingle& outValue, sLONG inPosition) const
{
	outValue.FromBoolean(GetBoolean(inPosition));
}

VValueSingle* VArrayBoolean::CloneValue(sLONG inPosition) const
{
	VValueSingle* value = new VBoolean();
	GetValue(*value, inPosition);
	return value;
}

CompareResult VArrayBoolean::CompareTo(const VValueSingle& inValue, bool, VIndex inPosition) const
{
	return arrays::Compare<uint8>(GetBoolean(inPosition), inValue.GetBoolean() != 0 ? 1 : 0);
}

void VArrayBoolean::Sort(sLONG inFrom, sLONG inTo, uBYTE inDescending)
{
	if (inFrom != 1 || inTo != fCount) {
		VArrayValue::Sort(inFrom, inTo, inDescending);
		return;
	}
	if (fCount < 2)
		return;
	sLONG trues = 0;
	for (sLONG i = 0; i < fCount; ++i)
		trues += _Bit(i) ? 1 : 0;
	if (inDescending != 0) {
		_SetBits(0, trues, true);
		_SetBits(trues, fCount - trues, false);
	} else {
		_SetBits(0, fCount - trues, false);
		_SetBits(fCount - trues, trues, true);
	}
}

void VArrayBoolean::MoveElements(sLONG inFrom, sLONG inTo, sLONG inCount)
{
	if (inFrom < 0 || inTo < 0 || inCount < 1 || inFrom == inTo)
		return;
	if (static_cast<sLONG8>(inFrom) + inCount > fCount || static_cast<sLONG8>(inTo) + inCount > fCount)
		return;
	// Bit by bit, in the direction that does not overwrite what is still to
	// be moved.
	if (inTo > inFrom) {
		for (sLONG k = inCount - 1; k >= 0; --k)
			_SetBit(inTo + k, _Bit(inFrom + k));
	} else {
		for (sLONG k = 0; k < inCount; ++k)
			_SetBit(inTo + k, _Bit(inFrom + k));
	}
}

void VArrayBoolean::InitElements(sLONG inFrom, sLONG inCount)
{
	if (inFrom < 0 || inCount < 1 || static_cast<sLONG8>(inFrom) + inCount > fCount)
		return;
	_SetBits(inFrom, inCount, false);
}

void VArrayBoolean::SwapElements(uBYTE* inData, sLONG inA, sLONG inB)
{
	const bool a = _BitIn(inData, inA);
	_SetBitIn(inData, inA, _BitIn(inData, inB));
	_SetBitIn(inData, inB, a);
}

CompareResult VArrayBoolean::CompareElements(uBYTE* inData, sLONG inA, sLONG inB)
{
	return arrays::Compare<uint8>(_BitIn(inData, inA) ? 1 : 0, _BitIn(inData, inB) ? 1 : 0);
}

void VArrayBoolean::DoWriteElements(VStream* ioStream) const
{
	ioStream->PutData(fData, static_cast<VSize>(_StorageBytes(fCount)));
}

void VArrayBoolean::DoReadElements(VStream* ioStream)
{
	ioStream->GetData(fData, static_cast<VSize>(_StorageBytes(fCount)));
}

} // namespace qirn
