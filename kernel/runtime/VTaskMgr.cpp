#include "runtime/VTaskMgr.h"

#include "runtime/SpinLock.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VScheduler_void.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"
#include "runtime/platform/XLinuxTask.h"

#include <algorithm>
#include <sched.h>

namespace qirn {

namespace {

VTaskMgr sTaskMgr;

} // namespace

VTaskMgr* VTaskMgr::sInstance = &sTaskMgr;
std::atomic<bool> VTaskMgr::sInstanceInited{false};

VTaskMgr::VTaskMgr() = default;

VTaskMgr::~VTaskMgr() = default;

bool VTaskMgr::Init(VProcess* inProcess)
{
	bool inited = sInstance->_Init(inProcess);
	sInstanceInited.store(inited, std::memory_order_release);
	SpinLock::Configure();
	return inited;
}

void VTaskMgr::DeInit()
{
	sInstance->_DeInit();
	sInstanceInited.store(false, std::memory_order_release);
}

bool VTaskMgr::_Init(VProcess*)
{
	if (fMainTask != nullptr)
		return true;
	IFiberScheduler* old = nullptr;
	{
		StLocker<XTaskMgrMutexImpl> lock(fLock);
		old = std::exchange(fFiberScheduler, new VScheduler_void);
	}
	if (old != nullptr)
		old->Release();
	VTask* main = new VTask(this);
	if (main->GetPlatformTask() == nullptr) {
		main->Release();
		return false;
	}
	{
		StLocker<XTaskMgrMutexImpl> lock(fLock);
		fMainTask = main;
	}
	fPlatform.SetCurrentThreadName(std::string(), main->GetID());
	return true;
}

void VTaskMgr::_DeInit()
{
	// Tasks that died but were never purged would otherwise outlive the
	// registry that holds their last reference.
	PurgeDeadTasks();
	VTask* main = nullptr;
	{
		StLocker<XTaskMgrMutexImpl> lock(fLock);
		main = std::exchange(fMainTask, nullptr);
	}
	if (main != nullptr) {
		_AbortDelayedMessages();
		main->DisposeAllData();
		main->_ForceDead();
		XLinuxTaskMgr::SetCurrentTask(nullptr);
		main->Release();
	}
	IFiberScheduler* scheduler = nullptr;
	{
		StLocker<XTaskMgrMutexImpl> lock(fLock);
		scheduler = std::exchange(fFiberScheduler, nullptr);
		fUpdateEventsNesting = 0;
		if (fUpdateEventsStopped != nullptr)
			fUpdateEventsStopped->store(true);
		fUpdateEventsStopped.reset();
	}
	if (scheduler != nullptr)
		scheduler->Release();
}

int32 VTaskMgr::GetNewTaskID(VTask* inTask)
{
	if (inTask == nullptr || inTask->GetPlatformTask() == nullptr)
		return 0;
	int32 id = inTask->GetPlatformTask()->GetValueForVTaskID();
	if (id != 0)
		return id;
	StLocker<XTaskMgrMutexImpl> lock(fLock);
	if (!fRecycledIDs.empty()) {
		id = fRecycledIDs.back();
		fRecycledIDs.pop_back();
		return id;
	}
	return --fIDCounter;
}

void VTaskMgr::RegisterTask(VTask* inTask)
{
	PurgeDeadTasks();
	StLocker<XTaskMgrMutexImpl> lock(fLock);
	inTask->Retain();
	inTask->_SetNext(fFirstTask);
	fFirstTask = inTask;
	fRegistryStamp.fetch_add(1, std::memory_order_relaxed);
}

void VTaskMgr::PurgeDeadTasks()
{
	if (!fHasDeadTasks.load(std::memory_order_acquire))
		return;
	std::vector<VTask*> dead;
	{
		StLocker<XTaskMgrMutexImpl> lock(fLock);
		fHasDeadTasks.store(false, std::memory_order_relaxed);
		VTask** link = &fFirstTask;
		while (VTask* task = *link) {
			if (task->GetState() == TS_DEAD) {
				*link = task->_GetNext();
				task->_SetNext(nullptr);
				if (task->GetID() != task->GetPlatformTask()->GetValueForVTaskID())
					fRecycledIDs.push_back(task->GetID());
				dead.push_back(task);
				fRegistryStamp.fetch_add(1, std::memory_order_relaxed);
			} else {
				link = &task->fNext;
			}
		}
	}
	// Destructors run outside the lock.
	for (VTask* task : dead)
		task->Release();
}

int32 VTaskMgr::GetTaskCount(bool inCreatedToRunning) const
{
	auto counts = [inCreatedToRunning](const VTask* inTask) {
		ETaskState state = inTask->GetState();
		return inCreatedToRunning ? state <= TS_RUNNING : (state == TS_RUNNING || state == TS_DYING);
	};
	StLocker<XTaskMgrMutexImpl> lock(fLock);
	int32 count = 0;
	if (fMainTask != nullptr && counts(fMainTask))
		++count;
	for (VTask* task = fFirstTask; task != nullptr; task = task->_GetNext()) {
		if (counts(task))
			++count;
	}
	return count;
}

VTask* VTaskMgr::RetainTaskByID(int32 inID) const
{
	StLocker<XTaskMgrMutexImpl> lock(fLock);
	if (fMainTask != nullptr && fMainTask->GetID() == inID && fMainTask->GetState() != TS_DEAD) {
		fMainTask->Retain();
		return fMainTask;
	}
	for (VTask* task = fFirstTask; task != nullptr; task = task->_GetNext()) {
		if (task->GetID() == inID && task->GetState() != TS_DEAD) {
			task->Retain();
			return task;
		}
	}
	return nullptr;
}

VRefPtr<VTask> VTaskMgr::GetTaskByID(int32 inID) const
{
	return VRefPtr<VTask>::Adopt(RetainTaskByID(inID));
}

void VTaskMgr::GetTasks(std::vector<VRefPtr<VTask>>& outTasks) const
{
	StLocker<XTaskMgrMutexImpl> lock(fLock);
	if (fMainTask != nullptr)
		outTasks.emplace_back(fMainTask);
	for (VTask* task = fFirstTask; task != nullptr; task = task->_GetNext())
		outTasks.emplace_back(task);
}

bool VTaskMgr::KillAllTasks(int32 inTimeoutMilliseconds)
{
	auto onlyMainLeft = [this]() {
		StLocker<XTaskMgrMutexImpl> lock(fLock);
		return fFirstTask == nullptr;
	};
	VTask* caller = GetCurrentTask();
	if (caller == nullptr || caller != fMainTask)
		return onlyMainLeft();
	const uint32 start = VSystem::GetCurrentTime();
	for (;;) {
		// Hooks run after the lock, as destructors do: a task's
		// DoPrepareToDie may wait for another task that needs the manager.
		std::vector<VRefPtr<VTask>> started;
		{
			StLocker<XTaskMgrMutexImpl> lock(fLock);
			for (VTask* task = fFirstTask; task != nullptr; task = task->_GetNext()) {
				if (task->GetState() >= TS_STARTING)
					started.emplace_back(task);
			}
		}
		for (VRefPtr<VTask>& task : started)
			task->Kill();
		started.clear();
		PurgeDeadTasks();
		YieldNow();
		// A dying task may wait for an answer of the main task.
		VTask::ExecuteMessages(false);
		if (onlyMainLeft())
			return true;
		if (inTimeoutMilliseconds <= 0 || VSystem::GetCurrentTime() - start >= static_cast<uint32>(inTimeoutMilliseconds))
			return false;
	}
}

size_t VTaskMgr::GetStackSizeForMainTask()
{
	StLocker<XTaskMgrMutexImpl> lock(fLock);
	if (fMainStackSize == 0) {
		fMainStackSize = fPlatform.ComputeMainTaskStackSize();
		if (fMainStackSize == 0)
			fMainStackSize = 65536;
	}
	return fMainStackSize;
}

size_t VTaskMgr::GetDefaultStackSize()
{
	size_t main = GetStackSizeForMainTask();
	StLocker<XTaskMgrMutexImpl> lock(fLock);
	if (fDefaultStackSize == 0)
		fDefaultStackSize = std::min<size_t>(main, 1048576);
	return fDefaultStackSize;
}

void VTaskMgr::SetDefaultStackSize(size_t inSize)
{
	StLocker<XTaskMgrMutexImpl> lock(fLock);
	fDefaultStackSize = inSize;
}

size_t VTaskMgr::GetCurrentFreeStackSize() const
{
	return fPlatform.GetCurrentFreeStackSize();
}

size_t VTaskMgr::CreateDataKey(DataDestructor inDestructor)
{
	StLocker<XTaskMgrMutexImpl> lock(fLock);
	for (size_t i = 0; i < fDataKeys.size(); ++i) {
		if (fDataKeys[i].fFree) {
			fDataKeys[i] = DataKey{inDestructor, false};
			return i + 1;
		}
	}
	fDataKeys.push_back(DataKey{inDestructor, false});
	return fDataKeys.size();
}

void VTaskMgr::DeleteDataKey(size_t inKey)
{
	if (inKey == 0 || !IsInited())
		return;
	StLocker<XTaskMgrMutexImpl> lock(fLock);
	if (inKey <= fDataKeys.size())
		fDataKeys[inKey - 1].fFree = true;
}

bool VTaskMgr::CheckDataKey(size_t inKey) const
{
	StLocker<XTaskMgrMutexImpl> lock(fLock);
	return inKey != 0 && inKey <= fDataKeys.size() && !fDataKeys[inKey - 1].fFree;
}

void VTaskMgr::DisposeData(std::vector<void*>::iterator inFirst, std::vector<void*>::iterator inLast)
{
	size_t index = 0;
	for (auto it = inFirst; it != inLast; ++it, ++index) {
		if (*it == nullptr)
			continue;
		DataDestructor destructor = nullptr;
		{
			StLocker<XTaskMgrMutexImpl> lock(fLock);
			if (index < fDataKeys.size() && !fDataKeys[index].fFree)
				destructor = fDataKeys[index].fDestructor;
		}
		if (destructor != nullptr)
			destructor(*it);
	}
}

} // namespace qirn
