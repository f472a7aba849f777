#include "files/VFileDesc.h"

#include "files/FileErrorCodes.h"
#include "files/VFileError.h"
#include "files/VStream.h"
#include "runtime/VError.h"
#include "runtime/VErrorBase.h"

namespace qirn {

namespace {

bool IsSystemCause(VError inError)
{
	const OsType signature = COMPONENT_FROM_VERROR(inError);
	return signature == kCOMPONENT_SIGNATURE_POSIX || signature == kCOMPONENT_SIGNATURE_MACH ||
		   signature == kCOMPONENT_SIGNATURE_CARBON || signature == kCOMPONENT_SIGNATURE_COCOA;
}

} // namespace

VFileDesc::VFileDesc(const VFile* inFile, int inDescriptor, FileAccess inAccess)
: fFile(inFile), fAccess(inAccess), fImpl(inDescriptor)
{
	fFile->Retain();
}

VFileDesc::~VFileDesc()
{
	fFile->Release();
}

VError VFileDesc::_Wrap(VError inNative, VError inDefault, VSize inCount, sLONG8 inOffset, bool inWithSize) const
{
	const bool endOfFile = inNative == VE_STREAM_EOF;
	if (inNative == VE_OK || (!IsSystemCause(inNative) && !endOfFile))
		return inNative;
	VFileError* error = new VFileError(fFile, endOfFile ? VE_STREAM_EOF
														: VErrorBase::EncodedNativeErrorToVError(inNative, inDefault));
	if (inWithSize) {
		error->SetLong(CVSTR("count"), static_cast<int32>(inCount));
		error->SetLong8(CVSTR("offset"), inOffset);
		sLONG8 size = 0;
		if (fImpl.GetSize(&size) == VE_OK)
			error->SetLong8(CVSTR("size"), size);
	}
	const VError code = error->GetError();
	_PushRetainedError(error, endOfFile ? VE_OK : inNative);
	return code;
}

sLONG8 VFileDesc::GetSize() const
{
	sLONG8 size = 0;
	_Wrap(fImpl.GetSize(&size), VE_FILE_CANNOT_GET_SIZE, 0, 0, false);
	return size;
}

VError VFileDesc::SetSize(sLONG8 inSize) const
{
	const VError native = fImpl.SetSize(inSize);
	if (native == VE_OK || !IsSystemCause(native))
		return native;
	VFileError* error = new VFileError(fFile, VErrorBase::EncodedNativeErrorToVError(native, VE_FILE_CANNOT_SET_SIZE));
	error->SetLong8(CVSTR("size"), inSize);
	const VError code = error->GetError();
	_PushRetainedError(error, native);
	return code;
}

VError VFileDesc::GetData(void* outData, VSize inCount, sLONG8 inPosition, VSize* outRead) const
{
	VSize count = inCount;
	const VError error = fImpl.GetData(outData, count, inPosition, true);
	if (outRead != nullptr)
		*outRead = count;
	return _Wrap(error, VE_FILE_CANNOT_READ, inCount, inPosition, true);
}

VError VFileDesc::GetDataAtPos(void* outData, VSize inCount, sLONG8 inOffset, VSize* outRead)
{
	const sLONG8 offset = fImpl.GetPos() + inOffset;
	VSize count = inCount;
	const VError error = fImpl.GetData(outData, count, inOffset, false);
	if (outRead != nullptr)
		*outRead = count;
	// The end of the file is an answer here, not a failure.
	if (error == VE_STREAM_EOF)
		return error;
	return _Wrap(error, VE_FILE_CANNOT_READ, inCount, offset, true);
}

VError VFileDesc::PutData(const void* inData, VSize inCount, sLONG8 inPosition, VSize* outWritten) const
{
	VSize count = inCount;
	const VError error = fImpl.PutData(inData, count, inPosition, true);
	if (outWritten != nullptr)
		*outWritten = count;
	return _Wrap(error, VE_FILE_CANNOT_WRITE, inCount, inPosition, true);
}

VError VFileDesc::PutDataAtPos(const void* inData, VSize inCount, sLONG8 inOffset, VSize* outWritten)
{
	const sLONG8 offset = fImpl.GetPos() + inOffset;
	VSize count = inCount;
	const VError error = fImpl.PutData(inData, count, inOffset, false);
	if (outWritten != nullptr)
		*outWritten = count;
	return _Wrap(error, VE_FILE_CANNOT_WRITE, inCount, offset, true);
}

sLONG8 VFileDesc::GetPos() const
{
	return fImpl.GetPos();
}

VError VFileDesc::SetPos(sLONG8 inPosition, bool inAbsolute)
{
	const sLONG8 target = inAbsolute ? inPosition : fImpl.GetPos() + inPosition;
	if (target < 0) {
		VFileError* error = new VFileError(fFile, VE_FILE_CANNOT_SET_POS);
		error->SetLong8(CVSTR("offset"), target);
		error->SetLong8(CVSTR("size"), GetSize());
		_PushRetainedError(error, MAKE_VERROR(kCOMPONENT_SIGNATURE_POSIX, EINVAL));
		return VE_FILE_CANNOT_SET_POS;
	}
	fImpl.SetPos(inPosition, inAbsolute);
	return VE_OK;
}

VError VFileDesc::Flush() const
{
	return _Wrap(fImpl.Flush(), VE_FILE_CANNOT_FLUSH, 0, 0, false);
}

CharSet VFileDesc::DebugDump(char* ioBuffer, int32& ioSize) const
{
	return fFile->DebugDump(ioBuffer, ioSize);
}

} // namespace qirn
