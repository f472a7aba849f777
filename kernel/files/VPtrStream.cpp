#include "files/VPtrStream.h"

#include <cstring>

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
	VSize position = static_cast<VSize>(GetPos());
	VSize size = fBuffer.GetDataSize();
	VSize available = position < size ? size - position : 0;
	const char* data = static_cast<const char*>(fBuffer.GetDataPtr());
	if (*ioCount <= available) {
		if (*ioCount > 0)
			std::memcpy(outBuffer, data + position, *ioCount);
		return VE_OK;
	}
	if (available > 0)
		std::memcpy(outBuffer, data + position, available);
	*ioCount = available;
	return VE_STREAM_EOF;
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
