#pragma once

#include "core/IRefCountable.h"
#include "core/VKernelTypes.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "process/EMessageLevel.h"
#include "runtime/VCriticalSection.h"

#include <atomic>
#include <memory>
#include <set>

namespace qirn {

class ILocalizer;
class VActivityToken;
class VIntlMgr;
class VJSONClassStore;
class VJSONObject;
class VLogger;
class VMetricsManager;

// The process object: the singleton every kernel application derives from.
// It starts the kernel's services in order (the task manager, with the main
// task on the calling thread) and holds what belongs to the whole process:
// the fibered setting, the metrics, the localizer, the logger and the
// activity tokens.
class VProcess : public VObject {
public:
	// Flags of Init.
	static constexpr uint32 kInitFibered = 0x02;
	static constexpr uint32 kInitLogger = 0x10;
	static constexpr uint32 kInitFileSystemNotifier = 0x40;

	VProcess();
	~VProcess() override;

	VProcess(const VProcess&) = delete;
	VProcess& operator=(const VProcess&) = delete;

	// Starts the process once; later calls answer the first result.
	virtual bool Init(uint32 inFlags);
	bool IsInitCalled() const { return fInitCalled; }
	bool IsInitOK() const { return fInitOK; }

	// Tasks run as fibers (flag 0x02).
	bool IsFibered() const { return fFibered; }

	VMetricsManager* GetMetricsManager() const { return fMetrics.get(); }

	// The international settings of the system's dialect, made at start-up;
	// every task works through a clone of them.
	VIntlMgr* GetIntlMgr() const { return fIntlMgr.Get(); }

	// The application's localizer, null until one is installed. The process
	// keeps a reference to the object behind it (inOwner, the localization
	// manager that implements the interface) for as long as it is installed.
	// It is installed during start-up: a reader gets it without a lock.
	ILocalizer* GetLocalizer() const { return fLocalizer; }
	void SetLocalizer(ILocalizer* inLocalizer, IRefCountable* inOwner);

	// The process logger, made and started by Init with flag 0x10; null
	// without it. It is made during start-up and lives until the end: a
	// reader gets it without a lock.
	VLogger* GetLogger() const { return fLogger.Get(); }
	// The logger only when it takes the level now.
	VLogger* GetLogger(EMessageLevel inLevel) const;
	// The source of log entries that name none: the product name.
	virtual VString GetLogSourceIdentifier() const { return fProductName; }

	// The class store "qx" with its root classes, made by Init; it lives
	// until the end, and is read without a lock.
	VJSONClassStore* GetClassStore() const { return fClassStore.Get(); }
	// The class of that name when the store is the one named (exactly);
	// otherwise null.
	virtual VRefPtr<VJSONObject> GetClassObject(const VString& inStoreName, const VString& inClassName) const;

	// True while a token lives, or for inMilliseconds after the last one went.
	bool HasSomeActivityTokens(uint32 inMilliseconds) const;

	void _RegisterActivityToken(VActivityToken* inToken);
	void _UnregisterActivityToken(VActivityToken* inToken);

	// Read by any task (activity tokens come and go with tasks), written by
	// the start-up and the end on the main task.
	static std::atomic<VProcess*> sInstance;

	// How long the end of the process waits for the tasks it kills.
	static constexpr int32 kTaskEndMilliseconds = 5000;

private:
	bool _Init(uint32 inFlags);
	// Makes the class store and hands it to the JSON objects.
	void _Init_ClassStore();
	void _DeInit();

	mutable VCriticalSection fActivityLock;
	std::set<VActivityToken*> fActivityTokens;
	uint32 fLastActivityTime;
	bool fInitCalled = false;
	bool fInitOK = false;
	bool fFibered = false;
	std::unique_ptr<VMetricsManager> fMetrics;
	VRefPtr<VIntlMgr> fIntlMgr;
	ILocalizer* fLocalizer = nullptr;
	VRefPtr<IRefCountable> fLocalizerOwner;
	VString fProductName; // the main bundle's "CFBundleName"; empty without one
	VRefPtr<VLogger> fLogger;
	VRefPtr<VJSONClassStore> fClassStore;
};

} // namespace qirn
