// Characters, case and words of an intl manager.

#include "core/VIntlMgr.h"

#include "core/VCollator.h"
#include "core/VCompareOptions.h"

#include <unicode/uchar.h>

namespace qirn {

bool VIntlMgr::IsAlpha(UniChar inChar) const
{
	return u_isalpha(inChar);
}

bool VIntlMgr::IsDigit(UniChar inChar) const
{
	return u_getIntPropertyValue(inChar, UCHAR_NUMERIC_TYPE) != U_NT_NONE;
}

bool VIntlMgr::IsPunctuation(UniChar inChar) const
{
	return u_ispunct(inChar);
}

sLONG VIntlMgr::CharDigitValue(UniChar inChar) const
{
	return (inChar >= u'0' && inChar <= u'9') ? inChar - u'0' : -1;
}

bool VIntlMgr::IsSpace(UniChar inChar, bool /*inFlag*/) const
{
	return inChar == 0x0020 || inChar == 0x00A0 || (inChar >= 0x2000 && inChar <= 0x200B) || inChar == 0x3000;
}

bool VIntlMgr::ToUpperLowerCase(VString& ioText, bool inUpper, bool /*inFlag*/) const
{
	VString mapped;
	if (!XLinuxIntlMgr::ToUpperLowerCase(ioText.GetCPointer(), ioText.GetLength(), mapped, inUpper))
		return false;
	ioText.Swap(mapped);
	return true;
}

bool VIntlMgr::GetWordBoundariesWithOptions(const VString& inText, std::vector<std::pair<VIndex, VIndex>>& outRanges,
											uint32 inOptions) const
{
	outRanges.clear();
	if ((inOptions & eKW_WordsOfLettersAndDigits) == 0 || inText.GetLength() == 0)
		return false;
	const UniChar* units = inText.GetCPointer();
	const VIndex length = inText.GetLength();
	auto inWord = [this](UniChar inUnit) { return inUnit >= 0x20 && (IsAlpha(inUnit) || IsDigit(inUnit)); };
	VIndex i = 0;
	while (i < length) {
		if (!inWord(units[i])) {
			++i;
			continue;
		}
		const VIndex start = i;
		while (i < length && inWord(units[i]))
			++i;
		outRanges.emplace_back(start + 1, i - start);
		++i; // the unit that ended the word
	}
	return true;
}

bool VIntlMgr::FindWord(const VString& inText, const VString& inWord, const VCompareOptions& inOptions) const
{
	const bool diacritical = inOptions.IsDiacritical();
	const UniChar wild = fCollator->GetWildChar();
	if (inOptions.IsLike() && inWord.FindUniChar(wild) != 0) {
		std::vector<std::pair<VIndex, VIndex>> words;
		GetWordBoundariesWithOptions(inText, words, static_cast<uint32>(fCollationKind));
		for (const auto& [start, length] : words) {
			if (fCollator->EqualString_Like(inText.GetCPointer() + start - 1, length, inWord.GetCPointer(),
											inWord.GetLength(), diacritical))
				return true;
		}
		return false;
	}
	const UniChar* text = inText.GetCPointer();
	const VIndex textLength = inText.GetLength();
	auto isWordUnit = [this](UniChar inUnit) { return IsAlpha(inUnit) || IsDigit(inUnit); };
	VIndex from = 0;
	while (from < textLength) {
		VIndex matched = 0;
		VIndex pos = fCollator->FindString(text + from, textLength - from, inWord.GetCPointer(), inWord.GetLength(),
										   diacritical, &matched);
		if (pos == 0 || inWord.GetLength() == 0)
			return false;
		const VIndex start = from + pos - 1;
		const VIndex end = start + matched;
		const bool freeBefore = start == 0 || !isWordUnit(text[start - 1]);
		const bool freeAfter = end >= textLength || !isWordUnit(text[end]);
		if (freeBefore && freeAfter)
			return true;
		from = start + 1;
	}
	return false;
}

void VIntlMgr::FindStrings(const VString& inText, const VString& inPattern, EFindStringMode inMode,
						   bool inDiacritical, std::vector<std::pair<VIndex, VIndex>>& outRanges, bool inAll) const
{
	outRanges.clear();
	if (inPattern.GetLength() == 0 || inPattern.IsNull())
		return;
	std::vector<std::pair<VIndex, VIndex>> words;
	GetWordBoundariesWithOptions(inText, words, static_cast<uint32>(fCollationKind));
	// Whether a 1-based position lies strictly inside a word (not at its
	// first unit).
	auto insideWord = [&words](VIndex inPos) {
		for (const auto& [start, length] : words) {
			if (inPos > start && inPos < start + length)
				return true;
		}
		return false;
	};
	const UniChar* text = inText.GetCPointer();
	const VIndex textLength = inText.GetLength();
	VIndex from = 0;
	while (from < textLength) {
		VIndex matched = 0;
		VIndex pos = fCollator->FindString(text + from, textLength - from, inPattern.GetCPointer(),
										   inPattern.GetLength(), inDiacritical, &matched);
		if (pos == 0 || matched <= 0)
			break;
		const VIndex start = from + pos; // 1-based
		const VIndex after = start + matched; // the position after the match
		const bool startsInside = insideWord(start);
		const bool endsInside = insideWord(after);
		bool accepted = true;
		if (inMode == eFindWholeWords)
			accepted = !startsInside && !endsInside;
		else if (inMode == eFindWordStarts)
			accepted = !startsInside;
		else if (inMode == eFindWordEnds)
			accepted = !endsInside;
		if (accepted) {
			outRanges.emplace_back(start, matched);
			if (!inAll)
				break;
		}
		from = after - 1;
	}
}

} // namespace qirn
