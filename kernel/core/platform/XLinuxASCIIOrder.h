#pragma once

#include "core/VValue.h"

#include <unicode/coll.h>

#include <algorithm>
#include <cstdint>

namespace qirn {

// The platform's collation of ASCII text, read once per locale from its
// collators, so that words of plain ASCII, the most of what is compared, are
// ordered without the platform's general walk, with its answers exactly.
//
// It stands on what the locale's rules allow: no contraction or context rule
// with two ASCII units side by side (Danish "aa" and Czech "ch" have them:
// such locales are left to the platform); punctuation and digits counted as
// they are (no shifted punctuation, numeric order or case level); and each
// ranked unit one collation element with a primary weight, units of one
// primary differing at the tertiary level only. The texts are then walked
// while both hold ASCII: the first two units of different primaries decide
// alone, unless one of them heads a contraction with the unit beyond ASCII
// after it ("l" and a middle dot); when the primaries agree throughout, the
// first tertiary difference decides. Texts the same unit for unit are equal,
// whatever they hold.
class XLinuxASCIIOrder {
public:
	XLinuxASCIIOrder() = default;

	// Read from the two collators of one locale, of primary and of tertiary
	// strength, with no other difference. It takes milliseconds (the
	// platform lists all the locale's contractions). Not usable when the
	// locale's rules break what the ranks stand on.
	static XLinuxASCIIOrder Read(const icu::Collator& inPrimary, const icu::Collator& inTertiary);

	bool IsUsable() const { return fUsable; }

	// True when the ranks settle the order of the two texts, into outResult;
	// false when only the platform's walk can (and for a negative length,
	// which the platform reads as a text ended by a null unit).
	bool Compare(const UniChar* inText1, VIndex inLength1, const UniChar* inText2, VIndex inLength2,
				 bool inTertiary, CompareResult& outResult) const
	{
		if ((inLength1 | inLength2) < 0) [[unlikely]]
			return false;
		const VIndex common = inLength1 < inLength2 ? inLength1 : inLength2;
		int tertiary = 0;
		for (VIndex i = 0; i < common; ++i) {
			const UniChar a = inText1[i];
			const UniChar b = inText2[i];
			if ((a | b) >= 0x80) {
				// Texts the same unit for unit are equal whatever they hold.
				if (a != b || inLength1 != inLength2 || !std::equal(inText1, inText1 + inLength1, inText2))
					return false;
				outResult = CR_EQUAL;
				return true;
			}
			if (a == b)
				continue;
			const uint8_t rankA = fPrimary[a];
			const uint8_t rankB = fPrimary[b];
			if (rankA == 0 || rankB == 0)
				return false;
			if (rankA != rankB) {
				if (_JoinsNext(a, inText1, inLength1, i) || _JoinsNext(b, inText2, inLength2, i))
					return false;
				outResult = rankA < rankB ? CR_SMALLER : CR_BIGGER;
				return true;
			}
			if (inTertiary && tertiary == 0 && fTertiary[a] != fTertiary[b])
				tertiary = fTertiary[a] < fTertiary[b] ? -1 : 1;
		}
		if (inLength1 == inLength2) {
			outResult = static_cast<CompareResult>(tertiary);
			return true;
		}
		// One text goes on: a unit with a primary weight makes it the bigger.
		const bool firstLonger = inLength1 > inLength2;
		const UniChar* longer = firstLonger ? inText1 : inText2;
		const VIndex longerLength = firstLonger ? inLength1 : inLength2;
		const UniChar next = longer[common];
		if (next >= 0x80 || fPrimary[next] == 0 || _JoinsNext(next, longer, longerLength, common))
			return false;
		outResult = firstLonger ? CR_BIGGER : CR_SMALLER;
		return true;
	}

private:
	// Whether the unit at inIndex may form a contraction with the next.
	bool _JoinsNext(UniChar inUnit, const UniChar* inText, VIndex inLength, VIndex inIndex) const
	{
		return fHeads[inUnit] && inIndex + 1 < inLength && inText[inIndex + 1] >= 0x80;
	}

	bool fUsable = false;
	// By unit: the rank of its primary weight among the ASCII units, from 1;
	// 0 for a unit left to the platform (ignorable controls, expansions).
	uint8_t fPrimary[128] = {};
	// The rank of its whole weight; compared between units of one primary.
	uint8_t fTertiary[128] = {};
	// The units that begin a contraction (with a unit beyond ASCII).
	bool fHeads[128] = {};
};

} // namespace qirn
