// The stream over a blob.
#include "core/VBlob.h"
#include "files/VBlobStream.h"
#include "files/VPtrStream.h"
#include "testing/RaisedErrors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace qirn {
namespace {

using Bytes = std::vector<uint8>;

Bytes Content(const VBlob& inBlob)
{
	Bytes bytes(inBlob.GetSize());
	EXPECT_EQ(inBlob.GetData(bytes.data(), bytes.size(), 0), VE_OK);
	return bytes;
}

TEST(BlobStreamOver, ACallersBlobHoldsWhatIsWrittenInTheStreamsOrder)
{
	for (bool bigEndian : {false, true}) {
		SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
		VBlobWithPtr blob("previous content", 16);
		{
			VBlobStream stream(&blob);
			stream.SetNeedSwap(bigEndian);
			ASSERT_EQ(stream.OpenWriting(), VE_OK);
			EXPECT_EQ(stream.GetSize(), 16);
			stream.PutWord(sWORD(0x0102));
			stream.PutLong(sLONG(0x03040506));
			stream.PutData("xy", 2);
			ASSERT_EQ(stream.CloseWriting(), VE_OK);
		}
		// Writing from the start overwrites; the old tail stays.
		Bytes expected = bigEndian ? Bytes{1, 2, 3, 4, 5, 6, 'x', 'y'} : Bytes{2, 1, 6, 5, 4, 3, 'x', 'y'};
		const std::string tail = std::string("previous content").substr(8);
		expected.insert(expected.end(), tail.begin(), tail.end());
		EXPECT_EQ(Content(blob), expected);

		VBlobStream reader(&blob);
		reader.SetNeedSwap(bigEndian);
		ASSERT_EQ(reader.OpenReading(), VE_OK);
		sWORD word = 0;
		sLONG number = 0;
		EXPECT_EQ(reader.GetWord(word), VE_OK);
		EXPECT_EQ(reader.GetLong(number), VE_OK);
		EXPECT_EQ(word, 0x0102);
		EXPECT_EQ(number, 0x03040506);
	}
}

TEST(BlobStreamOver, ItsOwnBlobWithoutOne)
{
	VBlobStream stream;
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	EXPECT_EQ(stream.GetSize(), 0);
	VBlobWithPtr value("a value", 7);
	ASSERT_EQ(stream.PutValue(value), VE_OK);
	ASSERT_EQ(stream.CloseWriting(), VE_OK);
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	std::unique_ptr<VValue> back(stream.GetValue());
	ASSERT_NE(back, nullptr);
	EXPECT_TRUE(value.EqualToSameKind(back.get()));
	char byte = 0;
	testing::RaisedErrors raised;
	EXPECT_EQ(stream.GetData(&byte, 1), VE_STREAM_EOF);
	EXPECT_EQ(raised.Codes(), std::vector<VError>{VE_STREAM_EOF});
}

// Reads past the end hand back what there is, once raised.
TEST(BlobStreamOver, ReadsAtTheEnd)
{
	VBlobWithPtr blob("abc", 3);
	VBlobStream stream(&blob);
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	char out[5] = {};
	VSize read = 0;
	testing::RaisedErrors raised;
	EXPECT_EQ(stream.GetData(out, 5, &read), VE_STREAM_EOF);
	EXPECT_EQ(read, 3u);
	EXPECT_EQ(std::string(out, 3), "abc");
	EXPECT_EQ(stream.GetPos(), 3);
	EXPECT_EQ(raised.Codes(), std::vector<VError>{VE_STREAM_EOF});
}

// A reader never grows the blob; a writer grows it with zeros.
TEST(BlobStreamOver, PositionsBeyondTheEnd)
{
	VBlobWithPtr blob("abc", 3);
	{
		VBlobStream reader(&blob);
		ASSERT_EQ(reader.OpenReading(), VE_OK);
		testing::RaisedErrors raised;
		EXPECT_EQ(reader.SetPos(10), VE_STREAM_EOF);
		EXPECT_EQ(blob.GetSize(), 3u);
	}
	VBlobStream writer(&blob);
	ASSERT_EQ(writer.OpenWriting(), VE_OK);
	ASSERT_EQ(writer.SetPos(6), VE_OK);
	EXPECT_EQ(Content(blob), (Bytes{'a', 'b', 'c', 0, 0, 0}));
	ASSERT_EQ(writer.SetSize(1), VE_OK);
	EXPECT_EQ(writer.GetPos(), 1);
	ASSERT_EQ(writer.SetPos(3), VE_OK);
	ASSERT_EQ(writer.PutData("z", 1), VE_OK);
	EXPECT_EQ(Content(blob), (Bytes{'a', 0, 0, 'z'}));
}

// A blob that claims every offset a blob can have, without the memory:
// it shows what the stream asks of it.
class ClaimingBlob : public VBlob {
public:
	ClaimingBlob* Clone() const override { return new ClaimingBlob(*this); }
	VSize GetSize() const override { return fSize; }
	VError SetSize(VSize inSize) override
	{
		fSize = inSize;
		return VE_OK;
	}
	VError GetData(void*, VSize inSize, sLONG, VSize* outRead) const override
	{
		if (outRead != nullptr)
			*outRead = inSize;
		return VE_OK;
	}
	VError PutData(const void*, VSize inSize, sLONG inOffset) override
	{
		fLastOffset = inOffset;
		fSize = std::max<VSize>(fSize, static_cast<VSize>(inOffset) + inSize);
		return VE_OK;
	}

	VSize fSize = VBlob::kMaxSize - 1;
	sLONG fLastOffset = -1;
};

// Positions are the blob's 32-bit offsets: one beyond is refused, never cut
// to a small one that would overwrite the start.
TEST(BlobStreamOver, PositionsBeyondTheOffsetsAreRefused)
{
	ClaimingBlob blob;
	VBlobStream stream(&blob);
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	ASSERT_EQ(stream.SetPos(INT_MAX - 2), VE_OK);
	ASSERT_EQ(stream.PutData("ab", 2), VE_OK);
	EXPECT_EQ(blob.fLastOffset, INT_MAX - 2);
	EXPECT_EQ(blob.fSize, VBlob::kMaxSize);
	testing::RaisedErrors raised;
	EXPECT_EQ(stream.PutData("c", 1), VE_STREAM_BAD_OFFSET);
	EXPECT_EQ(blob.fLastOffset, INT_MAX - 2);
	EXPECT_EQ(raised.Codes(), std::vector<VError>{VE_STREAM_BAD_OFFSET});

	for (sLONG8 beyond : {sLONG8(INT_MAX) + 1, sLONG8(UINT_MAX) + 1, LLONG_MAX}) {
		SCOPED_TRACE(beyond);
		VBlobStream other(&blob);
		ASSERT_EQ(other.OpenWriting(), VE_OK);
		raised.Clear();
		EXPECT_EQ(other.SetPos(beyond), VE_STREAM_BAD_OFFSET);
		EXPECT_EQ(other.GetPos(), 0);
		ASSERT_EQ(other.CloseWriting(), VE_STREAM_BAD_OFFSET);
		ASSERT_EQ(other.OpenWriting(), VE_OK);
		EXPECT_EQ(other.SetSize(beyond), VE_STREAM_BAD_OFFSET);
		EXPECT_EQ(blob.fSize, VBlob::kMaxSize);
		EXPECT_EQ(raised.Codes(), std::vector<VError>(2, VE_STREAM_BAD_OFFSET));
	}
}

TEST(BlobStreamOver, ViewedBytesReadButNeverWritten)
{
	VConstBlobWithPtr viewed("view", 4);
	VBlobStream stream(&viewed);
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	char out[4];
	EXPECT_EQ(stream.GetData(out, 4), VE_OK);
	EXPECT_EQ(std::string(out, 4), "view");
	ASSERT_EQ(stream.CloseReading(), VE_OK);
	testing::RaisedErrors raised;
	EXPECT_EQ(stream.OpenWriting(), VE_STREAM_CANNOT_WRITE);
	EXPECT_EQ(stream.PutData("x", 1), VE_STREAM_CANNOT_WRITE);
	EXPECT_EQ(raised.Codes(), std::vector<VError>(2, VE_STREAM_CANNOT_WRITE));
	EXPECT_EQ(Content(viewed), (Bytes{'v', 'i', 'e', 'w'}));
}

// The same writes, moves and resizes on a blob stream and on the memory
// stream: both must hold the same bytes at every step.
TEST(BlobStreamOver, RandomWritesMatchTheMemoryStream)
{
	std::mt19937 rng(2026);
	for (int round = 0; round < 300; ++round) {
		VBlobWithPtr blob;
		VBlobStream stream(&blob);
		VPtrStream model;
		const bool swap = rng() % 2 != 0;
		for (VStream* s : {static_cast<VStream*>(&stream), static_cast<VStream*>(&model)}) {
			s->SetNeedSwap(swap);
			ASSERT_EQ(s->OpenWriting(), VE_OK);
		}
		for (int op = 0; op < 40; ++op) {
			const unsigned kind = rng() % 4;
			Bytes bytes(rng() % 40);
			for (uint8& byte : bytes)
				byte = static_cast<uint8>(rng());
			const sLONG8 target = static_cast<sLONG8>(rng() % (model.GetSize() + 60));
			const sLONG number = static_cast<sLONG>(rng());
			for (VStream* s : {static_cast<VStream*>(&stream), static_cast<VStream*>(&model)}) {
				switch (kind) {
					case 0:
						ASSERT_EQ(s->PutData(bytes.data(), bytes.size()), VE_OK);
						break;
					case 1:
						ASSERT_EQ(s->SetPos(target), VE_OK);
						break;
					case 2:
						ASSERT_EQ(s->SetSize(target), VE_OK);
						break;
					default:
						ASSERT_EQ(s->PutLong(number), VE_OK);
						break;
				}
			}
			ASSERT_EQ(stream.GetPos(), model.GetPos());
			VStreamUnderlyingData data = model.GetUnderlyingData();
			const uint8* start = static_cast<const uint8*>(data.fData);
			ASSERT_EQ(Content(blob), Bytes(start, start + data.fSize));
		}
	}
}

} // namespace
} // namespace qirn
