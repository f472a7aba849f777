// Reports the lock strategy a process starts with, "spinlock.prm" beside the
// program being read at start-up, and the errors a second reading leaves.
// One "name=value" line per check.
#include "process/VProcess.h"
#include "runtime/SpinLock.h"
#include "runtime/VErrorContext.h"
#include "runtime/VTask.h"

#include <cstdio>

using namespace qirn;

namespace {

const char* StrategyName(SpinLock::LockProc inLock)
{
	if (inLock == &SpinLock::LockAlwaysSleep)
		return "alwaysSleep";
	if (inLock == &SpinLock::LockLoopMaxSpinsAndYields)
		return "loopMaxSpinsAndYields";
	if (inLock == &SpinLock::LockMaxSpinsThenLoopYields)
		return "maxSpinsThenLoopYields";
	return "other";
}

} // namespace

int main()
{
	VProcess process;
	if (!process.Init(0))
		return 1;
	std::printf("mode=%s\n", StrategyName(SpinLock::Lock));
	std::printf("release=%d\n", SpinLock::Unlock == &SpinLock::ReleaseWord ? 1 : 0);
	std::printf("maxSpins=%d\n", static_cast<int>(SpinLock::sMaxSpins));
	std::printf("yieldAfterCheckEvent=%d\n", SpinLock::sYieldAfterCheckEvent ? 1 : 0);

	std::printf("startError=%lld\n", static_cast<long long>(VTask::GetLastError()));

	StErrorContextInstaller scope(true, false);
	SpinLock::Configure();
	std::printf("errors=%zu\n", scope.GetContext()->GetErrors().size());
	return 0;
}
