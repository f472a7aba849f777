#include "core/VCompareOptions.h"
#include "json/VJSONCloner.h"
#include "json/VStorageLocker.h"
#include "json/tests/JSONTestSupport.h"

namespace qirn {
namespace {

using testing::JSONLeakMonitor;
using testing::NewObject;
using testing::U;

TEST(JSONCloner, ACopyIsDeepAndIndependent)
{
	VJSONValue source(JSON_object);
	source.GetObject()->SetPropertyWithPath(U("a.list[1].n"), VJSONValue(1.0));
	source.GetObject()->SetProperty(U("text"), VJSONValue(U("t")));
	VJSONValue copy = source;
	VJSONCloner cloner;
	ASSERT_EQ(cloner.CloneValue(copy), VE_OK);
	ASSERT_TRUE(copy.IsObject());
	EXPECT_NE(copy.GetObject(), source.GetObject());
	VCompareOptions options;
	EXPECT_TRUE(copy.DeepEqualTo(source, options));
	copy.GetObject()->SetPropertyWithPath(U("a.list[1].n"), VJSONValue(2.0));
	EXPECT_EQ(source.GetObject()->GetPropertyWithPath(U("a.list[1].n")).GetNumber(), 1);
}

TEST(JSONCloner, AChildHeldTwiceIsCopiedOnceAndCyclesAreReproduced)
{
	JSONLeakMonitor monitor;
	{
		VRefPtr<VJSONObject> source = NewObject();
		VJSONValue child(JSON_object);
		source->SetProperty(U("x"), child);
		source->SetProperty(U("y"), child);
		source->SetProperty(U("self"), VJSONValue(source.Get()));
		VJSONValue copy;
		{
			VJSONCloner cloner;
			ASSERT_EQ(cloner.CloneObject(source.Get(), copy), VE_OK);
		}
		VJSONObject* clone = copy.GetObject();
		ASSERT_NE(clone, nullptr);
		EXPECT_NE(clone, source.Get());
		EXPECT_EQ(clone->GetProperty(U("x")).GetObject(), clone->GetProperty(U("y")).GetObject());
		EXPECT_NE(clone->GetProperty(U("x")).GetObject(), child.GetObject());
		EXPECT_EQ(clone->GetProperty(U("self")).GetObject(), clone);
		source->RemoveProperty(U("self"));
	}
	EXPECT_EQ(monitor.Objects(), 0);
}

TEST(JSONCloner, SharedContainersAreKeptOrGroupedByMode)
{
	VRefPtr<VJSONObject> shared = VRefPtr<VJSONObject>::Adopt(new VJSONObject(nullptr, nullptr, true));
	VRefPtr<VJSONObject> holder = NewObject();
	holder->SetProperty(U("shared"), VJSONValue(shared.Get()));
	holder->SetProperty(U("list"), VJSONValue(JSON_array));

	VJSONCloner keep(VJSONCloner::kModeKeepShared);
	VJSONValue kept;
	ASSERT_EQ(keep.CloneObject(holder.Get(), kept), VE_OK);
	EXPECT_EQ(kept.GetObject()->GetProperty(U("shared")).GetObject(), shared.Get());

	VJSONCloner group(VJSONCloner::kModeOneLocker);
	VJSONValue grouped;
	ASSERT_EQ(group.CloneObject(holder.Get(), grouped), VE_OK);
	VRefPtr<VStorageLocker> locker = grouped.GetObject()->GetStorageLocker();
	ASSERT_TRUE(locker);
	VJSONValue list = grouped.GetObject()->GetProperty(U("list"));
	ASSERT_TRUE(list.IsArray());
	EXPECT_EQ(list.GetArray()->GetStorageLocker(), locker);
	VJSONValue copied = grouped.GetObject()->GetProperty(U("shared"));
	ASSERT_TRUE(copied.IsObject());
	EXPECT_NE(copied.GetObject(), shared.Get());
	EXPECT_EQ(copied.GetObject()->GetStorageLocker(), locker);
}

} // namespace
} // namespace qirn
