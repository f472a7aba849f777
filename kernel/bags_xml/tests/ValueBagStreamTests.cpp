#include "bags_xml/tests/BagTestSupport.h"
#include "bags_xml/VBagArray.h"
#include "bags_xml/VValueBag.h"
#include "bags_xml/tests/OlderBagBody.h"
#include "core/VArrayString.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "core/VLong.h"

#include <gtest/gtest.h>

#include <pthread.h>

namespace qirn {
namespace {

using testing::ReadBytes;
using testing::WrittenBytes;
using Bytes = std::vector<uint8>;
using Bag = VRefPtr<VValueBag>;

Bag NewBag()
{
	return Bag::Adopt(new VValueBag);
}

// Attributes of several kinds, enough names for a stored lookup map,
// repeated elements, nesting and removals.
Bag SampleBag()
{
	Bag bag = NewBag();
	bag->SetLong("n", 42);
	bag->SetString("s", VString("t\u00e9xt"));
	bag->SetReal("r", 2.5);
	bag->SetBool("b", true);
	for (int i = 0; i < 8; ++i) {
		Bag child = NewBag();
		child->SetLong("i", i);
		for (int j = 0; j < 8; ++j)
			child->SetLong(std::string("k" + std::to_string(j)).c_str(), j);
		child->RemoveAttribute("k3");
		bag->AddElement("item", child.Get());
	}
	Bag deep = NewBag();
	deep->AppendToCData(VString("text"));
	Bag middle = NewBag();
	middle->AddElement("leaf", deep.Get());
	bag->AddElement("middle", middle.Get());
	bag->AddElement("gone", NewBag().Get());
	bag->RemoveElements("gone");
	bag->RemoveAttribute("b");
	return bag;
}

Bytes Write(const VValueBag& inBag, bool inBigEndian)
{
	return WrittenBytes([&](VStream& s) { EXPECT_EQ(inBag.WriteToStream(&s), VE_OK); }, inBigEndian);
}

TEST(ValueBagStream, RoundTripsInBothByteOrders)
{
	Bag bag = SampleBag();
	for (bool big : {false, true}) {
		SCOPED_TRACE(big);
		Bytes bytes = Write(*bag, big);
		Bag read = NewBag();
		ASSERT_EQ(ReadBytes(bytes, [&](VStream& s) { return read->ReadFromStream(&s); }, big), VE_OK);
		EXPECT_EQ(Write(*read, big), bytes);
		sLONG n = 0;
		EXPECT_TRUE(read->GetLong("n", n));
		EXPECT_EQ(n, 42);
		EXPECT_EQ(read->GetElements("item")->GetCount(), 8);
		EXPECT_FALSE(read->AttributeExists("b"));
		EXPECT_EQ(read->GetElements("gone"), nullptr);
		VString cdata;
		EXPECT_TRUE(read->GetUniqueElementByPath(VString("middle/leaf"))->GetCData(cdata));
		EXPECT_EQ(to_string(cdata), "text");
	}
}

// Fixed bytes: a bag with one empty child "c", as either byte order writes it.
TEST(ValueBagStream, FixturesOfEachByteOrder)
{
	const Bytes big = {'V', 'B', 'A', 'G', 0, 1, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0, 2, 1, 'c', 0, 0, 0, 0, 1, 0};
	const Bytes little = {'G', 'A', 'B', 'V', 1, 0, 0, 0, 2, 1, 0, 0, 0, 2, 0, 0, 0, 1, 'c', 0, 1, 0, 0, 0, 0};
	Bag bag = NewBag();
	bag->AddElement("c", NewBag().Get());
	EXPECT_EQ(Write(*bag, true), big);
	EXPECT_EQ(Write(*bag, false), little);
	for (bool swap : {false, true}) {
		Bag read = NewBag();
		ASSERT_EQ(ReadBytes(swap ? big : little, [&](VStream& s) { return read->ReadFromStream(&s); }, swap), VE_OK);
		ASSERT_NE(read->GetElements("c"), nullptr);
		EXPECT_EQ(read->GetElements("c")->GetCount(), 1);
	}
}

TEST(ValueBagStream, BodiesWithAndWithoutStoredMapsLoad)
{
	Bag bag = SampleBag();
	for (bool withMap : {false, true}) {
		SCOPED_TRACE(withMap);
		Bytes bytes = WrittenBytes([&](VStream& s) { EXPECT_EQ(bag->WriteToStreamMinimal(&s, withMap), VE_OK); });
		Bag read = NewBag();
		ASSERT_EQ(ReadBytes(bytes, [&](VStream& s) { return read->ReadFromStreamMinimal(&s); }), VE_OK);
		EXPECT_EQ(Write(*read, false), Write(*bag, false));
	}
}

TEST(ValueBagStream, HeaderErrors)
{
	Bytes bytes = Write(*SampleBag(), false);
	struct Row {
		size_t fOffset;
		uint8 fByte;
		VError fExpected;
	};
	const Row rows[] = {
		{0, 'X', VE_STREAM_BAD_SIGNATURE},
		{4, 2, VE_BAG_BAD_VERSION},
		// The reserved word is not checked.
		{6, 7, VE_OK},
	};
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fOffset);
		Bytes changed = bytes;
		changed[row.fOffset] = row.fByte;
		Bag read = SampleBag();
		EXPECT_EQ(ReadBytes(changed, [&](VStream& s) { return read->ReadFromStream(&s); }), row.fExpected);
		if (row.fExpected != VE_OK) {
			EXPECT_TRUE(read->IsEmpty());
		}
	}
}

TEST(ValueBagStream, EveryPrefixFailsAndLeavesTheBagEmpty)
{
	Bytes bytes = Write(*SampleBag(), false);
	for (size_t size = 0; size < bytes.size(); ++size) {
		Bytes prefix(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
		Bag read = NewBag();
		EXPECT_NE(ReadBytes(prefix, [&](VStream& s) { return read->ReadFromStream(&s); }), VE_OK) << size;
		EXPECT_TRUE(read->IsEmpty()) << size;
	}
}

TEST(ValueBagStream, AHugeCountEndsWithTheStream)
{
	// One element "c" claiming 0xFFFFFFFF bags, followed by three.
	const Bytes bytes = {'G', 'A', 'B', 'V', 1, 0, 0, 0, 2, 1, 0, 0, 0, 2, 0, 0, 0, 1, 'c', 0,
						 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0};
	Bag read = NewBag();
	EXPECT_EQ(ReadBytes(bytes, [&](VStream& s) { return read->ReadFromStream(&s); }), VE_STREAM_EOF);
	EXPECT_TRUE(read->IsEmpty());
}

// Each level: flags, one element name "c", one bag.
Bytes Nested(size_t inLevels)
{
	const Bytes level = {2, 1, 0, 0, 0, 2, 0, 0, 0, 1, 'c', 0, 1, 0, 0, 0};
	Bytes bytes = {'G', 'A', 'B', 'V', 1, 0, 0, 0};
	bytes.reserve(bytes.size() + level.size() * inLevels + 1);
	for (size_t i = 0; i < inLevels; ++i)
		bytes.insert(bytes.end(), level.begin(), level.end());
	bytes.push_back(0);
	return bytes;
}

// Runs inWork on a thread with a stack of inBytes.
template <class Work>
void OnSmallStack(size_t inBytes, Work inWork)
{
	pthread_attr_t attributes;
	pthread_attr_init(&attributes);
	pthread_attr_setstacksize(&attributes, inBytes);
	pthread_t thread;
	auto run = [](void* inWork) -> void* {
		(*static_cast<Work*>(inWork))();
		return nullptr;
	};
	ASSERT_EQ(pthread_create(&thread, &attributes, run, &inWork), 0);
	pthread_join(thread, nullptr);
	pthread_attr_destroy(&attributes);
}

TEST(ValueBagStream, NestingIsLimitedByTheStackOnly)
{
	Bag read = NewBag();
	EXPECT_EQ(ReadBytes(Nested(2000), [&](VStream& s) { return read->ReadFromStream(&s); }), VE_OK);
	// Far deeper than a 2 MB stack holds: refused before it runs out.
	Bytes deep = Nested(200000);
	VError err = VE_OK;
	OnSmallStack(2 * 1024 * 1024, [&]() {
		Bag inner = NewBag();
		err = ReadBytes(deep, [&](VStream& s) { return inner->ReadFromStream(&s); });
		EXPECT_TRUE(inner->IsEmpty());
	});
	EXPECT_EQ(err, VE_STACK_OVERFLOW);
}

TEST(ValueBagStream, OlderBodyLoads)
{
	Bytes bytes = WrittenBytes([&](VStream& s) { testing::WriteOlderBagBody(s); });
	Bag read = NewBag();
	ASSERT_EQ(ReadBytes(bytes, [&](VStream& s) { return read->_ReadFromStream_v1(&s); }), VE_OK);
	sLONG a = 0;
	VString b;
	EXPECT_TRUE(read->GetLong("a", a));
	EXPECT_EQ(a, 7);
	EXPECT_TRUE(read->GetString("b", b));
	EXPECT_EQ(to_string(b), "hello");
	ASSERT_NE(read->GetElements("e"), nullptr);
	EXPECT_EQ(read->GetElements("e")->GetCount(), 1);
}

} // namespace
} // namespace qirn
