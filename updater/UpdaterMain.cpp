// The updater's entry: the process's arguments, the executable's folder first
// on PATH (the relaunch's "open" is there), the application object on the
// stack, and the exit code from what the run left on the main task.

#include "VUpdateEngine.h"

#include "core/VMemory.h"
#include "core/VObject.h"
#include "host/HostBundle.h"
#include "runtime/VTask.h"

#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace qirn;

namespace {

// At exit the process object is gone: nothing may reach it any more. The
// memory manager stays: statics destroyed after this still free through it.
void ClearProcessAtExit()
{
	VProcess::sInstance.store(nullptr);
}

__attribute__((constructor)) void RegisterExitFinalizer()
{
	std::atexit(ClearProcessAtExit);
}

void PutExecutableFolderFirstOnPath()
{
	char executable[PATH_MAX] = {};
	if (!host::CopyExecutablePath(executable, sizeof executable))
		return;
	std::string folder(executable);
	const size_t slash = folder.rfind('/');
	if (slash == std::string::npos)
		return;
	folder.resize(slash == 0 ? 1 : slash);
	// No empty entry is made: one would name the working folder.
	const char* current = std::getenv("PATH");
	std::string path = folder;
	if (current != nullptr && *current != 0)
		path += std::string(":") + current;
	::setenv("PATH", path.c_str(), 1);
}

void IgnoreSignal(int)
{
}

// A file-size limit reached while copying, or a caller that closed its end
// of our output, must fail that write (EFBIG, EPIPE) so that the run can
// roll back or go on, rather than end the process half-way. A handler, not
// SIG_IGN: handlers are reset for the programs we start.
void FailWritesInsteadOfSignals()
{
	struct sigaction action = {};
	action.sa_handler = IgnoreSignal;
	sigemptyset(&action.sa_mask);
	action.sa_flags = SA_RESTART;
	::sigaction(SIGXFSZ, &action, nullptr);
	::sigaction(SIGPIPE, &action, nullptr);
}

int RunUpdater()
{
	if (!VMemory::InitMemoryManager())
		return 1;
	VUpdateEngine engine;
	// The logger and the file-system notifier; no fibers.
	if (!engine.Init(VProcess::kInitLogger | VProcess::kInitFileSystemNotifier))
		return engine.GetExitStatus();
	engine.Run();
	const VError error = VTask::GetLastError();
	if (error == VE_OK)
		return 0;
	return error == VE_APPLICATION_INIT_FAILED ? 1 : 2;
}

} // namespace

int main(int argc, char** argv)
{
	sProcessCommandLineArgc = argc;
	sProcessCommandLineArgv = argv;
	PutExecutableFolderFirstOnPath();
	FailWritesInsteadOfSignals();
	return RunUpdater();
}
