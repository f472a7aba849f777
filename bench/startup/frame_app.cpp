// A kernel application that starts as an application does (the command-line
// process with its logger and file-system notifier), reaches its main loop,
// and quits at once: what the process frame costs.
#include "process/VProcessIPC.h"

namespace {

class App : public qirn::VProcessIPC {
protected:
	void DoRun() override {}
};

} // namespace

int main(int argc, char** argv)
{
	qirn::sProcessCommandLineArgc = argc;
	qirn::sProcessCommandLineArgv = argv;
	App app;
	if (!app.Init(qirn::VProcess::kInitDefault))
		return app.GetExitStatus();
	app.Run();
	return 0;
}
