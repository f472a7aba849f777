#include "files/VStream.h"

#include "core/TextUnits.h"
#include "core/VByteSwap.h"
#include "core/VMemory.h"
#include "runtime/VError.h"
#include "runtime/VProgressIndicator.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace qirn {

namespace {

constexpr size_t kCopyBlockSize = 4096;
constexpr int32 kSwapBufferTag = 'stm ';

} // namespace

VError VStream::SetError(VError inError)
{
	if (inError != VE_OK) {
		if (fError == VE_OK)
			fError = inError;
		_ThrowError(inError);
	}
	return inError;
}

VError VStream::_Refuse(VError inError)
{
	_ThrowError(inError);
	return inError;
}

// ---------------------------------------------------------------------------
// Opening and closing

VError VStream::OpenReading()
{
	// A stray opening must not stop a stream at work: a writer that got it
	// would lose everything it writes afterwards.
	if (fIsReading || fIsWriting)
		return _Refuse(VE_STREAM_ALREADY_OPENED);
	if (fIsWriteOnly)
		return _Refuse(VE_STREAM_CANNOT_READ);
	VError err = _PrepareDecoder();
	if (err != VE_OK)
		return _Refuse(err);
	fPosition = 0;
	fError = DoOpenReading();
	if (fError != VE_OK)
		return _Refuse(fError);
	fIsReading = true;
	_BeginProgressSession(true);
	return VE_OK;
}

VError VStream::OpenReading(uint32 inSignature)
{
	VError err = OpenReading();
	if (err != VE_OK)
		return err;
	uint32 signature = 0;
	err = GetLong(signature);
	if (err != VE_OK)
		return err;
	if (signature == inSignature)
		return VE_OK;
	if (ByteSwap(signature) == inSignature) {
		// The writer's byte order differs from the one assumed so far.
		fNeedSwap = !fNeedSwap;
		return VE_OK;
	}
	DoSetPos(0);
	fPosition = 0;
	return _Refuse(VE_STREAM_BAD_SIGNATURE);
}

VError VStream::OpenWriting()
{
	if (fIsReading || fIsWriting)
		return _Refuse(VE_STREAM_ALREADY_OPENED);
	if (fIsReadOnly)
		return _Refuse(VE_STREAM_CANNOT_WRITE);
	// A missing encoder only matters to text: bytes can still be written.
	VError err = _PrepareEncoder();
	if (err != VE_OK)
		_ThrowError(err);
	fPosition = 0;
	fError = DoOpenWriting();
	if (fError != VE_OK)
		return _Refuse(fError);
	fIsWriting = true;
	_BeginProgressSession(false);
	return VE_OK;
}

VError VStream::CloseReading()
{
	if (!fIsReading)
		return _Refuse(VE_STREAM_CANNOT_READ);
	VError err = DoCloseReading();
	if (err != VE_OK)
		SetError(err);
	_EndProgressSession();
	fIsReading = false;
	return fError;
}

VError VStream::CloseWriting(bool inSetSize)
{
	if (!fIsWriting)
		return _Refuse(VE_STREAM_CANNOT_WRITE);
	if (fError == VE_OK)
		SetError(DoFlush());
	VError err = DoCloseWriting(inSetSize);
	if (err != VE_OK)
		SetError(err);
	_EndProgressSession();
	fIsWriting = false;
	return fError;
}

// ---------------------------------------------------------------------------
// Positions and size

VError VStream::SetPos(sLONG8 inPosition)
{
	if (fError != VE_OK)
		return fError;
	if (!fIsReading && !fIsWriting)
		return SetError(VE_STREAM_NOT_OPENED);
	if (inPosition < 0)
		return SetError(VE_STREAM_BAD_OFFSET);
	VError err = DoSetPos(inPosition);
	if (err != VE_OK)
		return SetError(err);
	fPosition = inPosition;
	return VE_OK;
}

VError VStream::SetPosByOffset(sLONG8 inOffset)
{
	if (fError != VE_OK)
		return fError;
	if (!fIsReading && !fIsWriting)
		return SetError(VE_STREAM_NOT_OPENED);
	// Neither before the start nor past what a position can hold.
	if (inOffset < -fPosition || inOffset > std::numeric_limits<sLONG8>::max() - fPosition)
		return SetError(VE_STREAM_BAD_OFFSET);
	return SetPos(fPosition + inOffset);
}

VError VStream::SetSize(sLONG8 inSize)
{
	if (fError != VE_OK)
		return fError;
	if (!fIsWriting)
		return SetError(VE_STREAM_CANNOT_WRITE);
	if (inSize < 0)
		return SetError(VE_STREAM_BAD_OFFSET);
	VError err = DoSetSize(inSize);
	if (err != VE_OK)
		return SetError(err);
	if (fPosition > inSize)
		fPosition = inSize;
	return VE_OK;
}

VError VStream::Flush()
{
	if (fError != VE_OK)
		return fError;
	if (!fIsWriting)
		return _Refuse(VE_STREAM_CANNOT_WRITE);
	return SetError(DoFlush());
}

// ---------------------------------------------------------------------------
// Bytes

VError VStream::_GetDataFailed(VSize inAsked, VSize* ioCount, VError inError)
{
	if (*ioCount > inAsked)
		*ioCount = inAsked;
	fPosition += static_cast<sLONG8>(*ioCount);
	if (inError == VE_OK && *ioCount < inAsked)
		inError = VE_STREAM_EOF;
	SetError(inError);
	if (fProgress != nullptr)
		_ReportProgress(inAsked);
	return inError;
}

// ---------------------------------------------------------------------------
// Progress

void VStream::SetProgressIndicator(VProgressIndicator* inIndicator)
{
	if (inIndicator == fProgress)
		return;
	// A session begun on the old indicator ends there.
	_EndProgressSession();
	VProgressIndicator* old = fProgress;
	fProgress = RetainRefCountable(inIndicator);
	ReleaseRefCountable(&old);
}

void VStream::_BeginProgressSession(bool inReading)
{
	if (fProgress == nullptr)
		return;
	if (inReading)
		fProgress->BeginSession(GetSize(), VString("Reading From Stream"));
	else
		fProgress->BeginUndeterminedSession(VString("Writing to Stream"));
	fProgressSessionOpen = true;
}

void VStream::_EndProgressSession()
{
	if (fProgress != nullptr && fProgressSessionOpen)
		fProgress->EndSession();
	fProgressSessionOpen = false;
}

VError VStream::_ReportProgress(VSize inCount)
{
	if (fProgress->Increment(static_cast<sLONG8>(inCount)))
		return VE_OK;
	return SetError(VE_STREAM_USER_ABORTED);
}

VError VStream::_GetDataRefused(VSize* ioCount)
{
	*ioCount = 0;
	if (fError != VE_OK)
		return fError;
	return SetError(VE_STREAM_CANNOT_READ);
}

VError VStream::_PutDataRefused()
{
	if (fError != VE_OK)
		return fError;
	if (!fIsWriting)
		return SetError(VE_STREAM_CANNOT_WRITE);
	return VE_OK;	// nothing to write
}

VError VStream::_GetDataFromBlock(const void* inBlock, VSize inSize, void* outBuffer, VSize* ioCount) const
{
	VSize position = static_cast<VSize>(fPosition);
	VSize available = position < inSize ? inSize - position : 0;
	VError err = VE_OK;
	if (*ioCount > available) {
		*ioCount = available;
		err = VE_STREAM_EOF;
	}
	// An empty block may have no address at all.
	if (*ioCount > 0)
		std::memcpy(outBuffer, static_cast<const char*>(inBlock) + position, *ioCount);
	return err;
}

VError VStream::UngetData(const void* inBuffer, VSize inCount)
{
	if (inCount == 0)
		return VE_OK;
	// Running into the end does not prevent pushing back what was read.
	if (fError != VE_OK && fError != VE_STREAM_EOF)
		return fError;
	if (!fIsReading)
		return SetError(VE_STREAM_CANNOT_READ);
	if (inCount > static_cast<VSize>(fPosition))
		return SetError(VE_STREAM_CANNOT_UNGET_DATA);
	VError err = DoUngetData(inBuffer, inCount);
	if (err != VE_OK)
		return SetError(err);
	fPosition -= static_cast<sLONG8>(inCount);
	return VE_OK;
}

VError VStream::PutContentInto(VStream* inDestination)
{
	VError err = SetPos(0);
	if (err != VE_OK)
		return err;
	char buffer[kCopyBlockSize];
	sLONG8 remaining = GetSize();
	while (remaining > 0 && err == VE_OK) {
		VSize count = static_cast<VSize>(std::min<sLONG8>(remaining, kCopyBlockSize));
		err = GetData(buffer, count);
		if (err == VE_OK)
			err = inDestination->PutData(buffer, count);
		remaining -= static_cast<sLONG8>(count);
	}
	return err;
}

VError VStream::PutHexBytes(const char* inBytes, VSize inCount)
{
	const char* const kDigits = kUpperHexDigits;
	char buffer[2 * 256];
	VError err = fError;
	while (inCount > 0 && err == VE_OK) {
		VSize count = std::min<VSize>(inCount, 256);
		for (VSize i = 0; i < count; ++i) {
			uBYTE byte = static_cast<uBYTE>(inBytes[i]);
			buffer[2 * i] = kDigits[byte >> 4];
			buffer[2 * i + 1] = kDigits[byte & 0x0F];
		}
		err = PutData(buffer, 2 * count);
		inBytes += count;
		inCount -= count;
	}
	return err;
}

// ---------------------------------------------------------------------------
// Typed numbers

VError VStream::GetBoolean(bool& outValue)
{
	uBYTE byte = 0;
	VError err = GetByte(byte);
	if (err == VE_OK)
		outValue = byte != 0;
	return err;
}

template <typename T>
VError VStream::_PutArray(const T* inValues, sLONG inCount)
{
	if (inCount < 1)
		return fError;
	VSize size = static_cast<VSize>(inCount) * sizeof(T);
	if (!fNeedSwap)
		return PutData(inValues, size);
	if (fError != VE_OK)
		return fError;
	// The caller's array is never changed: a copy is swapped and written.
	T* copy = static_cast<T*>(VMemory::NewPtr(size, kSwapBufferTag));
	if (copy == nullptr)
		return SetError(VE_MEMORY_FULL);
	for (sLONG i = 0; i < inCount; ++i)
		copy[i] = ByteSwap(inValues[i]);
	VError err = PutData(copy, size);
	VMemory::DisposePtr(copy);
	return err;
}

template <typename T>
VError VStream::_GetArray(T* outValues, sLONG* ioCount)
{
	if (*ioCount < 1) {
		*ioCount = 0;
		return fError;
	}
	VSize size = static_cast<VSize>(*ioCount) * sizeof(T);
	VError err = GetData(outValues, &size);
	*ioCount = static_cast<sLONG>(size / sizeof(T));
	if (fNeedSwap)
		ByteSwapInPlace(outValues, static_cast<size_t>(*ioCount));
	return err;
}

VError VStream::PutWords(const sWORD* inValues, sLONG inCount) { return _PutArray(inValues, inCount); }
VError VStream::PutLongs(const sLONG* inValues, sLONG inCount) { return _PutArray(inValues, inCount); }
VError VStream::PutLong8s(const sLONG8* inValues, sLONG inCount) { return _PutArray(inValues, inCount); }
VError VStream::PutReals(const Real* inValues, sLONG inCount) { return _PutArray(inValues, inCount); }
VError VStream::GetWords(sWORD* outValues, sLONG* ioCount) { return _GetArray(outValues, ioCount); }
VError VStream::GetLongs(sLONG* outValues, sLONG* ioCount) { return _GetArray(outValues, ioCount); }
VError VStream::GetLong8s(sLONG8* outValues, sLONG* ioCount) { return _GetArray(outValues, ioCount); }
VError VStream::GetReals(Real* outValues, sLONG* ioCount) { return _GetArray(outValues, ioCount); }

} // namespace qirn
