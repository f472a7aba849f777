#pragma once

#include "files/VStream.h"

namespace qirn {

class VBlob;

// Reads and writes a blob: the caller's, which must outlive the stream, or
// without one an empty owned blob of its own, deleted with the stream. Over
// a viewed blob it is read-only.
// Positions are the blob's 32-bit offsets: one beyond them is refused with
// VE_STREAM_BAD_OFFSET, never cut.
class VBlobStream : public VStream {
public:
	explicit VBlobStream(VBlob* inBlob = nullptr);
	~VBlobStream() override;

protected:
	VError DoPutData(const void* inBuffer, VSize inCount) override;
	VError DoGetData(void* outBuffer, VSize* ioCount) override;
	sLONG8 DoGetSize() override;
	VError DoSetSize(sLONG8 inSize) override;
	VError DoSetPos(sLONG8 inPosition) override;

private:
	VBlob* fBlob;
	bool fOwnsBlob;
};

} // namespace qirn
