// A bag in its XML stream form (a 32-bit 1, then the XML text as a string's
// stream form), in both byte orders (the first input byte picks it). What
// reads without error is written and reads again, without error, to a bag
// that keeps what the first one had (see ../bag_xml/BagXMLForm.h).
#include "../bag_xml/BagXMLForm.h"
#include "FuzzStreams.h"

#include "bags_xml/BagXMLReadWrite.h"
#include "bags_xml/VValueBag.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"

#include <vector>

namespace {

using namespace qirn;

VError Read(const void* inData, size_t inSize, bool inBigEndian, VValueBag& outBag)
{
	return fuzz::ReadStream(
		inData, inSize, inBigEndian, [&](VStream& ioStream) { return ReadBagFromStreamInXML(outBag, &ioStream); },
		false);
}

std::vector<uint8_t> Write(const VValueBag& inBag, bool inBigEndian)
{
	return fuzz::WriteStream(inBigEndian, [&](VStream& ioStream) { return WriteBagToStreamInXML(inBag, &ioStream); });
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
	fuzz::StartKernel();
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	if (inSize == 0)
		return 0;
	fuzz::StFuzzInput input;
	const bool bigEndian = (inData[0] & 1) != 0;
	VValueBag* bag = new VValueBag;
	if (Read(inData + 1, inSize - 1, bigEndian, *bag) != VE_OK) {
		bag->Release();
		return 0;
	}
	const std::vector<uint8_t> written = Write(*bag, bigEndian);
	VValueBag* again = new VValueBag;
	QIRN_FUZZ_CHECK(Read(written.data(), written.size(), bigEndian, *again) == VE_OK);
	QIRN_FUZZ_CHECK(fuzz::KeptOfXML(*again).EqualToStringRaw(fuzz::KeptOfXML(*bag)));
	again->Release();
	bag->Release();
	return 0;
}
