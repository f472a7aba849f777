#pragma once

#include "core/IRefCountable.h"
#include "core/VKernelTypes.h"
#include "core/VObject.h"
#include "files/VFilePath.h"
#include "runtime/VCriticalSection.h"
#include "runtime/VMessage.h"

#include <atomic>
#include <memory>
#include <utility>
#include <vector>

namespace qirn {

// A folder already watched by the same handler.
constexpr VError VE_FS_NOTIFIER_ALREADY_WATCHED = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 659);
// No watch of that folder with that handler (the folder-not-found number).
constexpr VError VE_FS_NOTIFIER_NOT_WATCHED = MAKE_VERROR(kCOMPONENT_SIGNATURE_KERNEL, 650);

class VFolder;
class VTask;
class XLinuxFileSystemNotification;

// Watches folders and tells a handler which files and folders in them were
// added, modified or removed. Changes are found by the platform layer, queued
// on the watch, and delivered by a message to the task that started the
// watch: the handler always runs on that task.
class VFileSystemNotifier : public VObject {
public:
	// Bits; a watch asks for any combination.
	enum EventKind : uint32 { kModified = 1, kAdded = 2, kRemoved = 4 };

	class IEventHandler {
	public:
		virtual ~IEventHandler() = default;
		// The paths share inKind; a folder's path ends with the separator.
		virtual void FileSystemEventHandler(const std::vector<VFilePath>& inPaths, EventKind inKind) = 0;
	};

	// One watch: a folder, the kinds asked, the handler and the task that
	// receives the changes.
	class VChangeData : public VObject, public IRefCountable {
	public:
		VChangeData(const VFilePath& inFolder, EventKind inKinds, IEventHandler* inHandler, VTask* inTask,
				XLinuxFileSystemNotification* inPlatform);
		~VChangeData() override;

		VChangeData(const VChangeData&) = delete;
		VChangeData& operator=(const VChangeData&) = delete;

		const VFilePath& GetFolderPath() const { return fFolderPath; }
		EventKind GetEventKinds() const { return fEventKinds; }
		IEventHandler* GetHandler() const { return fHandler; }
		VTask* GetTask() const { return fTask; }
		XLinuxFileSystemNotification* GetPlatformNotification() const { return fPlatform; }

		// Set once, under the notifier's lock, when the watch is stopped.
		bool IsStopped() const { return fStopped.load(std::memory_order_acquire); }

	private:
		friend class VFileSystemNotifier;

		VFilePath fFolderPath;
		EventKind fEventKinds;
		IEventHandler* fHandler; // not owned
		VTask* fTask;			 // retained
		// Under the notifier's lock: filled by the watcher, drained by the task.
		std::vector<std::pair<VFilePath, EventKind>> fPendingChanges;
		XLinuxFileSystemNotification* fPlatform; // not owned
		std::atomic<bool> fStopped{false};
		// Held by the watch's task while the handler runs: a stop from another
		// task waits on it, so that the handler is never called once the stop
		// returned.
		VCriticalSection fDeliveryLock;
	};

	// Posted to a watch's task; calls EventSignaledCallback there.
	class VChangeMessage : public VMessage {
	public:
		VChangeMessage(VFileSystemNotifier* inNotifier, VChangeData* inData);
		~VChangeMessage() override;

	protected:
		void DoExecute() override;

	private:
		VFileSystemNotifier* fNotifier;
		VChangeData* fData; // retained
	};

	VFileSystemNotifier();
	~VFileSystemNotifier() override;

	VFileSystemNotifier(const VFileSystemNotifier&) = delete;
	VFileSystemNotifier& operator=(const VFileSystemNotifier&) = delete;

	// The process's notifier: the first one made that still lives (the
	// process makes one at start-up), null without one.
	static VFileSystemNotifier* Instance();

	// Errors: kernel 659 when the folder is already watched by the handler;
	// 'POSX' when the platform cannot watch it (no watch is left then).
	VError StartWatchingForChanges(const VFolder& inFolder, EventKind inKinds, IEventHandler* inHandler,
			int inLatencyMs);
	// Kernel 650 when no watch of the folder has that handler. Once it
	// returns, the handler is not called for that watch again.
	VError StopWatchingForChanges(const VFolder& inFolder, IEventHandler* inHandler);

	void SignalChange(VChangeData* inData);
	void EventSignaledCallback(VChangeData* inData);
	void PushChangeData(VChangeData* inData);

	// The watcher's report of one change, ready as a path; dropped when the
	// watch did not ask for the kind or was stopped.
	void AddChangeToList(VChangeData* inData, const VFilePath& inPath, EventKind inKind);

	VCriticalSection& GetLock() { return fLock; }

private:
	// Under the lock: the watch of that folder with that handler, or null.
	VChangeData* _FindWatch(const VFilePath& inFolder, IEventHandler* inHandler) const;
	// Takes the watch out of the platform layer and waits for a delivery in
	// progress on another task.
	void _StopWatch(VChangeData* inData, bool inLastWatch);

	std::unique_ptr<XLinuxFileSystemNotification> fPlatform;
	VCriticalSection fLock;
	std::vector<VChangeData*> fWatches; // retained

	static std::atomic<VFileSystemNotifier*> sInstance;
};

constexpr VFileSystemNotifier::EventKind operator|(VFileSystemNotifier::EventKind inA,
		VFileSystemNotifier::EventKind inB)
{
	return static_cast<VFileSystemNotifier::EventKind>(static_cast<uint32>(inA) | static_cast<uint32>(inB));
}

} // namespace qirn
