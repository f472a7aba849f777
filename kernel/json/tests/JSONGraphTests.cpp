#include "json/VJSONGraph.h"
#include "json/tests/JSONTestSupport.h"
#include "runtime/VTask.h"
#include "testing/TestWaits.h"

#include <atomic>

namespace qirn {
namespace {

using testing::JSONLeakMonitor;
using testing::NewArray;
using testing::NewObject;
using testing::U;

TEST(JSONGraph, AnObjectHoldingItselfIsFreedWithItsLastOutsideReference)
{
	JSONLeakMonitor monitor;
	{
		VRefPtr<VJSONObject> object = NewObject();
		object->SetProperty(U("self"), VJSONValue(object.Get()));
		EXPECT_EQ(object->GetRefCount(), 2u);
		ASSERT_NE(object->_GetGraph(), nullptr);
		EXPECT_TRUE(object->_GetGraph()->HasCycle());
	}
	EXPECT_EQ(monitor.Objects(), 0);
}

TEST(JSONGraph, TwoObjectsHoldingEachOtherAreFreedTogether)
{
	JSONLeakMonitor monitor;
	{
		VRefPtr<VJSONObject> a = NewObject();
		{
			VRefPtr<VJSONObject> b = NewObject();
			a->SetProperty(U("b"), VJSONValue(b.Get()));
			b->SetProperty(U("a"), VJSONValue(a.Get()));
		}
		EXPECT_EQ(monitor.Objects(), 2);
		// Still reachable through a.
		EXPECT_TRUE(a->GetPropertyWithPath(U("b.a.b")).IsObject());
	}
	EXPECT_EQ(monitor.Objects(), 0);
}

TEST(JSONGraph, ACycleHeldFromOutsideIsNotCollected)
{
	JSONLeakMonitor monitor;
	VRefPtr<VJSONObject> b;
	{
		VRefPtr<VJSONObject> a = NewObject();
		b = NewObject();
		a->SetProperty(U("b"), VJSONValue(b.Get()));
		b->SetProperty(U("a"), VJSONValue(a.Get()));
		a->SetProperty(U("n"), VJSONValue(1.0));
	}
	EXPECT_EQ(monitor.Objects(), 2);
	EXPECT_EQ(b->GetPropertyWithPath(U("a.n")).GetNumber(), 1);
	b = nullptr;
	EXPECT_EQ(monitor.Objects(), 0);
}

TEST(JSONGraph, ReplacingThePropertyThatHeldACycleFreesTheCycle)
{
	JSONLeakMonitor monitor;
	VRefPtr<VJSONObject> holder = NewObject();
	{
		VRefPtr<VJSONObject> a = NewObject();
		VRefPtr<VJSONObject> b = NewObject();
		a->SetProperty(U("b"), VJSONValue(b.Get()));
		b->SetProperty(U("a"), VJSONValue(a.Get()));
		holder->SetProperty(U("cycle"), VJSONValue(a.Get()));
	}
	EXPECT_EQ(monitor.Objects(), 3);
	holder->SetProperty(U("cycle"), VJSONValue(5.0));
	EXPECT_EQ(monitor.Objects(), 1);
	holder->SetProperty(U("other"), VJSONValue(JSON_object));
	holder->RemoveProperty(U("other"));
	EXPECT_EQ(monitor.Objects(), 1);
}

// Builds a <-> b held by the container through the given store.
template <class Store>
void HoldCycle(Store&& inStore)
{
	VRefPtr<VJSONObject> a = NewObject();
	VRefPtr<VJSONArray> b = NewArray();
	a->SetProperty(U("b"), VJSONValue(b.Get()));
	b->Push(VJSONValue(a.Get()));
	inStore(VJSONValue(a.Get()));
}

TEST(JSONGraph, ClearingAnObjectFreesTheCyclesItsValuesLedInto)
{
	JSONLeakMonitor monitor;
	VRefPtr<VJSONObject> holder = NewObject();
	HoldCycle([&](const VJSONValue& inValue) {
		holder->SetProperty(U("x"), inValue);
		holder->SetProperty(U("y"), inValue);
	});
	EXPECT_EQ(monitor.Objects(), 2);
	EXPECT_EQ(monitor.Arrays(), 1);
	EXPECT_TRUE(holder->ClearInternalProperties());
	EXPECT_EQ(monitor.Objects(), 1);
	EXPECT_EQ(monitor.Arrays(), 0);
	holder->Clear();
	EXPECT_TRUE(holder->IsEmpty());
}

TEST(JSONGraph, ClearingAnArrayFreesTheCyclesItsElementsLedInto)
{
	JSONLeakMonitor monitor;
	VRefPtr<VJSONArray> holder = NewArray();
	HoldCycle([&](const VJSONValue& inValue) { holder->Push(inValue); });
	EXPECT_EQ(monitor.Arrays(), 2);
	holder->Clear();
	EXPECT_EQ(monitor.Objects(), 0);
	EXPECT_EQ(monitor.Arrays(), 1);
	HoldCycle([&](const VJSONValue& inValue) { holder->Push(inValue); });
	holder->RemoveAt(0, 1);
	EXPECT_EQ(monitor.Objects(), 0);
	HoldCycle([&](const VJSONValue& inValue) { holder->SetAt(0, inValue, true); });
	holder->Resize(0, JSON_null);
	EXPECT_EQ(monitor.Objects(), 0);
	EXPECT_EQ(monitor.Arrays(), 1);
}

TEST(JSONGraph, AContainerThatDiesFreesTheCycleBelowItWhileItsGraphLivesOn)
{
	JSONLeakMonitor monitor;
	VRefPtr<VJSONObject> root = NewObject();
	root->SetProperty(U("kept"), VJSONValue(JSON_object));
	{
		VRefPtr<VJSONObject> middle = NewObject();
		HoldCycle([&](const VJSONValue& inValue) { middle->SetProperty(U("cycle"), inValue); });
		root->SetProperty(U("middle"), VJSONValue(middle.Get()));
	}
	EXPECT_EQ(monitor.Objects(), 4);
	root->RemoveProperty(U("middle"));
	EXPECT_EQ(monitor.Objects(), 2);
	EXPECT_EQ(monitor.Arrays(), 0);
	EXPECT_TRUE(root->GetProperty(U("kept")).IsObject());
}

TEST(JSONGraph, SeparateGraphsMergeWhenLinked)
{
	JSONLeakMonitor monitor;
	{
		VRefPtr<VJSONObject> left = NewObject();
		left->SetProperty(U("child"), VJSONValue(JSON_object));
		VRefPtr<VJSONObject> right = NewObject();
		right->SetProperty(U("child"), VJSONValue(JSON_array));
		ASSERT_NE(left->_GetGraph(), right->_GetGraph());
		left->SetProperty(U("right"), VJSONValue(right.Get()));
		EXPECT_EQ(left->_GetGraph(), right->_GetGraph());
		EXPECT_EQ(left->_GetGraph()->GetMemberCount(), 4u);
		EXPECT_EQ(left->_GetGraph()->GetInternalReferences(), 3u);
		right->SetProperty(U("left"), VJSONValue(left.Get()));
	}
	EXPECT_EQ(monitor.Objects(), 0);
	EXPECT_EQ(monitor.Arrays(), 0);
}

// A document built by linking each new small record to a large shared tree
// must not move the tree into the record's graph each time: that made
// building it quadratic. The smaller graph's members move instead.
TEST(JSONGraph, ASmallRecordTakingALargeTreeJoinsTheTreesGraph)
{
	JSONLeakMonitor monitor;
	{
		VRefPtr<VJSONArray> tree = NewArray();
		for (int i = 0; i < 100; ++i)
			tree->Push(VJSONValue(JSON_object));
		VJSONGraph* large = tree->_GetGraph();
		ASSERT_NE(large, nullptr);
		ASSERT_EQ(large->GetMemberCount(), 101u);
		for (int i = 0; i < 3; ++i) {
			VRefPtr<VJSONObject> record = NewObject();
			record->SetProperty(U("tags"), VJSONValue(JSON_array));
			ASSERT_NE(record->_GetGraph(), large);
			record->SetProperty(U("shared"), VJSONValue(tree.Get()));
			EXPECT_EQ(tree->_GetGraph(), large);
			EXPECT_EQ(record->_GetGraph(), large);
			EXPECT_EQ(large->GetMemberCount(), 101u + 2u * static_cast<size_t>(i + 1));
			tree->Push(VJSONValue(record.Get()));
		}
		EXPECT_EQ(large->GetInternalReferences(), 100u + 3u * 3u);
	}
	EXPECT_EQ(monitor.Objects(), 0);
	EXPECT_EQ(monitor.Arrays(), 0);
}

TEST(JSONGraph, ATreeWithoutCyclesIsFreedByItsCounts)
{
	JSONLeakMonitor monitor;
	{
		VJSONValue root(JSON_object);
		EXPECT_TRUE(root.GetObject()->SetPropertyWithPath(U("a.b[3].c.d"), VJSONValue(1.0)));
		EXPECT_TRUE(root.GetObject()->SetPropertyWithPath(U("a.e"), VJSONValue(JSON_array)));
	}
	EXPECT_EQ(monitor.Objects(), 0);
	EXPECT_EQ(monitor.Arrays(), 0);
}

TEST(JSONGraph, AnArrayHoldingItselfIsFreed)
{
	JSONLeakMonitor monitor;
	{
		VRefPtr<VJSONArray> array = NewArray();
		array->Push(VJSONValue(array.Get()));
		array->Push(VJSONValue(array.Get()));
		VString text;
		EXPECT_NE(array->GetString(text), VE_OK);
	}
	EXPECT_EQ(monitor.Arrays(), 0);
}

// The graph breaks its cycles when the last reference from outside the whole
// graph goes: a child kept from outside keeps its cyclic parent until then.
TEST(JSONGraph, ACycleGoesWithTheLastOutsideReferenceIntoItsGraph)
{
	JSONLeakMonitor monitor;
	VJSONValue child;
	{
		VRefPtr<VJSONObject> parent = NewObject();
		parent->SetProperty(U("self"), VJSONValue(parent.Get()));
		parent->SetProperty(U("child"), VJSONValue(JSON_object));
		parent->SetPropertyWithPath(U("child.n"), VJSONValue(7.0));
		child = parent->GetProperty(U("child"));
	}
	EXPECT_EQ(child.GetProperty(U("n")).GetNumber(), 7);
	child.SetNull();
	EXPECT_EQ(monitor.Objects(), 0);
}

TEST(JSONGraph, TasksBuildAndFreeTheirOwnCyclicGraphsAtTheSameTime)
{
	constexpr int kTasks = 4;
	std::atomic<int> built{0};
	std::vector<VRefPtr<VTask>> tasks;
	for (int t = 0; t < kTasks; ++t) {
		tasks.push_back(VRefPtr<VTask>::Adopt(new VTask(0, ETaskStyle::kPreemptive, [&]() {
			for (int round = 0; round < 200; ++round) {
				VRefPtr<VJSONObject> root = NewObject();
				root->SetPropertyWithPath(U("a.b[2].c"), VJSONValue(U("text")));
				VJSONValue a = root->GetProperty(U("a"));
				a.SetProperty(U("root"), VJSONValue(root.Get()));
				root->SetProperty(U("list"), VJSONValue(JSON_array));
				root->GetProperty(U("list")).GetArray()->Push(a);
				if (round % 2 == 0)
					root->ClearInternalProperties();
				++built;
			}
		})));
		ASSERT_TRUE(tasks.back()->Run());
	}
	for (VRefPtr<VTask>& task : tasks)
		EXPECT_TRUE(task->WaitForDeath(testing::kHangMilliseconds));
	EXPECT_EQ(built, kTasks * 200);
}

} // namespace
} // namespace qirn
