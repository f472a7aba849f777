#include "VUpdateEngine.h"

#include "ClientCustomization.h"
#include "FaultPoints.h"
#include "UpdaterErrors.h"

#include "bags_xml/VValueBag.h"
#include "core/LocalizeString.h"
#include "core/VMemoryBuffer.h"
#include "core/VTime.h"
#include "files/VFolder.h"
#include "files/platform/XLinuxPathBytes.h"
#include "host/HostOpenFile.h"
#include "process/VLog4jMsgFileLogger.h"
#include "process/VProcessLauncher.h"
#include "runtime/VError.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"
#include "runtime/VSystem.h"
#include "runtime/VTask.h"

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace qirn {

namespace {

// How long the caller may take to quit, and the pauses of the wait.
constexpr uint32 kMaxWaitMilliseconds = 60000;
constexpr int32 kPollMilliseconds = 500;
constexpr int32 kSettleMilliseconds = 1000;

void GetNowTexts(VString& outDate, VString& outTime)
{
	VTime now;
	VTime::Now(now);
	now.FormatByOS(outDate, outTime, false);
}

void PushError(VError inError)
{
	_PushRetainedError(new VErrorBase(inError));
}

// The caller reads our standard output until its end: once it has had its
// line, the three standard descriptors go to /dev/null, so that it sees the
// end and nothing of ours reaches a stream it may have closed.
void DetachStandardStreams()
{
	std::fflush(nullptr);
	const int null = ::open("/dev/null", O_RDWR | O_CLOEXEC);
	if (null < 0)
		return;
	for (int descriptor = 0; descriptor <= 2; ++descriptor)
		::dup2(null, descriptor);
	if (null > 2)
		::close(null);
}

} // namespace

void VUpdateEngine::DoRun()
{
	StErrorContextInstaller run(true, true);
	const VErrorContext& errors = *run.GetContext();
	bool silent = fCommandLine.fSilent;
	_InitLog();
	// A log that cannot be opened is said even to a silent run: nothing else
	// would tell.
	if (!errors.IsEmpty())
		silent = false;

	VString date;
	VString time;
	GetNowTexts(date, time);
	LogInfo("Updater starting - %S - %S", &date, &time);
	if (errors.IsEmpty())
		_ApplyUpdate();
	DumpErrorStack(&errors, true);

	GetNowTexts(date, time);
	if (!errors.IsEmpty()) {
		LogInfo("Update failed - %S - %S", &date, &time);
		if (!silent)
			_ReportFailure(errors);
	} else {
		LogInfo("Update successful - %S - %S", &date, &time);
	}
}

void VUpdateEngine::_ReportFailure(const VErrorContext& inContext)
{
	VString message;
	if (const VErrorBase* last = inContext.GetLast(); last != nullptr)
		GetErrorMessage(*last, message);

	// Only a log that was opened is worth pointing at.
	VString logPath;
	if (fFileLogger != nullptr && fFileLogger->IsStarted()) {
		VFilePath folder;
		fFileLogger->GetLogFolderPath(folder);
		VString name;
		fFileLogger->GetLogName(name);
		folder.GetPosixPath(logPath);
		logPath.AppendString(name);
		logPath.AppendString(VString("_1.txt"));
		VString sentence = LocalizeString(VString("MoreInformationsAvailableInLogFile"),
										  "More information is available in the log file '{LogFilePath}'");
		if (!sentence.IsEmpty()) {
			VRefPtr<VValueBag> values = VRefPtr<VValueBag>::Adopt(new VValueBag());
			values->SetString(StPackedDictionaryKey("LogFilePath"), logPath);
			sentence.Format(values.Get(), false);
			message.AppendPrintf("\r\n%S", &sentence);
		}
	}

	ENotificationResponse response = ENR_NONE;
	VSystem::DisplayNotification(VString(), message, 2, &response);
	if (response == ENR_YES && !logPath.IsEmpty()) {
		std::string bytes;
		if (XLinuxPathBytes::ToBytes(logPath, bytes))
			host::OpenWithDefaultApplication(bytes.c_str());
	}
}

bool VUpdateEngine::_InitLog()
{
	const VFilePath& folderPath = fCommandLine.fLogFolder;
	if (!folderPath.IsValid() || !folderPath.IsFolder())
		return false;
	VRefPtr<VFolder> folder = VRefPtr<VFolder>::Adopt(new VFolder(folderPath));
	if (!folder->Exists() && folder->CreateRecursive(false) != VE_OK)
		return false;

	VTime now;
	VTime::Now(now);
	sWORD year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
	now.GetLocalTime(year, month, day, hour, minute, second, millisecond);
	VString name;
	name.Printf("%04d-%02d-%02d_%02d-%02d-%02d_log", year, month, day, hour, minute, second);

	fFileLogger = std::make_unique<VLog4jMsgFileLogger>(folder.Get(), name);
	fFileLogger->Start();
	if (!fFileLogger->IsStarted()) {
		PushError(VE_UPQX_LOG_NOT_STARTED);
		return false;
	}
	return true;
}

void VUpdateEngine::_LogProgressToCaller(const char* inText, int inNumber)
{
	if (!fCommandLine.fCallerLog)
		return;
	std::printf("%s,%d\n", inText, inNumber);
	std::fflush(stdout);
}

void VUpdateEngine::_ApplyUpdate()
{
	StErrorContextInstaller update(true, true);
	const VErrorContext& errors = *update.GetContext();

	VRefPtr<VFolder> outdated = VRefPtr<VFolder>::Adopt(new VFolder(fCommandLine.fOutdatedApp));
	VRefPtr<VFolder> upToDate = VRefPtr<VFolder>::Adopt(new VFolder(fCommandLine.fUpToDateApp));
	if (!outdated->Exists())
		ThrowErrorWithPath(VE_UPQX_OUTDATED_APP_MISSING, fCommandLine.fOutdatedApp);
	if (!upToDate->Exists())
		ThrowErrorWithPath(VE_UPQX_UPTODATE_APP_MISSING, fCommandLine.fUpToDateApp);
	if (!errors.IsEmpty())
		return;

	const VFilePath& clientInfo = fCommandLine.fClientInfoFile;
	if (clientInfo.IsValid() && clientInfo.IsFile() &&
		!FinishClientCustomization(clientInfo, fCommandLine.fUpToDateApp))
		return;

	if (fCommandLine.fCallerLog) {
		_LogProgressToCaller("waitquit", -1);
		DetachStandardStreams();
		fCommandLine.fCallerLog = false;
	}

	LogInfo("Waiting for external process to quit");
	_WaitForPidToQuit();
	if (!errors.IsEmpty()) {
		LogError("External process wait failed");
		PushError(VE_UPQX_PROCESS_STILL_RUNNING);
		return;
	}

	LogInfo("Proceeding with up-to-date application install...");
	VRefPtr<VFolder> outdatedApp = VRefPtr<VFolder>::Adopt(new VFolder(fCommandLine.fOutdatedApp));
	VRefPtr<VFolder> upToDateApp = VRefPtr<VFolder>::Adopt(new VFolder(fCommandLine.fUpToDateApp));
	VRefPtr<VFolder> install = VRefPtr<VFolder>::Adopt(new VFolder(fCommandLine.fInstallPath));
	VRefPtr<VFolder> old = VRefPtr<VFolder>::Adopt(_SwapApplications(*outdatedApp, *upToDateApp, *install));
	if (!errors.IsEmpty()) {
		LogError("Up-to-date application install failed");
		PushError(VE_UPQX_INSTALL_FAILED);
		return;
	}

	LogInfo("Proceeding with up-to-date application restart...");
	_LaunchApplication(fCommandLine.fInstallPath);
	if (!errors.IsEmpty()) {
		// The old bundle stays aside under its temporary name.
		LogError("Up-to-date application restart failed");
		return;
	}
	LogInfo("Up-to-date application restarted");
	if (old != nullptr)
		_DisposeOfOldApplication(*old);
}

bool VUpdateEngine::_WaitForPidToQuit()
{
	const int32 pid = fCommandLine.fCallerPid;
	if (pid < 0) {
		LogInfo("Skipping process wait (negative pid)");
		return true;
	}
	LogInfo("Waiting for process %d to quit", pid);
	const uint32 start = VSystem::GetCurrentTime();
	uint32 elapsed = 0;
	bool present = true;
	while (present && elapsed < kMaxWaitMilliseconds) {
		std::vector<pid_t> ids;
		VSystem::GetProcessList(ids);
		// A list that could not be read proves nothing: the caller counts as
		// still there.
		present = ids.empty() || std::find(ids.begin(), ids.end(), static_cast<pid_t>(pid)) != ids.end();
		SleepFully(kPollMilliseconds);
		elapsed = VSystem::GetCurrentTime() - start;
	}
	if (present) {
		LogError("Process %d still exists after maximum wait time. Giving up.", pid);
		PushError(VE_UPQX_PROCESS_STILL_RUNNING);
		return false;
	}
	SleepFully(kSettleMilliseconds);
	LogInfo("Process %d has quit. Proceeding.", pid);
	return true;
}

bool VUpdateEngine::_LaunchApplication(const VFilePath& inPath)
{
	// The logged command is the one a shell would run; the launcher gets the
	// arguments whole, so that no quote or backslash in a path changes them.
	VString application;
	inPath.GetPosixPath(application);
	VString command("open -a \"");
	command.AppendString(application);
	command.AppendUniChar(u'"');
	std::vector<VString> arguments{VString("-a"), application};
	if (!fCommandLine.fRestartParams.IsEmpty()) {
		VString parameters;
		fCommandLine.fRestartParams.GetPosixPath(parameters);
		command.AppendString(VString(" --args \""));
		command.AppendString(parameters);
		command.AppendUniChar(u'"');
		arguments.push_back(VString("--args"));
		arguments.push_back(parameters);
		if (fCommandLine.fRestartHeadless) {
			command.AppendString(VString(" --headless"));
			arguments.push_back(VString("--headless"));
		}
	} else if (fCommandLine.fRestartHeadless) {
		command.AppendString(VString(" --args --headless"));
		arguments.push_back(VString("--args"));
		arguments.push_back(VString("--headless"));
	}
	LogInfo("Restarting installed application (%S)...", &command);

	QX_UPDATER_FAULT_POINT("before-relaunch");
	VMemoryBuffer<> output;
	VMemoryBuffer<> error;
	int exitStatus = 0;
	const int launchError = VProcessLauncher::ExecuteCommandLine(VString("open"), 0, nullptr, &output, &error, nullptr,
																 nullptr, &exitStatus, nullptr, &arguments, true, false);
	if (launchError != 0) {
		LogError("Failed to restart updated application (returned error %d - exit status %d)", launchError, exitStatus);
		PushError(VE_UPQX_RESTART_FAILED);
		return false;
	}
	// A non-zero status of the command alone is no failure.
	LogInfo("Updated application restarted, returned %d", exitStatus);
	return true;
}

} // namespace qirn
