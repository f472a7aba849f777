#pragma once

#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"
#include "files/tests/StreamBytes.h"

#include <gtest/gtest.h>

#include <vector>

namespace qirn::testing {

// Writes through inWrite into a memory stream and answers the bytes.
template <class Write>
std::vector<uint8> WrittenBytes(Write inWrite, bool inSwap = false)
{
	return Written(inSwap, inWrite);
}

// Reads inBytes through inRead and answers what it answered.
template <class Read>
VError ReadBytes(const std::vector<uint8>& inBytes, Read inRead, bool inSwap = false)
{
	VConstPtrStream stream(inBytes.data(), inBytes.size());
	stream.SetNeedSwap(inSwap);
	EXPECT_EQ(stream.OpenReading(), VE_OK);
	return inRead(stream);
}

} // namespace qirn::testing
