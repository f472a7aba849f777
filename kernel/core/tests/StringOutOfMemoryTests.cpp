// What strings do when the memory manager refuses a block: nothing is lost.
#include "TestPool.h"

#include "core/VObject.h"
#include "core/VString.h"

#include <gtest/gtest.h>

#include <memory>

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
