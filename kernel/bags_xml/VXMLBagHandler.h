#pragma once

#include "bags_xml/IXMLHandler.h"
#include "bags_xml/VBagArray.h"
#include "core/VObject.h"
#include "core/VString.h"

#include <vector>

namespace qirn {

class VValueBag;

// Builds bags from a parse: the element it is given lands in the bag it was
// made on, each nested element becomes a child bag under its name, in
// document order. Attribute values are kept as strings; text is appended to
// the bag's character data (white space between elements included).
//
// Nesting deeper than the JSON readers allow raises VE_STACK_OVERFLOW once;
// from then on nothing more is added to any bag.
class VXMLBagHandler : public VObject, public IXMLHandler {
public:
	explicit VXMLBagHandler(VValueBag* inBag);
	~VXMLBagHandler() override;

	IXMLHandler* StartElement(const VString& inElementName) override;
	void EndElement(const VString& inElementName) override;
	void SetAttribute(const VString& inName, const VString& inValue) override;
	void SetText(const VString& inText) override;

private:
	// The text of each open bag is gathered apart and goes in when its
	// element ends: a parser hands texts over in pieces, and the white space
	// between thousands of children would otherwise rewrite the character
	// data of their parent thousands of times.
	void _FlushText();

	VBagArray fStack;
	std::vector<VString> fTexts;
	bool fStopped = false;
};

// Takes only the document's first top-level element, and only when it has
// the expected name (compared without diacritical distinction; an empty
// name takes any element), reading it into the target bag.
class VXMLBagHandler_UniqueElement : public VObject, public IXMLHandler {
public:
	VXMLBagHandler_UniqueElement(VValueBag* inBag, const VString& inElementName);
	~VXMLBagHandler_UniqueElement() override;

	IXMLHandler* StartElement(const VString& inElementName) override;
	void SetText(const VString& inText) override;

private:
	VValueBag* fBag;
	VString fElementName;
	uint32 fCount = 0;
};

} // namespace qirn
