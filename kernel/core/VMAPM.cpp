#include "core/VMAPM.h"

#include "core/TextUnits.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace qirn {

namespace {

// More significant digits than any double needs to round correctly; past
// them only whether some digit is not zero still matters.
constexpr int32 kMaxDigitsKept = 800;

} // namespace

Real MAPM_FloatToReal(const void* inData)
{
	const char* p = static_cast<const char*>(inData);
	int32 exponent;
	int8 sign;
	int32 count;
	std::memcpy(&exponent, p, sizeof(exponent));
	p += sizeof(exponent);
	std::memcpy(&sign, p, sizeof(sign));
	p += sizeof(sign);
	std::memcpy(&count, p, sizeof(count));
	p += sizeof(count);
	const uint8* digits = reinterpret_cast<const uint8*>(p);

	if (sign == 0 || count < 1)
		return 0.0;

	int32 kept = count < kMaxDigitsKept ? count : kMaxDigitsKept;
	std::string text;
	text.reserve(static_cast<size_t>(kept) + 32);
	if (sign < 0)
		text += '-';
	bool droppedNonZero = false;
	for (int32 i = 0; i < count; ++i) {
		uint8 byte = digits[i / 2];
		if (byte > 99)
			return 0.0;
		char digit = static_cast<char>('0' + ((i % 2 == 0) ? byte / 10 : byte % 10));
		if (i < kept) {
			text += digit;
			if (i == 0 && count > 1)
				text += '.';
		} else if (digit != '0') {
			droppedNonZero = true;
		}
	}
	if (droppedNonZero)
		text += '1';
	char exponentText[24];
	long long shown = static_cast<long long>(exponent) - 1;
	std::snprintf(exponentText, sizeof(exponentText), shown >= 0 ? "E+%lld" : "E%lld", shown);
	text += exponentText;
	return ReadReal(text.c_str(), nullptr);
}

} // namespace qirn
