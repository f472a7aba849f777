#pragma once

#include "bags_xml/IXMLHandler.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"

#include <vector>

namespace qirn {

class VLocalizationManager;
class VValueBag;

// An XLIFF "trans-unit": its target text (its source text when it has no
// target) goes into the manager under its numbered codes, its resname (or
// the joined key of a bracketed group) and the groups around it.
class VLocalizationTransUnitHandler : public VObject, public IXMLHandler {
public:
	// inGroupBag (retained) is the enclosing group's bag when that group is
	// kept whole; the unit then adds a bag of its own to it.
	VLocalizationTransUnitHandler(VLocalizationManager* inManager, uLONG inGroupID, std::vector<VString> inResNames,
								  VValueBag* inGroupBag, bool inOverride);
	~VLocalizationTransUnitHandler() override;

	IXMLHandler* StartElement(const VString& inElementName) override;
	void EndElement(const VString& inElementName) override;
	void SetAttribute(const VString& inName, const VString& inValue) override;
	void SetText(const VString& inText) override;

private:
	void _Insert();

	VLocalizationManager* fManager;
	VString fChildName;
	uLONG fGroupID;
	VRefPtr<VValueBag> fGroupBag;
	VRefPtr<VValueBag> fUnitBag;
	sLONG fStringID = 0;
	VString fResName;
	// A text stays absent until character data arrives for it: an empty
	// "target" element leaves the source text in charge.
	VString fSource;
	VString fTarget;
	bool fHasSource = false;
	bool fHasTarget = false;
	bool fInserted = false;
	bool fOverride;
	bool fExcluded = false;
	std::vector<VString> fResNames;
};

} // namespace qirn
