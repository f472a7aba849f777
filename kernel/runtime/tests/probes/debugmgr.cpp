// Reports to the debug manager of a process of its own, run from a bundle
// the test made. QIRN_TEST_DEBUG_MODE chooses what it does:
// - "entries": an error, a failed assertion and debug messages (one from a
//   deep stack) go to the assert file;
// - "rotate": three entries, the assert file filled past its rotation size
//   (QIRN_TEST_ASSERT_FILE names it) before the second and the third;
// - "concurrent": four tasks write 25 entries each at the same time;
// - "quit" and "break": a thrown error whose handler answers quit, or break.
// Prints "name=value" lines, flushed at once: a break ends the program.
#include "core/VString.h"
#include "process/VProcess.h"
#include "runtime/IDebugMessageHandler.h"
#include "runtime/VDebugMgr.h"
#include "runtime/VError.h"
#include "runtime/VErrorContext.h"
#include "runtime/VTask.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

using namespace qirn;

namespace {

constexpr VError kProbeError = MAKE_VERROR('qtst', 77);

void Report(const char* inName, const std::string& inValue)
{
	std::printf("%s=%s\n", inName, inValue.c_str());
	std::fflush(stdout);
}

class AnsweringHandler : public VObject, public IDebugMessageHandler {
public:
	explicit AnsweringHandler(int32 inAnswer) : fAnswer(inAnswer) {}
	int32 AssertFailed(VDebugContext&, const char*, const char*, int) override { return fAnswer; }
	int32 ErrorThrown(VDebugContext&, VErrorBase*) override { return fAnswer; }

private:
	int32 fAnswer;
};

bool FillPastRotation(const char* inPath)
{
	FILE* file = std::fopen(inPath, "ae");
	if (file == nullptr)
		return false;
	std::string block(1 << 20, 'x');
	for (long written = 0; written < VDebugMgr::kAssertFileRotationSize; written += static_cast<long>(block.size()))
		std::fwrite(block.data(), 1, block.size(), file);
	std::fputc('\n', file);
	return std::fclose(file) == 0;
}

// A stack deeper than the entries keep.
__attribute__((noinline)) void ReportFromDepth(VDebugMgr& ioManager, int inDepth)
{
	if (inDepth == 0)
		ioManager.DebugMsg(VString("deep\n"));
	else
		ReportFromDepth(ioManager, inDepth - 1);
	asm volatile("" ::: "memory"); // no tail call: each level keeps its frame
}

} // namespace

int main()
{
	const char* mode = std::getenv("QIRN_TEST_DEBUG_MODE");
	if (mode == nullptr)
		return 2;
	VProcess process;
	if (!process.Init(0))
		return 3;
	VDebugMgr& manager = VDebugMgr::Get();
	StErrorContextInstaller scope(false);

	if (std::strcmp(mode, "entries") == 0) {
		manager.SetAssertFileEnabled(true);
		_ThrowError(kProbeError);
		manager.AssertFailed("count > 0", "src/counter.cpp", 31);
		ReportFromDepth(manager, 12);
		manager.DebugMsg(VString("caf\xC3\xA9 message\n"));
		manager.WriteToAssertFile(VString("bare text\n"), false, false);
		Report("done", "1");
	} else if (std::strcmp(mode, "rotate") == 0) {
		const char* path = std::getenv("QIRN_TEST_ASSERT_FILE");
		manager.SetAssertFileEnabled(true);
		manager.DebugMsg(VString("entry one\n"));
		Report("filled1", FillPastRotation(path) ? "1" : "0");
		manager.DebugMsg(VString("entry two\n"));
		Report("filled2", FillPastRotation(path) ? "1" : "0");
		manager.DebugMsg(VString("entry three\n"));
		Report("done", "1");
	} else if (std::strcmp(mode, "concurrent") == 0) {
		manager.SetAssertFileEnabled(true);
		std::vector<VTask*> tasks;
		for (int t = 0; t < 4; ++t) {
			tasks.push_back(new VTask(0, ETaskStyle::kPreemptive, [&manager, t]() {
				for (int entry = 0; entry < 25; ++entry) {
					VString text;
					text.Printf("task %d entry %d\n", t, entry);
					manager.DebugMsg(text);
				}
			}));
		}
		bool ended = true;
		for (VTask* task : tasks)
			ended &= task->Run();
		for (VTask* task : tasks) {
			ended &= task->WaitForDeath(60000);
			task->Release();
		}
		Report("done", ended ? "1" : "0");
	} else if (std::strcmp(mode, "quit") == 0 || std::strcmp(mode, "break") == 0) {
		AnsweringHandler* handler = new AnsweringHandler(std::strcmp(mode, "quit") == 0 ? kDebugQuit : kDebugBreak);
		manager.SetDebugMessageHandler(handler);
		handler->Release();
		Report("before", "1");
		_ThrowError(kProbeError);
		Report("after", "1");
	}
	return 0;
}
