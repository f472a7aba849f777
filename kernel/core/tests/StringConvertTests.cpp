#include "core/VString.h"
#include "testing/RaisedErrors.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <string>

namespace qirn {
namespace {

std::string U8(const VString& inString)
{
	return to_string(inString);
}

TEST(StringConvert, NumbersFromText)
{
	struct Case {
		const char* fText;
		sLONG8 fLong8;
	};
	for (const Case& c : {Case{"-12", -12}, Case{"1-2", 12}, Case{"12.5", 12}, Case{"abc", 0}, Case{"1 234", 1234},
						  Case{"1,234", 1234}, Case{"", 0}, Case{"-0-5", -5},
						  Case{"9223372036854775807", std::numeric_limits<sLONG8>::max()}})
		EXPECT_EQ(VString(c.fText).GetLong8(), c.fLong8) << c.fText;
	// Past the 64-bit range the value wraps instead of overflowing.
	EXPECT_EQ(VString("18446744073709551617").GetLong8(), 1);
	EXPECT_EQ(VString("3000000000").GetLong(), 0);
	EXPECT_EQ(VString("-2147483648").GetLong(), std::numeric_limits<sLONG>::min());
	EXPECT_EQ(VString("40000").GetWord(), 0);
	EXPECT_EQ(VString("-300").GetWord(), -300);
}

TEST(StringConvert, Reals)
{
	bool overflow = false;
	EXPECT_TRUE(std::isinf(VString("1e999").GetRealCheckOverflow(&overflow)));
	EXPECT_TRUE(overflow);
	EXPECT_DOUBLE_EQ(VString("1,5").GetRealCheckOverflow(&overflow), 1.0);
	EXPECT_FALSE(overflow);
	EXPECT_DOUBLE_EQ(VString("-2.25e2").GetReal(), -225.0);
	EXPECT_DOUBLE_EQ(VString("none").GetReal(), 0.0);
	VString s;
	s.FromReal(0.1);
	EXPECT_EQ(U8(s), "0.1");
	s.FromReal(1e20);
	EXPECT_EQ(U8(s), "1E+20");
	s.AppendReal(2.5);
	EXPECT_EQ(U8(s), "1E+202.5");
}

TEST(StringConvert, HexAndBooleans)
{
	EXPECT_EQ(VString("0x1F").GetHexLong(), 31);
	EXPECT_EQ(VString("ff").GetHexLong(), 255);
	EXPECT_EQ(VString().GetHexLong(), 0);
	EXPECT_EQ(VString("true").GetBoolean(), 1);
	EXPECT_EQ(VString("TRUE").GetBoolean(), 1);
	EXPECT_EQ(VString("yes").GetBoolean(), 0);
	VString s;
	s.FromBoolean(1);
	EXPECT_EQ(U8(s), "true");
	s.FromBoolean(0);
	EXPECT_EQ(U8(s), "false");

	struct Case {
		sLONG8 fValue;
		int fBits;
		bool fPrefix;
		const char* fExpected;
	};
	for (const Case& c : {Case{255, 32, true, "0x00FF"}, Case{255, 32, false, "FF"}, Case{0, 32, true, "0x0000"},
						  Case{0, 32, false, "0"}, Case{0x12345, 32, true, "0x00012345"},
						  Case{0x123456789LL, 64, true, "0x0000000123456789"}, Case{-1, 32, false, "FFFFFFFF"},
						  Case{10, 8, true, "0x0A"}, Case{-1, 64, false, "FFFFFFFFFFFFFFFF"}}) {
		if (c.fBits == 64)
			s.FromHexLong(c.fValue, c.fPrefix);
		else if (c.fBits == 32)
			s.FromHexLong(static_cast<sLONG>(c.fValue), c.fPrefix);
		else
			s.FromHexLong(static_cast<uBYTE>(c.fValue), c.fPrefix);
		EXPECT_EQ(U8(s), c.fExpected);
	}
}

TEST(StringConvert, TextFromNumbers)
{
	VString s;
	s.FromLong(std::numeric_limits<sLONG>::min());
	EXPECT_EQ(U8(s), "-2147483648");
	s.FromLong8(std::numeric_limits<sLONG8>::min());
	EXPECT_EQ(U8(s), "-9223372036854775808");
	s.FromULong8(std::numeric_limits<uLONG8>::max());
	EXPECT_EQ(U8(s), "18446744073709551615");
	s.FromWord(-7);
	s.AppendLong(42);
	s.AppendULong8(0);
	EXPECT_EQ(U8(s), "-7420");
	s.FromByte(-128);
	EXPECT_EQ(U8(s), "-128");
}

TEST(StringConvert, FourCharacterCodes)
{
	EXPECT_EQ(VString("TEXT").GetOsType(), static_cast<OsType>('TEXT'));
	EXPECT_EQ(VString("abc").GetOsType(), static_cast<OsType>('abc '));
	EXPECT_EQ(VString("abcde").GetOsType(), 0u);
	VString s;
	s.FromOsType('qirn');
	EXPECT_EQ(U8(s), "qirn");
	s.AppendOsType('UPQX');
	EXPECT_EQ(U8(s), "qirnUPQX");
}

TEST(StringConvert, LineEnds)
{
	struct Case {
		const char* fText;
		ECarriageReturnMode fMode;
		const char* fExpected;
	};
	for (const Case& c : {Case{"a\rb\nc", eCRM_CRLF, "a\r\nb\r\nc"}, Case{"a\r\nb\rc", eCRM_LF, "a\nb\nc"},
						  Case{"a\r\nb\nc\r", eCRM_CR, "a\rb\rc\r"}, Case{"a\r\n\r\n", eCRM_CRLF, "a\r\n\r\n"},
						  Case{"\n\n", eCRM_CRLF, "\r\n\r\n"}, Case{"a\nb", eCRM_NONE, "a\nb"},
						  Case{"a\nb", static_cast<ECarriageReturnMode>(9), "a\nb"}, Case{"", eCRM_CRLF, ""}}) {
		VString s(c.fText);
		VString shared(s);
		s.ConvertCarriageReturns(c.fMode);
		EXPECT_EQ(U8(s), c.fExpected) << c.fText;
		EXPECT_EQ(U8(shared), c.fText);
	}
	EXPECT_EQ(VString("a\nb").GetCarriageReturnMode(), eCRM_LF);
	EXPECT_EQ(VString("a\r\nb").GetCarriageReturnMode(), eCRM_CRLF);
	EXPECT_EQ(VString("a\r").GetCarriageReturnMode(), eCRM_CR);
	EXPECT_EQ(VString("ab").GetCarriageReturnMode(eCRM_LF), eCRM_LF);

	VMemoryBuffer<> bytes;
	bytes.AddData("x\ny\n", 4);
	VString::ConvertCarriageReturns(bytes, VTC_UTF_8, eCRM_CRLF);
	EXPECT_EQ(std::string(static_cast<const char*>(bytes.GetDataPtr()), bytes.GetDataSize()), "x\r\ny\r\n");
	const char bigEndian[] = {0, 'a', 0, '\r', 0, '\n', 0, 'b'};
	VMemoryBuffer<> wide;
	wide.AddData(bigEndian, sizeof(bigEndian));
	VString::ConvertCarriageReturns(wide, VTC_UTF_16_BIGENDIAN, eCRM_LF);
	const char expected[] = {0, 'a', 0, '\n', 0, 'b'};
	ASSERT_EQ(wide.GetDataSize(), sizeof(expected));
	EXPECT_EQ(std::memcmp(wide.GetDataPtr(), expected, sizeof(expected)), 0);
}

TEST(StringConvert, SplitJoinTrim)
{
	std::vector<VString> parts;
	EXPECT_TRUE(VString("a,,b").GetSubStrings(u',', parts, true));
	ASSERT_EQ(parts.size(), 3u);
	EXPECT_EQ(U8(parts[1]), "");
	EXPECT_TRUE(VString("a,,b").GetSubStrings(u',', parts, false));
	ASSERT_EQ(parts.size(), 2u);
	EXPECT_EQ(U8(parts[1]), "b");
	EXPECT_FALSE(VString().GetSubStrings(u',', parts, true));
	EXPECT_EQ(parts.size(), 1u);
	EXPECT_FALSE(VString().GetSubStrings(u',', parts, false));
	EXPECT_TRUE(parts.empty());
	EXPECT_TRUE(VString(" a , b ,").GetSubStrings(u',', parts, false, true));
	ASSERT_EQ(parts.size(), 2u);
	EXPECT_EQ(U8(parts[0]), "a");
	EXPECT_EQ(U8(parts[1]), "b");
	EXPECT_FALSE(VString("abc").GetSubStrings(u',', parts));
	ASSERT_EQ(parts.size(), 1u);

	VString joined("old");
	EXPECT_TRUE(joined.Join({VString("a"), VString("b")}, u'/'));
	EXPECT_EQ(U8(joined), "a/b");
	EXPECT_TRUE(joined.Join({joined, VString("c")}, VString(" - ")));
	EXPECT_EQ(U8(joined), "a/b - c");
	EXPECT_TRUE(joined.Join({}, u'/'));
	EXPECT_TRUE(joined.IsEmpty());

	VString trimmed("xxabcxx");
	trimmed.TrimUniChar(u'x');
	EXPECT_EQ(U8(trimmed), "abc");
	VString spaces(" \t text \t");
	VIndex leading = 0, trailing = 0;
	spaces.RemoveWhiteSpaces(true, false, &leading, &trailing);
	EXPECT_EQ(U8(spaces), "text \t");
	EXPECT_EQ(leading, 3);
	EXPECT_EQ(trailing, 0);
	spaces.RemoveWhiteSpaces();
	EXPECT_EQ(U8(spaces), "text");
}

TEST(StringConvert, Blocks)
{
	VString s("abc");
	char buffer[16] = {};
	EXPECT_EQ(s.ToBlock(buffer, sizeof(buffer), VTC_UTF_8, true, true), 3u);
	EXPECT_EQ(std::memcmp(buffer, "\x03" "abc\0", 5), 0);
	// Too small for the prefix and the terminator: nothing is written.
	char tiny[1] = {'z'};
	EXPECT_EQ(s.ToBlock(tiny, sizeof(tiny), VTC_UTF_8, true, true), 0u);
	EXPECT_EQ(tiny[0], 'z');
	// Cut to the room.
	char small[3] = {};
	EXPECT_EQ(s.ToBlock(small, sizeof(small), VTC_UTF_8, true, false), 2u);
	EXPECT_EQ(std::string(small), "ab");
	UniChar wide[8] = {};
	EXPECT_EQ(s.ToBlock(wide, sizeof(wide), VTC_UTF_16, true, true), 6u);
	EXPECT_EQ(wide[0], 3);
	EXPECT_EQ(wide[1], u'a');
	EXPECT_EQ(wide[4], 0);

	VString decoded;
	EXPECT_TRUE(decoded.FromBlock("\xC3\xA9t\xC3\xA9", 5, VTC_UTF_8));
	EXPECT_EQ(decoded.GetLength(), 3);
	EXPECT_EQ(decoded.GetUniChar(1), 0xE9);
	const char utf16be[] = {0, 'h', 0, 'i'};
	decoded.FromBlock(utf16be, sizeof(utf16be), VTC_UTF_16_BIGENDIAN);
	EXPECT_EQ(U8(decoded), "hi");
	decoded.AppendBlock("\x21\0\0\0", 4, VTC_UTF_32);
	EXPECT_EQ(U8(decoded), "hi!");

	const char withBOM[] = "\xEF\xBB\xBF" "bom";
	EXPECT_EQ(decoded.FromBlockWithOptionalBOM(withBOM, 6, VTC_UTF_16_BIGENDIAN), VTC_UTF_8);
	EXPECT_EQ(U8(decoded), "bom");
	const char noBOM[] = {'h', 0, 'i', 0};
	EXPECT_EQ(decoded.FromBlockWithOptionalBOM(noBOM, 4, VTC_UTF_8), VTC_UTF_16_SMALLENDIAN);
	EXPECT_EQ(U8(decoded), "hi");

	VMemoryBuffer<> out;
	EXPECT_TRUE(VString("d\xC3\xA9j\xC3\xA0").ToBuffer(out, VTC_UTF_8));
	EXPECT_EQ(std::string(static_cast<const char*>(out.GetDataPtr()), out.GetDataSize()), "d\xC3\xA9j\xC3\xA0");
	EXPECT_EQ(to_string(VString()), "");
}

TEST(StringConvert, Base64)
{
	VString s;
	EXPECT_TRUE(s.EncodeBase64("abc", 3));
	EXPECT_EQ(U8(s), "YWJj");
	VMemoryBuffer<> decoded;
	EXPECT_TRUE(s.DecodeBase64(decoded));
	EXPECT_EQ(std::string(static_cast<const char*>(decoded.GetDataPtr()), decoded.GetDataSize()), "abc");

	VString text("d\xC3\xA9j\xC3\xA0 vu");
	VString original(text);
	EXPECT_TRUE(text.EncodeBase64(VTC_UTF_8));
	EXPECT_EQ(U8(text), "ZMOpasOgIHZ1");
	EXPECT_TRUE(text.DecodeBase64(VTC_UTF_8));
	EXPECT_TRUE(text.EqualToStringRaw(original));

	VString bad("YW\xC3\xA9j");
	testing::RaisedErrors raised;
	EXPECT_FALSE(bad.DecodeBase64(decoded));
	EXPECT_EQ(raised.Last(), VE_STRING_BASE64_DECODING_FAILED);
	VString empty;
	EXPECT_TRUE(empty.EncodeBase64(VTC_UTF_8));
	EXPECT_TRUE(empty.IsEmpty());
}

class Reporter : public VValueSingle {
public:
	void GetString(VString& outString) const override { outString.FromCString("reported"); }
	void FromString(const VString& inString) override { fReceived.FromString(inString); }
	VValueSingle* Clone() const override { return new Reporter; }
	VString fReceived;
};

TEST(StringConvert, ValueSlots)
{
	Reporter value;
	VString s("text");
	s.GetValue(value);
	EXPECT_EQ(U8(value.fReceived), "text");
	s.FromValue(value);
	EXPECT_EQ(U8(s), "reported");
	s.AppendValue(value);
	EXPECT_EQ(U8(s), "reportedreported");
	std::unique_ptr<VString> clone(s.Clone());
	EXPECT_TRUE(clone->EqualToStringRaw(s));
}

} // namespace
} // namespace qirn
