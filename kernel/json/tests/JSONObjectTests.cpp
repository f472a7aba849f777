#include "core/VCompareOptions.h"
#include "json/VJSONPropertyIterator.h"
#include "json/tests/JSONScopedClassStore.h"
#include "json/tests/JSONTestSupport.h"
#include "testing/RaisedErrors.h"

namespace qirn {
namespace {

using testing::NewArray;
using testing::NewObject;
using testing::U;

std::vector<std::string> OrderedNames(const VJSONObject* inObject)
{
	std::vector<std::string> names;
	for (VJSONPropertyConstOrderedIterator it(inObject, 3); it.IsValid(); ++it)
		names.push_back(to_string(it.GetName()));
	return names;
}

TEST(JSONObject, PropertiesKeepTheirInsertionOrderWithDenseIndices)
{
	VRefPtr<VJSONObject> object = NewObject();
	object->SetProperty(U("a"), VJSONValue(1.0));
	object->SetProperty(U("b"), VJSONValue(2.0));
	object->SetProperty(U("c"), VJSONValue(3.0));
	object->SetProperty(U("b"), VJSONValue(20.0));
	object->RemoveProperty(U("a"));
	object->SetProperty(U("d"), VJSONValue(4.0));
	EXPECT_EQ(OrderedNames(object.Get()), (std::vector<std::string>{"b", "c", "d"}));
	VJSONObject::PropertyMap map = object->GetInternalProperties();
	EXPECT_EQ(map.at(U("b")).second, 0u);
	EXPECT_EQ(map.at(U("c")).second, 1u);
	EXPECT_EQ(map.at(U("d")).second, 2u);
	EXPECT_EQ(object->GetProperty(U("b")).GetNumber(), 20);
}

TEST(JSONObject, AnUndefinedValueRemovesThePropertyAndSucceeds)
{
	VRefPtr<VJSONObject> object = NewObject();
	object->SetProperty(U("a"), VJSONValue(1.0));
	EXPECT_TRUE(object->SetProperty(U("a"), VJSONValue(JSON_undefined)));
	EXPECT_FALSE(object->HasOwnProperty(U("a")));
	EXPECT_TRUE(object->SetProperty(U("never"), VJSONValue(JSON_undefined)));
	EXPECT_TRUE(object->IsEmpty());
	EXPECT_TRUE(object->GetProperty(U("a")).IsUndefined());
}

TEST(JSONObject, ExtractPathSplitsNamesAndIndices)
{
	struct Case {
		const char* fPath;
		VError fError;
		std::vector<std::string> fNames;
	};
	const Case cases[] = {
		{"a.b[2][10].c", VE_OK, {"a", "b", "2", "10", "c"}},
		{" a . b ", VE_OK, {"a", "b"}},
		{"[2]", MAKE_VERROR('qirn', 902), {}},
		{"a..b", MAKE_VERROR('qirn', 902), {"a"}},
		{"a[]", MAKE_VERROR('qirn', 902), {"a"}},
		{"", MAKE_VERROR('qirn', 902), {}},
		{"a[2", MAKE_VERROR('qirn', 901), {"a"}},
		{"a[2]x", MAKE_VERROR('qirn', 901), {"a"}},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fPath);
		std::vector<VString> names;
		testing::RaisedErrors raised;
		EXPECT_EQ(VJSONObject::ExtractPath(U(c.fPath), names), c.fError);
		EXPECT_EQ(raised.Last(), c.fError);
		std::vector<std::string> texts;
		for (const VString& name : names)
			texts.push_back(to_string(name));
		EXPECT_EQ(texts, c.fNames);
	}
}

TEST(JSONObject, SettingAPathMakesTheContainersOnTheWay)
{
	VRefPtr<VJSONObject> object = NewObject();
	EXPECT_TRUE(object->SetPropertyWithPath(U("a.b[2].c"), VJSONValue(5.0)));
	VJSONValue b = object->GetPropertyWithPath(U("a.b"));
	ASSERT_TRUE(b.IsArray());
	ASSERT_EQ(b.GetArray()->GetCount(), 3u);
	EXPECT_TRUE(b.GetArray()->GetAt(0).IsNull());
	EXPECT_TRUE(b.GetArray()->GetAt(1).IsNull());
	EXPECT_EQ(object->GetPropertyWithPath(U("a.b[2].c")).GetNumber(), 5);
	EXPECT_EQ(object->GetPropertyWithPath(U("a.b.2.c")).GetNumber(), 5);
}

TEST(JSONObject, SettingAPathThroughAScalarFailsAndChangesNothing)
{
	VRefPtr<VJSONObject> object = NewObject();
	object->SetProperty(U("x"), VJSONValue(3.0));
	struct Case {
		const char* fPath;
		VError fError;
	};
	for (const Case& c : {Case{"x.y", MAKE_VERROR('qirn', 904)}, Case{"x.0", MAKE_VERROR('qirn', 903)}}) {
		SCOPED_TRACE(c.fPath);
		testing::RaisedErrors raised;
		EXPECT_FALSE(object->SetPropertyWithPath(U(c.fPath), VJSONValue(1.0)));
		EXPECT_EQ(raised.Last(), c.fError);
		EXPECT_EQ(object->GetProperty(U("x")).GetNumber(), 3);
	}
	EXPECT_FALSE(object->SetPropertyWithPath(U("a..b"), VJSONValue(1.0)));
	EXPECT_FALSE(object->HasOwnProperty(U("a")));
}

TEST(JSONObject, ArrayPathsReadLengthAndIndicesInRange)
{
	VRefPtr<VJSONObject> object = NewObject();
	VJSONValue list(JSON_array);
	for (double n : {10.0, 11.0, 12.0})
		list.GetArray()->Push(VJSONValue(n));
	object->SetProperty(U("list"), list);
	EXPECT_EQ(object->GetPropertyWithPath(U("list.length")).GetNumber(), 3);
	EXPECT_EQ(object->GetPropertyWithPath(U("list.1")).GetNumber(), 11);
	EXPECT_TRUE(object->GetPropertyWithPath(U("list.7")).IsUndefined());
	EXPECT_TRUE(object->GetPropertyWithPath(U("list.-1")).IsUndefined());
	EXPECT_TRUE(object->GetPropertyWithPath(U("list.1.x")).IsUndefined());
	EXPECT_TRUE(object->SetPropertyWithPath(U("list.-1"), VJSONValue(1.0)));
	EXPECT_EQ(list.GetArray()->GetCount(), 3u);
	EXPECT_TRUE(object->SetPropertyWithPath(U("list.4"), VJSONValue(14.0)));
	EXPECT_EQ(list.GetArray()->GetCount(), 5u);
	EXPECT_TRUE(list.GetArray()->GetAt(3).IsNull());
}

TEST(JSONObject, ASharedObjectReportsItsLockerID)
{
	// Of no class: the class's name would come first.
	testing::ScopedNoClassStore noStore;
	VRefPtr<VJSONObject> shared = VRefPtr<VJSONObject>::Adopt(new VJSONObject(nullptr, nullptr, true));
	VRefPtr<VStorageLocker> locker = shared->GetStorageLocker();
	ASSERT_TRUE(locker);
	EXPECT_TRUE(shared->HasOwnProperty(U("__LockerID")));
	// A fresh locker's id reads negated.
	EXPECT_EQ(shared->GetProperty(U("__LockerID")).GetNumber(), -locker->GetID());
	VJSONUser user(shared.Get(), false);
	EXPECT_FALSE(shared->SetProperty(U("__LockerID"), VJSONValue(1.0)));
	EXPECT_TRUE(shared->SetProperty(U("x"), VJSONValue(1.0)));
	VString name;
	shared->GetClassName(name);
	EXPECT_EQ(to_string(name), "Shared Object");
	NewObject()->GetClassName(name);
	EXPECT_EQ(to_string(name), "Object");
	EXPECT_FALSE(NewObject()->HasOwnProperty(U("__LockerID")));
}

TEST(JSONObject, DeepEqualityIgnoresOrderAndEndsOnCycles)
{
	VCompareOptions options;
	VRefPtr<VJSONObject> a = NewObject();
	VRefPtr<VJSONObject> b = NewObject();
	a->SetProperty(U("a"), VJSONValue(1.0));
	a->SetProperty(U("b"), VJSONValue(2.0));
	b->SetProperty(U("b"), VJSONValue(2.0));
	b->SetProperty(U("a"), VJSONValue(1.0));
	EXPECT_TRUE(a->DeepEqualTo(b.Get(), options));
	b->SetProperty(U("c"), VJSONValue(JSON_null));
	EXPECT_FALSE(a->DeepEqualTo(b.Get(), options));
	b->RemoveProperty(U("c"));
	a->SetProperty(U("self"), VJSONValue(a.Get()));
	b->SetProperty(U("self"), VJSONValue(b.Get()));
	EXPECT_TRUE(a->DeepEqualTo(b.Get(), options));
	a->ClearInternalProperties();
	b->ClearInternalProperties();
}

TEST(JSONObject, MergeKeepsOrderAndCanLeaveExistingPropertiesAlone)
{
	VRefPtr<VJSONObject> target = NewObject();
	target->SetProperty(U("a"), VJSONValue(1.0));
	VRefPtr<VJSONObject> other = NewObject();
	other->SetProperty(U("b"), VJSONValue(2.0));
	other->SetProperty(U("a"), VJSONValue(9.0));
	EXPECT_EQ(target->MergeWith(other.Get(), true), VE_OK);
	EXPECT_EQ(target->GetProperty(U("a")).GetNumber(), 1);
	EXPECT_EQ(target->GetProperty(U("b")).GetNumber(), 2);
	target->MergeWith(other.Get(), false);
	EXPECT_EQ(target->GetProperty(U("a")).GetNumber(), 9);
	EXPECT_EQ(OrderedNames(target.Get()), (std::vector<std::string>{"a", "b"}));
}

TEST(JSONObject, ClearPropertyEmptiesTheValueInPlace)
{
	VRefPtr<VJSONObject> object = NewObject();
	object->SetProperty(U("n"), VJSONValue(4.0));
	object->SetProperty(U("o"), VJSONValue(JSON_object));
	EXPECT_TRUE(object->ClearProperty(U("n")));
	EXPECT_TRUE(object->ClearProperty(U("o")));
	EXPECT_TRUE(object->ClearProperty(U("absent")));
	EXPECT_EQ(object->GetProperty(U("n")).GetType(), JSON_number);
	EXPECT_EQ(object->GetProperty(U("n")).GetNumber(), 0);
	EXPECT_TRUE(object->GetProperty(U("o")).IsNull());
	EXPECT_FALSE(object->HasOwnProperty(U("absent")));
}

TEST(JSONObject, SetPropertiesStopsAtTheFirstFailure)
{
	VRefPtr<VJSONObject> object = NewObject();
	object->SetProperty(U("x"), VJSONValue(1.0));
	std::vector<std::pair<VString, VJSONValue>> list;
	list.emplace_back(U("a"), VJSONValue(1.0));
	list.emplace_back(U("x.y"), VJSONValue(2.0));
	list.emplace_back(U("c"), VJSONValue(3.0));
	EXPECT_FALSE(object->SetPropertiesWithPaths(list));
	EXPECT_TRUE(object->HasOwnProperty(U("a")));
	EXPECT_FALSE(object->HasOwnProperty(U("c")));
	EXPECT_TRUE(object->SetProperties(list));
	EXPECT_TRUE(object->HasOwnProperty(U("x.y")));
	EXPECT_TRUE(object->SetProperties({}));
}

// An implementation that answers one name and lists it.
class MagicImpl : public IJSONObject {
public:
	EJSONStatus IJSON_GetProperty(const VJSONObject*, const VString& inName, VJSONValue& outValue,
								  VDBLanguageContext*) override
	{
		if (!inName.EqualToStringRaw(U("magic")))
			return eJSONStatus_NotHandled;
		outValue.SetNumber(42);
		return eJSONStatus_Handled;
	}
	EJSONStatus IJSON_SetProperty(VJSONObject*, const VString& inName, const VJSONValue&,
								  VDBLanguageContext*) override
	{
		return inName.EqualToStringRaw(U("magic")) ? eJSONStatus_Failed : eJSONStatus_NotHandled;
	}
	EJSONStatus IJSON_GetPropertyNames(std::vector<VString>& outNames) override
	{
		outNames.push_back(U("magic"));
		return eJSONStatus_Handled;
	}
	EJSONStatus IJSON_GetClassName(const VJSONObject*, VString& outName) override
	{
		outName = "Magic";
		return eJSONStatus_Handled;
	}
};

TEST(JSONObject, AnImplementationAnswersBeforeTheOwnProperties)
{
	VRefPtr<MagicImpl> impl = VRefPtr<MagicImpl>::Adopt(new MagicImpl);
	VRefPtr<VJSONObject> object = VRefPtr<VJSONObject>::Adopt(new VJSONObject(nullptr, impl.Get()));
	EXPECT_EQ(object->GetProperty(U("magic")).GetNumber(), 42);
	EXPECT_TRUE(object->HasProperty(U("magic")));
	EXPECT_FALSE(object->HasOwnProperty(U("magic")));
	EXPECT_FALSE(object->SetProperty(U("magic"), VJSONValue(1.0)));
	EXPECT_TRUE(object->SetProperty(U("plain"), VJSONValue(1.0)));
	// The implementation lists a name: the object is not empty.
	EXPECT_FALSE(VRefPtr<VJSONObject>::Adopt(new VJSONObject(nullptr, impl.Get()))->IsEmpty());
	VString name;
	object->GetClassName(name);
	EXPECT_EQ(to_string(name), "Magic");
	EXPECT_EQ(OrderedNames(object.Get()), (std::vector<std::string>{"plain"}));
	std::vector<std::string> all;
	for (VJSONPropertyConstOrderedIterator it(object.Get(), 0); it.IsValid(); ++it)
		all.push_back(to_string(it.GetName()));
	EXPECT_EQ(all, (std::vector<std::string>{"magic", "plain"}));
	EJSONStatus status = eJSONStatus_Handled;
	EXPECT_EQ(object->GetCountPropertiesByIndex(&status), 0u);
	EXPECT_EQ(status, eJSONStatus_NotHandled);
	VMemoryBuffer<> buffer;
	VError error = VE_OK;
	EXPECT_EQ(impl->IJSON_WriteToBuffer(buffer, &error), eJSONStatus_Failed);
	EXPECT_EQ(error, MAKE_VERROR('qirn', 915));
}

TEST(JSONObject, TheLeakMonitorCountsObjectsOfTheMonitoredTask)
{
	testing::JSONLeakMonitor monitor;
	{
		VRefPtr<VJSONObject> object = NewObject();
		VRefPtr<VJSONObject> internal = VRefPtr<VJSONObject>::Adopt(new VJSONObject(nullptr, nullptr, nullptr, true));
		EXPECT_EQ(monitor.Objects(), 1);
	}
	EXPECT_EQ(monitor.Objects(), 0);
}

} // namespace
} // namespace qirn
