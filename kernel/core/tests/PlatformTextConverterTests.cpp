#include "core/VRefPtr.h"
#include "core/VString.h"
#include "core/VTextConverters.h"
#include "core/platform/XLinuxTextConverter.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace qirn {
namespace {

struct Sample {
	CharSet fCharSet;
	const char* fBytes;
	const char16_t* fText;
};

// One sample of each legacy set, its bytes as other converters write them.
const Sample kSamples[] = {
	{VTC_UTF_7, "\x41\x2B\x49\x6D\x49\x44\x6B\x51\x2E\x20\x2B\x5A\x65\x56\x6E\x4C\x41\x2D", u"A≢Α. 日本"},
	{VTC_EBCDIC_037, "\xC8\x85\x93\x93\x96\x40\x4A\x5A", u"Hello ¢!"},
	{VTC_PC_437, "\x82\xB0\xA4", u"é░ñ"},
	{VTC_MacRoman, "\x8E\xDB\xAA", u"é€™"},
	{VTC_Windows_1252, "\x80\xE9\x93", u"€é“"},
	{VTC_MacCentralEurope, "\x84\x8B\xCC", u"ĄčŐ"},
	{VTC_MacCentralEurope2, "\x84\x8B\xCC", u"ĄčŐ"},
	{VTC_Windows_1250, "\xA3\x9C\xF5", u"Łśő"},
	{VTC_MacCyrillic, "\x86\xE6\xDC", u"Жж№"},
	{VTC_Windows_1251, "\xC6\xE6\xB9", u"Жж№"},
	{VTC_MacGreek, "\xB0\xEC\xE6\xE1", u"Αλφα"},
	{VTC_Windows_1253, "\xC1\xEB\xF6\xE1", u"Αλφα"},
	{VTC_MacTurkish, "\xDA\xDD\xDF\xDE", u"ĞışŞ"},
	{VTC_Windows_1254, "\xD0\xFD\xFE\xDE", u"ĞışŞ"},
	{VTC_MacArabic, "\xD3\xE4\xC7\xE5", u"سلام"},
	{VTC_Windows_1256, "\xD3\xE1\xC7\xE3", u"سلام"},
	{VTC_MacHebrew, "\xF9\xEC\xE5\xED", u"שלום"},
	{VTC_Windows_1255, "\xF9\xEC\xE5\xED", u"שלום"},
	{VTC_Windows_1257, "\xC2\xFE\xD8", u"ĀžŲ"},
	{VTC_MacChineseSimplified, "\xD6\xD0\xCE\xC4", u"中文"},
	{VTC_GBK, "\xD6\xD0\xCE\xC4", u"中文"},
	{VTC_MacChineseTraditional, "\xA4\xA4\xA4\xE5", u"中文"},
	{VTC_PC_950, "\xA4\xA4\xA4\xE5", u"中文"},
	{VTC_MacJapanese, "\x93\xFA\x96\x7B", u"日本"},
	{VTC_ShiftJIS, "\x93\xFA\x96\x7B\xB6\xC5", u"日本ｶﾅ"},
	{VTC_ISO_2022_JP, "\x61\x1B\x24\x42\x46\x7C\x4B\x5C\x1B\x28\x42\x62", u"a日本b"},
	{VTC_Big5, "\xA4\xA4\xA4\xE5", u"中文"},
	{VTC_EUC_KR, "\xC7\xD1\xB1\xB9", u"한국"},
	{VTC_KOI8_R, "\xF6\xD6", u"Жж"},
	{VTC_ISO_8859_2, "\xA3\xB6", u"Łś"},
	{VTC_ISO_8859_3, "\xE6\xF8", u"ĉĝ"},
	{VTC_ISO_8859_4, "\xC0\xA3", u"ĀŖ"},
	{VTC_ISO_8859_5, "\xB6\xD6", u"Жж"},
	{VTC_ISO_8859_6, "\xD3\xE4\xC7\xE5", u"سلام"},
	{VTC_ISO_8859_7, "\xC1\xEB\xF6\xE1", u"Αλφα"},
	{VTC_ISO_8859_8, "\xF9\xEC\xE5\xED", u"שלום"},
	{VTC_ISO_8859_9, "\xD0\xFD\xFE\xDE", u"ĞışŞ"},
	{VTC_ISO_8859_10, "\xC0\xAF", u"ĀŊ"},
	{VTC_ISO_8859_13, "\xC2\xFE\xD8", u"ĀžŲ"},
	{VTC_ISO_8859_15, "\xA4\xA6", u"€Š"},
	{VTC_GB2312, "\xD6\xD0\xCE\xC4", u"中文"},
	{VTC_GB2312_80, "\x56\x50\x4E\x44", u"中文"},
	{VTC_Windows_31J, "\x93\xFA\x96\x7B\x87\x40", u"日本①"},
};

VRefPtr<VToUnicodeConverter> Decoder(CharSet inCharSet)
{
	return VRefPtr<VToUnicodeConverter>::Adopt(VTextConverters::Get()->RetainToUnicodeConverter(inCharSet));
}

VRefPtr<VFromUnicodeConverter> Encoder(CharSet inCharSet)
{
	return VRefPtr<VFromUnicodeConverter>::Adopt(VTextConverters::Get()->RetainFromUnicodeConverter(inCharSet));
}

std::u16string Decoded(CharSet inCharSet, const std::string& inBytes)
{
	VString text;
	EXPECT_TRUE(text.FromBlock(inBytes.data(), inBytes.size(), inCharSet));
	return std::u16string(reinterpret_cast<const char16_t*>(text.GetCPointer()), static_cast<size_t>(text.GetLength()));
}

std::string Encoded(CharSet inCharSet, const std::u16string& inText)
{
	VString text(reinterpret_cast<const UniChar*>(inText.data()), static_cast<VIndex>(inText.size()));
	VMemoryBuffer<> buffer;
	EXPECT_TRUE(text.ToBuffer(buffer, inCharSet));
	return std::string(static_cast<const char*>(buffer.GetDataPtr()), buffer.GetDataSize());
}

struct DecodeResult {
	bool fOK;
	VSize fConsumed;
	std::u16string fText;
};

// One call with room to spare.
DecodeResult DecodeOnce(CharSet inCharSet, const std::string& inBytes)
{
	UniChar units[32] = {};
	VSize consumed = 99;
	VIndex produced = 99;
	bool ok = Decoder(inCharSet)->Convert(inBytes.data(), inBytes.size(), &consumed, units, 32, &produced);
	return {ok, consumed, std::u16string(reinterpret_cast<const char16_t*>(units), static_cast<size_t>(produced))};
}

TEST(PlatformTextConverter, EveryLegacySetReadsAndWritesItsOwnBytes)
{
	for (const Sample& sample : kSamples) {
		SCOPED_TRACE(sample.fCharSet);
		EXPECT_EQ(Decoded(sample.fCharSet, sample.fBytes), sample.fText);
		EXPECT_EQ(Encoded(sample.fCharSet, sample.fText), sample.fBytes);
	}
}

TEST(PlatformTextConverter, EveryNamedSetHasAWorkingConverter)
{
	std::vector<VString> names;
	std::vector<CharSet> charSets;
	VTextConverters::Get()->EnumCharsets(names, charSets);
	ASSERT_FALSE(charSets.empty());
	for (size_t i = 0; i < charSets.size(); ++i) {
		SCOPED_TRACE(to_string(names[i]));
		EXPECT_TRUE(Decoder(charSets[i])->IsValid());
		EXPECT_TRUE(Encoder(charSets[i])->IsValid());
		// GB 2312-80 has two-byte characters only.
		const std::u16string text = charSets[i] == VTC_GB2312_80 ? u"中文，。" : u"Plain 7-bit text.";
		EXPECT_EQ(Decoded(charSets[i], Encoded(charSets[i], text)), text);
	}
}

TEST(PlatformTextConverter, OnlyTheLegacySetsAreConvertedByICU)
{
	EXPECT_EQ(XLinuxToUnicodeConverter::NewToUnicodeConverter(VTC_None), nullptr);
	EXPECT_EQ(XLinuxToUnicodeConverter::NewToUnicodeConverter(static_cast<CharSet>(12)), nullptr);
	EXPECT_EQ(XLinuxFromUnicodeConverter::NewFromUnicodeConverter(VTC_Unknown), nullptr);
	// The system's default set stays UTF-8, whatever ICU would make of it.
	EXPECT_EQ(XLinuxToUnicodeConverter::NewToUnicodeConverter(VTC_DefaultTextExport), nullptr);
	EXPECT_EQ(Decoded(VTC_DefaultTextExport, "caf\xC3\xA9"), u"café");
}

TEST(PlatformTextConverter, EveryByteOfASingleByteSetThatReadsWritesBackTheSame)
{
	for (CharSet charSet : {VTC_EBCDIC_037, VTC_PC_437, VTC_MacRoman, VTC_Windows_1252, VTC_MacCentralEurope,
							VTC_Windows_1250, VTC_MacCyrillic, VTC_Windows_1251, VTC_MacGreek, VTC_Windows_1253,
							VTC_MacTurkish, VTC_Windows_1254, VTC_Windows_1256, VTC_Windows_1255, VTC_Windows_1257,
							VTC_KOI8_R, VTC_ISO_8859_2, VTC_ISO_8859_5, VTC_ISO_8859_7, VTC_ISO_8859_15}) {
		SCOPED_TRACE(charSet);
		for (int byte = 0; byte < 256; ++byte) {
			std::string one(1, static_cast<char>(byte));
			std::u16string text = Decoded(charSet, one);
			ASSERT_EQ(text.size(), 1u) << byte;
			if (text[0] != u'\uFFFD') {
				EXPECT_EQ(Encoded(charSet, text), one) << byte;
			}
		}
	}
}

TEST(PlatformTextConverter, ACharacterCutByTheEndOfTheBlockIsLeftUnread)
{
	struct Case {
		CharSet fCharSet;
		std::string fBytes;
		VSize fConsumed;
		std::u16string fText;
	};
	const Case cases[] = {
		{VTC_ShiftJIS, "\x93\xFA\x96", 2, u"日"},
		{VTC_Windows_31J, "a\x87", 1, u"a"},
		{VTC_EUC_KR, "\xC7\xD1\xB1", 2, u"한"},
		{VTC_Big5, "\xA4\xA4\xA4", 2, u"中"},
		{VTC_GBK, "x\xD6", 1, u"x"},
		{VTC_ISO_2022_JP, "a\x1B\x24", 1, u"a"},
		{VTC_ISO_2022_JP, "\x1B\x24\x42\x46\x7C\x4B", 5, u"日"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fCharSet);
		DecodeResult result = DecodeOnce(c.fCharSet, c.fBytes);
		EXPECT_TRUE(result.fOK);
		EXPECT_EQ(result.fConsumed, c.fConsumed);
		EXPECT_EQ(result.fText, c.fText);
	}
}

// A whole text in a stateful set is read in one run: what a cut character
// leaves is never read again from the initial state.
TEST(PlatformTextConverter, AWholeStatefulTextIsReadInOneRun)
{
	struct Case {
		CharSet fCharSet;
		std::string fBytes;
		std::u16string fText;
	};
	const Case cases[] = {
		{VTC_ISO_2022_JP, "\x1B\x24\x42\x46\x7C\x4B", u"日"},	// not "日K"
		{VTC_UTF_7, "+A5E", u"Α"},	// a run ended by the text's end
		{VTC_UTF_7, "+A5E-x", u"Αx"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fBytes);
		EXPECT_EQ(Decoded(c.fCharSet, c.fBytes), c.fText);
	}
}

TEST(PlatformTextConverter, BytesThatCannotBeReadBecomeReplacementsAndTheRestIsKept)
{
	struct Case {
		CharSet fCharSet;
		std::string fBytes;
		std::u16string fText;
	};
	const Case cases[] = {
		{VTC_ShiftJIS, "a\x81\x20z", u"a\uFFFD z"},
		{VTC_ISO_8859_3, "a\xA5z", u"a\uFFFDz"},	// a hole in the set
		{VTC_EUC_KR, "a\xC7\x41z", u"a\uFFFDAz"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fCharSet);
		DecodeResult result = DecodeOnce(c.fCharSet, c.fBytes);
		EXPECT_FALSE(result.fOK);
		EXPECT_EQ(result.fConsumed, c.fBytes.size());
		EXPECT_EQ(result.fText, c.fText);
	}
}

TEST(PlatformTextConverter, CharactersOutsideTheSetEncodeAsItsQuestionMark)
{
	struct Case {
		CharSet fCharSet;
		std::u16string fText;
		std::string fBytes;
	};
	const Case cases[] = {
		{VTC_ISO_8859_2, u"A\u4E00B", "A?B"},
		{VTC_Windows_1252, u"x\U0001F600y", "x?y"},	// a pair is one character
		{VTC_EBCDIC_037, u"A\u4E00B", "\xC1\x6F\xC2"},
		{VTC_ShiftJIS, u"日\u0E01", "\x93\xFA?"},
		{VTC_ISO_2022_JP, u"日é", "\x1B\x24\x42\x46\x7C\x1B\x28\x42?"},
		{VTC_KOI8_R, std::u16string{char16_t(0xDC00), u'a'}, "?a"},
		{VTC_GB2312_80, u"中a", "\x56\x50\x23\x3F"},	// its fullwidth question mark	// a lone low surrogate
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fCharSet);
		const UniChar* units = reinterpret_cast<const UniChar*>(c.fText.data());
		char bytes[32] = {};
		VIndex consumed = 0;
		VSize produced = 0;
		EXPECT_TRUE(Encoder(c.fCharSet)->Convert(units, static_cast<VIndex>(c.fText.size()), &consumed, bytes,
												  sizeof(bytes), &produced));
		EXPECT_EQ(consumed, static_cast<VIndex>(c.fText.size()));
		EXPECT_EQ(std::string(bytes, produced), c.fBytes);
	}
	// A high surrogate that ends the run waits for its low half.
	const UniChar cut[] = {u'a', 0xD83D};
	char bytes[8] = {};
	VIndex consumed = 0;
	VSize produced = 0;
	EXPECT_TRUE(Encoder(VTC_MacRoman)->Convert(cut, 2, &consumed, bytes, sizeof(bytes), &produced));
	EXPECT_EQ(consumed, 1);
	EXPECT_EQ(produced, 1u);
}

// Whatever the room, a call converts whole characters only, and what it
// writes is complete text of the set: shifts are closed.
TEST(PlatformTextConverter, ShortRoomCutsBetweenWholeCharacters)
{
	for (const Sample& sample : kSamples) {
		SCOPED_TRACE(sample.fCharSet);
		const std::u16string text = sample.fText;
		const std::string bytes = sample.fBytes;
		VRefPtr<VFromUnicodeConverter> encoder = Encoder(sample.fCharSet);
		VRefPtr<VToUnicodeConverter> decoder = Decoder(sample.fCharSet);
		for (VSize room = 1; room <= bytes.size(); ++room) {
			SCOPED_TRACE(room);
			std::string out(room, '\0');
			VIndex consumed = 0;
			VSize produced = 0;
			ASSERT_TRUE(encoder->Convert(reinterpret_cast<const UniChar*>(text.data()),
										 static_cast<VIndex>(text.size()), &consumed, out.data(), room, &produced));
			ASSERT_LE(produced, room);
			out.resize(produced);
			EXPECT_EQ(Decoded(sample.fCharSet, out), text.substr(0, static_cast<size_t>(consumed)));
		}
		for (VIndex room = 1; room <= static_cast<VIndex>(text.size()); ++room) {
			SCOPED_TRACE(room);
			std::u16string out(static_cast<size_t>(room), u'\0');
			VSize consumed = 0;
			VIndex produced = 0;
			ASSERT_TRUE(decoder->Convert(bytes.data(), bytes.size(), &consumed,
										 reinterpret_cast<UniChar*>(out.data()), room, &produced));
			ASSERT_GT(produced, 0);
			ASSERT_LE(produced, room);
			out.resize(static_cast<size_t>(produced));
			EXPECT_EQ(out, text.substr(0, out.size()));
			EXPECT_EQ(Decoded(sample.fCharSet, bytes.substr(0, consumed)), out);
		}
	}
}

TEST(PlatformTextConverter, EveryCallStartsInTheInitialShiftState)
{
	VRefPtr<VToUnicodeConverter> decoder = Decoder(VTC_ISO_2022_JP);
	UniChar units[8] = {};
	VSize consumed = 0;
	VIndex produced = 0;
	// Left in the two-byte shift...
	ASSERT_TRUE(decoder->Convert("\x1B\x24\x42\x46\x7C", 5, &consumed, units, 8, &produced));
	ASSERT_EQ(produced, 1);
	// ...which the next run does not inherit.
	ASSERT_TRUE(decoder->Convert("F|", 2, &consumed, units, 8, &produced));
	EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t*>(units), static_cast<size_t>(produced)), u"F|");

	VRefPtr<VFromUnicodeConverter> encoder = Encoder(VTC_UTF_7);
	char bytes[16] = {};
	VIndex used = 0;
	VSize written = 0;
	const UniChar alpha = 0x0391;
	ASSERT_TRUE(encoder->Convert(&alpha, 1, &used, bytes, sizeof(bytes), &written));
	EXPECT_EQ(std::string(bytes, written), "+A5E-");
	ASSERT_TRUE(encoder->Convert(&alpha, 1, &used, bytes, sizeof(bytes), &written));
	EXPECT_EQ(std::string(bytes, written), "+A5E-");
}

TEST(PlatformTextConverter, LongStatefulTextRoundTripsThroughGrowingBuffers)
{
	std::u16string text;
	for (int i = 0; i < 3000; ++i)
		text += i % 7 == 0 ? u"日本語 " : u"a本";
	for (CharSet charSet : {VTC_ISO_2022_JP, VTC_UTF_7, VTC_ShiftJIS, VTC_Big5}) {
		SCOPED_TRACE(charSet);
		EXPECT_EQ(Decoded(charSet, Encoded(charSet, text)), text);
	}
}

TEST(PlatformTextConverter, OneConverterServesSeveralThreads)
{
	VRefPtr<VToUnicodeConverter> decoder = Decoder(VTC_ISO_2022_JP);
	VRefPtr<VFromUnicodeConverter> encoder = Encoder(VTC_ISO_2022_JP);
	const std::string bytes = "\x61\x1B\x24\x42\x46\x7C\x4B\x5C\x1B\x28\x42\x62";
	const std::u16string text = u"a日本b";
	std::vector<std::thread> threads;
	std::vector<int> failures(4, 0);
	for (int t = 0; t < 4; ++t) {
		threads.emplace_back([&, t] {
			for (int i = 0; i < 500; ++i) {
				UniChar units[16];
				VSize consumed = 0;
				VIndex produced = 0;
				decoder->Convert(bytes.data(), bytes.size(), &consumed, units, 16, &produced);
				if (std::u16string(reinterpret_cast<const char16_t*>(units), static_cast<size_t>(produced)) != text)
					++failures[t];
				char out[32];
				VIndex used = 0;
				VSize written = 0;
				encoder->Convert(reinterpret_cast<const UniChar*>(text.data()), static_cast<VIndex>(text.size()), &used, out, sizeof(out), &written);
				if (std::string(out, written) != bytes)
					++failures[t];
			}
		});
	}
	for (std::thread& thread : threads)
		thread.join();
	EXPECT_EQ(failures, std::vector<int>(4, 0));
}

} // namespace
} // namespace qirn
