#include "files/VConstPtrStream.h"

namespace qirn {

VConstPtrStream::VConstPtrStream(const void* inData, VSize inSize)
	: fData(static_cast<const char*>(inData)), fSize(inData != nullptr ? inSize : 0)
{
	SetReadOnly(true);
}

VError VConstPtrStream::DoOpenWriting()
{
	return VE_STREAM_CANNOT_WRITE;
}

VError VConstPtrStream::DoPutData(const void*, VSize)
{
	return VE_STREAM_CANNOT_WRITE;
}

VError VConstPtrStream::DoSetSize(sLONG8)
{
	return VE_STREAM_CANNOT_WRITE;
}

VError VConstPtrStream::DoGetData(void* outBuffer, VSize* ioCount)
{
	return _GetDataFromBlock(fData, fSize, outBuffer, ioCount);
}

VError VConstPtrStream::DoSetPos(sLONG8 inPosition)
{
	return inPosition > static_cast<sLONG8>(fSize) ? VE_STREAM_EOF : VE_OK;
}

} // namespace qirn
