// A whole update of a synthetic bundle (10,000 files, 500 MB by default) by
// the updater, run as a child with no caller to wait for: the new bundle
// copied in, the old one moved to the trash, the application started again.
// The peer is what a script would do: `cp -a` of the update beside the
// bundle, then two `mv` (the bundle aside, the copy in its place).
//
// QIRN_BENCH_UPDATER_FILES and QIRN_BENCH_UPDATER_MB make the bundle smaller
// when the disk is short; TMPDIR chooses the file system. The old bundles
// are deleted between iterations, outside the measure.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

size_t Setting(const char* inName, size_t inDefault)
{
	const char* value = std::getenv(inName);
	return value != nullptr && *value != 0 ? static_cast<size_t>(std::strtoull(value, nullptr, 10)) : inDefault;
}

// The bench's world: the bundles, and HOME and XDG folders of its own so the
// trash is ours.
class Workspace {
public:
	Workspace()
	{
		std::string pattern = fs::temp_directory_path().string() + "/qirn-bench-updater-XXXXXX";
		if (::mkdtemp(pattern.data()) != nullptr)
			fRoot = pattern;
	}
	~Workspace()
	{
		std::error_code ignored;
		if (!fRoot.empty())
			fs::remove_all(fRoot, ignored);
	}

	bool Prepare()
	{
		if (fRoot.empty())
			return false;
		const size_t files = std::max<size_t>(Setting("QIRN_BENCH_UPDATER_FILES", 10000), 1);
		const size_t bytes = Setting("QIRN_BENCH_UPDATER_MB", 500) * 1024 * 1024 / files;
		std::error_code error;
		fs::create_directories(fRoot + "/home/.local/share", error);
		fs::create_directories(fRoot + "/apps", error);
		for (const std::string& bundle : {Update(), Installed()}) {
			fs::create_directories(bundle + "/Contents/MacOS", error);
			std::ofstream(bundle + "/Contents/Info.plist")
				<< "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<plist version=\"1.0\">\n<dict>\n"
				   "<key>CFBundleExecutable</key><string>Sample</string>\n"
				   "<key>CFBundleShortVersionString</key><string>1.0</string>\n</dict>\n</plist>\n";
			const std::string executable = bundle + "/Contents/MacOS/Sample";
			std::ofstream(executable) << "#!/bin/sh\nexit 0\n";
			fs::permissions(executable, fs::perms(0755), error);
			std::string data(bytes, 'q');
			for (size_t i = 0; i < files; ++i) {
				const std::string folder = bundle + "/Contents/Resources/" + std::to_string(i % 100);
				if (i < 100)
					fs::create_directories(folder, error);
				if (!data.empty())
					data[0] = static_cast<char>('a' + i % 26);
				std::ofstream(folder + "/file" + std::to_string(i) + ".dat", std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
			}
		}
		return !error;
	}

	std::string Installed() const { return fRoot + "/apps/Sample.app"; }
	std::string Update() const { return fRoot + "/Sample.app"; }
	std::string Home() const { return fRoot + "/home"; }

	// What an update leaves beside the bundle or in the trash.
	void Clean() const
	{
		std::error_code ignored;
		fs::remove_all(Home() + "/.local/share/Trash", ignored);
		fs::remove_all(fRoot + "/logs", ignored);
		for (const auto& entry : fs::directory_iterator(fRoot + "/apps", ignored))
			if (entry.path().filename() != "Sample.app")
				fs::remove_all(entry.path(), ignored);
	}

	// Runs a program to its end; true on exit code 0.
	bool Run(const std::vector<std::string>& inArguments) const
	{
		std::vector<std::string> environment{"HOME=" + Home(), "XDG_DATA_HOME=" + Home() + "/.local/share",
											 "XDG_CONFIG_HOME=" + Home() + "/.config", "XDG_CACHE_HOME=" + Home() + "/.cache",
											 "LANG=en_US.UTF-8", "PATH=/usr/bin:/bin"};
		std::vector<char*> argv;
		for (const std::string& argument : inArguments)
			argv.push_back(const_cast<char*>(argument.c_str()));
		argv.push_back(nullptr);
		std::vector<char*> envp;
		for (std::string& entry : environment)
			envp.push_back(entry.data());
		envp.push_back(nullptr);
		pid_t child = 0;
		int status = 0;
		return ::posix_spawnp(&child, argv[0], nullptr, nullptr, argv.data(), envp.data()) == 0 &&
			   ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
	}

private:
	std::string fRoot;
};

void Measure(benchmark::State& ioState, const std::function<bool(const Workspace&)>& inUpdate)
{
	Workspace workspace;
	if (!workspace.Prepare()) {
		ioState.SkipWithError("the synthetic bundles could not be made");
		return;
	}
	for (auto _ : ioState) {
		if (!inUpdate(workspace)) {
			ioState.SkipWithError("the update failed");
			return;
		}
		ioState.PauseTiming();
		workspace.Clean();
		ioState.ResumeTiming();
	}
}

void BM_UpdateBundle_Ours(benchmark::State& ioState)
{
	Measure(ioState, [](const Workspace& inWorkspace) {
		return inWorkspace.Run({QIRN_BENCH_UPDATER, "--silent", inWorkspace.Installed(), inWorkspace.Update()});
	});
}
BENCHMARK(BM_UpdateBundle_Ours)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

void BM_UpdateBundle_Peer(benchmark::State& ioState)
{
	Measure(ioState, [](const Workspace& inWorkspace) {
		const std::string copy = inWorkspace.Installed() + ".new";
		return inWorkspace.Run({"cp", "-a", inWorkspace.Update(), copy}) &&
			   inWorkspace.Run({"mv", inWorkspace.Installed(), inWorkspace.Installed() + ".old"}) &&
			   inWorkspace.Run({"mv", copy, inWorkspace.Installed()});
	});
}
BENCHMARK(BM_UpdateBundle_Peer)->UseRealTime()->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
