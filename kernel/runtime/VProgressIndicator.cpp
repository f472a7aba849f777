#include "runtime/VProgressIndicator.h"

#include "bags_xml/VValueBag.h"
#include "files/VStream.h"
#include "json/VJSONCloner.h"
#include "json/VJSONObject.h"
#include "json/VJSONValue.h"
#include "process/VProcess.h"
#include "runtime/VMetricsManager.h"
#include "runtime/VProgressManager.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <vector>

namespace qirn {

namespace K = ProgressBagKeys;

namespace {

// The fraction done of a stack of sessions, outermost first: each inner
// session fills the current step of the one around it.
float PercentDone(const std::vector<const VProgressIndicatorInfo*>& inStack)
{
	if (inStack.empty())
		return 0;
	const VProgressIndicatorInfo& current = *inStack.back();
	if (current.IsUndetermined())
		return static_cast<float>(current.GetValue());
	double scale = 1;
	double sum = 0;
	for (size_t i = 0; i + 1 < inStack.size(); ++i) {
		if (inStack[i]->IsUndetermined())
			return 0;
		scale *= static_cast<double>(inStack[i]->GetMax());
		sum += static_cast<double>(inStack[i]->GetValue()) / scale;
	}
	return static_cast<float>(sum + static_cast<double>(current.GetValue()) / (static_cast<double>(current.GetMax()) * scale));
}

} // namespace

VProgressIndicator::VProgressIndicator() : fUUID(true)
{
	VProgressManager::RegisterProgress(this);
}

VProgressIndicator::VProgressIndicator(const VUUID& inUUID, uint32 inSessionVersion)
	: fUUID(inUUID), fSessionVersion(inSessionVersion)
{
	VProgressManager::RegisterProgress(this);
}

VProgressIndicator::~VProgressIndicator()
{
	// First of all: until the entry is gone an observer may find the
	// indicator (it then sees a count of 0 and leaves it alone).
	VProgressManager::UnregisterProgress(this);
}

void VProgressIndicator::BeginSession(sLONG8 inMax, sLONG8 inValue, const VString& inMessage, bool inCanInterrupt,
									  IProgressInfoCollector* inCollector)
{
	if (GetSessionCount() == 0)
		fOwnerTaskID.store(VTaskMgr::GetCurrentTaskID(), std::memory_order_relaxed);
	StLocker<VCriticalSection> lock(fLock);
	_Changed();
	if (GetSessionCount() == 0) {
		fSessionVersion.fetch_add(1, std::memory_order_relaxed);
		if (inCollector == nullptr)
			inCollector = fDefaultCollector;
	} else {
		fSaved.push_back(fCurrent);
	}
	VProgressIndicatorInfo info;
	info.SetMessage(inMessage);
	info.SetValue(inValue);
	info.SetMax(inMax);
	info.SetInterruptible(inCanInterrupt);
	info.Start();
	info.SetCollector(inCollector);
	fCurrent = info;
	int32 count = fSessionCount.fetch_add(1, std::memory_order_acq_rel) + 1;
	DoBeginSession(count);
}

void VProgressIndicator::BeginSession(sLONG8 inMax, const VString& inMessage)
{
	BeginSession(inMax, 0, inMessage, CanInterrupt(), fDefaultCollector);
}

void VProgressIndicator::BeginSession(sLONG8 inMax, const VString& inMessage, IProgressInfoCollector* inCollector)
{
	BeginSession(inMax, 0, inMessage, CanInterrupt(), inCollector);
}

void VProgressIndicator::BeginSession(sLONG8 inMax, const VString& inMessage, bool inCanInterrupt,
									  IProgressInfoCollector* inCollector)
{
	BeginSession(inMax, 0, inMessage, inCanInterrupt, inCollector);
}

void VProgressIndicator::BeginUndeterminedSession(const VString& inMessage)
{
	BeginSession(-1, 0, inMessage, CanInterrupt(), fDefaultCollector);
}

void VProgressIndicator::BeginUndeterminedSession(const VString& inMessage, bool inCanInterrupt,
												  IProgressInfoCollector* inCollector)
{
	BeginSession(-1, 0, inMessage, inCanInterrupt, inCollector);
}

void VProgressIndicator::EndSession()
{
	StLocker<VCriticalSection> lock(fLock);
	if (GetSessionCount() == 0)
		return;
	if (fRemoteSessionOpen.load(std::memory_order_relaxed)) {
		_CloseDownTo(fRemoteBaseLevel);
		fRemoteSessionOpen.store(false, std::memory_order_relaxed);
		if (GetSessionCount() == 0)
			return;
	}
	_EndOneSession();
}

void VProgressIndicator::_EndOneSession()
{
	StLocker<VCriticalSection> lock(fLock);
	_BuildSnapshotIfRequested();
	_Changed();
	int32 count = GetSessionCount();
	if (count == 1) {
		DoEndSession(count);
		fSessionCount.store(0, std::memory_order_release);
		fSessionVersion.fetch_add(1, std::memory_order_relaxed);
		DoMetrics();
		// Reported once: the manager asks again when the indicator goes.
		fCurrent.SetStarted(false);
		return;
	}
	if (!fSaved.empty()) {
		fCurrent = fSaved.back();
		fSaved.pop_back();
	}
	DoEndSession(count);
	fSessionCount.store(count - 1, std::memory_order_release);
}

void VProgressIndicator::_CloseDownTo(int32 inLevel)
{
	while (GetSessionCount() > inLevel && GetSessionCount() > 0)
		_EndOneSession();
}

void VProgressIndicator::Reset(const VString& inMessage, sLONG8 inMax, sLONG8 inValue)
{
	StLocker<VCriticalSection> lock(fLock);
	if (GetSessionCount() == 0)
		return;
	fCurrent.SetMessage(inMessage);
	fCurrent.SetValue(inValue);
	fCurrent.SetMax(inMax);
	fCurrent.SetInterruptible(true);
	fCurrent.Start();
	fCurrent.SetCollector(nullptr);
	fCurrent.SetSubOperations(nullptr);
	_Changed();
}

bool VProgressIndicator::DoProgress()
{
	VTaskMgr::Yield();
	return !IsUserAbort();
}

bool VProgressIndicator::_AfterReport()
{
	_Changed();
	bool goOn = DoProgress();
	if (goOn && CanInterrupt()) {
		// A thread that runs no kernel task counts as not dying.
		VTask* task = VTaskMgr::GetCurrentTask();
		if (task != nullptr && task->GetState() >= TS_DYING)
			goOn = false;
	}
	return goOn;
}

bool VProgressIndicator::Increment(sLONG8 inStep)
{
	if (GetSessionCount() == 0)
		return true;
	_BuildSnapshotIfRequested();
	fCurrent.AddToValue(inStep);
	return _AfterReport();
}

bool VProgressIndicator::Decrement(sLONG8 inStep)
{
	return Increment(-inStep);
}

bool VProgressIndicator::Progress(sLONG8 inValue)
{
	if (GetSessionCount() == 0)
		return true;
	_BuildSnapshotIfRequested();
	fCurrent.SetValue(inValue);
	return _AfterReport();
}

void VProgressIndicator::SetMessage(const VString& inMessage)
{
	if (GetSessionCount() == 0)
		return;
	_BuildSnapshotIfRequested();
	StLocker<VCriticalSection> lock(fLock);
	fCurrent.SetMessage(inMessage);
	_Changed();
}

void VProgressIndicator::SetMessageAndValue(const VString& inMessage, sLONG8 inValue)
{
	if (GetSessionCount() == 0)
		return;
	_BuildSnapshotIfRequested();
	StLocker<VCriticalSection> lock(fLock);
	fCurrent.SetMessage(inMessage);
	fCurrent.SetValue(inValue);
	_Changed();
}

void VProgressIndicator::SetMessageAndIncrementValue(const VString& inMessage, sLONG8 inStep)
{
	if (GetSessionCount() == 0)
		return;
	_BuildSnapshotIfRequested();
	StLocker<VCriticalSection> lock(fLock);
	fCurrent.SetMessage(inMessage);
	fCurrent.AddToValue(inStep);
	_Changed();
}

void VProgressIndicator::SetMaxValue(sLONG8 inMax)
{
	if (GetSessionCount() == 0)
		return;
	fCurrent.SetMax(inMax);
	_Changed();
}

void VProgressIndicator::SetCanInterrupt(bool inCanInterrupt, bool inCurrentSessionOnly)
{
	if (!inCurrentSessionOnly) {
		fCanInterrupt.store(inCanInterrupt, std::memory_order_relaxed);
		return;
	}
	StLocker<VCriticalSection> lock(fLock);
	if (GetSessionCount() == 0)
		return;
	fCurrent.SetInterruptible(inCanInterrupt);
	_Changed();
}

void VProgressIndicator::SetAttribute(const VString& inName, const VValueSingle& inValue)
{
	StLocker<VCriticalSection> lock(fLock);
	if (GetSessionCount() == 0)
		return;
	fCurrent.GetOrCreateExtraInfoBag()->SetAttribute(StPackedDictionaryKey(inName), inValue);
	fCurrent.TouchExtraInfoBag();
	_Changed();
}

void VProgressIndicator::RemoveAttribute(const VString& inName)
{
	StLocker<VCriticalSection> lock(fLock);
	if (GetSessionCount() == 0)
		return;
	fCurrent.GetOrCreateExtraInfoBag()->RemoveAttribute(StPackedDictionaryKey(inName));
	fCurrent.TouchExtraInfoBag();
	_Changed();
}

void VProgressIndicator::SetProgressInfoCollector(IProgressInfoCollector* inCollector,
												  IProgressInfoCollector** outPrevious)
{
	StLocker<VCriticalSection> lock(fLock);
	if (GetSessionCount() == 0)
		return;
	if (outPrevious != nullptr)
		*outPrevious = fCurrent.GetCollector();
	fCurrent.SetCollector(inCollector);
}

void VProgressIndicator::GetMessage(VString& outMessage)
{
	StLocker<VCriticalSection> lock(fLock);
	if (GetSessionCount() == 0) {
		outMessage.Clear();
		return;
	}
	fCurrent.GetFormattedMessage(outMessage);
}

sLONG8 VProgressIndicator::GetCurrentValue() const
{
	return GetSessionCount() == 0 ? 0 : fCurrent.GetValue();
}

sLONG8 VProgressIndicator::GetMaxValue() const
{
	return GetSessionCount() == 0 ? 0 : fCurrent.GetMax();
}

float VProgressIndicator::_ComputePercentDone() const
{
	if (GetSessionCount() == 0)
		return 0;
	std::vector<const VProgressIndicatorInfo*> stack;
	for (const VProgressIndicatorInfo& info : fSaved)
		stack.push_back(&info);
	stack.push_back(&fCurrent);
	return PercentDone(stack);
}

float VProgressIndicator::ComputePercentDone()
{
	StLocker<VCriticalSection> lock(fLock);
	return _ComputePercentDone();
}

void VProgressIndicator::SetTitle(const VString& inTitle)
{
	StLocker<VCriticalSection> lock(fLock);
	fTitle.FromString(inTitle);
}

void VProgressIndicator::GetTitle(VString& outTitle)
{
	StLocker<VCriticalSection> lock(fLock);
	outTitle.FromString(fTitle);
}

void VProgressIndicator::SetUserInfo(const VString& inUserInfo)
{
	StLocker<VCriticalSection> lock(fLock);
	fUserInfo.FromString(inUserInfo);
}

void VProgressIndicator::GetUserInfo(VString& outUserInfo)
{
	StLocker<VCriticalSection> lock(fLock);
	outUserInfo.FromString(fUserInfo);
}

void VProgressIndicator::UpdateSessionsInfos()
{
	if (GetSessionCount() > 0)
		_RequestSnapshot();
}

VRefCountedSessionInfo* VProgressIndicator::RetainSessionsInfos()
{
	StLocker<VCriticalSection> lock(fSnapshotLock);
	return RetainRefCountable(fLastSnapshot.Get());
}

void VProgressIndicator::_BuildSnapshotIfRequested()
{
	uint32 requested = fRequestedVersion.load(std::memory_order_relaxed);
	if (requested == fCollectedVersion.load(std::memory_order_relaxed) || GetSessionCount() == 0)
		return;
	StLocker<VCriticalSection> lock(fLock);
	std::vector<std::unique_ptr<VProgressIndicatorInfo>> infos;
	size_t total = fSaved.size() + 1;
	for (size_t i = 0; i < total; ++i) {
		VProgressIndicatorInfo& info = i < fSaved.size() ? fSaved[i] : fCurrent;
		if (IProgressInfoCollector* collector = info.GetCollector()) {
			VRefPtr<VJSONObject> sub = VRefPtr<VJSONObject>::Adopt(collector->RetainSubOperations(this, i == 0));
			info.SetSubOperations(sub.Get());
		}
		infos.push_back(std::make_unique<VProgressIndicatorInfo>(info));
	}
	VRefPtr<VRefCountedSessionInfo> snapshot =
		VRefPtr<VRefCountedSessionInfo>::Adopt(new VRefCountedSessionInfo(std::move(infos)));
	StLocker<VCriticalSection> snapshotLock(fSnapshotLock);
	fLastSnapshot = snapshot;
	fCollectedVersion.store(requested, std::memory_order_relaxed);
}

bool VProgressIndicator::GetProgressInfo(const VUUID& inSessionUUID, VProgressIndicatorInfo& outInfo)
{
	StLocker<VCriticalSection> lock(fLock);
	if (GetSessionCount() == 0)
		return false;
	if (fCurrent.GetUUID() == inSessionUUID) {
		outInfo = fCurrent;
		return true;
	}
	for (const VProgressIndicatorInfo& info : fSaved) {
		if (info.GetUUID() == inSessionUUID) {
			outInfo = info;
			return true;
		}
	}
	return false;
}

bool VProgressIndicator::GetProgressInfo(VProgressSessionInfo& outInfo)
{
	std::vector<const VProgressIndicatorInfo*> stack;
	VRefPtr<VRefCountedSessionInfo> snapshot;
	bool locked = false;
	if (!fRemoteSessionOpen.load(std::memory_order_relaxed)) {
		UpdateSessionsInfos();
		snapshot = VRefPtr<VRefCountedSessionInfo>::Adopt(RetainSessionsInfos());
		if (!snapshot)
			return false;
		for (size_t i = 0; i < snapshot->GetCount(); ++i)
			stack.push_back(&snapshot->GetNth(i));
	} else {
		if (!fLock.TryToLock())
			return false;
		locked = true;
		if (GetSessionCount() > 0) {
			for (const VProgressIndicatorInfo& info : fSaved)
				stack.push_back(&info);
			stack.push_back(&fCurrent);
		}
	}
	size_t count = stack.size();
	if (count >= 1)
		outInfo.fLevels[0] = *stack[0];
	if (count == 2)
		outInfo.fLevels[1] = *stack[1];
	if (count >= 3) {
		outInfo.fLevels[1] = *stack[count - 2];
		outInfo.fLevels[2] = *stack[count - 1];
	}
	outInfo.fSessionCount = static_cast<int32>(count);
	outInfo.fLevelCount = static_cast<int32>(count < 3 ? count : 3);
	outInfo.fChangesVersion = GetChangesVersion();
	outInfo.fPercentDone = PercentDone(stack);
	if (locked)
		fLock.Unlock();
	return true;
}

void VProgressIndicator::SetProgressInfo(const VProgressIndicatorInfo& inInfo)
{
	StLocker<VCriticalSection> lock(fLock);
	fCurrent = inInfo;
	_Changed();
}

VError VProgressIndicator::SaveInfoToBag(VValueBag& ioBag)
{
	StLocker<VCriticalSection> lock(fLock);
	ioBag.SetString(K::UserInfo, fUserInfo);
	int32 count = GetSessionCount();
	ioBag.SetLong(K::SessionCount, count);
	ioBag.SetString(K::Title, fTitle);
	ioBag.SetBool(K::CanInterrupt, CanInterrupt());
	VString kind;
	auto add = [&](const VProgressIndicatorInfo& inInfo) {
		VRefPtr<VValueBag> element = VRefPtr<VValueBag>::Adopt(new VValueBag());
		inInfo.SaveToBag(*element, kind);
		ioBag.AddElement(K::SessionInfo, element.Get());
	};
	for (const VProgressIndicatorInfo& info : fSaved)
		add(info);
	if (count > 0)
		add(fCurrent);
	return VE_OK;
}

VError VProgressIndicator::WriteInfoForRemote(VStream& ioStream)
{
	// The reader finds the byte order from the mark.
	ioStream.PutWord(static_cast<uWORD>(1));
	fUUID.WriteToStream(&ioStream);
	ioStream.PutLong(static_cast<uLONG>(GetSessionVersion()));
	return ioStream.GetLastError();
}

VError VProgressIndicator::WriteInfoForRemote(VValueBag& ioBag, VString& outKind)
{
	ioBag.SetVUUID(K::uuid, fUUID);
	ioBag.SetLong(K::version, static_cast<sLONG>(GetSessionVersion()));
	outKind.FromCString("VProgressIndicator");
	return VE_OK;
}

void VProgressIndicator::DoMetrics()
{
	StLocker<VCriticalSection> lock(fLock);
	if (!fCurrent.IsStarted())
		return;
	uint32 duration = fCurrent.GetElapsed();
	VProcess* process = VProcess::sInstance.load(std::memory_order_acquire);
	VMetricsManager* metrics = process != nullptr ? process->GetMetricsManager() : nullptr;
	if (metrics == nullptr || !metrics->IsCollecting(kMetricsKindProgressIndicator))
		return;
	VJSONValue data(JSON_object);
	VJSONObject* object = data.GetObject();
	fCurrent.GetJSONObject(*object);
	object->SetProperty(VString("title"), VJSONValue(fTitle));
	VString message;
	fCurrent.GetFormattedMessage(message);
	object->SetProperty(VString("infoMessage"), VJSONValue(message));
	if (VValueBag* extra = fCurrent.GetExtraInfoBag()) {
		VError error = VE_OK;
		VRefPtr<VJSONObject> extraObject = VRefPtr<VJSONObject>::Adopt(extra->BuildJSONObject(error));
		if (error == VE_OK && extraObject)
			object->SetProperty(VString("extraInfo"), VJSONValue(extraObject.Get()));
	}
	if (VJSONObject* sub = fCurrent.GetSubOperations()) {
		VJSONValue copy;
		VJSONCloner cloner;
		if (cloner.CloneObject(sub, copy) == VE_OK)
			object->SetProperty(VString("subOperations"), copy);
	}
	metrics->Push(kMetricsKindProgressIndicator, duration, object);
}

} // namespace qirn
