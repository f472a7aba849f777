// A bag's 'VBAG' stream, in both byte orders (bit 0 of the first input byte
// picks it); the rest of that byte picks the form read: the whole stream,
// the body alone (as a bag nested in another stream is read), or the body
// of the first stored bags. What reads back is written (as a whole stream,
// or a body), read again and written again: the two written streams and
// the two bags' XML forms are the same. A whole stream that fails to read
// answers an error and leaves the bag empty.
#include "FuzzStreams.h"

#include "bags_xml/VValueBag.h"
#include "core/VString.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"

#include <vector>

namespace {

using namespace qirn;

enum class EForm { kWhole, kBody, kOlderBody };

struct Mode {
	bool fBigEndian;
	EForm fForm;
	bool BodyOnly() const { return fForm != EForm::kWhole; }
};

VError Read(const void* inData, size_t inSize, Mode inMode, VValueBag& outBag)
{
	return fuzz::ReadStream(inData, inSize, inMode.fBigEndian, [&](VStream& ioStream) {
		switch (inMode.fForm) {
			case EForm::kWhole: return outBag.ReadFromStream(&ioStream);
			case EForm::kBody: return outBag.ReadFromStreamMinimal(&ioStream);
			case EForm::kOlderBody: break;
		}
		return outBag._ReadFromStream_v1(&ioStream);
	});
}

std::vector<uint8_t> Write(const VValueBag& inBag, Mode inMode)
{
	return fuzz::WriteStream(inMode.fBigEndian, [&](VStream& ioStream) {
		return inMode.BodyOnly() ? inBag.WriteToStreamMinimal(&ioStream, true) : inBag.WriteToStream(&ioStream);
	});
}

VString XML(const VValueBag& inBag)
{
	VString text;
	inBag.DumpXML(text, VString("bag"), false);
	return text;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	if (inSize == 0)
		return 0;
	fuzz::StFuzzInput input;
	const Mode mode{(inData[0] & 1) != 0, static_cast<EForm>((inData[0] >> 1) % 3)};
	VValueBag* bag = new VValueBag;
	if (Read(inData + 1, inSize - 1, mode, *bag) != VE_OK) {
		if (mode.fForm == EForm::kWhole)
			QIRN_FUZZ_CHECK(bag->IsEmpty());
		bag->Release();
		return 0;
	}
	// The older body is written back as the body of today.
	const Mode writtenMode{mode.fBigEndian, mode.BodyOnly() ? EForm::kBody : EForm::kWhole};
	const std::vector<uint8_t> written = Write(*bag, writtenMode);
	VValueBag* again = new VValueBag;
	QIRN_FUZZ_CHECK(Read(written.data(), written.size(), writtenMode, *again) == VE_OK);
	QIRN_FUZZ_CHECK(Write(*again, writtenMode) == written);
	QIRN_FUZZ_CHECK(XML(*again).EqualToStringRaw(XML(*bag)));
	again->Release();
	bag->Release();
	return 0;
}
