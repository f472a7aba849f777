// The file layer's recursive copy of a folder against cp -a: a tree of
// 10,000 small files in 100 folders (a large application bundle's shape),
// copied whole into a new folder beside it. cp runs as a child process, as
// the updater would otherwise run it.
#include "files/platform/PosixFileOps.h"

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

namespace ops = qirn::PosixFileOps;

constexpr int kFolders = 100;
constexpr int kFilesPerFolder = 100;
constexpr size_t kFileSize = 4096;

// The source tree, made once for the whole program and removed at its end.
class SourceTree {
public:
	SourceTree()
	{
		const char* temporary = std::getenv("TMPDIR");
		std::string pattern = std::string(temporary != nullptr && *temporary != 0 ? temporary : "/tmp") + "/qirn-bench-XXXXXX";
		if (::mkdtemp(pattern.data()) == nullptr)
			return;
		fRoot = pattern;
		const std::string tree = Source();
		::mkdir(tree.c_str(), 0755);
		const std::string bytes(kFileSize, 'q');
		for (int folder = 0; folder < kFolders; ++folder) {
			const std::string folderPath = tree + "/folder" + std::to_string(folder);
			::mkdir(folderPath.c_str(), 0755);
			for (int file = 0; file < kFilesPerFolder; ++file) {
				const std::string path = folderPath + "/file" + std::to_string(file) + ".txt";
				const int descriptor = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
				if (descriptor < 0)
					continue;
				if (::write(descriptor, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()))
					fRoot.clear();
				::close(descriptor);
			}
		}
	}
	~SourceTree()
	{
		if (!fRoot.empty())
			ops::RemoveTree(fRoot.c_str(), true);
	}

	bool IsReady() const { return !fRoot.empty(); }
	std::string Source() const { return fRoot + "/source"; }
	std::string Target() const { return fRoot + "/target"; }

private:
	std::string fRoot;
};

SourceTree& Tree()
{
	static SourceTree sTree;
	return sTree;
}

void ClearTarget(benchmark::State& state)
{
	state.PauseTiming();
	ops::RemoveTree(Tree().Target().c_str(), true);
	state.ResumeTiming();
}

void BM_TreeCopy_Ours(benchmark::State& state)
{
	if (!Tree().IsReady()) {
		state.SkipWithError("no source tree");
		return;
	}
	for (auto _ : state) {
		if (ops::CopyTree(Tree().Source().c_str(), Tree().Target().c_str()) != 0) {
			state.SkipWithError("copy failed");
			break;
		}
		ClearTarget(state);
	}
}
BENCHMARK(BM_TreeCopy_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_TreeCopy_PeerCp(benchmark::State& state)
{
	if (!Tree().IsReady()) {
		state.SkipWithError("no source tree");
		return;
	}
	const std::string source = Tree().Source();
	const std::string target = Tree().Target();
	char* arguments[] = {const_cast<char*>("cp"), const_cast<char*>("-a"), const_cast<char*>(source.c_str()),
		const_cast<char*>(target.c_str()), nullptr};
	for (auto _ : state) {
		pid_t child = 0;
		int status = 0;
		if (::posix_spawnp(&child, "cp", nullptr, nullptr, arguments, environ) != 0 ||
			::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
			state.SkipWithError("cp -a failed");
			break;
		}
		ClearTarget(state);
	}
}
BENCHMARK(BM_TreeCopy_PeerCp)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
