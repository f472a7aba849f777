#include "bags_xml/SAX_Handlers.h"

#include <xercesc/util/XMLChar.hpp>
#include <xercesc/util/XMLString.hpp>

#include "bags_xml/VXMLParser.h"
#include "core/VMemoryBuffer.h"
#include "core/VRefPtr.h"
#include "files/VFile.h"
#include "runtime/StThrowError.h"

#include <xercesc/framework/MemBufInputSource.hpp>

#include <xercesc/framework/XMLAttr.hpp>
#include <xercesc/framework/XMLElementDecl.hpp>
#include <xercesc/sax/SAXParseException.hpp>

#include <cstring>

namespace qirn {

namespace {

VString _Text(const XMLCh* inChars)
{
	return inChars != nullptr ? VString(inChars) : VString();
}

// An element or attribute is known by the local part of its name. A name
// whose local part is no name of its own (":" and "a:" have none, ":0" and
// "a:0" one that starts with a digit, "a::b" and ":a:b" one that holds a
// colon, which would split again when read back) is known by its whole name
// instead, which a writer can put back into XML.
VString _KnownName(const XMLCh* inLocal, const XMLCh* inWhole)
{
	const bool known = inLocal != nullptr && *inLocal != 0 &&
					   xercesc::XMLChar1_0::isValidNCName(inLocal, xercesc::XMLString::stringLen(inLocal));
	return known ? VString(inLocal) : _Text(inWhole);
}

VString _ElementName(const xercesc::XMLElementDecl& inDecl)
{
	return _KnownName(inDecl.getBaseName(), inDecl.getFullName());
}

VString _AttributeName(const xercesc::XMLAttr& inAttribute)
{
	return _KnownName(inAttribute.getName(), inAttribute.getQName());
}

} // namespace

SAX_Handlers::SAX_Handlers(xercesc::SAXParser* inParser, VXMLParser* inOwner, IXMLHandler* inRoot,
						   bool inDefaultedAttributes)
	: fParser(inParser), fOwner(inOwner), fDefaultedAttributes(inDefaultedAttributes)
{
	fStack.push_back(RetainRefCountable(inRoot));
}

SAX_Handlers::~SAX_Handlers()
{
	// A parse stopped by an error leaves its open elements' handlers.
	for (IXMLHandler* handler : fStack) {
		if (handler != nullptr)
			handler->Release();
	}
}

void SAX_Handlers::startElement(const xercesc::XMLElementDecl& inDecl, unsigned int, const XMLCh*,
								const xercesc::RefVectorOf<xercesc::XMLAttr>& inAttributes, XMLSize_t inCount,
								bool inIsEmpty, bool)
{
	const VString name = _ElementName(inDecl);
	IXMLHandler* top = _Top();
	IXMLHandler* child = top != nullptr ? top->StartElement(name) : nullptr;
	if (child == nullptr) {
		if (!inIsEmpty)
			fStack.push_back(nullptr);
		return;
	}
	if (!inIsEmpty)
		fStack.push_back(RetainRefCountable(child));
	for (XMLSize_t index = 0; index < inCount; ++index) {
		const xercesc::XMLAttr* attribute = inAttributes.elementAt(index);
		if (!attribute->getSpecified() && !fDefaultedAttributes)
			continue;
		child->SetAttribute(_AttributeName(*attribute), _Text(attribute->getValue()));
	}
	if (inIsEmpty)
		child->EndElement(name);
	child->Release();
}

void SAX_Handlers::endElement(const xercesc::XMLElementDecl& inDecl, unsigned int, bool, const XMLCh*)
{
	if (fStack.empty())
		return;
	IXMLHandler* top = fStack.back();
	fStack.pop_back();
	if (top != nullptr) {
		top->EndElement(_ElementName(inDecl));
		top->Release();
	}
}

void SAX_Handlers::docCharacters(const XMLCh* inChars, XMLSize_t inLength, bool)
{
	IXMLHandler* top = _Top();
	if (top == nullptr || inLength == 0)
		return;
	top->SetText(VString(inChars, static_cast<VIndex>(inLength)));
}

void SAX_Handlers::docPI(const XMLCh* inTarget, const XMLCh* inData)
{
	IXMLHandler* top = _Top();
	if (top != nullptr && inTarget != nullptr && inData != nullptr)
		top->processingInstruction(VString(inTarget), VString(inData));
}

// Only a file of an entities folder is read: answering nothing, with the
// library's own resolution turned off, makes every other external entity or
// DTD a fatal error. The file found is read here, whole, so that the file
// checked is the file the library parses.
xercesc::InputSource* SAX_Handlers::resolveEntity(const XMLCh*, const XMLCh* inSystemID)
{
	IXMLHandler* top = _Top();
	if (top == nullptr || inSystemID == nullptr)
		return nullptr;
	const VString systemID(inSystemID);
	VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(top->ResolveEntity(systemID));
	if (file == nullptr && fOwner != nullptr)
		file = VRefPtr<VFile>::Adopt(fOwner->ResolveEntity(systemID));
	if (file == nullptr)
		return nullptr;
	VMemoryBuffer<> content;
	if (file->GetContent(content) != VE_OK)
		return nullptr;
	// An adopted buffer is freed by the source with delete[].
	const XMLSize_t size = content.GetDataSize();
	auto* bytes = new XMLByte[size != 0 ? size : 1];
	if (size != 0)
		std::memcpy(bytes, content.GetDataPtr(), size);
	return new xercesc::MemBufInputSource(bytes, size, inSystemID, true);
}

void SAX_Handlers::error(const xercesc::SAXParseException& inException)
{
	RaiseError(VE_XML_PARSE_ERROR, inException.getMessage(), inException.getSystemId(), inException.getPublicId(),
			   static_cast<sLONG8>(inException.getLineNumber()), static_cast<sLONG8>(inException.getColumnNumber()));
}

void SAX_Handlers::fatalError(const xercesc::SAXParseException& inException)
{
	RaiseError(VE_XML_FATAL_ERROR, inException.getMessage(), inException.getSystemId(), inException.getPublicId(),
			   static_cast<sLONG8>(inException.getLineNumber()), static_cast<sLONG8>(inException.getColumnNumber()));
}

void SAX_Handlers::RaiseError(VError inError, const XMLCh* inMessage, const XMLCh* inSystemID,
							  const XMLCh* inPublicID, sLONG8 inLine, sLONG8 inColumn)
{
	StThrowError<> error(inError);
	error->SetString(VString("message"), _Text(inMessage));
	error->SetString(VString("systemID"), _Text(inSystemID));
	error->SetString(VString("publicID"), _Text(inPublicID));
	error->SetLong8(VString("line"), inLine);
	error->SetLong8(VString("column"), inColumn);
}

} // namespace qirn
