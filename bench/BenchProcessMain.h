#pragma once

// The main of benchmarks that need a process object: the measuring thread is
// the main task, as in a kernel application.

#include "process/VProcess.h"

#include <benchmark/benchmark.h>

int main(int argc, char** argv)
{
	qirn::VProcess process;
	process.Init(0);
	benchmark::Initialize(&argc, argv);
	benchmark::RunSpecifiedBenchmarks();
	benchmark::Shutdown();
	return 0;
}
