// Paths: a million POSIX paths made kernel paths, split (name, extension,
// parent), tested for containment in a folder and given back as POSIX bytes,
// against std::filesystem::path doing the same, in the same run.
#include "core/VMemory.h"
#include "files/VFilePath.h"
#include "files/platform/XLinuxFile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

using namespace qirn;

namespace {

constexpr int kPathCount = 1'000'000;

const std::vector<std::string>& Paths()
{
	static const std::vector<std::string> sPaths = [] {
		std::vector<std::string> paths;
		paths.reserve(kPathCount);
		for (int i = 0; i < kPathCount; ++i) {
			paths.push_back("/home/user" + std::to_string(i % 10) + "/projects/p" + std::to_string(i % 1000) +
							"/src/module_" + std::to_string(i % 37) + "/file" + std::to_string(i) + ".cpp");
		}
		return paths;
	}();
	return sPaths;
}

void BM_PosixPaths_Ours(benchmark::State& state)
{
	const std::vector<std::string>& paths = Paths();
	VFilePath folder;
	XLinuxFile::GetFilePathFromPosixPath("/home/user7/", true, folder);
	for (auto _ : state) {
		size_t children = 0;
		size_t bytes = 0;
		VFilePath path;
		VFilePath parent;
		VString name;
		VString extension;
		for (const std::string& text : paths) {
			XLinuxFile::GetFilePathFromPosixPath(text.c_str(), false, path);
			path.GetName(name);
			path.GetExtension(extension);
			path.GetParent(parent);
			children += path.IsChildOf(folder) ? 1 : 0;
			char* back = XLinuxFile::AllocatePosixPathFromFilePath(path);
			bytes += back[0] == '/' ? 1 : 0;
			VMemory::DisposePtr(back);
			benchmark::DoNotOptimize(name.GetCPointer());
			benchmark::DoNotOptimize(extension.GetCPointer());
		}
		benchmark::DoNotOptimize(children);
		benchmark::DoNotOptimize(bytes);
	}
	state.SetItemsProcessed(state.iterations() * kPathCount);
}
BENCHMARK(BM_PosixPaths_Ours)->Unit(benchmark::kMillisecond);

void BM_PosixPaths_Peer(benchmark::State& state)
{
	const std::vector<std::string>& paths = Paths();
	const std::filesystem::path folder("/home/user7/");
	for (auto _ : state) {
		size_t children = 0;
		size_t bytes = 0;
		for (const std::string& text : paths) {
			std::filesystem::path path(text);
			std::filesystem::path name = path.filename();
			std::filesystem::path extension = path.extension();
			std::filesystem::path parent = path.parent_path();
			// Inside the folder: its elements begin the path's (the folder's
			// trailing empty element aside).
			auto folderEnd = std::prev(folder.end());
			auto [inFolder, inPath] = std::mismatch(folder.begin(), folderEnd, path.begin(), path.end());
			children += (inFolder == folderEnd && inPath != path.end()) ? 1 : 0;
			std::string back = path.string();
			bytes += back[0] == '/' ? 1 : 0;
			benchmark::DoNotOptimize(name.c_str());
			benchmark::DoNotOptimize(extension.c_str());
			benchmark::DoNotOptimize(parent.c_str());
		}
		benchmark::DoNotOptimize(children);
		benchmark::DoNotOptimize(bytes);
	}
	state.SetItemsProcessed(state.iterations() * kPathCount);
}
BENCHMARK(BM_PosixPaths_Peer)->Unit(benchmark::kMillisecond);

} // namespace
