#include "core/VArrayValue.h"

#include "core/VDuration.h"
#include "core/VMemory.h"
#include "core/VString.h"
#include "core/VTime.h"
#include "files/VStream.h"
#include "runtime/VError.h"

#include <algorithm>
#include <climits>
#include <cstdarg>
#include <cstring>

namespace qirn {

namespace {

constexpr sLONG kVVAL = 'VVAL';
constexpr int kMaxSynchronizedArrays = 15;

} // namespace

VArrayValue::~VArrayValue()
{
	_FreeStorage();
}

void VArrayValue::_FreeStorage()
{
	VMemory::DisposePtr(fData);
	fData = nullptr;
	fDataSize = 0;
	fCapacity = 0;
}

bool VArrayValue::_ResizeStorageOutOfRoom(sLONG8 inBytes)
{
	if (inBytes < 0 || inBytes > INT_MAX) {
		_ThrowError(VE_MEMORY_FULL);
		return false;
	}
	if (inBytes == 0) {
		_FreeStorage();
		return true;
	}
	if (inBytes > fCapacity) {
		// Half as much again as asked, so that appends one by one are not
		// quadratic; exactly what is asked when that much is refused.
		sLONG8 wanted = std::min<sLONG8>(inBytes + inBytes / 2, INT_MAX);
		if (fCapacity == 0 && fCount == 0)
			wanted = inBytes; // the first sizing is often the last one
		uBYTE* block = nullptr;
		sLONG8 capacity = 0;
		for (sLONG8 size : {wanted, inBytes}) {
			block = static_cast<uBYTE*>(fData == nullptr ? VMemory::NewPtr(static_cast<size_t>(size), 'varr')
														  : VMemory::SetPtrSize(fData, static_cast<size_t>(size)));
			if (block != nullptr) {
				capacity = size;
				break;
			}
		}
		if (block == nullptr) {
			_ThrowError(VE_MEMORY_FULL);
			return false;
		}
		// The old spare room is zero already; only the bytes gained are not.
		std::memset(block + fCapacity, 0, static_cast<size_t>(capacity - fCapacity));
		fData = block;
		fCapacity = capacity;
	} else if (inBytes < fDataSize) {
		std::memset(fData + inBytes, 0, static_cast<size_t>(fDataSize - inBytes));
		// Give back most of a block that shrank a lot; keeping it is no fault.
		if (inBytes < fCapacity / 4) {
			if (uBYTE* block = static_cast<uBYTE*>(VMemory::SetPtrSize(fData, static_cast<size_t>(inBytes)))) {
				fData = block;
				fCapacity = inBytes;
			}
		}
	}
	fDataSize = static_cast<sLONG>(inBytes);
	return true;
}

bool VArrayValue::SetCount(sLONG inCount)
{
	if (inCount < 0)
		inCount = 0;
	if (inCount == fCount)
		return true;
	const sLONG8 bytes = _StorageBytes(inCount);
	if (bytes > INT_MAX) {
		_ThrowError(VE_MEMORY_FULL);
		return false;
	}
	if (inCount < fCount) {
		DeleteElements(inCount, fCount - inCount);
		// Shrinking gives nothing up that the count still needs.
		_ResizeStorage(bytes);
		fCount = inCount;
		return true;
	}
	if (!_ResizeStorage(bytes))
		return false;
	fCount = inCount;
	return true;
}

bool VArrayValue::SetDataSize(sLONG inBytes)
{
	// The count never claims more than the storage holds.
	if (inBytes < _StorageBytes(fCount) && fCount > 0)
		return false;
	return _ResizeStorage(std::max<sLONG>(inBytes, 0));
}

bool VArrayValue::Insert(sLONG inPosition, sLONG inCount)
{
	if (inPosition < 1 || inPosition > fCount + 1 || inCount < 0)
		return false;
	if (inCount == 0)
		return true;
	const sLONG oldCount = fCount;
	if (static_cast<sLONG8>(oldCount) + inCount > INT_MAX) {
		_ThrowError(VE_MEMORY_FULL);
		return false;
	}
	if (!SetCount(oldCount + inCount))
		return false;
	// Elements added at the end are the storage's new bytes, already zero.
	if (inPosition <= oldCount) {
		MoveElements(inPosition - 1, inPosition - 1 + inCount, oldCount - inPosition + 1);
		InitElements(inPosition - 1, inCount);
	}
	return true;
}

void VArrayValue::Delete(sLONG inPosition, sLONG inCount)
{
	if (fData == nullptr || !ValidIndex(inPosition) || inCount < 1)
		return;
	inCount = std::min(inCount, fCount - inPosition + 1);
	DeleteElements(inPosition - 1, inCount);
	const sLONG behind = fCount - inPosition - inCount + 1;
	if (behind > 0)
		MoveElements(inPosition - 1 + inCount, inPosition - 1, behind);
	// The places left behind are not released again: they are gone with the
	// count, not deleted elements.
	fCount -= inCount;
	_ResizeStorage(_StorageBytes(fCount));
}

void VArrayValue::MoveElements(sLONG inFrom, sLONG inTo, sLONG inCount)
{
	if (inFrom < 0 || inTo < 0 || inCount < 1 || inFrom == inTo)
		return;
	if (static_cast<sLONG8>(inFrom) + inCount > fCount || static_cast<sLONG8>(inTo) + inCount > fCount)
		return;
	std::memmove(fData + static_cast<size_t>(inTo) * fElemSize, fData + static_cast<size_t>(inFrom) * fElemSize,
				 static_cast<size_t>(inCount) * fElemSize);
}

void VArrayValue::DeleteElements(sLONG, sLONG) {}

void VArrayValue::InitElements(sLONG inFrom, sLONG inCount)
{
	if (inFrom < 0 || inCount < 1 || static_cast<sLONG8>(inFrom) + inCount > fCount)
		return;
	std::memset(fData + static_cast<size_t>(inFrom) * fElemSize, 0, static_cast<size_t>(inCount) * fElemSize);
}

bool VArrayValue::Copy(const VArrayValue& inSource)
{
	if (&inSource == this)
		return true;
	// Another layout would be read as this one: pointers taken for numbers,
	// bits for bytes.
	if (inSource.fElemSize != fElemSize ||
		((DoOwnsElements() || inSource.DoOwnsElements()) && inSource.GetElemValueKind() != GetElemValueKind()))
		return false;
	if (fCount != 0)
		SetCount(0);
	if (!_ResizeStorage(inSource.fDataSize)) {
		SetCount(0);
		_FreeStorage();
		return false;
	}
	if (inSource.fDataSize > 0)
		std::memcpy(fData, inSource.fData, static_cast<size_t>(inSource.fDataSize));
	fCount = inSource.fCount;
	return true;
}

void VArrayValue::Sort(sLONG inFrom, sLONG inTo, uBYTE inDescending)
{
	if (inFrom < 1 || inFrom >= inTo || inTo > fCount)
		return;
	ISortable* sortables[2] = {this, nullptr};
	uBYTE descending = inDescending;
	ISortable::MultiCriteriaQSort(sortables, &descending, 1, inFrom - 1, inTo - 1);
}

void VArrayValue::Unsort()
{
	if (fCount < 2)
		return;
	const sLONG last = fCount - 1;
	sLONG q = last;
	// With an even count p steps over the last element: it stops there too.
	for (sLONG p = 0; p < last; p += 2) {
		if (p != q)
			SwapElements(fData, p, q);
		q -= 3;
		if (q < 0)
			q = last;
	}
}

bool VArrayValue::SynchronizedSort(uBYTE inDescending, VArrayValue* inFirst, ...)
{
	if (inFirst == nullptr)
		return false;
	ISortable* sortables[kMaxSynchronizedArrays + 1];
	sortables[0] = inFirst;
	int count = 1;
	bool longEnough = true;
	va_list args;
	va_start(args, inFirst);
	while (count < kMaxSynchronizedArrays) {
		VArrayValue* array = va_arg(args, VArrayValue*);
		if (array == nullptr)
			break;
		if (array->GetCount() < inFirst->GetCount())
			longEnough = false;
		sortables[count++] = array;
	}
	va_end(args);
	sortables[count] = nullptr;
	if (!longEnough)
		return false;
	uBYTE descending = inDescending;
	ISortable::MultiCriteriaQSort(sortables, &descending, 1, 0, inFirst->GetCount() - 1);
	return true;
}

// ---------------------------------------------------------------------------
// Appending

sLONG VArrayValue::AppendBoolean(uint8 inValue)
{
	if (Insert(fCount + 1, 1))
		FromBoolean(inValue, fCount);
	return fCount;
}

sLONG VArrayValue::AppendByte(sBYTE inValue)
{
	if (Insert(fCount + 1, 1))
		FromByte(inValue, fCount);
	return fCount;
}

sLONG VArrayValue::AppendWord(sWORD inValue)
{
	if (Insert(fCount + 1, 1))
		FromWord(inValue, fCount);
	return fCount;
}

sLONG VArrayValue::AppendLong(sLONG inValue)
{
	if (Insert(fCount + 1, 1))
		FromLong(inValue, fCount);
	return fCount;
}

sLONG VArrayValue::AppendLong8(sLONG8 inValue)
{
	if (Insert(fCount + 1, 1))
		FromLong8(inValue, fCount);
	return fCount;
}

sLONG VArrayValue::AppendReal(Real inValue)
{
	if (Insert(fCount + 1, 1))
		FromReal(inValue, fCount);
	return fCount;
}

sLONG VArrayValue::AppendDuration(const VDuration& inValue)
{
	if (Insert(fCount + 1, 1))
		FromDuration(inValue, fCount);
	return fCount;
}

sLONG VArrayValue::AppendTime(const VTime& inValue)
{
	if (Insert(fCount + 1, 1))
		FromTime(inValue, fCount);
	return fCount;
}

sLONG VArrayValue::AppendString(const VString& inValue)
{
	if (Insert(fCount + 1, 1))
		FromString(inValue, fCount);
	return fCount;
}

// ---------------------------------------------------------------------------
// Stream form

VError VArrayValue::WriteToStream(VStream* ioStream, sLONG inParam) const
{
	if (inParam == kVVAL)
		ioStream->PutLong(static_cast<sLONG>(GetValueKind()));
	ioStream->PutLong(fCount);
	if (fCount > 0 && ioStream->GetLastError() == VE_OK)
		DoWriteElements(ioStream);
	return ioStream->GetLastError();
}

VError VArrayValue::ReadFromStream(VStream* ioStream, sLONG)
{
	sLONG count = 0;
	VError err = ioStream->GetLong(count);
	if (err != VE_OK)
		return err;
	// A forged count never sizes the storage: the bytes must be there first.
	if (count < 0 || DoGetMinStreamBytes(count) > ioStream->GetSize() - ioStream->GetPos())
		return ioStream->SetError(VE_STREAM_EOF);
	if (!SetCount(count))
		return ioStream->SetError(VE_MEMORY_FULL);
	if (count > 0)
		DoReadElements(ioStream);
	return ioStream->GetLastError();
}

} // namespace qirn
