#include "bags_xml/VPackedDictionary_with_backstore.h"
#include "bags_xml/tests/BagTestSupport.h"
#include "core/VBlob.h"
#include "core/VLong.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VString.h"
#include "core/VUUID.h"

#include <cstring>
#include <functional>
#include <memory>
#include <string>

namespace qirn {
namespace {

using Attributes = VPackedDictionary_with_backstore<VPackedValue_VValueSingle>;
using testing::ReadBytes;
using testing::WrittenBytes;

std::string Name(int inIndex)
{
	return "key" + std::to_string(inIndex);
}

void Fill(Attributes& ioStore, int inCount)
{
	for (int i = 0; i < inCount; ++i)
		ioStore.Append(StPackedDictionaryKey(Name(i).c_str()), VLong(i));
}

sLONG LongOf(const Attributes& inStore, const char* inName)
{
	VLong value(-999);
	EXPECT_TRUE(inStore.GetValue(StPackedDictionaryKey(inName), value)) << inName;
	return value.Get();
}

TEST(PackedDictionary, BuildsItsLookupMapFromTheSixthKey)
{
	Attributes store;
	Fill(store, 5);
	EXPECT_EQ(LongOf(store, "key4"), 4);
	EXPECT_EQ(store.GetHashMapBucketCount(), 0u);
	store.Append(StPackedDictionaryKey("key5"), VLong(5));
	EXPECT_EQ(LongOf(store, "key0"), 0);
	EXPECT_EQ(store.GetHashMapBucketCount(), 11u);
	// Keys added later go into the map and stay found.
	for (int i = 6; i < 40; ++i)
		store.Append(StPackedDictionaryKey(Name(i).c_str()), VLong(i));
	for (int i = 0; i < 40; ++i)
		EXPECT_EQ(LongOf(store, Name(i).c_str()), i);
	VLong none;
	EXPECT_FALSE(store.GetValue(StPackedDictionaryKey("key40"), none));
}

TEST(PackedDictionary, ClearingAKeyDropsTheMapAndShiftsTheOthers)
{
	Attributes store;
	Fill(store, 6);
	store.Append(StPackedDictionaryKey("text"), VString("some words"));
	store.Append(StPackedDictionaryKey("last"), VLong8(1LL << 40));
	EXPECT_EQ(LongOf(store, "key0"), 0);
	store.Clear(StPackedDictionaryKey("key2"));
	EXPECT_EQ(store.GetHashMapBucketCount(), 0u);
	EXPECT_EQ(store.GetCount(), 7u);
	VLong value;
	EXPECT_FALSE(store.GetValue(StPackedDictionaryKey("key2"), value));
	EXPECT_EQ(LongOf(store, "key5"), 5);
	EXPECT_NE(store.GetHashMapBucketCount(), 0u);
	VString text;
	EXPECT_TRUE(store.GetValue(StPackedDictionaryKey("text"), text));
	EXPECT_EQ(to_string(text), "some words");
	VLong8 last;
	EXPECT_TRUE(store.GetValue(StPackedDictionaryKey("last"), last));
	EXPECT_EQ(last.Get(), 1LL << 40);
}

TEST(PackedDictionary, DuplicateKeysKeepBothSlotsAndTheFirstIsFound)
{
	Attributes store;
	store.Append(StPackedDictionaryKey("a"), VLong(1));
	store.Append(StPackedDictionaryKey("a"), VLong(2));
	EXPECT_EQ(store.GetCount(), 2u);
	EXPECT_EQ(LongOf(store, "a"), 1);
	// Through the lookup map as well.
	Fill(store, 10);
	EXPECT_EQ(LongOf(store, "a"), 1);
	EXPECT_NE(store.GetHashMapBucketCount(), 0u);
}

TEST(PackedDictionary, ValuesOfTheSameSizeAreRewrittenInPlace)
{
	Attributes store;
	store.Append(StPackedDictionaryKey("n"), VLong(1));
	size_t units = store.GetBackstoreUnits();
	EXPECT_TRUE(store.SetExistingValue(StPackedDictionaryKey("n"), VLong(77)));
	EXPECT_FALSE(store.IsPackNeeded());
	EXPECT_FALSE(store.HasCloneAt(0));
	EXPECT_EQ(store.GetBackstoreUnits(), units);
	EXPECT_EQ(LongOf(store, "n"), 77);
	EXPECT_FALSE(store.SetExistingValue(StPackedDictionaryKey("absent"), VLong(1)));
}

TEST(PackedDictionary, AValueThatDoesNotFitIsClonedUntilPacked)
{
	Attributes store;
	store.Append(StPackedDictionaryKey("n"), VLong(1));
	store.Append(StPackedDictionaryKey("after"), VLong(2));
	store.SetExistingValue(StPackedDictionaryKey("n"), VString("a longer text"));
	EXPECT_TRUE(store.IsPackNeeded());
	EXPECT_TRUE(store.HasCloneAt(0));
	VString text;
	EXPECT_TRUE(store.GetValue(StPackedDictionaryKey("n"), text));
	EXPECT_EQ(to_string(text), "a longer text");

	// Streaming packs: the string's run is what is written and read back.
	std::vector<uint8> bytes = WrittenBytes([&](VStream& s) { EXPECT_EQ(store.WriteToStream(&s, false), VE_OK); });
	EXPECT_FALSE(store.IsPackNeeded());
	Attributes read;
	ASSERT_EQ(ReadBytes(bytes, [&](VStream& s) { return read.ReadFromStream(&s); }), VE_OK);
	text.Clear();
	EXPECT_TRUE(read.GetValue(StPackedDictionaryKey("n"), text));
	EXPECT_EQ(to_string(text), "a longer text");
	EXPECT_EQ(LongOf(read, "after"), 2);
}

TEST(PackedDictionary, AReadIntoAnotherKindKeepsTheConvertedValue)
{
	Attributes store;
	store.Append(StPackedDictionaryKey("n"), VString("42"));
	VLong number;
	EXPECT_TRUE(store.GetValue(StPackedDictionaryKey("n"), number));
	EXPECT_EQ(number.Get(), 42);
	EXPECT_TRUE(store.HasCloneAt(0));
	VReal real;
	EXPECT_TRUE(store.GetValue(StPackedDictionaryKey("n"), real));
	EXPECT_EQ(real.Get(), 42.0);
	VString text;
	EXPECT_TRUE(store.GetValue(StPackedDictionaryKey("n"), text));
	EXPECT_EQ(to_string(text), "42");
}

TEST(PackedDictionary, CopiesPackTheSourceAndOwnTheirValues)
{
	Attributes store;
	Fill(store, 8);
	store.SetExistingValue(StPackedDictionaryKey("key3"), VString("three"));
	Attributes copy(store);
	EXPECT_FALSE(store.IsPackNeeded());
	EXPECT_FALSE(copy.HasCloneAt(3));
	store.SetExistingValue(StPackedDictionaryKey("key3"), VString("changed"));
	VString text;
	EXPECT_TRUE(copy.GetValue(StPackedDictionaryKey("key3"), text));
	EXPECT_EQ(to_string(text), "three");
	EXPECT_EQ(LongOf(copy, "key7"), 7);
}

TEST(PackedDictionary, UnusableKeysStoreAndFindNothing)
{
	Attributes store;
	store.Append(StPackedDictionaryKey(""), VLong(1));
	std::string tooLong(300, 'k');
	StPackedDictionaryKey key(VString(tooLong.c_str()));
	EXPECT_EQ(store.Append(key, VLong(2)), store.End());
	EXPECT_EQ(store.GetCount(), 1u);
	VLong value;
	EXPECT_FALSE(store.GetValue(key, value));
	EXPECT_FALSE(store.SetExistingValue(key, VLong(3)));
	EXPECT_EQ(LongOf(store, ""), 1);
}

TEST(PackedDictionary, StreamsInEitherByteOrderWithItsMap)
{
	for (bool swap : {false, true}) {
		SCOPED_TRACE(swap ? "swapped" : "native");
		Attributes store;
		Fill(store, 7);
		store.Append(StPackedDictionaryKey("text"), VString(u"h\u00E9llo"));
		store.Append(StPackedDictionaryKey("id"), VUUID("0123456789ABCDEF0123456789ABCDEF"));
		store.Append(StPackedDictionaryKey("real"), VReal(-2.5));
		std::vector<uint8> bytes =
			WrittenBytes([&](VStream& s) { EXPECT_EQ(store.WriteToStream(&s, true), VE_OK); }, swap);
		// The key block says the map follows.
		size_t flag = 8 + (bytes[4] | bytes[5] << 8 | bytes[6] << 16 | size_t(bytes[7]) << 24);
		if (swap)
			flag = 8 + (bytes[7] | bytes[6] << 8 | bytes[5] << 16 | size_t(bytes[4]) << 24);
		EXPECT_EQ(bytes[flag], 1);

		Attributes read;
		ASSERT_EQ(ReadBytes(bytes, [&](VStream& s) { return read.ReadFromStream(&s); }, swap), VE_OK);
		EXPECT_EQ(read.GetHashMapBucketCount(), store.GetHashMapBucketCount());
		EXPECT_EQ(LongOf(read, "key6"), 6);
		VString text;
		EXPECT_TRUE(read.GetValue(StPackedDictionaryKey("text"), text));
		EXPECT_EQ(to_string(text), "h\xC3\xA9llo");
		VUUID id;
		EXPECT_TRUE(read.GetValue(StPackedDictionaryKey("id"), id));
		EXPECT_EQ(id, VUUID("0123456789ABCDEF0123456789ABCDEF"));
		VReal real;
		EXPECT_TRUE(read.GetValue(StPackedDictionaryKey("real"), real));
		EXPECT_EQ(real.Get(), -2.5);
		// The writer's own runs are back in native order.
		EXPECT_EQ(LongOf(store, "key6"), 6);
	}
}

// Two attributes, no map: count, key bytes, keys "a" and "bc", flag, unit
// count, a Long run (3 units) and a string run of one unit (4 units).
std::vector<uint8> SmallDictionary()
{
	Attributes store;
	store.Append(StPackedDictionaryKey("a"), VLong(7));
	store.Append(StPackedDictionaryKey("bc"), VString("x"));
	return WrittenBytes([&](VStream& s) { store.WriteToStream(&s, false); });
}

void PutU32(std::vector<uint8>& ioBytes, size_t inAt, uint32 inValue)
{
	std::memcpy(ioBytes.data() + inAt, &inValue, 4);
}

TEST(PackedDictionary, ADamagedStreamEmptiesTheDictionaryAndAnswersAnError)
{
	std::vector<uint8> good = SmallDictionary();
	ASSERT_EQ(good.size(), 32u);
	struct Row {
		const char* fWhat;
		void (*fDamage)(std::vector<uint8>&);
	};
	const Row rows[] = {
		{"huge key count", [](std::vector<uint8>& b) { PutU32(b, 0, 0xFFFFFFFF); }},
		{"more keys than key bytes", [](std::vector<uint8>& b) { PutU32(b, 0, 9); }},
		{"key bytes beyond the stream", [](std::vector<uint8>& b) { PutU32(b, 4, 0x7FFFFFFF); }},
		{"key bytes not ending on a key", [](std::vector<uint8>& b) { PutU32(b, 4, 6); }},
		{"key length past the key bytes", [](std::vector<uint8>& b) { b[10] = 9; }},
		{"unknown map flag", [](std::vector<uint8>& b) { b[13] = 7; }},
		{"units beyond the stream", [](std::vector<uint8>& b) { PutU32(b, 14, 1000); }},
		{"fewer units than runs", [](std::vector<uint8>& b) { PutU32(b, 14, 3); }},
		{"string longer than its run", [](std::vector<uint8>& b) { PutU32(b, 26, 100); }},
		{"negative string length", [](std::vector<uint8>& b) { PutU32(b, 26, 0xFFFFFFF0); }},
		{"cut short", [](std::vector<uint8>& b) { b.resize(b.size() - 3); }},
	};
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fWhat);
		std::vector<uint8> bytes = good;
		row.fDamage(bytes);
		Attributes store;
		store.Append(StPackedDictionaryKey("old"), VLong(1));
		VConstPtrStream stream(bytes.data(), bytes.size());
		ASSERT_EQ(stream.OpenReading(), VE_OK);
		VError err = store.ReadFromStream(&stream);
		EXPECT_NE(err, VE_OK);
		EXPECT_EQ(stream.GetLastError(), err);
		EXPECT_EQ(store.GetCount(), 0u);
		EXPECT_EQ(store.GetBackstoreUnits(), 0u);
	}
	Attributes store;
	EXPECT_EQ(ReadBytes(good, [&](VStream& s) { return store.ReadFromStream(&s); }), VE_OK);
	EXPECT_EQ(LongOf(store, "a"), 7);
}

// A blob's run begins with its byte count, which must lie in the backstore
// and fit the run before it is read, in either byte order.
TEST(PackedDictionary, ABlobRunIsCheckedLikeAStringRun)
{
	Attributes store;
	store.Append(StPackedDictionaryKey("a"), VBlobWithPtr("xy", 2));
	for (bool swap : {false, true}) {
		SCOPED_TRACE(swap);
		std::vector<uint8> good = WrittenBytes([&](VStream& s) { store.WriteToStream(&s, false); }, swap);
		// count, key bytes, key "a", flag, unit count, kind, byte count, "xy".
		ASSERT_EQ(good.size(), 23u);
		Attributes read;
		ASSERT_EQ(ReadBytes(good, [&](VStream& s) { return read.ReadFromStream(&s); }, swap), VE_OK);
		VBlobWithPtr blob;
		ASSERT_TRUE(read.GetValue(StPackedDictionaryKey("a"), blob));
		EXPECT_EQ(blob.GetSize(), 2u);
	}
	auto put = [](std::vector<uint8>& ioBytes, size_t inAt, uint32 inValue) { PutU32(ioBytes, inAt, inValue); };
	struct Row {
		const char* fWhat;
		std::function<void(std::vector<uint8>&)> fDamage;
	};
	const Row rows[] = {
		{"byte count beyond the backstore",
		 [&](std::vector<uint8>& b) {
			 put(b, 11, 1);
			 b.resize(17);
		 }},
		{"blob longer than its run", [&](std::vector<uint8>& b) { put(b, 17, 3); }},
		{"negative byte count", [&](std::vector<uint8>& b) { put(b, 17, 0xFFFFFFF0); }},
	};
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fWhat);
		std::vector<uint8> bytes = WrittenBytes([&](VStream& s) { store.WriteToStream(&s, false); });
		row.fDamage(bytes);
		// An exact copy: a read past the end meets the sanitizer.
		std::unique_ptr<uint8[]> exact(new uint8[bytes.size()]);
		std::copy(bytes.begin(), bytes.end(), exact.get());
		VConstPtrStream stream(exact.get(), bytes.size());
		ASSERT_EQ(stream.OpenReading(), VE_OK);
		Attributes read;
		EXPECT_NE(read.ReadFromStream(&stream), VE_OK);
		EXPECT_EQ(read.GetCount(), 0u);
	}
}

TEST(PackedDictionary, AStoredMapThatLeadsNowhereIsRefused)
{
	Attributes store;
	Fill(store, 6);
	std::vector<uint8> good = WrittenBytes([&](VStream& s) { store.WriteToStream(&s, true); });
	// count, key bytes, 6 keys of 5 bytes, flag, bucket count (11), buckets.
	size_t buckets = 8 + 6 * 5 + 1 + 4;
	ASSERT_EQ(good[buckets - 5], 1);
	for (uint32 damage : {6u, 1000u, _VHashKeyMap::tag_empty}) {
		SCOPED_TRACE(damage);
		std::vector<uint8> bytes = good;
		// Every bucket the same: beyond the slots, or empty for every key.
		for (size_t i = 0; i < 11; ++i)
			PutU32(bytes, buckets + 4 * i, damage);
		Attributes read;
		EXPECT_NE(ReadBytes(bytes, [&](VStream& s) { return read.ReadFromStream(&s); }), VE_OK);
		EXPECT_EQ(read.GetCount(), 0u);
	}
	// A bucket count larger than the stream holds allocates nothing.
	std::vector<uint8> bytes = good;
	PutU32(bytes, buckets - 4, 0x40000000);
	Attributes read;
	EXPECT_NE(ReadBytes(bytes, [&](VStream& s) { return read.ReadFromStream(&s); }), VE_OK);
	EXPECT_EQ(read.GetCount(), 0u);
}

} // namespace
} // namespace qirn
