#include "core/VMAPM.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

namespace qirn {
namespace {

std::vector<char> Packed(int32 inExponent, int8 inSign, int32 inCount, const std::vector<uint8>& inDigitBytes)
{
	std::vector<char> data(9 + inDigitBytes.size());
	std::memcpy(data.data(), &inExponent, 4);
	std::memcpy(data.data() + 4, &inSign, 1);
	std::memcpy(data.data() + 5, &inCount, 4);
	if (!inDigitBytes.empty())
		std::memcpy(data.data() + 9, inDigitBytes.data(), inDigitBytes.size());
	return data;
}

TEST(MAPM, PackedDecimalsToReals)
{
	struct Case {
		int32 fExponent;
		int8 fSign;
		int32 fCount;
		std::vector<uint8> fDigits;
		double fExpected;
	};
	const Case cases[] = {
		{1, 1, 1, {50}, 5.0},			   // 0.5E1
		{3, 1, 4, {12, 34}, 123.4},		   // 0.1234E3
		{0, -1, 3, {25, 50}, -0.255},	   // 0.255E0
		{-2, 1, 2, {75}, 0.0075},		   // 0.75E-2
		{5, 0, 2, {12}, 0.0},			   // sign zero
		{1, 1, 2, {100}, 0.0},			   // a digit byte above 99 is corrupt
		{1, 1, -5, {12}, 0.0},			   // so is a negative count
		{1, 1, 0, {}, 0.0},				   // and an empty one
		{-2147483647 - 1, 1, 1, {10}, 0.0}, // the exponent minus one does not wrap
	};
	for (const Case& c : cases) {
		std::vector<char> data = Packed(c.fExponent, c.fSign, c.fCount, c.fDigits);
		EXPECT_DOUBLE_EQ(MAPM_FloatToReal(data.data()), c.fExpected) << c.fExponent << " " << c.fCount;
	}
}

TEST(MAPM, ManyDigitsStillRoundCorrectly)
{
	// 0.1 followed by 2000 zeros and a final 1, at exponent 1: just above 1.
	std::vector<uint8> digits(1001, 0);
	digits[0] = 10;
	digits[1000] = 1;
	std::vector<char> data = Packed(1, 1, 2002, digits);
	EXPECT_DOUBLE_EQ(MAPM_FloatToReal(data.data()), 1.0);
}

} // namespace
} // namespace qirn
