#include "core/VString.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"

#include <gtest/gtest.h>

#include <string>

namespace qirn {
namespace {

std::string Content(const VStream& inStream)
{
	VStreamUnderlyingData data = inStream.GetUnderlyingData();
	return std::string(static_cast<const char*>(data.fData), static_cast<size_t>(data.fSize));
}

VString Text(const std::u16string& inText)
{
	return VString(reinterpret_cast<const UniChar*>(inText.data()), static_cast<VIndex>(inText.size()));
}

std::u16string Units(const VString& inText)
{
	return std::u16string(reinterpret_cast<const char16_t*>(inText.GetCPointer()),
						  static_cast<size_t>(inText.GetLength()));
}

struct Sample {
	CharSet fCharSet;
	const char16_t* fText;
	std::string fBytes;
};

// Two lines each, in sets of one byte, of several bytes, and with shifts.
const Sample kSamples[] = {
	{VTC_ISO_8859_2, u"Łódź\nśnieg", "\xA3\xF3\x64\xBC\n\xB6nieg"},
	{VTC_Windows_1251, u"Жук\nёж", "\xC6\xF3\xEA\n\xB8\xE6"},
	{VTC_ShiftJIS, u"日本\nｶﾅ", "\x93\xFA\x96\x7B\n\xB6\xC5"},
	{VTC_EUC_KR, u"한\n국", "\xC7\xD1\n\xB1\xB9"},
	{VTC_ISO_2022_JP, u"a日\n本b", "a\x1B\x24\x42\x46\x7C\x1B\x28\x42\n\x1B\x24\x42\x4B\x5C\x1B\x28\x42" "b"},
	{VTC_UTF_7, u"Α\nβ", "+A5E\n+A7I-"},
	// A set that does not write ASCII as ASCII: the line ends are its own.
	{VTC_EBCDIC_037, u"AB\ncd", "\xC1\xC2\x25\x83\x84"},
};

TEST(StreamLegacyCharSet, TextIsWrittenInTheStreamsSet)
{
	for (const Sample& sample : kSamples) {
		SCOPED_TRACE(sample.fCharSet);
		VPtrStream stream;
		ASSERT_EQ(stream.SetCharSet(sample.fCharSet), VE_OK);
		ASSERT_EQ(stream.OpenWriting(), VE_OK);
		// Written in two pieces: each closes its own shift.
		std::u16string text = sample.fText;
		size_t newline = text.find(u'\n');
		ASSERT_EQ(stream.PutText(Text(text.substr(0, newline + 1))), VE_OK);
		ASSERT_EQ(stream.PutText(Text(text.substr(newline + 1))), VE_OK);
		ASSERT_EQ(stream.CloseWriting(), VE_OK);
		EXPECT_EQ(Content(stream), sample.fBytes);
	}
}

TEST(StreamLegacyCharSet, TextIsReadWholeByLinesAndByCharacters)
{
	for (const Sample& sample : kSamples) {
		SCOPED_TRACE(sample.fCharSet);
		const std::u16string text = sample.fText;
		{
			VConstPtrStream stream(sample.fBytes.data(), sample.fBytes.size());
			ASSERT_EQ(stream.SetCharSet(sample.fCharSet), VE_OK);
			ASSERT_EQ(stream.OpenReading(), VE_OK);
			VString whole;
			ASSERT_EQ(stream.GetText(whole), VE_OK);
			EXPECT_EQ(Units(whole), text);
		}
		{
			VConstPtrStream stream(sample.fBytes.data(), sample.fBytes.size());
			ASSERT_EQ(stream.SetCharSet(sample.fCharSet), VE_OK);
			ASSERT_EQ(stream.OpenReading(), VE_OK);
			VString first;
			VString second;
			ASSERT_EQ(stream.GetTextLine(first, false), VE_OK);
			ASSERT_EQ(stream.GetTextLine(second, false), VE_OK);
			EXPECT_EQ(Units(first) + u"\n" + Units(second), text);
		}
		{
			VConstPtrStream stream(sample.fBytes.data(), sample.fBytes.size());
			ASSERT_EQ(stream.SetCharSet(sample.fCharSet), VE_OK);
			ASSERT_EQ(stream.OpenReading(), VE_OK);
			VString counted;
			ASSERT_EQ(stream.GetText(counted, 2, true), VE_OK);
			VString rest;
			ASSERT_EQ(stream.GetText(rest), VE_OK);
			EXPECT_EQ(Units(counted), text.substr(0, 2));
			EXPECT_EQ(Units(counted) + Units(rest), text);
		}
	}
}

// The stream reads in blocks: a two-byte character across a block's end is
// kept for the next block, never read as two bad bytes.
TEST(StreamLegacyCharSet, ACharacterAcrossBlocksIsReadWhole)
{
	std::u16string text = u"a";
	for (int i = 0; i < 5000; ++i)
		text += u"日本";
	VPtrStream out;
	ASSERT_EQ(out.SetCharSet(VTC_ShiftJIS), VE_OK);
	ASSERT_EQ(out.OpenWriting(), VE_OK);
	ASSERT_EQ(out.PutText(Text(text)), VE_OK);
	ASSERT_EQ(out.CloseWriting(), VE_OK);
	const std::string bytes = Content(out);
	ASSERT_EQ(bytes.size(), 1 + 4 * 5000u);

	VConstPtrStream in(bytes.data(), bytes.size());
	ASSERT_EQ(in.SetCharSet(VTC_ShiftJIS), VE_OK);
	ASSERT_EQ(in.OpenReading(), VE_OK);
	VString read;
	ASSERT_EQ(in.GetText(read), VE_OK);
	EXPECT_EQ(Units(read), text);
}

// A shift opened in one block still holds in the next: text in a set with
// shift states reads back whole however long its shifted runs are.
TEST(StreamLegacyCharSet, AShiftedRunAcrossBlocksIsReadInItsShift)
{
	for (CharSet set : {VTC_ISO_2022_JP, VTC_UTF_7}) {
		SCOPED_TRACE(set);
		std::u16string text = u"start ";
		for (int i = 0; i < 3000; ++i)
			text += u"日本語";
		text += u" end";
		VPtrStream out;
		ASSERT_EQ(out.SetCharSet(set), VE_OK);
		ASSERT_EQ(out.OpenWriting(), VE_OK);
		ASSERT_EQ(out.PutText(Text(text)), VE_OK);
		ASSERT_EQ(out.CloseWriting(), VE_OK);
		const std::string bytes = Content(out);
		ASSERT_GT(bytes.size(), 3 * 4096u);

		VConstPtrStream in(bytes.data(), bytes.size());
		ASSERT_EQ(in.SetCharSet(set), VE_OK);
		ASSERT_EQ(in.OpenReading(), VE_OK);
		VString read;
		ASSERT_EQ(in.GetText(read), VE_OK);
		EXPECT_EQ(Units(read), text);
	}
}

TEST(StreamLegacyCharSet, CharactersOutsideTheSetAreWrittenAsQuestionMarks)
{
	VPtrStream stream;
	ASSERT_EQ(stream.SetCharSet(VTC_KOI8_R), VE_OK);
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	ASSERT_EQ(stream.PutText(Text(u"Жé€ж")), VE_OK);
	ASSERT_EQ(stream.CloseWriting(), VE_OK);
	EXPECT_EQ(Content(stream), "\xF6??\xD6");
}

} // namespace
} // namespace qirn
