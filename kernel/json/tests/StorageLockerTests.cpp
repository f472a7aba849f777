#include "json/VStorageLocker.h"
#include "json/tests/JSONTestSupport.h"
#include "runtime/VFunctionMessage.h"
#include "runtime/VTask.h"
#include "testing/TestWaits.h"

#include <atomic>
#include <functional>

namespace qirn {
namespace {

using testing::Gate;
using testing::kHangMilliseconds;
using testing::NewObject;
using testing::U;

VRefPtr<VTask> RunTask(std::function<void()>&& inBody)
{
	VRefPtr<VTask> task = VRefPtr<VTask>::Adopt(new VTask(0, ETaskStyle::kPreemptive, std::move(inBody)));
	EXPECT_TRUE(task->Run());
	return task;
}

VRefPtr<VJSONObject> NewSharedObject()
{
	return VRefPtr<VJSONObject>::Adopt(new VJSONObject(nullptr, nullptr, true));
}

TEST(StorageLocker, UsesNestAndAnotherTaskWaitsForTheLastEndUse)
{
	VRefPtr<VStorageLocker> locker = VRefPtr<VStorageLocker>::Adopt(new VStorageLocker);
	ASSERT_TRUE(locker->Use());
	ASSERT_TRUE(locker->Use());
	Gate asking;
	std::atomic<bool> got{false};
	VRefPtr<VTask> task = RunTask([&]() {
		EXPECT_FALSE(locker->TryToUse());
		asking.Open();
		got = locker->Use();
		locker->EndUse();
	});
	ASSERT_TRUE(asking.Wait());
	locker->EndUse();
	EXPECT_TRUE(locker->IsUsedByCurrentTask());
	EXPECT_FALSE(got);
	locker->EndUse();
	EXPECT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_TRUE(got);
	EXPECT_FALSE(locker->IsUsedByCurrentTask());
	EXPECT_TRUE(locker->TryToUse());
	locker->EndUse();
}

TEST(StorageLocker, AWaitingTaskThatIsKilledGivesUpItsUse)
{
	VRefPtr<VStorageLocker> locker = VRefPtr<VStorageLocker>::Adopt(new VStorageLocker);
	ASSERT_TRUE(locker->Use());
	Gate asking;
	std::atomic<int> answer{-1};
	VRefPtr<VTask> task = RunTask([&]() {
		asking.Open();
		answer = locker->Use() ? 1 : 0;
	});
	ASSERT_TRUE(asking.Wait());
	task->Kill();
	EXPECT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_EQ(answer, 0);
	EXPECT_TRUE(locker->IsUsedByCurrentTask());
	locker->EndUse();
}

TEST(StorageLocker, AWaitingTaskKeepsExecutingItsMessages)
{
	// The user needs the waiting task before it can end its use.
	VRefPtr<VStorageLocker> locker = VRefPtr<VStorageLocker>::Adopt(new VStorageLocker);
	ASSERT_TRUE(locker->Use());
	Gate waiting;
	std::atomic<bool> got{false};
	VRefPtr<VTask> task = RunTask([&]() {
		waiting.Open();
		got = locker->Use();
		locker->EndUse();
	});
	ASSERT_TRUE(waiting.Wait());
	std::atomic<int32> ranOn{0};
	EXPECT_TRUE(VFunctionMessage::PostToAndWait(task.Get(), [&]() { ranOn = VTask::GetCurrentID(); }, kHangMilliseconds));
	EXPECT_EQ(ranOn, task->GetID());
	locker->EndUse();
	EXPECT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_TRUE(got);
}

TEST(StorageLocker, TryToUseGivesUpAtOnceWhileAnotherTaskHoldsTheSection)
{
	VRefPtr<VStorageLocker> locker = VRefPtr<VStorageLocker>::Adopt(new VStorageLocker);
	Gate holding;
	Gate release;
	VRefPtr<VTask> task = RunTask([&]() {
		locker->Lock();
		holding.Open();
		release.Wait();
		locker->Unlock();
	});
	ASSERT_TRUE(holding.Wait());
	EXPECT_FALSE(locker->TryToUse());
	release.Open();
	EXPECT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_TRUE(locker->TryToUse());
	locker->EndUse();
}

TEST(StorageLocker, ASharedContainerChangesOnlyUnderItsUsersHand)
{
	VRefPtr<VJSONObject> shared = NewSharedObject();
	EXPECT_FALSE(shared->SetProperty(U("a"), VJSONValue(1.0)));
	EXPECT_FALSE(shared->HasOwnProperty(U("a")));
	VRefPtr<VJSONArray> array = VRefPtr<VJSONArray>::Adopt(new VJSONArray(true));
	EXPECT_FALSE(array->Push(VJSONValue(1.0)));
	EXPECT_FALSE(array->Resize(3, JSON_null));
	EXPECT_EQ(array->GetCount(), 0u);
	{
		VJSONUser user(shared.Get(), false);
		ASSERT_TRUE(user.IsUsing());
		EXPECT_TRUE(shared->SetProperty(U("a"), VJSONValue(1.0)));
	}
	EXPECT_FALSE(shared->RemoveProperty(U("a")));
	EXPECT_FALSE(shared->ClearInternalProperties());
	EXPECT_TRUE(shared->HasOwnProperty(U("a")));
	VJSONUser user(array.Get(), false);
	EXPECT_TRUE(array->Push(VJSONValue(1.0)));
}

TEST(StorageLocker, AFreshContainerJoinsTheLockerOfItsHolder)
{
	VRefPtr<VJSONObject> parent = NewSharedObject();
	VRefPtr<VJSONObject> child = NewSharedObject();
	child->SetStorageLocker(nullptr);
	VRefPtr<VStorageLocker> childLocker = VRefPtr<VStorageLocker>::Adopt(new VStorageLocker(false, true));
	child->SetStorageLocker(childLocker.Get());
	VJSONUser user(parent.Get(), false);
	EXPECT_TRUE(parent->SetProperty(U("child"), VJSONValue(child.Get())));
	EXPECT_EQ(child->GetStorageLocker(), parent->GetStorageLocker());
	EXPECT_FALSE(parent->GetStorageLocker()->IsFresh());
	EXPECT_GT(parent->GetSharedID(), 0);
	EXPECT_TRUE(parent->IsSharedGraph());
	EXPECT_TRUE(child->IsSharedGraph());
}

TEST(StorageLocker, TheSharedIDIsNegatedForFreshAndContainersOnlyLockers)
{
	VRefPtr<VJSONArray> array = VRefPtr<VJSONArray>::Adopt(new VJSONArray(false));
	EXPECT_EQ(array->GetSharedID(), 0);
	EXPECT_FALSE(array->IsSharedGraph());
	struct Case {
		const char* fName;
		bool fContainersOnly;
		bool fFresh;
		bool fNegated;
	};
	const Case cases[] = {
		{"settled", false, false, false},
		{"fresh", false, true, true},
		{"containers only", true, false, true},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VRefPtr<VStorageLocker> locker =
			VRefPtr<VStorageLocker>::Adopt(new VStorageLocker(c.fContainersOnly, c.fFresh));
		array->SetStorageLocker(locker.Get());
		EXPECT_EQ(array->GetSharedID(), c.fNegated ? -locker->GetID() : locker->GetID());
		EXPECT_TRUE(array->IsSharedGraph());
	}
	array->SetStorageLocker(nullptr);
	EXPECT_EQ(array->GetSharedID(), 0);
}

TEST(StorageLocker, AContainersOnlyLockerRefusesScalars)
{
	VRefPtr<VStorageLocker> locker = VRefPtr<VStorageLocker>::Adopt(new VStorageLocker(true, false));
	VRefPtr<VJSONObject> object = VRefPtr<VJSONObject>::Adopt(new VJSONObject(nullptr, nullptr, locker.Get()));
	VJSONUser user(object.Get(), false);
	EXPECT_FALSE(object->SetProperty(U("n"), VJSONValue(1.0)));
	EXPECT_TRUE(object->SetProperty(U("none"), VJSONValue(JSON_null)));
	// Containers keep lockers of their own under a containers-only locker.
	VRefPtr<VStorageLocker> own = VRefPtr<VStorageLocker>::Adopt(new VStorageLocker(false, false));
	VJSONValue child(JSON_object);
	child.GetObject()->SetStorageLocker(own.Get());
	EXPECT_TRUE(object->SetProperty(U("child"), child));
	EXPECT_EQ(child.GetObject()->GetStorageLocker(), own);
	EXPECT_FALSE(object->SetProperty(U("plain"), VJSONValue(JSON_object)));
}

TEST(StorageLocker, ContainersUnderOtherLockersAreRefused)
{
	VRefPtr<VJSONObject> parent = NewSharedObject();
	VRefPtr<VStorageLocker> settled = VRefPtr<VStorageLocker>::Adopt(new VStorageLocker(false, false));
	parent->SetStorageLocker(settled.Get());
	VJSONUser user(parent.Get(), false);

	VRefPtr<VJSONObject> foreign = VRefPtr<VJSONObject>::Adopt(new VJSONObject(nullptr, nullptr, nullptr, false));
	VRefPtr<VStorageLocker> otherSettled = VRefPtr<VStorageLocker>::Adopt(new VStorageLocker(false, false));
	foreign->SetStorageLocker(otherSettled.Get());
	EXPECT_FALSE(parent->SetProperty(U("foreign"), VJSONValue(foreign.Get())));

	EXPECT_FALSE(parent->SetProperty(U("plain"), VJSONValue(JSON_object)));

	// A fresh locker in use by another task.
	VRefPtr<VJSONObject> busy = NewSharedObject();
	Gate using_;
	Gate done;
	VRefPtr<VTask> task = RunTask([&]() {
		VJSONUser other(busy.Get(), false);
		using_.Open();
		done.Wait();
	});
	ASSERT_TRUE(using_.Wait());
	EXPECT_FALSE(parent->SetProperty(U("busy"), VJSONValue(busy.Get())));
	done.Open();
	EXPECT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_TRUE(parent->SetProperty(U("busy"), VJSONValue(busy.Get())));
	EXPECT_FALSE(parent->HasOwnProperty(U("foreign")));
	EXPECT_FALSE(parent->HasOwnProperty(U("plain")));
}

TEST(StorageLocker, ASubtreeWithAForeignSettledLockerCannotBeMadeShared)
{
	VRefPtr<VStorageLocker> target = VRefPtr<VStorageLocker>::Adopt(new VStorageLocker(false, false));
	VRefPtr<VStorageLocker> foreign = VRefPtr<VStorageLocker>::Adopt(new VStorageLocker(false, false));
	VRefPtr<VJSONObject> object = NewObject();
	VJSONValue a(JSON_object);
	a.GetObject()->SetStorageLocker(foreign.Get());
	object->SetProperty(U("a"), a);
	object->SetProperty(U("b"), VJSONValue(JSON_object));
	EXPECT_FALSE(object->_CanMakeShared(target.Get()));
	a.GetObject()->SetStorageLocker(target.Get());
	EXPECT_TRUE(object->_CanMakeShared(target.Get()));
}

TEST(StorageLocker, MakingAValueSharedPutsItsSubtreeUnderTheLocker)
{
	VRefPtr<VJSONObject> shared = NewSharedObject();
	VJSONValue value(JSON_object);
	value.GetObject()->SetPropertyWithPath(U("deep.list[1]"), VJSONValue(1.0));
	shared->MakeValueSharedIfNecessary(value);
	VRefPtr<VStorageLocker> locker = shared->GetStorageLocker();
	EXPECT_EQ(value.GetObject()->GetStorageLocker(), locker);
	EXPECT_EQ(value.GetObject()->GetPropertyWithPath(U("deep.list")).GetArray()->GetStorageLocker(), locker);
	EXPECT_FALSE(locker->IsFresh());
	VJSONUser user(shared.Get(), false);
	EXPECT_TRUE(shared->SetProperty(U("value"), value));
}

TEST(StorageLocker, TasksReadASharedObjectWhileItsUserChangesIt)
{
	VRefPtr<VJSONObject> shared = NewSharedObject();
	{
		VJSONUser user(shared.Get(), false);
		shared->SetProperty(U("n"), VJSONValue(0.0));
	}
	constexpr int kTasks = 4;
	constexpr int kRounds = 300;
	std::vector<VRefPtr<VTask>> tasks;
	for (int t = 0; t < kTasks; ++t) {
		tasks.push_back(RunTask([&]() {
			for (int i = 0; i < kRounds; ++i) {
				double n = shared->GetProperty(U("n")).GetNumber();
				EXPECT_GE(n, 0);
				VJSONUser user(shared.Get(), false);
				shared->SetProperty(U("n"), VJSONValue(n + 1));
				VJSONValue list(JSON_array);
				shared->MakeValueSharedIfNecessary(list);
				shared->SetProperty(U("list"), list);
			}
		}));
	}
	for (VRefPtr<VTask>& task : tasks)
		EXPECT_TRUE(task->WaitForDeath(kHangMilliseconds));
	EXPECT_GT(shared->GetProperty(U("n")).GetNumber(), 0);
}

} // namespace
} // namespace qirn
