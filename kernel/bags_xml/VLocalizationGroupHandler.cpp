#include "bags_xml/VLocalizationGroupHandler.h"

#include "bags_xml/VLocalizationManager.h"
#include "bags_xml/VLocalizationTransUnitHandler.h"
#include "bags_xml/VValueBag.h"

namespace qirn {

VLocalizationGroupHandler::VLocalizationGroupHandler(VLocalizationManager* inManager, bool inOverride)
	: fManager(inManager), fOverride(inOverride), fResNames(1)
{
}

VLocalizationGroupHandler::~VLocalizationGroupHandler() = default;

IXMLHandler* VLocalizationGroupHandler::StartElement(const VString& inElementName)
{
	if (inElementName.EqualToUSASCIICString("trans-unit"))
		return new VLocalizationTransUnitHandler(fManager, fGroupID, fResNames,
												 fRestype.IsEmpty() ? nullptr : fGroupBag.Get(), fOverride);
	if (inElementName.EqualToUSASCIICString("group")) {
		fResNames.emplace_back();
		Retain();
		return this;
	}
	return nullptr;
}

void VLocalizationGroupHandler::EndElement(const VString&)
{
	const VString top = fResNames.empty() ? VString() : fResNames.back();
	if (fGroupBag && !fRestype.IsEmpty()) {
		if (!top.IsEmpty())
			fGroupBag->SetString("resname", top);
		fManager->_InsertGroupBag(top, fRestype, fGroupBag.Get());
	}
	fGroupBag.Clear();
	fRestype.Clear();
	if (!fResNames.empty())
		fResNames.pop_back();
}

void VLocalizationGroupHandler::SetAttribute(const VString& inName, const VString& inValue)
{
	if (!fGroupBag)
		fGroupBag = VRefPtr<VValueBag>::Adopt(new VValueBag);
	if (inName.EqualToUSASCIICString("id")) {
		if (const sLONG id = inValue.GetLong(); id != 0)
			fGroupID = static_cast<uLONG>(id);
	} else if (inName.EqualToUSASCIICString("resname")) {
		if (!inValue.IsEmpty() && !fResNames.empty())
			fResNames.back() = inValue;
	} else if (inName.EqualToUSASCIICString("restype")) {
		fRestype = inValue;
	}
	fGroupBag->SetString(inName, inValue);
}

void VLocalizationGroupHandler::SetText(const VString&)
{
}

} // namespace qirn
