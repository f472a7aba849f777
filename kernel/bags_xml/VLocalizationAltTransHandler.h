#pragma once

#include "bags_xml/IXMLHandler.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"

namespace qirn {

class VValueBag;

// An XLIFF "alt-trans" inside a unit. Alternative translations never reach
// the string tables: they are kept only in the bag of a unit whose group is
// kept whole.
class VLocalizationAltTransHandler : public VObject, public IXMLHandler {
public:
	// inUnitBag (retained) may be null: the alternative is then read and
	// dropped.
	explicit VLocalizationAltTransHandler(VValueBag* inUnitBag);
	~VLocalizationAltTransHandler() override;

	IXMLHandler* StartElement(const VString& inElementName) override;
	void EndElement(const VString& inElementName) override;
	void SetAttribute(const VString& inName, const VString& inValue) override;
	void SetText(const VString& inText) override;

private:
	VString fChildName;
	VRefPtr<VValueBag> fUnitBag;
	VRefPtr<VValueBag> fBag;
	VString fSource;
	VString fTarget;
	bool fHasSource = false;
	bool fHasTarget = false;
	bool fExcluded = false;
};

} // namespace qirn
