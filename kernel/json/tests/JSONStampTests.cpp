#include "json/VJSONStamp.h"
#include "json/tests/JSONTestSupport.h"

namespace qirn {
namespace {

using testing::NewObject;
using testing::U;

TEST(JSONStamp, AStoredSubtreeSharesItsHoldersStamp)
{
	VRefPtr<VJSONObject> parent = NewObject();
	VRefPtr<VJSONStamp> stamp = VRefPtr<VJSONStamp>::Adopt(new VJSONStamp);
	parent->SetJSONStamp(stamp.Get());
	VJSONValue child(JSON_object);
	child.GetObject()->SetProperty(U("grand"), VJSONValue(JSON_array));
	parent->SetProperty(U("child"), child);
	EXPECT_EQ(child.GetObject()->GetJSONStamp(), stamp.Get());
	EXPECT_EQ(child.GetProperty(U("grand")).GetArray()->GetJSONStamp(), stamp.Get());
	uint32 before = stamp->GetCounter();
	child.GetProperty(U("grand")).GetArray()->Push(VJSONValue(1.0));
	EXPECT_GT(stamp->GetCounter(), before);
	before = stamp->GetCounter();
	child.GetObject()->RemoveProperty(U("absent"));
	EXPECT_GT(stamp->GetCounter(), before);
}

TEST(JSONStamp, TouchingOnePropertyChangesOnlyItsStampAndTheCounter)
{
	VRefPtr<VJSONObject> object = NewObject();
	VRefPtr<VJSONStamp> stamp = VRefPtr<VJSONStamp>::Adopt(new VJSONStamp);
	object->SetJSONStamp(stamp.Get());
	object->SetProperty(U("a"), VJSONValue(1.0));
	object->SetProperty(U("b"), VJSONValue(2.0));
	uint32 a = object->GetPropertyStamp(U("a"));
	uint32 b = object->GetPropertyStamp(U("b"));
	uint32 counter = stamp->GetCounter();
	EXPECT_NE(a, 0u);
	object->TouchPropertyStampWithPath(U("a"));
	EXPECT_NE(object->GetPropertyStamp(U("a")), a);
	EXPECT_EQ(object->GetPropertyStamp(U("b")), b);
	EXPECT_EQ(stamp->GetCounter(), counter + 1);
	EXPECT_EQ(object->GetPropertyStamp(U("absent")), 0u);
}

TEST(JSONStamp, PathsReachIntoObjectsAndArrays)
{
	VRefPtr<VJSONObject> object = NewObject();
	object->SetPropertyWithPath(U("list[2]"), VJSONValue(1.0));
	object->SetPropertyWithPath(U("o.p"), VJSONValue(1.0));
	EXPECT_EQ(object->GetPropertyStampWithPath(U("list.length")), 3u);
	VJSONValue list = object->GetProperty(U("list"));
	uint32 element = object->GetPropertyStampWithPath(U("list.2"));
	EXPECT_EQ(element, list.GetArray()->GetStampAt(2));
	object->TouchPropertyStampWithPath(U("list.2"));
	EXPECT_NE(object->GetPropertyStampWithPath(U("list.2")), element);
	EXPECT_EQ(object->GetPropertyStampWithPath(U("list.9")), 0u);
	uint32 p = object->GetPropertyStampWithPath(U("o.p"));
	EXPECT_NE(p, 0u);
	object->TouchPropertyStampWithPath(U("o.p"));
	EXPECT_NE(object->GetPropertyStampWithPath(U("o.p")), p);
	EXPECT_EQ(object->GetPropertyStampWithPath(U("a..b")), 0u);
}

TEST(JSONStamp, ArrayElementsKeepTheStampOfTheirLastChange)
{
	VRefPtr<VJSONArray> array = testing::NewArray();
	array->Push(VJSONValue(1.0));
	array->Push(VJSONValue(2.0));
	uint32 first = array->GetStampAt(0);
	uint32 second = array->GetStampAt(1);
	EXPECT_NE(first, second);
	EXPECT_EQ(array->GetStampAt(0), first);
	array->SetAt(1, VJSONValue(3.0));
	EXPECT_NE(array->GetStampAt(1), second);
	EXPECT_EQ(array->GetStampAt(0), first);
	array->TouchStampAt(0);
	EXPECT_NE(array->GetStampAt(0), first);
	EXPECT_EQ(array->GetStampAt(9), 0u);
	array->TouchStampAt(9);
	EXPECT_EQ(array->GetCount(), 2u);
}

} // namespace
} // namespace qirn
