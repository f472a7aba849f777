#include "bags_xml/IXMLDomWrapper.h"

#include "bags_xml/IXMLHandler.h"
#include "core/VBlob.h"
#include "core/VBoolean.h"
#include "core/VDuration.h"
#include "core/VTime.h"
#include "files/PathStyles.h"
#include "files/VFile.h"
#include "files/VFileStream.h"
#include "files/VURL.h"
#include "core/VLong.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "runtime/VError.h"

#include <xercesc/dom/DOM.hpp>
#include <xercesc/framework/MemBufFormatTarget.hpp>
#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/framework/Wrapper4InputSource.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLException.hpp>
#include <xercesc/util/XMLUni.hpp>

#include <cctype>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace qirn {

using namespace xercesc;

namespace {

DOMNode* _Node(VXMLDOMNode_opaque* inNode)
{
	return reinterpret_cast<DOMNode*>(inNode);
}

DOMElement* _Element(VXMLDOMElement_opaque* inElement)
{
	return reinterpret_cast<DOMElement*>(inElement);
}

VXMLDOMNode_opaque* _Opaque(DOMNode* inNode)
{
	return reinterpret_cast<VXMLDOMNode_opaque*>(inNode);
}

VXMLDOMElement_opaque* _Opaque(DOMElement* inElement)
{
	return reinterpret_cast<VXMLDOMElement_opaque*>(inElement);
}

DOMDocument* _Document(DOMNode* inNode)
{
	if (inNode == nullptr)
		return nullptr;
	if (inNode->getNodeType() == DOMNode::DOCUMENT_NODE)
		return static_cast<DOMDocument*>(inNode);
	return inNode->getOwnerDocument();
}

VString _Text(const XMLCh* inText)
{
	return inText != nullptr ? VString(inText) : VString();
}

// Any error, fatal or not, spoils the document.
class _ErrorHandler : public DOMErrorHandler {
public:
	bool handleError(const DOMError& inError) override
	{
		if (inError.getSeverity() != DOMError::DOM_SEVERITY_WARNING)
			fFailed = true;
		return false;
	}
	bool fFailed = false;
};

// Walks without recursion: the tree may be as deep as the text made it.
// Nesting deeper than the limit, or an element with the prefix "xmlns",
// which no namespace-aware reader takes (the parser does, and the writer
// then declares that prefix, which nothing reads back).
bool _Refused(DOMNode* inRoot, size_t inLimit)
{
	size_t depth = 0;
	DOMNode* node = inRoot->getFirstChild();
	if (node != nullptr)
		depth = 1;
	while (node != nullptr) {
		if (depth > inLimit)
			return true;
		if (node->getNodeType() == DOMNode::ELEMENT_NODE && node->getPrefix() != nullptr &&
			XMLString::equals(node->getPrefix(), XMLUni::fgXMLNSString))
			return true;
		if (DOMNode* child = node->getFirstChild()) {
			node = child;
			++depth;
			continue;
		}
		while (node != nullptr && node != inRoot && node->getNextSibling() == nullptr) {
			node = node->getParentNode();
			--depth;
		}
		if (node == nullptr || node == inRoot)
			break;
		node = node->getNextSibling();
	}
	return false;
}

// The namespace of a prefix: the element's declarations first, then the
// two fixed ones. Null when unknown.
const XMLCh* _NamespaceOfPrefix(DOMElement* inElement, const VString& inPrefix)
{
	if (const XMLCh* uri = inElement->lookupNamespaceURI(inPrefix.GetCPointer()))
		return uri;
	if (inPrefix.EqualToStringRaw(VString("xml")))
		return XMLUni::fgXMLURIName;
	if (inPrefix.EqualToStringRaw(VString("xmlns")))
		return XMLUni::fgXMLNSURIName;
	return nullptr;
}

// Splits "prefix:local" (a ':' after the first character); false without prefix.
bool _SplitName(const VString& inName, VString& outPrefix, VString& outLocal)
{
	const UniChar* p = inName.GetCPointer();
	for (VIndex i = 1; i < inName.GetLength(); ++i) {
		if (p[i] == u':') {
			outPrefix = VString(p, i);
			outLocal = VString(p + i + 1, inName.GetLength() - i - 1);
			return true;
		}
	}
	return false;
}

void _RegisterIDs(DOMElement* inElement)
{
	// Iterative over elements, as the tree may be deep.
	std::vector<DOMElement*> pending{inElement};
	while (!pending.empty()) {
		DOMElement* element = pending.back();
		pending.pop_back();
		DOMNamedNodeMap* attributes = element->getAttributes();
		std::vector<DOMAttr*> ids;
		for (XMLSize_t i = 0; attributes != nullptr && i < attributes->getLength(); ++i)
			ids.push_back(static_cast<DOMAttr*>(attributes->item(i)));
		for (DOMAttr* attribute : ids) {
			VString name(attribute->getName());
			VString prefix;
			VString local;
			if (_SplitName(name, prefix, local)) {
				const XMLCh* uri = _NamespaceOfPrefix(element, prefix);
				if (uri != nullptr && local.EqualToStringRaw(VString("id")))
					element->setIdAttributeNS(uri, local.GetCPointer(), true);
			} else if (name.EqualToStringRaw(VString("id"))) {
				element->setIdAttribute(name.GetCPointer(), true);
			}
		}
		for (DOMElement* child = element->getFirstElementChild(); child != nullptr;
			 child = child->getNextElementSibling())
			pending.push_back(child);
	}
}

size_t _UnitSize(const VString& inEncoding)
{
	if (inEncoding.EqualToString(VString("UTF-8")))
		return 1;
	if (inEncoding.EqualToString(VString("UTF-16")))
		return 2;
	for (const char* name : {"UTF-32", "UCS4", "UCS-4", "UCS_4"}) {
		if (inEncoding.EqualToString(VString(name)))
			return 4;
	}
	return 0;
}

// Encodings whose writing carries a state from one piece to the next
// (UTF-7's open base64 run, the designations of ISO-2022 and HZ, the
// windows of SCSU and BOCU-1). The serialiser transcodes a document in
// pieces and tests single characters through the same converter, which
// loses or misplaces that state: the bytes written do not read back.
bool _IsStatefulEncoding(const VString& inEncoding)
{
	// Compared as the converters match names: letters and digits only, in
	// lower case, a number without its leading zeros ("UTF-07" is UTF-7).
	std::string name;
	const VIndex length = inEncoding.GetLength();
	for (VIndex i = 1; i <= length; ++i) {
		const UniChar c = inEncoding.GetUniChar(i);
		if (c >= 0x80 || !std::isalnum(static_cast<int>(c)))
			continue;
		const bool numberStart = name.empty() || !std::isdigit(static_cast<unsigned char>(name.back()));
		if (c == u'0' && numberStart && i < length && inEncoding.GetUniChar(i + 1) < 0x80 &&
			std::isdigit(static_cast<int>(inEncoding.GetUniChar(i + 1))))
			continue;
		name += static_cast<char>(std::tolower(static_cast<int>(c)));
	}
	for (const char* part : {"utf7", "2022", "scsu", "bocu", "imap", "compoundtext", "65000", "lmbcs"}) {
		if (name.find(part) != std::string::npos)
			return true;
	}
	return name.rfind("hz", 0) == 0;
}

// A copy of the source's node under the copy's parent, built without
// the document type: an entity reference gives copies of what it stands
// for, an element every attribute it has, defaults too, as its own.
void _CopyWithoutDocumentType(const DOMNode* inSource, DOMDocument* ioCopy, DOMNode* ioParent)
{
	DOMNode* copy = nullptr;
	switch (inSource->getNodeType()) {
		case DOMNode::DOCUMENT_TYPE_NODE:
			return;
		case DOMNode::ENTITY_REFERENCE_NODE:
			copy = ioParent;
			break;
		case DOMNode::ELEMENT_NODE: {
			DOMElement* element = ioCopy->createElementNS(inSource->getNamespaceURI(), inSource->getNodeName());
			const DOMNamedNodeMap* attributes = inSource->getAttributes();
			for (XMLSize_t i = 0, n = attributes != nullptr ? attributes->getLength() : 0; i < n; ++i) {
				const DOMNode* attribute = attributes->item(i);
				element->setAttributeNS(attribute->getNamespaceURI(), attribute->getNodeName(),
										attribute->getNodeValue());
			}
			copy = ioParent->appendChild(element);
			break;
		}
		default:
			copy = ioParent->appendChild(ioCopy->importNode(inSource, false));
			break;
	}
	for (const DOMNode* child = inSource->getFirstChild(); child != nullptr; child = child->getNextSibling())
		_CopyWithoutDocumentType(child, ioCopy, copy);
}

// Whether the internal subset that the parser kept reads back as itself.
// The parser keeps it rebuilt from the declarations, with their values as
// they read (an attribute default "a&amp;b" is kept as "a&b"): written as
// it is, it may no longer parse, or parse to other values ("d&amp;e;f"
// kept as "d&e;f" reads back as a reference to the entity e).
bool _InternalSubsetReadsBack(DOMDocument* inDocument)
{
	const DOMDocumentType* type = inDocument->getDoctype();
	const XMLCh* subset = type != nullptr ? type->getInternalSubset() : nullptr;
	// The parser may hold entities with no subset text that declares them
	// (a subset the input never closed): their references would be written
	// without a declaration.
	const auto entityCount = [](const DOMDocumentType* inType) {
		const DOMNamedNodeMap* entities = inType->getEntities();
		return entities != nullptr ? entities->getLength() : XMLSize_t(0);
	};
	if (subset == nullptr || subset[0] == 0)
		return type == nullptr || entityCount(type) == 0;
	VString probe(u"\uFEFF<!DOCTYPE ");
	probe.AppendString(_Text(type->getName()));
	probe.AppendCString(" [");
	probe.AppendString(VString(subset));
	probe.AppendCString("]><");
	probe.AppendString(_Text(type->getName()));
	probe.AppendCString("/>");
	VXMLDOMNode_opaque* again = IXMLDomWrapper::CreateNodeDocumentFromBuffer(
		probe.GetCPointer(), static_cast<size_t>(probe.GetLength()) * sizeof(UniChar), nullptr);
	if (again == nullptr)
		return false;
	const DOMDocumentType* typeAgain = _Document(_Node(again))->getDoctype();
	const bool same = typeAgain != nullptr && XMLString::equals(typeAgain->getInternalSubset(), subset) &&
					  entityCount(typeAgain) == entityCount(type);
	IXMLDomWrapper::ReleaseNode(again);
	return same;
}

} // namespace

VXMLDOMNode_opaque* IXMLDomWrapper::CreateNodeDocumentFromBuffer(const void* inData, size_t inSize,
																  const VString* inSystemID)
{
	DOMLSParser* parser = nullptr;
	DOMDocument* document = nullptr;
	try {
		DOMImplementation* implementation = DOMImplementationRegistry::getDOMImplementation(u"LS");
		if (implementation == nullptr)
			return nullptr;
		parser = static_cast<DOMImplementationLS*>(implementation)
					 ->createLSParser(DOMImplementationLS::MODE_SYNCHRONOUS, nullptr);
		_ErrorHandler errors;
		SecurityManager security;
		security.setEntityExpansionLimit(50000);
		DOMConfiguration* config = parser->getDomConfig();
		config->setParameter(XMLUni::fgDOMEntities, true);
		config->setParameter(XMLUni::fgDOMNamespaces, true);
		config->setParameter(XMLUni::fgXercesValidationErrorAsFatal, true);
		config->setParameter(XMLUni::fgXercesContinueAfterFatalError, false);
		config->setParameter(XMLUni::fgDOMValidate, false);
		config->setParameter(XMLUni::fgXercesLoadExternalDTD, false);
		config->setParameter(XMLUni::fgXercesUserAdoptsDOMDocument, true);
		// Nothing outside the buffer is read.
		config->setParameter(XMLUni::fgXercesDisableDefaultEntityResolution, true);
		config->setParameter(XMLUni::fgXercesSecurityManager, &security);
		config->setParameter(XMLUni::fgDOMErrorHandler, static_cast<DOMErrorHandler*>(&errors));
		MemBufInputSource source(static_cast<const XMLByte*>(inData), inSize, u"Blob", false);
		if (inSystemID != nullptr)
			source.setSystemId(inSystemID->GetCPointer());
		Wrapper4InputSource input(&source, false);
		document = parser->parse(&input);
		parser->release();
		parser = nullptr;
		// The parser answers a document, without error and without root
		// element, for input that ends inside the internal subset.
		if (document != nullptr &&
			(errors.fFailed || document->getDocumentElement() == nullptr || _Refused(document, kMaxDepth))) {
			document->release();
			document = nullptr;
		}
	} catch (...) {
		if (document != nullptr)
			document->release();
		if (parser != nullptr)
			parser->release();
		return nullptr;
	}
	return _Opaque(static_cast<DOMNode*>(document));
}

void IXMLDomWrapper::ReleaseNode(VXMLDOMNode_opaque* inNode)
{
	try {
		if (inNode != nullptr)
			_Node(inNode)->release();
	} catch (...) {
	}
}

VXMLDOMNode_opaque* IXMLDomWrapper::CloneNodeDocument(VXMLDOMNode_opaque* inNode)
{
	try {
		DOMDocument* document = _Document(_Node(inNode));
		return document != nullptr ? _Opaque(document->cloneNode(true)) : nullptr;
	} catch (...) {
		return nullptr;
	}
}

VXMLDOMNode_opaque* IXMLDomWrapper::GetNodeDocument(VXMLDOMNode_opaque* inNode)
{
	return _Opaque(static_cast<DOMNode*>(_Document(_Node(inNode))));
}

bool IXMLDomWrapper::GetDocumentURL(VXMLDOMNode_opaque* inNode, VURL& outURL)
{
	try {
		DOMDocument* document = _Document(_Node(inNode));
		const XMLCh* uri = document != nullptr ? document->getDocumentURI() : nullptr;
		if (uri == nullptr || uri[0] == 0)
			return false;
		const VString text(uri);
		if (text.BeginsWithRawString(VString("file://")))
			outURL.FromString(text, true);
		else
			outURL.FromFilePath(text, eURL_POSIX_STYLE);
		return true;
	} catch (...) {
		return false;
	}
}

void IXMLDomWrapper::RegisterNodeIDs(VXMLDOMNode_opaque* inNode)
{
	try {
		DOMNode* node = _Node(inNode);
		if (node == nullptr)
			return;
		if (node->getNodeType() == DOMNode::DOCUMENT_NODE)
			node = static_cast<DOMDocument*>(node)->getDocumentElement();
		if (node != nullptr && node->getNodeType() == DOMNode::ELEMENT_NODE)
			_RegisterIDs(static_cast<DOMElement*>(node));
	} catch (...) {
	}
}

VXMLDOMElement_opaque* IXMLDomWrapper::GetRootNodeElement(VXMLDOMNode_opaque* inNode)
{
	DOMDocument* document = _Document(_Node(inNode));
	return document != nullptr ? _Opaque(document->getDocumentElement()) : nullptr;
}

VXMLDOMElement_opaque* IXMLDomWrapper::FindNodeElementByID(VXMLDOMNode_opaque* inNode, const VString& inID)
{
	try {
		DOMDocument* document = _Document(_Node(inNode));
		return document != nullptr ? _Opaque(document->getElementById(inID.GetCPointer())) : nullptr;
	} catch (...) {
		return nullptr;
	}
}

int IXMLDomWrapper::GetNumberOfChildrenNodes(VXMLDOMNode_opaque* inNode)
{
	DOMNode* node = _Node(inNode);
	return node != nullptr ? static_cast<int>(node->getChildNodes()->getLength()) : 0;
}

VXMLDOMNode_opaque* IXMLDomWrapper::GetChildNode(VXMLDOMNode_opaque* inNode, int inIndex)
{
	DOMNode* node = _Node(inNode);
	if (node == nullptr || inIndex < 0)
		return nullptr;
	return _Opaque(node->getChildNodes()->item(static_cast<XMLSize_t>(inIndex)));
}

VXMLDOMElement_opaque* IXMLDomWrapper::GetNodeElement(VXMLDOMNode_opaque* inNode)
{
	DOMNode* node = _Node(inNode);
	if (node == nullptr || node->getNodeType() != DOMNode::ELEMENT_NODE)
		return nullptr;
	return _Opaque(static_cast<DOMElement*>(node));
}

VXMLDOMNode_opaque* IXMLDomWrapper::GetNodeFromNodeElement(VXMLDOMElement_opaque* inElement)
{
	return _Opaque(static_cast<DOMNode*>(_Element(inElement)));
}

void IXMLDomWrapper::GetNodeElementName(VXMLDOMElement_opaque* inElement, VString& outName)
{
	outName = inElement != nullptr ? _Text(_Element(inElement)->getTagName()) : VString();
}

VXMLDOMElement_opaque* IXMLDomWrapper::CreateElement(VXMLDOMNode_opaque* inDocument, VXMLDOMElement_opaque* inParent,
													 const UniChar* inName)
{
	try {
		DOMDocument* document = _Document(_Node(inDocument));
		if (document == nullptr || inParent == nullptr)
			return nullptr;
		DOMElement* element = document->createElement(inName);
		_Element(inParent)->appendChild(element);
		return _Opaque(element);
	} catch (...) {
		return nullptr;
	}
}

VXMLDOMElement_opaque* IXMLDomWrapper::AddNodeElement(VXMLDOMElement_opaque* inParent, const VString& inName)
{
	if (inParent == nullptr)
		return nullptr;
	return CreateElement(_Opaque(static_cast<DOMNode*>(_Element(inParent))), inParent, inName.GetCPointer());
}

VXMLDOMElement_opaque* IXMLDomWrapper::AddNodeElement(VXMLDOMElement_opaque* inParent, const VString& inName,
													  const VString& inValue)
{
	VXMLDOMElement_opaque* element = AddNodeElement(inParent, inName);
	if (element != nullptr)
		SetNodeElementValue(element, inValue);
	return element;
}

VXMLDOMElement_opaque* IXMLDomWrapper::AddNodeElement(VXMLDOMElement_opaque* inParent, const VString& inName,
													  int inValue)
{
	VXMLDOMElement_opaque* element = AddNodeElement(inParent, inName);
	if (element != nullptr)
		SetNodeElementValue(element, inValue);
	return element;
}

VXMLDOMElement_opaque* IXMLDomWrapper::AddNodeElement(VXMLDOMElement_opaque* inParent, const VString& inName,
													  double inValue)
{
	VXMLDOMElement_opaque* element = AddNodeElement(inParent, inName);
	if (element != nullptr)
		SetNodeElementValue(element, inValue);
	return element;
}

VXMLDOMElement_opaque* IXMLDomWrapper::AddNodeElement(VXMLDOMElement_opaque* inParent, const VString& inName,
													  unsigned char inBoolean)
{
	VXMLDOMElement_opaque* element = AddNodeElement(inParent, inName);
	if (element != nullptr)
		SetNodeElementValue(element, inBoolean);
	return element;
}

VXMLDOMElement_opaque* IXMLDomWrapper::AddNodeElement(VXMLDOMElement_opaque* inParent, const VString& inName,
													   const VTime& inTime, uint32 inOptions)
{
	VXMLDOMElement_opaque* element = AddNodeElement(inParent, inName);
	if (element != nullptr)
		SetNodeElementValue(element, inTime, inOptions);
	return element;
}

VXMLDOMElement_opaque* IXMLDomWrapper::AddNodeElement(VXMLDOMElement_opaque* inParent, const VString& inName,
													   const VDuration& inDuration, uint32 inOptions)
{
	VXMLDOMElement_opaque* element = AddNodeElement(inParent, inName);
	if (element != nullptr)
		SetNodeElementValue(element, inDuration, inOptions);
	return element;
}

VXMLDOMElement_opaque* IXMLDomWrapper::AddNodeElement(VXMLDOMElement_opaque* inParent, const VString& inName,
													   const VValueSingle* inValue)
{
	VXMLDOMElement_opaque* element = AddNodeElement(inParent, inName);
	if (element != nullptr && inValue != nullptr) {
		VString text;
		inValue->GetXMLString(text, 0);
		SetNodeElementValue(element, text);
	}
	return element;
}

void IXMLDomWrapper::SetNodeElementValue(VXMLDOMElement_opaque* inElement, const VTime& inTime, uint32 inOptions)
{
	VString text;
	inTime.GetXMLString(text, inOptions);
	SetNodeElementValue(inElement, text);
}

void IXMLDomWrapper::SetNodeElementValue(VXMLDOMElement_opaque* inElement, const VDuration& inDuration,
										 uint32 inOptions)
{
	VString text;
	inDuration.GetXMLString(text, inOptions);
	SetNodeElementValue(inElement, text);
}

void IXMLDomWrapper::SetNodeElementValue(VXMLDOMElement_opaque* inElement, const VString& inValue)
{
	try {
		if (inElement != nullptr)
			_Element(inElement)->setTextContent(inValue.GetCPointer());
	} catch (...) {
	}
}

void IXMLDomWrapper::SetNodeElementValue(VXMLDOMElement_opaque* inElement, int inValue)
{
	VString text;
	text.FromLong(inValue);
	SetNodeElementValue(inElement, text);
}

void IXMLDomWrapper::SetNodeElementValue(VXMLDOMElement_opaque* inElement, double inValue)
{
	VString text;
	VReal(inValue).GetXMLString(text, 0);
	SetNodeElementValue(inElement, text);
}

void IXMLDomWrapper::SetNodeElementValue(VXMLDOMElement_opaque* inElement, unsigned char inBoolean)
{
	VString text;
	VBoolean(inBoolean != 0).GetXMLString(text, 0);
	SetNodeElementValue(inElement, text);
}

namespace {

void _FirstChildText(VXMLDOMElement_opaque* inElement, DOMNode::NodeType inType, VString& outValue)
{
	outValue.Clear();
	DOMNode* child = inElement != nullptr ? _Element(inElement)->getFirstChild() : nullptr;
	if (child != nullptr && child->getNodeType() == inType)
		outValue = _Text(child->getNodeValue());
}

} // namespace

void IXMLDomWrapper::GetNodeElementValueString(VXMLDOMElement_opaque* inElement, VString& outValue)
{
	_FirstChildText(inElement, DOMNode::TEXT_NODE, outValue);
}

void IXMLDomWrapper::GetNodeElementCDATA(VXMLDOMElement_opaque* inElement, VString& outValue)
{
	_FirstChildText(inElement, DOMNode::CDATA_SECTION_NODE, outValue);
}

bool IXMLDomWrapper::GetNodeElementValueBoolean(VXMLDOMElement_opaque* inElement)
{
	VString text;
	GetNodeElementValueString(inElement, text);
	VBoolean value(false);
	value.FromXMLString(text);
	return value.GetBoolean() != 0;
}

int IXMLDomWrapper::GetNodeElementValueLong(VXMLDOMElement_opaque* inElement)
{
	VString text;
	GetNodeElementValueString(inElement, text);
	VLong value(0);
	value.FromString(text);
	return value.GetLong();
}

double IXMLDomWrapper::GetNodeElementValueReal(VXMLDOMElement_opaque* inElement)
{
	VString text;
	GetNodeElementValueString(inElement, text);
	VReal value(0.0);
	value.FromString(text);
	return value.GetReal();
}

void IXMLDomWrapper::GetNodeElementValueTime(VXMLDOMElement_opaque* inElement, VTime& outTime)
{
	VString text;
	GetNodeElementValueString(inElement, text);
	if (text.IsEmpty() || !outTime.FromXMLString(text))
		outTime.SetNull(true);
}

void IXMLDomWrapper::GetNodeElementValueDuration(VXMLDOMElement_opaque* inElement, VDuration& outDuration)
{
	VString text;
	GetNodeElementValueString(inElement, text);
	if (text.IsEmpty() || !outDuration.FromXMLString(text))
		outDuration.SetNull(true);
}

bool IXMLDomWrapper::GetNodeElementAttribute(VXMLDOMElement_opaque* inElement, const VString& inName,
											 VString& outValue)
{
	try {
		DOMElement* element = _Element(inElement);
		if (element == nullptr)
			return false;
		VString prefix;
		VString local;
		DOMAttr* attribute = nullptr;
		if (_SplitName(inName, prefix, local)) {
			const XMLCh* uri = _NamespaceOfPrefix(element, prefix);
			if (uri == nullptr)
				return false;
			attribute = element->getAttributeNodeNS(uri, local.GetCPointer());
		} else {
			attribute = element->getAttributeNode(inName.GetCPointer());
		}
		if (attribute == nullptr)
			return false;
		outValue = _Text(attribute->getValue());
		return true;
	} catch (...) {
		return false;
	}
}

bool IXMLDomWrapper::SetNodeElementAttribute(VXMLDOMElement_opaque* inElement, const VString& inName,
											 const VString& inValue, bool inRemoveIfEmpty, bool* outRemoved)
{
	if (outRemoved != nullptr)
		*outRemoved = false;
	try {
		DOMElement* element = _Element(inElement);
		if (element == nullptr)
			return false;
		VString prefix;
		VString local;
		bool remove = inValue.IsEmpty() && inRemoveIfEmpty;
		if (_SplitName(inName, prefix, local)) {
			const XMLCh* uri = _NamespaceOfPrefix(element, prefix);
			if (uri == nullptr)
				return false;
			if (remove)
				element->removeAttributeNS(uri, local.GetCPointer());
			else
				element->setAttributeNS(uri, inName.GetCPointer(), inValue.GetCPointer());
			if (!remove && local.EqualToStringRaw(VString("id")))
				element->setIdAttributeNS(uri, local.GetCPointer(), true);
		} else {
			if (remove)
				element->removeAttribute(inName.GetCPointer());
			else
				element->setAttribute(inName.GetCPointer(), inValue.GetCPointer());
			if (!remove && inName.EqualToStringRaw(VString("id")))
				element->setIdAttribute(inName.GetCPointer(), true);
		}
		if (remove && outRemoved != nullptr)
			*outRemoved = true;
		return true;
	} catch (...) {
		return false;
	}
}

bool IXMLDomWrapper::SerializeToBlob(VXMLDOMNode_opaque* inNode, VBlob* ioBlob, int inOffset, size_t& outSize,
									 bool inPrettyPrint)
{
	outSize = 0;
	DOMNode* node = _Node(inNode);
	DOMDocument* document = _Document(node);
	if (document == nullptr || ioBlob == nullptr)
		return false;
	DOMLSSerializer* serializer = nullptr;
	DOMLSOutput* output = nullptr;
	DOMDocument* withoutType = nullptr;
	bool done = false;
	try {
		DOMImplementationLS* implementation =
			static_cast<DOMImplementationLS*>(DOMImplementationRegistry::getDOMImplementation(u"LS"));
		if (implementation == nullptr)
			return false;
		serializer = implementation->createLSSerializer();
		DOMConfiguration* config = serializer->getDomConfig();
		config->setParameter(XMLUni::fgDOMWRTFormatPrettyPrint, inPrettyPrint);
		config->setParameter(XMLUni::fgDOMWRTBOM, false);
		serializer->setNewLine(u"\n");
		// A document type that would not read back is left out (of a copy:
		// the serialiser shows it to no filter); what it gave the document
		// is written out instead: the entities' texts in place of their
		// references, the attributes' defaults as attributes.
		if (node == document && !_InternalSubsetReadsBack(document)) {
			withoutType = static_cast<DOMImplementation*>(implementation)->createDocument();
			withoutType->setXmlVersion(document->getXmlVersion());
			withoutType->setXmlStandalone(document->getXmlStandalone());
			for (const DOMNode* child = document->getFirstChild(); child != nullptr; child = child->getNextSibling())
				_CopyWithoutDocumentType(child, withoutType, withoutType);
			node = withoutType;
		}
		output = implementation->createLSOutput();
		const XMLCh* inputEncoding = document->getInputEncoding();
		VString encoding = inputEncoding != nullptr && inputEncoding[0] != 0 ? VString(inputEncoding) : VString("UTF-8");
		// A document read without an encoding declaration has the byte
		// order the parser found in its name ("UTF-16 (LE)"), which no
		// parser takes back as a declared encoding: the plain name is
		// written (in the machine's byte order, which readers detect).
		for (const char* order : {" (LE)", " (BE)"}) {
			if (encoding.EndsWithRawString(VString(order)))
				encoding.Truncate(encoding.GetLength() - 5);
		}
		// A document read in a stateful encoding is written in UTF-8, which
		// every reader takes back; it still reads as before.
		if (_IsStatefulEncoding(encoding))
			encoding = VString("UTF-8");
		output->setEncoding(encoding.GetCPointer());
		// A target that cannot be made writes nothing: a failure, not a success.
		std::unique_ptr<MemBufFormatTarget> target(new MemBufFormatTarget(1023));
		output->setByteStream(target.get());
		if (serializer->write(node, output))
			done = CopyMemBufFormatTargetToBlob(ioBlob, inOffset, outSize,
												reinterpret_cast<VXMLMemBufFormatTarget_opaque*>(target.get()),
												encoding, true);
	} catch (...) {
		done = false;
		outSize = 0;
	}
	if (output != nullptr)
		output->release();
	if (serializer != nullptr)
		serializer->release();
	if (withoutType != nullptr)
		withoutType->release();
	return done;
}

bool IXMLDomWrapper::SerializeToFile(VXMLDOMNode_opaque* inNode, VFileStream& ioStream, size_t& outSize,
									 bool inPrettyPrint)
{
	outSize = 0;
	VBlobWithPtr blob;
	size_t size = 0;
	if (!SerializeToBlob(inNode, &blob, 0, size, inPrettyPrint))
		return false;
	std::vector<uint8> bytes(size);
	if (size != 0 && blob.GetData(bytes.data(), size, 0) != VE_OK)
		return false;
	if (ioStream.PutData(bytes.data(), size) != VE_OK)
		return false;
	outSize = size;
	return true;
}

bool IXMLDomWrapper::WriteToFile(VXMLDOMNode_opaque* inNode, const VFile& inFile, bool inPrettyPrint)
{
	VBlobWithPtr blob;
	size_t size = 0;
	if (!SerializeToBlob(inNode, &blob, 0, size, inPrettyPrint))
		return false;
	std::vector<uint8> bytes(size);
	if (size != 0 && blob.GetData(bytes.data(), size, 0) != VE_OK)
		return false;
	if (inFile.Exists() && inFile.Delete() != VE_OK)
		return false;
	if (inFile.Create() != VE_OK)
		return false;
	VFileStream stream(&inFile);
	stream.SetCharSet(VTC_UTF_8);
	if (stream.OpenWriting() != VE_OK)
		return false;
	const VError written = stream.PutData(bytes.data(), size);
	const VError closed = stream.CloseWriting(true);
	return written == VE_OK && closed == VE_OK;
}

bool IXMLDomWrapper::CopyMemBufFormatTargetToBlob(VBlob* ioBlob, int inOffset, size_t& outSize,
												  VXMLMemBufFormatTarget_opaque* inTarget, const VString& inEncoding,
												  bool inConvertLineEndings)
{
	outSize = 0;
	if (ioBlob == nullptr || inTarget == nullptr)
		return false;
	MemBufFormatTarget* target = reinterpret_cast<MemBufFormatTarget*>(inTarget);
	const XMLByte* bytes = target->getRawBuffer();
	size_t size = target->getLen();
	size_t unit = inConvertLineEndings ? _UnitSize(inEncoding) : 0;
	std::vector<XMLByte> converted;
	if (unit != 0) {
		try {
			converted.reserve(size);
		} catch (const std::bad_alloc&) {
			_ThrowError(VE_MEMORY_FULL);
			return false;
		}
		auto read = [&](size_t inAt) {
			uint32 value = 0;
			if (unit == 1) {
				value = bytes[inAt];
			} else if (unit == 2) {
				uint16 half = 0;
				std::memcpy(&half, bytes + inAt, 2);
				value = half;
			} else {
				std::memcpy(&value, bytes + inAt, 4);
			}
			return value;
		};
		auto writeCR = [&]() {
			uint32 cr = 13;
			uint16 cr16 = 13;
			uint8 cr8 = 13;
			const uint8* p = unit == 1 ? &cr8 : unit == 2 ? reinterpret_cast<const uint8*>(&cr16)
														  : reinterpret_cast<const uint8*>(&cr);
			converted.insert(converted.end(), p, p + unit);
		};
		size_t at = 0;
		for (; at + unit <= size; at += unit) {
			uint32 value = read(at);
			if (value == 10) {
				writeCR();
			} else if (value == 13) {
				writeCR();
				if (at + 2 * unit <= size && read(at + unit) == 10)
					at += unit;
			} else {
				converted.insert(converted.end(), bytes + at, bytes + at + unit);
			}
		}
		converted.insert(converted.end(), bytes + at, bytes + size);
		bytes = converted.data();
		size = converted.size();
	}
	if (ioBlob->PutData(bytes, size, inOffset) != VE_OK)
		return false;
	outSize = size;
	return true;
}

bool IXMLDomWrapper::DOMParseNode(VXMLDOMNode_opaque* inNode, IXMLHandler* inHandler)
{
	bool result = true;
	try {
		DOMNode* node = _Node(inNode);
		if (node == nullptr || inHandler == nullptr)
			return false;
		for (DOMNode* child = node->getFirstChild(); child != nullptr; child = child->getNextSibling()) {
			switch (child->getNodeType()) {
				case DOMNode::ELEMENT_NODE:
					result = DOMParseElement(_Opaque(child), inHandler);
					break;
				case DOMNode::TEXT_NODE:
				case DOMNode::CDATA_SECTION_NODE:
					inHandler->SetText(_Text(child->getNodeValue()));
					break;
				case DOMNode::PROCESSING_INSTRUCTION_NODE: {
					DOMProcessingInstruction* instruction = static_cast<DOMProcessingInstruction*>(child);
					if (instruction->getTarget() != nullptr && instruction->getData() != nullptr)
						inHandler->processingInstruction(_Text(instruction->getTarget()), _Text(instruction->getData()));
					break;
				}
				default:
					break;
			}
		}
	} catch (...) {
		return false;
	}
	return result;
}

bool IXMLDomWrapper::DOMParseElement(VXMLDOMNode_opaque* inElement, IXMLHandler* inHandler)
{
	DOMNode* node = _Node(inElement);
	if (node == nullptr || inHandler == nullptr || node->getNodeType() != DOMNode::ELEMENT_NODE)
		return false;
	DOMElement* element = static_cast<DOMElement*>(node);
	VString name = _Text(element->getTagName());
	IXMLHandler* child = inHandler->StartElement(name);
	if (child == nullptr)
		return false;
	bool result = false;
	try {
		DOMNamedNodeMap* attributes = element->getAttributes();
		for (XMLSize_t i = 0; attributes != nullptr && i < attributes->getLength(); ++i) {
			DOMNode* attribute = attributes->item(i);
			child->SetAttribute(_Text(attribute->getNodeName()), _Text(attribute->getNodeValue()));
		}
		result = DOMParseNode(inElement, child);
		child->EndElement(name);
	} catch (...) {
		result = false;
	}
	child->Release();
	return result;
}

} // namespace qirn
