#pragma once

#include "process/VProcess.h"

#include <memory>

namespace qirn {

class VCommandLineParser;
class VFileSystemNotifier;
class VSleepNotifier;
class XPosixProcessIPC;

// The process's arguments, stored by main before anything else runs.
extern int sProcessCommandLineArgc;
extern char** sProcessCommandLineArgv;

// The process of a command-line application. Its start-up hands the
// arguments to the application's DoParseCommandLine, ends the main loop on
// SIGTERM, SIGINT and SIGQUIT, and makes the file-system and sleep
// notifiers; its main loop executes the main task's messages until the
// process quits.
class VProcessIPC : public VProcess {
public:
	VProcessIPC();
	~VProcessIPC() override;

	// Starts the process once; later calls answer the first result. False
	// when the application must not run: GetExitStatus tells whether that
	// is a failure (1) or a stop the command line asked for (0).
	bool Init(uint32 inFlags) override;

	// What the program's entry answers when Init stopped it; 1 until Init
	// succeeds.
	int32 GetExitStatus() const { return fExitStatus; }

	// Made by Init: the file-system notifier with flag 0x40 only.
	VFileSystemNotifier* GetFileSystemNotifier() const { return fFileSystemNotifier.get(); }
	VSleepNotifier* GetSleepNotifier() const { return fSleepNotifier.get(); }

	// The arguments the application parses: the process's, in order, less
	// every one but the program path that begins with "-psn_" (the serial
	// number some launchers add).
	static std::vector<VString> GetCommandLineArguments(int inArgc, char* const* inArgv);

	static VProcessIPC* sInstance;

protected:
	// Executes the main task's messages until the process quits.
	void DoRun() override;
	// Declares and parses the application's options: 0 go on, 2 stop
	// without error (the usage was printed, say), any other value an error.
	virtual uint32 DoParseCommandLine(VCommandLineParser& ioParser);

private:
	bool _Init(uint32 inFlags);

	bool fInitCalled = false;
	bool fInitOK = false;
	std::unique_ptr<XPosixProcessIPC> fSignalHandler;
	std::unique_ptr<VFileSystemNotifier> fFileSystemNotifier;
	std::unique_ptr<VSleepNotifier> fSleepNotifier;
	int32 fExitStatus = 1;
};

} // namespace qirn
