#include "files/VConstPtrStream.h"

#include <cstring>

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
	VSize position = static_cast<VSize>(GetPos());
	VSize available = position < fSize ? fSize - position : 0;
	if (*ioCount <= available) {
		// An empty block may have no address at all.
		if (*ioCount > 0)
			std::memcpy(outBuffer, fData + position, *ioCount);
		return VE_OK;
	}
	if (available > 0)
		std::memcpy(outBuffer, fData + position, available);
	*ioCount = available;
	return VE_STREAM_EOF;
}

VError VConstPtrStream::DoSetPos(sLONG8 inPosition)
{
	return inPosition > static_cast<sLONG8>(fSize) ? VE_STREAM_EOF : VE_OK;
}

} // namespace qirn
