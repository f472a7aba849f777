#pragma once

// The bridge from the XML library's callbacks to handler trees. Internal to
// the kernel: only the parser's source includes it.
#include "bags_xml/IXMLHandler.h"

#include <xercesc/framework/XMLDocumentHandler.hpp>
#include <xercesc/parsers/SAXParser.hpp>
#include <xercesc/sax/EntityResolver.hpp>
#include <xercesc/sax/ErrorHandler.hpp>

#include <deque>

namespace qirn {

class VXMLParser;

// Keeps the stack of active handlers (null entries stand for ignored
// elements; others hold one reference), raises parse errors, and answers
// entity requests.
class SAX_Handlers : public xercesc::XMLDocumentHandler, public xercesc::EntityResolver,
					 public xercesc::ErrorHandler {
public:
	SAX_Handlers(xercesc::SAXParser* inParser, VXMLParser* inOwner, IXMLHandler* inRoot,
				 bool inDefaultedAttributes);
	~SAX_Handlers() override;
	SAX_Handlers(const SAX_Handlers&) = delete;
	SAX_Handlers& operator=(const SAX_Handlers&) = delete;

	void docCharacters(const XMLCh* inChars, XMLSize_t inLength, bool inCDATA) override;
	void docComment(const XMLCh*) override {}
	void docPI(const XMLCh* inTarget, const XMLCh* inData) override;
	void endDocument() override {}
	void endElement(const xercesc::XMLElementDecl& inDecl, unsigned int inURIId, bool inIsRoot,
					const XMLCh* inPrefix) override;
	void endEntityReference(const xercesc::XMLEntityDecl&) override {}
	void ignorableWhitespace(const XMLCh*, XMLSize_t, bool) override {}
	void resetDocument() override {}
	void startDocument() override {}
	void startElement(const xercesc::XMLElementDecl& inDecl, unsigned int inURIId, const XMLCh* inPrefix,
					  const xercesc::RefVectorOf<xercesc::XMLAttr>& inAttributes, XMLSize_t inCount,
					  bool inIsEmpty, bool inIsRoot) override;
	void startEntityReference(const xercesc::XMLEntityDecl&) override {}
	void XMLDecl(const XMLCh*, const XMLCh*, const XMLCh*, const XMLCh*) override {}

	xercesc::InputSource* resolveEntity(const XMLCh* inPublicID, const XMLCh* inSystemID) override;

	void warning(const xercesc::SAXParseException&) override {}
	void error(const xercesc::SAXParseException& inException) override;
	void fatalError(const xercesc::SAXParseException& inException) override;
	void resetErrors() override {}

	// Raises an 'xmlc' error with its parameters.
	static void RaiseError(VError inError, const XMLCh* inMessage, const XMLCh* inSystemID,
						   const XMLCh* inPublicID, sLONG8 inLine, sLONG8 inColumn);

private:
	IXMLHandler* _Top() const { return fStack.empty() ? nullptr : fStack.back(); }

	std::deque<IXMLHandler*> fStack;
	[[maybe_unused]] xercesc::SAXParser* fParser;
	VXMLParser* fOwner;
	bool fDefaultedAttributes;
};

} // namespace qirn
