// The file layer's recursive copy of a folder, and the folder class's copy
// over it, against cp -a: a tree of
// 10,000 small files in 100 folders (a large application bundle's shape),
// copied whole into a new folder beside it. cp runs as a child process, as
// the updater would otherwise run it.
#include "files/VFolder.h"
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
	const std::string& Root() const { return fRoot; }
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

// cp -a of the source tree to the target, as a child process.
void CopyWithCp(benchmark::State& state)
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

void BM_TreeCopy_PeerCp(benchmark::State& state)
{
	CopyWithCp(state);
}
BENCHMARK(BM_TreeCopy_PeerCp)->Unit(benchmark::kMillisecond)->UseRealTime();

// The folder class's copy into a new folder: without options it copies item
// by item (the copy that merges into an existing folder); with option 4 it
// replaces, and a target that is not there is copied whole by the file layer.
void CopyFolder(benchmark::State& state, qirn::uint32 inOptions)
{
	if (!Tree().IsReady()) {
		state.SkipWithError("no source tree");
		return;
	}
	qirn::VRefPtr<qirn::VFolder> source = qirn::VRefPtr<qirn::VFolder>::Adopt(
		new qirn::VFolder(qirn::VString((Tree().Source() + "/").c_str()), qirn::FPS_POSIX));
	qirn::VRefPtr<qirn::VFolder> parent = qirn::VRefPtr<qirn::VFolder>::Adopt(
		new qirn::VFolder(qirn::VString((Tree().Root() + "/").c_str()), qirn::FPS_POSIX));
	const qirn::VString name("target");
	for (auto _ : state) {
		if (source->CopyTo(*parent, name, nullptr, inOptions) != qirn::VE_OK) {
			state.SkipWithError("copy failed");
			break;
		}
		ClearTarget(state);
	}
}

void BM_FolderCopyTo_Ours(benchmark::State& state)
{
	CopyFolder(state, 0);
}
BENCHMARK(BM_FolderCopyTo_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FolderCopyTo_PeerCp(benchmark::State& state)
{
	CopyWithCp(state);
}
BENCHMARK(BM_FolderCopyTo_PeerCp)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FolderCopyToReplacing_Ours(benchmark::State& state)
{
	CopyFolder(state, qirn::VFolder::kCopyReplace);
}
BENCHMARK(BM_FolderCopyToReplacing_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FolderCopyToReplacing_PeerCp(benchmark::State& state)
{
	CopyWithCp(state);
}
BENCHMARK(BM_FolderCopyToReplacing_PeerCp)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

// 100 MB through the file stream in 4-byte numbers and back, against stdio
// with a 32 KiB buffer. Both sync the file once at the end of writing, as
// the stream's close does.
#include "files/VFile.h"
#include "files/VFileStream.h"

#include <cstdio>

namespace {

constexpr int64_t kStreamBytes = 100LL * 1000 * 1000;
constexpr int64_t kStreamLongs = kStreamBytes / 4;

std::string StreamPath()
{
	const char* temporary = std::getenv("TMPDIR");
	return std::string(temporary != nullptr && *temporary != 0 ? temporary : "/tmp") + "/qirn-bench-stream-" +
		   std::to_string(::getpid());
}

void BM_FileStreamLongs_Ours(benchmark::State& state)
{
	const std::string path = StreamPath();
	qirn::VFile file(qirn::VFilePath(qirn::VString(path.c_str()), qirn::FPS_POSIX));
	for (auto _ : state) {
		{
			qirn::VFileStream stream(&file, qirn::FO_CreateIfNotFound | qirn::FO_Overwrite);
			stream.OpenWriting();
			for (int64_t i = 0; i < kStreamLongs; ++i)
				stream.PutLong(static_cast<qirn::sLONG>(i));
			if (stream.CloseWriting() != qirn::VE_OK) {
				state.SkipWithError("writing failed");
				break;
			}
		}
		qirn::VFileStream stream(&file);
		stream.OpenReading();
		int64_t sum = 0;
		qirn::sLONG value = 0;
		for (int64_t i = 0; i < kStreamLongs; ++i) {
			stream.GetLong(value);
			sum += value;
		}
		if (stream.CloseReading() != qirn::VE_OK) {
			state.SkipWithError("reading failed");
			break;
		}
		benchmark::DoNotOptimize(sum);
	}
	::unlink(path.c_str());
	state.SetBytesProcessed(state.iterations() * kStreamBytes * 2);
}
BENCHMARK(BM_FileStreamLongs_Ours)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_FileStreamLongs_PeerStdio(benchmark::State& state)
{
	const std::string path = StreamPath();
	for (auto _ : state) {
		FILE* out = std::fopen(path.c_str(), "wb");
		if (out == nullptr) {
			state.SkipWithError("cannot open");
			break;
		}
		std::setvbuf(out, nullptr, _IOFBF, 32768);
		for (int64_t i = 0; i < kStreamLongs; ++i) {
			const int32_t value = static_cast<int32_t>(i);
			std::fwrite(&value, 4, 1, out);
		}
		std::fflush(out);
		::fsync(::fileno(out));
		std::fclose(out);
		FILE* in = std::fopen(path.c_str(), "rb");
		std::setvbuf(in, nullptr, _IOFBF, 32768);
		int64_t sum = 0;
		int32_t value = 0;
		for (int64_t i = 0; i < kStreamLongs; ++i) {
			if (std::fread(&value, 4, 1, in) != 1)
				break;
			sum += value;
		}
		std::fclose(in);
		benchmark::DoNotOptimize(sum);
	}
	::unlink(path.c_str());
	state.SetBytesProcessed(state.iterations() * kStreamBytes * 2);
}
BENCHMARK(BM_FileStreamLongs_PeerStdio)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
