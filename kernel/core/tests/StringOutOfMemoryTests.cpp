// What strings do when the memory manager refuses a block: nothing is lost.
#include "TestPool.h"

#include "core/VObject.h"
#include "core/VString.h"
#include "testing/RaisedErrors.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace qirn {
namespace {

// Puts a manager whose pools have no memory in the process's place for a
// scope. Only operations that take new blocks may run inside it.
class StRefusingMemory {
public:
	StRefusingMemory() : fManager(new VCppMemMgr(eAllocator_Pools)), fPrevious(VObject::sCppMemMgr)
	{
		VObject::sCppMemMgr = fManager.get();
	}
	~StRefusingMemory() { VObject::sCppMemMgr = fPrevious; }
	bool IsRefusing() const { return !fManager->IsSingleAllocator(); }

private:
	testing::StTestPools fPools;
	std::unique_ptr<VCppMemMgr> fManager;
	VCppMemMgr* fPrevious;
};

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
