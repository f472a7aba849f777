#include "core/VCollator.h"

#include "core/TextUnits.h"

namespace qirn {

namespace {

// Control characters that "like" matching of plain text looks through; tab
// and the line ends are text.
bool IsIgnoredControl(UniChar inUnit)
{
	return inUnit <= 0x08 || (inUnit >= 0x0E && inUnit <= 0x1F) || inUnit == 0x7F;
}

// Units the plain-text walk settles itself; the others (and the accents that
// stand alone) need the whole collation.
bool IsPlain(UniChar inUnit)
{
	return inUnit < 0x80 && inUnit != u'`' && inUnit != u'^';
}

bool IsKana(UniChar inUnit)
{
	return (inUnit >= 0xFF65 && inUnit <= 0xFF9F) || (inUnit >= 0x3040 && inUnit <= 0x3094) || inUnit == 0x309D ||
		   inUnit == 0x309E || (inUnit >= 0x30A1 && inUnit <= 0x30FE);
}

} // namespace

bool VCollator::BeginsWithString(const UniChar* inText, VIndex inTextLength, const UniChar* inPrefix,
								 VIndex inPrefixLength, bool inDiacritical, VIndex* outLength) const
{
	VIndex length = 0;
	bool begins = inPrefixLength <= 0 ||
				  FindString(inText, inTextLength, inPrefix, inPrefixLength, inDiacritical, &length) == 1;
	if (outLength != nullptr)
		*outLength = begins ? length : 0;
	return begins;
}

bool VCollator::EndsWithString(const UniChar* inText, VIndex inTextLength, const UniChar* inSuffix,
							   VIndex inSuffixLength, bool inDiacritical, VIndex* outLength) const
{
	if (outLength != nullptr)
		*outLength = 0;
	if (inSuffixLength <= 0)
		return true;
	VIndex length = 0;
	VIndex pos = ReversedFindString(inText, inTextLength, inSuffix, inSuffixLength, inDiacritical, &length);
	if (pos == 0)
		return false;
	const VIndex tailLength = inTextLength - pos + 1;
	if (CompareString(inText + pos - 1, tailLength, inSuffix, inSuffixLength, inDiacritical) != CR_EQUAL)
		return false;
	if (outLength != nullptr)
		*outLength = tailLength;
	return true;
}

VIndex VCollator::_SegmentEnd(const UniChar* inPattern, VIndex inPatternLength, VIndex inStart) const
{
	VIndex end = inStart;
	while (end < inPatternLength && inPattern[end] != fWildChar)
		++end;
	return end;
}

CompareResult VCollator::CompareString_Like(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
											VIndex inPatternLength, bool inDiacritical) const
{
	if ((fOptions & kOptionWildCharOnlyAtEnds) != 0)
		return _CompareString_Like_IgnoreWildCharInMiddle(inText, inTextLength, inPattern, inPatternLength,
														 inDiacritical);
	return _CompareString_Like_SupportWildCharInMiddle(inText, inTextLength, inPattern, inPatternLength,
													   inDiacritical);
}

CompareResult VCollator::_CompareString_Like_SupportWildCharInMiddle(const UniChar* inText, VIndex inTextLength,
																	 const UniChar* inPattern,
																	 VIndex inPatternLength, bool inDiacritical) const
{
	// The pattern is literal pieces between runs of wildcards. A piece right
	// after the start must begin the text, the last piece must end it, and
	// the pieces between are taken at their first occurrence.
	VIndex t = 0;
	VIndex p = 0;
	while (p < inPatternLength) {
		const UniChar* rest = inText + t;
		const VIndex restLength = inTextLength - t;
		if (inPattern[p] != fWildChar) {
			VIndex end = _SegmentEnd(inPattern, inPatternLength, p);
			if (end == inPatternLength)
				return CompareString(rest, restLength, inPattern + p, end - p, inDiacritical);
			VIndex matched = 0;
			if (!BeginsWithString(rest, restLength, inPattern + p, end - p, inDiacritical, &matched))
				return CompareString(rest, restLength, inPattern + p, end - p, inDiacritical);
			t += matched;
			p = end;
			continue;
		}
		while (p < inPatternLength && inPattern[p] == fWildChar)
			++p;
		if (p == inPatternLength)
			return CR_EQUAL;
		VIndex end = _SegmentEnd(inPattern, inPatternLength, p);
		VIndex matched = 0;
		if (end == inPatternLength) {
			VIndex pos = ReversedFindString(rest, restLength, inPattern + p, end - p, inDiacritical, &matched);
			if (pos == 0)
				return CR_SMALLER;
			return CompareString(rest + pos - 1, restLength - pos + 1, inPattern + p, end - p, inDiacritical) ==
						   CR_EQUAL
					   ? CR_EQUAL
					   : CR_SMALLER;
		}
		VIndex pos = FindString(rest, restLength, inPattern + p, end - p, inDiacritical, &matched);
		if (pos == 0)
			return CR_SMALLER;
		t += pos - 1 + matched;
		p = end;
	}
	return CompareString(inText + t, inTextLength - t, nullptr, 0, inDiacritical);
}

CompareResult VCollator::_CompareString_Like_IgnoreWildCharInMiddle(const UniChar* inText, VIndex inTextLength,
																	const UniChar* inPattern, VIndex inPatternLength,
																	bool inDiacritical) const
{
	const bool first = inPatternLength > 0 && inPattern[0] == fWildChar;
	const bool last = inPatternLength > 0 && inPattern[inPatternLength - 1] == fWildChar;
	if (!first && !last)
		return CompareString(inText, inTextLength, inPattern, inPatternLength, inDiacritical);
	if (first && last) {
		if (inPatternLength <= 2)
			return CR_EQUAL;
		return FindString(inText, inTextLength, inPattern + 1, inPatternLength - 2, inDiacritical) != 0 ? CR_EQUAL
																										  : CR_SMALLER;
	}
	if (last)
		return BeginsWithString(inText, inTextLength, inPattern, inPatternLength - 1, inDiacritical) ? CR_EQUAL
																									 : CR_SMALLER;
	return EndsWithString(inText, inTextLength, inPattern + 1, inPatternLength - 1, inDiacritical) ? CR_EQUAL
																								   : CR_SMALLER;
}

bool VCollator::EqualString_Like(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
								 VIndex inPatternLength, bool inDiacritical) const
{
	auto like = [&](VIndex inTextStart, VIndex inPatternStart) {
		return CompareString_Like(inText + inTextStart, inTextLength - inTextStart, inPattern + inPatternStart,
								  inPatternLength - inPatternStart, inDiacritical) == CR_EQUAL;
	};
	const bool wildOnlyAtEnds = (fOptions & kOptionWildCharOnlyAtEnds) != 0;
	VIndex t = 0;
	VIndex p = 0;
	while (true) {
		while (t < inTextLength && IsIgnoredControl(inText[t]))
			++t;
		while (p < inPatternLength && IsIgnoredControl(inPattern[p]))
			++p;
		if (t == inTextLength) {
			VIndex q = p;
			while (q < inPatternLength && (inPattern[q] == fWildChar || IsIgnoredControl(inPattern[q])))
				++q;
			if (q == inPatternLength)
				return true;
			return inPattern[p] < 0x7F ? false : like(0, 0);
		}
		if (p == inPatternLength)
			return inText[t] < 0x7F ? false : like(0, 0);
		const UniChar a = inText[t];
		const UniChar b = inPattern[p];
		if (b == fWildChar) {
			if (p + 1 == inPatternLength)
				return true;
			if (p == 0 || !wildOnlyAtEnds)
				return like(t, p);
			if (a != b)
				return false;
		} else {
			if (!IsPlain(a) || !IsPlain(b))
				return like(t, p);
			if (a != b && (inDiacritical || FoldASCIICase(a) != FoldASCIICase(b)))
				return false;
		}
		++t;
		++p;
	}
}

bool VCollator::IsPatternCompatibleWithDichotomyAndDiacritics(const UniChar* inPattern, VIndex inLength) const
{
	VIndex wild = 0;
	while (wild < inLength && inPattern[wild] != fWildChar)
		++wild;
	if (wild == inLength)
		return true;
	if (wild != inLength - 1)
		return false;
	for (VIndex i = 0; i < wild; ++i) {
		if (IsKana(inPattern[i]))
			return false;
	}
	return true;
}

} // namespace qirn
