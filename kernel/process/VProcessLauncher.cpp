#include "process/VProcessLauncher.h"

#include "process/platform/XPosixProcessLauncher.h"

namespace qirn {
namespace {

XPosixProcessLauncher::DataSink SinkInto(VMemoryBuffer<>* ioBuffer)
{
	if (ioBuffer == nullptr)
		return {};
	// A piece that the buffer cannot take is dropped; reading goes on.
	return [ioBuffer](const void* inData, size_t inSize) { (void)ioBuffer->AddData(inData, inSize); };
}

} // namespace

VProcessLauncher::VProcessLauncher() : fImpl(new XPosixProcessLauncher) {}

VProcessLauncher::~VProcessLauncher()
{
	delete fImpl;
}

void VProcessLauncher::SetDefaultDirectory(const VFilePath& inFolder)
{
	fImpl->SetDefaultDirectory(inFolder);
}

void VProcessLauncher::SetEnvironmentVariable(const VString& inName, const VString& inValue)
{
	fImpl->SetEnvironmentVariable(inName, inValue);
}

void VProcessLauncher::SetEnvironmentVariables(const EnvironmentMap& inVariables)
{
	fImpl->SetEnvironmentVariables(inVariables);
}

void VProcessLauncher::SetBinaryPath(const VString& inPath)
{
	fImpl->SetBinaryPath(inPath);
}

void VProcessLauncher::CreateArgumentsFromFullCommandLine(const VString& inCommandLine)
{
	fImpl->CreateArgumentsFromFullCommandLine(inCommandLine);
}

void VProcessLauncher::AddArgument(const VString& inArgument, bool inQuote)
{
	if (!inQuote) {
		fImpl->AddArgument(inArgument);
		return;
	}
	VString quoted(CVSTR("\""));
	quoted += inArgument;
	quoted += u'"';
	fImpl->AddArgument(quoted);
}

void VProcessLauncher::ClearArguments()
{
	fImpl->ClearArguments();
}

void VProcessLauncher::SetWaitClosingChildProcess(int inMilliseconds)
{
	fImpl->SetWaitClosingChildProcess(inMilliseconds);
}

void VProcessLauncher::SetRedirectStandardInput(bool inRedirect)
{
	fImpl->SetRedirectStandardInput(inRedirect);
}

void VProcessLauncher::SetRedirectStandardOutput(bool inRedirect)
{
	fImpl->SetRedirectStandardOutput(inRedirect);
}

void VProcessLauncher::CloseStandardInput()
{
	fImpl->CloseStandardInput();
}

int VProcessLauncher::WriteToChild(const void* inData, unsigned inSize, bool inCloseAfter)
{
	return fImpl->WriteToChild(inData, inSize, inCloseAfter);
}

int VProcessLauncher::WaitForData()
{
	return fImpl->WaitForData();
}

int VProcessLauncher::ReadFromChild(char* outBuffer, long inSize)
{
	return fImpl->ReadFromChild(outBuffer, inSize);
}

int VProcessLauncher::ReadErrorFromChild(char* outBuffer, long inSize)
{
	return fImpl->ReadErrorFromChild(outBuffer, inSize);
}

int VProcessLauncher::ReadFromChildAndShutdown(std::function<void(const void*, size_t)> inOnOutput,
											   std::function<void(const void*, size_t)> inOnError)
{
	return fImpl->ReadFromChildAndShutdown(inOnOutput, inOnError);
}

void VProcessLauncher::SetQuoteArgumentsIfNeeded(bool inQuote)
{
	fImpl->SetQuoteArgumentsIfNeeded(inQuote);
}

int VProcessLauncher::GetPid() const
{
	return fImpl->GetPid();
}

bool VProcessLauncher::KillProcess(int inPid)
{
	return XPosixProcessLauncher::KillProcess(inPid);
}

void VProcessLauncher::EnableProcessTreeKill()
{
	fImpl->EnableProcessTreeKill();
}

int VProcessLauncher::Start()
{
	return fImpl->Start();
}

int VProcessLauncher::Start(const EnvironmentMap& inEnvironment)
{
	return fImpl->Start(inEnvironment);
}

bool VProcessLauncher::IsRunning()
{
	return fImpl->IsRunning();
}

int VProcessLauncher::Shutdown(bool inKill, bool inKillTree)
{
	return fImpl->Shutdown(inKill, inKillTree);
}

int VProcessLauncher::GetExitStatus() const
{
	return fImpl->GetExitStatus();
}

void VProcessLauncher::ReadStd(VMemoryBuffer<>* outOutput, VMemoryBuffer<>* outError)
{
	fImpl->Pump(nullptr, 0, SinkInto(outOutput), SinkInto(outError));
}

int VProcessLauncher::ExecuteCommandLine(const VString& inCommandLine, int inOptions, VMemoryBuffer<>* inInput,
										 VMemoryBuffer<>* outOutput, VMemoryBuffer<>* outError,
										 EnvironmentMap* inEnvironment, VFilePath* inFolder, int* outExitStatus,
										 VProcessLauncher** outLauncher, std::vector<VString>* inExtraArguments,
										 bool inQuoteArgumentsIfNeeded, bool inKillProcessTree)
{
	VProcessLauncher* launcher = new VProcessLauncher;
	launcher->CreateArgumentsFromFullCommandLine(inCommandLine);
	if (inEnvironment != nullptr)
		launcher->SetEnvironmentVariables(*inEnvironment);
	if (inFolder != nullptr)
		launcher->SetDefaultDirectory(*inFolder);
	const bool wait = (inOptions & kDontWait) == 0;
	if (!wait)
		launcher->SetWaitClosingChildProcess(0);
	launcher->SetQuoteArgumentsIfNeeded(inQuoteArgumentsIfNeeded);
	if (inExtraArguments != nullptr) {
		for (const VString& argument : *inExtraArguments)
			launcher->fImpl->AddArgument(argument);
	}
	if (inKillProcessTree)
		launcher->EnableProcessTreeKill();

	const int result = launcher->Start();
	if (result != 0) {
		if (outLauncher != nullptr)
			*outLauncher = launcher;
		else
			delete launcher;
		return result;
	}

	// The input is written while both outputs are read: a child that answers
	// before it has read all its input cannot stall on a full pipe. Waiting,
	// the outputs are always drained (into the buffers given, or dropped), or
	// a talkative child would block forever on a pipe nobody reads.
	const void* input = inInput != nullptr ? inInput->GetDataPtr() : nullptr;
	const size_t inputSize = inInput != nullptr ? inInput->GetDataSize() : 0;
	static const char kNoInput = 0;
	if (wait)
		launcher->fImpl->Pump(input != nullptr ? input : &kNoInput, inputSize, SinkInto(outOutput),
							  SinkInto(outError));
	else if (input != nullptr && inputSize > 0)
		launcher->WriteToChild(input, static_cast<unsigned>(inputSize), false);
	launcher->CloseStandardInput();

	if (outLauncher != nullptr) {
		*outLauncher = launcher;
	} else {
		launcher->Shutdown(false, inKillProcessTree);
		if (outExitStatus != nullptr)
			*outExitStatus = launcher->GetExitStatus();
		delete launcher;
		return result;
	}
	if (outExitStatus != nullptr)
		*outExitStatus = launcher->GetExitStatus();
	return result;
}

} // namespace qirn
