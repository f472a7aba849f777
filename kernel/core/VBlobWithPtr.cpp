// The owned blob and the descriptor of kind 11.
#include "core/VBlob.h"

#include "core/VByteSwap.h"
#include "files/VStream.h"
#include "json/VJSONBlob.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "runtime/VError.h"

#include <algorithm>
#include <cstring>

namespace qirn {

namespace {

int32 ReadFlatLength(const void* inData)
{
	int32 length;
	std::memcpy(&length, inData, sizeof(length));
	return length;
}

VError Raise(VError inError)
{
	_ThrowError(inError);
	return inError;
}

} // namespace

const VBlob_info VBlobWithPtr::sInfo;

VBlobWithPtr::VBlobWithPtr(const void* inData, VSize inSize)
{
	if (!_SetExactSize(inSize)) {
		_ThrowError(VE_MEMORY_FULL);
		return;
	}
	if (inSize > 0)
		std::memcpy(fBuffer.GetDataPtr(), inData, inSize);
}

VBlobWithPtr::VBlobWithPtr(const VBlobWithPtr& inOther) : VBlob(inOther), fBuffer(inOther.fBuffer.GetMemoryManager())
{
	if (!fBuffer.CopyFrom(inOther.fBuffer))
		_ThrowError(VE_MEMORY_FULL);
	fFlags |= kFlag_Dirty;
}

VBlobWithPtr::VBlobWithPtr(const VBlob& inOther)
{
	if (inOther.IsNull())
		return;
	const VSize size = inOther.GetSize();
	if (!_SetExactSize(size)) {
		_ThrowError(VE_MEMORY_FULL);
		return;
	}
	if (size > 0)
		inOther.GetData(fBuffer.GetDataPtr(), size, 0);
}

VBlobWithPtr& VBlobWithPtr::operator=(const VBlobWithPtr& inOther)
{
	FromValueSameKind(&inOther);
	return *this;
}

bool VBlobWithPtr::_SetExactSize(VSize inSize)
{
	if (inSize > kMaxSize)
		return false;
	// The allocation is exact first, so that growing the size within it
	// zeroes the bytes gained.
	return fBuffer.SetAllocatedSize(inSize) && fBuffer.SetSize(inSize);
}

VError VBlobWithPtr::SetSize(VSize inSize)
{
	return _SetExactSize(inSize) ? VE_OK : Raise(VE_MEMORY_FULL);
}

VError VBlobWithPtr::GetData(void* outBuffer, VSize inSize, sLONG inOffset, VSize* outRead) const
{
	return _CopyOut(fBuffer.GetDataPtr(), fBuffer.GetDataSize(), outBuffer, inSize, inOffset, outRead);
}

VError VBlobWithPtr::PutData(const void* inData, VSize inSize, sLONG inOffset)
{
	if (inOffset < 0)
		return Raise(VE_STREAM_EOF);
	const bool fits = inSize <= kMaxSize - static_cast<VSize>(inOffset);
	// The buffer zeroes any gap between the old end and the offset.
	const bool written = fits && fBuffer.PutData(static_cast<VSize>(inOffset), inData, inSize);
	_Touch();
	return written ? VE_OK : Raise(VE_MEMORY_FULL);
}

VError VBlobWithPtr::FromData(const void* inData, VSize inSize)
{
	const bool sized = _SetExactSize(inSize);
	_Touch();
	if (!sized)
		return Raise(VE_MEMORY_FULL);
	if (inSize > 0)
		std::memcpy(fBuffer.GetDataPtr(), inData, inSize);
	return VE_OK;
}

bool VBlobWithPtr::EqualToSameKind(const VValue* inValue, bool) const
{
	const auto* other = dynamic_cast<const VBlobWithPtr*>(inValue);
	if (other == nullptr || other->IsNull() || other->GetSize() != GetSize())
		return false;
	return GetSize() == 0 || std::memcmp(fBuffer.GetDataPtr(), other->fBuffer.GetDataPtr(), GetSize()) == 0;
}

bool VBlobWithPtr::EqualToSameKindWithOptions(const VValue* inValue, const VCompareOptions&) const
{
	return EqualToSameKind(inValue);
}

bool VBlobWithPtr::FromValueSameKind(const VValue* inValue)
{
	const auto* other = dynamic_cast<const VBlobWithPtr*>(inValue);
	if (other == nullptr)
		return false;
	if (other == this)
		return true;
	if (!fBuffer.CopyFrom(other->fBuffer)) {
		_ThrowError(VE_MEMORY_FULL);
		return false;
	}
	// The flag is copied, not set: setting it would drop the bytes just copied.
	fFlags = static_cast<uint8>((fFlags & ~kFlag_Null) | (other->fFlags & kFlag_Null) | kFlag_Dirty);
	return true;
}

void VBlobWithPtr::GetValue(VValueSingle& outValue) const
{
	if (&outValue == this)
		return;
	if (auto* blob = dynamic_cast<VBlob*>(&outValue))
		blob->FromData(fBuffer.GetDataPtr(), fBuffer.GetDataSize());
}

void VBlobWithPtr::FromValue(const VValueSingle& inValue)
{
	// Clearing first would lose the very bytes to be copied.
	if (&inValue == this)
		return;
	Clear();
	const auto* other = dynamic_cast<const VBlobWithPtr*>(&inValue);
	if (other != nullptr && other->GetSize() > 0)
		PutData(other->fBuffer.GetDataPtr(), other->GetSize(), 0);
}

const void* VBlobWithPtr::LoadFromPtr(const void* inData, bool)
{
	const int32 length = ReadFlatLength(inData);
	const char* bytes = static_cast<const char*>(inData) + sizeof(length);
	if (length >= 1) {
		FromData(bytes, static_cast<VSize>(length));
		return bytes + length;
	}
	FromData(nullptr, 0);
	return bytes;
}

void* VBlobWithPtr::WriteToPtr(void* ioData, bool, size_t) const
{
	return _WriteFlatForm(ioData, fBuffer.GetDataPtr(), fBuffer.GetDataSize());
}

VError VBlobWithPtr::ReadFromStream(VStream* ioStream, sLONG)
{
	sLONG length = 0;
	VError err = ioStream->GetLong(length);
	if (err != VE_OK)
		return err;
	// A forged length is refused before any memory is asked for it: the
	// stream must still hold that many bytes.
	const sLONG8 remaining = std::max<sLONG8>(ioStream->GetSize() - ioStream->GetPos(), 0);
	if (length < 0 || length > remaining)
		return ioStream->SetError(VE_STREAM_EOF);
	if (!_SetExactSize(static_cast<VSize>(length)))
		return ioStream->SetError(VE_MEMORY_FULL);
	if (length > 0) {
		// The size kept part of the old bytes: what the stream failed to
		// deliver must not show them.
		VSize read = 0;
		err = ioStream->GetData(fBuffer.GetDataPtr(), static_cast<VSize>(length), &read);
		std::memset(static_cast<char*>(fBuffer.GetDataPtr()) + read, 0, static_cast<VSize>(length) - read);
	}
	return err;
}

VError VBlobWithPtr::WriteToStream(VStream* ioStream, sLONG) const
{
	return _WriteStreamForm(ioStream, fBuffer.GetDataPtr(), fBuffer.GetDataSize());
}

// ---------------------------------------------------------------------------
// Descriptor

void* VBlob_info::ByteSwapPtr(void* inBackStore, bool inFromNative) const
{
	// The bytes are not numbers: only the length turns. The answer is the
	// end of the value, as for every kind, found from the length in native
	// order.
	int32 length = ReadFlatLength(inBackStore);
	ByteSwapUnalignedInPlace<int32>(inBackStore, 1);
	if (!inFromNative)
		length = ByteSwap(length);
	return static_cast<char*>(inBackStore) + sizeof(length) + static_cast<VSize>(std::max(length, 0));
}

VSize VBlob_info::GetSizeOfValueDataPtr(const void* inPtr) const
{
	return sizeof(int32) + static_cast<VSize>(std::max(ReadFlatLength(inPtr), 0));
}

VError VBlobWithPtr::GetJSONValue(VJSONValue& outJSONValue, uint32 /*inOptions*/) const
{
	VRefPtr<VJSONObject> blob = VRefPtr<VJSONObject>::Adopt(VJSONBlob::Create(fBuffer.GetDataPtr(), GetSize()));
	if (blob == nullptr)
		return VE_MEMORY_FULL;
	outJSONValue.SetObject(blob.Get());
	return VE_OK;
}

VError VBlobWithPtr::FromJSONValue(const VJSONValue& inJSONValue)
{
	Clear();
	if (const VJSONBlob* blob = VJSONBlob::CastJSONObject(inJSONValue.GetObject()); blob != nullptr)
		return PutData(blob->GetData(), blob->GetSize(), 0);
	SetNull(true);
	return VE_OK;
}

} // namespace qirn
