#pragma once

#include "bags_xml/IXMLHandler.h"
#include "core/VObject.h"
#include "core/VString.h"

namespace qirn {

class VLocalizationManager;

// The document handler of a localization manager's XLIFF files: it reads
// each "file" element's "target-language" and hands the groups and units
// of a file in the manager's language to their handlers. One serves every
// file of its manager, and what a "target-language" decided stays for the
// files that follow until another one decides again.
class VLocalizationXMLHandler : public VObject, public IXMLHandler {
public:
	explicit VLocalizationXMLHandler(VLocalizationManager* inManager) : fManager(inManager) {}

	IXMLHandler* StartElement(const VString& inElementName) override;
	void SetAttribute(const VString& inName, const VString& inValue) override;
	void SetText(const VString& inText) override;

	// Takes groups and units whatever the language (the resources folder's
	// own files); the manager sets it around one parse.
	void SetLoadAnyLanguage(bool inLoadAnyLanguage) { fLoadAnyLanguage = inLoadAnyLanguage; }
	bool GetAccept() const { return fAccept; }
	bool GetOverride() const { return fOverride; }

private:
	VLocalizationManager* fManager; // not retained: the manager owns this handler
	bool fAccept = false;
	bool fOverride = true;
	VString fElementName;
	bool fLoadAnyLanguage = false;
};

} // namespace qirn
