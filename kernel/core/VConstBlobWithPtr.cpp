#include "core/VBlob.h"

#include "files/VStream.h"
#include "runtime/VError.h"

namespace qirn {

namespace {

VError Refuse()
{
	_ThrowError(VE_STREAM_CANNOT_WRITE);
	return VE_STREAM_CANNOT_WRITE;
}

} // namespace

VConstBlobWithPtr::VConstBlobWithPtr(const void* inData, VSize inSize)
	: fData(inData), fSize(inData != nullptr ? inSize : 0)
{
}

VConstBlobWithPtr::VConstBlobWithPtr(const VConstBlobWithPtr& inOther)
	: VBlob(inOther), fData(inOther.fData), fSize(inOther.fSize)
{
	fFlags |= kFlag_Dirty;
}

VError VConstBlobWithPtr::SetSize(VSize)
{
	return Refuse();
}

VError VConstBlobWithPtr::GetData(void* outBuffer, VSize inSize, sLONG inOffset, VSize* outRead) const
{
	return _CopyOut(fData, fSize, outBuffer, inSize, inOffset, outRead);
}

VError VConstBlobWithPtr::PutData(const void*, VSize, sLONG)
{
	return Refuse();
}

VError VConstBlobWithPtr::FromData(const void*, VSize)
{
	return Refuse();
}

VError VConstBlobWithPtr::ReadFromStream(VStream*, sLONG)
{
	return Refuse();
}

bool VConstBlobWithPtr::FromValueSameKind(const VValue* inValue)
{
	const auto* other = dynamic_cast<const VConstBlobWithPtr*>(inValue);
	if (other == nullptr)
		return false;
	fData = other->fData;
	fSize = other->fSize;
	fFlags = static_cast<uint8>((fFlags & ~kFlag_Null) | (other->fFlags & kFlag_Null) | kFlag_Dirty);
	return true;
}

void VConstBlobWithPtr::GetValue(VValueSingle& outValue) const
{
	if (&outValue == this)
		return;
	if (auto* blob = dynamic_cast<VBlob*>(&outValue))
		blob->FromData(fData, fSize);
}

void* VConstBlobWithPtr::WriteToPtr(void* ioData, bool, size_t) const
{
	return _WriteFlatForm(ioData, fData, fSize);
}

VError VConstBlobWithPtr::WriteToStream(VStream* ioStream, sLONG) const
{
	return _WriteStreamForm(ioStream, fData, fSize);
}

} // namespace qirn
