#include "files/VFileSystemNotifier.h"

#include "core/VString.h"
#include "files/VFolder.h"
#include "files/platform/XLinuxFileSystemNotification.h"
#include "files/platform/XLinuxPathBytes.h"
#include "runtime/VMessage.h"
#include "runtime/VTask.h"
#include "testing/RaisedErrors.h"
#include "testing/TempFolder.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <set>
#include <string>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <utility>
#include <vector>

namespace qirn {
namespace {

using testing::kHangMilliseconds;
using Kind = VFileSystemNotifier::EventKind;
using Change = std::pair<std::string, uint32>; // path below the watched folder, kind

constexpr Kind kAll = Kind::kModified | Kind::kAdded | Kind::kRemoved;
// Short enough for quick tests, long enough that one burst of changes tends
// to make one batch.
constexpr int kLatencyMs = 20;

VRefPtr<VFolder> Folder(const std::string& inPath)
{
	return VRefPtr<VFolder>::Adopt(new VFolder(VString(inPath.c_str()) + CVSTR("/"), FPS_POSIX));
}

std::string PosixBytes(const VFilePath& inPath)
{
	VString text;
	inPath.GetPosixPath(text);
	std::string bytes;
	EXPECT_TRUE(XLinuxPathBytes::ToBytes(text, bytes));
	return bytes;
}

void WriteFile(const std::string& inPath, const std::string& inContent)
{
	std::ofstream out(inPath, std::ios::binary | std::ios::trunc);
	out << inContent;
}

void MakeFolder(const std::string& inPath)
{
	ASSERT_EQ(::mkdir(inPath.c_str(), 0755), 0) << inPath;
}

// The watch descriptors the process holds over all its inotify instances.
int CountInotifyWatches()
{
	int count = 0;
	DIR* fds = ::opendir("/proc/self/fd");
	if (fds == nullptr)
		return -1;
	while (const dirent* entry = ::readdir(fds)) {
		char target[256] = {};
		const std::string link = std::string("/proc/self/fd/") + entry->d_name;
		if (::readlink(link.c_str(), target, sizeof(target) - 1) <= 0 || std::strstr(target, "inotify") == nullptr)
			continue;
		std::ifstream info(std::string("/proc/self/fdinfo/") + entry->d_name);
		for (std::string line; std::getline(info, line);)
			count += line.rfind("inotify wd:", 0) == 0 ? 1 : 0;
	}
	::closedir(fds);
	return count;
}

// Records every delivery, as paths relative to the watched folder (a
// folder's with a final '/'), and checks that it comes on the task that
// started the watch.
class Recorder : public VFileSystemNotifier::IEventHandler {
public:
	explicit Recorder(std::string inRoot) : fRoot(std::move(inRoot)), fTask(VTask::GetCurrent()) {}

	void FileSystemEventHandler(const std::vector<VFilePath>& inPaths, Kind inKind) override
	{
		EXPECT_EQ(VTask::GetCurrent(), fTask);
		std::vector<std::string> paths;
		for (const VFilePath& path : inPaths) {
			std::string bytes = PosixBytes(path);
			EXPECT_EQ(bytes.rfind(fRoot, 0), 0u) << bytes;
			paths.push_back(bytes.substr(fRoot.size()));
			EXPECT_EQ(path.IsFolder(), paths.back().back() == '/') << bytes;
		}
		fCalls.emplace_back(paths, inKind);
		if (fOnCall)
			fOnCall();
	}

	std::set<Change> Changes() const
	{
		std::set<Change> changes;
		for (const auto& [paths, kind] : fCalls) {
			for (const std::string& path : paths)
				changes.emplace(path, kind);
		}
		return changes;
	}
	bool Saw(const std::string& inPath, uint32 inKind) const { return Changes().count({inPath, inKind}) != 0; }

	std::vector<std::pair<std::vector<std::string>, Kind>> fCalls;
	std::function<void()> fOnCall;

private:
	std::string fRoot; // ends with '/'
	VTask* fTask;
};

// Executes the task's messages, where deliveries arrive, until the
// condition holds or the hang limit passes.
bool Await(const std::function<bool()>& inCondition)
{
	const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kHangMilliseconds);
	while (!inCondition()) {
		if (std::chrono::steady_clock::now() > end)
			return false;
		if (VMessage* message = VTask::RetainMessageWithTimeout(50)) {
			message->Execute();
			message->Release();
		}
	}
	return true;
}

class FileSystemNotifierTest : public ::testing::Test {
protected:
	std::string Root() const { return fTemp.Path() + "/"; }
	std::string Path(const std::string& inRelative) const { return Root() + inRelative; }

	VError Start(Recorder& inRecorder, Kind inKinds = kAll, int inLatencyMs = kLatencyMs)
	{
		return fNotifier.StartWatchingForChanges(*Folder(fTemp.Path()), inKinds, &inRecorder, inLatencyMs);
	}
	VError Stop(Recorder& inRecorder) { return fNotifier.StopWatchingForChanges(*Folder(fTemp.Path()), &inRecorder); }

	// A file whose addition marks the end of a test's changes: once it is
	// delivered, whatever the changes before it made has been delivered too.
	void AwaitMarker(Recorder& inRecorder, const std::string& inName = "zz-marker")
	{
		WriteFile(Path(inName), "m");
		ASSERT_TRUE(Await([&] { return inRecorder.Saw(inName, Kind::kAdded); }));
	}

	testing::TempFolder fTemp;
	VFileSystemNotifier fNotifier;
};

TEST_F(FileSystemNotifierTest, ReportsEachKindOfChangeAsTheWatchAskedForIt)
{
	struct Case {
		const char* fName;
		uint32 fKinds;
		std::function<void(const std::string&)> fSetUp; // before the watch starts
		std::function<void(const std::string&)> fChange;
		std::set<Change> fExpected; // the marker's addition aside
	};
	auto write = [](const char* inName, const char* inContent) {
		return [=](const std::string& inRoot) { WriteFile(inRoot + inName, inContent); };
	};
	auto nothing = [](const std::string&) {};
	// clang-format off
	const std::vector<Case> cases = {
		{"a new file", kAll, nothing, write("f", "x"), {{"f", 2}}},
		{"a new folder ends with the separator", kAll, nothing,
			[](const std::string& r) { MakeFolder(r + "d"); }, {{"d/", 2}}},
		{"a written file", kAll, write("f", "x"), write("f", "xy"), {{"f", 1}}},
		{"a removed file", kAll, write("f", "x"), [](const std::string& r) { ::unlink((r + "f").c_str()); },
			{{"f", 4}}},
		{"a removed file, additions only", Kind::kAdded, write("f", "x"),
			[](const std::string& r) { ::unlink((r + "f").c_str()); }, {}},
		{"a written file, additions and removals", Kind::kAdded | Kind::kRemoved, write("f", "x"),
			write("f", "xyz"), {}},
		{"the folder-view file", kAll, nothing, write(".DS_Store", "x"), {}},
		{"a folder's time alone", kAll, [](const std::string& r) { MakeFolder(r + "d"); },
			[](const std::string& r) { ::utimensat(AT_FDCWD, (r + "d").c_str(), nullptr, 0); }, {}},
		{"a renamed file", kAll, write("a", "x"),
			[](const std::string& r) { ::rename((r + "a").c_str(), (r + "b").c_str()); }, {{"a", 4}, {"b", 2}}},
		{"a file renamed over another", kAll,
			[](const std::string& r) { WriteFile(r + "a", "new"); WriteFile(r + "b", "old"); },
			[](const std::string& r) { ::rename((r + "a").c_str(), (r + "b").c_str()); }, {{"a", 4}, {"b", 1}}},
		{"a file turned folder", kAll, write("f", "x"),
			[](const std::string& r) { ::unlink((r + "f").c_str()); MakeFolder(r + "f"); }, {{"f", 4}, {"f/", 2}}},
		{"a folder turned file", kAll, [](const std::string& r) { MakeFolder(r + "f"); },
			[](const std::string& r) { ::rmdir((r + "f").c_str()); WriteFile(r + "f", "x"); }, {{"f/", 4}, {"f", 2}}},
		{"a change deep in the tree", kAll,
			[](const std::string& r) { MakeFolder(r + "a"); MakeFolder(r + "a/b"); WriteFile(r + "a/b/f", "x"); },
			write("a/b/f", "xy"), {{"a/b/f", 1}}},
		{"a folder made with content", kAll, nothing,
			[](const std::string& r) { MakeFolder(r + "n"); MakeFolder(r + "n/m"); WriteFile(r + "n/m/f", "x"); },
			{{"n/", 2}, {"n/m/", 2}, {"n/m/f", 2}}},
		{"a removed folder", kAll, [](const std::string& r) { MakeFolder(r + "n"); },
			[](const std::string& r) { ::rmdir((r + "n").c_str()); }, {{"n/", 4}}},
		{"a link is an entry, never followed", kAll,
			[](const std::string& r) { MakeFolder(r + "out"); },
			[](const std::string& r) { ::symlink((r + "out").c_str(), (r + "in").c_str()); }, {{"in", 2}}},
	};
	// clang-format on
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		testing::TempFolder temp;
		const std::string root = temp.Path() + "/";
		c.fSetUp(root);
		Recorder recorder(root);
		ASSERT_EQ(fNotifier.StartWatchingForChanges(*Folder(temp.Path()), static_cast<Kind>(c.fKinds), &recorder,
						  kLatencyMs),
				VE_OK);
		c.fChange(root);
		WriteFile(root + "zz-marker", "m");
		ASSERT_TRUE(Await([&] { return recorder.Saw("zz-marker", Kind::kAdded); }));
		std::set<Change> seen = recorder.Changes();
		seen.erase({"zz-marker", 2});
		EXPECT_EQ(seen, c.fExpected);
		EXPECT_EQ(fNotifier.StopWatchingForChanges(*Folder(temp.Path()), &recorder), VE_OK);
	}
}

TEST_F(FileSystemNotifierTest, KeepsAFileTurnedFolderInOrderAndWatchesTheNewFolder)
{
	WriteFile(Path("f"), "x");
	Recorder recorder(Root());
	ASSERT_EQ(Start(recorder), VE_OK);
	::unlink(Path("f").c_str());
	MakeFolder(Path("f"));
	ASSERT_TRUE(Await([&] { return recorder.Saw("f/", Kind::kAdded); }));
	ASSERT_GE(recorder.fCalls.size(), 2u);
	EXPECT_EQ(recorder.fCalls[0].second, Kind::kRemoved);
	EXPECT_EQ(recorder.fCalls[0].first, std::vector<std::string>{"f"});

	WriteFile(Path("f/inside"), "x");
	EXPECT_TRUE(Await([&] { return recorder.Saw("f/inside", Kind::kAdded); }));
}

TEST_F(FileSystemNotifierTest, GroupsOneBatchByKindInTheOrderFound)
{
	WriteFile(Path("c"), "x");
	Recorder recorder(Root());
	// Long enough that the three changes below make one batch.
	ASSERT_EQ(Start(recorder, kAll, 1000), VE_OK);
	WriteFile(Path("a"), "x");
	WriteFile(Path("b"), "x");
	::unlink(Path("c").c_str());
	ASSERT_TRUE(Await([&] { return recorder.Saw("b", Kind::kAdded) && recorder.Saw("c", Kind::kRemoved); }));
	// A directory's removals are found before its additions.
	using Calls = std::vector<std::pair<std::vector<std::string>, Kind>>;
	EXPECT_EQ(recorder.fCalls, (Calls{{{"c"}, Kind::kRemoved}, {{"a", "b"}, Kind::kAdded}}));
}

TEST_F(FileSystemNotifierTest, ReportsAWriteThatKeptTheFileTime)
{
	// The coarse clock may give a write the very time the last comparison
	// saw; the time is put back here to make that happen every time.
	WriteFile(Path("f"), "0");
	struct stat before;
	ASSERT_EQ(::stat(Path("f").c_str(), &before), 0);
	Recorder recorder(Root());
	ASSERT_EQ(Start(recorder, kAll, 0), VE_OK);
	for (int round = 1; round <= 10; ++round) {
		SCOPED_TRACE(round);
		recorder.fCalls.clear();
		WriteFile(Path("f"), std::to_string(round));
		const timespec times[2] = {before.st_atim, before.st_mtim};
		ASSERT_EQ(::utimensat(AT_FDCWD, Path("f").c_str(), times, 0), 0);
		ASSERT_TRUE(Await([&] { return recorder.Saw("f", Kind::kModified); }));
	}
}

TEST_F(FileSystemNotifierTest, RefusesASecondWatchByTheSameHandlerOnly)
{
	Recorder first(Root());
	Recorder second(Root());
	testing::RaisedErrors errors;
	ASSERT_EQ(Start(first), VE_OK);
	EXPECT_EQ(Start(first), VE_FS_NOTIFIER_ALREADY_WATCHED);
	EXPECT_EQ(errors.Last(), VE_FS_NOTIFIER_ALREADY_WATCHED);
	ASSERT_EQ(Start(second), VE_OK);

	WriteFile(Path("f"), "x");
	EXPECT_TRUE(Await([&] { return first.Saw("f", Kind::kAdded) && second.Saw("f", Kind::kAdded); }));

	EXPECT_EQ(Stop(first), VE_OK);
	EXPECT_EQ(Stop(first), VE_FS_NOTIFIER_NOT_WATCHED);
	EXPECT_EQ(errors.Last(), VE_FS_NOTIFIER_NOT_WATCHED);
	EXPECT_EQ(Stop(second), VE_OK);
	// Stopped, the folder can be watched by the handler again.
	EXPECT_EQ(Start(first), VE_OK);
	EXPECT_EQ(Stop(first), VE_OK);
}

TEST_F(FileSystemNotifierTest, FailsOnAFolderThatCannotBeWatched)
{
	struct Case {
		const char* fName;
		std::function<std::string(const std::string&)> fMake; // answers the folder's path
		int fErrno;
	};
	const std::vector<Case> cases = {
		{"missing", [](const std::string& r) { return r + "none"; }, ENOENT},
		{"a link to a folder",
				[](const std::string& r) {
					MakeFolder(r + "real");
					::symlink((r + "real").c_str(), (r + "link").c_str());
					return r + "link";
				},
				ENOTDIR},
	};
	const int watches = CountInotifyWatches();
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		Recorder recorder(Root());
		const std::string folder = c.fMake(Root());
		testing::RaisedErrors errors;
		EXPECT_EQ(fNotifier.StartWatchingForChanges(*Folder(folder), kAll, &recorder, 0),
				MAKE_VERROR('POSX', c.fErrno));
		EXPECT_EQ(errors.Last(), MAKE_VERROR('POSX', c.fErrno));
		EXPECT_EQ(fNotifier.StopWatchingForChanges(*Folder(folder), &recorder), VE_FS_NOTIFIER_NOT_WATCHED);
	}
	EXPECT_EQ(CountInotifyWatches(), watches);
}

int FailOnFullFolder(int inFD, const char* inPath, uint32 inMask)
{
	const size_t length = std::strlen(inPath);
	if (length >= 5 && std::strcmp(inPath + length - 5, "/full") == 0) {
		errno = ENOSPC;
		return -1;
	}
	return ::inotify_add_watch(inFD, inPath, inMask);
}

TEST_F(FileSystemNotifierTest, LeavesNoWatchWhenTheWatchTableIsFull)
{
	MakeFolder(Path("a"));
	MakeFolder(Path("a/full"));
	MakeFolder(Path("b"));
	const int watches = CountInotifyWatches();
	Recorder recorder(Root());
	{
		testing::RaisedErrors errors;
		XLinuxFileSystemNotification::SetAddWatchFunctionForTests(&FailOnFullFolder);
		EXPECT_EQ(Start(recorder), MAKE_VERROR('POSX', ENOSPC));
		XLinuxFileSystemNotification::SetAddWatchFunctionForTests(nullptr);
		EXPECT_EQ(errors.Last(), MAKE_VERROR('POSX', ENOSPC));
		EXPECT_EQ(CountInotifyWatches(), watches);
		EXPECT_EQ(Stop(recorder), VE_FS_NOTIFIER_NOT_WATCHED);
	}
	ASSERT_EQ(Start(recorder), VE_OK);
	EXPECT_EQ(CountInotifyWatches(), watches + 4);
	EXPECT_EQ(Stop(recorder), VE_OK);
	EXPECT_EQ(CountInotifyWatches(), watches);
}

TEST_F(FileSystemNotifierTest, SharesADirectoryWatchBetweenWatches)
{
	MakeFolder(Path("sub"));
	const int watches = CountInotifyWatches();
	Recorder outer(Root());
	Recorder inner(Root());
	ASSERT_EQ(Start(outer), VE_OK);
	ASSERT_EQ(fNotifier.StartWatchingForChanges(*Folder(Path("sub")), kAll, &inner, kLatencyMs), VE_OK);
	EXPECT_EQ(CountInotifyWatches(), watches + 2);

	ASSERT_EQ(fNotifier.StopWatchingForChanges(*Folder(Path("sub")), &inner), VE_OK);
	// The outer watch still sees the folder the inner one stopped watching.
	WriteFile(Path("sub/f"), "x");
	EXPECT_TRUE(Await([&] { return outer.Saw("sub/f", Kind::kAdded); }));
	EXPECT_TRUE(inner.fCalls.empty());
	EXPECT_EQ(Stop(outer), VE_OK);
	EXPECT_EQ(CountInotifyWatches(), watches);
}

TEST_F(FileSystemNotifierTest, DeliversNothingOnceStoppedMidDelivery)
{
	WriteFile(Path("c"), "x");
	Recorder stopper(Root());
	Recorder witness(Root());
	stopper.fOnCall = [&] { EXPECT_EQ(Stop(stopper), VE_OK); };
	// One batch of two kinds: the handler stops its watch at the first.
	ASSERT_EQ(Start(stopper, kAll, 1000), VE_OK);
	ASSERT_EQ(Start(witness, kAll, 1000), VE_OK);
	WriteFile(Path("a"), "x");
	::unlink(Path("c").c_str());
	ASSERT_TRUE(Await([&] { return witness.Saw("a", Kind::kAdded) && witness.Saw("c", Kind::kRemoved); }));
	EXPECT_EQ(stopper.fCalls.size(), 1u);

	WriteFile(Path("later"), "x");
	ASSERT_TRUE(Await([&] { return witness.Saw("later", Kind::kAdded); }));
	EXPECT_EQ(stopper.fCalls.size(), 1u);
	EXPECT_EQ(Stop(witness), VE_OK);
}

TEST_F(FileSystemNotifierTest, StopFromAnotherThreadWaitsForTheDeliveryInProgress)
{
	Recorder recorder(Root());
	testing::Gate entered;
	testing::Gate stopping;
	std::atomic<bool> handlerReturned{false};
	recorder.fOnCall = [&] {
		entered.Open();
		EXPECT_TRUE(stopping.Wait());
		// Time for the stop to reach its wait; a stop that did not wait would
		// return while this handler still runs, whatever the time.
		std::this_thread::sleep_for(std::chrono::milliseconds(50));
		handlerReturned = true;
	};
	ASSERT_EQ(Start(recorder), VE_OK);
	WriteFile(Path("f"), "x");

	bool returnedBeforeStop = false;
	std::thread other([&] {
		EXPECT_TRUE(entered.Wait());
		stopping.Open();
		EXPECT_EQ(Stop(recorder), VE_OK);
		returnedBeforeStop = handlerReturned;
	});
	EXPECT_TRUE(Await([&] { return handlerReturned.load(); }));
	other.join();
	EXPECT_TRUE(returnedBeforeStop);
}

TEST_F(FileSystemNotifierTest, ReportsATreeFilledAtOnceAndWatchesAllOfIt)
{
	Recorder recorder(Root());
	ASSERT_EQ(Start(recorder, kAll, 0), VE_OK);
	std::set<Change> expected;
	for (int i = 0; i < 8; ++i) {
		const std::string top = "t" + std::to_string(i) + "/";
		MakeFolder(Path(top));
		expected.emplace(top, 2);
		for (int j = 0; j < 8; ++j) {
			const std::string sub = top + "s" + std::to_string(j) + "/";
			MakeFolder(Path(sub));
			expected.emplace(sub, 2);
			for (int k = 0; k < 4; ++k) {
				const std::string file = sub + "f" + std::to_string(k);
				WriteFile(Path(file), "x");
				expected.emplace(file, 2);
			}
		}
	}
	AwaitMarker(recorder);
	expected.emplace("zz-marker", 2);
	// A file seen before its content was written is also reported
	// modified; nothing is removed, and each entry is added once.
	auto added = [&] {
		std::set<Change> changes = recorder.Changes();
		for (auto it = changes.begin(); it != changes.end();)
			it = it->second == Kind::kModified ? changes.erase(it) : std::next(it);
		return changes;
	};
	ASSERT_TRUE(Await([&] { return added() == expected; })) << added().size();
	size_t additions = 0;
	for (const auto& [paths, kind] : recorder.fCalls)
		additions += kind == Kind::kAdded ? paths.size() : 0;
	EXPECT_EQ(additions, expected.size());

	// Every new directory is watched.
	WriteFile(Path("t7/s7/f3"), "changed");
	EXPECT_TRUE(Await([&] { return recorder.Saw("t7/s7/f3", Kind::kModified); }));
}

TEST_F(FileSystemNotifierTest, ComparesEverythingAfterTheQueueOverflowed)
{
	WriteFile(Path("a"), "x");
	WriteFile(Path("b"), "x");
	int limit = 16384;
	std::ifstream("/proc/sys/fs/inotify/max_queued_events") >> limit;
	Recorder recorder(Root());
	ASSERT_EQ(Start(recorder, kAll, 0), VE_OK);
	{
		// The watcher stops reading at the first change it reports, until
		// the lock is left; meanwhile the queue overflows and drops the
		// changes made after it.
		StLocker<VCriticalSection> locker(fNotifier.GetLock());
		WriteFile(Path("trigger"), "x");
		for (int i = 0; i <= limit; ++i)
			::utimensat(AT_FDCWD, Path(i % 2 == 0 ? "a" : "b").c_str(), nullptr, 0);
		MakeFolder(Path("late"));
		WriteFile(Path("late/f"), "x");
		::unlink(Path("b").c_str());
	}
	EXPECT_TRUE(Await([&] {
		return recorder.Saw("trigger", Kind::kAdded) && recorder.Saw("late/", Kind::kAdded) &&
				recorder.Saw("late/f", Kind::kAdded) && recorder.Saw("b", Kind::kRemoved);
	}));
	// Still watching.
	WriteFile(Path("late/g"), "x");
	EXPECT_TRUE(Await([&] { return recorder.Saw("late/g", Kind::kAdded); }));
}

TEST_F(FileSystemNotifierTest, ReportsTheRootReplacedUnderItsPath)
{
	WriteFile(Path("old"), "x");
	const std::string moved = fTemp.Path() + "-moved";
	Recorder recorder(Root());
	// Long enough that the root is back when its move is compared: nothing
	// would tell of a root made again later.
	ASSERT_EQ(Start(recorder, kAll, 1000), VE_OK);
	ASSERT_EQ(::rename(fTemp.Path().c_str(), moved.c_str()), 0);
	MakeFolder(fTemp.Path());
	WriteFile(Path("new"), "x");
	// The move of the root itself is its "changed" event.
	EXPECT_TRUE(Await([&] { return recorder.Saw("old", Kind::kRemoved) && recorder.Saw("new", Kind::kAdded); }));
	WriteFile(Path("newer"), "x");
	EXPECT_TRUE(Await([&] { return recorder.Saw("newer", Kind::kAdded); }));
	EXPECT_EQ(Stop(recorder), VE_OK);
	std::filesystem::remove_all(moved);
}

TEST_F(FileSystemNotifierTest, EndsWithWatchesLeftRunning)
{
	const int watches = CountInotifyWatches();
	Recorder recorder(Root());
	{
		VFileSystemNotifier notifier;
		ASSERT_EQ(notifier.StartWatchingForChanges(*Folder(fTemp.Path()), kAll, &recorder, 0), VE_OK);
		WriteFile(Path("f"), "x");
		// A delivery may be posted when the notifier goes: it must not run.
	}
	VTask::ExecuteMessages(false);
	EXPECT_EQ(CountInotifyWatches(), watches);
}

TEST(FileSystemNotifier, TheFirstNotifierIsTheProcesssUntilItGoes)
{
	// The process may have made its own at start-up.
	VFileSystemNotifier* const existing = VFileSystemNotifier::Instance();
	{
		VFileSystemNotifier first;
		VFileSystemNotifier* const expected = existing != nullptr ? existing : &first;
		EXPECT_EQ(VFileSystemNotifier::Instance(), expected);
		{
			VFileSystemNotifier second;
			EXPECT_EQ(VFileSystemNotifier::Instance(), expected);
		}
		EXPECT_EQ(VFileSystemNotifier::Instance(), expected);
	}
	EXPECT_EQ(VFileSystemNotifier::Instance(), existing);
}

} // namespace
} // namespace qirn
