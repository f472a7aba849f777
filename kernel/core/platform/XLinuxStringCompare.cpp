#include "core/platform/XLinuxStringCompare.h"

#include <unicode/coll.h>
#include <unicode/normalizer2.h>
#include <unicode/stsearch.h>
#include <unicode/tblcoll.h>
#include <unicode/uvernum.h>

#include <cstdint>
#include <cstring>
#include <string>

namespace qirn {

namespace {

bool IsWidthVariant(UniChar inUnit)
{
	// Most text never reaches U+3000: one test settles it.
	return inUnit >= 0x3000 && (inUnit == 0x3000 || (inUnit >= 0xFF00 && inUnit <= 0xFFEF));
}

// The full-width and half-width forms read as their usual forms, unit for
// unit, so that positions found in the folded text stand in the original.
// A form whose usual form is longer than one unit stays as it is.
UniChar FoldWidth(UniChar inUnit)
{
	if (inUnit >= 0xFF01 && inUnit <= 0xFF5E)
		return static_cast<UniChar>(inUnit - 0xFEE0);
	if (inUnit == 0x3000)
		return u' ';
	UErrorCode status = U_ZERO_ERROR;
	const icu::Normalizer2* nfkc = icu::Normalizer2::getNFKCInstance(status);
	icu::UnicodeString decomposition;
	if (U_SUCCESS(status) && nfkc->getDecomposition(inUnit, decomposition) && decomposition.length() == 1)
		return decomposition.charAt(0);
	return inUnit;
}

// The units of a word of four at or above U+3000 (any width form is): their
// top four bits 3 or more, that is bit 15 or 14 set, or bits 13 and 12 both.
// The shift carries a unit's bit 15 into its neighbour's bit 0, masked off.
uint64_t UnitsFrom3000(uint64_t inFourUnits)
{
	return (inFourUnits & 0xC000C000C000C000u) | (inFourUnits & (inFourUnits << 1) & 0x2000200020002000u);
}

uint64_t LoadFourUnits(const UniChar* inUnits)
{
	uint64_t units;
	std::memcpy(&units, inUnits, sizeof(units));
	return units;
}

// Whether a text may hold width forms: any unit at or above U+3000. Every
// collated comparison asks it of both texts, mostly short words. A loop
// whose count follows the words' lengths would mispredict its exit on many
// of them: up to 8 units the test takes the same path for any length from 4
// (two overlapping reads of four units) and another below 4.
inline bool MayHoldWidthVariants(const UniChar* inText, VIndex inLength)
{
	if (inLength > 8) [[unlikely]] {
		uint64_t found = UnitsFrom3000(LoadFourUnits(inText + inLength - 4));
		for (VIndex i = 0; i < inLength - 4; i += 4)
			found |= UnitsFrom3000(LoadFourUnits(inText + i));
		return found != 0;
	}
	if (inLength >= 4)
		return (UnitsFrom3000(LoadFourUnits(inText)) | UnitsFrom3000(LoadFourUnits(inText + inLength - 4))) != 0;
	if (inLength <= 0)
		return false;
	// Units 0, 1 and 2 of three, 0 and 1 of two, 0 of one.
	const uint64_t units =
		inText[0] | (uint64_t{inText[inLength / 2]} << 16) | (uint64_t{inText[inLength - 1]} << 32);
	return UnitsFrom3000(units) != 0;
}

// The text to compare: the caller's units, or a folded copy in ioCopy when
// they hold width forms.
const UniChar* WidthFolded(const UniChar* inText, VIndex inLength, std::u16string& ioCopy)
{
	if (!MayHoldWidthVariants(inText, inLength))
		return inText;
	ioCopy.assign(inText, static_cast<size_t>(inLength));
	for (UniChar& unit : ioCopy) {
		if (IsWidthVariant(unit))
			unit = FoldWidth(unit);
	}
	return ioCopy.data();
}

icu::Collator* MakeCollator(const std::string& inLocaleID, icu::Collator::ECollationStrength inStrength)
{
	UErrorCode status = U_ZERO_ERROR;
	icu::Collator* collator = icu::Collator::createInstance(icu::Locale(inLocaleID.c_str()), status);
	if (U_FAILURE(status)) {
		delete collator;
		return nullptr;
	}
	collator->setStrength(inStrength);
	// Accents written precomposed or as combining marks are the same text.
	collator->setAttribute(UCOL_NORMALIZATION_MODE, UCOL_ON, status);
	return collator;
}

} // namespace

// Primary strength sees letters only; tertiary sees accents and case too.
struct XLinuxStringCompare::Collators {
	std::unique_ptr<icu::Collator> fPrimary;
	std::unique_ptr<icu::Collator> fTertiary;

	const icu::Collator* Get(bool inDiacritical) const { return inDiacritical ? fTertiary.get() : fPrimary.get(); }
};

XLinuxStringCompare::XLinuxStringCompare(const std::string& inLocaleID)
	: fLocaleID(inLocaleID), fCollators(std::make_unique<Collators>())
{
	fCollators->fPrimary.reset(MakeCollator(inLocaleID, icu::Collator::PRIMARY));
	fCollators->fTertiary.reset(MakeCollator(inLocaleID, icu::Collator::TERTIARY));
}

XLinuxStringCompare::XLinuxStringCompare(const XLinuxStringCompare& inOther)
	: fLocaleID(inOther.fLocaleID), fCollators(std::make_unique<Collators>())
{
	if (inOther.fCollators->fPrimary != nullptr)
		fCollators->fPrimary.reset(inOther.fCollators->fPrimary->clone());
	if (inOther.fCollators->fTertiary != nullptr)
		fCollators->fTertiary.reset(inOther.fCollators->fTertiary->clone());
}

XLinuxStringCompare::~XLinuxStringCompare() = default;

bool XLinuxStringCompare::IsValid() const
{
	return fCollators->fPrimary != nullptr && fCollators->fTertiary != nullptr;
}

namespace {

CompareResult ToCompareResult(UCollationResult inResult, UErrorCode inStatus)
{
	if (U_FAILURE(inStatus))
		return CR_EQUAL;
	return inResult == UCOL_LESS ? CR_SMALLER : (inResult == UCOL_GREATER ? CR_BIGGER : CR_EQUAL);
}

// Width forms are rare: their copies stay out of the common path, which then
// needs no frame for them.
[[gnu::noinline]] CompareResult CompareWidthFolded(const icu::Collator& inCollator, const UniChar* inText1,
												   VIndex inLength1, const UniChar* inText2, VIndex inLength2)
{
	std::u16string copy1;
	std::u16string copy2;
	const UniChar* text1 = WidthFolded(inText1, inLength1, copy1);
	const UniChar* text2 = WidthFolded(inText2, inLength2, copy2);
	UErrorCode status = U_ZERO_ERROR;
	UCollationResult result = inCollator.compare(text1, inLength1, text2, inLength2, status);
	return ToCompareResult(result, status);
}

} // namespace

CompareResult XLinuxStringCompare::Compare(const UniChar* inText1, VIndex inLength1, const UniChar* inText2,
										   VIndex inLength2, bool inDiacritical) const
{
	const icu::Collator* collator = fCollators->Get(inDiacritical);
	if (collator == nullptr) [[unlikely]]
		return CR_EQUAL;
	if (MayHoldWidthVariants(inText1, inLength1) || MayHoldWidthVariants(inText2, inLength2)) [[unlikely]]
		return CompareWidthFolded(*collator, inText1, inLength1, inText2, inLength2);
	UErrorCode status = U_ZERO_ERROR;
	UCollationResult result = collator->compare(inText1, inLength1, inText2, inLength2, status);
	return ToCompareResult(result, status);
}

VIndex XLinuxStringCompare::Find(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
								 VIndex inPatternLength, bool inDiacritical, bool inLast, VIndex* outLength) const
{
	*outLength = 0;
	const icu::Collator* collator = fCollators->Get(inDiacritical);
	const auto* ruleBased = dynamic_cast<const icu::RuleBasedCollator*>(collator);
	if (ruleBased == nullptr || inTextLength <= 0 || inPatternLength <= 0)
		return -1;
	std::u16string textCopy;
	std::u16string patternCopy;
	const UniChar* text = WidthFolded(inText, inTextLength, textCopy);
	const UniChar* pattern = WidthFolded(inPattern, inPatternLength, patternCopy);
	// The search reads both texts in place, and leaves the collator as it
	// found it.
	icu::UnicodeString textString(false, text, inTextLength);
	icu::UnicodeString patternString(false, pattern, inPatternLength);
	UErrorCode status = U_ZERO_ERROR;
	icu::StringSearch search(patternString, textString, const_cast<icu::RuleBasedCollator*>(ruleBased), nullptr,
							 status);
	if (U_FAILURE(status))
		return -1;
	int32_t found = inLast ? search.last(status) : search.first(status);
	if (U_FAILURE(status) || found == USEARCH_DONE)
		return -1;
	*outLength = search.getMatchedLength();
	return found;
}

std::string XLinuxStringCompare::GetVersionString()
{
	return U_ICU_VERSION;
}

} // namespace qirn
