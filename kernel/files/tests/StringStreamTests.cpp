// Strings in streams: their own stream form, and as values by kind.
#include "core/VString.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"
#include "files/tests/StreamBytes.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

namespace qirn {
namespace {

using testing::Written;

TEST(StringStream, WritesMinusTheLengthThenTheUnitsInTheStreamsOrder)
{
	VString text("h\u00E9");
	EXPECT_EQ(Written(true, [&](VStream& s) { text.WriteToStream(&s); }),
			  (std::vector<uint8>{0xFF, 0xFF, 0xFF, 0xFE, 0x00, 'h', 0x00, 0xE9}));
	EXPECT_EQ(Written(false, [&](VStream& s) { text.WriteToStream(&s); }),
			  (std::vector<uint8>{0xFE, 0xFF, 0xFF, 0xFF, 'h', 0x00, 0xE9, 0x00}));
	EXPECT_EQ(Written(false, [&](VStream& s) { VString().WriteToStream(&s); }), (std::vector<uint8>{0, 0, 0, 0}));
	EXPECT_EQ(text.GetStreamSpace(), 14u);
	EXPECT_EQ(VString().GetStreamSpace(), 4u);
}

TEST(StringStream, RoundTripsInBothByteOrdersAndKeepsTheDirtyFlag)
{
	for (bool bigEndian : {false, true}) {
		VString original;
		for (int i = 0; i < 70000; ++i) // more than one piece of reading
			original.AppendUniChar(static_cast<UniChar>(u'A' + i % 50));
		std::vector<uint8> bytes = Written(bigEndian, [&](VStream& s) { original.WriteToStream(&s); });

		VConstPtrStream stream(bytes.data(), bytes.size());
		if (bigEndian)
			stream.SetBigEndian();
		ASSERT_EQ(stream.OpenReading(), VE_OK);
		VString read("previous text");
		read.SetDirty(false);
		EXPECT_EQ(read.ReadFromStream(&stream), VE_OK);
		EXPECT_TRUE(read.EqualToStringRaw(original));
		EXPECT_FALSE(read.IsDirty()) << "stream readers leave the flags";
	}
}

TEST(StringStream, ValuesOfKindTenGoThroughTheDescriptorTable)
{
	VString text("a value");
	std::vector<uint8> bytes = Written(false, [&](VStream& s) { s.PutValue(text, true); });
	VConstPtrStream stream(bytes.data(), bytes.size());
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	std::unique_ptr<VValue> value(stream.GetValue());
	ASSERT_NE(value, nullptr);
	ASSERT_EQ(value->GetValueInfo(), &VString::sInfo);
	EXPECT_TRUE(static_cast<VString*>(value.get())->EqualToStringRaw(text));
	std::unique_ptr<VValue> made(VValue::NewValueFromValueKind(10));
	ASSERT_NE(made, nullptr);
	EXPECT_EQ(made->GetValueInfo()->GetKind(), 10);
}

struct ForgedCase {
	const char* fName;
	std::vector<uint8> fBytes; // little-endian stream
	VError fError;
	const char16_t* fText; // what the string holds afterwards
};

TEST(StringStream, UntrustedCounts)
{
	const ForgedCase cases[] = {
		// A huge length over a short stream: the units that came are kept,
		// and no block of the forged size is asked for.
		{"huge length, short data", {0x01, 0x00, 0x00, 0x80, 'o', 0, 'k', 0}, VE_STREAM_EOF, u"ok"},
		// INT_MIN cannot be negated into a length.
		{"INT_MIN", {0x00, 0x00, 0x00, 0x80, 'x', 0}, VE_STRING_ALLOC_FAILED, u"before"},
		{"zero clears", {0, 0, 0, 0}, VE_OK, u""},
		// The older form: a positive count, kind 2, the units and a terminator.
		{"older form", {0x02, 0, 0, 0, 0x02, 0, 0, 0, 'h', 0, 'i', 0, 0, 0}, VE_OK, u"hi"},
		// ... of another kind: the count + 1 bytes are skipped, nothing changes.
		{"older form, other kind", {0x02, 0, 0, 0, 0x07, 0, 0, 0, 1, 2, 3}, VE_OK, u"before"},
		{"older form, cut", {0x05, 0, 0, 0, 0x01, 0, 0, 0, 'a', 0}, VE_STREAM_EOF, u"a"},
		{"no count", {0x01, 0x00}, VE_STREAM_EOF, u"before"},
	};
	for (const ForgedCase& c : cases) {
		VConstPtrStream stream(c.fBytes.data(), c.fBytes.size());
		ASSERT_EQ(stream.OpenReading(), VE_OK);
		VString text("before");
		EXPECT_EQ(text.ReadFromStream(&stream), c.fError) << c.fName;
		EXPECT_TRUE(text.EqualToStringRaw(VString(c.fText))) << c.fName;
		if (c.fError != VE_OK) {
			EXPECT_EQ(stream.GetLastError(), c.fError) << c.fName << ": the error sticks to the stream";
		}
	}
}

// The room a read takes follows the units that really came, not the length
// the stream declares: a few bytes never make a large block.
TEST(StringStream, AForgedLengthTakesNoMoreRoomThanTheDataThatCame)
{
	for (sLONG declared : {-INT_MAX, -65536, -70000, INT_MAX - 1}) {
		std::vector<uint8> bytes = Written(false, [&](VStream& s) {
			s.PutLong(declared);
			if (declared > 0)
				s.PutLong(static_cast<sLONG>(1));
			s.PutWord(static_cast<uWORD>('o'));
			s.PutWord(static_cast<uWORD>('k'));
		});
		VConstPtrStream stream(bytes.data(), bytes.size());
		ASSERT_EQ(stream.OpenReading(), VE_OK);
		VString text;
		EXPECT_EQ(text.ReadFromStream(&stream), VE_STREAM_EOF) << declared;
		EXPECT_TRUE(text.EqualToStringRaw(VString("ok"))) << declared;
		EXPECT_LE(text.GetMaxLength(), 1024) << declared;
	}
}

TEST(StringStream, DescriptorComparesAndSizesFlatData)
{
	auto flat = [](const char* inText) {
		VString text(inText);
		std::vector<uint8> data(text.GetSpace(0) + 1); // one byte more: unaligned views below
		text.WriteToPtr(data.data() + 1, false, 0);
		return data;
	};
	std::vector<uint8> abc = flat("abc"), abd = flat("abd"), ab = flat("ab"), empty = flat("");
	const VValueInfo& info = VString::sInfo;
	EXPECT_EQ(info.CompareTwoPtrToData(abc.data() + 1, abd.data() + 1, true), CR_SMALLER);
	EXPECT_EQ(info.CompareTwoPtrToData(abd.data() + 1, abc.data() + 1, true), CR_BIGGER);
	EXPECT_EQ(info.CompareTwoPtrToData(ab.data() + 1, abc.data() + 1, true), CR_SMALLER);
	EXPECT_EQ(info.CompareTwoPtrToData(abc.data() + 1, abc.data() + 1, true), CR_EQUAL);
	EXPECT_EQ(info.CompareTwoPtrToDataBegining(abc.data() + 1, ab.data() + 1, true), CR_EQUAL);
	EXPECT_EQ(info.CompareTwoPtrToDataBegining(ab.data() + 1, abc.data() + 1, true), CR_SMALLER);
	EXPECT_EQ(info.CompareTwoPtrToDataBegining(abc.data() + 1, empty.data() + 1, true), CR_EQUAL);
	EXPECT_EQ(info.GetSizeOfValueDataPtr(abc.data() + 1), 10u);
	EXPECT_EQ(info.GetAvgSpace(), 64u);
	std::unique_ptr<VValue> loaded(info.LoadFromPtr(abd.data() + 1, false));
	EXPECT_TRUE(static_cast<VString*>(loaded.get())->EqualToStringRaw(VString("abd")));
}

} // namespace
} // namespace qirn

#include "core/VMemStats.h"

namespace qirn {
namespace {

TEST(MemStatsStream, TheReportGoesOutAsTextInTheStreamsCharacterSet)
{
	VMemStats stats;
	stats.fUsedMem = 42;
	stats.AddTaggedBlock('memb', 8);
	VPtrStream stream;
	ASSERT_EQ(stream.SetCharSet(VTC_UTF_8), VE_OK);
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	ASSERT_EQ(stats.DumpToStream(&stream), VE_OK);
	ASSERT_EQ(stream.CloseWriting(), VE_OK);
	VStreamUnderlyingData data = stream.GetUnderlyingData();
	EXPECT_EQ(std::string(static_cast<const char*>(data.fData), data.fSize), stats.GetReport());
}

} // namespace
} // namespace qirn
