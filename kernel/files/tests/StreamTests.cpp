#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"
#include "testing/RaisedErrors.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace qirn {
namespace {

std::vector<uint8> Content(const VStream& inStream)
{
	VStreamUnderlyingData data = inStream.GetUnderlyingData();
	const uint8* bytes = static_cast<const uint8*>(data.fData);
	return std::vector<uint8>(bytes, bytes + data.fSize);
}

TEST(PtrStream, ShortReadKeepsWhatCameAndSticks)
{
	VPtrStream stream;
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	ASSERT_EQ(stream.PutData("abc", 3), VE_OK);
	ASSERT_EQ(stream.CloseWriting(), VE_OK);

	ASSERT_EQ(stream.OpenReading(), VE_OK);
	char buffer[5] = {'x', 'x', 'x', 'x', 'x'};
	VSize read = 99;
	testing::RaisedErrors raised;
	EXPECT_EQ(stream.GetData(buffer, 5, &read), VE_STREAM_EOF);
	EXPECT_EQ(raised.Codes(), std::vector<VError>{VE_STREAM_EOF});
	EXPECT_EQ(read, 3u);
	EXPECT_EQ(std::string(buffer, 5), "abcxx");
	EXPECT_EQ(stream.GetPos(), 3);

	// The error sticks: nothing more is read or moved until the next opening.
	EXPECT_EQ(stream.SetPos(0), VE_STREAM_EOF);
	EXPECT_EQ(stream.GetData(buffer, 1), VE_STREAM_EOF);
	EXPECT_EQ(stream.GetPos(), 3);
	EXPECT_EQ(stream.CloseReading(), VE_STREAM_EOF);

	ASSERT_EQ(stream.OpenReading(), VE_OK);
	EXPECT_EQ(stream.GetData(buffer, 3), VE_OK);
	EXPECT_EQ(std::string(buffer, 3), "abc");
}

TEST(PtrStream, OpeningRules)
{
	VPtrStream stream;
	testing::RaisedErrors raised;
	EXPECT_EQ(stream.CloseReading(), VE_STREAM_CANNOT_READ);
	EXPECT_EQ(stream.CloseWriting(), VE_STREAM_CANNOT_WRITE);
	EXPECT_EQ(stream.SetPos(0), VE_STREAM_NOT_OPENED);
	EXPECT_EQ(raised.Codes(), (std::vector<VError>{VE_STREAM_CANNOT_READ, VE_STREAM_CANNOT_WRITE, VE_STREAM_NOT_OPENED}));

	VPtrStream writeOnly;
	writeOnly.SetWriteOnly(true);
	EXPECT_EQ(writeOnly.OpenReading(), VE_STREAM_CANNOT_READ);
	EXPECT_EQ(writeOnly.OpenWriting(), VE_OK);
	EXPECT_EQ(writeOnly.GetLastError(), VE_OK);

	VPtrStream reader;
	ASSERT_EQ(reader.OpenReading(), VE_OK);
	EXPECT_EQ(reader.PutData("a", 1), VE_STREAM_CANNOT_WRITE);
	EXPECT_EQ(reader.Flush(), VE_STREAM_CANNOT_WRITE);
}

// A stray opening is refused, and the stream at work goes on as if it had
// not come: nothing written before or after it is lost.
TEST(PtrStream, ARefusedOpeningLeavesTheOpenStreamAtWork)
{
	struct Case {
		const char* fName;
		bool fWriter;
		bool fStrayIsReading;
	};
	const Case cases[] = {
		{"reading asked of a writer", true, true},
		{"writing asked of a writer", true, false},
		{"reading asked of a reader", false, true},
		{"writing asked of a reader", false, false},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VPtrStream stream;
		ASSERT_EQ(stream.OpenWriting(), VE_OK);
		ASSERT_EQ(stream.PutData("ab", 2), VE_OK);
		if (!c.fWriter) {
			ASSERT_EQ(stream.CloseWriting(), VE_OK);
			ASSERT_EQ(stream.OpenReading(), VE_OK);
		}
		testing::RaisedErrors raised;
		EXPECT_EQ(c.fStrayIsReading ? stream.OpenReading() : stream.OpenWriting(), VE_STREAM_ALREADY_OPENED);
		EXPECT_EQ(raised.Last(), VE_STREAM_ALREADY_OPENED);
		if (c.fStrayIsReading) {
			EXPECT_EQ(stream.OpenReading('VBAG'), VE_STREAM_ALREADY_OPENED);
		}
		EXPECT_EQ(stream.GetLastError(), VE_OK);
		if (c.fWriter) {
			EXPECT_EQ(stream.PutData("cd", 2), VE_OK);
			EXPECT_EQ(stream.CloseWriting(), VE_OK);
			EXPECT_EQ(Content(stream), (std::vector<uint8>{'a', 'b', 'c', 'd'}));
		} else {
			char bytes[2] = {};
			EXPECT_EQ(stream.GetData(bytes, 2), VE_OK);
			EXPECT_EQ(std::string(bytes, 2), "ab");
			EXPECT_EQ(stream.CloseReading(), VE_OK);
		}
	}
}

TEST(PtrStream, GrowingZeroesTheNewBytes)
{
	VPtrStream stream;
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	ASSERT_EQ(stream.PutData("ab", 2), VE_OK);
	ASSERT_EQ(stream.SetPos(6), VE_OK);
	EXPECT_EQ(stream.GetSize(), 6);
	ASSERT_EQ(stream.PutData("z", 1), VE_OK);
	ASSERT_EQ(stream.SetSize(10), VE_OK);
	EXPECT_EQ(Content(stream), (std::vector<uint8>{'a', 'b', 0, 0, 0, 0, 'z', 0, 0, 0}));

	// Shrinking pulls the position back.
	ASSERT_EQ(stream.SetSize(4), VE_OK);
	EXPECT_EQ(stream.GetPos(), 4);
	ASSERT_EQ(stream.SetSize(0), VE_OK);
	EXPECT_EQ(stream.GetPos(), 0);
	EXPECT_EQ(stream.GetSize(), 0);
}

TEST(PtrStream, ReaderRefusesPositionPastTheEnd)
{
	VPtrStream stream;
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	ASSERT_EQ(stream.PutData("abc", 3), VE_OK);
	ASSERT_EQ(stream.CloseWriting(), VE_OK);
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	EXPECT_EQ(stream.SetPos(3), VE_OK);
	EXPECT_EQ(stream.SetPos(4), VE_STREAM_EOF);
	EXPECT_EQ(stream.GetSize(), 3);
	EXPECT_EQ(stream.GetPos(), 3);
}

TEST(PtrStream, RelativeMoves)
{
	VPtrStream stream;
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	ASSERT_EQ(stream.PutData("abcdef", 6), VE_OK);
	EXPECT_EQ(stream.SetPosByOffset(-2), VE_OK);
	EXPECT_EQ(stream.GetPos(), 4);
	EXPECT_EQ(stream.SetPosByOffset(-5), VE_STREAM_BAD_OFFSET);
	EXPECT_EQ(stream.GetPos(), 4);
}

TEST(PtrStream, UngetData)
{
	VPtrStream stream;
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	ASSERT_EQ(stream.PutData("abcd", 4), VE_OK);
	ASSERT_EQ(stream.CloseWriting(), VE_OK);
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	char buffer[8] = {};
	ASSERT_EQ(stream.GetData(buffer, 2), VE_OK);
	EXPECT_EQ(stream.UngetData(buffer, 0), VE_OK);
	EXPECT_EQ(stream.UngetData(buffer + 1, 1), VE_OK);
	EXPECT_EQ(stream.GetPos(), 1);
	EXPECT_EQ(stream.UngetData(buffer, 2), VE_STREAM_CANNOT_UNGET_DATA);

	// Running into the end does not prevent pushing back.
	VPtrStream tail;
	ASSERT_EQ(tail.OpenWriting(), VE_OK);
	ASSERT_EQ(tail.PutData("xy", 2), VE_OK);
	ASSERT_EQ(tail.CloseWriting(), VE_OK);
	ASSERT_EQ(tail.OpenReading(), VE_OK);
	VSize read = 0;
	ASSERT_EQ(tail.GetData(buffer, 4, &read), VE_STREAM_EOF);
	EXPECT_EQ(tail.UngetData(buffer, 1), VE_OK);
	EXPECT_EQ(tail.GetPos(), 1);
}

TEST(ConstPtrStream, ReadsTheBlockAndRefusesWrites)
{
	const char data[] = {1, 2, 3, 4};
	VConstPtrStream stream(data, sizeof(data));
	testing::RaisedErrors raised;
	EXPECT_EQ(stream.OpenWriting(), VE_STREAM_CANNOT_WRITE);
	EXPECT_EQ(raised.Last(), VE_STREAM_CANNOT_WRITE);
	stream.SetReadOnly(false);
	EXPECT_EQ(stream.OpenWriting(), VE_STREAM_CANNOT_WRITE);
	EXPECT_FALSE(stream.IsWriting());

	ASSERT_EQ(stream.OpenReading(), VE_OK);
	sLONG value = 0;
	ASSERT_EQ(stream.GetLong(value), VE_OK);
	EXPECT_EQ(value, 0x04030201);
	EXPECT_EQ(stream.SetPos(5), VE_STREAM_EOF);
	VStreamUnderlyingData underlying = stream.GetUnderlyingData();
	EXPECT_TRUE(underlying.fValid);
	EXPECT_EQ(underlying.fData, data);
	EXPECT_EQ(underlying.fSize, 4);
}

TEST(Stream, TypedNumbersInBothByteOrders)
{
	for (bool swap : {false, true}) {
		VPtrStream stream;
		stream.SetNeedSwap(swap);
		ASSERT_EQ(stream.OpenWriting(), VE_OK);
		stream.PutByte(static_cast<sBYTE>(-2));
		stream.PutWord(static_cast<sWORD>(0x0102));
		stream.PutLong(static_cast<sLONG>(0x01020304));
		stream.PutLong8(static_cast<sLONG8>(0x0102030405060708LL));
		stream.PutReal(1.5);
		stream.PutBoolean(true);
		ASSERT_EQ(stream.CloseWriting(), VE_OK);

		std::vector<uint8> bytes = Content(stream);
		ASSERT_EQ(bytes.size(), 1u + 2 + 4 + 8 + 8 + 1);
		EXPECT_EQ(bytes[1], swap ? 0x01 : 0x02) << swap;
		EXPECT_EQ(bytes[3], swap ? 0x01 : 0x04) << swap;
		EXPECT_EQ(bytes[7], swap ? 0x01 : 0x08) << swap;

		ASSERT_EQ(stream.OpenReading(), VE_OK);
		sBYTE b = 0;
		sWORD w = 0;
		sLONG l = 0;
		sLONG8 l8 = 0;
		Real r = 0;
		bool flag = false;
		stream.GetByte(b);
		stream.GetWord(w);
		stream.GetLong(l);
		stream.GetLong8(l8);
		stream.GetReal(r);
		stream.GetBoolean(flag);
		ASSERT_EQ(stream.GetLastError(), VE_OK);
		EXPECT_EQ(b, -2);
		EXPECT_EQ(w, 0x0102);
		EXPECT_EQ(l, 0x01020304);
		EXPECT_EQ(l8, 0x0102030405060708LL);
		EXPECT_EQ(r, 1.5);
		EXPECT_TRUE(flag);
	}
}

TEST(Stream, ArraysSwapACopyAndCountWholeItems)
{
	const sLONG values[] = {1, 0x01020304, -1};
	sLONG caller[3];
	std::memcpy(caller, values, sizeof(values));

	VPtrStream stream;
	stream.SetBigEndian();
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	ASSERT_EQ(stream.PutLongs(caller, 3), VE_OK);
	EXPECT_EQ(std::memcmp(caller, values, sizeof(values)), 0);
	// Counts below 1 do nothing.
	ASSERT_EQ(stream.PutLongs(caller, 0), VE_OK);
	ASSERT_EQ(stream.PutLongs(caller, -4), VE_OK);
	const sWORD half = 7;
	ASSERT_EQ(stream.PutWords(&half, 1), VE_OK);
	ASSERT_EQ(stream.CloseWriting(), VE_OK);
	std::vector<uint8> bytes = Content(stream);
	ASSERT_EQ(bytes.size(), 14u);
	EXPECT_EQ(bytes[3], 1);
	EXPECT_EQ(bytes[4], 1);

	ASSERT_EQ(stream.OpenReading(), VE_OK);
	sLONG read[5] = {};
	sLONG count = -3;
	EXPECT_EQ(stream.GetLongs(read, &count), VE_OK);
	EXPECT_EQ(count, 0);
	count = 5;
	EXPECT_EQ(stream.GetLongs(read, &count), VE_STREAM_EOF);
	EXPECT_EQ(count, 3);
	EXPECT_EQ(std::memcmp(read, values, sizeof(values)), 0);

	// Every array kind makes the round trip.
	VPtrStream all;
	all.SetNeedSwap(true);
	const sWORD words[] = {1, -2};
	const sLONG8 longs8[] = {1LL << 40, -3};
	const Real reals[] = {0.25, -1e300};
	ASSERT_EQ(all.OpenWriting(), VE_OK);
	all.PutWords(words, 2);
	all.PutLong8s(longs8, 2);
	all.PutReals(reals, 2);
	ASSERT_EQ(all.CloseWriting(), VE_OK);
	ASSERT_EQ(all.OpenReading(), VE_OK);
	sWORD w[2];
	sLONG8 l8[2];
	Real r[2];
	sLONG n = 2;
	all.GetWords(w, &n);
	n = 2;
	all.GetLong8s(l8, &n);
	n = 2;
	all.GetReals(r, &n);
	ASSERT_EQ(all.GetLastError(), VE_OK);
	EXPECT_EQ(std::memcmp(w, words, sizeof(w)), 0);
	EXPECT_EQ(std::memcmp(l8, longs8, sizeof(l8)), 0);
	EXPECT_EQ(std::memcmp(r, reals, sizeof(r)), 0);
}

TEST(Stream, SignatureSetsTheByteOrder)
{
	const uint32 signature = 'VBAG';
	struct Case {
		bool fWriterSwaps;
		uint32 fWritten;
		VError fExpected;
		bool fReaderSwaps;
	};
	const Case cases[] = {
		{false, signature, VE_OK, false},
		{true, signature, VE_OK, true},
		{false, 'XXXX', VE_STREAM_BAD_SIGNATURE, false},
	};
	for (const Case& c : cases) {
		VPtrStream stream;
		stream.SetNeedSwap(c.fWriterSwaps);
		ASSERT_EQ(stream.OpenWriting(), VE_OK);
		stream.PutLong(c.fWritten);
		stream.PutLong(static_cast<sLONG>(0x01020304));
		ASSERT_EQ(stream.CloseWriting(), VE_OK);

		stream.SetNeedSwap(false);
		EXPECT_EQ(stream.OpenReading(signature), c.fExpected);
		EXPECT_EQ(stream.NeedSwap(), c.fReaderSwaps);
		if (c.fExpected == VE_OK) {
			sLONG value = 0;
			EXPECT_EQ(stream.GetLong(value), VE_OK);
			EXPECT_EQ(value, 0x01020304);
		} else {
			// Left open at the start.
			EXPECT_TRUE(stream.IsReading());
			EXPECT_EQ(stream.GetPos(), 0);
		}
	}
}

TEST(Stream, PutContentIntoAndHexBytes)
{
	std::string big(10000, '\0');
	for (size_t i = 0; i < big.size(); ++i)
		big[i] = static_cast<char>(i * 7);
	VConstPtrStream source(big.data(), big.size());
	ASSERT_EQ(source.OpenReading(), VE_OK);
	char skip[10];
	ASSERT_EQ(source.GetData(skip, 10), VE_OK);

	VPtrStream destination;
	EXPECT_EQ(source.PutContentInto(&destination), VE_STREAM_CANNOT_WRITE);
	ASSERT_EQ(source.CloseReading(), VE_OK);
	ASSERT_EQ(source.OpenReading(), VE_OK);
	ASSERT_EQ(destination.OpenWriting(), VE_OK);
	ASSERT_EQ(source.PutContentInto(&destination), VE_OK);
	std::vector<uint8> copied = Content(destination);
	EXPECT_EQ(std::string(copied.begin(), copied.end()), big);

	VPtrStream hex;
	ASSERT_EQ(hex.OpenWriting(), VE_OK);
	const char bytes[] = {0x00, 0x7F, static_cast<char>(0xAB), static_cast<char>(0xFF)};
	ASSERT_EQ(hex.PutHexBytes(bytes, 4), VE_OK);
	std::vector<uint8> text = Content(hex);
	EXPECT_EQ(std::string(text.begin(), text.end()), "007FABFF");
}

TEST(Stream, OpeningClearsAnOldError)
{
	VPtrStream stream;
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	char byte;
	EXPECT_EQ(stream.GetData(&byte, 1), VE_STREAM_EOF);
	EXPECT_EQ(stream.CloseReading(), VE_STREAM_EOF);
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	EXPECT_EQ(stream.GetLastError(), VE_OK);
	EXPECT_EQ(stream.PutData("q", 1), VE_OK);
}

} // namespace
} // namespace qirn
