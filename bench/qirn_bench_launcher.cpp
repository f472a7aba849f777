// Child processes: ExecuteCommandLine("true") to its end against a bare
// posix_spawn and waitpid and against POCO's Process::launch and wait (left
// out without POCO); and 100 MB of a child's output read to its end against
// popen and fread.
#include "process/VProcessLauncher.h"

#include "core/VMemoryBuffer.h"
#include "core/VString.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <spawn.h>
#include <string>
#include <sys/wait.h>
#include <vector>

#ifdef QIRN_BENCH_POCO
#include <Poco/Process.h>
#endif

extern char** environ;

namespace {

// Both sides start the program found on PATH once, as a shell would.
std::string TruePath()
{
	for (const char* candidate : {"/usr/bin/true", "/bin/true"}) {
		if (::access(candidate, X_OK) == 0)
			return candidate;
	}
	return "true";
}

void BM_SpawnTrue_Ours(benchmark::State& state)
{
	int status = 0;
	for (auto _ : state) {
		const int result = qirn::VProcessLauncher::ExecuteCommandLine(
			CVSTR("true"), 0, nullptr, nullptr, nullptr, nullptr, nullptr, &status, nullptr, nullptr, true, false);
		if (result != 0 || status != 0)
			state.SkipWithError("true failed");
	}
}
BENCHMARK(BM_SpawnTrue_Ours)->Unit(benchmark::kMicrosecond);

void BM_SpawnTrue_Peer(benchmark::State& state)
{
	const std::string path = TruePath();
	char* argv[] = {const_cast<char*>("true"), nullptr};
	for (auto _ : state) {
		pid_t pid = 0;
		if (::posix_spawn(&pid, path.c_str(), nullptr, nullptr, argv, environ) != 0) {
			state.SkipWithError("posix_spawn failed");
			break;
		}
		int status = 0;
		::waitpid(pid, &status, 0);
	}
}
BENCHMARK(BM_SpawnTrue_Peer)->Unit(benchmark::kMicrosecond);

#ifdef QIRN_BENCH_POCO
void BM_SpawnTrue_PeerPoco(benchmark::State& state)
{
	const std::string path = TruePath();
	const Poco::Process::Args args;
	for (auto _ : state) {
		Poco::ProcessHandle handle = Poco::Process::launch(path, args);
		benchmark::DoNotOptimize(handle.wait());
	}
}
BENCHMARK(BM_SpawnTrue_PeerPoco)->Unit(benchmark::kMicrosecond);
#endif

constexpr size_t kOutputBytes = 100u * 1024 * 1024;
const char* const kOutputCommand = "head -c 104857600 /dev/zero";

void BM_ChildOutput100MB_Ours(benchmark::State& state)
{
	for (auto _ : state) {
		qirn::VMemoryBuffer<> output;
		qirn::VProcessLauncher::ExecuteCommandLine(qirn::VString(kOutputCommand), 0, nullptr, &output, nullptr,
												   nullptr, nullptr, nullptr, nullptr, nullptr, true, false);
		if (output.GetDataSize() != kOutputBytes)
			state.SkipWithError("short output");
	}
	state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kOutputBytes));
}
BENCHMARK(BM_ChildOutput100MB_Ours)->Unit(benchmark::kMillisecond);

// The same amount gathered in a growing buffer, as the launcher does.
void BM_ChildOutput100MB_Peer(benchmark::State& state)
{
	std::vector<char> chunk(65536);
	for (auto _ : state) {
		std::vector<char> output;
		FILE* pipe = ::popen(kOutputCommand, "r");
		size_t got;
		while ((got = std::fread(chunk.data(), 1, chunk.size(), pipe)) > 0)
			output.insert(output.end(), chunk.data(), chunk.data() + got);
		::pclose(pipe);
		if (output.size() != kOutputBytes)
			state.SkipWithError("short output");
	}
	state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kOutputBytes));
}
BENCHMARK(BM_ChildOutput100MB_Peer)->Unit(benchmark::kMillisecond);

} // namespace
