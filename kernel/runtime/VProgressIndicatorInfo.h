#pragma once

#include "bags_xml/StBagKeyNoDefault.h"
#include "core/IRefCountable.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "core/VUUID.h"

#include <atomic>
#include <deque>
#include <memory>
#include <vector>

namespace qirn {

class VJSONObject;
class VProgressIndicator;
class VValueBag;

namespace ProgressBagKeys {
extern const StBagKeyNoDefault fUpdateFlags;
extern const StBagKeyNoDefault fMessage;
extern const StBagKeyNoDefault fValue;
extern const StBagKeyNoDefault fMax;
extern const StBagKeyNoDefault fStartTime;
extern const StBagKeyNoDefault fCanInterrupt;
extern const StBagKeyNoDefault fExtraInfoBagVersion;
extern const StBagKeyNoDefault ExtraInfo;
extern const StBagKeyNoDefault Extra;
extern const StBagKeyNoDefault fFlags;
extern const StBagKeyNoDefault fSessionCount;
extern const StBagKeyNoDefault fChangesVersion;
extern const StBagKeyNoDefault fSessionVersion;
extern const StBagKeyNoDefault fMasterSessionVersion;
extern const StBagKeyNoDefault fUserAbort;
extern const StBagKeyNoDefault fCurrent;
extern const StBagKeyNoDefault fSessionStack;
extern const StBagKeyNoDefault UserInfo;
extern const StBagKeyNoDefault SessionCount;
extern const StBagKeyNoDefault Title;
extern const StBagKeyNoDefault CanInterrupt;
extern const StBagKeyNoDefault SessionInfo;
extern const StBagKeyNoDefault uuid;
extern const StBagKeyNoDefault version;
extern const StBagKeyNoDefault ProgressInfo;
} // namespace ProgressBagKeys

// Asked, when a snapshot is taken, what a session is doing inside: answers a
// retained JSON object, or null. It is asked under the indicator's lock, so
// it must not call the progress manager (which takes its registry lock
// before an indicator's).
class IProgressInfoCollector {
public:
	virtual ~IProgressInfoCollector() = default;
	virtual VJSONObject* RetainSubOperations(VProgressIndicator* inIndicator, bool inOutermost) = 0;
};

// One session of a progress indicator. The value and the maximum are written
// by the reporting worker without a lock, so they are atomics; every other
// field is guarded by the indicator's lock while the info is live.
class VProgressIndicatorInfo : public VObject {
public:
	// Fields a partial bag form carries ("fUpdateFlags").
	static constexpr uint32 kUpdateMessage = 1;
	static constexpr uint32 kUpdateValue = 2;
	static constexpr uint32 kUpdateMax = 4;
	static constexpr uint32 kUpdateStartTime = 8;
	static constexpr uint32 kUpdateInterruptible = 16;
	static constexpr uint32 kUpdateExtraVersion = 32;
	static constexpr uint32 kUpdateExtraBag = 64;
	static constexpr uint32 kUpdateAll = 1024;

	VProgressIndicatorInfo();
	VProgressIndicatorInfo(const VProgressIndicatorInfo& inOther);
	VProgressIndicatorInfo& operator=(const VProgressIndicatorInfo& inOther);
	~VProgressIndicatorInfo() override;

	int32 GetTaskID() const { return fTaskID; }
	const VUUID& GetUUID() const { return fUUID; }
	const VString& GetMessage() const { return fMessage; }
	void SetMessage(const VString& inMessage) { fMessage.FromString(inMessage); }
	sLONG8 GetValue() const { return fValue.load(std::memory_order_relaxed); }
	void SetValue(sLONG8 inValue) { fValue.store(inValue, std::memory_order_relaxed); }
	sLONG8 AddToValue(sLONG8 inStep) { return fValue.fetch_add(inStep, std::memory_order_relaxed) + inStep; }
	sLONG8 GetMax() const { return fMax.load(std::memory_order_relaxed); }
	void SetMax(sLONG8 inMax) { fMax.store(inMax, std::memory_order_relaxed); }
	bool IsUndetermined() const { return GetMax() <= 0; }
	uint32 GetStartTime() const { return fStartTime; }
	bool IsStarted() const { return fStarted; }
	// Start time now.
	void Start();
	void SetStarted(bool inStarted) { fStarted = inStarted; }
	bool IsInterruptible() const { return fInterruptible; }
	void SetInterruptible(bool inInterruptible) { fInterruptible = inInterruptible; }
	bool IsRemote() const { return fRemote; }
	VValueBag* GetExtraInfoBag() const { return fExtraInfo.Get(); }
	uint32 GetExtraInfoBagVersion() const { return fExtraInfoVersion; }
	// The bag, made on first use; every change through it bumps the version.
	VValueBag* GetOrCreateExtraInfoBag();
	void TouchExtraInfoBag() { ++fExtraInfoVersion; }
	IProgressInfoCollector* GetCollector() const { return fCollector; }
	void SetCollector(IProgressInfoCollector* inCollector) { fCollector = inCollector; }
	VJSONObject* GetSubOperations() const { return fSubOperations.Get(); }
	void SetSubOperations(VJSONObject* inObject);
	// The fields a loaded partial form carries (kUpdateAll otherwise).
	uint32 GetUpdateFlags() const { return fUpdateFlags; }

	// The bag form; with inReference only the fields that differ from it.
	VError SaveToBag(VValueBag& ioBag, VString& outKind, const VProgressIndicatorInfo* inReference = nullptr) const;
	// Takes the fields the bag carries (all of them for a full form), so that
	// a partial form loads onto the info it was made against. The info
	// becomes a mirror (remote).
	VError LoadFromBag(const VValueBag& inBag);
	// Applies the fields selected by inRemote's update flags.
	void UpdateFromRemoteInfo(const VProgressIndicatorInfo& inRemote);

	// The JSON form; the target is emptied first.
	void GetJSONObject(VJSONObject& outObject) const;
	// The message with its {placeholders} filled: maxValue, curValue,
	// rateValue, startTime, duration.
	void GetFormattedMessage(VString& outMessage) const;
	// Milliseconds since the start.
	uint32 GetElapsed() const;

private:
	int32 fTaskID = 0;
	VUUID fUUID;
	VString fMessage;
	std::atomic<sLONG8> fValue{0};
	std::atomic<sLONG8> fMax{0};
	uint32 fStartTime = 0;
	bool fStarted = false;
	bool fInterruptible = true;
	bool fRemote = false;
	VRefPtr<VValueBag> fExtraInfo;
	uint32 fExtraInfoVersion = 0;
	IProgressInfoCollector* fCollector = nullptr;
	VRefPtr<VJSONObject> fSubOperations;
	uint32 fUpdateFlags = kUpdateAll;
};

// A snapshot of an indicator's sessions, outermost first, the current last.
class VRefCountedSessionInfo : public VObject, public IRefCountable {
public:
	VRefCountedSessionInfo() = default;
	explicit VRefCountedSessionInfo(std::vector<std::unique_ptr<VProgressIndicatorInfo>>&& inInfos)
		: fInfos(std::move(inInfos))
	{
	}
	size_t GetCount() const { return fInfos.size(); }
	const VProgressIndicatorInfo& GetNth(size_t inIndex) const { return *fInfos[inIndex]; }

private:
	std::vector<std::unique_ptr<VProgressIndicatorInfo>> fInfos;
};

// Three levels of an indicator: the outermost session, the one above the
// current one, and the current one.
struct VProgressSessionInfo {
	VProgressIndicatorInfo fLevels[3];
	int32 fSessionCount = 0;
	int32 fLevelCount = 0;
	uint32 fChangesVersion = 0;
	float fPercentDone = 0;
};

// What a process sends another so that it mirrors an indicator.
class VRemoteProgressSessionInfo : public VObject {
public:
	static constexpr uint32 kHasCount = 1;
	static constexpr uint32 kHasChangesVersion = 2;
	static constexpr uint32 kHasSessionVersion = 4;
	static constexpr uint32 kHasMasterSessionVersion = 8;
	static constexpr uint32 kHasUserAbort = 16;
	static constexpr uint32 kHasCanInterrupt = 32;
	static constexpr uint32 kHasCurrentOnly = 64;
	static constexpr uint32 kHasStack = 128;

	int32 fSessionCount = 0;
	std::deque<VProgressIndicatorInfo> fStack;
	uint32 fChangesVersion = 0;
	uint32 fMasterSessionVersion = 0;
	uint32 fSessionVersion = 0;
	bool fUserAbort = false;
	bool fCanInterrupt = true;
	uint32 fFlags = 0;

	// Infos are written against those of inReference when it has the same
	// session count.
	VError SaveToBag(VValueBag& ioBag, VString& outKind, const VRemoteProgressSessionInfo* inReference = nullptr) const;
	// Loads onto what this object holds: an info written against a reference
	// loads onto the info at its position, which the receiver keeps from the
	// previous form when the session count is unchanged.
	VError LoadFromBag(const VValueBag& inBag);
};

} // namespace qirn
