#include "bags_xml/VLocalizationAltTransHandler.h"

#include "bags_xml/LocalizationPlatform.h"
#include "bags_xml/VValueBag.h"

namespace qirn {

VLocalizationAltTransHandler::VLocalizationAltTransHandler(VValueBag* inUnitBag) : fUnitBag(inUnitBag)
{
	if (fUnitBag)
		fBag = VRefPtr<VValueBag>::Adopt(new VValueBag);
}

VLocalizationAltTransHandler::~VLocalizationAltTransHandler() = default;

IXMLHandler* VLocalizationAltTransHandler::StartElement(const VString& inElementName)
{
	fChildName = inElementName;
	if (inElementName.EqualToUSASCIICString("source") || inElementName.EqualToUSASCIICString("target")) {
		Retain();
		return this;
	}
	return nullptr;
}

void VLocalizationAltTransHandler::SetAttribute(const VString& inName, const VString& inValue)
{
	if (fBag)
		fBag->SetString(inName, inValue);
	if (IsExcludedOnThisPlatform(inName, inValue))
		fExcluded = true;
}

void VLocalizationAltTransHandler::SetText(const VString& inText)
{
	if (fChildName.EqualToUSASCIICString("source")) {
		fSource.AppendString(inText);
		fHasSource = true;
	} else if (fChildName.EqualToUSASCIICString("target")) {
		fTarget.AppendString(inText);
		fHasTarget = true;
	}
}

void VLocalizationAltTransHandler::EndElement(const VString& inElementName)
{
	fChildName.Clear();
	if (!inElementName.EqualToUSASCIICString("alt-trans") || fExcluded || !fBag)
		return;
	fBag->SetString("target", fHasTarget ? fTarget : fHasSource ? fSource : VString());
	fUnitBag->AddElement("alt-trans", fBag.Get());
}

} // namespace qirn
