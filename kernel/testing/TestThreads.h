#pragma once

// Plain threads for tests: threads that are no kernel task, each known to
// the kernel by its own id.

#include <thread>
#include <vector>

namespace qirn::testing {

// Runs inWork(index) on inThreads threads at once and waits for them all.
template <class Work>
void RunOnThreads(int inThreads, Work inWork)
{
	std::vector<std::thread> threads;
	for (int t = 0; t < inThreads; ++t)
		threads.emplace_back([&inWork, t]() { inWork(t); });
	for (std::thread& thread : threads)
		thread.join();
}

// The answer of inCall made on a thread of its own.
template <class Call>
auto OnAnotherThread(Call inCall)
{
	decltype(inCall()) answer{};
	std::thread([&]() { answer = inCall(); }).join();
	return answer;
}

} // namespace qirn::testing
