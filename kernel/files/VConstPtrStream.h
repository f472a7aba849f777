#pragma once

#include "files/VStream.h"

namespace qirn {

// Reads a caller's constant block, which must outlive the stream. It is
// never written.
class VConstPtrStream : public VStream {
public:
	VConstPtrStream(const void* inData, VSize inSize);

	VStreamUnderlyingData GetUnderlyingData() const override { return {true, fData, static_cast<sLONG8>(fSize)}; }

protected:
	VError DoOpenWriting() override;
	VError DoPutData(const void* inBuffer, VSize inCount) override;
	VError DoGetData(void* outBuffer, VSize* ioCount) override;
	sLONG8 DoGetSize() override { return static_cast<sLONG8>(fSize); }
	VError DoSetSize(sLONG8 inSize) override;
	VError DoSetPos(sLONG8 inPosition) override;

private:
	const char* fData;
	VSize fSize;
};

} // namespace qirn
