#include "files/platform/XLinuxFileSystemNotification.h"

#include "core/VString.h"
#include "files/VFolder.h"
#include "files/platform/XLinuxPathBytes.h"
#include "runtime/VError.h"
#include "runtime/VTask.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <system_error>
#include <unistd.h>

namespace qirn {

namespace {

using Clock = std::chrono::steady_clock;

// What makes a directory's listing or an entry's time change. Links are
// never followed, and an unlinked file that stays open tells nothing more.
constexpr uint32 kWatchMask = IN_CREATE | IN_DELETE | IN_MODIFY | IN_ATTRIB | IN_MOVED_FROM | IN_MOVED_TO |
		IN_DELETE_SELF | IN_MOVE_SELF | IN_DONT_FOLLOW | IN_ONLYDIR | IN_EXCL_UNLINK;

// Events that say a name's content changed, whatever its time says: the
// coarse clock may give a write the time the last comparison saw.
constexpr uint32 kWrittenMask = IN_MODIFY | IN_CREATE | IN_MOVED_TO;

int AddWatch(int inFD, const char* inPath, uint32 inMask)
{
	return ::inotify_add_watch(inFD, inPath, inMask);
}

std::atomic<XLinuxFileSystemNotification::AddWatchFunction> sAddWatch{&AddWatch};

// A directory's path as the system is given it: without the final '/',
// which would make it follow a link that stands at that path.
std::string SystemPath(const std::string& inDirectory)
{
	return inDirectory.size() > 1 && inDirectory.back() == '/' ? inDirectory.substr(0, inDirectory.size() - 1)
																: inDirectory;
}

bool SameTime(const timespec& inA, const timespec& inB)
{
	return inA.tv_sec == inB.tv_sec && inA.tv_nsec == inB.tv_nsec;
}

// The entries of one directory, without following links; 0 or errno.
int ScanDirectory(const std::string& inDirectory, XLinuxFileSystemNotification::DirectorySnapshot& outEntries)
{
	outEntries.clear();
	const int fd = ::open(SystemPath(inDirectory).c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
	if (fd < 0)
		return errno;
	DIR* dir = ::fdopendir(fd);
	if (dir == nullptr) {
		const int error = errno;
		::close(fd);
		return error;
	}
	while (const dirent* entry = ::readdir(dir)) {
		const char* name = entry->d_name;
		if (std::strcmp(name, ".") == 0 || std::strcmp(name, "..") == 0 || std::strcmp(name, ".DS_Store") == 0)
			continue;
		struct stat status;
		// An entry gone since the listing is left out: its removal is the
		// next event.
		if (::fstatat(fd, name, &status, AT_SYMLINK_NOFOLLOW) != 0)
			continue;
		XLinuxFileSystemNotification::FileInfo& info = outEntries[name];
		info.fModificationTime = status.st_mtim;
		info.fInode = status.st_ino;
		info.fIsFolder = S_ISDIR(status.st_mode);
	}
	::closedir(dir);
	return 0;
}

bool StartsWith(const std::string& inText, const std::string& inPrefix)
{
	return inText.size() >= inPrefix.size() && inText.compare(0, inPrefix.size(), inPrefix) == 0;
}

VError RaisePosix(int inErrno)
{
	const VError error = MAKE_VERROR('POSX', inErrno);
	_ThrowError(error);
	return error;
}

} // namespace

// A watch as the watcher keeps it.
class XLinuxFileSystemNotification::XLinuxChangeData : public VFileSystemNotifier::VChangeData {
public:
	XLinuxChangeData(const VFilePath& inFolder, VFileSystemNotifier::EventKind inKinds,
			VFileSystemNotifier::IEventHandler* inHandler, VTask* inTask, XLinuxFileSystemNotification* inPlatform,
			std::string inPosixPath, int inLatencyMs)
		: VChangeData(inFolder, inKinds, inHandler, inTask, inPlatform), fPosixPath(std::move(inPosixPath)),
		  fLatency(std::chrono::milliseconds(inLatencyMs > 0 ? inLatencyMs : 0))
	{
	}

	const std::string fPosixPath; // ends with '/'
	const Clock::duration fLatency;

	// The watcher thread's alone once the watch is ready (the starting
	// thread's before).
	Snapshots fSnapshots;

	// Under the watcher's mutex.
	bool fReady = false;
	bool fDetached = false;
	bool fOverflow = false;
	bool fRootChanged = false;
	bool fHasDeadline = false;
	Clock::time_point fDeadline;
	std::vector<std::string> fPendingDirectories;
	std::set<std::string> fPendingSet;
	std::map<std::string, std::set<std::string>> fWrittenNames;
	std::map<std::string, int> fDirectoryWatches; // directory to watch descriptor
};

struct XLinuxFileSystemNotification::Watcher {
	int fInotify = -1;
	int fWake = -1;
	std::thread fThread;

	std::mutex fMutex;
	bool fQuit = false;
	// A descriptor names one directory, which several watches (of nested
	// folders, or of one folder by several handlers) may share: it is
	// removed with the last of them.
	std::map<int, std::vector<std::pair<XLinuxChangeData*, std::string>>> fDirectories;
	std::vector<XLinuxChangeData*> fWatches; // retained
};

XLinuxFileSystemNotification::XLinuxFileSystemNotification(VFileSystemNotifier* inOwner)
	: fOwner(inOwner), fWatcher(std::make_unique<Watcher>())
{
}

XLinuxFileSystemNotification::~XLinuxFileSystemNotification()
{
	if (fWatcher->fThread.joinable()) {
		{
			std::lock_guard<std::mutex> lock(fWatcher->fMutex);
			fWatcher->fQuit = true;
		}
		_Wake();
		fWatcher->fThread.join();
	}
	std::vector<XLinuxChangeData*> watches;
	{
		std::lock_guard<std::mutex> lock(fWatcher->fMutex);
		watches.swap(fWatcher->fWatches);
	}
	for (XLinuxChangeData* data : watches) {
		_Detach(data);
		data->Release();
	}
	if (fWatcher->fInotify >= 0)
		::close(fWatcher->fInotify);
	if (fWatcher->fWake >= 0)
		::close(fWatcher->fWake);
}

void XLinuxFileSystemNotification::SetAddWatchFunctionForTests(AddWatchFunction inFunction)
{
	sAddWatch.store(inFunction != nullptr ? inFunction : &AddWatch);
}

int XLinuxFileSystemNotification::_OpenWatcher()
{
	if (fWatcher->fThread.joinable())
		return 0;
	if (fWatcher->fInotify < 0) {
		fWatcher->fInotify = ::inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
		if (fWatcher->fInotify < 0)
			return errno;
	}
	if (fWatcher->fWake < 0) {
		fWatcher->fWake = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
		if (fWatcher->fWake < 0)
			return errno;
	}
	try {
		fWatcher->fThread = std::thread([this] { _Run(); });
	} catch (const std::system_error& error) {
		return error.code().value() != 0 ? error.code().value() : EAGAIN;
	}
	return 0;
}

void XLinuxFileSystemNotification::_Wake()
{
	const uint64_t one = 1;
	while (::write(fWatcher->fWake, &one, sizeof(one)) < 0 && errno == EINTR) {
	}
}

VError XLinuxFileSystemNotification::StartWatchingForChanges(const VFolder& inFolder,
		VFileSystemNotifier::EventKind inKinds, VFileSystemNotifier::IEventHandler* inHandler, int inLatencyMs,
		VFileSystemNotifier::VChangeData** outData)
{
	*outData = nullptr;
	VTask* task = VTask::GetCurrent();
	const VFilePath& folderPath = inFolder.GetPath();
	if (task == nullptr || inHandler == nullptr || !folderPath.IsValid() || !folderPath.IsFolder())
		return RaisePosix(EINVAL);

	VString posixText;
	folderPath.GetPosixPath(posixText);
	std::string posixPath;
	if (!XLinuxPathBytes::ToBytes(posixText, posixPath) || posixPath.empty())
		return RaisePosix(EINVAL);
	if (posixPath.back() != '/')
		posixPath += '/';

	if (const int error = _OpenWatcher(); error != 0)
		return RaisePosix(error);

	auto* data = new XLinuxChangeData(folderPath, inKinds, inHandler, task, this, posixPath, inLatencyMs);
	{
		// Listed before its first directory is watched: events that come
		// while the snapshot is taken wait on the watch until it is ready.
		std::lock_guard<std::mutex> lock(fWatcher->fMutex);
		fWatcher->fWatches.push_back(RetainRefCountable(data));
	}
	if (const int error = _SnapshotTree(data, posixPath, false, true); error != 0) {
		_Detach(data);
		data->Release();
		return RaisePosix(error);
	}
	fOwner->PushChangeData(data);
	{
		std::lock_guard<std::mutex> lock(fWatcher->fMutex);
		data->fReady = true;
	}
	_Wake();
	*outData = data;
	return VE_OK;
}

void XLinuxFileSystemNotification::StopWatchingForChanges(VFileSystemNotifier::VChangeData* inData,
		bool /*inLastWatch*/)
{
	// The instance and its thread stay for the next watch: they cost one
	// descriptor and a sleeping thread.
	_Detach(static_cast<XLinuxChangeData*>(inData));
}

void XLinuxFileSystemNotification::_Detach(XLinuxChangeData* inData)
{
	bool listed = false;
	{
		std::lock_guard<std::mutex> lock(fWatcher->fMutex);
		inData->fDetached = true;
		inData->fHasDeadline = false;
		inData->fPendingDirectories.clear();
		inData->fPendingSet.clear();
		inData->fWrittenNames.clear();
		std::vector<std::string> directories;
		for (const auto& [directory, wd] : inData->fDirectoryWatches)
			directories.push_back(directory);
		for (const std::string& directory : directories)
			_UnwatchDirectory(inData, directory);
		auto& watches = fWatcher->fWatches;
		for (auto it = watches.begin(); it != watches.end(); ++it) {
			if (*it == inData) {
				watches.erase(it);
				listed = true;
				break;
			}
		}
	}
	if (listed)
		inData->Release();
}

// Under the watcher's mutex.
int XLinuxFileSystemNotification::_WatchDirectory(XLinuxChangeData* inData, const std::string& inDirectory)
{
	if (inData->fDetached)
		return ECANCELED;
	const int wd = sAddWatch.load()(fWatcher->fInotify, SystemPath(inDirectory).c_str(), kWatchMask);
	if (wd < 0)
		return errno;
	auto known = inData->fDirectoryWatches.find(inDirectory);
	if (known != inData->fDirectoryWatches.end()) {
		if (known->second == wd)
			return 0;
		// Another directory now stands at that path.
		_UnwatchDirectory(inData, inDirectory);
	}
	inData->fDirectoryWatches[inDirectory] = wd;
	fWatcher->fDirectories[wd].emplace_back(inData, inDirectory);
	return 0;
}

// Under the watcher's mutex.
void XLinuxFileSystemNotification::_UnwatchDirectory(XLinuxChangeData* inData, const std::string& inDirectory)
{
	auto known = inData->fDirectoryWatches.find(inDirectory);
	if (known == inData->fDirectoryWatches.end())
		return;
	const int wd = known->second;
	inData->fDirectoryWatches.erase(known);
	auto users = fWatcher->fDirectories.find(wd);
	if (users == fWatcher->fDirectories.end())
		return;
	auto& list = users->second;
	for (auto it = list.begin(); it != list.end(); ++it) {
		if (it->first == inData && it->second == inDirectory) {
			list.erase(it);
			break;
		}
	}
	if (list.empty()) {
		fWatcher->fDirectories.erase(users);
		::inotify_rm_watch(fWatcher->fInotify, wd);
	}
}

int XLinuxFileSystemNotification::_SnapshotTree(XLinuxChangeData* inData, const std::string& inDirectory,
		bool inReport, bool inStarting)
{
	// Each directory is watched before it is listed: what changes after the
	// listing comes as an event. Folders are walked from a list of their
	// own, not by recursion: a deep tree needs no deep stack.
	std::vector<std::string> toVisit{inDirectory};
	for (size_t index = 0; index < toVisit.size(); ++index) {
		const std::string directory = toVisit[index];
		int error = 0;
		{
			std::lock_guard<std::mutex> lock(fWatcher->fMutex);
			error = _WatchDirectory(inData, directory);
		}
		DirectorySnapshot entries;
		if (error == 0) {
			error = ScanDirectory(directory, entries);
			if (error != 0) {
				std::lock_guard<std::mutex> lock(fWatcher->fMutex);
				_UnwatchDirectory(inData, directory);
			}
		}
		if (error != 0) {
			// The folder itself must be watched; below it, only a full
			// watch table at start fails the start, since no later
			// change there could ever be seen. A directory gone or closed
			// to us is left out, as the listing leaves it out.
			if (index == 0 || (inStarting && error == ENOSPC))
				return error;
			continue;
		}
		for (const auto& [name, info] : entries) {
			if (inReport)
				_Report(inData, directory, name, info.fIsFolder, VFileSystemNotifier::kAdded);
			if (info.fIsFolder)
				toVisit.push_back(directory + name + '/');
		}
		inData->fSnapshots[directory] = std::move(entries);
	}
	return 0;
}

void XLinuxFileSystemNotification::_DropTree(XLinuxChangeData* inData, const std::string& inDirectory)
{
	Snapshots& snapshots = inData->fSnapshots;
	std::vector<std::string> dropped;
	for (auto it = snapshots.lower_bound(inDirectory); it != snapshots.end() && StartsWith(it->first, inDirectory);)
	{
		dropped.push_back(it->first);
		it = snapshots.erase(it);
	}
	std::lock_guard<std::mutex> lock(fWatcher->fMutex);
	for (const std::string& directory : dropped)
		_UnwatchDirectory(inData, directory);
}

bool XLinuxFileSystemNotification::_Report(XLinuxChangeData* inData, const std::string& inDirectory,
		const std::string& inName, bool inIsFolder, VFileSystemNotifier::EventKind inKind)
{
	if ((inData->GetEventKinds() & inKind) == 0)
		return false;
	std::string bytes = inDirectory + inName;
	if (inIsFolder)
		bytes += '/';
	VString text;
	XLinuxPathBytes::ToText(bytes.data(), bytes.size(), text);
	fOwner->AddChangeToList(inData, VFilePath(text, FPS_POSIX), inKind);
	return true;
}

bool XLinuxFileSystemNotification::_CompareDirectory(XLinuxChangeData* inData, const std::string& inDirectory,
		const std::set<std::string>* inWrittenNames)
{
	auto snapshot = inData->fSnapshots.find(inDirectory);
	if (snapshot == inData->fSnapshots.end())
		return false;
	DirectorySnapshot current;
	// A directory that cannot be listed any more is gone or closed: its
	// parent's comparison reports it.
	if (ScanDirectory(inDirectory, current) != 0)
		return false;
	DirectorySnapshot previous = std::move(snapshot->second);
	// The new listing goes in first: what is dropped or added below lies
	// under other keys, and the map keeps this entry where it is.
	snapshot->second = current;

	using Kind = VFileSystemNotifier::EventKind;
	bool reported = false;
	auto removed = [&](const std::string& inName, const FileInfo& inInfo) {
		reported |= _Report(inData, inDirectory, inName, inInfo.fIsFolder, Kind::kRemoved);
		if (inInfo.fIsFolder)
			_DropTree(inData, inDirectory + inName + '/');
	};
	auto added = [&](const std::string& inName, const FileInfo& inInfo) {
		reported |= _Report(inData, inDirectory, inName, inInfo.fIsFolder, Kind::kAdded);
		if (inInfo.fIsFolder) {
			// A folder that appeared is walked at once, its content reported
			// added: what was made in it before its watch existed sent no
			// event.
			_SnapshotTree(inData, inDirectory + inName + '/', true, false);
		}
	};

	for (const auto& [name, info] : previous) {
		if (current.find(name) == current.end())
			removed(name, info);
	}
	for (const auto& [name, info] : current) {
		auto old = previous.find(name);
		if (old == previous.end()) {
			added(name, info);
		} else if (old->second.fIsFolder != info.fIsFolder || (info.fIsFolder && old->second.fInode != info.fInode)) {
			// Another entry under the same name: the one we knew went.
			removed(name, old->second);
			added(name, info);
		} else if (!info.fIsFolder) {
			const bool written = inWrittenNames != nullptr && inWrittenNames->count(name) != 0;
			if (written || old->second.fInode != info.fInode ||
					!SameTime(old->second.fModificationTime, info.fModificationTime))
				reported |= _Report(inData, inDirectory, name, false, Kind::kModified);
		}
	}
	return reported;
}

void XLinuxFileSystemNotification::_Run()
{
	for (;;) {
		int timeout = -1;
		{
			std::lock_guard<std::mutex> lock(fWatcher->fMutex);
			if (fWatcher->fQuit)
				return;
			const Clock::time_point now = Clock::now();
			for (XLinuxChangeData* data : fWatcher->fWatches) {
				if (!data->fReady || !data->fHasDeadline)
					continue;
				const auto wait = std::chrono::ceil<std::chrono::milliseconds>(data->fDeadline - now).count();
				const int waitMs = wait < 0 ? 0 : static_cast<int>(std::min<long long>(wait, 60000));
				if (timeout < 0 || waitMs < timeout)
					timeout = waitMs;
			}
		}
		pollfd fds[2] = {{fWatcher->fInotify, POLLIN, 0}, {fWatcher->fWake, POLLIN, 0}};
		const int ready = ::poll(fds, 2, timeout);
		if (ready < 0 && errno != EINTR)
			return;
		if (ready > 0 && (fds[1].revents & POLLIN) != 0) {
			uint64_t count;
			while (::read(fWatcher->fWake, &count, sizeof(count)) < 0 && errno == EINTR) {
			}
		}
		if (ready > 0 && (fds[0].revents & POLLIN) != 0)
			_ReadEvents();
		_FlushDueWatches();
	}
}

void XLinuxFileSystemNotification::_ReadEvents()
{
	alignas(inotify_event) char buffer[64 * 1024];
	for (;;) {
		const ssize_t length = ::read(fWatcher->fInotify, buffer, sizeof(buffer));
		if (length < 0 && errno == EINTR)
			continue;
		if (length <= 0)
			return;
		const Clock::time_point now = Clock::now();
		std::lock_guard<std::mutex> lock(fWatcher->fMutex);
		auto schedule = [now](XLinuxChangeData* inData) {
			if (!inData->fHasDeadline) {
				inData->fHasDeadline = true;
				inData->fDeadline = now + inData->fLatency;
			}
		};
		for (ssize_t offset = 0; offset < length;) {
			const auto* event = reinterpret_cast<const inotify_event*>(buffer + offset);
			offset += static_cast<ssize_t>(sizeof(inotify_event) + event->len);

			if ((event->mask & IN_Q_OVERFLOW) != 0) {
				// Events were lost: only comparing everything tells what
				// they said.
				for (XLinuxChangeData* data : fWatcher->fWatches) {
					data->fOverflow = true;
					schedule(data);
				}
				continue;
			}
			auto users = fWatcher->fDirectories.find(event->wd);
			if (users == fWatcher->fDirectories.end())
				continue;
			if ((event->mask & IN_IGNORED) != 0) {
				// The system dropped the watch (its directory went).
				for (const auto& [data, directory] : users->second) {
					auto known = data->fDirectoryWatches.find(directory);
					if (known != data->fDirectoryWatches.end() && known->second == event->wd)
						data->fDirectoryWatches.erase(known);
				}
				fWatcher->fDirectories.erase(users);
				continue;
			}
			for (const auto& [data, directory] : users->second) {
				if ((event->mask & (IN_DELETE_SELF | IN_MOVE_SELF)) != 0) {
					// A directory below the root going is its parent's event.
					if (directory == data->fPosixPath) {
						data->fRootChanged = true;
						schedule(data);
					}
					continue;
				}
				if (data->fPendingSet.insert(directory).second)
					data->fPendingDirectories.push_back(directory);
				if (event->len > 0 && (event->mask & kWrittenMask) != 0)
					data->fWrittenNames[directory].insert(event->name);
				schedule(data);
			}
		}
	}
}

void XLinuxFileSystemNotification::_FlushDueWatches()
{
	struct Batch {
		XLinuxChangeData* fData;
		bool fOverflow;
		bool fRootChanged;
		std::vector<std::string> fDirectories;
		std::map<std::string, std::set<std::string>> fWrittenNames;
	};
	std::vector<Batch> batches;
	{
		std::lock_guard<std::mutex> lock(fWatcher->fMutex);
		const Clock::time_point now = Clock::now();
		for (XLinuxChangeData* data : fWatcher->fWatches) {
			if (!data->fReady || data->fDetached || !data->fHasDeadline || data->fDeadline > now)
				continue;
			// Retained under the lock: a stop may drop the list's reference
			// while the batch is compared.
			Batch& batch = batches.emplace_back(
					Batch{RetainRefCountable(data), data->fOverflow, data->fRootChanged, {}, {}});
			batch.fDirectories.swap(data->fPendingDirectories);
			batch.fWrittenNames.swap(data->fWrittenNames);
			data->fPendingSet.clear();
			data->fOverflow = false;
			data->fRootChanged = false;
			data->fHasDeadline = false;
		}
	}
	for (Batch& batch : batches) {
		_ProcessBatch(batch.fData, batch.fOverflow, batch.fRootChanged, batch.fDirectories, batch.fWrittenNames);
		batch.fData->Release();
	}
}

void XLinuxFileSystemNotification::_ProcessBatch(XLinuxChangeData* inData, bool inOverflow, bool inRootChanged,
		std::vector<std::string>& inDirectories, std::map<std::string, std::set<std::string>>& inWrittenNames)
{
	if (inData->IsStopped())
		return;
	if (inOverflow) {
		inDirectories.clear();
		for (const auto& [directory, entries] : inData->fSnapshots)
			inDirectories.push_back(directory);
	} else if (inRootChanged) {
		// The root moved or went: what stands at its path now, if anything,
		// is compared with what the root held, and watched.
		struct stat status;
		if (::lstat(SystemPath(inData->fPosixPath).c_str(), &status) == 0 && S_ISDIR(status.st_mode)) {
			{
				std::lock_guard<std::mutex> lock(fWatcher->fMutex);
				_WatchDirectory(inData, inData->fPosixPath);
			}
			inDirectories.insert(inDirectories.begin(), inData->fPosixPath);
		}
	}
	bool reported = false;
	for (const std::string& directory : inDirectories) {
		auto written = inWrittenNames.find(directory);
		reported |= _CompareDirectory(inData, directory, written != inWrittenNames.end() ? &written->second : nullptr);
	}
	if (reported)
		fOwner->SignalChange(inData);
}

} // namespace qirn
