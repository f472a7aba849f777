#include "files/VFileStream.h"

#include "core/VMemory.h"
#include "files/FileErrorCodes.h"
#include "files/VFile.h"
#include "files/VFileDesc.h"

#include <algorithm>
#include <cstring>

namespace qirn {

namespace {

constexpr size_t kLargestBuffer = 2147483647;

} // namespace

VFileStream::VFileStream(const VFile* inFile, uint32 inOpenOptions) : fFile(inFile), fOpenOptions(inOpenOptions)
{
	if (fFile != nullptr)
		fFile->Retain();
}

VFileStream::~VFileStream()
{
	// Bytes put but never flushed still reach the file: a caller that forgot
	// to close must not lose them.
	if (IsWriting() && GetLastError() == VE_OK && fDesc != nullptr)
		_WriteBuffer();
	ReleaseBuffer();
	delete fDesc;
	if (fFile != nullptr)
		fFile->Release();
}

// ---- Buffer ------------------------------------------------------------------

void VFileStream::_Allocate(size_t inSize)
{
	for (size_t size = std::max<size_t>(inSize, 1); size >= 1; size /= 2) {
		fBuffer = static_cast<char*>(VMemory::NewPtr(size, kTag_Buffer));
		if (fBuffer != nullptr) {
			fBufferCapacity = size;
			break;
		}
	}
	fBufferOffset = GetPos();
	fBufferCount = 0;
}

void VFileStream::ReleaseBuffer()
{
	VMemory::DisposePtr(fBuffer);
	fBuffer = nullptr;
	fBufferCapacity = 0;
	fBufferCount = 0;
}

void VFileStream::AllocateBuffer(size_t inHint)
{
	if (fBuffer == nullptr)
		_Allocate(inHint != 0 && inHint <= fPreferredSize ? inHint : fPreferredSize);
}

size_t VFileStream::_ReadingBufferSize() const
{
	// Never larger than the file being read.
	if (fLogicalSize > 0 && fLogicalSize <= static_cast<sLONG8>(kLargestBuffer))
		return std::min(fPreferredSize, static_cast<size_t>(fLogicalSize));
	return std::min(fPreferredSize, kLargestBuffer);
}

void VFileStream::SetBufferSize(size_t inSize)
{
	if (IsWriting())
		Flush();
	ReleaseBuffer();
	fPreferredSize = inSize;
	if (IsReading())
		_Allocate(_ReadingBufferSize());
	else if (IsWriting())
		_Allocate(std::min(fPreferredSize, kLargestBuffer));
}

VError VFileStream::_WriteBuffer()
{
	VError error = VE_OK;
	if (fBufferCount > 0)
		error = fDesc->PutData(fBuffer, fBufferCount, fBufferOffset);
	fBufferCount = 0;
	return error;
}

// ---- Opening and closing -------------------------------------------------------

VError VFileStream::DoOpenReading()
{
	if (fFile == nullptr)
		return VE_STREAM_NO_FILE;
	if (fDesc == nullptr) {
		// A final link is followed, as reading a file's content does.
		const VError error = fFile->Open(FA_READ, &fDesc, FO_ReadAhead | FO_FollowLink);
		if (error != VE_OK)
			return error;
	}
	fLogicalSize = fDesc->GetSize();
	ReleaseBuffer();
	_Allocate(_ReadingBufferSize());
	fBufferOffset = 0;
	return VE_OK;
}

VError VFileStream::DoOpenWriting()
{
	if (fFile == nullptr)
		return VE_STREAM_NO_FILE;
	if (fDesc != nullptr)
		return VE_STREAM_CANNOT_WRITE;
	const VError error = fFile->Open(FA_SHARED, &fDesc, fOpenOptions);
	if (error != VE_OK)
		return error;
	fLogicalSize = fDesc->GetSize();
	ReleaseBuffer();
	_Allocate(std::min(fPreferredSize, kLargestBuffer));
	fBufferOffset = 0;
	return VE_OK;
}

VError VFileStream::DoCloseReading()
{
	ReleaseBuffer();
	delete fDesc;
	fDesc = nullptr;
	return VE_OK;
}

VError VFileStream::DoCloseWriting(bool inSetSize)
{
	ReleaseBuffer();
	VError error = VE_OK;
	if (inSetSize && fDesc != nullptr)
		error = fDesc->SetSize(fLogicalSize);
	delete fDesc;
	fDesc = nullptr;
	return error;
}

// ---- Bytes ------------------------------------------------------------------------

VError VFileStream::DoGetData(void* outBuffer, VSize* ioCount)
{
	const VSize asked = *ioCount;
	char* out = static_cast<char*>(outBuffer);
	sLONG8 position = GetPos();
	VSize delivered = 0;
	VError error = VE_OK;

	const sLONG8 windowEnd = fBufferOffset + static_cast<sLONG8>(fBufferCount);
	if (fBufferCount > 0 && position >= fBufferOffset && position < windowEnd) {
		const VSize count = std::min<VSize>(asked, static_cast<VSize>(windowEnd - position));
		std::memcpy(out, fBuffer + (position - fBufferOffset), count);
		delivered = count;
		position += static_cast<sLONG8>(count);
	}
	// Nothing is asked of the file past the size this stream knows.
	const VSize rest = asked - delivered;
	const VSize available = position < fLogicalSize ? static_cast<VSize>(fLogicalSize - position) : 0;
	if (rest > 0 && available > 0) {
		VSize got = 0;
		if (rest <= fBufferCapacity) {
			const VSize fill = std::min<VSize>(fBufferCapacity, available);
			fBufferOffset = position;
			fBufferCount = 0;
			error = fDesc->GetData(fBuffer, fill, position, &got);
			fBufferCount = got;
			const VSize count = std::min(rest, got);
			std::memcpy(out + delivered, fBuffer, count);
			delivered += count;
		} else {
			error = fDesc->GetData(out + delivered, std::min(rest, available), position, &got);
			delivered += got;
		}
		if (error == VE_STREAM_EOF)
			error = VE_OK;
	}
	*ioCount = delivered;
	if (error != VE_OK)
		return error;
	return delivered == asked ? VE_OK : VE_STREAM_EOF;
}

VError VFileStream::DoPutData(const void* inBuffer, VSize inCount)
{
	const char* data = static_cast<const char*>(inBuffer);
	const sLONG8 start = GetPos();
	sLONG8 position = start;
	VSize rest = inCount;

	const sLONG8 windowEnd = fBufferOffset + static_cast<sLONG8>(fBufferCount);
	if (fBufferCount > 0 && position >= fBufferOffset && position <= windowEnd) {
		const size_t at = static_cast<size_t>(position - fBufferOffset);
		const VSize count = std::min<VSize>(rest, fBufferCapacity - at);
		std::memcpy(fBuffer + at, data, count);
		fBufferCount = std::max(fBufferCount, at + count);
		data += count;
		rest -= count;
		position += static_cast<sLONG8>(count);
	}
	if (rest > 0) {
		if (const VError error = _WriteBuffer(); error != VE_OK)
			return error;
		if (rest < fBufferCapacity) {
			std::memcpy(fBuffer, data, rest);
			fBufferOffset = position;
			fBufferCount = rest;
		} else {
			fBufferOffset = position + static_cast<sLONG8>(rest);
			if (const VError error = fDesc->PutData(data, rest, position); error != VE_OK)
				return error;
		}
	}
	fLogicalSize = std::max(fLogicalSize, start + static_cast<sLONG8>(inCount));
	return VE_OK;
}

// ---- Positions and size ---------------------------------------------------------------

VError VFileStream::DoSetPos(sLONG8 inPosition)
{
	if (!IsWriting())
		return inPosition > fLogicalSize ? VE_STREAM_EOF : VE_OK;
	// The buffer is written out, not synced: a position is no request to
	// reach the disk.
	VError flushError = VE_OK;
	if (inPosition > fBufferOffset + static_cast<sLONG8>(fBufferCount)) {
		flushError = _WriteBuffer();
		fBufferOffset = inPosition;
	}
	VError sizeError = VE_OK;
	if (inPosition > fLogicalSize) {
		sizeError = fDesc->SetSize(inPosition);
		if (sizeError == VE_OK)
			fLogicalSize = inPosition;
	}
	return flushError != VE_OK ? flushError : sizeError;
}

VError VFileStream::DoFlush()
{
	if (fDesc == nullptr)
		return VE_OK;
	VError error = _WriteBuffer();
	const VError syncError = fDesc->Flush();
	if (error == VE_OK)
		error = syncError;
	fBufferOffset = GetPos();
	return error;
}

VError VFileStream::DoSetSize(sLONG8 inSize)
{
	const sLONG8 windowEnd = fBufferOffset + static_cast<sLONG8>(fBufferCount);
	if (inSize <= fBufferOffset)
		fBufferCount = 0;
	else if (inSize < windowEnd)
		fBufferCount = static_cast<size_t>(inSize - fBufferOffset);
	const VError error = fDesc->SetSize(inSize);
	if (error == VE_OK)
		fLogicalSize = inSize;
	return error;
}

} // namespace qirn
