#include "files/VPtrStream.h"

namespace qirn {

VError VPtrStream::DoPutData(const void* inBuffer, VSize inCount)
{
	// Writing past the end zeroes the gap, so no stale memory is ever read back.
	if (!fBuffer.PutData(static_cast<VSize>(GetPos()), inBuffer, inCount))
		return VE_MEMORY_FULL;
	return VE_OK;
}

VError VPtrStream::DoGetData(void* outBuffer, VSize* ioCount)
{
	return _GetDataFromBlock(fBuffer.GetDataPtr(), fBuffer.GetDataSize(), outBuffer, ioCount);
}

VError VPtrStream::DoSetSize(sLONG8 inSize)
{
	if (inSize == 0) {
		fBuffer.Clear();
		return VE_OK;
	}
	// Exactly the size asked; bytes gained are zeroed.
	if (!fBuffer.SetAllocatedSize(static_cast<VSize>(inSize)) || !fBuffer.SetSize(static_cast<VSize>(inSize)))
		return VE_MEMORY_FULL;
	return VE_OK;
}

VError VPtrStream::DoSetPos(sLONG8 inPosition)
{
	if (inPosition <= DoGetSize())
		return VE_OK;
	// Only a writer may grow the block; a reader has nothing to find there.
	if (!IsWriting())
		return VE_STREAM_EOF;
	return DoSetSize(inPosition);
}

} // namespace qirn
