// Start-up and quit of a kernel application (frame_app: the command-line
// process started with its logger and file-system notifier, its main loop
// reached and left at once) against a plain program that loads the same
// libraries (plain_app). Each iteration runs the program as a child and
// waits for its end: the ratio is the process frame's own cost.
#include <benchmark/benchmark.h>

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

void RunToItsEnd(benchmark::State& ioState, const char* inProgram)
{
	char* arguments[] = {const_cast<char*>(inProgram), nullptr};
	for (auto _ : ioState) {
		pid_t child = 0;
		int status = 0;
		if (::posix_spawn(&child, inProgram, nullptr, nullptr, arguments, environ) != 0 ||
			::waitpid(child, &status, 0) != child || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
			ioState.SkipWithError("the program did not run to a clean end");
			return;
		}
	}
}

void BM_StartAndQuit_Ours(benchmark::State& ioState)
{
	RunToItsEnd(ioState, QIRN_BENCH_FRAME_APP);
}
BENCHMARK(BM_StartAndQuit_Ours)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_StartAndQuit_Peer(benchmark::State& ioState)
{
	RunToItsEnd(ioState, QIRN_BENCH_PLAIN_APP);
}
BENCHMARK(BM_StartAndQuit_Peer)->UseRealTime()->Unit(benchmark::kMillisecond);

} // namespace
