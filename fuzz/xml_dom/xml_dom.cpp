// The DOM parse of a document in memory, its walk, and its serialisation.
// The first byte picks pretty printing and whether the document gets a
// system identifier.
//
// What must hold: a document that parses is written, the written bytes
// parse again and are written the same; its copy is written as readable
// XML; its replay into handlers takes the whole tree; nothing from outside
// the document is read.
#include "FuzzSupport.h"

#include "bags_xml/IXMLDomWrapper.h"
#include "bags_xml/IXMLHandler.h"
#include "core/VBlob.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"

#include <string>

namespace {

using namespace qirn;

const VString kPasswd("root:x:0:0");

class VRecorder : public VObject, public IXMLHandler {
public:
	IXMLHandler* StartElement(const VString&) override
	{
		++fElements;
		return RetainRefCountable(static_cast<IXMLHandler*>(this));
	}
	void SetText(const VString& inText) override { QIRN_FUZZ_CHECK(inText.Find(kPasswd) <= 0); }

	int fElements = 0;
};

// The document written, or empty when the writer refuses it.
std::string Serialize(VXMLDOMNode_opaque* inDocument, bool inPretty)
{
	VBlobWithPtr blob;
	size_t size = 0;
	if (!IXMLDomWrapper::SerializeToBlob(inDocument, &blob, 0, size, inPretty)) {
		QIRN_FUZZ_CHECK(size == 0);
		return {};
	}
	QIRN_FUZZ_CHECK(static_cast<size_t>(blob.GetSize()) == size);
	std::string bytes(size, '\0');
	if (size != 0)
		QIRN_FUZZ_CHECK(blob.GetData(bytes.data(), size, 0) == VE_OK);
	return bytes;
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
	const bool pretty = (inData[0] & 1) != 0;
	const VString systemID("fuzz/doc.xml");
	const VString* id = (inData[0] & 2) != 0 ? &systemID : nullptr;
	fuzz::StFuzzInput input;
	VXMLDOMNode_opaque* document = IXMLDomWrapper::CreateNodeDocumentFromBuffer(inData + 1, inSize - 1, id);
	if (document == nullptr)
		return 0;

	IXMLDomWrapper::RegisterNodeIDs(document);
	VXMLDOMElement_opaque* root = IXMLDomWrapper::GetRootNodeElement(document);
	QIRN_FUZZ_CHECK(root != nullptr);
	VString name;
	IXMLDomWrapper::GetNodeElementName(root, name);
	QIRN_FUZZ_CHECK(!name.IsEmpty());
	VString value;
	IXMLDomWrapper::GetNodeElementValueString(root, value);
	IXMLDomWrapper::GetNodeElementAttribute(root, VString("id"), value);
	IXMLDomWrapper::FindNodeElementByID(document, VString("a"));

	VRefPtr<VRecorder> recorder = VRefPtr<VRecorder>::Adopt(new VRecorder);
	IXMLDomWrapper::DOMParseNode(document, recorder.Get());
	QIRN_FUZZ_CHECK(recorder->fElements > 0);

	VXMLDOMNode_opaque* copy = IXMLDomWrapper::CloneNodeDocument(document);
	QIRN_FUZZ_CHECK(copy != nullptr);

	const std::string written = Serialize(document, pretty);
	if (!written.empty()) {
		// The copy is written as the library copies documents: without the
		// original's input encoding or DTD subset, so only as readable text.
		const std::string copied = Serialize(copy, pretty);
		QIRN_FUZZ_CHECK(!copied.empty());
		VXMLDOMNode_opaque* reread = IXMLDomWrapper::CreateNodeDocumentFromBuffer(copied.data(), copied.size(), id);
		QIRN_FUZZ_CHECK(reread != nullptr);
		IXMLDomWrapper::ReleaseNode(reread);
		VXMLDOMNode_opaque* again = IXMLDomWrapper::CreateNodeDocumentFromBuffer(written.data(), written.size(), id);
		QIRN_FUZZ_CHECK(again != nullptr);
		// Pretty printing adds blank text that the next pretty print indents
		// again: only the plain form is a fixed point.
		QIRN_FUZZ_CHECK(pretty || Serialize(again, pretty) == written);
		IXMLDomWrapper::ReleaseNode(again);
	}
	IXMLDomWrapper::ReleaseNode(copy);
	IXMLDomWrapper::ReleaseNode(document);
	return 0;
}
