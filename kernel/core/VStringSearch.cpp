#include "core/VString.h"

#include "core/TextUnits.h"
#include "runtime/VError.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace qirn {

namespace {

// The index of the first unit equal to inChar in [inBegin, inEnd), or inEnd.
inline const UniChar* FindUnit(const UniChar* inBegin, const UniChar* inEnd, UniChar inChar)
{
	const UniChar* p = inBegin;
#if defined(__SSE2__)
	const __m128i needle = _mm_set1_epi16(static_cast<short>(inChar));
	while (inEnd - p >= 8) {
		__m128i block = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
		int mask = _mm_movemask_epi8(_mm_cmpeq_epi16(block, needle));
		if (mask != 0)
			return p + (__builtin_ctz(static_cast<unsigned>(mask)) >> 1);
		p += 8;
	}
#endif
	while (p < inEnd && *p != inChar)
		++p;
	return p;
}

} // namespace

// ---------------------------------------------------------------------------
// Raw comparison

bool VString::EqualToStringRaw(const VString& inString) const
{
	return fLength == inString.fLength &&
		   (fLength == 0 || std::memcmp(fString, inString.fString, static_cast<size_t>(fLength) * 2) == 0);
}

CompareResult VString::CompareToStringRaw(const VString& inString) const
{
	// Ordered as zero-terminated texts: a prefix sorts first. The lengths
	// decide, so that a unit 0 inside a text is compared like any other.
	return CompareUnits(fString, fLength, inString.fString, inString.fLength, false);
}

CompareResult VString::CompareToStringRawCase(const VString& inString) const
{
	return CompareUnits(fString, fLength, inString.fString, inString.fLength, true);
}

bool VString::EqualToUSASCIICString(const char* inCString) const
{
	if (inCString == nullptr)
		return fLength == 0;
	VIndex i = 0;
	for (; i < fLength; ++i) {
		if (inCString[i] == 0)
			return false;
		UniChar widened = static_cast<UniChar>(static_cast<signed char>(inCString[i]));
		if (fString[i] != widened)
			return false;
	}
	return inCString[i] == 0;
}

bool VString::BeginsWithRawString(const VString& inString) const
{
	return inString.fLength <= fLength &&
		   std::memcmp(fString, inString.fString, static_cast<size_t>(inString.fLength) * 2) == 0;
}

bool VString::EndsWithRawString(const VString& inString) const
{
	return inString.fLength <= fLength &&
		   std::memcmp(fString + fLength - inString.fLength, inString.fString,
					   static_cast<size_t>(inString.fLength) * 2) == 0;
}

Real VString::SimilarToString(const VString& inString) const
{
	if (fLength == 0 || inString.fLength == 0)
		return 0.0;
	// Longest common subsequence, two rows of counters.
	std::vector<VIndex> previous(static_cast<size_t>(fLength) + 1, 0);
	std::vector<VIndex> current(static_cast<size_t>(fLength) + 1, 0);
	for (VIndex j = 0; j < inString.fLength; ++j) {
		UniChar other = inString.fString[j];
		for (VIndex i = 0; i < fLength; ++i) {
			if (fString[i] == other)
				current[i + 1] = previous[i] + 1;
			else
				current[i + 1] = std::max(current[i], previous[i + 1]);
		}
		previous.swap(current);
	}
	return static_cast<Real>(previous[fLength]) / static_cast<Real>(fLength);
}

uint32 VString::ComputeHashValue(const UniChar* inUnits, VIndex inLength)
{
	if (inLength <= 0)
		return 0;
	uint32 hash = static_cast<uint32>(inLength);
	auto mix = [&hash](const UniChar* inFrom, VIndex inCount) {
		for (VIndex i = 0; i < inCount; ++i)
			hash = hash * 257 + inFrom[i];
	};
	if (inLength >= 17) {
		mix(inUnits, 8);
		mix(inUnits + inLength - 8, 8);
	} else {
		mix(inUnits, inLength);
	}
	return (hash << (static_cast<uint32>(inLength) % 32)) + hash;
}

// ---------------------------------------------------------------------------
// Search

VIndex VString::FindUniChar(UniChar inChar, VIndex inStart, bool inBackwards) const
{
	if (fLength == 0 || inStart > fLength)
		return 0;
	VIndex start = std::max(inStart, 1);
	if (inBackwards) {
		for (VIndex pos = start; pos >= 1; --pos) {
			if (fString[pos - 1] == inChar)
				return pos;
		}
		return 0;
	}
	const UniChar* end = fString + fLength;
	const UniChar* found = FindUnit(fString + start - 1, end, inChar);
	return found == end ? 0 : static_cast<VIndex>(found - fString) + 1;
}

VIndex VString::FindRawString(const VString& inPattern, VIndex inStart) const
{
	if (inStart < 1 || static_cast<int64>(fLength) - (inStart - 1) < inPattern.fLength)
		return 0;
	VIndex found = FindRawString(fString + inStart - 1, fLength - inStart + 1, inPattern.fString, inPattern.fLength);
	return found == 0 ? 0 : found + inStart - 1;
}

VIndex VString::FindRawString(const UniChar* inText, VIndex inTextLength, const UniChar* inPattern,
							  VIndex inPatternLength)
{
	if (inPatternLength <= 0)
		return 1;
	if (inTextLength < inPatternLength)
		return 0;
	const UniChar* textEnd = inText + inTextLength;
	if (inPatternLength == 1) {
		const UniChar* found = FindUnit(inText, textEnd, inPattern[0]);
		return found == textEnd ? 0 : static_cast<VIndex>(found - inText) + 1;
	}

	// Knuth-Morris-Pratt: the text is read once, whatever the pattern.
	VIndex stackTable[256];
	VIndex* table = inPatternLength < 256
						? stackTable
						: static_cast<VIndex*>(std::malloc((static_cast<size_t>(inPatternLength) + 1) * sizeof(VIndex)));
	if (table == nullptr) {
		_ThrowError(VE_MEMORY_FULL);
		return 0;
	}
	table[0] = -1;
	VIndex candidate = 0;
	VIndex pos = 1;
	for (; pos < inPatternLength; ++pos, ++candidate) {
		if (inPattern[pos] == inPattern[candidate]) {
			table[pos] = table[candidate];
		} else {
			table[pos] = candidate;
			while (candidate >= 0 && inPattern[pos] != inPattern[candidate])
				candidate = table[candidate];
		}
	}
	table[pos] = candidate;

	VIndex result = 0;
	const UniChar first = inPattern[0];
	const UniChar* t = inText;
	VIndex k = 0;
	while (true) {
		if (k == 0) {
			// Nothing matched yet: skip quickly to the next first unit.
			t = FindUnit(t, textEnd, first);
			if (textEnd - t < inPatternLength)
				break;
			++t;
			k = 1;
			continue;
		}
		if (t == textEnd)
			break;
		if (inPattern[k] == *t) {
			++t;
			if (++k == inPatternLength) {
				result = static_cast<VIndex>(t - inText) - inPatternLength + 1;
				break;
			}
		} else {
			k = table[k];
			if (k < 0) {
				++t;
				k = 0;
			}
		}
		if (k > 0 && textEnd - t < inPatternLength - k)
			break;
	}
	if (table != stackTable)
		std::free(table);
	return result;
}

// ---------------------------------------------------------------------------
// Replacement

VIndex VString::ExchangeRawString(const VString& inPattern, const VString& inReplacement, VIndex inStart,
								  VIndex inMaxCount)
{
	if (inMaxCount < 1 || inPattern.fLength == 0 || inStart < 1 || inStart > fLength + 1)
		return 0;
	if (&inPattern == this || &inReplacement == this) {
		VString pattern(inPattern.fString, inPattern.fLength);
		VString replacement(inReplacement.fString, inReplacement.fLength);
		return ExchangeRawString(pattern, replacement, inStart, inMaxCount);
	}
	const VIndex patternLength = inPattern.fLength;
	const VIndex replacementLength = inReplacement.fLength;

	VIndex first = FindRawString(inPattern, inStart);
	if (first == 0)
		return 0;

	if (patternLength == replacementLength) {
		if (!_EnsureSize(fLength))
			return 0;
		VIndex count = 0;
		VIndex pos = first;
		while (pos != 0 && count < inMaxCount) {
			std::memcpy(fString + pos - 1, inReplacement.fString, static_cast<size_t>(replacementLength) * 2);
			++count;
			pos = FindRawString(inPattern, pos + patternLength);
		}
		_Touch();
		return count;
	}

	// Offsets (0-based) of the matches, each search resuming after the last.
	std::vector<VIndex> matches;
	for (VIndex pos = first; pos != 0 && static_cast<VIndex>(matches.size()) < inMaxCount;
		 pos = FindRawString(inPattern, pos + patternLength)) {
		if (matches.empty())
			matches.reserve(1024);
		matches.push_back(pos - 1);
	}
	int64 count = static_cast<int64>(matches.size());
	int64 newLength = static_cast<int64>(fLength) + count * (replacementLength - patternLength);
	if (newLength > kMaxLength) {
		_ThrowError(VE_STRING_ALLOC_FAILED);
		return 0;
	}
	const VIndex oldLength = fLength;
	if (!_EnsureSize(static_cast<VIndex>(std::max<int64>(newLength, oldLength))))
		return 0;
	UniChar* text = fString;
	if (replacementLength > patternLength) {
		// From the end, so that every piece moves up once.
		VIndex readEnd = oldLength;
		VIndex writeEnd = static_cast<VIndex>(newLength);
		for (size_t i = matches.size(); i-- > 0;) {
			VIndex matchEnd = matches[i] + patternLength;
			VIndex piece = readEnd - matchEnd;
			writeEnd -= piece;
			std::memmove(text + writeEnd, text + matchEnd, static_cast<size_t>(piece) * 2);
			writeEnd -= replacementLength;
			std::memcpy(text + writeEnd, inReplacement.fString, static_cast<size_t>(replacementLength) * 2);
			readEnd = matches[i];
		}
	} else {
		// Forwards, in place: the text only moves down.
		VIndex write = matches[0];
		for (size_t i = 0; i < matches.size(); ++i) {
			std::memcpy(text + write, inReplacement.fString, static_cast<size_t>(replacementLength) * 2);
			write += replacementLength;
			VIndex pieceStart = matches[i] + patternLength;
			VIndex pieceEnd = i + 1 < matches.size() ? matches[i + 1] : oldLength;
			std::memmove(text + write, text + pieceStart, static_cast<size_t>(pieceEnd - pieceStart) * 2);
			write += pieceEnd - pieceStart;
		}
	}
	fLength = static_cast<VIndex>(newLength);
	fString[fLength] = 0;
	_Touch();
	return static_cast<VIndex>(count);
}

void VString::Exchange(UniChar inFrom, UniChar inTo, VIndex inStart, VIndex inMaxCount)
{
	if (IsNull() || fLength == 0 || inStart < 1 || inMaxCount < 1)
		return;
	VIndex pos = FindUniChar(inFrom, inStart);
	if (pos == 0 || !_EnsureSize(fLength))
		return;
	const UniChar* end = fString + fLength;
	UniChar* p = fString + pos - 1;
	VIndex count = 0;
	while (p != end && count < inMaxCount) {
		*p = inTo;
		++count;
		p = const_cast<UniChar*>(FindUnit(p + 1, end, inFrom));
	}
	_Touch();
}

} // namespace qirn
