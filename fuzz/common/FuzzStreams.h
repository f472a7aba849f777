#pragma once

// Stream forms in the harnesses: a reader over the input's own bytes, which
// must stay inside them, and a writer whose bytes come back as a vector.
#include "FuzzSupport.h"

#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"

#include <cstdint>
#include <vector>

namespace qirn::fuzz {

// Opens the bytes for reading in the byte order asked and hands the stream
// to inRead, which answers the reader's error. The reader never goes past
// the bytes; with inErrorFreeOnSuccess, a read that answers success left no
// error on its stream either.
template <class Read>
VError ReadStream(const void* inData, size_t inSize, bool inBigEndian, Read&& inRead,
				  bool inErrorFreeOnSuccess = true)
{
	VConstPtrStream stream(inData, inSize);
	stream.SetNeedSwap(inBigEndian);
	QIRN_FUZZ_CHECK(stream.OpenReading() == VE_OK);
	const VError error = inRead(stream);
	QIRN_FUZZ_CHECK(!inErrorFreeOnSuccess || error != VE_OK || stream.GetLastError() == VE_OK);
	QIRN_FUZZ_CHECK(stream.GetPos() <= static_cast<sLONG8>(inSize));
	stream.CloseReading();
	return error;
}

// Writes through inWrite, which must succeed, in the byte order asked.
template <class Write>
std::vector<uint8_t> WriteStream(bool inBigEndian, Write&& inWrite)
{
	VPtrStream stream;
	stream.SetNeedSwap(inBigEndian);
	QIRN_FUZZ_CHECK(stream.OpenWriting() == VE_OK);
	QIRN_FUZZ_CHECK(inWrite(stream) == VE_OK);
	stream.CloseWriting();
	const VStreamUnderlyingData bytes = stream.GetUnderlyingData();
	const auto* begin = static_cast<const uint8_t*>(bytes.fData);
	return std::vector<uint8_t>(begin, begin + bytes.fSize);
}

} // namespace qirn::fuzz
