#pragma once

#include "core/VKernelTypes.h"
#include "files/VFileSystemNotifier.h"

#include <ctime>
#include <sys/types.h>
#include <map>
#include <memory>
#include <mutex>
#include <set>
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
	// The inode tells an entry replaced under the same name (a folder moved
	// away and another moved in, a file renamed over) from one left alone.
	struct FileInfo {
		timespec fModificationTime{};
		ino_t fInode = 0;
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
	struct Watcher;

	// 0 or an errno value.
	int _OpenWatcher();
	void _Run();
	void _ReadEvents();
	void _FlushDueWatches();
	void _ProcessBatch(XLinuxChangeData* inData, bool inOverflow, bool inRootChanged,
			std::vector<std::string>& inDirectories, std::map<std::string, std::set<std::string>>& inWrittenNames);
	// Watches the directory, lists it and, below it, every directory;
	// entries are reported added with inReport. Answers 0 or the errno
	// value of the directory's own watch or listing.
	int _SnapshotTree(XLinuxChangeData* inData, const std::string& inDirectory, bool inReport, bool inStarting);
	bool _CompareDirectory(XLinuxChangeData* inData, const std::string& inDirectory,
			const std::set<std::string>* inWrittenNames);
	void _DropTree(XLinuxChangeData* inData, const std::string& inDirectory);
	int _WatchDirectory(XLinuxChangeData* inData, const std::string& inDirectory);
	void _UnwatchDirectory(XLinuxChangeData* inData, const std::string& inDirectory);
	bool _Report(XLinuxChangeData* inData, const std::string& inDirectory, const std::string& inName, bool inIsFolder,
			VFileSystemNotifier::EventKind inKind);
	void _Detach(XLinuxChangeData* inData);
	void _Wake();

	VFileSystemNotifier* fOwner;
	std::unique_ptr<Watcher> fWatcher;
};

} // namespace qirn
