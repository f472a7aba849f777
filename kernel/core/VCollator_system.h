#pragma once

#include "core/VCollator.h"
#include "core/platform/XLinuxStringCompare.h"

namespace qirn {

class VIntlMgr;

// The collator of the platform's localized comparison. Final, and its
// comparison inline: a manager that holds one compares without a virtual
// call, straight into the platform's comparer.
class VCollator_system final : public VCollator {
public:
	// A collator for the dialect (one reference for the caller), or null when
	// the platform cannot order its text. A manager of that same dialect
	// lends its own locale.
	static VCollator_system* Create(sLONG inDialectCode, VIntlMgr* inIntlMgr);

	CompareResult CompareString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2, VIndex inLength2,
								bool inDiacritical) const override
	{
		if (inLength1 <= 0)
			return inLength2 > 0 ? CR_SMALLER : CR_EQUAL;
		if (inLength2 <= 0)
			return CR_BIGGER;
		return fCompare.Compare(inText1, inLength1, inText2, inLength2, inDiacritical);
	}
	bool EqualString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2, VIndex inLength2,
					 bool inDiacritical) const override
	{
		return CompareString(inText1, inLength1, inText2, inLength2, inDiacritical) == CR_EQUAL;
	}
	VIndex FindString(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern, VIndex inPatternLength,
					  bool inDiacritical, VIndex* outLength = nullptr) const override;
	VIndex ReversedFindString(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
							  VIndex inPatternLength, bool inDiacritical, VIndex* outLength = nullptr) const override;
	VCollator_system* Clone() const override;
	void GetStringComparisonAlgorithmSignature(VString& outSignature) const override;

private:
	VCollator_system(sLONG inDialectCode, const std::string& inLocaleID);
	VCollator_system(const VCollator_system& inOther) = default;

	VIndex _Find(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern, VIndex inPatternLength,
				 bool inDiacritical, bool inLast, VIndex* outLength) const;

	XLinuxStringCompare fCompare;
};

} // namespace qirn
