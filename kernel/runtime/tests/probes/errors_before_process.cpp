// Reports what raising and dumping errors do before the process object
// exists, and that raising records once it does. One "name=value" line per
// check.
#include "process/VProcess.h"
#include "runtime/VError.h"
#include "runtime/VErrorBase.h"
#include "runtime/VTask.h"

#include <cstdio>
#include <cstring>

using namespace qirn;

namespace {

void Report(const char* inName, long inValue)
{
	std::printf("%s=%ld\n", inName, inValue);
}

} // namespace

int main()
{
	_ThrowError(MAKE_VERROR('qirn', 600));
	Report("before.lastError", static_cast<long>(VTask::GetLastError()));

	// Without a process object the dump is a short line, cut to the room given.
	VErrorBase* error = new VErrorBase(MAKE_VERROR('POSX', -2));
	char buffer[64];
	std::memset(buffer, 'x', sizeof(buffer));
	int32 size = 10;
	Report("dump.charset", error->DebugDump(buffer, size));
	Report("dump.size", size);
	Report("dump.terminated", buffer[9] == 0);
	Report("dump.untouched", buffer[10] == 'x');
	size = sizeof(buffer);
	error->DebugDump(buffer, size);
	Report("dump.full", std::strcmp(buffer, "Error code: -2, component: 'POSX', task ID: 0") == 0);
	Report("dump.fullSize", size == static_cast<int32>(std::strlen(buffer)));
	error->Release();

	VProcess process;
	process.Init(0);
	_ThrowError(MAKE_VERROR('qirn', 600));
	Report("after.lastError", VTask::GetLastError() == MAKE_VERROR('qirn', 600));
	return 0;
}
