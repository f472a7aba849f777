// A string's stream form, in both byte orders (the first input byte picks
// it). What reads back is written again and read back equal.
#include "FuzzStreams.h"

#include "core/VString.h"

using namespace qirn;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	if (inSize == 0)
		return 0;
	fuzz::StFuzzInput input;
	const bool bigEndian = (inData[0] & 1) != 0;
	auto read = [bigEndian](const void* inBytes, size_t inCount, VString& outText) {
		return fuzz::ReadStream(inBytes, inCount, bigEndian,
								[&](VStream& ioStream) { return outText.ReadFromStream(&ioStream); });
	};
	VString text;
	if (read(inData + 1, inSize - 1, text) != VE_OK)
		return 0;
	const std::vector<uint8_t> written =
		fuzz::WriteStream(bigEndian, [&](VStream& ioStream) { return text.WriteToStream(&ioStream); });
	VString again;
	QIRN_FUZZ_CHECK(read(written.data(), written.size(), again) == VE_OK);
	QIRN_FUZZ_CHECK(again.EqualToStringRaw(text));
	return 0;
}
