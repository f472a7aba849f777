#include "core/VString.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qirn {
namespace {

std::string Content(const VStream& inStream)
{
	VStreamUnderlyingData data = inStream.GetUnderlyingData();
	return std::string(static_cast<const char*>(data.fData), static_cast<size_t>(data.fSize));
}

// Encodes UTF-8 test text in the given character set.
std::string Encode(const char* inUTF8, CharSet inCharSet)
{
	VString text(inUTF8);
	std::vector<char> buffer(static_cast<size_t>(text.GetLength()) * 4 + 8);
	VSize size = text.ToBlock(buffer.data(), buffer.size(), inCharSet, false, false);
	return std::string(buffer.data(), size);
}

TEST(StreamText, PutTextWithLineEndsAndBOM)
{
	VPtrStream stream;
	stream.SetCharSet(VTC_UTF_16_BIGENDIAN);
	stream.SetCarriageReturnMode(eCRM_CRLF);
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	ASSERT_EQ(stream.WriteBOM(), VE_OK);
	ASSERT_EQ(stream.PutText(VString("a\nb")), VE_OK);
	ASSERT_EQ(stream.CloseWriting(), VE_OK);
	EXPECT_EQ(Content(stream), std::string("\xFE\xFF\0a\0\r\0\n\0b", 10));

	VPtrStream latin;
	latin.SetCharSet(VTC_US_ASCII);
	ASSERT_EQ(latin.OpenWriting(), VE_OK);
	ASSERT_EQ(latin.WriteBOM(), VE_OK);
	EXPECT_EQ(latin.GetSize(), 0);

	VPtrStream printed;
	printed.SetCharSet(VTC_UTF_8);
	ASSERT_EQ(printed.OpenWriting(), VE_OK);
	VString name("n\xC3\xA9");
	ASSERT_EQ(printed.PutPrintf("%d-%S", 4, &name), VE_OK);
	EXPECT_EQ(Content(printed), "4-n\xC3\xA9");

	VPtrStream reader;
	ASSERT_EQ(reader.OpenReading(), VE_OK);
	EXPECT_EQ(reader.PutText(VString("x")), VE_STREAM_CANNOT_WRITE);
}

TEST(StreamText, LinesInEveryUnicodeForm)
{
	const CharSet sets[] = {VTC_UTF_8, VTC_UTF_16_BIGENDIAN, VTC_UTF_16_SMALLENDIAN, VTC_UTF_32_BIGENDIAN,
							VTC_UTF_32_SMALLENDIAN};
	for (CharSet set : sets) {
		for (bool keepEnd : {false, true}) {
			std::string bytes = Encode("a\r\nb\rc\n\xC3\xA9t\xC3\xA9", set);
			VConstPtrStream stream(bytes.data(), bytes.size());
			stream.SetCharSet(set);
			ASSERT_EQ(stream.OpenReading(), VE_OK);
			VString line;
			const char* expected[] = {"a", "b", "c", "\xC3\xA9t\xC3\xA9"};
			for (const char* text : expected) {
				ASSERT_EQ(stream.GetTextLine(line, keepEnd), VE_OK) << set;
				EXPECT_EQ(to_string(line), std::string(text) + (keepEnd ? "\r" : "")) << set;
			}
			EXPECT_EQ(stream.GetTextLine(line, keepEnd), VE_STREAM_EOF) << set;
			EXPECT_TRUE(line.IsEmpty());
		}
	}
}

TEST(StreamText, EndCharactersAreWholeCharacters)
{
	// U+0A0D in UCS-4 holds the byte 0D, and U+00E9 in UTF-8 the byte E9: no
	// byte inside a character may end a line.
	std::string ucs4 = Encode("x\xE0\xA8\x8Dy\nz", VTC_UTF_32_BIGENDIAN);
	VConstPtrStream stream(ucs4.data(), ucs4.size());
	stream.SetCharSet(VTC_UTF_32_BIGENDIAN);
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	VString line;
	ASSERT_EQ(stream.GetTextLine(line, false), VE_OK);
	EXPECT_EQ(to_string(line), "x\xE0\xA8\x8Dy");

	std::string utf8 = "ab\xC3\xA9" "cd\xC3\xA9" "e";
	VConstPtrStream accents(utf8.data(), utf8.size());
	accents.SetCharSet(VTC_UTF_8);
	ASSERT_EQ(accents.OpenReading(), VE_OK);
	UniChar end = 0xE9;
	ASSERT_EQ(accents.GetTextLine(line, true, &end), VE_OK);
	EXPECT_EQ(to_string(line), "ab\xC3\xA9");
	ASSERT_EQ(accents.GetTextLine(line, false, &end), VE_OK);
	EXPECT_EQ(to_string(line), "cd");
	ASSERT_EQ(accents.GetTextLine(line, false, &end), VE_OK);
	EXPECT_EQ(to_string(line), "e");

	// Which byte of UTF-16 holds 0x0A depends on the order: U+0A41 is no LF.
	std::string utf16 = Encode("\xE0\xA9\x81q\nr", VTC_UTF_16_SMALLENDIAN);
	VConstPtrStream wide(utf16.data(), utf16.size());
	wide.SetCharSet(VTC_UTF_16_SMALLENDIAN);
	ASSERT_EQ(wide.OpenReading(), VE_OK);
	ASSERT_EQ(wide.GetTextLine(line, false), VE_OK);
	EXPECT_EQ(to_string(line), "\xE0\xA9\x81q");
}

TEST(StreamText, LongLinesAndPositionAfterTheEnd)
{
	std::string text(1000, 'k');
	text += "\r\n";
	text += "tail";
	VConstPtrStream stream(text.data(), text.size());
	stream.SetCharSet(VTC_UTF_8);
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	VString line;
	ASSERT_EQ(stream.GetTextLine(line, false), VE_OK);
	EXPECT_EQ(line.GetLength(), 1000);
	EXPECT_EQ(stream.GetPos(), 1002);
	VString rest;
	ASSERT_EQ(stream.GetText(rest), VE_OK);
	EXPECT_EQ(to_string(rest), "tail");
}

TEST(StreamText, GetTextWholeAndCounted)
{
	std::string bytes = Encode("h\xC3\xA9llo \xF0\x9F\x98\x80!", VTC_UTF_8);
	VConstPtrStream stream(bytes.data(), bytes.size());
	stream.SetCharSet(VTC_UTF_8);
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	VString part;
	ASSERT_EQ(stream.GetText(part, 3, false), VE_OK);
	EXPECT_EQ(to_string(part), "h\xC3\xA9l");
	EXPECT_EQ(stream.GetPos(), 4);
	VString none;
	EXPECT_EQ(stream.GetText(none, 0, false), VE_OK);
	EXPECT_TRUE(none.IsEmpty());
	VString rest;
	ASSERT_EQ(stream.GetText(rest), VE_OK);
	EXPECT_EQ(to_string(rest), "lo \xF0\x9F\x98\x80!");

	// A text cut inside its last character.
	std::string cut = "ab\xC3";
	VConstPtrStream cutStream(cut.data(), cut.size());
	cutStream.SetCharSet(VTC_UTF_8);
	ASSERT_EQ(cutStream.OpenReading(), VE_OK);
	VString cutText;
	EXPECT_EQ(cutStream.GetText(cutText), VE_STREAM_TEXT_CONVERSION_FAILURE);
	EXPECT_EQ(to_string(cutText), "ab");

	// UTF-16 cut inside its last unit fails the same way.
	for (CharSet charSet : {VTC_UTF_16_SMALLENDIAN, VTC_UTF_16_BIGENDIAN}) {
		const std::string odd("\0a\0", 3);
		VConstPtrStream oddStream(odd.data(), odd.size());
		oddStream.SetCharSet(charSet);
		ASSERT_EQ(oddStream.OpenReading(), VE_OK);
		VString oddText;
		EXPECT_EQ(oddStream.GetText(oddText), VE_STREAM_TEXT_CONVERSION_FAILURE) << charSet;
		EXPECT_EQ(oddText.GetLength(), 1) << charSet;
	}

	VConstPtrStream counted(cut.data(), cut.size());
	counted.SetCharSet(VTC_UTF_8);
	ASSERT_EQ(counted.OpenReading(), VE_OK);
	VString three;
	EXPECT_EQ(counted.GetText(three, 3, true), VE_STREAM_TEXT_CONVERSION_FAILURE);
	EXPECT_EQ(to_string(three), "ab");
	EXPECT_EQ(counted.GetPos(), 2);
}

// A line whose bytes the decoder cannot all take is no whole line: what it
// could read is kept and the error said.
TEST(StreamText, ALineTheDecoderCannotFinishIsAnError)
{
	struct Case {
		const char* fName;
		std::string fBytes;
		CharSet fCharSet;
		const char* fKept;
	};
	const Case cases[] = {
		{"UTF-8 cut by the end", "ok\nab\xE2\x82", VTC_UTF_8, "ab"},
		{"UTF-16 cut by the end", std::string("\0o\0k\0\n\0a\0", 9), VTC_UTF_16_BIGENDIAN, "a"},
		{"a surrogate in UCS-4", std::string("\0\0\0o\0\0\0k\0\0\0\n\0\0\0a\0\0\xD8\0\0\0\0b\0\0\0\n", 28),
		 VTC_UTF_32_BIGENDIAN, "a"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VConstPtrStream stream(c.fBytes.data(), c.fBytes.size());
		stream.SetCharSet(c.fCharSet);
		ASSERT_EQ(stream.OpenReading(), VE_OK);
		VString line;
		ASSERT_EQ(stream.GetTextLine(line, false), VE_OK);
		EXPECT_EQ(to_string(line), "ok");
		EXPECT_EQ(stream.GetTextLine(line, false), VE_STREAM_TEXT_CONVERSION_FAILURE);
		EXPECT_EQ(to_string(line), c.fKept);
	}
}

// A count that ends inside a character of two units: nothing is lost and the
// stream stays usable, whatever the form.
TEST(StreamText, CountEndingInsideASurrogatePair)
{
	// Longer than the reader's pieces, so that a stall would show.
	const char* const whole = "a\xF0\x9F\x98\x80" "bcdefghijklmnopqrstuvwxyz0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
	for (CharSet charSet : {VTC_UTF_8, VTC_UTF_16_SMALLENDIAN, VTC_UTF_16_BIGENDIAN, VTC_UTF_32_SMALLENDIAN,
							VTC_UTF_32_BIGENDIAN}) {
		std::string bytes = Encode(whole, charSet);
		VConstPtrStream stream(bytes.data(), bytes.size());
		stream.SetCharSet(charSet);
		ASSERT_EQ(stream.OpenReading(), VE_OK);
		VString text;
		ASSERT_EQ(stream.GetText(text, 2, true), VE_OK) << charSet;
		EXPECT_GE(text.GetLength(), 2) << charSet;
		ASSERT_EQ(stream.GetText(text), VE_OK) << charSet;
		EXPECT_EQ(to_string(text), whole) << charSet;
	}
}

TEST(StreamText, GuessingTheCharacterSet)
{
	struct Case {
		std::string fBytes;
		CharSet fDefault;
		CharSet fExpected;
		bool fBOM;
		sLONG8 fPosition;
		bool fDetectUTF8 = true;
	};
	const Case cases[] = {
		{"\xEF\xBB\xBFhi", VTC_US_ASCII, VTC_UTF_8, true, 3},
		{std::string("\xFE\xFF\0h", 4), VTC_US_ASCII, VTC_UTF_16_BIGENDIAN, true, 2},
		{std::string("\xFF\xFEh\0", 4), VTC_US_ASCII, VTC_UTF_16_SMALLENDIAN, true, 2},
		{std::string("\0\0\xFE\xFF", 4), VTC_US_ASCII, VTC_UTF_32_BIGENDIAN, true, 4},
		{std::string("\xFF\xFE\0\0", 4), VTC_US_ASCII, VTC_UTF_32_SMALLENDIAN, true, 4},
		{std::string("\0h\0i", 4), VTC_US_ASCII, VTC_UTF_16_BIGENDIAN, false, 0, false},
		{std::string("h\0i\0", 4), VTC_US_ASCII, VTC_UTF_16_SMALLENDIAN, false, 0, false},
		// ASCII in UTF-16 is well-formed UTF-8 too: the NULs decide.
		{std::string("\0h\0i", 4), VTC_US_ASCII, VTC_UTF_16_BIGENDIAN, false, 0},
		{std::string("h\0i\0", 4), VTC_US_ASCII, VTC_UTF_16_SMALLENDIAN, false, 0},
		{Encode("hi there", VTC_UTF_16_BIGENDIAN), VTC_UTF_8, VTC_UTF_16_BIGENDIAN, false, 0},
		{Encode("hi there", VTC_UTF_16_SMALLENDIAN), VTC_UTF_8, VTC_UTF_16_SMALLENDIAN, false, 0},
		// Past the first 2,048 bytes nothing is looked at, but a character cut
		// at that point is judged whole.
		{std::string(2047, 'a') + "\xC3\xA9", VTC_UTF_32_BIGENDIAN, VTC_UTF_8, false, 0},
		{std::string(2046, 'a') + "\xE2\x82\xAC" + std::string(10, 'b'), VTC_UTF_32_BIGENDIAN, VTC_UTF_8, false, 0},
		{std::string(2048, 'a') + "\xE9", VTC_UTF_32_BIGENDIAN, VTC_UTF_8, false, 0},
		{std::string(2047, 'a') + "\xC3\xE9", VTC_UTF_32_BIGENDIAN, VTC_UTF_32_BIGENDIAN, false, 0},
		{"plain", VTC_UTF_16_BIGENDIAN, VTC_UTF_8, false, 0},
		{"ab", VTC_US_ASCII, VTC_UTF_8, false, 0},
		{"\xE9t\xE9", VTC_UTF_32_BIGENDIAN, VTC_UTF_32_BIGENDIAN, false, 0},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(testing::Message() << c.fBytes.substr(0, 16) << " (" << c.fBytes.size() << " bytes), detection "
										<< c.fDetectUTF8);
		VConstPtrStream stream(c.fBytes.data(), c.fBytes.size());
		ASSERT_EQ(stream.OpenReading(), VE_OK);
		bool bom = !c.fBOM;
		EXPECT_EQ(stream.GuessCharSetFromLeadingBytes(c.fDefault, c.fDetectUTF8, &bom), VE_OK);
		EXPECT_EQ(stream.GetCharSet(), c.fExpected);
		EXPECT_EQ(bom, c.fBOM);
		EXPECT_EQ(stream.GetPos(), c.fPosition);
		// What the guess looked at is read again.
		EXPECT_EQ(stream.GetLastError(), VE_OK);
		std::string rest(c.fBytes.size() - static_cast<size_t>(c.fPosition), '\0');
		EXPECT_EQ(stream.GetData(rest.data(), rest.size()), VE_OK);
		EXPECT_TRUE(rest == c.fBytes.substr(static_cast<size_t>(c.fPosition)));
	}
}

// Text in UTF-16 without a mark comes back as its letters, not as NULs
// between them.
TEST(StreamText, UTF16WithoutAMarkReadsAsItsLetters)
{
	for (CharSet charSet : {VTC_UTF_16_BIGENDIAN, VTC_UTF_16_SMALLENDIAN}) {
		SCOPED_TRACE(charSet);
		std::string bytes = Encode("first line\nsecond", charSet);
		VConstPtrStream stream(bytes.data(), bytes.size());
		ASSERT_EQ(stream.OpenReading(), VE_OK);
		ASSERT_EQ(stream.GuessCharSetFromLeadingBytes(VTC_UTF_8, true), VE_OK);
		VString line;
		ASSERT_EQ(stream.GetTextLine(line, false), VE_OK);
		EXPECT_EQ(to_string(line), "first line");
		ASSERT_EQ(stream.GetTextLine(line, false), VE_OK);
		EXPECT_EQ(to_string(line), "second");
	}
}

// An encoder that stops inside the text must not pass for a whole write.
TEST(StreamText, TextTheEncoderCannotTakeIsAnErrorAndWritesNothing)
{
	const UniChar units[] = {'a', 0xD800, 'b', 'c'};
	VPtrStream stream;
	stream.SetCharSet(VTC_UTF_32_BIGENDIAN);
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	ASSERT_EQ(stream.PutText(VString("ok")), VE_OK);
	EXPECT_EQ(stream.PutText(VString(units, 4)), VE_TEXT_CONVERSION_FAILED);
	EXPECT_EQ(stream.GetLastError(), VE_TEXT_CONVERSION_FAILED);
	EXPECT_EQ(stream.CloseWriting(), VE_TEXT_CONVERSION_FAILED);
	EXPECT_EQ(Content(stream), std::string("\0\0\0o\0\0\0k", 8));
}

} // namespace
} // namespace qirn
