#include "core/platform/XLinuxASCIIOrder.h"

#include <unicode/coleitr.h>
#include <unicode/tblcoll.h>
#include <unicode/ucol.h>
#include <unicode/uniset.h>
#include <unicode/usetiter.h>

#include <algorithm>
#include <memory>
#include <vector>

namespace qirn {

namespace {

bool CountsEveryUnitAsItIs(const icu::Collator& inCollator)
{
	UErrorCode status = U_ZERO_ERROR;
	const bool plain = inCollator.getAttribute(UCOL_ALTERNATE_HANDLING, status) == UCOL_NON_IGNORABLE &&
					   inCollator.getAttribute(UCOL_NUMERIC_COLLATION, status) == UCOL_OFF &&
					   inCollator.getAttribute(UCOL_CASE_LEVEL, status) == UCOL_OFF;
	return plain && U_SUCCESS(status);
}

// No contraction or context rule with two ASCII units side by side (nor one
// of a lone ASCII unit). outHeads receives the ASCII units that begin one,
// outExpansions the units that stand for more than one collation element.
bool ASCIIUnitsStandAlone(const icu::Collator& inCollator, bool* outHeads, icu::UnicodeSet& outExpansions)
{
	UErrorCode status = U_ZERO_ERROR;
	icu::UnicodeSet contractions;
	ucol_getContractionsAndExpansions(inCollator.toUCollator(), contractions.toUSet(), outExpansions.toUSet(), true,
									  &status);
	if (U_FAILURE(status))
		return false;
	icu::UnicodeSetIterator each(contractions);
	while (each.next()) {
		if (!each.isString()) {
			if (each.getCodepoint() < 0x80)
				return false;
			continue;
		}
		const icu::UnicodeString& text = each.getString();
		if (text.length() == 1 && text.charAt(0) < 0x80)
			return false;
		for (int32_t i = 0; i + 1 < text.length(); ++i) {
			if (text.charAt(i) < 0x80 && text.charAt(i + 1) < 0x80)
				return false;
		}
		if (text.charAt(0) < 0x80)
			outHeads[text.charAt(0)] = true;
	}
	return true;
}

// One collation element, with a primary weight.
bool HasOnePrimaryElement(const icu::RuleBasedCollator& inCollator, UniChar inUnit)
{
	UErrorCode status = U_ZERO_ERROR;
	std::unique_ptr<icu::CollationElementIterator> elements(
		inCollator.createCollationElementIterator(icu::UnicodeString(inUnit)));
	if (elements == nullptr)
		return false;
	const int32_t first = elements->next(status);
	if (U_FAILURE(status) || first == icu::CollationElementIterator::NULLORDER ||
		icu::CollationElementIterator::primaryOrder(first) == 0)
		return false;
	return elements->next(status) == icu::CollationElementIterator::NULLORDER && U_SUCCESS(status);
}

// The units in the collator's order, each ranked from 1, equal units sharing
// a rank.
bool Rank(const icu::Collator& inCollator, std::vector<UniChar> inUnits, uint8_t* outRanks)
{
	UErrorCode status = U_ZERO_ERROR;
	auto compare = [&](UniChar inA, UniChar inB) { return inCollator.compare(&inA, 1, &inB, 1, status); };
	std::stable_sort(inUnits.begin(), inUnits.end(),
					 [&](UniChar inA, UniChar inB) { return compare(inA, inB) == UCOL_LESS; });
	int rank = 0;
	for (size_t i = 0; i < inUnits.size(); ++i) {
		if (i == 0 || compare(inUnits[i - 1], inUnits[i]) != UCOL_EQUAL)
			++rank;
		outRanks[inUnits[i]] = static_cast<uint8_t>(rank);
	}
	return U_SUCCESS(status);
}

} // namespace

XLinuxASCIIOrder XLinuxASCIIOrder::Read(const icu::Collator& inPrimary, const icu::Collator& inTertiary)
{
	XLinuxASCIIOrder order;
	const auto* ruleBased = dynamic_cast<const icu::RuleBasedCollator*>(&inTertiary);
	icu::UnicodeSet expansions;
	if (ruleBased == nullptr || !CountsEveryUnitAsItIs(inPrimary) || !CountsEveryUnitAsItIs(inTertiary) ||
		!ASCIIUnitsStandAlone(inTertiary, order.fHeads, expansions))
		return order;
	std::vector<UniChar> units;
	for (UniChar unit = 0; unit < 0x80; ++unit) {
		if (!expansions.contains(unit) && HasOnePrimaryElement(*ruleBased, unit))
			units.push_back(unit);
	}
	if (!Rank(inPrimary, units, order.fPrimary) || !Rank(inTertiary, units, order.fTertiary))
		return order;
	// Units of one primary weight must differ at the tertiary level only, so
	// that texts of equal primaries have equal secondaries.
	std::unique_ptr<icu::Collator> secondary(inTertiary.clone());
	if (secondary == nullptr)
		return order;
	secondary->setStrength(icu::Collator::SECONDARY);
	UErrorCode status = U_ZERO_ERROR;
	for (UniChar a : units) {
		for (UniChar b : units) {
			if (order.fPrimary[a] == order.fPrimary[b] && secondary->compare(&a, 1, &b, 1, status) != UCOL_EQUAL)
				return order;
		}
	}
	order.fUsable = U_SUCCESS(status);
	return order;
}

} // namespace qirn
