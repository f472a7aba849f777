// A bag read from XML text (UTF-8 after the first input byte, whose bits
// pick the parse flags and the root's name). What loads without error is
// written as XML and loads again, without error, to a bag that keeps what
// the first one had (see BagXMLForm.h). A load that answers success raised
// no error.
#include "BagXMLForm.h"
#include "FuzzSupport.h"

#include "bags_xml/BagXMLReadWrite.h"
#include "bags_xml/VValueBag.h"
#include "bags_xml/VXMLParser.h"
#include "core/VString.h"

namespace {

using namespace qirn;

const VString& RootName()
{
	static const VString* name = new VString("root");
	return *name;
}

VString XML(const VValueBag& inBag)
{
	VString text;
	inBag.DumpXML(text, RootName(), false);
	return text;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
	fuzz::StartKernel();
	(void)RootName();
	return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	if (inSize == 0)
		return 0;
	fuzz::StFuzzInput input;
	unsigned flags = 0;
	if (inData[0] & 1)
		flags |= XML_VALIDATE_NEVER;
	if (inData[0] & 2)
		flags |= XML_NAMESPACES;
	if (inData[0] & 4)
		flags |= XML_DEFAULTED_ATTRIBUTES;
	// Any root element, or only one named "root".
	const VString anyName;
	const VString& elementName = (inData[0] & 8) != 0 ? RootName() : anyName;
	const VString text(inData + 1, inSize - 1, VTC_UTF_8);
	VValueBag* bag = new VValueBag;
	const VError error = LoadBagFromXML(text, elementName, *bag, flags);
	if (error != VE_OK) {
		bag->Release();
		return 0;
	}
	QIRN_FUZZ_CHECK(input.LastError() == VE_OK);
	const VString written = XML(*bag);
	VValueBag* again = new VValueBag;
	QIRN_FUZZ_CHECK(LoadBagFromXML(written, RootName(), *again) == VE_OK);
	QIRN_FUZZ_CHECK(fuzz::KeptOfXML(*again).EqualToStringRaw(fuzz::KeptOfXML(*bag)));
	again->Release();
	bag->Release();
	return 0;
}
