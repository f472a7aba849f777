#include "core/platform/XLinuxStringCompare.h"

#include <unicode/coll.h>
#include <unicode/normalizer2.h>
#include <unicode/stsearch.h>
#include <unicode/tblcoll.h>
#include <unicode/uvernum.h>

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

// Whether a text may hold width forms. A plain maximum over the units keeps
// this test cheap on the hot path, where most text holds none.
bool MayHoldWidthVariants(const UniChar* inText, VIndex inLength)
{
	UniChar highest = 0;
	for (VIndex i = 0; i < inLength; ++i)
		highest = inText[i] > highest ? inText[i] : highest;
	return highest >= 0x3000;
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

CompareResult XLinuxStringCompare::Compare(const UniChar* inText1, VIndex inLength1, const UniChar* inText2,
										   VIndex inLength2, bool inDiacritical) const
{
	const icu::Collator* collator = fCollators->Get(inDiacritical);
	if (collator == nullptr)
		return CR_EQUAL;
	UErrorCode status = U_ZERO_ERROR;
	UCollationResult result;
	if (!MayHoldWidthVariants(inText1, inLength1) && !MayHoldWidthVariants(inText2, inLength2)) {
		result = collator->compare(inText1, inLength1, inText2, inLength2, status);
	} else {
		std::u16string copy1;
		std::u16string copy2;
		const UniChar* text1 = WidthFolded(inText1, inLength1, copy1);
		const UniChar* text2 = WidthFolded(inText2, inLength2, copy2);
		result = collator->compare(text1, inLength1, text2, inLength2, status);
	}
	if (U_FAILURE(status))
		return CR_EQUAL;
	return result == UCOL_LESS ? CR_SMALLER : (result == UCOL_GREATER ? CR_BIGGER : CR_EQUAL);
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
