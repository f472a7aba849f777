// A command-line application on the process frame, run by the tests as a
// black box: they read its "name=value" lines, send it signals and collect
// how it ends.
//   --answer=N   what DoParseCommandLine answers once the parse went well
//   --once       the main loop returns at once
//   --linger     after the run, waits (for a second SIGQUIT, say)
//   other words  positional, reported as "args=a|b|..."
#include "process/VCommandLineParser.h"
#include "process/VProcessIPC.h"
#include "runtime/VTask.h"
#include "runtime/VTaskMgr.h"

#include <cstdlib>
#include <cstdio>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace qirn;

namespace {

void Report(const char* inName, const std::string& inValue)
{
	std::printf("%s=%s\n", inName, inValue.c_str());
	std::fflush(stdout);
}

std::string UTF8(const VString& inText)
{
	std::string text;
	for (VIndex i = 0; i < inText.GetLength(); ++i)
		text.push_back(static_cast<char>(inText.GetUniChar(i + 1)));
	return text;
}

class ProbeApp : public VProcessIPC {
public:
	bool fLinger = false;

protected:
	bool DoCheckSystemVersion(SystemVersion inVersion) override
	{
		if (std::getenv("QIRN_TEST_OLD_SYSTEM") != nullptr)
			return false;
		return VProcessIPC::DoCheckSystemVersion(inVersion);
	}
	uint32 DoParseCommandLine(VCommandLineParser& ioParser) override
	{
		int answer = 0;
		ioParser.AddOption(VString("answer"), VString("what the parse answers"), answer);
		ioParser.AddOption(VString("once"), VString("return from the loop at once"), fOnce);
		ioParser.AddOption(VString("linger"), VString("wait after the run"), fLinger);
		ioParser.SetPositionalOption(fPositional);
		const uint32 parsed = ioParser.Parse();
		std::string words;
		for (const VString& word : fPositional)
			words += (words.empty() ? "" : "|") + UTF8(word);
		Report("args", words);
		return parsed != 0 ? parsed : static_cast<uint32>(answer);
	}
	void DoRun() override
	{
		Report("running", "1");
		if (!fOnce)
			VProcessIPC::DoRun();
		Report("loop.ended", "1");
	}
	void DoQuit() override { Report("quit", "1"); }

private:
	bool fOnce = false;
	std::vector<VString> fPositional;
};

} // namespace

int main(int argc, char** argv)
{
	sProcessCommandLineArgc = argc;
	sProcessCommandLineArgv = argv;
	// A second SIGQUIT ends the probe by default: without a core file.
	const rlimit noCore = {0, 0};
	::setrlimit(RLIMIT_CORE, &noCore);
	ProbeApp app;
	const uint32 flags = std::getenv("QIRN_TEST_NO_WATCH") != nullptr ? VProcess::kInitLogger : VProcess::kInitDefault;
	if (!app.Init(flags)) {
		Report("init", "0");
		if (std::getenv("QIRN_TEST_OLD_SYSTEM") != nullptr) {
			Report("failed.singleton", VProcess::sInstance.load() == &app ? "1" : "0");
			Report("failed.intl", app.GetIntlMgr() != nullptr ? "1" : "0");
			Report("failed.taskmgr", VTaskMgr::IsInited() ? "1" : "0");
		}
		return app.GetExitStatus();
	}
	Report("init", "1");
	Report("notifier.files", app.GetFileSystemNotifier() != nullptr ? "1" : "0");
	Report("notifier.sleep", app.GetSleepNotifier() != nullptr ? "1" : "0");
	app.Run();
	Report("running.after", app.IsRunning() ? "1" : "0");
	if (app.fLinger) {
		Report("lingering", "1");
		for (int i = 0; i < 600; ++i)
			::usleep(100000);
		return 3;
	}
	return 0;
}
