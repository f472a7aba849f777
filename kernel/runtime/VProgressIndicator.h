#pragma once

#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "core/VUUID.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VProgressIndicatorInfo.h"

#include <atomic>
#include <deque>

namespace qirn {

class VStream;
class VValueBag;

// Follows one long operation as a stack of nested sessions. The worker that
// owns the sessions reports (Increment, Progress) without a lock: values and
// counters are atomics. Messages, attributes and the stack change under the
// indicator lock, which readers take to copy them. Observers on other tasks
// read snapshots, which the owner builds at its next report once asked.
class VProgressIndicator : public VObject, public IRefCountable {
public:
	VProgressIndicator();
	VProgressIndicator(const VUUID& inUUID, uint32 inSessionVersion);
	~VProgressIndicator() override;

	VProgressIndicator(const VProgressIndicator&) = delete;
	VProgressIndicator& operator=(const VProgressIndicator&) = delete;

	const VUUID& GetUUID() const { return fUUID; }
	int32 GetSessionCount() const { return fSessionCount.load(std::memory_order_acquire); }
	bool Lock() { return fLock.Lock(); }
	bool Unlock() { return fLock.Unlock(); }

	virtual VError SaveInfoToBag(VValueBag& ioBag);
	virtual bool IsManagerValid() { return true; }

	// Sessions.
	void BeginSession(sLONG8 inMax, sLONG8 inValue, const VString& inMessage, bool inCanInterrupt,
					  IProgressInfoCollector* inCollector);
	void BeginSession(sLONG8 inMax, const VString& inMessage);
	void BeginSession(sLONG8 inMax, const VString& inMessage, IProgressInfoCollector* inCollector);
	void BeginSession(sLONG8 inMax, const VString& inMessage, bool inCanInterrupt, IProgressInfoCollector* inCollector);
	void BeginUndeterminedSession(const VString& inMessage);
	void BeginUndeterminedSession(const VString& inMessage, bool inCanInterrupt, IProgressInfoCollector* inCollector);
	void EndSession();
	void Reset(const VString& inMessage, sLONG8 inMax, sLONG8 inValue);

	// Reporting: false asks the worker to stop.
	bool Increment(sLONG8 inStep = 1);
	bool Decrement(sLONG8 inStep = 1);
	bool Progress(sLONG8 inValue);
	void SetMessage(const VString& inMessage);
	void SetMessageAndValue(const VString& inMessage, sLONG8 inValue);
	void SetMessageAndIncrementValue(const VString& inMessage, sLONG8 inStep = 1);
	void SetMaxValue(sLONG8 inMax);
	void SetCanInterrupt(bool inCanInterrupt, bool inCurrentSessionOnly = false);
	bool CanInterrupt() const { return fCanInterrupt.load(std::memory_order_relaxed); }
	void SetAttribute(const VString& inName, const VValueSingle& inValue);
	void RemoveAttribute(const VString& inName);
	void SetProgressInfoCollector(IProgressInfoCollector* inCollector, IProgressInfoCollector** outPrevious = nullptr);
	void SetDefaultCollector(IProgressInfoCollector* inCollector) { fDefaultCollector = inCollector; }

	// The current session's message with its placeholders filled.
	void GetMessage(VString& outMessage);
	sLONG8 GetCurrentValue() const;
	sLONG8 GetMaxValue() const;
	float ComputePercentDone();

	// A user asks the worker to stop; its next report answers false.
	void SetUserAbort(bool inAbort) { fUserAbort.store(inAbort ? 1 : 0, std::memory_order_relaxed); }
	bool IsUserAbort() const { return fUserAbort.load(std::memory_order_relaxed) == 1; }
	void SetTitle(const VString& inTitle);
	void GetTitle(VString& outTitle);
	// A free identifier the progress manager finds indicators by.
	void SetUserInfo(const VString& inUserInfo);
	void GetUserInfo(VString& outUserInfo);

	uint32 GetSessionVersion() const { return fSessionVersion.load(std::memory_order_relaxed); }
	uint32 GetChangesVersion() const { return fChangesVersion.load(std::memory_order_relaxed); }

	// Observation.
	void UpdateSessionsInfos();
	VRefCountedSessionInfo* RetainSessionsInfos();
	bool GetProgressInfo(const VUUID& inSessionUUID, VProgressIndicatorInfo& outInfo);
	bool GetProgressInfo(VProgressSessionInfo& outInfo);
	bool GetProgressInfo(VRemoteProgressSessionInfo& outInfo, const VRemoteProgressSessionInfo* inPrevious);
	void SetProgressInfo(const VProgressIndicatorInfo& inInfo);
	void UpdateFromRemoteInfo(const VRemoteProgressSessionInfo& inRemote);
	VError WriteInfoForRemote(VStream& ioStream);
	VError WriteInfoForRemote(VValueBag& ioBag, VString& outKind);

	// Reports the current session's duration to the process's metrics.
	void DoMetrics();

	// Asks for a snapshot; the owner's next report builds it.
	void _RequestSnapshot() { fRequestedVersion.fetch_add(1, std::memory_order_relaxed); }

protected:
	virtual void DoBeginSession(int32 /*inCount*/) {}
	virtual void DoEndSession(int32 /*inCount*/) {}
	virtual bool DoProgress();

private:
	bool _AfterReport();
	void _BuildSnapshotIfRequested();
	void _EndOneSession();
	void _CloseDownTo(int32 inLevel);
	void _PushRemoteInfo(const VProgressIndicatorInfo& inInfo);
	void _Changed() { fChangesVersion.fetch_add(1, std::memory_order_relaxed); }
	float _ComputePercentDone() const;

	VUUID fUUID;
	mutable VCriticalSection fLock;
	std::deque<VProgressIndicatorInfo> fSaved;
	VProgressIndicatorInfo fCurrent;
	std::atomic<int32> fSessionCount{0};
	std::atomic<bool> fRemoteSessionOpen{false};
	int32 fRemoteBaseLevel = 0;
	uint32 fMasterSessionVersion = 0;
	std::atomic<bool> fCanInterrupt{true};
	VString fTitle;
	std::atomic<uint32> fSessionVersion{0};
	std::atomic<int32> fUserAbort{0};
	std::atomic<uint32> fChangesVersion{0};
	VString fUserInfo;
	IProgressInfoCollector* fDefaultCollector = nullptr;
	mutable VCriticalSection fSnapshotLock;
	VRefPtr<VRefCountedSessionInfo> fLastSnapshot;
	std::atomic<uint32> fCollectedVersion{0xFFFFFFFF};
	std::atomic<uint32> fRequestedVersion{0};
	std::atomic<int32> fOwnerTaskID{0};
};

} // namespace qirn
