#include "core/VStringCollation.h"

#include "core/TextUnits.h"
#include "core/VString.h"

#include <string>

namespace qirn {

namespace {

// The four primitives of a collator, on code units. The pattern matching
// below is built on them alone, so that it keeps working unchanged over the
// language-aware ones.

CompareResult Compare(const UniChar* inA, VIndex inLengthA, const UniChar* inB, VIndex inLengthB, bool inDiacritical)
{
	return CompareUnits(inA, inLengthA, inB, inLengthB, !inDiacritical);
}

bool SameUnits(const UniChar* inA, const UniChar* inB, VIndex inLength, bool inDiacritical)
{
	return Compare(inA, inLength, inB, inLength, inDiacritical) == CR_EQUAL;
}

// The 1-based position of the first occurrence (or the last), 0 when none;
// an empty pattern is found at 1 in a text that is not empty.
VIndex Find(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern, VIndex inPatternLength,
			bool inDiacritical, bool inLast, VIndex* outLength)
{
	*outLength = 0;
	if (inTextLength <= 0)
		return 0;
	if (inPatternLength <= 0)
		return 1;
	VIndex found = 0;
	if (inLast) {
		for (VIndex start = inTextLength - inPatternLength; start >= 0 && found == 0; --start) {
			if (SameUnits(inText + start, inPattern, inPatternLength, inDiacritical))
				found = start + 1;
		}
	} else if (inDiacritical) {
		found = VString::FindRawString(inText, inTextLength, inPattern, inPatternLength);
	} else {
		// Folded copies keep the search linear in the text.
		std::u16string text(inText, static_cast<size_t>(inTextLength));
		std::u16string pattern(inPattern, static_cast<size_t>(inPatternLength));
		for (UniChar& unit : text)
			unit = FoldASCIICase(unit);
		for (UniChar& unit : pattern)
			unit = FoldASCIICase(unit);
		found = VString::FindRawString(text.data(), inTextLength, pattern.data(), inPatternLength);
	}
	if (found != 0)
		*outLength = inPatternLength;
	return found;
}

bool BeginsWith(const UniChar* inText, VIndex inTextLength, const UniChar* inPrefix, VIndex inPrefixLength,
				bool inDiacritical, VIndex* outLength)
{
	*outLength = 0;
	if (inPrefixLength <= 0)
		return true;
	if (inPrefixLength > inTextLength || !SameUnits(inText, inPrefix, inPrefixLength, inDiacritical))
		return false;
	*outLength = inPrefixLength;
	return true;
}

// The end of the literal piece of a pattern that starts at inStart.
VIndex SegmentEnd(const UniChar* inPattern, VIndex inPatternLength, VIndex inStart)
{
	VIndex end = inStart;
	while (end < inPatternLength && inPattern[end] != VStringCollation::kWildChar)
		++end;
	return end;
}

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

} // namespace

CompareResult VStringCollation::CompareString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2,
											  VIndex inLength2, bool inDiacritical, VIntlMgr* /*inIntlMgr*/)
{
	return Compare(inText1, inLength1, inText2, inLength2, inDiacritical);
}

bool VStringCollation::EqualString(const UniChar* inText1, VIndex inLength1, const UniChar* inText2,
								   VIndex inLength2, bool inDiacritical, VIntlMgr* inIntlMgr)
{
	return CompareString(inText1, inLength1, inText2, inLength2, inDiacritical, inIntlMgr) == CR_EQUAL;
}

CompareResult VStringCollation::CompareString_Like(const UniChar* inText, VIndex inTextLength,
												   const UniChar* inPattern, VIndex inPatternLength,
												   bool inDiacritical, VIntlMgr* /*inIntlMgr*/)
{
	// The pattern is literal pieces between runs of wildcards. A piece right
	// after the start must begin the text, the last piece must end it, and
	// the pieces between are taken at their first occurrence.
	VIndex t = 0;
	VIndex p = 0;
	while (p < inPatternLength) {
		const UniChar* rest = inText + t;
		const VIndex restLength = inTextLength - t;
		if (inPattern[p] != kWildChar) {
			VIndex end = SegmentEnd(inPattern, inPatternLength, p);
			if (end == inPatternLength)
				return Compare(rest, restLength, inPattern + p, end - p, inDiacritical);
			VIndex matched = 0;
			if (!BeginsWith(rest, restLength, inPattern + p, end - p, inDiacritical, &matched))
				return Compare(rest, restLength, inPattern + p, end - p, inDiacritical);
			t += matched;
			p = end;
			continue;
		}
		while (p < inPatternLength && inPattern[p] == kWildChar)
			++p;
		if (p == inPatternLength)
			return CR_EQUAL;
		VIndex end = SegmentEnd(inPattern, inPatternLength, p);
		VIndex matched = 0;
		if (end == inPatternLength) {
			VIndex pos = Find(rest, restLength, inPattern + p, end - p, inDiacritical, true, &matched);
			if (pos == 0)
				return CR_SMALLER;
			return Compare(rest + pos - 1, restLength - pos + 1, inPattern + p, end - p, inDiacritical) == CR_EQUAL
					   ? CR_EQUAL
					   : CR_SMALLER;
		}
		VIndex pos = Find(rest, restLength, inPattern + p, end - p, inDiacritical, false, &matched);
		if (pos == 0)
			return CR_SMALLER;
		t += pos - 1 + matched;
		p = end;
	}
	return Compare(inText + t, inTextLength - t, nullptr, 0, inDiacritical);
}

bool VStringCollation::EqualString_Like(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
										VIndex inPatternLength, bool inDiacritical, VIntlMgr* inIntlMgr)
{
	auto like = [&](VIndex inTextStart, VIndex inPatternStart) {
		return CompareString_Like(inText + inTextStart, inTextLength - inTextStart, inPattern + inPatternStart,
								  inPatternLength - inPatternStart, inDiacritical, inIntlMgr) == CR_EQUAL;
	};
	VIndex t = 0;
	VIndex p = 0;
	while (true) {
		while (t < inTextLength && IsIgnoredControl(inText[t]))
			++t;
		while (p < inPatternLength && IsIgnoredControl(inPattern[p]))
			++p;
		if (t == inTextLength) {
			VIndex q = p;
			while (q < inPatternLength && (inPattern[q] == kWildChar || IsIgnoredControl(inPattern[q])))
				++q;
			if (q == inPatternLength)
				return true;
			return inPattern[p] < 0x7F ? false : like(0, 0);
		}
		if (p == inPatternLength)
			return inText[t] < 0x7F ? false : like(0, 0);
		const UniChar a = inText[t];
		const UniChar b = inPattern[p];
		if (b == kWildChar) {
			if (p + 1 == inPatternLength)
				return true;
			return like(t, p);
		}
		if (!IsPlain(a) || !IsPlain(b))
			return like(t, p);
		if (a != b && (inDiacritical || FoldASCIICase(a) != FoldASCIICase(b)))
			return false;
		++t;
		++p;
	}
}

} // namespace qirn
