#pragma once

#include "core/VKernelTypes.h"
#include "files/VFileSystemNotifier.h"

#include <ctime>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace qirn {

// The Linux side of the file-system notifier, over inotify. Inotify names
// changed entries of single directories only, so each watched folder has a
// watch per directory of its tree, added as directories appear, and keeps a
// snapshot of every directory: a change is found by comparing a directory's
// listing with its snapshot, which is then updated in place. One inotify
// instance and one watcher thread serve every watch of the notifier; events
// are gathered per watch for its latency before the directories they name
// are compared. Links are never followed.
class XLinuxFileSystemNotification {
public:
	// One directory entry as the snapshot keeps it.
	struct FileInfo {
		timespec fModificationTime{};
		bool fIsFolder = false;
	};
	using DirectorySnapshot = std::map<std::string, FileInfo>;
	// Directory POSIX path (ending with '/') to its entries.
	using Snapshots = std::map<std::string, DirectorySnapshot>;

	class XLinuxChangeData;

	explicit XLinuxFileSystemNotification(VFileSystemNotifier* inOwner);
	~XLinuxFileSystemNotification();

	XLinuxFileSystemNotification(const XLinuxFileSystemNotification&) = delete;
	XLinuxFileSystemNotification& operator=(const XLinuxFileSystemNotification&) = delete;

	// Makes the watch, its directory watches and snapshots, and hands it to
	// the owner (PushChangeData); the caller holds the owner's lock for the
	// search that came before, not for this call. 'POSX' errors (the
	// instance, the thread, the folder or one of its directories cannot be
	// watched) leave nothing behind.
	VError StartWatchingForChanges(const VFolder& inFolder, VFileSystemNotifier::EventKind inKinds,
			VFileSystemNotifier::IEventHandler* inHandler, int inLatencyMs,
			VFileSystemNotifier::VChangeData** outData);
	// Drops the watch's directory watches; the watcher forgets it.
	void StopWatchingForChanges(VFileSystemNotifier::VChangeData* inData, bool inLastWatch);

	// How a directory is watched; tests put a failing one in place to see
	// what a full watch table does. Answers a watch descriptor or -1 with
	// errno set.
	using AddWatchFunction = int (*)(int inFD, const char* inPath, uint32 inMask);
	static void SetAddWatchFunctionForTests(AddWatchFunction inFunction);

private:
	struct WatchedDirectory;
	struct Watcher;

	VFileSystemNotifier* fOwner;
	std::unique_ptr<Watcher> fWatcher;
};

} // namespace qirn
