#include "process/VProcessIPC.h"

#include "files/VFileSystemNotifier.h"
#include "process/VCommandLineParser.h"
#include "process/VSleepNotifier.h"
#include "process/platform/XPosixProcessIPC.h"
#include "runtime/VTask.h"

#include <cstring>

namespace qirn {

int sProcessCommandLineArgc = 0;
char** sProcessCommandLineArgv = nullptr;

VProcessIPC* VProcessIPC::sInstance = nullptr;

VProcessIPC::VProcessIPC()
{
	sInstance = this;
}

VProcessIPC::~VProcessIPC()
{
	fFileSystemNotifier.reset();
	fSleepNotifier.reset();
	// No signal may reach a process that is going away.
	fSignalHandler.reset();
	sInstance = nullptr;
}

bool VProcessIPC::Init(uint32 inFlags)
{
	if (!fInitCalled) {
		fInitCalled = true;
		fInitOK = _Init(inFlags);
	}
	return fInitOK;
}

std::vector<VString> VProcessIPC::GetCommandLineArguments(int inArgc, char* const* inArgv)
{
	std::vector<VString> arguments;
	if (inArgv == nullptr)
		return arguments;
	for (int i = 0; i < inArgc && inArgv[i] != nullptr; ++i) {
		if (i > 0 && std::strncmp(inArgv[i], "-psn_", 5) == 0)
			continue;
		arguments.emplace_back(inArgv[i]);
	}
	return arguments;
}

bool VProcessIPC::_Init(uint32 inFlags)
{
	if (!VProcess::Init(inFlags)) {
		fExitStatus = 1;
		return false;
	}
	uint32 result = 0;
	{
		const std::vector<VString> arguments = GetCommandLineArguments(sProcessCommandLineArgc, sProcessCommandLineArgv);
		VCommandLineParser parser(arguments);
		result = DoParseCommandLine(parser);
	}
	fExitStatus = result == 0 || result == 2 ? 0 : 1;
	if (result != 0)
		return false;
	fSignalHandler = std::make_unique<XPosixProcessIPC>();
	if (!fSignalHandler->Init()) {
		fExitStatus = 1;
		return false;
	}
	if ((inFlags & kInitFileSystemNotifier) != 0)
		fFileSystemNotifier = std::make_unique<VFileSystemNotifier>();
	// A system that cannot tell of its sleep still runs the application.
	fSleepNotifier = std::make_unique<VSleepNotifier>();
	fSleepNotifier->Init();
	return true;
}

uint32 VProcessIPC::DoParseCommandLine(VCommandLineParser& /*ioParser*/)
{
	return 0;
}

void VProcessIPC::DoRun()
{
	while (IsRunning())
		VTask::ExecuteMessagesWithTimeout(100, true);
}

} // namespace qirn
