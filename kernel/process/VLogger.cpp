#include "process/VLogger.h"

#include "bags_xml/VValueBag.h"
#include "core/VString.h"
#include "process/VProcess.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <algorithm>

namespace qirn {

VLogger::VLogger() = default;

VLogger::~VLogger()
{
	VTask* task = nullptr;
	{
		StLocker<VCriticalSection> lock(fListenerLock);
		task = fTask;
		fTask = nullptr;
	}
	if (task != nullptr) {
		task->Kill();
		task->WakeUp();
		// A listener that lets go of the last reference runs this on the
		// task itself, which cannot wait for its own end.
		if (VTask::GetCurrent() != task) {
			while (!task->WaitForDeath(kStopMilliseconds)) {
			}
		}
	}
	{
		StLocker<VCriticalSection> lock(fListenerLock);
		for (ILogListener* listener : fListeners)
			listener->Release();
		fListeners.clear();
	}
	for (const VValueBag* bag : Read())
		bag->Release();
	if (task != nullptr)
		task->Release();
}

void VLogger::Start()
{
	fStarted.store(true, std::memory_order_release);
}

void VLogger::Stop()
{
	VTask* task = nullptr;
	{
		StLocker<VCriticalSection> lock(fListenerLock);
		task = fTask;
		if (task != nullptr)
			task->Retain();
	}
	if (task == nullptr)
		return;
	task->Kill();
	task->WakeUp();
	const bool ended = task->WaitForDeath(kStopMilliseconds);
	// An ended task is let go of at once, so that its thread is joined now
	// rather than with the logger: a stopped logger still starts no new task.
	bool owned = false;
	if (ended) {
		StLocker<VCriticalSection> lock(fListenerLock);
		if (fTask == task) {
			fTask = nullptr;
			fTaskEnded = true;
			owned = true;
		}
	}
	task->Release();
	if (owned) {
		task->Release();
		// The task manager keeps the dead task until its next purge.
		if (VTaskMgr* manager = VTaskMgr::IsInited() ? VTaskMgr::Get() : nullptr)
			manager->PurgeDeadTasks();
	}
}

bool VLogger::IsStarted() const
{
	return fStarted.load(std::memory_order_acquire);
}

bool VLogger::ShouldLog(EMessageLevel inLevel) const
{
	if (!fStarted.load(std::memory_order_acquire))
		return false;
	return (fLevelMask.load(std::memory_order_relaxed) & (1u << (static_cast<uint32>(inLevel) & 31))) != 0;
}

bool VLogger::WithTag(unsigned inTag, bool inSet)
{
	const uint32 bit = 1u << (inTag & 31);
	const uint32 before = inSet ? fLevelMask.fetch_or(bit, std::memory_order_relaxed)
								: fLevelMask.fetch_and(~bit, std::memory_order_relaxed);
	return (before & bit) != 0;
}

void VLogger::_Store(const VValueBag* inBag)
{
	inBag->Retain();
	const VValueBag* dropped = nullptr;
	{
		StLocker<VCriticalSection> lock(fQueueLock);
		if (fWriteIndex >= kRingSize) {
			fWrapped = true;
			fWriteIndex = 0;
		}
		dropped = fRing[fWriteIndex];
		fRing[fWriteIndex] = inBag;
		++fWriteIndex;
	}
	// The oldest entry of a full ring goes, outside the lock.
	if (dropped != nullptr)
		dropped->Release();
}

void VLogger::LogBag(const VValueBag* inBag)
{
	if (inBag == nullptr)
		return;
	if (!ShouldLog(ILoggerBagKeys::level.Get(*inBag)))
		return;
	_Store(inBag);
}

void VLogger::AddLogBag(const VValueBag* inBag)
{
	if (inBag != nullptr)
		_Store(inBag);
}

void VLogger::LogMessage(EMessageLevel inLevel, const VString& inMessage, const VString& inSource)
{
	if (!ShouldLog(inLevel))
		return;
	VValueBag* bag = new VValueBag();
	if (!inSource.IsNull() && inSource.GetLength() > 0) {
		bag->SetString(ILoggerBagKeys::source, inSource);
	} else if (VProcess* process = VProcess::sInstance.load(std::memory_order_acquire); process != nullptr) {
		bag->SetString(ILoggerBagKeys::source, process->GetLogSourceIdentifier());
	} else {
		bag->SetString(ILoggerBagKeys::source, VString());
	}
	if (inLevel != EML_Information)
		ILoggerBagKeys::level.Set(*bag, inLevel);
	bag->SetString(ILoggerBagKeys::message, inMessage);
	// The level was checked above: no need to look it up in the bag again.
	_Store(bag);
	bag->Release();
}

std::vector<const VValueBag*> VLogger::Read()
{
	std::vector<const VValueBag*> batch;
	StLocker<VCriticalSection> lock(fQueueLock);
	if (fWriteIndex <= 0)
		return batch;
	if (fWrapped) {
		batch.reserve(kRingSize);
		batch.insert(batch.end(), fRing.begin() + fWriteIndex, fRing.end());
		fWrapped = false;
	} else {
		batch.reserve(static_cast<size_t>(fWriteIndex));
	}
	batch.insert(batch.end(), fRing.begin(), fRing.begin() + fWriteIndex);
	std::fill(fRing.begin(), fRing.end(), nullptr);
	fWriteIndex = 0;
	return batch;
}

void VLogger::Flush()
{
	const std::vector<const VValueBag*> batch = Read();
	if (batch.empty())
		return;
	StLocker<VCriticalSection> lock(fListenerLock);
	// The lock keeps other tasks out, but a listener may add or remove one
	// (itself, say) on this task: the delivery goes to the list as it was,
	// each listener kept alive until the batch has passed.
	const std::vector<ILogListener*> listeners = fListeners;
	for (ILogListener* listener : listeners)
		listener->Retain();
	for (ILogListener* listener : listeners)
		listener->Put(batch);
	for (ILogListener* listener : listeners)
		listener->Release();
	for (const VValueBag* bag : batch)
		bag->Release();
}

bool VLogger::AddLogListener(ILogListener* inListener)
{
	if (inListener == nullptr)
		return false;
	StLocker<VCriticalSection> lock(fListenerLock);
	if (fTask == nullptr && !fTaskEnded) {
		fTask = new VTask(kTaskStackSize, ETaskStyle::kPreemptive, [this]() { LogReaderTaskProc(); });
		fTask->SetName(VString("Logger"));
		fTask->Run();
	}
	if (std::find(fListeners.begin(), fListeners.end(), inListener) != fListeners.end())
		return false;
	fListeners.insert(fListeners.begin(), inListener);
	inListener->Retain();
	return true;
}

bool VLogger::RemoveLogListener(ILogListener* inListener)
{
	Flush();
	if (inListener == nullptr)
		return false;
	StLocker<VCriticalSection> lock(fListenerLock);
	auto found = std::find(fListeners.begin(), fListeners.end(), inListener);
	if (found == fListeners.end())
		return false;
	fListeners.erase(found);
	inListener->Release();
	return true;
}

void VLogger::LogReaderTaskProc()
{
	VTask::ReleaseCurrentActivityToken();
	VTask* task = VTask::GetCurrent();
	do {
		Flush();
		VTask::Sleep(kDeliveryPeriodMilliseconds);
	} while (task != nullptr && !task->IsDying());
}

} // namespace qirn
