#include "core/VCollator_system.h"

#include "core/VIntlMgr.h"
#include "core/VString.h"

namespace qirn {

VCollator_system::VCollator_system(sLONG inDialectCode, const std::string& inLocaleID)
	: VCollator(inDialectCode), fCompare(inLocaleID)
{
}

VCollator_system* VCollator_system::Create(sLONG inDialectCode, VIntlMgr* inIntlMgr)
{
	std::string localeID = (inIntlMgr != nullptr && inIntlMgr->GetDialectCode() == inDialectCode)
							   ? inIntlMgr->GetPlatformIntlMgr().GetLocaleID()
							   : XLinuxIntlMgr::MakeLocaleID(inDialectCode);
	auto* collator = new VCollator_system(inDialectCode, localeID);
	if (!collator->fCompare.IsValid()) {
		collator->Release();
		return nullptr;
	}
	return collator;
}

VIndex VCollator_system::_Find(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
							   VIndex inPatternLength, bool inDiacritical, bool inLast, VIndex* outLength) const
{
	VIndex length = 0;
	VIndex pos = 0;
	if (inTextLength > 0) {
		if (inPatternLength <= 0) {
			pos = 1;
		} else {
			VIndex found = fCompare.Find(inText, inTextLength, inPattern, inPatternLength, inDiacritical, inLast,
										 &length);
			pos = found < 0 ? 0 : found + 1;
		}
	}
	if (outLength != nullptr)
		*outLength = length;
	return pos;
}

VIndex VCollator_system::FindString(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
									VIndex inPatternLength, bool inDiacritical, VIndex* outLength) const
{
	return _Find(inText, inTextLength, inPattern, inPatternLength, inDiacritical, false, outLength);
}

VIndex VCollator_system::ReversedFindString(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
											VIndex inPatternLength, bool inDiacritical, VIndex* outLength) const
{
	return _Find(inText, inTextLength, inPattern, inPatternLength, inDiacritical, true, outLength);
}

VCollator_system* VCollator_system::Clone() const
{
	return new VCollator_system(*this);
}

void VCollator_system::GetStringComparisonAlgorithmSignature(VString& outSignature) const
{
	outSignature.FromCString("system:");
	outSignature.AppendCString(XLinuxStringCompare::GetVersionString().c_str());
}

} // namespace qirn
