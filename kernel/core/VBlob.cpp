#include "core/VBlob.h"

#include "files/VStream.h"
#include "runtime/VError.h"

#include <algorithm>
#include <cstring>

namespace qirn {

const VValueInfo* VBlob::GetValueInfo() const
{
	return &VBlobWithPtr::sInfo;
}

VError VBlob::FromData(const void* inData, VSize inSize)
{
	VError err = SetSize(inSize);
	if (err != VE_OK || inSize == 0)
		return err;
	return PutData(inData, inSize, 0);
}

void VBlob::Clear()
{
	FromData(nullptr, 0);
}

void VBlob::DoNullChanged()
{
	if (IsNull())
		SetSize(0);
}

void* VBlob::_WriteFlatForm(void* ioData, const void* inBytes, VSize inSize)
{
	// A length the form cannot carry would make every later value unreadable.
	if (inSize > kMaxSize) {
		_ThrowError(VE_MEMORY_FULL);
		return nullptr;
	}
	const int32 length = static_cast<int32>(inSize);
	char* bytes = static_cast<char*>(ioData);
	std::memcpy(bytes, &length, sizeof(length));
	if (inSize > 0)
		std::memcpy(bytes + sizeof(length), inBytes, inSize);
	return bytes + sizeof(length) + inSize;
}

VError VBlob::_WriteStreamForm(VStream* ioStream, const void* inBytes, VSize inSize)
{
	if (inSize > kMaxSize)
		return ioStream->SetError(VE_MEMORY_FULL);
	VError err = ioStream->PutLong(static_cast<sLONG>(inSize));
	if (err != VE_OK)
		return err;
	if (inSize > 0)
		err = ioStream->PutData(inBytes, inSize);
	return err;
}

VError VBlob::_CopyOut(const void* inBytes, VSize inBlobSize, void* outBuffer, VSize inSize, sLONG inOffset,
					   VSize* outRead)
{
	VSize count = 0;
	// A negative offset lies before the bytes: nothing is there to read.
	const bool inside = inOffset >= 0 && static_cast<VSize>(inOffset) <= inBlobSize;
	if (inside) {
		count = std::min(inSize, inBlobSize - static_cast<VSize>(inOffset));
		if (count > 0)
			std::memcpy(outBuffer, static_cast<const char*>(inBytes) + inOffset, count);
	}
	if (outRead != nullptr)
		*outRead = count;
	if (!inside || count != inSize) {
		_ThrowError(VE_STREAM_EOF);
		return VE_STREAM_EOF;
	}
	return VE_OK;
}

} // namespace qirn
