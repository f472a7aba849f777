#include "files/VBlobStream.h"

#include "core/VBlob.h"

#include <algorithm>

namespace qirn {

namespace {

constexpr sLONG8 kLastOffset = static_cast<sLONG8>(VBlob::kMaxSize);

} // namespace

VBlobStream::VBlobStream(VBlob* inBlob)
	: fBlob(inBlob != nullptr ? inBlob : new VBlobWithPtr()), fOwnsBlob(inBlob == nullptr)
{
	// Viewed bytes refuse every write: say so at the opening, as the stream
	// over a caller's constant block does.
	if (dynamic_cast<VConstBlobWithPtr*>(fBlob) != nullptr)
		SetReadOnly(true);
}

VBlobStream::~VBlobStream()
{
	if (fOwnsBlob)
		delete fBlob;
}

VError VBlobStream::DoPutData(const void* inBuffer, VSize inCount)
{
	const sLONG8 position = GetPos();
	if (position > kLastOffset || inCount > static_cast<VSize>(kLastOffset - position))
		return VE_STREAM_BAD_OFFSET;
	// The blob zeroes a gap between its end and the position.
	return fBlob->PutData(inBuffer, inCount, static_cast<sLONG>(position));
}

VError VBlobStream::DoGetData(void* outBuffer, VSize* ioCount)
{
	// Only what the blob holds is asked of it: the end of the stream is the
	// stream's answer, raised once by the stream.
	const sLONG8 position = GetPos();
	const VSize size = fBlob->GetSize();
	const VSize available = position < static_cast<sLONG8>(size) ? size - static_cast<VSize>(position) : 0;
	const VSize asked = *ioCount;
	*ioCount = std::min(asked, available);
	if (*ioCount > 0) {
		VError err = fBlob->GetData(outBuffer, *ioCount, static_cast<sLONG>(position), ioCount);
		if (err != VE_OK)
			return err;
	}
	return *ioCount < asked ? VE_STREAM_EOF : VE_OK;
}

sLONG8 VBlobStream::DoGetSize()
{
	return static_cast<sLONG8>(fBlob->GetSize());
}

VError VBlobStream::DoSetSize(sLONG8 inSize)
{
	if (inSize > kLastOffset)
		return VE_STREAM_BAD_OFFSET;
	return fBlob->SetSize(static_cast<VSize>(inSize));
}

VError VBlobStream::DoSetPos(sLONG8 inPosition)
{
	if (inPosition > kLastOffset)
		return VE_STREAM_BAD_OFFSET;
	if (inPosition <= DoGetSize())
		return VE_OK;
	// Only a writer may grow the blob; a reader has nothing to find there.
	if (!IsWriting())
		return VE_STREAM_EOF;
	return DoSetSize(inPosition);
}

} // namespace qirn
