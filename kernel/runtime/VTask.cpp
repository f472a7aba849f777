#include "runtime/VTask.h"

#include "process/VActivityToken.h"
#include "core/StStringConverter.h"
#include "core/VCollator.h"
#include "core/VIntlMgr.h"
#include "core/VString.h"
#include "process/VProcess.h"
#include "runtime/IFiberScheduler.h"
#include "runtime/VErrorContext.h"
#include "runtime/VMessageQueue.h"
#include "runtime/VSyncEvent.h"
#include "runtime/VSystem.h"
#include "runtime/VTaskMgr.h"
#include "runtime/platform/XLinuxTask.h"
#include "runtime/platform/XLinuxTaskMgr.h"

#include <algorithm>

namespace qirn {

namespace {

// Elapsed milliseconds between two readings of the 32-bit clock, correct
// across its wrap-around.
uint32 ElapsedSince(uint32 inStart)
{
	return VSystem::GetCurrentTime() - inStart;
}

} // namespace

VTask::VTask(size_t inStackSize, ETaskStyle inStyle, std::function<void()>&& inBody)
	: fStyle(inStyle), fManager(VTaskMgr::Get()), fBody(std::move(inBody)), fStackSize(inStackSize)
{
	fIsFiber = inStyle == ETaskStyle::kFiber;
	fIsPreemptive = inStyle == ETaskStyle::kPreemptive;
	_CloneProcessIntlManager();
	fPlatformTask = fManager->GetPlatform().Create(this, inStyle);
	fID = fManager->GetNewTaskID(this);
	SetMessagingTask(fID);
}

VTask::VTask(VObject*, size_t inStackSize, ETaskStyle inStyle, int (*inProc)(VTask*))
	: VTask(inStackSize, inStyle,
			inProc == nullptr ? std::function<void()>() : std::function<void()>([inProc]() { inProc(VTask::GetCurrent()); }))
{
}

VTask::VTask(VTaskMgr* inManager) : fStyle(ETaskStyle::kPreemptive), fManager(inManager)
{
	fState.store(TS_RUNNING);
	_NoteExecution();
	fStackSize = inManager->GetStackSizeForMainTask();
	VProcess* process = VProcess::sInstance.load(std::memory_order_acquire);
	const bool fibered = process != nullptr && process->IsFibered();
	fIsFiber = fibered;
	fIsPreemptive = !fibered;
	_CloneProcessIntlManager();
	fPlatformTask = inManager->GetPlatform().CreateMain(this, fibered);
	fID = inManager->GetNewTaskID(this);
	SetMessagingTask(fID);
	if (fPlatformTask != nullptr)
		XLinuxTaskMgr::SetCurrentTask(this); // bound again, now with its id
}

VTask::~VTask()
{
	if (VErrorTaskContext* errors = fErrorContext.exchange(nullptr); errors != nullptr)
		errors->Release();
	if (VMessageQueue* queue = fMessageQueue.exchange(nullptr); queue != nullptr) {
		queue->CancelMessages();
		queue->Release();
	}
	for (VMessageQueue* watcher : fDeathWatchers)
		watcher->Release();
	fDeathWatchers.clear();
	// Joins the thread (or, on the task's own thread, lets it go).
	delete fPlatformTask;
	fPlatformTask = nullptr;
	fActivityToken.Clear();
	fIntlMgr.Clear();
	if (fQXTaskOwner != nullptr)
		fQXTaskOwner->Release();
	delete fName;
}

void VTask::_CloneProcessIntlManager()
{
	VProcess* process = VProcess::sInstance.load(std::memory_order_acquire);
	VIntlMgr* source = process != nullptr ? process->GetIntlMgr() : nullptr;
	if (source == nullptr)
		source = VIntlMgr::GetDefaultMgr();
	if (source != nullptr)
		fIntlMgr = VRefPtr<VIntlMgr>::Adopt(source->Clone());
}

VIntlMgr* VTask::_GetIntlManagerOutsideTask()
{
	VProcess* process = VProcess::sInstance.load(std::memory_order_acquire);
	if (process != nullptr && process->GetIntlMgr() != nullptr)
		return process->GetIntlMgr();
	return VIntlMgr::GetDefaultMgr();
}

void VTask::SetCurrentIntlManager(VIntlMgr* inIntlMgr)
{
	VTask* task = GetCurrent();
	if (task != nullptr && inIntlMgr != nullptr)
		task->fIntlMgr.Set(inIntlMgr);
}

bool VTask::SetCurrentDialectCode(sLONG inDialect, uint8 inOptions)
{
	VTask* task = GetCurrent();
	if (task == nullptr)
		return false;
	VRefPtr<VIntlMgr> manager = VRefPtr<VIntlMgr>::Adopt(VIntlMgr::Create(inDialect, inDialect, inOptions));
	if (manager == nullptr)
		return false;
	task->fIntlMgr = manager;
	return true;
}

UniChar VTask::GetWildChar()
{
	VIntlMgr* manager = GetCurrentIntlManager();
	return manager != nullptr ? manager->GetWildChar() : VCollator::sDefaultWildChar;
}

sLONG VTask::GetDialectCode() const
{
	return fIntlMgr != nullptr ? fIntlMgr->GetDialectCode() : DC_ENGLISH_US;
}

bool VTask::IsMain() const
{
	return fPlatformTask != nullptr && fPlatformTask->IsMain();
}

bool VTask::_ChangeState(ETaskState inFrom, ETaskState inTo)
{
	int32 expected = inFrom;
	return fState.compare_exchange_strong(expected, inTo, std::memory_order_acq_rel);
}

void VTask::_StampKillTick()
{
	// 0 stands for no stamp, so a clock reading of 0 is kept as 1.
	const uint32 now = VSystem::GetCurrentTicks();
	uint32 none = 0;
	fKillTick.compare_exchange_strong(none, now != 0 ? now : 1, std::memory_order_acq_rel, std::memory_order_acquire);
}

bool VTask::_MarkDying()
{
	if (GetState() != TS_RUNNING)
		return false;
	// The tick before the state: whoever sees the task dying finds when it
	// began, never a tick that was not stamped yet.
	_StampKillTick();
	return _ChangeState(TS_RUNNING, TS_DYING);
}

void VTask::_NoteExecution()
{
	fLastExecutionTime.store(VSystem::GetCurrentTime(), std::memory_order_relaxed);
}

void VTask::_WaitWhileStarting() const
{
	while (GetState() == TS_STARTING)
		VTaskMgr::YieldNow();
}

bool VTask::Run()
{
	if (fPlatformTask == nullptr)
		return false;
	if (fStyle == ETaskStyle::kFiber) {
		IFiberScheduler* scheduler = fManager->RetainFiberScheduler();
		if (scheduler != nullptr) {
			bool goOn = true;
			const bool started = scheduler->RunFiber(this, &goOn);
			scheduler->Release();
			if (!goOn)
				return started;
		}
		// A fiber is started by handing over to it, which only a task can.
		if (GetCurrent() == nullptr)
			return false;
	}
	if (!_ChangeState(TS_CREATED, TS_STARTING))
		return false;
	_MakeActivityToken();
	fManager->RegisterTask(this);
	if (fPlatformTask->Run())
		return true;
	_StampKillTick();
	_ChangeState(TS_STARTING, TS_DYING);
	_SetStateDead();
	return false;
}

void VTask::_Run()
{
	if (!_ChangeState(TS_STARTING, TS_RUNNING))
		return;
	_NoteExecution();
	_NameCurrentThread();
	if (fBody) {
		fBody();
	} else {
		DoInit();
		for (;;) {
			if (fIsFiber)
				VTaskMgr::Yield();
			if (!DoRun()) {
				Kill();
				DoDeInit();
				break;
			}
			ExecuteMessages(true);
			if (GetState() >= TS_DYING) {
				DoDeInit();
				break;
			}
		}
	}
	_MarkDying();
	_Exit();
}

void VTask::_Exit()
{
	StopMessaging();
	// Senders waiting for an answer learn now that none will come.
	if (VMessageQueue* queue = fMessageQueue.load(std::memory_order_acquire); queue != nullptr)
		queue->_CloseAndCancel();
	DisposeAllData();
	// The body's captures die on the task's own thread.
	fBody = nullptr;
	SetQXTask(nullptr, nullptr);
}

void VTask::_SetStateDead()
{
	fActivityToken.Clear();
	_BecomeDead(false);
}

void VTask::_ForceDead()
{
	_BecomeDead(true);
}

void VTask::_BecomeDead(bool inForced)
{
	std::vector<VMessageQueue*> watchers;
	{
		StLocker<XTaskMgrMutexImpl> lock(fManager->GetLock());
		watchers.swap(fDeathWatchers);
		if (inForced) {
			_StampKillTick();
			fState.exchange(TS_DEAD);
		} else {
			_ChangeState(TS_DYING, TS_DEAD);
			fManager->_SetDeadTaskFlag();
		}
	}
	// The task may be gone from here on: another thread can purge it now.
	for (VMessageQueue* watcher : watchers) {
		watcher->SetEvent();
		watcher->Release();
	}
}

void VTask::Kill()
{
	if (GetCurrent() != this)
		_WaitWhileStarting();
	if (GetState() < TS_DEAD)
		DoPrepareToDie();
	_MarkDying();
}

bool VTask::IsDying(int32* outTicksSinceKill) const
{
	if (GetState() < TS_DYING)
		return false;
	if (outTicksSinceKill != nullptr)
		*outTicksSinceKill = static_cast<int32>(VSystem::GetCurrentDeltaTicks(fKillTick.load(std::memory_order_acquire)));
	return true;
}

uint32 VTask::_SetWaitKind(uint32 inKind)
{
	uint32 expected = kTaskWaitNone;
	return fWaitKind.compare_exchange_strong(expected, inKind) ? inKind : kTaskWaitNone;
}

void VTask::_RestoreWaitKind(uint32 inKind)
{
	if (inKind != kTaskWaitNone)
		fWaitKind.store(kTaskWaitNone);
}

bool VTask::WaitForDeath(int32 inTimeoutMilliseconds)
{
	VTask* caller = GetCurrent();
	if (caller == this)
		return false;
	const uint32 start = VSystem::GetCurrentTime();
	// A task keeps executing its messages while it waits; a thread that is no
	// task sleeps on a queue of its own. The dying task signals the queue.
	VMessageQueue* watcher = caller != nullptr ? caller->RetainMessageQueue() : new VMessageQueue;
	{
		StLocker<XTaskMgrMutexImpl> lock(fManager->GetLock());
		if (GetState() != TS_DEAD) {
			watcher->Retain();
			fDeathWatchers.push_back(watcher);
		}
	}
	const uint32 waitKind = caller != nullptr ? caller->_SetWaitKind(kTaskWaitDeath) : kTaskWaitNone;
	while (GetState() != TS_DEAD) {
		const uint32 elapsed = ElapsedSince(start);
		if (inTimeoutMilliseconds <= 0 || elapsed >= static_cast<uint32>(inTimeoutMilliseconds))
			break;
		const int32 remaining = static_cast<int32>(static_cast<uint32>(inTimeoutMilliseconds) - elapsed);
		if (caller != nullptr)
			caller->_ExecuteMessages(caller->_RetainMessageWithTimeout(remaining), true);
		else
			watcher->Wait(remaining);
	}
	if (caller != nullptr)
		caller->_RestoreWaitKind(waitKind);
	bool removed = false;
	{
		StLocker<XTaskMgrMutexImpl> lock(fManager->GetLock());
		auto found = std::find(fDeathWatchers.begin(), fDeathWatchers.end(), watcher);
		if (found != fDeathWatchers.end()) {
			fDeathWatchers.erase(found);
			removed = true;
		}
	}
	if (removed)
		watcher->Release();
	watcher->Release();
	return GetState() == TS_DEAD;
}

void VTask::Sleep(int32 inMilliseconds)
{
	if (inMilliseconds <= 0) {
		VTaskMgr::YieldNow();
		if (VTask* task = GetCurrent())
			task->_NoteExecution();
		return;
	}
	if (!VTaskMgr::IsInited())
		return;
	VTask* task = GetCurrent();
	if (task == nullptr || task->fPlatformTask == nullptr)
		return;
	const uint32 waitKind = task->_SetWaitKind(kTaskWaitSleeping);
	if (!task->fIsPreemptive) {
		task->fFiberWaitFlag.store(0, std::memory_order_release);
		VTaskMgr::CurrentFiberWaitFlagWithTimeout(&task->fFiberWaitFlag, 0, inMilliseconds);
	} else {
		task->fPlatformTask->Sleep(inMilliseconds);
	}
	task->_RestoreWaitKind(waitKind);
	// A task that polls with sleeps is alive each time it comes back.
	task->_NoteExecution();
}

void VTask::WakeUp()
{
	if (fPlatformTask == nullptr)
		return;
	if (fIsPreemptive) {
		fPlatformTask->WakeUp();
		return;
	}
	// Ends a fiber's sleep; a frozen fiber waits on its platform task's flag.
	fFiberWaitFlag.store(1, std::memory_order_release);
	fPlatformTask->WakeUp();
}

void VTask::Freeze()
{
	if (fPlatformTask != nullptr)
		fPlatformTask->Freeze();
}

int32 VTask::GetSystemID() const
{
	return fPlatformTask != nullptr ? fPlatformTask->GetSystemThreadID() : 0;
}

bool VTask::GetCPUTimes(double& outUser, double& outSystem) const
{
	outUser = 0;
	outSystem = 0;
	return fPlatformTask != nullptr && fPlatformTask->GetCPUTimes(outUser, outSystem);
}

bool VTask::GetCPUUsage(double& outUsage) const
{
	outUsage = 0;
	return fPlatformTask != nullptr && fPlatformTask->GetCPUUsage(outUsage);
}

size_t VTask::GetStackSize()
{
	size_t size = fStackSize.load(std::memory_order_relaxed);
	if (size == 0) {
		size = IsMain() ? fManager->GetStackSizeForMainTask() : fManager->GetDefaultStackSize();
		fStackSize.store(size, std::memory_order_relaxed);
	}
	return size;
}

bool VTask::IsResponding() const
{
	return ElapsedSince(fLastExecutionTime.load(std::memory_order_relaxed)) < 1000;
}

int32 VTask::GetCurrentID()
{
	VTask* task = GetCurrent();
	return task != nullptr ? task->GetID() : 0;
}

bool VTask::IsCurrentMain()
{
	VTask* task = GetCurrent();
	return task != nullptr && task == VTaskMgr::Get()->GetMainTask();
}

void* VTask::GetData(size_t inKey) const
{
	if (inKey == 0 || inKey > fData.size())
		return nullptr;
	return fData[inKey - 1];
}

bool VTask::SetData(size_t inKey, void* inData)
{
	if (inKey == 0)
		return false;
	if (inKey > fData.size())
		fData.resize(inKey, nullptr);
	fData[inKey - 1] = inData;
	return true;
}

void* VTask::GetCurrentData(size_t inKey)
{
	VTask* task = GetCurrent();
	return task != nullptr ? task->GetData(inKey) : nullptr;
}

bool VTask::SetCurrentData(size_t inKey, void* inData)
{
	VTask* task = GetCurrent();
	return task != nullptr && task->SetData(inKey, inData);
}

void VTask::DisposeAllData()
{
	std::vector<void*> data;
	data.swap(fData);
	fManager->DisposeData(data.begin(), data.end());
}

void VTask::SetQXTask(VQXTask* inTask, IRefCountable* inOwner)
{
	if (inOwner != nullptr)
		inOwner->Retain();
	IRefCountable* old = nullptr;
	{
		StLocker<XTaskMgrMutexImpl> lock(fManager->GetLock());
		fQXTask = inTask;
		old = std::exchange(fQXTaskOwner, inOwner);
	}
	if (old != nullptr)
		old->Release();
}

VQXTask* VTask::RetainQXTask(IRefCountable** outOwner) const
{
	StLocker<XTaskMgrMutexImpl> lock(fManager->GetLock());
	if (outOwner != nullptr) {
		*outOwner = fQXTaskOwner;
		if (fQXTaskOwner != nullptr)
			fQXTaskOwner->Retain();
	}
	return fQXTask;
}

void VTask::ReleaseCurrentActivityToken()
{
	if (VTask* task = GetCurrent())
		task->fActivityToken.Clear();
}

void VTask::SetName(const VString& inName)
{
	{
		StLocker<XTaskMgrMutexImpl> lock(fManager->GetLock());
		if (fName == nullptr)
			fName = new VString(inName);
		else
			fName->FromString(inName);
	}
	// Only a thread can rename itself.
	if (GetCurrent() == this)
		_NameCurrentThread();
}

void VTask::GetName(VString& outName) const
{
	StLocker<XTaskMgrMutexImpl> lock(fManager->GetLock());
	if (fName != nullptr)
		outName.FromString(*fName);
	else
		outName.Clear();
}

void VTask::_MakeActivityToken()
{
	VString reason("Running task ");
	VString name;
	GetName(name);
	reason.AppendString(name);
	fActivityToken = VRefPtr<VActivityToken>::Adopt(new VActivityToken(reason));
}

void VTask::_NameCurrentThread() const
{
	VString name;
	GetName(name);
	StStringConverter<char> utf8(name, VTC_UTF_8);
	fManager->GetPlatform().SetCurrentThreadName(std::string(utf8.GetCPointer(), utf8.GetLength()), fID);
}

} // namespace qirn
