// The stream form of strings, and their value descriptor.
#include "core/VString.h"

#include "files/VStream.h"
#include "runtime/VError.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace qirn {

const VString_info VString::sInfo;

const VValueInfo* VString::GetValueInfo() const
{
	return &sInfo;
}

VError VString::WriteToStream(VStream* ioStream, sLONG) const
{
	VError err = ioStream->PutLong(static_cast<sLONG>(-fLength));
	if (err == VE_OK && fLength > 0)
		err = ioStream->PutWords(reinterpret_cast<const sWORD*>(fString), fLength);
	return err;
}

VSize VString::GetStreamSpace() const
{
	return fLength == 0 ? 4 : static_cast<VSize>(fLength) * 2 + 10;
}

VError VString::ReadFromStream(VStream* ioStream, sLONG)
{
	sLONG count = 0;
	VError err = ioStream->GetLong(count);
	if (err != VE_OK)
		return err;
	// Reading is not an edit: the dirty flag stays as it was.
	const uint8 dirty = fFlags & kFlag_Dirty;

	int64 length = 0;
	if (count < 0) {
		// INT_MIN has no positive counterpart: no string is that long.
		if (count == INT_MIN) {
			_ThrowError(VE_STRING_ALLOC_FAILED);
			return ioStream->SetError(VE_STRING_ALLOC_FAILED);
		}
		length = -static_cast<int64>(count);
	} else if (count > 0) {
		// The older form: a kind, then the units and their terminator (or,
		// for any other kind, bytes that are skipped).
		sLONG kind = 0;
		err = ioStream->GetLong(kind);
		if (err != VE_OK)
			return err;
		if (kind != 1 && kind != 2)
			return ioStream->SetPosByOffset(static_cast<sLONG8>(count) + 1);
		length = static_cast<int64>(count) + 1;
	}

	// The units arrive in pieces, the string growing with what was really
	// read: a forged length on a short stream never asks for its size in
	// memory, and a short read keeps the units that came.
	constexpr int64 kPiece = 65536;
	Truncate(0);
	int64 done = 0;
	while (done < length && err == VE_OK) {
		sLONG piece = static_cast<sLONG>(std::min(kPiece, length - done));
		if (!_EnsureSize(static_cast<VIndex>(done + piece))) {
			err = ioStream->SetError(VE_STRING_ALLOC_FAILED);
			break;
		}
		sLONG read = piece;
		err = ioStream->GetWords(reinterpret_cast<sWORD*>(fString + done), &read);
		done += std::max<sLONG>(read, 0);
		fLength = static_cast<VIndex>(done);
		fString[fLength] = 0;
	}
	// The older form's terminator is not part of the text.
	if (count > 0 && done == length && fLength > 0)
		fString[--fLength] = 0;
	_Touch();
	fFlags = (fFlags & ~kFlag_Dirty) | dirty;
	return err;
}

namespace {

int32 FlatLength(const void* inPtr)
{
	int32 length = 0;
	std::memcpy(&length, inPtr, sizeof(length));
	return std::max(length, 0);
}

// Unit by unit, a prefix first; flat data need not be aligned.
CompareResult CompareFlatUnits(const void* inPtr1, int32 inLength1, const void* inPtr2, int32 inLength2)
{
	const char* units1 = static_cast<const char*>(inPtr1) + sizeof(int32);
	const char* units2 = static_cast<const char*>(inPtr2) + sizeof(int32);
	const int32 common = std::min(inLength1, inLength2);
	for (int32 i = 0; i < common; ++i) {
		UniChar a = 0, b = 0;
		std::memcpy(&a, units1 + 2 * i, 2);
		std::memcpy(&b, units2 + 2 * i, 2);
		if (a != b)
			return a < b ? CR_SMALLER : CR_BIGGER;
	}
	return inLength1 == inLength2 ? CR_EQUAL : inLength1 < inLength2 ? CR_SMALLER : CR_BIGGER;
}

} // namespace

CompareResult VString_info::CompareTwoPtrToData(const void* inPtr1, const void* inPtr2, bool) const
{
	return CompareFlatUnits(inPtr1, FlatLength(inPtr1), inPtr2, FlatLength(inPtr2));
}

CompareResult VString_info::CompareTwoPtrToDataBegining(const void* inPtr1, const void* inPtr2, bool) const
{
	// The first text cut to the second's length: equal when it begins with it.
	const int32 length2 = FlatLength(inPtr2);
	return CompareFlatUnits(inPtr1, std::min(FlatLength(inPtr1), length2), inPtr2, length2);
}

VSize VString_info::GetSizeOfValueDataPtr(const void* inPtr) const
{
	return sizeof(int32) + 2 * static_cast<VSize>(FlatLength(inPtr));
}

} // namespace qirn
