#include "bags_xml/VLocalizationTransUnitHandler.h"

#include "bags_xml/LocalizationPlatform.h"
#include "bags_xml/VLocalizationAltTransHandler.h"
#include "bags_xml/VLocalizationManager.h"
#include "bags_xml/VValueBag.h"

#include <utility>

namespace qirn {

namespace {

// The separator of the parts of an object-URL key.
constexpr const char16_t* kObjectURLSeparator = u"#}[{@";

bool IsBracketed(const VString& inName)
{
	return inName.GetLength() >= 1 && inName.GetUniChar(1) == u'[' && inName.GetUniChar(inName.GetLength()) == u']';
}

} // namespace

VLocalizationTransUnitHandler::VLocalizationTransUnitHandler(VLocalizationManager* inManager, uLONG inGroupID,
															 std::vector<VString> inResNames, VValueBag* inGroupBag,
															 bool inOverride)
	: fManager(inManager), fGroupID(inGroupID), fGroupBag(inGroupBag), fOverride(inOverride),
	  fResNames(std::move(inResNames))
{
	if (fGroupBag)
		fUnitBag = VRefPtr<VValueBag>::Adopt(new VValueBag);
}

VLocalizationTransUnitHandler::~VLocalizationTransUnitHandler() = default;

IXMLHandler* VLocalizationTransUnitHandler::StartElement(const VString& inElementName)
{
	fChildName = inElementName;
	if (inElementName.EqualToUSASCIICString("source") || inElementName.EqualToUSASCIICString("target")) {
		Retain();
		return this;
	}
	if (inElementName.EqualToUSASCIICString("alt-trans"))
		return new VLocalizationAltTransHandler(fUnitBag.Get());
	return nullptr;
}

void VLocalizationTransUnitHandler::SetAttribute(const VString& inName, const VString& inValue)
{
	if (fUnitBag)
		fUnitBag->SetString(inName, inValue);
	if (inName.EqualToUSASCIICString("id")) {
		if (const sLONG id = inValue.GetLong(); id > 0)
			fStringID = id;
	} else if (inName.EqualToUSASCIICString("resname")) {
		fResName = inValue;
	} else if (IsExcludedOnThisPlatform(inName, inValue)) {
		fExcluded = true;
	}
}

void VLocalizationTransUnitHandler::SetText(const VString& inText)
{
	if (fChildName.EqualToUSASCIICString("source")) {
		fSource.AppendString(inText);
		fHasSource = true;
	} else if (fChildName.EqualToUSASCIICString("target")) {
		fTarget.AppendString(inText);
		fHasTarget = true;
	}
}

void VLocalizationTransUnitHandler::EndElement(const VString& inElementName)
{
	fChildName.Clear();
	// The end of the unit's "source" or "target" only closes the child: the
	// unit is stored at its own end, once both texts are known, even when
	// markup inside the source left another child name behind.
	if (inElementName.EqualToUSASCIICString("source") || inElementName.EqualToUSASCIICString("target"))
		return;
	if (!fExcluded)
		_Insert();
}

void VLocalizationTransUnitHandler::_Insert()
{
	const VString text = fHasTarget ? fTarget : fHasSource ? fSource : VString();
	if (fUnitBag) {
		fUnitBag->SetString("target", text);
		fGroupBag->AddElement("trans-unit", fUnitBag.Get());
	}
	if (fInserted)
		return;
	if (fStringID != 0 && fGroupID != 0) {
		fManager->_InsertSTRSharpCodeAndString(STRSharpCodes(static_cast<sLONG>(fGroupID), static_cast<uLONG>(fStringID)),
											   text, fOverride);
		fInserted = true;
	}
	if (text.IsEmpty())
		return;
	if (fResNames.size() >= 2 && !fResName.IsEmpty()) {
		const VString& inner = fResNames[fResNames.size() - 1];
		const VString& outer = fResNames[fResNames.size() - 2];
		if (!inner.IsEmpty() && IsBracketed(outer)) {
			VString key(outer);
			key.AppendUniCString(kObjectURLSeparator);
			key.AppendString(inner);
			key.AppendUniCString(kObjectURLSeparator);
			key.AppendString(fResName);
			fManager->_InsertObjectURLAndString(key, text, fOverride);
			fInserted = true;
			return;
		}
	}
	if (!fResName.IsEmpty()) {
		fManager->_InsertObjectURLAndString(fResName, text, fOverride);
		fInserted = true;
	}
	for (auto name = fResNames.rbegin(); name != fResNames.rend(); ++name) {
		fManager->_InsertIDAndStringInAGroup(static_cast<uLONG>(fStringID), text, *name, fOverride);
		fInserted = true;
	}
}

} // namespace qirn
