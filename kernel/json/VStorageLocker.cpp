#include "json/VStorageLocker.h"

#include "json/VJSONArray.h"
#include "json/VJSONErrors.h"
#include "json/VJSONObject.h"
#include "runtime/VError.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <vector>

namespace qirn {

VCriticalSection StGraphLocker::sMutex;
std::atomic<int32> VStorageLocker::sNextID{0};

namespace {

// A thread that is no task has no queue: it sleeps on the locker's event,
// looking again now and then in case a wake-up fell between its look and
// its wait.
constexpr int32 kPlainThreadWaitMilliseconds = 100;

VJSONContainer* AsContainer(const VStorageLocker::Container& inContainer)
{
	if (std::holds_alternative<VJSONObject*>(inContainer))
		return std::get<VJSONObject*>(inContainer);
	return std::get<VJSONArray*>(inContainer);
}

} // namespace

VStorageLocker::VStorageLocker(bool inContainersOnly, bool inFresh)
: fID(++sNextID), fContainersOnly(inContainersOnly), fFresh(inFresh), fFreed(new VSyncEvent)
{
}

VStorageLocker::~VStorageLocker()
{
	if (fFreed != nullptr)
		fFreed->Release();
}

bool VStorageLocker::_TakeUse(int32 inTask)
{
	if (fOwner != inTask && fOwner != 0)
		return false;
	fOwner = inTask;
	++fUseCount;
	if (fFreed != nullptr && fFreed->IsUnlocked())
		fFreed->Reset();
	return true;
}

bool VStorageLocker::Use()
{
	const int32 id = VTaskMgr::GetCurrentTaskID();
	VTask* current = VTask::GetCurrent();
	for (;;) {
		fSection.Lock();
		if (_TakeUse(id)) {
			fSection.Unlock();
			return true;
		}
		fWaitingTasks.insert(id);
		fSection.Unlock();
		// A task keeps executing its messages while it waits: the owner may
		// need it to finish. The last EndUse sets its queue event, or, missed
		// by the wait's start, leaves the queue signalled.
		if (current != nullptr)
			VTask::WaitAndExecuteMessages();
		else if (fFreed != nullptr)
			fFreed->Lock(kPlainThreadWaitMilliseconds);
		fSection.Lock();
		fWaitingTasks.erase(id);
		fSection.Unlock();
		if (current != nullptr && current->GetState() >= TS_DYING)
			return false;
	}
}

bool VStorageLocker::TryToUse()
{
	if (!fSection.TryToLock())
		return false;
	bool used = _TakeUse(VTaskMgr::GetCurrentTaskID());
	fSection.Unlock();
	return used;
}

void VStorageLocker::EndUse()
{
	const int32 task = VTaskMgr::GetCurrentTaskID();
	std::vector<int32> waiting;
	{
		StLocker<VCriticalSection> lock(fSection);
		if (fOwner != task || fUseCount <= 0)
			return;
		if (--fUseCount != 0)
			return;
		fOwner = 0;
		waiting.assign(fWaitingTasks.begin(), fWaitingTasks.end());
		if (!waiting.empty() && fFreed != nullptr)
			fFreed->Unlock();
	}
	// Woken after the section: the task manager's lock is never taken inside it.
	for (int32 id : waiting) {
		if (VRefPtr<VTask> waiter = VTaskMgr::Get()->GetTaskByID(id))
			waiter->SetMessageQueueEvent();
	}
}

bool VStorageLocker::IsUsedByCurrentTask() const
{
	StLocker<VCriticalSection> lock(fSection);
	return fUseCount > 0 && fOwner == VTaskMgr::GetCurrentTaskID();
}

bool VStorageLocker::IsUsedByOtherTask() const
{
	StLocker<VCriticalSection> lock(fSection);
	return fUseCount > 0 && fOwner != VTaskMgr::GetCurrentTaskID();
}

bool VStorageLocker::Assign(const Container& inTarget, VStorageLocker* inTargetLocker, const Container& inValue,
							VStorageLocker* inValueLocker)
{
	if (inTargetLocker == nullptr)
		return true;
	VJSONContainer* target = AsContainer(inTarget);
	VJSONContainer* value = AsContainer(inValue);
	if (inValueLocker != nullptr) {
		if (inTargetLocker->IsContainersOnly())
			return true;
		if (!inValueLocker->IsFresh() && !inTargetLocker->IsFresh()) {
			if (inValueLocker == inTargetLocker)
				return true;
			_ThrowError(value->_IsArray() ? VE_JSON_ARRAY_UNDER_OTHER_LOCKER : VE_JSON_OBJECT_UNDER_OTHER_LOCKER);
			return false;
		}
		// Every member of a shared subtree keeps the same locker, so the one
		// that moves takes everything below it along.
		if (!inValueLocker->IsFresh()) {
			target->_SetStorageLockerDeep(inValueLocker);
			return true;
		}
		if (inValueLocker->IsUsedByOtherTask()) {
			_ThrowError(VE_JSON_LOCKER_USED_BY_OTHER_TASK);
			return false;
		}
		inTargetLocker->SetFresh(false);
		value->_SetStorageLockerDeep(inTargetLocker);
		return true;
	}
	if (!value->_IsArray()) {
		auto* object = static_cast<VJSONObject*>(value);
		if (IJSONObject* impl = object->GetImplementation(); impl != nullptr) {
			bool keepOut = false;
			if (impl->IJSON_IsSharable(object, keepOut) && !keepOut)
				return true;
		}
	}
	_ThrowError(VE_JSON_VALUE_NOT_SHARABLE);
	return false;
}

bool VStorageLocker::Assign(const Container& inTarget, VStorageLocker* inTargetLocker, const VJSONValue& inValue)
{
	if (VJSONObject* object = inValue.GetObject(); object != nullptr)
		return Assign(inTarget, inTargetLocker, Container(object), object->_GetStorageLocker());
	if (VJSONArray* array = inValue.GetArray(); array != nullptr)
		return Assign(inTarget, inTargetLocker, Container(array), array->_GetStorageLocker());
	return true;
}

// ---------------------------------------------------------------------------
// Scoped locks

void VJSONReadLock::_Lock()
{
	fLocker->Retain();
	StGraphLocker::sMutex.Lock();
	fLocker->Lock();
}

void VJSONReadLock::_Unlock()
{
	fLocker->Unlock();
	StGraphLocker::sMutex.Unlock();
	fLocker->Release();
}

VJSONReadWriteLock::VJSONReadWriteLock(VStorageLocker* inLocker, bool inWithGraph)
: fLocker(inLocker), fWithGraph(inWithGraph || inLocker != nullptr)
{
	if (fWithGraph)
		StGraphLocker::sMutex.Lock();
	if (fLocker != nullptr) {
		fLocker->Retain();
		fLocker->Lock();
	}
}

VJSONReadWriteLock::~VJSONReadWriteLock()
{
	if (fLocker != nullptr) {
		fLocker->Unlock();
		fLocker->Release();
	}
	if (fWithGraph)
		StGraphLocker::sMutex.Unlock();
}

// ---------------------------------------------------------------------------
// Users

VJSONUser::VJSONUser(const VJSONObject* inObject, bool inTryOnly)
: fLocker(inObject != nullptr ? inObject->GetStorageLocker() : nullptr)
{
	_Use(inTryOnly);
}

VJSONUser::VJSONUser(const VJSONArray* inArray, bool inTryOnly)
: fLocker(inArray != nullptr ? inArray->GetStorageLocker() : nullptr)
{
	_Use(inTryOnly);
}

VJSONUser::VJSONUser(const VJSONValue& inValue, bool inTryOnly)
{
	if (VJSONContainer* container = VJSONContainer::FromValue(inValue); container != nullptr)
		fLocker = container->GetStorageLocker();
	_Use(inTryOnly);
}

VJSONUser::VJSONUser(VRefPtr<VStorageLocker>&& inLocker, bool inTryOnly) : fLocker(std::move(inLocker))
{
	_Use(inTryOnly);
}

VJSONUser::~VJSONUser()
{
	if (fUsing && fLocker)
		fLocker->EndUse();
}

void VJSONUser::_Use(bool inTryOnly)
{
	if (!fLocker)
		fUsing = true;
	else
		fUsing = inTryOnly ? fLocker->TryToUse() : fLocker->Use();
}

} // namespace qirn
