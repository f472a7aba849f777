// Hostile and random input for strings, escaping, Base64 and the Unicode
// converters: every case must give the right text and stay inside its
// buffers (run under the address and thread sanitizers).

#include "core/Base64Coder.h"
#include "core/StStringConverter.h"
#include "core/VString.h"
#include "core/VTextConverters.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace qirn {
namespace {

std::mt19937& Random()
{
	static std::mt19937 sRandom;
	return sRandom;
}

// Every test starts from its own fixed seed: failures replay, whatever runs.
class TextRobustness : public ::testing::Test {
protected:
	void SetUp() override { Random().seed(20240531); }
};

int RandomInt(int inLow, int inHigh)
{
	return std::uniform_int_distribution<int>(inLow, inHigh)(Random());
}

// Units drawn mostly from a tiny alphabet, so that patterns repeat and
// overlap, with now and then any unit at all (surrogates included).
std::u16string RandomUnits(int inMaxLength, const std::u16string& inAlphabet = u"ab")
{
	std::u16string units(static_cast<size_t>(RandomInt(0, inMaxLength)), u'a');
	for (char16_t& unit : units)
		unit = RandomInt(0, 9) == 0 ? static_cast<char16_t>(RandomInt(1, 0xFFFF))
									: inAlphabet[static_cast<size_t>(RandomInt(0, int(inAlphabet.size()) - 1))];
	return units;
}

VString FromUnits(const std::u16string& inUnits)
{
	return VString(inUnits.data(), static_cast<VIndex>(inUnits.size()));
}

std::u16string ToUnits(const VString& inString)
{
	return std::u16string(inString.GetCPointer(), static_cast<size_t>(inString.GetLength()));
}

// ---------------------------------------------------------------------------
// Search and replacement against the obvious algorithms

TEST_F(TextRobustness, RawSearchAgreesWithNaiveSearch)
{
	for (int round = 0; round < 3000; ++round) {
		std::u16string text = RandomUnits(round < 2500 ? 40 : 600);
		std::u16string pattern = RandomUnits(round % 10 == 0 ? 300 : 6);
		if (pattern.empty())
			continue;
		VIndex start = RandomInt(1, static_cast<int>(text.size()) + 1);
		size_t expected = text.find(pattern, static_cast<size_t>(start - 1));
		VIndex found = FromUnits(text).FindRawString(FromUnits(pattern), start);
		ASSERT_EQ(found, expected == std::u16string::npos ? 0 : static_cast<VIndex>(expected) + 1)
			<< "round " << round;
	}
}

TEST_F(TextRobustness, ExchangeAgreesWithNaiveReplacement)
{
	for (int round = 0; round < 3000; ++round) {
		std::u16string text = RandomUnits(60);
		std::u16string pattern = RandomUnits(4);
		std::u16string replacement = RandomUnits(6);
		if (pattern.empty())
			continue;
		VIndex start = RandomInt(1, static_cast<int>(text.size()) + 1);
		VIndex maxCount = RandomInt(1, 5);
		std::u16string expected = text;
		VIndex expectedCount = 0;
		for (size_t at = expected.find(pattern, static_cast<size_t>(start - 1));
			 at != std::u16string::npos && expectedCount < maxCount;
			 at = expected.find(pattern, at + replacement.size())) {
			expected.replace(at, pattern.size(), replacement);
			++expectedCount;
		}
		VString s = FromUnits(text);
		VString sharer(s); // the text must not change under a copy
		ASSERT_EQ(s.ExchangeRawString(FromUnits(pattern), FromUnits(replacement), start, maxCount), expectedCount);
		ASSERT_EQ(ToUnits(s), expected) << "round " << round;
		ASSERT_EQ(ToUnits(sharer), text);
		ASSERT_TRUE(s.IsStringValid());
	}
}

// ---------------------------------------------------------------------------
// Converters

TEST_F(TextRobustness, UnicodeFormsRoundTripWellFormedText)
{
	const CharSet sets[] = {VTC_UTF_8, VTC_UTF_16_BIGENDIAN, VTC_UTF_16_SMALLENDIAN, VTC_UTF_32_BIGENDIAN,
							VTC_UTF_32_SMALLENDIAN};
	for (int round = 0; round < 2000; ++round) {
		// Well-formed: surrogates only in pairs.
		std::u16string units;
		for (int n = RandomInt(0, 700); n > 0; --n) {
			int kind = RandomInt(0, 3);
			if (kind == 0) {
				units += static_cast<char16_t>(RandomInt(1, 0x7F));
			} else if (kind == 1) {
				char16_t unit = static_cast<char16_t>(RandomInt(0x80, 0xFFFF));
				if (unit >= 0xD800 && unit <= 0xDFFF)
					unit = 0xE000;
				units += unit;
			} else if (kind == 2) {
				units += static_cast<char16_t>(RandomInt(0xD800, 0xDBFF));
				units += static_cast<char16_t>(RandomInt(0xDC00, 0xDFFF));
			} else {
				units += u"\r\n";
			}
		}
		VString source = FromUnits(units);
		CharSet set = sets[round % 5];
		VMemoryBuffer<> bytes;
		ASSERT_TRUE(source.ToBuffer(bytes, set));
		VString decoded(bytes.GetDataPtr(), bytes.GetDataSize(), set);
		ASSERT_EQ(ToUnits(decoded), units) << "round " << round << " set " << set;
		StStringConverter<char> scoped(source, set);
		ASSERT_TRUE(scoped.IsOK()) << "round " << round << " set " << set;
		ASSERT_EQ(scoped.GetSize(), bytes.GetDataSize());
		ASSERT_EQ(std::memcmp(scoped.GetCPointer(), bytes.GetDataPtr(), bytes.GetDataSize()), 0);
	}
}

TEST_F(TextRobustness, DecodersTakeRandomBytes)
{
	const CharSet sets[] = {VTC_UTF_8, VTC_UTF_16_BIGENDIAN, VTC_UTF_16_SMALLENDIAN, VTC_UTF_32_BIGENDIAN,
							VTC_UTF_32_SMALLENDIAN, VTC_UTF_32_RAW_BIGENDIAN, VTC_UTF_32_RAW_SMALLENDIAN};
	for (int round = 0; round < 3000; ++round) {
		std::vector<uint8> bytes(static_cast<size_t>(RandomInt(0, 64)));
		for (uint8& byte : bytes)
			byte = RandomInt(0, 3) == 0 ? static_cast<uint8>(RandomInt(0x80, 0xFF)) : static_cast<uint8>(RandomInt(0, 0xFF));
		CharSet set = sets[round % 7];
		VString decoded(bytes.data(), bytes.size(), set);
		ASSERT_TRUE(decoded.IsStringValid());
		ASSERT_LE(decoded.GetLength(), static_cast<VIndex>(bytes.size()));
		VString appended("x");
		appended.AppendBlock(bytes.data(), bytes.size(), set);
		ASSERT_EQ(ToUnits(appended), u"x" + ToUnits(decoded));
		VString withBOM;
		withBOM.FromBlockWithOptionalBOM(bytes.data(), bytes.size(), VTC_UTF_8);
		ASSERT_TRUE(withBOM.IsStringValid());
	}
}

TEST_F(TextRobustness, EncodersTakeLoneSurrogates)
{
	const CharSet sets[] = {VTC_UTF_8, VTC_UTF_16_BIGENDIAN, VTC_UTF_32_BIGENDIAN, VTC_UTF_32_SMALLENDIAN,
							VTC_UTF_32_RAW_SMALLENDIAN};
	for (int round = 0; round < 2000; ++round) {
		std::u16string units = RandomUnits(round % 3 == 0 ? 400 : 20, u"a\xD800\xDC00\xDBFF");
		VString source = FromUnits(units);
		CharSet set = sets[round % 5];
		StStringConverter<char> scoped(source, set);
		ASSERT_LE(scoped.GetSize(), static_cast<VSize>(4 * units.size() + 4));
		VMemoryBuffer<> bytes;
		source.ToBuffer(bytes, set);
		char block[64];
		VSize written = source.ToBlock(block, RandomInt(0, sizeof(block)), set, RandomInt(0, 1) != 0,
									   RandomInt(0, 1) != 0);
		ASSERT_LE(written, sizeof(block));
		(void)to_string(source);
	}
}

TEST_F(TextRobustness, TextEndingInAHighSurrogateEncodes)
{
	// The half pair at the end never completes: the encoder must not wait
	// for it for ever.
	for (const char16_t* text : {u"\xD800", u"abc\xD800", u"abcdefghijklmn\xDBFF"}) {
		VString source(text);
		StStringConverter<char> scoped(source, VTC_UTF_8);
		EXPECT_TRUE(scoped.IsOK());
		EXPECT_EQ(source.GetReal(), 0.0);
		VString encoded(source);
		EXPECT_TRUE(encoded.EncodeBase64(VTC_UTF_8));
	}
	VString number(u"12.5\xD800");
	EXPECT_EQ(number.GetReal(), 12.5);
}

TEST_F(TextRobustness, LongTextEncodesAsUTF32)
{
	// Longer than the converter's inline room.
	std::u16string units(1000, u'x');
	units += u"\xD83D\xDE00";
	VString source = FromUnits(units);
	for (CharSet set : {VTC_UTF_32_BIGENDIAN, VTC_UTF_32_SMALLENDIAN}) {
		StStringConverter<char> scoped(source, set);
		EXPECT_TRUE(scoped.IsOK());
		EXPECT_EQ(scoped.GetSize(), 4u * 1001);
		VString encoded(source);
		ASSERT_TRUE(encoded.EncodeBase64(set));
		ASSERT_TRUE(encoded.DecodeBase64(set));
		EXPECT_EQ(ToUnits(encoded), units);
	}
	// A fault after the inline room still fails, and the converter can be used again.
	StStringConverter<char> reused(VTC_UTF_32_SMALLENDIAN);
	reused.ConvertString(FromUnits(std::u16string(3000, u'y')));
	EXPECT_TRUE(reused.IsOK());
	reused.ConvertString(FromUnits(std::u16string(5000, u'y') + u"\xDC00"));
	EXPECT_FALSE(reused.IsOK());
	EXPECT_EQ(reused.GetCPointer()[reused.GetSize()], 0);
	EXPECT_STREQ(reused.ConvertString(VString("ok")), std::string("o\0\0\0k\0\0\0", 8).c_str());
}

TEST_F(TextRobustness, LineEndsOfEncodedTextKeepAStrayTail)
{
	struct Case {
		CharSet fSet;
		ECarriageReturnMode fMode;
		std::string fBytes;
		std::string fExpected;
	};
	const Case cases[] = {
		{VTC_UTF_16_SMALLENDIAN, eCRM_CRLF, std::string("a\0\n\0\x7F", 5), std::string("a\0\r\0\n\0\x7F", 7)},
		{VTC_UTF_16_SMALLENDIAN, eCRM_LF, std::string("a\0\r\0\n\0\x7F", 7), std::string("a\0\n\0\x7F", 5)},
		{VTC_UTF_16_BIGENDIAN, eCRM_NONE, std::string("\0a\x01", 3), std::string("\0a\x01", 3)},
		{VTC_UTF_32_SMALLENDIAN, eCRM_CRLF, std::string("\n\0\0\0xyz", 7), std::string("\r\0\0\0\n\0\0\0xyz", 11)},
		{VTC_UTF_32_SMALLENDIAN, eCRM_CR, std::string("\r\0\0\0\n\0\0\0xy", 10), std::string("\r\0\0\0xy", 6)},
	};
	for (const Case& c : cases) {
		VMemoryBuffer<> buffer;
		ASSERT_TRUE(buffer.AddData(c.fBytes.data(), c.fBytes.size()));
		VString::ConvertCarriageReturns(buffer, c.fSet, c.fMode);
		EXPECT_EQ(std::string(static_cast<const char*>(buffer.GetDataPtr()), buffer.GetDataSize()), c.fExpected)
			<< c.fSet << " " << c.fMode;
	}
}

// ---------------------------------------------------------------------------
// Escaping

TEST_F(TextRobustness, XMLEscapingRoundTrips)
{
	for (int round = 0; round < 3000; ++round) {
		std::u16string units = RandomUnits(40, u"a&<>\"';#x\x01\x7F");
		std::replace(units.begin(), units.end(), u'\0', u'z');
		VString s = FromUnits(units);
		s.TranscodeToXML(round % 2 == 0);
		ASSERT_TRUE(s.IsStringValid());
		s.TranscodeFromXML();
		ASSERT_EQ(ToUnits(s), units) << "round " << round;
	}
	// Unescaping alone copes with any text.
	for (int round = 0; round < 3000; ++round) {
		std::u16string units = RandomUnits(30, u"&#x;0aF9gamp");
		VString s = FromUnits(units);
		s.TranscodeFromXML();
		ASSERT_TRUE(s.IsStringValid());
		ASSERT_LE(s.GetLength(), static_cast<VIndex>(units.size()));
	}
}

TEST_F(TextRobustness, JSONEscapingRoundTrips)
{
	for (int round = 0; round < 3000; ++round) {
		std::u16string units = RandomUnits(40, u"a\\\"/\b\t\n\f\r\x01&'\x7F");
		VString s = FromUnits(units);
		VString json;
		ASSERT_EQ(s.GetJSONString(json, round % 3 == 0 ? VString::kJSON_EscapeAmpAndApos : 0), VE_OK);
		VString back;
		ASSERT_EQ(back.FromJSONString(json, 0), VE_OK);
		ASSERT_EQ(ToUnits(back), units) << "round " << round;
	}
	for (int round = 0; round < 3000; ++round) {
		std::u16string units = RandomUnits(20, u"\\u0Ffx");
		VString s;
		ASSERT_EQ(s.FromJSONString(FromUnits(units), 0), VE_OK);
		ASSERT_TRUE(s.IsStringValid());
		ASSERT_LE(s.GetLength(), static_cast<VIndex>(units.size()));
	}
}

// ---------------------------------------------------------------------------
// Base64

TEST_F(TextRobustness, Base64RoundTripsAndRefusesGarbage)
{
	for (int round = 0; round < 3000; ++round) {
		std::vector<uint8> data(static_cast<size_t>(RandomInt(0, 100)));
		for (uint8& byte : data)
			byte = static_cast<uint8>(RandomInt(0, 255));
		bool url = round % 2 == 0;
		VMemoryBuffer<> encoded;
		ASSERT_TRUE(url ? Base64Coder::EncodeURL(data.data(), data.size(), encoded)
						: Base64Coder::Encode(data.data(), data.size(), encoded, round % 3));
		VMemoryBuffer<> decoded;
		ASSERT_TRUE(Base64Coder::Decode(encoded.GetDataPtr(), encoded.GetDataSize(), decoded, url));
		ASSERT_EQ(decoded.GetDataSize(), data.size());
		ASSERT_TRUE(data.empty() || std::memcmp(decoded.GetDataPtr(), data.data(), data.size()) == 0);

		VString text;
		ASSERT_TRUE(text.EncodeBase64(data.data(), data.size(), round % 4 == 0));
		VMemoryBuffer<> fromText;
		ASSERT_TRUE(text.DecodeBase64(fromText, false));
		ASSERT_EQ(fromText.GetDataSize(), data.size());
	}
	const std::string alphabet = "AZaz09+/-_= \r\n\x80\xFF.";
	for (int round = 0; round < 3000; ++round) {
		std::string garbage(static_cast<size_t>(RandomInt(0, 30)), 'A');
		for (char& c : garbage)
			c = alphabet[static_cast<size_t>(RandomInt(0, int(alphabet.size()) - 1))];
		VMemoryBuffer<> decoded;
		bool ok = Base64Coder::Decode(garbage.data(), garbage.size(), decoded, round % 2 == 0,
									  round % 3 == 0);
		ASSERT_LE(decoded.GetDataSize(), garbage.size());
		if (!ok && round % 3 != 0) {
			ASSERT_EQ(decoded.GetDataSize(), 0u);
		}
	}
}

// ---------------------------------------------------------------------------
// Flat form

TEST_F(TextRobustness, FlatFormKeepsWithinTheLimit)
{
	VString s("abcdef");
	for (size_t limit = 1; limit < 20; ++limit) {
		std::vector<uint8> block(limit + 16, 0xAA);
		ASSERT_EQ(s.GetSpace(limit), std::min<VSize>(limit, 16));
		uint8* end = static_cast<uint8*>(s.WriteToPtr(block.data(), false, limit));
		ASSERT_LE(static_cast<size_t>(end - block.data()), s.GetSpace(limit)) << limit;
		for (size_t i = s.GetSpace(limit); i < block.size(); ++i)
			ASSERT_EQ(block[i], 0xAA) << limit;
	}
}

// ---------------------------------------------------------------------------
// Editing with positions and counts from anywhere

TEST_F(TextRobustness, EditsTakeAnyPositionAndCount)
{
	const VIndex values[] = {-2147483647 - 1, -5, -1, 0, 1, 2, 5, 6, 7, 100, 2147483646, 2147483647};
	for (VIndex pos : values) {
		for (VIndex count : values) {
			VString s("abcdef");
			VString shared(s);
			s.Remove(pos, count);
			s.Replace(VString("XY"), pos, count);
			s.SubString(pos, count);
			ASSERT_TRUE(s.IsStringValid());
			VString t("abcdef");
			t.Truncate(pos, count % 2 == 0);
			t.Insert(u'Q', pos);
			t.Insert(VString("RS"), pos);
			(void)t.GetSubString(pos, count);
			(void)t.Before(pos);
			(void)t.After(pos);
			(void)t.GetUniChar(pos);
			t.SetUniChar(pos, u'Z');
			(void)t.FindUniChar(u'a', pos, count % 2 == 0);
			(void)t.FindRawString(VString("b"), pos);
			t.ExchangeRawString(VString("a"), VString("bb"), pos, count);
			t.Exchange(u'a', u'b', pos, count);
			ASSERT_TRUE(t.IsStringValid());
			ASSERT_EQ(to_string(shared), "abcdef");
		}
	}
}

// ---------------------------------------------------------------------------
// Shared buffers across threads

TEST_F(TextRobustness, ThreadsEditingStringsThatShareBuffers)
{
	// Each thread keeps copies of one heap buffer, hands copies to the other
	// thread through its own slot and edits its own strings; no thread ever
	// sees another's edits.
	VString seed;
	for (int i = 0; i < 200; ++i)
		seed.AppendUniChar(static_cast<UniChar>(u'a' + i % 26));
	const std::string seedText = to_string(seed);
	constexpr int kThreads = 4;
	std::vector<std::thread> threads;
	for (int t = 0; t < kThreads; ++t) {
		threads.emplace_back([&seed, &seedText, t] {
			VString mine(seed);
			for (int i = 0; i < 500; ++i) {
				VString copy(mine);
				VString other;
				other = copy;
				switch (i % 5) {
					case 0: copy.AppendUniChar(u'!'); break;
					case 1: copy.SetUniChar(1, static_cast<UniChar>(u'0' + t)); break;
					case 2: copy.Truncate(10); break;
					case 3: copy.ExchangeRawString(VString("a"), VString("AA")); break;
					default: copy.Insert(u'#', 3); break;
				}
				VInlineString light;
				light.InitWithString(other);
				VString fromLight(light);
				light.Dispose();
				other.Remove(1, 1);
				ASSERT_EQ(to_string(mine), seedText);
				ASSERT_EQ(to_string(fromLight), seedText);
			}
		});
	}
	for (std::thread& thread : threads)
		thread.join();
	EXPECT_EQ(to_string(seed), seedText);
	EXPECT_EQ(seed.GetBufferRefCount(), 1);
}

} // namespace
} // namespace qirn
