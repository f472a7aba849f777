#include "bags_xml/BagXMLReadWrite.h"
#include "bags_xml/IXMLDomWrapper.h"
#include "bags_xml/VValueBag.h"
#include "bags_xml/VBagArray.h"
#include "bags_xml/VXMLBagHandler.h"
#include "bags_xml/VXMLParser.h"
#include "bags_xml/XMLChars.h"
#include "core/VString.h"
#include "json/VJSONNesting.h"
#include "runtime/VError.h"
#include "runtime/VErrorContext.h"

#include <xercesc/dom/DOM.hpp>

#include <memory>

namespace qirn {

namespace {

using xercesc::DOMElement;
using xercesc::DOMNode;

// The attribute's text as the DOM keeps it: plain text, not XML, without
// the characters XML forbids (the document could not be written out).
bool _AttributeText(const VValueBag::Attributes& inAttributes, size_t inIndex, VString& outText)
{
	const std::unique_ptr<VValueSingle> value(inAttributes.NewValueAt(inIndex));
	if (value == nullptr)
		return false;
	VString text;
	if (const VString* string = dynamic_cast<const VString*>(value.get())) {
		text = *string;
	} else {
		value->GetXMLString(text, 1);
		text.TranscodeFromXML();
	}
	outText.Clear();
	AppendXMLChars(outText, text.GetCPointer(), text.GetCPointer() + text.GetLength(), true);
	return true;
}

bool _WriteElement(const VValueBag& inBag, VXMLDOMElement_opaque* inElement,
				   std::vector<VXMLDOMNode_opaque*>* outCreatedNodes, uint32 inDepth)
{
	if (CheckJSONNesting(inDepth) != VE_OK)
		return false;
	DOMElement* element = reinterpret_cast<DOMElement*>(inElement);
	VXMLDOMNode_opaque* document = IXMLDomWrapper::GetNodeDocument(IXMLDomWrapper::GetNodeFromNodeElement(inElement));
	if (element == nullptr || document == nullptr)
		return false;
	const VValueBag::Attributes& attributes = inBag.GetAttributes();
	const StPackedDictionaryKey& cdata = VValueBag::CDataAttributeName();
	size_t cdataIndex = attributes.End();
	VString name;
	VString text;
	for (size_t index = 0; index < attributes.GetCount(); ++index) {
		const char* bytes = attributes.GetKeyBytesAt(index);
		const size_t length = attributes.GetKeyLengthAt(index);
		// The character data is no attribute: an element cannot carry the
		// name "<>". It becomes the element's text, after the children.
		if (cdata.Equal(bytes, length)) {
			cdataIndex = index;
			continue;
		}
		if (!_AttributeText(attributes, index, text))
			continue;
		name.FromBlock(bytes, length, VTC_UTF_8);
		IXMLDomWrapper::SetNodeElementAttribute(inElement, name, text, false, nullptr);
	}
	for (VIndex nameIndex = 1; nameIndex <= inBag.GetElementNamesCount(); ++nameIndex) {
		const VBagArray* bags = inBag.GetNthElementName(nameIndex, &name);
		if (bags == nullptr)
			continue;
		for (VIndex bagIndex = 1; bagIndex <= bags->GetCount(); ++bagIndex) {
			VXMLDOMElement_opaque* child = IXMLDomWrapper::CreateElement(document, inElement, name.GetCPointer());
			if (child == nullptr)
				continue;
			if (outCreatedNodes != nullptr)
				outCreatedNodes->push_back(IXMLDomWrapper::GetNodeFromNodeElement(child));
			if (!_WriteElement(*bags->GetNth(bagIndex), child, outCreatedNodes, inDepth + 1))
				return false;
		}
	}
	if (cdataIndex != attributes.End() && _AttributeText(attributes, cdataIndex, text) && !text.IsEmpty()) {
		try {
			element->appendChild(element->getOwnerDocument()->createTextNode(text.GetCPointer()));
		} catch (...) {
			return false;
		}
	}
	return true;
}

} // namespace

VError ReadBagFromDomXML(VXMLDOMNode_opaque* inNode, VValueBag& ioBag)
{
	VXMLDOMElement_opaque* element = IXMLDomWrapper::GetNodeElement(inNode);
	if (element == nullptr) {
		_ThrowError(VE_XML_PARSE_ERROR);
		return VE_XML_PARSE_ERROR;
	}
	VString name;
	IXMLDomWrapper::GetNodeElementName(element, name);
	bool replayed = false;
	VError error = VE_OK;
	{
		StErrorContextInstaller context(true, false);
		VXMLBagHandler_UniqueElement handler(&ioBag, name);
		replayed = IXMLDomWrapper::DOMParseElement(inNode, &handler);
		error = context.GetLastError();
	}
	if (error == VE_OK && !replayed) {
		_ThrowError(VE_XML_PARSE_ERROR);
		error = VE_XML_PARSE_ERROR;
	}
	return error;
}

VError WriteBagToDomXML(const VValueBag& inBag, VXMLDOMNode_opaque* inNode,
						std::vector<VXMLDOMNode_opaque*>* outCreatedNodes)
{
	VXMLDOMElement_opaque* element = IXMLDomWrapper::GetNodeElement(inNode);
	if (element == nullptr) {
		_ThrowError(VE_BAG_DOM_NOT_AN_ELEMENT);
		return VE_BAG_DOM_NOT_AN_ELEMENT;
	}
	if (!WriteBagToDomXMLElement(inBag, element, outCreatedNodes)) {
		_ThrowError(VE_BAG_DOM_WRITE_FAILED);
		return VE_BAG_DOM_WRITE_FAILED;
	}
	return VE_OK;
}

bool WriteBagToDomXMLElement(const VValueBag& inBag, VXMLDOMElement_opaque* inElement,
							 std::vector<VXMLDOMNode_opaque*>* outCreatedNodes)
{
	return _WriteElement(inBag, inElement, outCreatedNodes, 0);
}

} // namespace qirn
