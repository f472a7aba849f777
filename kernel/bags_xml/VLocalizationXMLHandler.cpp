#include "bags_xml/VLocalizationXMLHandler.h"

#include "bags_xml/VLocalizationGroupHandler.h"
#include "bags_xml/VLocalizationManager.h"
#include "bags_xml/VLocalizationTransUnitHandler.h"
#include "core/VIntlMgr.h"

namespace qirn {

IXMLHandler* VLocalizationXMLHandler::StartElement(const VString& inElementName)
{
	if (inElementName.EqualToUSASCIICString("file"))
		fElementName = inElementName;
	else
		fElementName.Clear();
	if (fAccept || fLoadAnyLanguage) {
		if (inElementName.EqualToUSASCIICString("group"))
			return new VLocalizationGroupHandler(fManager, fOverride);
		if (inElementName.EqualToUSASCIICString("trans-unit"))
			return new VLocalizationTransUnitHandler(fManager, 0, {}, nullptr, fOverride);
	}
	// The document's frame, and refused groups and units, are walked through
	// for the next "file" element.
	Retain();
	return this;
}

void VLocalizationXMLHandler::SetAttribute(const VString& inName, const VString& inValue)
{
	if (!fElementName.EqualToUSASCIICString("file") || !inName.EqualToUSASCIICString("target-language"))
		return;
	VString ours;
	if (!VIntlMgr::GetRFC3066BisLanguageCodeWithDialectCode(fManager->GetLocalizationLanguage(), ours, u'-'))
		return;
	switch (VIntlMgr::Compare2RFC3066LanguageCodes(ours, inValue)) {
	case 4:
		fAccept = true;
		fOverride = true;
		break;
	case 1:
	case 2:
	case 3:
		// The same language in another region: taken, without replacing what
		// a closer file gave.
		fAccept = true;
		fOverride = false;
		break;
	default:
		fAccept = false;
		break;
	}
}

void VLocalizationXMLHandler::SetText(const VString&)
{
}

} // namespace qirn
