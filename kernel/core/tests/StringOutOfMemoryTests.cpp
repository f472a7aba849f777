// What strings do when the memory manager refuses a block: nothing is lost.
#include "RefusingMemory.h"

#include "core/VString.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

using testing::StRefusingMemory;

TEST(StringOutOfMemory, SwapOfAnInlineAndAHeapStringChangesNothing)
{
	VStr<15> small("inline text");
	VString heap("a text long enough to live on the heap");
	{
		StRefusingMemory refusing;
		ASSERT_TRUE(refusing.IsRefusing());
		small.Swap(heap);
	}
	EXPECT_EQ(small.GetLength(), 11);
	EXPECT_EQ(heap.GetLength(), 38);
	VString expectedSmall("inline text");
	VString expectedHeap("a text long enough to live on the heap");
	EXPECT_TRUE(small.EqualToStringRaw(expectedSmall));
	EXPECT_TRUE(heap.EqualToStringRaw(expectedHeap));
}

} // namespace
} // namespace qirn
