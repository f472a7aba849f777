#pragma once

#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VUUID.h"
#include "runtime/VCriticalSection.h"

#include <atomic>
#include <functional>
#include <map>
#include <vector>

namespace qirn {

class VProgressIndicator;
class VRefCountedSessionInfo;
class VString;
class VValueBag;

// Answers a new indicator of an application's standard kind.
using VStdProgressFactory = std::function<VProgressIndicator*(int32 inKind, uint32 inFlags)>;

// The registry of the process's live progress indicators, by UUID. It holds
// no reference: an indicator is in it exactly as long as it lives, so a
// lookup retains only one whose count is still above 0. Made and deleted by
// the process's start-up and end.
class VProgressManager : public VObject {
public:
	static bool Init();
	static bool Deinit();
	static VProgressManager* Get() { return sProgressManager.load(std::memory_order_acquire); }

	static void RegisterProgress(VProgressIndicator* inIndicator);
	static void UnregisterProgress(VProgressIndicator* inIndicator);
	// Retained, or null.
	static VProgressIndicator* RetainProgress(const VUUID& inUUID);
	// The factory's answer, or null while none is set.
	static VProgressIndicator* CreateStdProgress(int32 inKind, uint32 inFlags);
	// Installs the application's factory (empty clears it).
	static void SetStdProgressFactory(VStdProgressFactory inFactory);

	// Appends the last snapshot of every indicator with an open session.
	VError GetAllProgressInfo(std::vector<VRefPtr<VRefCountedSessionInfo>>& outSnapshots);
	// Retained, or null: the first indicator in UUID order with that user
	// information.
	VProgressIndicator* _RetainProgressIndicator(const VString& inUserInfo);
	// One "ProgressInfo" element for the indicator with that user
	// information, or for every indicator when inUserInfo is null.
	VError _GetProgressInfo(VValueBag& ioBag, const VString* inUserInfo);

private:
	VProgressManager() = default;
	~VProgressManager() override = default;

	// Retained, or null when the indicator is being destroyed.
	static VProgressIndicator* _RetainLive(VProgressIndicator* inIndicator);

	VCriticalSection fLock;
	std::map<VUUID, VProgressIndicator*> fRegistry;
	VStdProgressFactory fFactory;

	// Set and cleared on the main task while no other task runs.
	static std::atomic<VProgressManager*> sProgressManager;
};

// Adds a "ProgressInfo" element to the bag and lets the indicator fill it.
VError _ProgressInfoToBag(VValueBag& ioBag, VProgressIndicator* inIndicator);

} // namespace qirn
