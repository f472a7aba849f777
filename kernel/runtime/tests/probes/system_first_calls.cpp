// Reports what the first calls of the system's load and network figures
// answer in a fresh process, and what the calls after them answer. One
// "name=value" line per check.
#include "runtime/VSystem.h"

#include <cstdio>
#include <vector>

using namespace qirn;

int main()
{
	Real load = -1.0;
	std::printf("cpu.first=%d\n", VSystem::GetProcessorsPercentageUse(load) ? 1 : 0);
	std::printf("cpu.firstValue=%g\n", load);
	std::vector<Real> rates{1.0, 2.0, 3.0};
	std::printf("net.first=%d\n", VSystem::GetInOutNetworkStats(rates) ? 1 : 0);
	std::printf("net.firstCount=%zu\n", rates.size());

	// Some time must pass for figures to be given at all.
	VSystem::Delay(30);
	load = -1.0;
	const bool cpu = VSystem::GetProcessorsPercentageUse(load);
	std::printf("cpu.second=%d\n", cpu ? 1 : 0);
	std::printf("cpu.secondInRange=%d\n", load >= 0.0 && load <= 1.0 ? 1 : 0);
	const bool net = VSystem::GetInOutNetworkStats(rates);
	std::printf("net.second=%d\n", net ? 1 : 0);
	std::printf("net.secondCount=%zu\n", rates.size());
	return 0;
}
