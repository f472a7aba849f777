#include "core/platform/XLinuxStringCompare.h"

#include "core/platform/XLinuxASCIIOrder.h"

#include <unicode/coll.h>
#include <unicode/normalizer2.h>
#include <unicode/stsearch.h>
#include <unicode/tblcoll.h>
#include <unicode/uvernum.h>

#include <atomic>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
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

// Whether a text may hold width forms: any unit at or above U+3000.
bool MayHoldWidthVariants(const UniChar* inText, VIndex inLength)
{
	UniChar highest = 0;
	for (VIndex i = 0; i < inLength; ++i)
		highest = inText[i] > highest ? inText[i] : highest;
	return highest >= 0x3000;
}

uint64_t LoadFourUnits(const UniChar* inUnits)
{
	uint64_t units;
	std::memcpy(&units, inUnits, sizeof(units));
	return units;
}

// The units of a text ORed together four by four, each keeping its place in
// a word of four: a place's top four bits are zero when every unit there is
// below U+1000. Every collated comparison asks it of both texts, mostly short
// words. A loop whose count follows the words' lengths would mispredict its
// exit on many of them: up to 8 units this takes the same path for any
// length from 4 (two overlapping reads of four units) and another below 4.
inline uint64_t UnitsOred(const UniChar* inText, VIndex inLength)
{
	if (inLength > 8) [[unlikely]] {
		uint64_t units = LoadFourUnits(inText + inLength - 4);
		for (VIndex i = 0; i < inLength - 4; i += 4)
			units |= LoadFourUnits(inText + i);
		return units;
	}
	if (inLength >= 4)
		return LoadFourUnits(inText) | LoadFourUnits(inText + inLength - 4);
	if (inLength <= 0)
		return 0;
	// Units 0, 1 and 2 of three, 0 and 1 of two, 0 of one.
	return inText[0] | (uint64_t{inText[inLength / 2]} << 16) | (uint64_t{inText[inLength - 1]} << 32);
}

// Whether every unit of both texts is below U+1000, so that neither holds a
// width form. Above that (Latin text with curly quotes, Greek and Cyrillic
// stay below) the exact test settles it.
inline bool BothBelowU1000(const UniChar* inText1, VIndex inLength1, const UniChar* inText2, VIndex inLength2)
{
	return ((UnitsOred(inText1, inLength1) | UnitsOred(inText2, inLength2)) & 0xF000F000F000F000u) == 0;
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

// The ASCII ranks of one locale, shared by all its comparers in the process.
// Reading them takes milliseconds, so a locale reads them once its comparers
// have compared enough texts to repay that: a process that compares a few
// texts never does.
struct SharedASCIIOrder {
	static constexpr int32_t kComparisonsBeforeReading = 50'000;

	// Null until read.
	std::atomic<const XLinuxASCIIOrder*> fOrder{nullptr};
	std::atomic<int32_t> fCountdown{kComparisonsBeforeReading};
};

SharedASCIIOrder* GetSharedASCIIOrder(const std::string& inLocaleID)
{
	// Never freed: a comparer may compare while statics are destroyed.
	static auto* sMutex = new std::mutex;
	static auto* sOrders = new std::map<std::string, std::unique_ptr<SharedASCIIOrder>>;
	std::lock_guard<std::mutex> lock(*sMutex);
	std::unique_ptr<SharedASCIIOrder>& order = (*sOrders)[inLocaleID];
	if (order == nullptr)
		order = std::make_unique<SharedASCIIOrder>();
	return order.get();
}

// The comparison that ends the countdown reads the ranks, with its own
// collators (each task has its own); the others go on without them until
// they are there.
[[gnu::noinline]] void CountTowardsReading(SharedASCIIOrder& ioShared, const icu::Collator& inPrimary,
										   const icu::Collator& inTertiary)
{
	if (ioShared.fCountdown.fetch_sub(1, std::memory_order_relaxed) != 1)
		return;
	auto* order = new XLinuxASCIIOrder(XLinuxASCIIOrder::Read(inPrimary, inTertiary));
	ioShared.fOrder.store(order, std::memory_order_release);
}

} // namespace

// Primary strength sees letters only; tertiary sees accents and case too.
struct XLinuxStringCompare::Collators {
	std::unique_ptr<icu::Collator> fPrimary;
	std::unique_ptr<icu::Collator> fTertiary;
	// Orders most words of plain ASCII without either; null when the
	// collators could not be made.
	SharedASCIIOrder* fASCII = nullptr;

	const icu::Collator* Get(bool inDiacritical) const { return inDiacritical ? fTertiary.get() : fPrimary.get(); }
};

XLinuxStringCompare::XLinuxStringCompare(const std::string& inLocaleID)
	: fLocaleID(inLocaleID), fCollators(std::make_unique<Collators>())
{
	fCollators->fPrimary.reset(MakeCollator(inLocaleID, icu::Collator::PRIMARY));
	fCollators->fTertiary.reset(MakeCollator(inLocaleID, icu::Collator::TERTIARY));
	if (IsValid())
		fCollators->fASCII = GetSharedASCIIOrder(inLocaleID);
}

XLinuxStringCompare::XLinuxStringCompare(const XLinuxStringCompare& inOther)
	: fLocaleID(inOther.fLocaleID), fCollators(std::make_unique<Collators>())
{
	if (inOther.fCollators->fPrimary != nullptr)
		fCollators->fPrimary.reset(inOther.fCollators->fPrimary->clone());
	if (inOther.fCollators->fTertiary != nullptr)
		fCollators->fTertiary.reset(inOther.fCollators->fTertiary->clone());
	if (IsValid())
		fCollators->fASCII = inOther.fCollators->fASCII;
}

XLinuxStringCompare::~XLinuxStringCompare() = default;

bool XLinuxStringCompare::IsValid() const
{
	return fCollators->fPrimary != nullptr && fCollators->fTertiary != nullptr;
}

namespace {

// The platform's answers are ours, value for value.
static_assert(int{CR_SMALLER} == int{UCOL_LESS} && int{CR_EQUAL} == int{UCOL_EQUAL} &&
			  int{CR_BIGGER} == int{UCOL_GREATER});

CompareResult ToCompareResult(UCollationResult inResult, UErrorCode inStatus)
{
	return U_FAILURE(inStatus) ? CR_EQUAL : static_cast<CompareResult>(inResult);
}

// Text with units from U+1000 is the rarer kind, and width forms rarer still:
// the exact test and the copies stay out of the common path, which then needs
// no frame for them.
[[gnu::noinline]] CompareResult CompareBeyondU1000(const icu::Collator& inCollator, const UniChar* inText1,
												   VIndex inLength1, const UniChar* inText2, VIndex inLength2)
{
	UErrorCode status = U_ZERO_ERROR;
	if (!MayHoldWidthVariants(inText1, inLength1) && !MayHoldWidthVariants(inText2, inLength2)) {
		UCollationResult result = inCollator.compare(inText1, inLength1, inText2, inLength2, status);
		return ToCompareResult(result, status);
	}
	std::u16string copy1;
	std::u16string copy2;
	const UniChar* text1 = WidthFolded(inText1, inLength1, copy1);
	const UniChar* text2 = WidthFolded(inText2, inLength2, copy2);
	UCollationResult result = inCollator.compare(text1, inLength1, text2, inLength2, status);
	return ToCompareResult(result, status);
}

// Out of line, so that texts the ASCII ranks settle need no frame for the
// platform's call.
[[gnu::noinline]] CompareResult CompareByPlatform(const icu::Collator* inCollator, const UniChar* inText1,
												  VIndex inLength1, const UniChar* inText2, VIndex inLength2)
{
	if (inCollator == nullptr) [[unlikely]]
		return CR_EQUAL;
	if (!BothBelowU1000(inText1, inLength1, inText2, inLength2)) [[unlikely]]
		return CompareBeyondU1000(*inCollator, inText1, inLength1, inText2, inLength2);
	UErrorCode status = U_ZERO_ERROR;
	UCollationResult result = inCollator->compare(inText1, inLength1, inText2, inLength2, status);
	return ToCompareResult(result, status);
}

} // namespace

CompareResult XLinuxStringCompare::Compare(const UniChar* inText1, VIndex inLength1, const UniChar* inText2,
										   VIndex inLength2, bool inDiacritical) const
{
	if (SharedASCIIOrder* shared = fCollators->fASCII; shared != nullptr) [[likely]] {
		const XLinuxASCIIOrder* ascii = shared->fOrder.load(std::memory_order_acquire);
		CompareResult settled;
		if (ascii == nullptr) [[unlikely]]
			CountTowardsReading(*shared, *fCollators->fPrimary, *fCollators->fTertiary);
		else if (ascii->IsUsable() && ascii->Compare(inText1, inLength1, inText2, inLength2, inDiacritical, settled))
			return settled;
	}
	return CompareByPlatform(fCollators->Get(inDiacritical), inText1, inLength1, inText2, inLength2);
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
