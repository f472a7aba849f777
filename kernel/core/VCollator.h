#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VValue.h"

namespace qirn {

class VString;

// The order of text as a person reads it, and pattern matching with a
// wildcard. Every operation takes two texts as units and a length, and a
// diacritical flag: true compares accents and case, false ignores both.
// Comparisons answer -1, 0 or 1; positions count from 1, 0 being none, and
// the optional out-length of a search receives the length of the text
// matched, which may differ from the pattern's.
//
// A collator belongs to one intl manager, used by one task at a time.
class VCollator : public VObject, public IRefCountable {
public:
	static constexpr UniChar sDefaultWildChar = u'@';
	// Wildcards count only at the two ends of a pattern.
	static constexpr uint8 kOptionWildCharOnlyAtEnds = 2;

	explicit VCollator(sLONG inDialectCode) : fDialectCode(inDialectCode) {}
	VCollator(const VCollator&) = default;
	VCollator& operator=(const VCollator&) = delete;

	virtual CompareResult CompareString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2,
										VIndex inLength2, bool inDiacritical) const = 0;
	virtual bool EqualString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2, VIndex inLength2,
							 bool inDiacritical) const = 0;
	// An empty text finds nothing; an empty pattern is found at 1 in any
	// other text.
	virtual VIndex FindString(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
							  VIndex inPatternLength, bool inDiacritical, VIndex* outLength = nullptr) const = 0;
	// The last occurrence, its position counted from the start of the text.
	virtual VIndex ReversedFindString(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
									  VIndex inPatternLength, bool inDiacritical,
									  VIndex* outLength = nullptr) const = 0;
	virtual bool BeginsWithString(const UniChar* inText, VIndex inTextLength, const UniChar* inPrefix,
								  VIndex inPrefixLength, bool inDiacritical, VIndex* outLength = nullptr) const;
	virtual bool EndsWithString(const UniChar* inText, VIndex inTextLength, const UniChar* inSuffix,
								VIndex inSuffixLength, bool inDiacritical, VIndex* outLength = nullptr) const;

	// A new collator (one reference for the caller) with the same dialect,
	// wildcard and options.
	virtual VCollator* Clone() const = 0;
	virtual void SetWildChar(UniChar inWildChar) { fWildChar = inWildChar; }
	// A text that changes when the platform's order may have changed.
	virtual void GetStringComparisonAlgorithmSignature(VString& outSignature) const = 0;
	// The wildcard back to the default.
	virtual void Reset() { fWildChar = sDefaultWildChar; }

	// The text against a pattern: 0 when it matches. Callers test a non-zero
	// answer against 0 only.
	CompareResult CompareString_Like(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
									 VIndex inPatternLength, bool inDiacritical) const;
	// The same match, settling plain ASCII text itself and looking through
	// the control characters other than tab and the line ends.
	bool EqualString_Like(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
						  VIndex inPatternLength, bool inDiacritical) const;
	// Whether a search in a sorted index can serve the pattern: no wildcard,
	// or one wildcard as its last character with no kana before it.
	bool IsPatternCompatibleWithDichotomyAndDiacritics(const UniChar* inPattern, VIndex inLength) const;

	sLONG GetDialectCode() const { return fDialectCode; }
	UniChar GetWildChar() const { return fWildChar; }
	uint8 GetOptions() const { return fOptions; }
	void SetOptions(uint8 inOptions) { fOptions = inOptions; }

protected:
	virtual CompareResult _CompareString_Like_IgnoreWildCharInMiddle(const UniChar* inText, VIndex inTextLength,
																	 const UniChar* inPattern, VIndex inPatternLength,
																	 bool inDiacritical) const;
	virtual CompareResult _CompareString_Like_SupportWildCharInMiddle(const UniChar* inText, VIndex inTextLength,
																	  const UniChar* inPattern,
																	  VIndex inPatternLength,
																	  bool inDiacritical) const;

private:
	VIndex _SegmentEnd(const UniChar* inPattern, VIndex inPatternLength, VIndex inStart) const;

	sLONG fDialectCode;
	UniChar fWildChar = sDefaultWildChar;
	uint8 fOptions = 1;
};

} // namespace qirn
