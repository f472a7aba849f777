// One change deep in a watched tree of about 100,000 entries (1,111 folders
// three levels deep, 90 files in each of the 1,000 lowest), from the call
// that makes it to the handler that hears of it: a file made, then removed,
// in one of the lowest folders. Ours watches the tree's root with no latency;
// GIO's GFileMonitor watches one folder only, so the peer holds a directory
// monitor on every folder of the tree, as a program would to hear of the
// whole tree, and runs its main context until the events come.
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/VFileSystemNotifier.h"
#include "files/VFolder.h"
#include "files/platform/PosixFileOps.h"
#include "files/platform/XLinuxPathBytes.h"
#include "runtime/VMessage.h"
#include "runtime/VTask.h"

#include <benchmark/benchmark.h>
#include <gio/gio.h>

#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using qirn::VFileSystemNotifier;

constexpr int kFanOut = 10;
constexpr int kLevels = 3;
constexpr int kFilesPerLowestFolder = 90;

// The tree, made once for the whole program and removed at its end.
class Tree {
public:
	Tree()
	{
		const char* temporary = std::getenv("TMPDIR");
		std::string pattern =
				std::string(temporary != nullptr && *temporary != 0 ? temporary : "/tmp") + "/qirn-bench-XXXXXX";
		if (::mkdtemp(pattern.data()) == nullptr)
			return;
		fRoot = pattern;
		_Fill(fRoot, 0);
		fDeep = fRoot;
		for (int level = 0; level < kLevels; ++level)
			fDeep += "/d" + std::to_string(kFanOut - 1);
	}
	~Tree()
	{
		if (!fRoot.empty())
			qirn::PosixFileOps::RemoveTree(fRoot.c_str(), true);
	}

	const std::string& Root() const { return fRoot; }
	const std::vector<std::string>& Folders() const { return fFolders; }
	// The new file's path, in one of the lowest folders.
	std::string ChangedFile() const { return fDeep + "/new-file"; }

private:
	void _Fill(const std::string& inFolder, int inLevel)
	{
		fFolders.push_back(inFolder);
		if (inLevel == kLevels) {
			for (int file = 0; file < kFilesPerLowestFolder; ++file) {
				const std::string path = inFolder + "/f" + std::to_string(file);
				const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
				if (descriptor >= 0)
					::close(descriptor);
			}
			return;
		}
		for (int child = 0; child < kFanOut; ++child) {
			const std::string path = inFolder + "/d" + std::to_string(child);
			::mkdir(path.c_str(), 0755);
			_Fill(path, inLevel + 1);
		}
	}

	std::string fRoot;
	std::string fDeep;
	std::vector<std::string> fFolders;
};

Tree& GetTree()
{
	static Tree tree;
	return tree;
}

void MakeFile(const std::string& inPath)
{
	const int descriptor = ::open(inPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
	if (descriptor >= 0)
		::close(descriptor);
}

// The delivery is a message to this task.
void ExecuteOneMessage()
{
	if (qirn::VMessage* message = qirn::VTask::RetainMessageWithTimeout(1000)) {
		message->Execute();
		message->Release();
	}
}

class Counter : public VFileSystemNotifier::IEventHandler {
public:
	void FileSystemEventHandler(const std::vector<qirn::VFilePath>& inPaths, VFileSystemNotifier::EventKind inKind) override
	{
		if (inKind == VFileSystemNotifier::kAdded)
			fAdded += static_cast<int>(inPaths.size());
		else if (inKind == VFileSystemNotifier::kRemoved)
			fRemoved += static_cast<int>(inPaths.size());
	}
	int fAdded = 0;
	int fRemoved = 0;
};

void BM_DeepChange_Ours(benchmark::State& state)
{
	const Tree& tree = GetTree();
	VFileSystemNotifier notifier;
	Counter counter;
	qirn::VRefPtr<qirn::VFolder> root = qirn::VRefPtr<qirn::VFolder>::Adopt(
			new qirn::VFolder(qirn::VString((tree.Root() + "/").c_str()), qirn::FPS_POSIX));
	if (notifier.StartWatchingForChanges(*root, VFileSystemNotifier::kAdded | VFileSystemNotifier::kRemoved,
				&counter, 0) != qirn::VE_OK) {
		state.SkipWithError("cannot watch the tree");
		return;
	}
	const std::string file = tree.ChangedFile();
	for (auto _ : state) {
		const int added = counter.fAdded;
		MakeFile(file);
		while (counter.fAdded == added)
			ExecuteOneMessage();
		const int removed = counter.fRemoved;
		::unlink(file.c_str());
		while (counter.fRemoved == removed)
			ExecuteOneMessage();
	}
	notifier.StopWatchingForChanges(*root, &counter);
}
BENCHMARK(BM_DeepChange_Ours)->Unit(benchmark::kMicrosecond)->UseRealTime();

struct PeerCounts {
	int fCreated = 0;
	int fDeleted = 0;
};

void OnPeerEvent(GFileMonitor*, GFile*, GFile*, GFileMonitorEvent inEvent, gpointer inCounts)
{
	auto* counts = static_cast<PeerCounts*>(inCounts);
	if (inEvent == G_FILE_MONITOR_EVENT_CREATED)
		++counts->fCreated;
	else if (inEvent == G_FILE_MONITOR_EVENT_DELETED)
		++counts->fDeleted;
}

void BM_DeepChange_Peer(benchmark::State& state)
{
	const Tree& tree = GetTree();
	GMainContext* context = g_main_context_new();
	g_main_context_push_thread_default(context);
	PeerCounts counts;
	std::vector<GFileMonitor*> monitors;
	for (const std::string& folder : tree.Folders()) {
		GFile* file = g_file_new_for_path(folder.c_str());
		GFileMonitor* monitor = g_file_monitor_directory(file, G_FILE_MONITOR_NONE, nullptr, nullptr);
		g_object_unref(file);
		if (monitor == nullptr)
			continue;
		g_signal_connect(monitor, "changed", G_CALLBACK(OnPeerEvent), &counts);
		monitors.push_back(monitor);
	}
	const std::string file = tree.ChangedFile();
	for (auto _ : state) {
		const int created = counts.fCreated;
		MakeFile(file);
		while (counts.fCreated == created)
			g_main_context_iteration(context, TRUE);
		const int deleted = counts.fDeleted;
		::unlink(file.c_str());
		while (counts.fDeleted == deleted)
			g_main_context_iteration(context, TRUE);
	}
	for (GFileMonitor* monitor : monitors) {
		g_file_monitor_cancel(monitor);
		g_object_unref(monitor);
	}
	while (g_main_context_iteration(context, FALSE)) {
	}
	g_main_context_pop_thread_default(context);
	g_main_context_unref(context);
}
BENCHMARK(BM_DeepChange_Peer)->Unit(benchmark::kMicrosecond)->UseRealTime();

} // namespace
