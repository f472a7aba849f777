#pragma once

#include "files/VPtrStream.h"

#include <gtest/gtest.h>

#include <vector>

namespace qirn::testing {

// Bytes of a stream written by inWrite, in the given byte order.
template <class Write>
std::vector<uint8> Written(bool inBigEndian, Write inWrite)
{
	VPtrStream stream;
	if (inBigEndian)
		stream.SetBigEndian();
	EXPECT_EQ(stream.OpenWriting(), VE_OK);
	inWrite(stream);
	EXPECT_EQ(stream.CloseWriting(), VE_OK);
	VStreamUnderlyingData data = stream.GetUnderlyingData();
	const uint8* bytes = static_cast<const uint8*>(data.fData);
	return std::vector<uint8>(bytes, bytes + data.fSize);
}

} // namespace qirn::testing
