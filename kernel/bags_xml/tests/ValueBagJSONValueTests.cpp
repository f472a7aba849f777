// Bags made from JSON objects and turned back into them.
#include "bags_xml/VBagArray.h"
#include "bags_xml/VValueBag.h"
#include "core/VBoolean.h"
#include "core/VLong8.h"
#include "core/VReal.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "json/VJSONArray.h"
#include "json/VJSONErrors.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "runtime/VErrorContext.h"

#include <gtest/gtest.h>

#include <string>

namespace qirn {
namespace {

using Object = VRefPtr<VJSONObject>;
using Array = VRefPtr<VJSONArray>;
using Bag = VRefPtr<VValueBag>;

Object NewObject()
{
	return Object::Adopt(new VJSONObject());
}

Bag NewBag()
{
	return Bag::Adopt(new VValueBag());
}

// {"name": "x", "count": 3, "ratio": 0.5, "on": true,
//  "child": {"a": 1}, "list": [{"b": 2}, "text", 4], "__CDATA": "body"}
Object Sample()
{
	Object object = NewObject();
	object->SetProperty(VString("name"), VJSONValue(VString("x")));
	object->SetProperty(VString("count"), VJSONValue(3.0));
	object->SetProperty(VString("ratio"), VJSONValue(0.5));
	VJSONValue on;
	on.SetBool(true);
	object->SetProperty(VString("on"), on);
	Object child = NewObject();
	child->SetProperty(VString("a"), VJSONValue(1.0));
	object->SetProperty(VString("child"), VJSONValue(child.Get()));
	Array list = Array::Adopt(new VJSONArray());
	Object item = NewObject();
	item->SetProperty(VString("b"), VJSONValue(2.0));
	list->Push(VJSONValue(item.Get()));
	list->Push(VJSONValue(VString("text")));
	list->Push(VJSONValue(4.0));
	object->SetProperty(VString("list"), VJSONValue(list.Get()));
	object->SetProperty(VString("__CDATA"), VJSONValue(VString("body")));
	return object;
}

TEST(BagFromJSON, TypesScalarsAndShapesContainers)
{
	Object sample = Sample();
	sample->SetProperty(VString("none"), VJSONValue(JSON_null));
	Bag bag = NewBag();
	ASSERT_EQ(bag->FromJSONValue(VJSONValue(sample.Get())), VE_OK);

	struct Row {
		const char* fName;
		uint16 fKind;
	};
	const Row rows[] = {{"name", 10}, {"count", 5}, {"ratio", 6}, {"on", 1}, {"none", 10}};
	const VValueBag::Attributes& attributes = bag->GetAttributes();
	for (const Row& row : rows) {
		SCOPED_TRACE(row.fName);
		const size_t index = attributes._Find(StPackedDictionaryKey(row.fName));
		ASSERT_NE(index, attributes.End());
		EXPECT_EQ(attributes.GetKindAt(index), row.fKind);
	}
	// Attributes are stored flat, without their null flag: null reads back empty.
	VString text;
	ASSERT_TRUE(bag->GetString(StPackedDictionaryKey("none"), text));
	EXPECT_TRUE(text.IsEmpty());
	ASSERT_TRUE(bag->GetCData(text));
	EXPECT_EQ(to_string(text), "body");

	// An object is one marked child; an array one child per item, scalars
	// standing in children of their own.
	const VBagArray* child = bag->GetElements(StPackedDictionaryKey("child"));
	ASSERT_NE(child, nullptr);
	ASSERT_EQ(child->GetCount(), 1);
	EXPECT_TRUE(child->GetNth(1)->AttributeExists(StPackedDictionaryKey("____objectunic")));
	const VBagArray* list = bag->GetElements(StPackedDictionaryKey("list"));
	ASSERT_NE(list, nullptr);
	ASSERT_EQ(list->GetCount(), 3);
	EXPECT_FALSE(list->GetNth(1)->AttributeExists(StPackedDictionaryKey("____objectunic")));
	ASSERT_TRUE(list->GetNth(2)->GetString(StPackedDictionaryKey("____FakeArrayElement"), text));
	EXPECT_EQ(to_string(text), "text");
}

TEST(BagFromJSON, ComesBackAsTheSameObject)
{
	const Object sample = Sample();
	Bag bag = NewBag();
	ASSERT_EQ(bag->FromJSONValue(VJSONValue(sample.Get())), VE_OK);
	VError error = VE_OK;
	Object built = Object::Adopt(bag->BuildJSONObject(error));
	ASSERT_EQ(error, VE_OK);
	ASSERT_NE(built, nullptr);
	EXPECT_TRUE(built->DeepEqualTo(sample.Get(), VCompareOptions()));

	VJSONValue value;
	EXPECT_EQ(bag->GetJSONValue(value, 0), VE_OK);
	ASSERT_TRUE(value.IsObject());
	EXPECT_TRUE(value.GetObject()->DeepEqualTo(sample.Get(), VCompareOptions()));
}

TEST(BagFromJSON, RefusesAnythingButAnObject)
{
	StErrorContextInstaller scope(false);
	const VJSONValue values[] = {VJSONValue(1.0), VJSONValue(VString("x")), VJSONValue(JSON_null), VJSONValue()};
	for (const VJSONValue& value : values) {
		SCOPED_TRACE(value.GetType());
		Bag bag = NewBag();
		EXPECT_EQ(bag->FromJSONValue(value), VE_JSON_MALFORMED);
		EXPECT_TRUE(bag->IsEmpty());
	}
}

TEST(BagFromJSON, StopsAtACycleInsteadOfRecursingForever)
{
	StErrorContextInstaller scope(false);
	Object object = NewObject();
	Array array = Array::Adopt(new VJSONArray());
	object->SetProperty(VString("self"), VJSONValue(array.Get()));
	array->Push(VJSONValue(object.Get()));
	Bag bag = NewBag();
	EXPECT_EQ(bag->FromJSONValue(VJSONValue(object.Get())), VE_JSON_CIRCULAR);
	EXPECT_EQ(scope.GetLastError(), VE_JSON_CIRCULAR);
	// Break the cycle so that both are freed.
	array->Clear();
}

TEST(BagFromJSON, LeavesOutANameTooLongForAKey)
{
	Object object = NewObject();
	object->SetProperty(VString(std::string(300, 'n').c_str()), VJSONValue(1.0));
	object->SetProperty(VString(""), VJSONValue(2.0));
	Bag bag = NewBag();
	ASSERT_EQ(bag->FromJSONValue(VJSONValue(object.Get())), VE_OK);
	EXPECT_EQ(bag->GetAttributesCount(), 1);
	sLONG8 empty = 0;
	ASSERT_TRUE(bag->GetLong8(StPackedDictionaryKey(""), empty));
	EXPECT_EQ(empty, 2);
}

TEST(BagToJSON, WritesASingleUnmarkedChildAsAnArray)
{
	Bag bag = NewBag();
	bag->SetLong8(StPackedDictionaryKey("n"), 1);
	Bag child = NewBag();
	bag->AddElement(StPackedDictionaryKey("c"), child.Get());
	VError error = VE_OK;
	Object built = Object::Adopt(bag->BuildJSONObject(error));
	ASSERT_NE(built, nullptr);
	EXPECT_EQ(built->GetProperty(VString("n")).GetNumber(), 1.0);
	const VJSONValue c = built->GetProperty(VString("c"));
	ASSERT_TRUE(c.IsArray());
	EXPECT_EQ(c.GetArray()->GetCount(), 1u);

	child->SetBool(StPackedDictionaryKey("____objectunic"), true);
	built = Object::Adopt(bag->BuildJSONObject(error));
	ASSERT_NE(built, nullptr);
	ASSERT_TRUE(built->GetProperty(VString("c")).IsObject());
	EXPECT_TRUE(built->GetProperty(VString("c")).GetObject()->IsEmpty());
}

} // namespace
} // namespace qirn
