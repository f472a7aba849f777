// What strings do when the memory manager refuses a block: nothing is lost.
#include "RefusingMemory.h"

#include "core/VString.h"
#include "testing/RaisedErrors.h"

#include <gtest/gtest.h>

#include <vector>

namespace qirn {
namespace {

using testing::StRefusingMemory;

TEST(StringOutOfMemory, SwapOfAnInlineAndAHeapStringChangesNothing)
{
	VStr<15> small("inline text");
	VString heap("a text long enough to live on the heap");
	testing::RaisedErrors raised;
	{
		StRefusingMemory refusing;
		ASSERT_TRUE(refusing.IsRefusing());
		small.Swap(heap);
	}
	EXPECT_EQ(raised.Codes(), std::vector<VError>{VE_STRING_ALLOC_FAILED});
	EXPECT_EQ(small.GetLength(), 11);
	EXPECT_EQ(heap.GetLength(), 38);
	VString expectedSmall("inline text");
	VString expectedHeap("a text long enough to live on the heap");
	EXPECT_TRUE(small.EqualToStringRaw(expectedSmall));
	EXPECT_TRUE(heap.EqualToStringRaw(expectedHeap));
}

// The decoder's work block is refused: memory full, and nothing decoded.
TEST(StringOutOfMemory, DecodingBase64RaisesMemoryFull)
{
	VString text("YWJj");
	VMemoryBuffer<> decoded;
	testing::RaisedErrors raised;
	{
		StRefusingMemory refusing;
		ASSERT_TRUE(refusing.IsRefusing());
		EXPECT_FALSE(text.DecodeBase64(decoded));
	}
	EXPECT_EQ(raised.Codes(), std::vector<VError>{VE_MEMORY_FULL});
	EXPECT_EQ(decoded.GetDataSize(), 0u);
}

} // namespace
} // namespace qirn
