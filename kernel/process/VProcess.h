#pragma once

#include "core/IRefCountable.h"
#include "core/VKernelTypes.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/VFilePath.h"
#include "files/VFolderKinds.h"
#include "process/EMessageLevel.h"
#include "runtime/IMessageable.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VSystem.h"

#include <atomic>
#include <memory>
#include <set>

namespace qirn {

class ILocalizer;
class VActivityToken;
class VBootLogListener;
class VFile;
class VFileSystemNamespace;
class VFolder;
class VIntlMgr;
class VJSONClassStore;
class VJSONObject;
class VLogger;
class VMetricsManager;

// Raised by Run when the process could not start.
constexpr VError VE_APPLICATION_INIT_FAILED = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 4);

// The process object: the singleton every kernel application derives from.
// It starts the kernel's services in order (the task manager, with the main
// task on the calling thread), runs the application's main loop on the main
// task, and holds what belongs to the whole process: the fibered setting,
// the metrics, the localizer, the logger with its boot listener, the product
// name and version of the bundle, and the activity tokens.
class VProcess : public VObject, public virtual IMessageable {
public:
	// Flags of Init.
	static constexpr uint32 kInitFibered = 0x02;
	static constexpr uint32 kInitLogger = 0x10;
	static constexpr uint32 kInitFileSystemNotifier = 0x40;
	// What Run starts a process with when nobody called Init.
	static constexpr uint32 kInitDefault = kInitLogger | kInitFileSystemNotifier;

	VProcess();
	~VProcess() override;

	VProcess(const VProcess&) = delete;
	VProcess& operator=(const VProcess&) = delete;

	// Starts the process once; later calls answer the first result.
	virtual bool Init(uint32 inFlags);
	bool IsInitCalled() const { return fInitCalled; }
	bool IsInitOK() const { return fInitOK; }

	// Runs the application on the main task: DoRun, then DoQuit. Does
	// nothing on any other task, or once the main task is dying.
	void Run();
	// Ends Run from any thread, a signal's included: the main task is marked
	// dying and its wait for messages woken. The reason is not used.
	virtual void QuitAsynchronously(const VString* inReason = nullptr);
	// True while the main task exists and is not dying.
	bool IsRunning() const;

	static int32 GetSystemID();
	// Whether a process of that id exists (one we may not signal counts).
	// There is none of id 0 or below: those name process groups to kill().
	static bool IsProcessRunning(int32 inProcessID);

	// The running executable, and its folder; empty paths when unknown.
	VFilePath GetExecutableFilePath() const;
	VFilePath GetExecutableFolderPath() const;
	[[nodiscard]] VFile* RetainExecutableFile() const;

	// The bundle's folders by four-character kind ('EXEC', 'PLST', 'BNDL',
	// 'RSRC', 'NCMP', 'DTDs', 'XSDs', 'XSLs', 'JSNs'), whether or not they
	// exist; null for any other kind.
	[[nodiscard]] virtual VFolder* RetainFolder(uint32 inKind) const;
	// The file in the folder of inKind when it exists, else in the folder of
	// inFallbackKind (unless 0) when it exists; else null.
	[[nodiscard]] VFile* RetainFile(uint32 inKind, const VString& inName, uint32 inFallbackKind) const;
	// The product's own folder in a system folder (an alias named after the
	// product there is followed); made when asked, and for the machine's
	// folders the user's own when the machine's cannot be made.
	[[nodiscard]] VFolder* RetainProductSystemFolder(ESystemFolderKind inKind, bool inCreate) const;

	// The bundle's name and "CFBundleShortVersionString", read at
	// construction; empty without them.
	const VString& GetProductName() const { return fProductName; }
	const VString& GetProductVersion() const { return fProductVersion; }
	// The name of the product's subfolder in system folders.
	const VString& GetProductFolderName() const { return fProductFolderName; }
	// The main bundle's values; the string is left as it is without one.
	static void _ReadProductName(VString& ioName);
	static void _ReadProductVersion(VString& ioVersion);

	// Pieces of a version such as "1.2 build 3.45": the build number
	// ("3.45"), its change-list number (45), the short version ("1.2") and
	// the main version ("1").
	void GetBuildNumber(VString& outNumber) const;
	sLONG GetChangeListNumber() const;
	void GetShortProductVersion(VString& outVersion) const;
	void GetMainProductVersion(VString& outVersion) const;
	static void GetBuildNumberOfVersion(const VString& inVersion, VString& outNumber);
	static sLONG GetChangeListNumberOfVersion(const VString& inVersion);
	static void GetShortVersionOfVersion(const VString& inVersion, VString& outVersion);
	static void GetMainVersionOfVersion(const VString& inVersion, VString& outVersion);

	// The process's file systems by name: ".USER_HOME_DIRECTORY" (hidden),
	// ".PRODUCT_RESOURCES" and those of the resources' "fileSystems.json".
	VFileSystemNamespace* GetFileSystemNamespace() const { return fFileSystemNamespace.Get(); }

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
	// The listener that keeps what is logged during start-up, until
	// CleanBootLogListener; null without a logger or after it.
	VBootLogListener* GetBootLogListener() const { return fBootListener.Get(); }
	// Once the application listens to the logger itself: the kept entries
	// go back to the logger, oldest first, and the boot listener goes.
	void CleanBootLogListener();

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

	// The start-up check that the application is installed on a file system
	// that ignores case: whether a folder's existence answers the same with
	// the first letter of its name in the other case. Shows the failure.
	static bool _CheckCaseInsensitiveFolder(const VFilePath& inFolder);

	// Read by any task (activity tokens come and go with tasks), written by
	// the start-up and the end on the main task.
	static std::atomic<VProcess*> sInstance;

	// How long the end of the process waits for the tasks it kills.
	static constexpr int32 kTaskEndMilliseconds = 5000;

protected:
	// The application's main loop, on the main task; the default does nothing.
	virtual void DoRun() {}
	// Called when DoRun has returned; the default does nothing.
	virtual void DoQuit() {}
	// Whether the system is recent enough; shows why not.
	virtual bool DoCheckSystemVersion(SystemVersion inVersion);

private:
	bool _Init(uint32 inFlags);
	// Makes the class store and hands it to the JSON objects.
	void _Init_ClassStore();
	void _DeInit();
	bool _CheckCaseInsensitiveInstallFolder();
	bool _Init_FileSystems();
	VFile* _RetainExistingFile(uint32 inKind, const VString& inName) const;

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
	VRefPtr<VFileSystemNamespace> fFileSystemNamespace;
	VString fProductName;
	VString fProductVersion;
	VString fProductFolderName;
	VRefPtr<VLogger> fLogger;
	VRefPtr<VBootLogListener> fBootListener;
	VRefPtr<VJSONClassStore> fClassStore;
};

} // namespace qirn
