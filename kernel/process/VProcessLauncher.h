#pragma once

#include "core/VMemoryBuffer.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "core/VStringLessCompareStrict.h"

#include <cstddef>
#include <functional>
#include <map>
#include <vector>

namespace qirn {

class VFilePath;
class XPosixProcessLauncher;

// Runs a child process: from a command line or a program and its arguments,
// with its standard input fed and its standard output and error collected,
// an environment, a working folder and an optional time-out after which the
// child and its process group are killed.
class VProcessLauncher : public VObject {
public:
	using EnvironmentMap = std::map<VString, VString, VStringLessCompareStrict>;

	// ExecuteCommandLine's options: start and return at once, without waiting
	// for the child or reading its output.
	static constexpr int kDontWait = 2;

	VProcessLauncher();
	~VProcessLauncher() override;

	VProcessLauncher(const VProcessLauncher&) = delete;
	VProcessLauncher& operator=(const VProcessLauncher&) = delete;

	void SetDefaultDirectory(const VFilePath& inFolder);
	void SetEnvironmentVariable(const VString& inName, const VString& inValue);
	void SetEnvironmentVariables(const EnvironmentMap& inVariables);
	void SetBinaryPath(const VString& inPath);
	void CreateArgumentsFromFullCommandLine(const VString& inCommandLine);
	// With inQuote the argument travels wrapped in double quotes.
	void AddArgument(const VString& inArgument, bool inQuote);
	void ClearArguments();
	void SetWaitClosingChildProcess(int inMilliseconds);
	void SetRedirectStandardInput(bool inRedirect);
	void SetRedirectStandardOutput(bool inRedirect);
	void CloseStandardInput();
	// -1 when the child does not run or closed its input; never SIGPIPE.
	int WriteToChild(const void* inData, unsigned inSize, bool inCloseAfter);
	int WaitForData();
	int ReadFromChild(char* outBuffer, long inSize);
	int ReadErrorFromChild(char* outBuffer, long inSize);
	int ReadFromChildAndShutdown(std::function<void(const void*, size_t)> inOnOutput,
								 std::function<void(const void*, size_t)> inOnError);
	void SetQuoteArgumentsIfNeeded(bool inQuote);
	int GetPid() const;
	static bool KillProcess(int inPid);
	void EnableProcessTreeKill();
	int Start();
	int Start(const EnvironmentMap& inEnvironment);
	bool IsRunning();
	int Shutdown(bool inKill, bool inKillTree);
	int GetExitStatus() const;

	// Reads both outputs to their end, together; a null buffer drops its
	// stream's data, and so does a buffer that cannot grow.
	void ReadStd(VMemoryBuffer<>* outOutput, VMemoryBuffer<>* outError);

	// Runs a command line to its end (or only starts it, with kDontWait).
	// inExtraArguments are appended as they stand, never split or quoted: the
	// way to pass paths holding blanks, quotes or backslashes. Every pointer
	// may be null. 0, or the start's error: an errno value (ENOENT for a
	// program that is not found, EACCES for one that cannot be run) or -1.
	static int ExecuteCommandLine(const VString& inCommandLine, int inOptions, VMemoryBuffer<>* inInput,
								  VMemoryBuffer<>* outOutput, VMemoryBuffer<>* outError, EnvironmentMap* inEnvironment,
								  VFilePath* inFolder, int* outExitStatus, VProcessLauncher** outLauncher,
								  std::vector<VString>* inExtraArguments, bool inQuoteArgumentsIfNeeded,
								  bool inKillProcessTree);

	XPosixProcessLauncher* GetImpl() const { return fImpl; }

private:
	XPosixProcessLauncher* fImpl;
};

} // namespace qirn
