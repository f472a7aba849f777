#include "core/VString.h"
#include "core/VTextConverter_Latin1.h"

#include <gtest/gtest.h>

#include <string>

namespace qirn {
namespace {

TEST(TextConverterLatin1, LatinOneBytesAreTheFirstCodePoints)
{
	const char bytes[] = "caf\xE9 \xA0\xFF";
	VString s;
	ASSERT_TRUE(s.FromBlock(bytes, sizeof(bytes) - 1, VTC_ISO_8859_1));
	EXPECT_TRUE(s.EqualToStringRaw(VString(u"caf\u00E9 \u00A0\u00FF")));

	char out[16] = {};
	EXPECT_EQ(s.ToBlock(out, sizeof(out), VTC_ISO_8859_1, true, false), sizeof(bytes) - 1);
	EXPECT_EQ(std::string(out), std::string(bytes));
}

TEST(TextConverterLatin1, AsciiTextRoundTrips)
{
	VString s;
	ASSERT_TRUE(s.FromBlock("plain text\r\n", 12, VTC_US_ASCII));
	EXPECT_TRUE(s.EqualToStringRaw(VString("plain text\r\n")));
	VMemoryBuffer<> buffer;
	ASSERT_TRUE(s.ToBuffer(buffer, VTC_US_ASCII));
	EXPECT_EQ(std::string(static_cast<const char*>(buffer.GetDataPtr()), buffer.GetDataSize()), "plain text\r\n");
}

TEST(TextConverterLatin1, BytesBeyondTheSetDecodeAsReplacementsAndKeepWhatFollows)
{
	VToUnicodeConverter_Latin1 ascii(0x7F);
	UniChar units[8] = {};
	VSize consumed = 0;
	VIndex produced = 0;
	EXPECT_FALSE(ascii.Convert("a\xE9z", 3, &consumed, units, 8, &produced));
	EXPECT_EQ(consumed, 3u);
	ASSERT_EQ(produced, 3);
	EXPECT_EQ(units[1], 0xFFFD);
	EXPECT_EQ(units[2], u'z');

	// A short destination takes what fits, and says the source did not.
	EXPECT_FALSE(ascii.Convert("abc", 3, &consumed, units, 2, &produced));
	EXPECT_EQ(consumed, 2u);
	EXPECT_EQ(produced, 2);
}

TEST(TextConverterLatin1, CharactersBeyondTheSetEncodeAsOneQuestionMarkEach)
{
	VFromUnicodeConverter_Latin1 latin1(0xFF);
	// e-acute, the euro sign, a pair (one character), z: the text is kept,
	// and the conversion succeeds.
	const UniChar units[] = {0x00E9, 0x20AC, 0xD83D, 0xDE00, u'z'};
	char bytes[8] = {};
	VIndex consumed = 0;
	VSize produced = 0;
	EXPECT_TRUE(latin1.Convert(units, 5, &consumed, bytes, sizeof(bytes), &produced));
	EXPECT_EQ(consumed, 5);
	ASSERT_EQ(produced, 4u);
	EXPECT_EQ(std::string(bytes, 4), "\xE9??z");

	EXPECT_TRUE(latin1.Convert(units + 4, 1, &consumed, bytes, sizeof(bytes), &produced));

	// A high surrogate at the end waits for the rest of the character.
	EXPECT_FALSE(latin1.Convert(units + 2, 1, &consumed, bytes, sizeof(bytes), &produced));
	EXPECT_EQ(consumed, 0);
	EXPECT_EQ(produced, 0u);

	// Without a buffer the bytes are counted.
	EXPECT_TRUE(latin1.Convert(units, 5, &consumed, nullptr, 0, &produced));
	EXPECT_EQ(produced, 4u);
}

} // namespace
} // namespace qirn

namespace qirn {
namespace {

TEST(TextConverterLatin1, TextWithACharacterBeyondTheSetIsWrittenWithAQuestionMark)
{
	const UniChar units[] = {u'A', 0x4E00, u'B'};
	VString text(units, 3);
	char bytes[8] = {};
	const VSize written = text.ToBlock(bytes, sizeof(bytes), VTC_ISO_8859_1, false, false);
	ASSERT_EQ(written, 3u);
	EXPECT_EQ(std::string(bytes, 3), "A?B");
}

} // namespace
} // namespace qirn
