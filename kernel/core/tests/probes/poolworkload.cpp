// Runs the seeded pool workload on a manager of its own, for memcheck to
// watch; answers 0 when every block kept its contents and every pool is
// sound.
#include "core/tests/PoolWorkload.h"

#include "core/VCppMemMgr.h"

#include <cstdio>
#include <memory>

int main()
{
	using namespace qirn;
	std::unique_ptr<VCppMemMgr> manager(new VCppMemMgr(eAllocator_Pools));
	if (manager == nullptr || manager->IsSingleAllocator()) {
		std::puts("no pools");
		return 1;
	}
	std::string fault;
	{
		testing::PoolWorkload workload(*manager, 20261210);
		fault = workload.Run(10, 400);
	}
	size_t allocated = 0, used = 0;
	manager->GetMemUsageInfo(allocated, used);
	if (fault.empty() && used != 0)
		fault = "blocks left in use after the workload";
	std::puts(fault.empty() ? "ok" : fault.c_str());
	return fault.empty() ? 0 : 1;
}
