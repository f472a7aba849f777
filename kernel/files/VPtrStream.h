#pragma once

#include "core/VMemoryBuffer.h"
#include "files/VStream.h"

namespace qirn {

// Reads and writes a block that it owns and grows, freed with the stream.
class VPtrStream : public VStream {
public:
	VPtrStream() = default;

	VStreamUnderlyingData GetUnderlyingData() const override
	{
		return {true, fBuffer.GetDataPtr(), static_cast<sLONG8>(fBuffer.GetDataSize())};
	}

protected:
	VError DoPutData(const void* inBuffer, VSize inCount) override;
	VError DoGetData(void* outBuffer, VSize* ioCount) override;
	sLONG8 DoGetSize() override { return static_cast<sLONG8>(fBuffer.GetDataSize()); }
	VError DoSetSize(sLONG8 inSize) override;
	VError DoSetPos(sLONG8 inPosition) override;

private:
	VMemoryBuffer<> fBuffer;
};

} // namespace qirn
