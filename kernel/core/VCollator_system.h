#pragma once

#include "core/VCollator.h"
#include "core/platform/XLinuxStringCompare.h"

namespace qirn {

class VIntlMgr;

// The collator of the platform's localized comparison.
class VCollator_system : public VCollator {
public:
	// A collator for the dialect (one reference for the caller), or null when
	// the platform cannot order its text. A manager of that same dialect
	// lends its own locale.
	static VCollator_system* Create(sLONG inDialectCode, VIntlMgr* inIntlMgr);

	CompareResult CompareString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2, VIndex inLength2,
								bool inDiacritical) const override;
	bool EqualString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2, VIndex inLength2,
					 bool inDiacritical) const override;
	VIndex FindString(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern, VIndex inPatternLength,
					  bool inDiacritical, VIndex* outLength = nullptr) const override;
	VIndex ReversedFindString(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
							  VIndex inPatternLength, bool inDiacritical, VIndex* outLength = nullptr) const override;
	VCollator* Clone() const override;
	void GetStringComparisonAlgorithmSignature(VString& outSignature) const override;

private:
	VCollator_system(sLONG inDialectCode, const std::string& inLocaleID);
	VCollator_system(const VCollator_system& inOther) = default;

	VIndex _Find(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern, VIndex inPatternLength,
				 bool inDiacritical, bool inLast, VIndex* outLength) const;

	XLinuxStringCompare fCompare;
};

} // namespace qirn
