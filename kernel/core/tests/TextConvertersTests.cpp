#include "core/StStringConverter.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "core/VTextConverter_UTF8.h"
#include "core/VTextConverters.h"
#include "testing/RaisedErrors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace qirn {
namespace {

VTextConverters* Converters()
{
	return VTextConverters::Get();
}

TEST(TextConverters, Names)
{
	VTextConverters* c = Converters();
	EXPECT_EQ(c->GetCharSetFromName(VString("latin1")), VTC_ISO_8859_1);
	EXPECT_EQ(c->GetCharSetFromName(VString("LATIN1")), VTC_ISO_8859_1);
	EXPECT_EQ(c->GetCharSetFromName(VString("x-mac-ce")), VTC_MacCentralEurope);
	EXPECT_EQ(c->GetCharSetFromName(VString("x-mac-chinesesimp")), VTC_GB2312);
	EXPECT_EQ(c->GetCharSetFromName(VString("no-such-set")), VTC_None);
	EXPECT_EQ(c->GetMIBEnumFromName(VString("UTF-8")), 106);
	EXPECT_EQ(c->GetMIBEnumFromCharSet(VTC_UTF_8), 106);
	EXPECT_EQ(c->GetCharSetFromMIBEnum(1013), VTC_UTF_16_BIGENDIAN);
	VString name;
	c->GetNameFromCharSet(VTC_MacCentralEurope2, name);
	EXPECT_EQ(to_string(name), "x-mac-ce");
	c->GetNameFromMIBEnum(4, name);
	EXPECT_EQ(to_string(name), "ISO-8859-1");
	c->GetNameFromCharSet(static_cast<CharSet>(5000), name);
	EXPECT_TRUE(name.IsEmpty());

	std::vector<VString> names;
	std::vector<CharSet> sets;
	c->EnumWebCharsets(names, sets);
	ASSERT_EQ(names.size(), sets.size());
	ASSERT_FALSE(names.empty());
	EXPECT_EQ(to_string(names[0]), "UTF-8");
	EXPECT_EQ(sets[0], VTC_UTF_8);
	c->EnumCharsets(names, sets);
	ASSERT_EQ(names.size(), sets.size());
	for (size_t i = 1; i < names.size(); ++i)
		EXPECT_NE(names[i - 1].CompareToStringRawCase(names[i]), CR_BIGGER);
	for (size_t i = 0; i < names.size(); ++i)
		EXPECT_EQ(c->GetCharSetFromName(names[i]) != VTC_None || sets[i] == VTC_MacCentralEurope2 ||
					  sets[i] == VTC_MacChineseSimplified,
				  true);
}

TEST(TextConverters, ByteOrderMarks)
{
	struct Case {
		std::vector<uint8> fBytes;
		bool fFound;
		CharSet fCharSet;
		VSize fSize;
	};
	for (const Case& c : {Case{{0xFF, 0xFE, 0, 0, 0x41, 0}, true, VTC_UTF_32_SMALLENDIAN, 4},
						  Case{{0xFF, 0xFE, 0x41, 0}, true, VTC_UTF_16_SMALLENDIAN, 2},
						  Case{{0xEF, 0xBB}, false, VTC_None, 0}, Case{{0xEF, 0xBB, 0xBF}, true, VTC_UTF_8, 3},
						  Case{{0, 0, 0xFE, 0xFF}, true, VTC_UTF_32_BIGENDIAN, 4},
						  Case{{0xFE, 0xFF}, true, VTC_UTF_16_BIGENDIAN, 2}}) {
		VSize size = 99;
		CharSet charSet = VTC_Unknown;
		EXPECT_EQ(VTextConverters::ParseBOM(c.fBytes.data(), c.fBytes.size(), &size, &charSet), c.fFound);
		EXPECT_EQ(charSet, c.fCharSet);
		EXPECT_EQ(size, c.fSize);
		if (c.fFound) {
			VSize bomSize = 0;
			const void* bom = VTextConverters::GetBOMForCharSet(c.fCharSet, &bomSize);
			ASSERT_EQ(bomSize, c.fSize);
			EXPECT_EQ(std::memcmp(bom, c.fBytes.data(), bomSize), 0);
		}
	}
	VSize size = 7;
	EXPECT_EQ(VTextConverters::GetBOMForCharSet(VTC_UTF_32_RAW, &size), nullptr);
	EXPECT_EQ(size, 0u);
	EXPECT_FALSE(VTextConverters::ParseBOM("ab", 2, nullptr, nullptr));
}

TEST(TextConverters, DetectUTF8)
{
	struct Case {
		std::vector<uint8> fBytes;
		bool fUTF8;
	};
	for (const Case& c : {Case{{0xC0, 0x80}, false}, Case{{0xED, 0xA0, 0x80}, false},
						  Case{{0xF4, 0x90, 0x80, 0x80}, false}, Case{{0xE2, 0x82}, false}, Case{{}, true},
						  Case{{'a', 0xC3, 0xA9}, true}, Case{{0xE2, 0x82, 0xAC}, true},
						  Case{{0xF0, 0x9F, 0x98, 0x80}, true}, Case{{0xF4, 0x8F, 0xBF, 0xBF}, true},
						  Case{{0xE0, 0x9F, 0x80}, false}, Case{{0xF0, 0x8F, 0x80, 0x80}, false},
						  Case{{0xED, 0x9F, 0xBF}, true}, Case{{0x80}, false}, Case{{0xF5, 0x80, 0x80, 0x80}, false},
						  Case{{0xC2, 0x41}, false}})
		EXPECT_EQ(VTextConverters::DetectUTF8(c.fBytes.data(), static_cast<sLONG>(c.fBytes.size())), c.fUTF8);
}

TEST(TextConverters, GuessWithoutBOM)
{
	const char wide[] = {'a', 0, 'b', 0};
	CharSet charSet = VTC_MacRoman;
	EXPECT_TRUE(VTextConverters::GuessCharsetWithNoBom(wide, 4, charSet, false));
	EXPECT_EQ(charSet, VTC_UTF_16_SMALLENDIAN);
	// ASCII in UTF-16 is well-formed UTF-8 too: the NULs decide.
	charSet = VTC_MacRoman;
	EXPECT_TRUE(VTextConverters::GuessCharsetWithNoBom(wide, 4, charSet, true));
	EXPECT_EQ(charSet, VTC_UTF_16_SMALLENDIAN);
	const char big[] = {0, 'a', 0, 'b'};
	for (bool testUTF8 : {false, true}) {
		charSet = VTC_MacRoman;
		EXPECT_TRUE(VTextConverters::GuessCharsetWithNoBom(big, 4, charSet, testUTF8));
		EXPECT_EQ(charSet, VTC_UTF_16_BIGENDIAN);
	}
	// The UTF-8 test looks at 2,048 bytes; a character cut there is judged
	// with its bytes beyond, when there are any.
	std::string cut = std::string(2047, 'a') + "\xE2\x82\xAC";
	charSet = VTC_MacRoman;
	EXPECT_TRUE(VTextConverters::GuessCharsetWithNoBom(cut.data(), static_cast<sLONG>(cut.size()), charSet, true));
	EXPECT_EQ(charSet, VTC_UTF_8);
	charSet = VTC_MacRoman;
	EXPECT_FALSE(VTextConverters::GuessCharsetWithNoBom(cut.data(), 2048, charSet, true));
	cut = std::string(2047, 'a') + "\xE2\x82\x41";
	EXPECT_FALSE(VTextConverters::GuessCharsetWithNoBom(cut.data(), static_cast<sLONG>(cut.size()), charSet, true));
	EXPECT_EQ(charSet, VTC_MacRoman);
	charSet = VTC_UTF_16;
	EXPECT_TRUE(VTextConverters::GuessCharsetWithNoBom("abcd", 4, charSet, false));
	EXPECT_EQ(charSet, VTC_UTF_8);
	charSet = VTC_MacRoman;
	EXPECT_FALSE(VTextConverters::GuessCharsetWithNoBom("abcd", 4, charSet, false));
	EXPECT_FALSE(VTextConverters::GuessCharsetWithNoBom("\xE9t\xE9", 3, charSet, true));
	EXPECT_EQ(charSet, VTC_MacRoman);
	EXPECT_FALSE(VTextConverters::GuessCharsetWithNoBom("", 0, charSet, true));
}

struct DecodeCase {
	std::vector<uint8> fBytes;
	VSize fConsumed;
	std::u16string fUnits;
	bool fOK;
};

TEST(TextConverters, UTF8Decoding)
{
	VRefPtr<VToUnicodeConverter> utf8 =
		VRefPtr<VToUnicodeConverter>::Adopt(Converters()->RetainToUnicodeConverter(VTC_UTF_8));
	for (const DecodeCase& c :
		 {DecodeCase{{0xE9}, 0, u"", true}, DecodeCase{{0xE9, 0x80}, 0, u"", true},
		  // A byte that is no continuation byte ends the sequence before it as
		  // a "?", cut by the end of the block or not, and keeps its meaning.
		  DecodeCase{{0xE9, 0x41, 0x42}, 3, u"?AB", false}, DecodeCase{{0xE9, 0x41}, 2, u"?A", false},
		  DecodeCase{{0xC3, '"', ']'}, 3, u"?\"]", false}, DecodeCase{{0xF0, 0x9F, '<', 'a'}, 4, u"?<a", false},
		  DecodeCase{{0xE5, 0xE5, 0xE5, 0x3E}, 4, u"??" "?>", false},
		  DecodeCase{{0xF4, 0x90, 0x80, 0x80}, 4, u"?", false}, DecodeCase{{0x80, 'a'}, 2, u"\x0080" "a", true},
		  DecodeCase{{0xF0, 0x9F, 0x98, 0x80}, 4, u"\xD83D\xDE00", true},
		  DecodeCase{{'a', 'b', 'c', 'd', 'e', 'f', 'g', 'h', 'i', 0xC3, 0xA9}, 11, u"abcdefghi\x00E9", true}}) {
		UniChar out[16] = {};
		VSize consumed = 99;
		VIndex produced = 99;
		EXPECT_EQ(utf8->Convert(c.fBytes.data(), c.fBytes.size(), &consumed, out, 16, &produced), c.fOK);
		EXPECT_EQ(consumed, c.fConsumed);
		EXPECT_EQ(std::u16string(out, static_cast<size_t>(produced)), c.fUnits);
	}
	// A pair that does not fit stays unconsumed.
	UniChar one[1];
	VSize consumed = 0;
	VIndex produced = 0;
	const uint8 emoji[] = {0xF0, 0x9F, 0x98, 0x80};
	EXPECT_TRUE(utf8->Convert(emoji, 4, &consumed, one, 1, &produced));
	EXPECT_EQ(consumed, 0u);
	EXPECT_EQ(produced, 0);
}

TEST(TextConverters, UTF8Encoding)
{
	VFromUnicodeConverter* utf8 = Converters()->GetStdLibFromUnicodeConverter();
	struct Case {
		std::u16string fUnits;
		VIndex fConsumed;
		std::string fBytes;
	};
	for (const Case& c : {Case{u"\xDC00", 1, "\xED\xB0\x80"}, Case{u"\xDFFF", 1, "\xED\xBF\xBF"},
						  Case{u"\xD83D\xDE00", 2, "\xF0\x9F\x98\x80"}, Case{u"a\xD83D", 1, "a"},
						  Case{u"\xD83D" "A", 2, "\xED\xA0\xBD" "A"}, Case{u"\x00E9\x20AC", 2, "\xC3\xA9\xE2\x82\xAC"},
						  Case{u"plain ascii text", 16, "plain ascii text"}}) {
		char out[32] = {};
		VIndex consumed = 0;
		VSize produced = 0;
		EXPECT_TRUE(utf8->Convert(c.fUnits.data(), static_cast<VIndex>(c.fUnits.size()), &consumed, out, sizeof(out),
								  &produced));
		EXPECT_EQ(consumed, c.fConsumed);
		EXPECT_EQ(std::string(out, produced), c.fBytes);
		VIndex counted = 0;
		VSize needed = 0;
		utf8->Convert(c.fUnits.data(), static_cast<VIndex>(c.fUnits.size()), &counted, nullptr, 0, &needed);
		EXPECT_EQ(needed, produced);
	}
	// A character that does not fit stops the run.
	char small[2];
	VIndex consumed = 0;
	VSize produced = 0;
	EXPECT_TRUE(utf8->Convert(u"a\x20AC", 2, &consumed, small, sizeof(small), &produced));
	EXPECT_EQ(consumed, 1);
	EXPECT_EQ(produced, 1u);

	VFromUnicodeConverter_UTF8 wide;
	char out[16];
	EXPECT_TRUE(wide.ConvertFrom_wchar(L"\U0001F600x", 2, &consumed, out, sizeof(out), &produced));
	EXPECT_EQ(std::string(out, produced), "\xF0\x9F\x98\x80x");
}

TEST(TextConverters, UnicodeFormsRoundTrip)
{
	const std::u16string text = u"A\x00E9\x20AC\xD83D\xDE00z";
	VString source(text.data(), static_cast<VIndex>(text.size()));
	for (CharSet charSet : {VTC_UTF_8, VTC_UTF_16_BIGENDIAN, VTC_UTF_16_SMALLENDIAN, VTC_UTF_32_BIGENDIAN,
							VTC_UTF_32_SMALLENDIAN, VTC_UTF_32_RAW_BIGENDIAN, VTC_UTF_32_RAW_SMALLENDIAN}) {
		VMemoryBuffer<> bytes;
		ASSERT_TRUE(source.ToBuffer(bytes, charSet)) << charSet;
		VString back;
		EXPECT_TRUE(back.FromBlock(bytes.GetDataPtr(), bytes.GetDataSize(), charSet));
		EXPECT_TRUE(back.EqualToStringRaw(source)) << charSet;
	}
	VMemoryBuffer<> utf32;
	source.ToBuffer(utf32, VTC_UTF_32_BIGENDIAN);
	EXPECT_EQ(utf32.GetDataSize(), 20u);
	EXPECT_EQ(static_cast<const uint8*>(utf32.GetDataPtr())[15], 0x00);
	EXPECT_EQ(static_cast<const uint8*>(utf32.GetDataPtr())[13], 0x01);
}

// The bytes of a character cut by the end of a block are never reported as
// read, in any form: a stream keeps them for the next block or reports the
// cut text.
TEST(TextConverters, CutCharacterIsNotConsumed)
{
	struct Case {
		CharSet fCharSet;
		std::string fBytes;
		VSize fWhole;
	};
	const Case cases[] = {
		{VTC_UTF_8, std::string("ab\xC3", 3), 2},
		{VTC_UTF_16_SMALLENDIAN, std::string("a\0b", 3), 2},
		{VTC_UTF_16_BIGENDIAN, std::string("\0ab", 3), 2},
		{VTC_UTF_32_SMALLENDIAN, std::string("a\0\0\0b", 5), 4},
		{VTC_UTF_32_RAW_BIGENDIAN, std::string("\0\0\0a\0", 5), 4},
	};
	for (const Case& c : cases) {
		VRefPtr<VToUnicodeConverter> to =
			VRefPtr<VToUnicodeConverter>::Adopt(Converters()->RetainToUnicodeConverter(c.fCharSet));
		VString text;
		VSize consumed = 99;
		to->ConvertString(c.fBytes.data(), c.fBytes.size(), &consumed, text);
		EXPECT_EQ(consumed, c.fWhole) << c.fCharSet;
		EXPECT_TRUE(text.EqualToUSASCIICString("a") || text.EqualToUSASCIICString("ab")) << c.fCharSet;
	}
}

TEST(TextConverters, UTF32Faults)
{
	VRefPtr<VToUnicodeConverter> to = VRefPtr<VToUnicodeConverter>::Adopt(
		Converters()->RetainToUnicodeConverter(VTC_UTF_32));
	const uint32 cells[] = {0x41, 0x110000, 0x42, 0xD800, 0x43};
	UniChar out[8];
	VSize consumed = 0;
	VIndex produced = 0;
	EXPECT_FALSE(to->Convert(cells, sizeof(cells), &consumed, out, 8, &produced));
	EXPECT_EQ(consumed, 12u);
	EXPECT_EQ(std::u16string(out, static_cast<size_t>(produced)), u"AB");
	VRefPtr<VFromUnicodeConverter> from = VRefPtr<VFromUnicodeConverter>::Adopt(
		Converters()->RetainFromUnicodeConverter(VTC_UTF_32));
	uint32 written[4];
	VIndex unitsConsumed = 0;
	VSize bytes = 0;
	EXPECT_FALSE(from->Convert(u"a\xDC00", 2, &unitsConsumed, written, sizeof(written), &bytes));
	EXPECT_EQ(unitsConsumed, 1);
	EXPECT_EQ(bytes, 4u);
}

TEST(TextConverters, CharSetsWithoutConvertersNeverConvertSuccessfully)
{
	for (CharSet charSet : {VTC_None, VTC_Unknown, static_cast<CharSet>(12), static_cast<CharSet>(99),
							static_cast<CharSet>(121), static_cast<CharSet>(1020)}) {
		SCOPED_TRACE(charSet);
		VRefPtr<VToUnicodeConverter> to =
			VRefPtr<VToUnicodeConverter>::Adopt(Converters()->RetainToUnicodeConverter(charSet));
		VRefPtr<VFromUnicodeConverter> from =
			VRefPtr<VFromUnicodeConverter>::Adopt(Converters()->RetainFromUnicodeConverter(charSet));
		ASSERT_TRUE(to);
		ASSERT_TRUE(from);
		EXPECT_FALSE(to->IsValid());
		EXPECT_FALSE(from->IsValid());
		VString s("kept");
		EXPECT_FALSE(to->ConvertString("abc", 3, nullptr, s));
		testing::RaisedErrors raised;
		EXPECT_FALSE(s.FromBlock("abc", 3, charSet));
		EXPECT_EQ(raised.Codes(), std::vector<VError>{VE_TEXT_CONVERSION_FAILED});
		EXPECT_FALSE(s.AppendBlock("abc", 3, charSet));
		EXPECT_FALSE(s.FromBlock("", 0, charSet));
		EXPECT_FALSE(s.FromBlock(s.GetCPointer(), 2, charSet));	// its own buffer
		EXPECT_TRUE(s.EqualToStringRaw(VString("kept")));
		char bytes[8] = {'x', 'x', 'x', 'x', 'x', 'x', 'x', 'x'};
		EXPECT_EQ(s.ToBlock(bytes, sizeof(bytes), charSet, true, false), 0u);
		EXPECT_EQ(bytes[0], 'x');
		VMemoryBuffer<> buffer;
		EXPECT_FALSE(s.ToBuffer(buffer, charSet));
		VString decoded;
		EXPECT_FALSE(Converters()->ConvertToVString("abc", 3, charSet, decoded));
	}
	// The shared converters are the same objects on every request.
	VToUnicodeConverter* first = Converters()->RetainToUnicodeConverter(VTC_UTF_8);
	VToUnicodeConverter* second = Converters()->RetainToUnicodeConverter(VTC_UTF_8);
	EXPECT_EQ(first, second);
	first->Release();
	second->Release();
}

TEST(TextConverters, SystemDefaultIsUTF8)
{
	VString s;
	s.FromBlock("caf\xC3\xA9", 5, VTC_DefaultTextExport);
	EXPECT_EQ(s.GetLength(), 4);
	EXPECT_EQ(s.GetUniChar(4), u'\u00E9');
	char bytes[16];
	VSize written = s.ToBlock(bytes, sizeof(bytes), VTC_DefaultTextExport, false, false);
	EXPECT_EQ(std::string(bytes, written), "caf\xC3\xA9");
}

TEST(TextConverters, LineEndsOfByteText)
{
	char text[8] = {'a', '\n', 'b'};
	VIndex needed = 0;
	EXPECT_EQ(VTextConverters::_ConvertCarriageReturns<char>(text, 3, 3, eCRM_CRLF, &needed), 3);
	EXPECT_EQ(needed, 4);
	EXPECT_EQ(std::string(text, 3), "a\nb");
	EXPECT_EQ(VTextConverters::_ConvertCarriageReturns<char>(text, 3, 4, eCRM_CRLF, &needed), 4);
	EXPECT_EQ(std::string(text, 4), "a\r\nb");
	uint32 wide[] = {'x', '\r', '\n', 'y', '\r'};
	EXPECT_EQ(VTextConverters::_ConvertCarriageReturns<uint32>(wide, 5, 5, eCRM_LF, &needed), 4);
	EXPECT_EQ(wide[1], uint32('\n'));
	EXPECT_EQ(wide[3], uint32('\n'));
}

TEST(TextConverters, ScopedConverter)
{
	StStringConverter<char> short8(VString("d\xC3\xA9j\xC3\xA0"), VTC_UTF_8);
	EXPECT_TRUE(short8.IsOK());
	EXPECT_STREQ(short8.GetCPointer(), "d\xC3\xA9j\xC3\xA0");
	EXPECT_EQ(short8.GetSize(), 6u);

	std::string longText;
	for (int i = 0; i < 300; ++i)
		longText += "\xC3\xA9";
	StStringConverter<char> long8(VString(longText.c_str()), VTC_UTF_8);
	EXPECT_TRUE(long8.IsOK());
	EXPECT_EQ(std::string(long8.GetCPointer()), longText);

	StStringConverter<char> lineEnds(VString("a\nb"), VTC_UTF_8, eCRM_CRLF);
	EXPECT_STREQ(lineEnds.GetCPointer(), "a\r\nb");

	StStringConverter<char> reused(VTC_UTF_8);
	EXPECT_STREQ(reused.ConvertString(VString(longText.c_str())), longText.c_str());
	EXPECT_STREQ(reused.ConvertString(VString("short")), "short");
}

TEST(TextConverters, LongTextDecodesWhole)
{
	std::string text;
	for (int i = 0; i < 100000; ++i)
		text += (i % 7 == 0) ? "\xE2\x82\xAC" : "x";
	VString s(text.c_str());
	EXPECT_EQ(to_string(s), text);
	VString appended("start:");
	appended.AppendCString(text.c_str());
	EXPECT_EQ(to_string(appended), "start:" + text);
}

} // namespace
} // namespace qirn
