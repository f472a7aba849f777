// The main every benchmark program shares: the measuring thread is the main
// task of a process object, as in a kernel application, and a process that
// cannot start measures nothing.
#include "process/VProcess.h"

#include <benchmark/benchmark.h>

#include <cstdio>

int main(int argc, char** argv)
{
	benchmark::Initialize(&argc, argv);
	if (benchmark::ReportUnrecognizedArguments(argc, argv))
		return 1;
	qirn::VProcess process;
	if (!process.Init(0)) {
		std::fputs("the benchmark process could not start\n", stderr);
		return 1;
	}
	benchmark::RunSpecifiedBenchmarks();
	benchmark::Shutdown();
	return 0;
}
