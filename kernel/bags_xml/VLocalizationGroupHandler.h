#pragma once

#include "bags_xml/IXMLHandler.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"

#include <vector>

namespace qirn {

class VLocalizationManager;
class VValueBag;

// An XLIFF "group" and the groups nested in it (the same handler, one
// resname per level). A group with a restype is also kept whole, as a bag
// of its attributes and of its units' bags.
class VLocalizationGroupHandler : public VObject, public IXMLHandler {
public:
	VLocalizationGroupHandler(VLocalizationManager* inManager, bool inOverride);
	~VLocalizationGroupHandler() override;

	IXMLHandler* StartElement(const VString& inElementName) override;
	void EndElement(const VString& inElementName) override;
	void SetAttribute(const VString& inName, const VString& inValue) override;
	void SetText(const VString& inText) override;

private:
	VLocalizationManager* fManager;
	bool fOverride;
	// One for the handler, not per nesting level: a nested group's id
	// replaces its parent's.
	uLONG fGroupID = 0;
	std::vector<VString> fResNames;
	VRefPtr<VValueBag> fGroupBag;
	VString fRestype;
};

} // namespace qirn
