// Blobs in streams: their stream form, as values by kind, and streams that
// lie about it.
#include "core/VBlob.h"
#include "core/tests/RefusingMemory.h"
#include "files/VConstPtrStream.h"
#include "files/VPtrStream.h"
#include "files/tests/StreamBytes.h"
#include "testing/RaisedErrors.h"

#include <gtest/gtest.h>

#include <climits>
#include <memory>
#include <string>
#include <vector>

namespace qirn {
namespace {

using Bytes = std::vector<uint8>;
using testing::Written;

std::string Text(const VBlob& inBlob)
{
	std::string text(inBlob.GetSize(), '\0');
	EXPECT_EQ(inBlob.GetData(text.data(), text.size(), 0), VE_OK);
	return text;
}

TEST(BlobStream, WritesTheLengthInTheStreamsOrderThenTheBytes)
{
	VBlobWithPtr owned("ab\x01", 3);
	VConstBlobWithPtr viewed("ab\x01", 3);
	for (const VBlob* blob : {static_cast<const VBlob*>(&owned), static_cast<const VBlob*>(&viewed)}) {
		EXPECT_EQ(Written(true, [&](VStream& s) { EXPECT_EQ(blob->WriteToStream(&s), VE_OK); }),
				  (Bytes{0, 0, 0, 3, 'a', 'b', 1}));
		EXPECT_EQ(Written(false, [&](VStream& s) { EXPECT_EQ(blob->WriteToStream(&s), VE_OK); }),
				  (Bytes{3, 0, 0, 0, 'a', 'b', 1}));
		EXPECT_EQ(blob->GetStreamSpace(), 7u);
	}
	EXPECT_EQ(Written(true, [&](VStream& s) { VBlobWithPtr().WriteToStream(&s); }), (Bytes{0, 0, 0, 0}));
}

TEST(BlobStream, RoundTripsInBothByteOrders)
{
	for (bool bigEndian : {false, true}) {
		SCOPED_TRACE(bigEndian ? "big-endian" : "little-endian");
		std::string content;
		for (int i = 0; i < 70000; ++i)
			content.push_back(static_cast<char>(i * 7));
		VBlobWithPtr original(content.data(), content.size());
		Bytes bytes = Written(bigEndian, [&](VStream& s) {
			original.WriteToStream(&s);
			VBlobWithPtr().WriteToStream(&s);
			s.PutValue(original, true);
		});
		ASSERT_EQ(bytes.size(), 3 * 4 + 2 * content.size() + 2);
		const size_t kindAt = 8 + content.size();
		EXPECT_EQ(Bytes(bytes.begin() + kindAt, bytes.begin() + kindAt + 2),
				  bigEndian ? (Bytes{0, 11}) : (Bytes{11, 0}));

		VConstPtrStream stream(bytes.data(), bytes.size());
		if (bigEndian)
			stream.SetBigEndian();
		ASSERT_EQ(stream.OpenReading(), VE_OK);
		VBlobWithPtr first("previous", 8);
		first.SetDirty(false);
		EXPECT_EQ(first.ReadFromStream(&stream), VE_OK);
		EXPECT_EQ(Text(first), content);
		EXPECT_FALSE(first.IsDirty()) << "stream readers leave the flags";
		VBlobWithPtr empty("previous", 8);
		EXPECT_EQ(empty.ReadFromStream(&stream), VE_OK);
		EXPECT_EQ(empty.GetSize(), 0u);
		std::unique_ptr<VValue> value(stream.GetValue());
		ASSERT_NE(dynamic_cast<VBlobWithPtr*>(value.get()), nullptr);
		EXPECT_EQ(Text(*static_cast<VBlob*>(value.get())), content);
		EXPECT_EQ(stream.GetPos(), static_cast<sLONG8>(bytes.size()));
	}
}

// Lengths no stream of that size can hold: refused before any memory is
// taken for them, the blob unchanged, the stream's error set so that the
// bytes are never read as what follows.
TEST(BlobStream, UntrustedLengths)
{
	struct Case {
		const char* fName;
		Bytes fBytes; // big-endian
		VError fError;
		const char* fContent;
	};
	const Case cases[] = {
		{"no length", {}, VE_STREAM_EOF, "before"},
		{"length cut", {0, 0, 0}, VE_STREAM_EOF, "before"},
		{"minus one", {0xFF, 0xFF, 0xFF, 0xFF, 'x'}, VE_STREAM_EOF, "before"},
		{"INT_MIN", {0x80, 0, 0, 0, 'x'}, VE_STREAM_EOF, "before"},
		{"INT_MAX", {0x7F, 0xFF, 0xFF, 0xFF, 'x', 'y'}, VE_STREAM_EOF, "before"},
		{"one byte more than there is", {0, 0, 0, 3, 'x', 'y'}, VE_STREAM_EOF, "before"},
		{"no bytes at all", {0, 0, 0, 1}, VE_STREAM_EOF, "before"},
		{"all the bytes there are", {0, 0, 0, 2, 'x', 'y'}, VE_OK, "xy"},
		{"zero", {0, 0, 0, 0, 'x'}, VE_OK, ""},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VConstPtrStream stream(c.fBytes.data(), c.fBytes.size());
		stream.SetBigEndian();
		ASSERT_EQ(stream.OpenReading(), VE_OK);
		VBlobWithPtr blob("before", 6);
		testing::RaisedErrors raised;
		EXPECT_EQ(blob.ReadFromStream(&stream), c.fError);
		EXPECT_EQ(Text(blob), c.fContent);
		EXPECT_EQ(stream.GetLastError(), c.fError);
		EXPECT_EQ(raised.Codes(), c.fError == VE_OK ? std::vector<VError>{} : std::vector<VError>{c.fError});
	}
}

// A valid stream of several blobs cut at every byte: what lies before the
// cut reads whole, the blob the cut falls in is refused unchanged, and
// nothing is read beyond the end.
TEST(BlobStream, CutAtEveryByte)
{
	const std::string contents[] = {"first", "", "the third blob", "4"};
	for (bool bigEndian : {false, true}) {
		Bytes bytes = Written(bigEndian, [&](VStream& s) {
			for (const std::string& content : contents)
				VBlobWithPtr(content.data(), content.size()).WriteToStream(&s);
		});
		for (size_t cut = 0; cut < bytes.size(); ++cut) {
			SCOPED_TRACE(::testing::Message() << (bigEndian ? "big" : "little") << "-endian, cut at " << cut);
			// A copy of exactly the bytes left, so that the sanitizer sees
			// any read beyond them.
			std::unique_ptr<uint8[]> head(new uint8[cut + 1]);
			std::copy(bytes.begin(), bytes.begin() + static_cast<ptrdiff_t>(cut), head.get());
			VConstPtrStream stream(head.get(), cut);
			stream.SetNeedSwap(bigEndian);
			ASSERT_EQ(stream.OpenReading(), VE_OK);
			testing::RaisedErrors raised;
			size_t end = 0;
			bool failed = false;
			for (const std::string& content : contents) {
				end += 4 + content.size();
				VBlobWithPtr blob("unchanged", 9);
				const VError err = blob.ReadFromStream(&stream);
				if (end <= cut) {
					ASSERT_EQ(err, VE_OK);
					EXPECT_EQ(Text(blob), content);
				} else {
					EXPECT_EQ(err, VE_STREAM_EOF);
					EXPECT_EQ(Text(blob), "unchanged");
					failed = true;
				}
			}
			EXPECT_TRUE(failed);
			EXPECT_LE(stream.GetPos(), static_cast<sLONG8>(cut));
		}
	}
}

// A stream that claims more than it delivers, as a file cut by someone else
// while it is read does.
class ClaimingStream : public VConstPtrStream {
public:
	ClaimingStream(const void* inData, VSize inSize) : VConstPtrStream(inData, inSize) {}

protected:
	sLONG8 DoGetSize() override { return 1000; }
};

// The bytes that never came are zero, never what the heap held.
TEST(BlobStream, AReadCutShortLeavesZeros)
{
	const Bytes bytes = {5, 0, 0, 0, 'a', 'b'};
	ClaimingStream stream(bytes.data(), bytes.size());
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	VBlobWithPtr blob("old bytes", 9);
	testing::RaisedErrors raised;
	EXPECT_EQ(blob.ReadFromStream(&stream), VE_STREAM_EOF);
	EXPECT_EQ(Text(blob), std::string("ab\0\0\0", 5));
}

TEST(BlobStream, RefusedMemoryStopsTheStream)
{
	Bytes bytes = Written(false, [](VStream& s) { VBlobWithPtr("abc", 3).WriteToStream(&s); });
	VConstPtrStream stream(bytes.data(), bytes.size());
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	testing::RaisedErrors raised;
	{
		testing::StRefusingMemory refusing;
		ASSERT_TRUE(refusing.IsRefusing());
		VBlobWithPtr blob;
		EXPECT_EQ(blob.ReadFromStream(&stream), VE_MEMORY_FULL);
		EXPECT_EQ(blob.GetSize(), 0u);
	}
	EXPECT_EQ(stream.GetLastError(), VE_MEMORY_FULL);
	EXPECT_EQ(raised.Codes(), std::vector<VError>{VE_MEMORY_FULL});
}

TEST(BlobStream, ViewedBlobsReadNothing)
{
	Bytes bytes = Written(false, [](VStream& s) { VBlobWithPtr("abc", 3).WriteToStream(&s); });
	VConstPtrStream stream(bytes.data(), bytes.size());
	ASSERT_EQ(stream.OpenReading(), VE_OK);
	VConstBlobWithPtr viewed("view", 4);
	testing::RaisedErrors raised;
	EXPECT_EQ(viewed.ReadFromStream(&stream), VE_STREAM_CANNOT_WRITE);
	EXPECT_EQ(Text(viewed), "view");
	EXPECT_EQ(stream.GetPos(), 0);
}

TEST(BlobStream, AStreamErrorIsTheAnswer)
{
	VPtrStream stream;
	ASSERT_EQ(stream.OpenWriting(), VE_OK);
	testing::RaisedErrors raised;
	stream.SetError(VE_STREAM_EOF);
	EXPECT_EQ(VBlobWithPtr("abc", 3).WriteToStream(&stream), VE_STREAM_EOF);
	EXPECT_EQ(stream.GetSize(), 0);
}

} // namespace
} // namespace qirn
