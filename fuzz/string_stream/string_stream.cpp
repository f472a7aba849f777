// A string's stream form, in both byte orders (the first input byte picks
// it). What reads back is written again and read back equal.
#include "FuzzSupport.h"

#include "core/VString.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"

namespace {

using namespace qirn;

bool Read(const void* inData, size_t inSize, bool inBigEndian, VString& outText)
{
	VConstPtrStream stream(inData, inSize);
	if (inBigEndian)
		stream.SetBigEndian();
	if (stream.OpenReading() != VE_OK)
		return false;
	const VError error = outText.ReadFromStream(&stream);
	stream.CloseReading();
	return error == VE_OK;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	if (inSize == 0)
		return 0;
	fuzz::StFuzzInput input;
	const bool bigEndian = (inData[0] & 1) != 0;
	VString text;
	if (!Read(inData + 1, inSize - 1, bigEndian, text))
		return 0;
	VPtrStream written;
	if (bigEndian)
		written.SetBigEndian();
	QIRN_FUZZ_CHECK(written.OpenWriting() == VE_OK);
	QIRN_FUZZ_CHECK(text.WriteToStream(&written) == VE_OK);
	written.CloseWriting();
	const VStreamUnderlyingData bytes = written.GetUnderlyingData();
	VString again;
	QIRN_FUZZ_CHECK(Read(bytes.fData, static_cast<size_t>(bytes.fSize), bigEndian, again));
	QIRN_FUZZ_CHECK(again.EqualToStringRaw(text));
	return 0;
}
