#include "json/VJSONArray.h"
#include "json/VJSONObject.h"
#include "runtime/VMetricsManager.h"

#include <gtest/gtest.h>

namespace qirn {
namespace {

VJSONValue Item(const VJSONArray* inArray, size_t inIndex)
{
	return inArray->GetAt(inIndex);
}

TEST(MetricsCollect, NothingIsCollectedBeforeStart)
{
	VMetricsManager metrics;
	VJSONValue data(JSON_object);
	metrics.Push(kMetricsKindProgressIndicator, 1000, data.GetObject());
	VRefPtr<VJSONArray> collected = metrics.Collect();
	ASSERT_TRUE(collected);
	EXPECT_EQ(collected->GetCount(), 0u);
}

TEST(MetricsCollect, RecordsBecomeObjectsWithKindBitDurationInSecondsAndACopyOfTheirData)
{
	VMetricsManager metrics;
	metrics.Start(100, 4);
	VJSONValue data(JSON_object);
	data.GetObject()->SetProperty(VString("title"), VJSONValue(VString("copying")));
	metrics.Push(kMetricsKindProgressIndicator, 250, data.GetObject());
	metrics.Push(kMetricsKindProgressIndicator, 99, data.GetObject());
	metrics.Push(static_cast<EMetricsKind>(1), 250, data.GetObject());
	metrics.Push(kMetricsKindProgressIndicator, 300);

	VRefPtr<VJSONArray> collected = metrics.Collect();
	data.GetObject()->SetProperty(VString("title"), VJSONValue(VString("changed")));
	ASSERT_EQ(collected->GetCount(), 2u);
	VJSONValue first = Item(collected.Get(), 0);
	EXPECT_EQ(first.GetProperty(VString("activityKind")).GetNumber(), 4);
	EXPECT_DOUBLE_EQ(first.GetProperty(VString("activityDuration")).GetNumber(), 0.25);
	VJSONValue copied = first.GetProperty(VString("activityData"));
	ASSERT_TRUE(copied.IsObject());
	EXPECT_NE(copied.GetObject(), data.GetObject());
	VString title;
	VJSONValue::GetStringByPath(first, VString("activityData.title"), title);
	EXPECT_EQ(to_string(title), "copying");
	EXPECT_FALSE(Item(collected.Get(), 1).GetObject()->HasOwnProperty(VString("activityData")));
	EXPECT_EQ(metrics.Collect()->GetCount(), 2u);
}

TEST(MetricsCollect, ResetDropsTheRecordsAndTheirData)
{
	VMetricsManager metrics;
	metrics.Start(0, 4);
	VJSONValue data(JSON_object);
	metrics.Push(kMetricsKindProgressIndicator, 5, data.GetObject());
	EXPECT_EQ(data.GetObject()->GetRefCount(), 2u);
	metrics.Reset();
	EXPECT_EQ(data.GetObject()->GetRefCount(), 1u);
	metrics.Push(kMetricsKindProgressIndicator, 5, data.GetObject());
	EXPECT_EQ(metrics.Collect()->GetCount(), 0u);
}

} // namespace
} // namespace qirn
