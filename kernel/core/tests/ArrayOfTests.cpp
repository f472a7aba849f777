// The growable array of plain values with 1-based positions, its retaining
// form and its iterator.
#include "RefusingMemory.h"

#include "core/IRefCountable.h"
#include "core/VArrayIteratorOf.h"
#include "core/VArrayOf.h"
#include "core/VArrayRetainedPtrOf.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace qirn {
namespace {

std::vector<uint32> Values(const VArrayOf<uint32>& inArray)
{
	std::vector<uint32> values;
	for (sLONG pos = 1; pos <= inArray.GetCount(); ++pos)
		values.push_back(inArray.GetNth(pos));
	return values;
}

TEST(ArrayOf, InsertsAndRemovesAtOneBasedPositions)
{
	VArrayOf<uint32> array;
	EXPECT_TRUE(array.AddTail(2));
	EXPECT_TRUE(array.AddHead(1));
	EXPECT_TRUE(array.AddNth(4, 3));
	EXPECT_TRUE(array.AddNth(3, 3));
	EXPECT_FALSE(array.AddNth(9, 0));
	EXPECT_FALSE(array.AddNth(9, 6));
	EXPECT_EQ(Values(array), (std::vector<uint32>{1, 2, 3, 4}));
	EXPECT_EQ(array.GetNth(0), 0u);
	EXPECT_EQ(array.GetNth(5), 0u);
	EXPECT_EQ(array.GetFirst(), 1u);
	EXPECT_EQ(array.GetLast(), 4u);
	EXPECT_EQ(array.FindPos(3), 3);
	EXPECT_EQ(array.FindPos(3, 4), 0);
	EXPECT_EQ(array.FindPos(7), 0);

	array.DeleteNth(2, 2);
	EXPECT_EQ(Values(array), (std::vector<uint32>{1, 4}));
	array.DeleteNth(2, 100); // fewer at the end
	EXPECT_EQ(Values(array), (std::vector<uint32>{1}));
	array.DeleteNth(2);
	EXPECT_EQ(array.GetCount(), 1);
	EXPECT_TRUE(array.SetNth(8, 1));
	EXPECT_FALSE(array.SetNth(8, 2));
	EXPECT_FALSE(array.DeleteItem(1));
	EXPECT_TRUE(array.DeleteItem(8));
	EXPECT_TRUE(array.IsEmpty());
}

TEST(ArrayOf, GrowsByItsStep)
{
	VArrayOf<uint32> array;
	EXPECT_EQ(array.GetGrowthStep(), 10);
	for (uint32 value = 1; value <= 11; ++value) {
		ASSERT_TRUE(array.AddTail(value));
		EXPECT_EQ(array.GetAllocatedCount(), value <= 10 ? 10 : 20);
	}
	std::vector<uint32> expected;
	for (uint32 value = 1; value <= 11; ++value)
		expected.push_back(value);
	EXPECT_EQ(Values(array), expected);
	array.DeleteAll();
	EXPECT_EQ(array.GetAllocatedCount(), 0);
	EXPECT_EQ(array.GetData(), nullptr);
}

TEST(ArrayOf, NoMemoryRefusesTheValueAndKeepsTheArray)
{
	testing::StRefusingMemory refusing;
	if (!refusing.IsRefusing())
		GTEST_SKIP() << "the pools are not in use";
	VArrayOf<uint32> array;
	EXPECT_FALSE(array.AddTail(1));
	EXPECT_EQ(array.GetCount(), 0);
}

TEST(ArrayOf, AUniqueArrayRefusesAValueItHolds)
{
	VArrayOf<uint32> array;
	array.SetUnique(true);
	EXPECT_TRUE(array.AddTail(5));
	EXPECT_TRUE(array.AddTail(6));
	EXPECT_FALSE(array.AddHead(5));
	EXPECT_FALSE(array.SetNth(6, 1));
	EXPECT_TRUE(array.SetNth(5, 1));
	EXPECT_EQ(Values(array), (std::vector<uint32>{5, 6}));
}

TEST(ArrayOf, TheCallersBlockIsCopiedBeforeItGrowsAndNeverFreed)
{
	uint32 block[3] = {7, 8, 9};
	{
		VArrayOf<uint32> array;
		array.SetDataNotOwned(block, 3);
		EXPECT_FALSE(array.IsDataOwned());
		EXPECT_EQ(Values(array), (std::vector<uint32>{7, 8, 9}));
		ASSERT_TRUE(array.AddHead(6));
		EXPECT_TRUE(array.IsDataOwned());
		EXPECT_NE(array.GetData(), block);
		EXPECT_EQ(Values(array), (std::vector<uint32>{6, 7, 8, 9}));
	}
	EXPECT_EQ(block[0], 7u);
	EXPECT_EQ(block[2], 9u);
}

class Counted : public IRefCountable {
public:
	explicit Counted(int& ioDeleted) : fDeleted(ioDeleted) {}
	~Counted() override { ++fDeleted; }

private:
	int& fDeleted;
};

TEST(ArrayOf, ARetainingArrayReleasesWhatLeavesIt)
{
	int deleted = 0;
	Counted* kept = new Counted(deleted);
	{
		VArrayRetainedPtrOf<Counted*> array;
		array.AddTail(new Counted(deleted));
		array.AddTail(new Counted(deleted));
		array.AddTail(kept);
		kept->Retain();
		array.AddTail(nullptr);
		array.DeleteNth(1);
		EXPECT_EQ(deleted, 1);
		array.SetNth(new Counted(deleted), 1);
		EXPECT_EQ(deleted, 2);
	}
	EXPECT_EQ(deleted, 3);
	EXPECT_EQ(kept->GetRefCount(), 1u);
	kept->Release();
	EXPECT_EQ(deleted, 4);
}

TEST(ArrayOf, TheIteratorWalksBothWaysAndEndsOnNull)
{
	VArrayOf<uint32> array;
	for (uint32 value : {10u, 20u, 30u})
		array.AddTail(value);
	VArrayIteratorOf<uint32> it(array);
	EXPECT_EQ(it.GetPos(), 0);
	EXPECT_EQ(it.Current(), 0u);
	std::vector<uint32> forward;
	while (uint32 value = it.Next())
		forward.push_back(value);
	EXPECT_EQ(forward, (std::vector<uint32>{10, 20, 30}));
	EXPECT_EQ(it.GetPos(), 4);
	EXPECT_EQ(it.Next(), 0u);
	EXPECT_EQ(it.GetPos(), 4);
	std::vector<uint32> backward;
	while (uint32 value = it.Previous())
		backward.push_back(value);
	EXPECT_EQ(backward, (std::vector<uint32>{30, 20, 10}));
	EXPECT_EQ(it.GetPos(), 0);
	EXPECT_EQ(it.Last(), 30u);
	EXPECT_EQ(it.First(), 10u);
	it.SetPos(2);
	EXPECT_EQ(it.Current(), 20u);
	it.SetPos(99);
	EXPECT_EQ(it.GetPos(), 4);
	it.SetPos(-3);
	EXPECT_EQ(it.GetPos(), 0);
	// Starting at a position.
	VArrayIteratorOf<uint32> fromTwo(array, 2);
	EXPECT_EQ(fromTwo.Next(), 30u);

	VArrayOf<uint32> empty;
	VArrayIteratorOf<uint32> none(empty);
	EXPECT_EQ(none.Next(), 0u);
	EXPECT_EQ(none.First(), 0u);
	EXPECT_EQ(none.Last(), 0u);
	EXPECT_EQ(none.Previous(), 0u);
}

} // namespace
} // namespace qirn
