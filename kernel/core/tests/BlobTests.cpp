// Blob values: owned and viewed bytes, their edits, flat form and descriptor.
#include "RefusingMemory.h"

#include "core/VBlob.h"
#include "core/VLong.h"
#include "files/VStream.h"
#include "json/VJSONValue.h"
#include "testing/RaisedErrors.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
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
	VSize read = 0;
	EXPECT_EQ(inBlob.GetData(bytes.data(), bytes.size(), 0, &read), VE_OK);
	EXPECT_EQ(read, bytes.size());
	return bytes;
}

Bytes BytesOf(const std::string& inText)
{
	return Bytes(inText.begin(), inText.end());
}

TEST(Blob, FromDataReplacesTheBytesAndZeroEmptiesWithoutNull)
{
	VBlobWithPtr blob;
	blob.SetNull(true);
	blob.SetDirty(false);
	ASSERT_EQ(blob.FromData("hello", 5), VE_OK);
	EXPECT_EQ(Content(blob), BytesOf("hello"));
	EXPECT_FALSE(blob.IsNull());
	EXPECT_TRUE(blob.IsDirty());
	EXPECT_EQ(blob.GetSpace(0), 9u);
	EXPECT_EQ(blob.GetFullSpaceOnDisk(), 5u);

	blob.SetNull(true);
	ASSERT_EQ(blob.FromData(nullptr, 0), VE_OK);
	EXPECT_EQ(blob.GetSize(), 0u);
	EXPECT_FALSE(blob.IsNull());

	ASSERT_EQ(blob.FromData("xy", 2), VE_OK);
	blob.Clear();
	EXPECT_EQ(blob.GetSize(), 0u);
	EXPECT_FALSE(blob.IsNull());
}

TEST(Blob, PutDataBeyondTheEndZeroesTheGap)
{
	VBlobWithPtr blob;
	ASSERT_EQ(blob.PutData("abcd", 4, 10), VE_OK);
	Bytes expected(10, 0);
	expected.insert(expected.end(), {'a', 'b', 'c', 'd'});
	EXPECT_EQ(Content(blob), expected);

	// Within what the buffer already holds behind the size, too.
	ASSERT_EQ(blob.SetSize(2), VE_OK);
	ASSERT_EQ(blob.PutData("z", 1, 6), VE_OK);
	EXPECT_EQ(Content(blob), (Bytes{0, 0, 0, 0, 0, 0, 'z'}));
}

// Every edit in random order, checked against a vector edited the same way:
// every byte a blob gains is zero, whatever the buffer held there before.
TEST(Blob, RandomEditsMatchAModel)
{
	std::mt19937 rng(7);
	for (int round = 0; round < 300; ++round) {
		VBlobWithPtr blob;
		Bytes model;
		for (int op = 0; op < 30; ++op) {
			Bytes bytes(rng() % 50);
			for (uint8& byte : bytes)
				byte = static_cast<uint8>(rng() | 1);
			switch (rng() % 4) {
				case 0: {
					const VSize size = rng() % 3000;
					ASSERT_EQ(blob.SetSize(size), VE_OK);
					model.resize(size, 0);
					break;
				}
				case 1: {
					const sLONG offset = static_cast<sLONG>(rng() % (model.size() + 2000));
					ASSERT_EQ(blob.PutData(bytes.data(), bytes.size(), offset), VE_OK);
					if (model.size() < offset + bytes.size())
						model.resize(offset + bytes.size(), 0);
					std::copy(bytes.begin(), bytes.end(), model.begin() + offset);
					break;
				}
				case 2:
					ASSERT_EQ(blob.FromData(bytes.data(), bytes.size()), VE_OK);
					model = bytes;
					break;
				default: {
					const sLONG offset = static_cast<sLONG>(rng() % (model.size() + 10));
					Bytes out(rng() % 60, 0xEE);
					VSize read = 99;
					const VError err = blob.GetData(out.data(), out.size(), offset, &read);
					const VSize available = static_cast<VSize>(offset) <= model.size() ? model.size() - offset : 0;
					ASSERT_EQ(read, std::min(out.size(), available));
					ASSERT_EQ(err, read == out.size() && static_cast<VSize>(offset) <= model.size() ? VE_OK
																									: VE_STREAM_EOF);
					ASSERT_TRUE(std::equal(out.begin(), out.begin() + static_cast<ptrdiff_t>(read),
										   model.begin() + std::min<ptrdiff_t>(offset, model.size())));
					break;
				}
			}
			ASSERT_EQ(blob.GetSize(), model.size());
			ASSERT_EQ(Content(blob), model);
		}
	}
}

// Reads that find fewer bytes than asked: an offset before the start, past
// the end, or a run that ends early.
TEST(Blob, ShortReadsAnswerEndOfData)
{
	VBlobWithPtr owned("abcdef", 6);
	VConstBlobWithPtr viewed("abcdef", 6);
	struct Case {
		sLONG fOffset;
		VSize fAsked;
		VSize fRead;
		VError fResult;
	};
	const Case cases[] = {
		{0, 6, 6, VE_OK},			 {4, 2, 2, VE_OK},			 {6, 0, 0, VE_OK},
		{4, 5, 2, VE_STREAM_EOF},	 {6, 1, 0, VE_STREAM_EOF},	 {7, 0, 0, VE_STREAM_EOF},
		{-1, 3, 0, VE_STREAM_EOF},	 {INT_MIN, 6, 0, VE_STREAM_EOF}, {INT_MAX, 6, 0, VE_STREAM_EOF},
	};
	for (const VBlob* blob : {static_cast<const VBlob*>(&owned), static_cast<const VBlob*>(&viewed)}) {
		for (const Case& c : cases) {
			SCOPED_TRACE(::testing::Message() << "offset " << c.fOffset << ", asked " << c.fAsked);
			char out[8] = "-------";
			VSize read = 99;
			testing::RaisedErrors raised;
			EXPECT_EQ(blob->GetData(out, c.fAsked, c.fOffset, &read), c.fResult);
			EXPECT_EQ(read, c.fRead);
			EXPECT_EQ(std::string(out, read), std::string("abcdef").substr(c.fRead == 0 ? 0 : c.fOffset, c.fRead));
			EXPECT_EQ(std::string(out + read), std::string("-------").substr(read));
			EXPECT_EQ(raised.Codes(), c.fResult == VE_OK ? std::vector<VError>{} : std::vector<VError>{c.fResult});
		}
	}
}

TEST(Blob, WritesOutsideTheOffsetsChangeNothing)
{
	VBlobWithPtr blob("abc", 3);
	blob.SetDirty(false);
	testing::RaisedErrors raised;
	EXPECT_EQ(blob.PutData("x", 1, -1), VE_STREAM_EOF);
	EXPECT_EQ(blob.PutData("x", 1, INT_MIN), VE_STREAM_EOF);
	// The forms carry a signed 32-bit length: a blob never outgrows it, and
	// finds it out before asking for memory.
	EXPECT_EQ(blob.SetSize(VBlob::kMaxSize + 1), VE_MEMORY_FULL);
	EXPECT_EQ(blob.PutData("xy", 2, INT_MAX), VE_MEMORY_FULL);
	EXPECT_EQ(blob.FromData("x", VBlob::kMaxSize + 1), VE_MEMORY_FULL);
	EXPECT_EQ(raised.Codes(),
			  (std::vector<VError>{VE_STREAM_EOF, VE_STREAM_EOF, VE_MEMORY_FULL, VE_MEMORY_FULL, VE_MEMORY_FULL}));
	EXPECT_EQ(Content(blob), BytesOf("abc"));
}

TEST(Blob, RefusedMemoryIsMemoryFull)
{
	testing::RaisedErrors raised;
	{
		testing::StRefusingMemory refusing;
		ASSERT_TRUE(refusing.IsRefusing());
		VBlobWithPtr made("abc", 3);
		EXPECT_EQ(made.GetSize(), 0u);
		VBlobWithPtr blob;
		EXPECT_EQ(blob.SetSize(10), VE_MEMORY_FULL);
		EXPECT_EQ(blob.FromData("abc", 3), VE_MEMORY_FULL);
		EXPECT_EQ(blob.PutData("abc", 3, 0), VE_MEMORY_FULL);
		EXPECT_EQ(blob.GetSize(), 0u);
		EXPECT_FALSE(blob.IsNull());
	}
	EXPECT_EQ(raised.Codes(), std::vector<VError>(4, VE_MEMORY_FULL));
}

TEST(Blob, NullDropsTheBytes)
{
	VBlobWithPtr blob("abc", 3);
	blob.SetNull(true);
	EXPECT_TRUE(blob.IsNull());
	EXPECT_EQ(blob.GetSize(), 0u);
}

TEST(Blob, CopiesTakeTheBytesAndTheNullFlag)
{
	VBlobWithPtr source("abc", 3);
	source.SetDirty(false);
	VBlobWithPtr copy(source);
	EXPECT_EQ(Content(copy), BytesOf("abc"));
	EXPECT_TRUE(copy.IsDirty());

	std::unique_ptr<VBlob> clone(source.Clone());
	EXPECT_EQ(Content(*clone), BytesOf("abc"));

	const char viewedBytes[] = "view";
	VConstBlobWithPtr viewed(viewedBytes, 4);
	VBlobWithPtr fromView(static_cast<const VBlob&>(viewed));
	EXPECT_EQ(Content(fromView), BytesOf("view"));
	viewed.SetNull(true);
	VBlobWithPtr fromNull(static_cast<const VBlob&>(viewed));
	EXPECT_EQ(fromNull.GetSize(), 0u);

	VBlobWithPtr assigned("old", 3);
	assigned = source;
	EXPECT_EQ(Content(assigned), BytesOf("abc"));
	assigned = assigned;
	EXPECT_EQ(Content(assigned), BytesOf("abc"));
}

TEST(Blob, FromValueSameKindTakesOnlyOwnedBlobs)
{
	VBlobWithPtr blob("abc", 3);
	VBlobWithPtr other("xyz!", 4);
	VBlobWithPtr null;
	null.SetNull(true);
	VConstBlobWithPtr viewed("view", 4);
	VLong number(5);

	EXPECT_FALSE(blob.FromValueSameKind(&viewed));
	EXPECT_FALSE(blob.FromValueSameKind(&number));
	EXPECT_FALSE(blob.FromValueSameKind(nullptr));
	EXPECT_EQ(Content(blob), BytesOf("abc"));

	EXPECT_TRUE(blob.FromValueSameKind(&blob));
	EXPECT_EQ(Content(blob), BytesOf("abc"));

	EXPECT_TRUE(blob.FromValueSameKind(&other));
	EXPECT_EQ(Content(blob), BytesOf("xyz!"));
	EXPECT_FALSE(blob.IsNull());

	blob.SetDirty(false);
	EXPECT_TRUE(blob.FromValueSameKind(&null));
	EXPECT_TRUE(blob.IsNull());
	EXPECT_TRUE(blob.IsDirty());
	EXPECT_EQ(blob.GetSize(), 0u);
}

TEST(Blob, FromValueAndGetValue)
{
	VBlobWithPtr blob("abc", 3);
	blob.FromValue(blob);
	EXPECT_EQ(Content(blob), BytesOf("abc"));
	blob.GetValue(blob);
	EXPECT_EQ(Content(blob), BytesOf("abc"));

	VBlobWithPtr target("old", 3);
	blob.GetValue(target);
	EXPECT_EQ(Content(target), BytesOf("abc"));
	target.FromValue(VBlobWithPtr("new!", 4));
	EXPECT_EQ(Content(target), BytesOf("new!"));
	// Only owned blobs give their bytes; anything else leaves it empty.
	target.FromValue(VConstBlobWithPtr("view", 4));
	EXPECT_EQ(target.GetSize(), 0u);
	ASSERT_EQ(target.FromData("abc", 3), VE_OK);
	target.FromValue(VLong(3));
	EXPECT_EQ(target.GetSize(), 0u);

	VLong number(5);
	blob.GetValue(number);
	EXPECT_EQ(number.GetLong(), 5);

	VConstBlobWithPtr viewed("view", 4);
	viewed.GetValue(target);
	EXPECT_EQ(Content(target), BytesOf("view"));
}

TEST(Blob, EqualityNeedsAnOwnedBlobThatIsNotNull)
{
	VBlobWithPtr blob("abc", 3);
	VBlobWithPtr same("abc", 3);
	VBlobWithPtr other("abd", 3);
	VBlobWithPtr longer("abcd", 4);
	VBlobWithPtr empty1;
	VBlobWithPtr empty2;
	VConstBlobWithPtr viewed("abc", 3);
	EXPECT_TRUE(blob.EqualToSameKind(&same));
	EXPECT_TRUE(empty1.EqualToSameKind(&empty2));
	EXPECT_FALSE(blob.EqualToSameKind(&other));
	EXPECT_FALSE(blob.EqualToSameKind(&longer));
	EXPECT_FALSE(blob.EqualToSameKind(&viewed));
	EXPECT_TRUE(blob.EqualToSameKindWithOptions(&same, VCompareOptions()));
	empty2.SetNull(true);
	EXPECT_FALSE(empty1.EqualToSameKind(&empty2));

	EXPECT_EQ(blob.CompareTo(same), CR_UNRELEVANT);
	EXPECT_FALSE(blob.CanBeEvaluated());
}

TEST(Blob, ViewedBytesRefuseEveryChange)
{
	const char bytes[] = "abc";
	VConstBlobWithPtr viewed(bytes, 3);
	testing::RaisedErrors raised;
	EXPECT_EQ(viewed.SetSize(1), VE_STREAM_CANNOT_WRITE);
	EXPECT_EQ(viewed.PutData("x", 1, 0), VE_STREAM_CANNOT_WRITE);
	EXPECT_EQ(viewed.FromData("x", 1), VE_STREAM_CANNOT_WRITE);
	viewed.FromValue(VBlobWithPtr("x", 1));
	int32 flat[2] = {1, 0};
	EXPECT_EQ(viewed.LoadFromPtr(flat, false), nullptr);
	EXPECT_EQ(raised.Codes(), std::vector<VError>(3, VE_STREAM_CANNOT_WRITE));
	EXPECT_EQ(Content(viewed), BytesOf("abc"));
	EXPECT_EQ(viewed.GetSpace(0), 7u);

	// Copies and clones view the same bytes.
	std::unique_ptr<VBlob> clone(viewed.Clone());
	EXPECT_EQ(Content(*clone), BytesOf("abc"));
	VConstBlobWithPtr other("wxyz", 4);
	raised.Clear();
	other.SetNull(true);
	EXPECT_EQ(raised.Codes(), std::vector<VError>{});
	EXPECT_EQ(other.GetSize(), 4u);
	EXPECT_TRUE(viewed.FromValueSameKind(&other));
	EXPECT_EQ(viewed.GetSize(), 4u);
	EXPECT_TRUE(viewed.IsNull());
	VBlobWithPtr owned("x", 1);
	EXPECT_FALSE(viewed.FromValueSameKind(&owned));
}

// A length, then the bytes; the length in the machine's order.
TEST(Blob, FlatForm)
{
	VBlobWithPtr blob("abc", 3);
	uint8 flat[16];
	std::memset(flat, 0xEE, sizeof(flat));
	EXPECT_EQ(blob.WriteToPtr(flat, false, sizeof(flat)), flat + 7);
	EXPECT_EQ(Bytes(flat, flat + 8), (Bytes{3, 0, 0, 0, 'a', 'b', 'c', 0xEE}));
	VConstBlobWithPtr viewed("view", 4);
	EXPECT_EQ(viewed.WriteToPtr(flat, false, sizeof(flat)), flat + 8);
	EXPECT_EQ(Bytes(flat, flat + 8), (Bytes{4, 0, 0, 0, 'v', 'i', 'e', 'w'}));

	VBlobWithPtr back;
	back.SetNull(true);
	EXPECT_EQ(back.LoadFromPtr(flat, false), flat + 8);
	EXPECT_EQ(Content(back), BytesOf("view"));
	EXPECT_FALSE(back.IsNull());

	const VValueInfo* info = VValue::ValueInfoFromValueKind(11);
	ASSERT_NE(info, nullptr);
	EXPECT_EQ(info->GetSizeOfValueDataPtr(flat), 8u);
	std::unique_ptr<VValue> loaded(info->LoadFromPtr(flat, false));
	ASSERT_NE(dynamic_cast<VBlobWithPtr*>(loaded.get()), nullptr);
	EXPECT_EQ(Content(*static_cast<VBlob*>(loaded.get())), BytesOf("view"));
}

// A length of 0 or below is an empty blob, and the value ends just after it.
TEST(Blob, FlatFormWithoutBytes)
{
	const VValueInfo* info = VValue::ValueInfoFromValueKind(11);
	ASSERT_NE(info, nullptr);
	for (int32 length : {0, -1, -4, INT_MIN}) {
		SCOPED_TRACE(length);
		uint8 flat[8];
		std::memcpy(flat, &length, 4);
		std::memset(flat + 4, 'x', 4);
		VBlobWithPtr blob("abc", 3);
		blob.SetNull(true);
		EXPECT_EQ(blob.LoadFromPtr(flat, false), flat + 4);
		EXPECT_EQ(blob.GetSize(), 0u);
		EXPECT_FALSE(blob.IsNull());
		EXPECT_EQ(info->GetSizeOfValueDataPtr(flat), 4u);
		std::unique_ptr<VValue> loaded(info->LoadFromPtr(flat, false));
		EXPECT_EQ(static_cast<VBlob*>(loaded.get())->GetSize(), 0u);
	}
}

// Only the length turns; the answer is the end of the value both ways.
TEST(Blob, FlatFormByteSwap)
{
	const VValueInfo* info = VValue::ValueInfoFromValueKind(11);
	ASSERT_NE(info, nullptr);
	uint8 flat[] = {2, 0, 0, 0, 0x12, 0x34, 0xEE};
	EXPECT_EQ(info->ByteSwapPtr(flat, true), flat + 6);
	EXPECT_EQ(Bytes(flat, flat + 7), (Bytes{0, 0, 0, 2, 0x12, 0x34, 0xEE}));
	EXPECT_EQ(info->ByteSwapPtr(flat, false), flat + 6);
	EXPECT_EQ(Bytes(flat, flat + 7), (Bytes{2, 0, 0, 0, 0x12, 0x34, 0xEE}));
	uint8 negative[] = {0xFF, 0xFF, 0xFF, 0xFF};
	EXPECT_EQ(info->ByteSwapPtr(negative, true), negative + 4);
}

TEST(Blob, KindElevenMakesOwnedBlobs)
{
	const VValueInfo* info = VValue::ValueInfoFromValueKind(11);
	ASSERT_NE(info, nullptr);
	EXPECT_EQ(info->GetKind(), 11);
	std::unique_ptr<VValue> made(VValue::NewValueFromValueKind(11));
	auto* blob = dynamic_cast<VBlobWithPtr*>(made.get());
	ASSERT_NE(blob, nullptr);
	EXPECT_EQ(blob->GetSize(), 0u);
	EXPECT_FALSE(blob->IsNull());
	VConstBlobWithPtr viewed("abc", 3);
	EXPECT_EQ(blob->GetValueInfo(), info);
	EXPECT_EQ(viewed.GetValueInfo(), info);
	std::unique_ptr<VValue> generated(info->Generate(&viewed));
	ASSERT_NE(dynamic_cast<VBlobWithPtr*>(generated.get()), nullptr);
	EXPECT_EQ(static_cast<VBlob*>(generated.get())->GetSize(), 0u);
}

// Only a blob that owns its bytes has a JSON form (a JSON blob over a copy);
// a viewing blob has none.
TEST(Blob, OnlyOwnedBlobsHaveAJSONForm)
{
	VBlobWithPtr blob("abc", 3);
	VJSONValue json;
	testing::RaisedErrors raised;
	EXPECT_EQ(blob.GetJSONValue(json, 0), VE_OK);
	EXPECT_TRUE(json.IsObject());
	EXPECT_TRUE(raised.Codes().empty());
	VConstBlobWithPtr viewed("abc", 3);
	EXPECT_EQ(viewed.GetJSONValue(json, 0), VE_UNIMPLEMENTED);
	EXPECT_EQ(raised.Codes(), std::vector<VError>{VE_UNIMPLEMENTED});
}

} // namespace
} // namespace qirn
