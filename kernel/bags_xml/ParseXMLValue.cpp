#include "bags_xml/ParseXMLValue.h"

#include "core/TextUnits.h"
#include "core/VBoolean.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VUUID.h"
#include "runtime/VTask.h"

#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <locale.h>
#include <string>

namespace qirn {

namespace {

constexpr UniChar kMinusSign = 0x2212;

bool _IsDigit(UniChar inChar)
{
	return inChar >= u'0' && inChar <= u'9';
}

bool _Is(const UniChar* inBegin, const UniChar* inEnd, const char16_t* inWord)
{
	const UniChar* p = inBegin;
	for (; *inWord != 0; ++inWord, ++p) {
		if (p == inEnd || *p != *inWord)
			return false;
	}
	return p == inEnd;
}

locale_t _CLocale()
{
	static const locale_t sLocale = ::newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
	return sLocale;
}

// The number from inBegin (after any sign) to inEnd; null when the text is
// not exactly a number this kernel keeps.
VValueSingle* _ParseNumber(const UniChar* inBegin, const UniChar* inEnd, bool inNegative)
{
	const UniChar* p = inBegin;
	uint64 value = 0;
	bool overflow = false;
	std::string text;
	if (inNegative)
		text.push_back('-');
	while (p != inEnd && _IsDigit(*p)) {
		uint64 digit = static_cast<uint64>(*p - u'0');
		if (value > (std::numeric_limits<uint64>::max() - digit) / 10)
			overflow = true;
		value = value * 10 + digit;
		text.push_back(static_cast<char>(*p));
		++p;
	}
	bool real = false;
	if (p != inEnd && *p == u'.') {
		++p;
		if (p == inEnd || !_IsDigit(*p))
			return nullptr;
		text.push_back('.');
		while (p != inEnd && _IsDigit(*p))
			text.push_back(static_cast<char>(*p++));
		real = true;
	}
	if (p != inEnd && (*p == u'e' || *p == u'E')) {
		++p;
		text.push_back('E');
		if (p != inEnd && (*p == u'-' || *p == kMinusSign)) {
			text.push_back('-');
			++p;
		} else if (p != inEnd && *p == u'+') {
			++p;
		}
		if (p == inEnd || !_IsDigit(*p))
			return nullptr;
		while (p != inEnd && _IsDigit(*p))
			text.push_back(static_cast<char>(*p++));
		real = true;
	}
	if (p != inEnd)
		return nullptr;
	if (real) {
		// The whole text, read the same whatever the process's locale.
		char* end = nullptr;
		errno = 0;
		double number = ::strtod_l(text.c_str(), &end, _CLocale());
		if (errno == ERANGE || end != text.c_str() + text.size())
			return nullptr;
		return new VReal(number);
	}
	if (value < (uint64(1) << 31))
		return new VLong(inNegative ? -static_cast<sLONG>(value) : static_cast<sLONG>(value));
	// Beyond 64 signed bits the text is no integer of ours; leading zeros
	// make it something else than a number too (an identifier, say).
	const uint64 limit = inNegative ? uint64(1) << 63 : uint64(std::numeric_limits<sLONG8>::max());
	if (overflow || value > limit || inBegin[0] == u'0')
		return nullptr;
	return new VLong8(inNegative ? static_cast<sLONG8>(0 - value) : static_cast<sLONG8>(value));
}

VValueSingle* _ParseUUID(const UniChar* inBegin, const UniChar* inEnd)
{
	if (inEnd - inBegin < 32)
		return nullptr;
	if (*inBegin == u'{' && inEnd[-1] == u'}') {
		++inBegin;
		--inEnd;
	}
	uint8 bytes[16] = {};
	int digits = 0;
	for (const UniChar* p = inBegin; p != inEnd; ++p) {
		if ((*p == u'-' || *p == kMinusSign) && digits > 0)
			continue;
		int half = HexDigitValue(*p);
		if (half < 0 || digits == 32)
			return nullptr;
		bytes[digits / 2] = static_cast<uint8>(bytes[digits / 2] | (digits % 2 == 0 ? half << 4 : half));
		++digits;
	}
	if (digits != 32)
		return nullptr;
	return new VUUID(VUUIDBuffer(bytes));
}

} // namespace

VValueSingle* ParseXMLValue(const VString& inText)
{
	VString trimmed(inText);
	trimmed.RemoveWhiteSpaces(true, true, nullptr, nullptr, VTask::GetCurrentIntlManager());
	const UniChar* begin = trimmed.GetCPointer();
	const UniChar* end = begin + trimmed.GetLength();
	const UniChar* p = begin;
	bool signed_ = false;
	bool negative = false;
	if (p != end && (*p == u'+' || *p == u'-' || *p == kMinusSign)) {
		signed_ = true;
		negative = *p != u'+';
		++p;
	}
	VValueSingle* result = nullptr;
	if (p != end && *p >= u'0' && *p <= u'{') {
		if (_IsDigit(*p)) {
			result = _ParseNumber(p, end, negative);
			if (result == nullptr && !signed_)
				result = _ParseUUID(begin, end);
		} else if (*p == u'I') {
			if (_Is(p, end, u"INF") && !(signed_ && !negative))
				result = new VReal(negative ? -std::numeric_limits<double>::infinity()
											: std::numeric_limits<double>::infinity());
		} else if (*p == u'N') {
			if (_Is(p, end, u"NaN") && !signed_)
				result = new VReal(std::numeric_limits<double>::quiet_NaN());
		} else if (*p == u't') {
			if (_Is(p, end, u"true") && !signed_)
				result = new VBoolean(true);
		} else if (*p == u'f') {
			if (!signed_)
				result = _Is(p, end, u"false") ? new VBoolean(false) : _ParseUUID(begin, end);
		} else if (*p == u'{') {
			if (!signed_)
				result = _ParseUUID(begin, end);
		}
	}
	return result != nullptr ? result : new VString(inText);
}

} // namespace qirn
