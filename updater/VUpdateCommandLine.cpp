#include "VUpdateCommandLine.h"

#include "process/VCommandLineParser.h"

#include <vector>

namespace qirn {

void VUpdateCommandLine::FixFolderPathSpec(const VString& inText, FilePathStyle /*inStyle*/, VFilePath& outPath)
{
	if (inText.IsEmpty()) {
		outPath.Clear();
		return;
	}
	VString text(inText);
	if (text.GetUniChar(text.GetLength()) != u'/')
		text.AppendUniChar(u'/');
	outPath.FromFullPath(text, FPS_POSIX);
}

uint32 VUpdateCommandLine::Parse(VCommandLineParser& ioParser, const VString& inVersion)
{
	int pid = -1;
	bool silent = false;
	VString installPath;
	VString restartParams;
	VString callerLog;
	VString logDir;
	VString clientInfo;
	VString outdated;
	VString upToDate;
	std::vector<VString> positional;
	bool restartHeadless = false;
	bool version = false;

	ioParser.AddParagraph(VString("\nQX Updater\n\t\tUpdates an existing QX application residing at <path of app to "
								  "update> using \t\tnewer versions tored <path of update>\n\n"));
	ioParser.AddOption(VString("pid"), VString("Wait for the caller's pid"), pid);
	ioParser.AddOption(VString("silent"),
					   VString("ensure that no message is displayed in case of error. Errors are still logged though"),
					   silent);
	ioParser.AddOption(
		VString("install-path"),
		VString("indicates where the updated app should be installed instead of <path of app to update>."),
		installPath);
	ioParser.AddOption(VString("restart-params"),
					   VString("indicates the full path to the QXLink \t\tfile that will be passed back to the "
							   "restarted application. This does not \t\tapply if the application is started as a "
							   "service"),
					   restartParams);
	ioParser.AddOption(VString("caller-log"), VString("Restart params"), callerLog);
	ioParser.AddOption(VString("log-dir"), VString("specifies a folder for the updater where log file should be written"),
					   logDir);
	ioParser.AddOption(VString("client-info"),
					   VString("path of the client customization file. Using this \t\toption IMPLIES that application "
							   "is a QX-based client, which incurs special processing."),
					   clientInfo);
	ioParser.AddOption(VString("outdated-app"), VString("Outdated application bundle path"), outdated);
	ioParser.AddOption(VString("uptodate-app"), VString("Up-to-date application bundle path"), upToDate);
	ioParser.SetPositionalOption(positional);
	ioParser.AddOption(VString("restart-headless"), VString("Restart the application in headless mode."),
					   restartHeadless);
	ioParser.AddParagraph(VString("\nHelp:\n"));
	ioParser.AddOption(VString("version"), VString("Print the version and exits"), version);

	const uint32 parsed = ioParser.Parse();
	// The integer and flag options are taken whatever follows.
	fCallerPid = pid;
	fSilent = silent;
	fRestartHeadless = restartHeadless;
	if (parsed != 0)
		return parsed;

	if (version) {
		ioParser.Print(inVersion);
		return 2;
	}

	uint32 result = 0;
	bool checkEmpty = true;
	if (positional.size() == 2) {
		if (!outdated.IsEmpty()) {
			if (!outdated.EqualToString(positional[0], false))
				result = ioParser.PrintArgumentError(VString("mismatched value for option --outdated-app\n"));
		} else {
			outdated = positional[0];
		}
		if (!upToDate.IsEmpty()) {
			if (!upToDate.EqualToString(positional[1], false))
				return ioParser.PrintArgumentError(VString("mismatched value for option --uptodate-app\n"));
		} else {
			upToDate = positional[1];
		}
		checkEmpty = result == 0;
	} else if (positional.size() == 1) {
		return ioParser.PrintArgumentError(VString("not enough arguments from the command line (required <dest> <src>)\n"));
	} else if (positional.size() > 2) {
		return ioParser.PrintArgumentError(VString("two many arguments from the command line"));
	}
	if (checkEmpty) {
		if (upToDate.IsEmpty())
			result = ioParser.PrintArgumentError(VString("mismatched value for option --uptodate-app\n"));
		if (outdated.IsEmpty())
			result = ioParser.PrintArgumentError(VString("mismatched value for option --outdated-app\n"));
	}
	if (result != 0)
		return result;

	FixFolderPathSpec(outdated, FPS_POSIX, fOutdatedApp);
	FixFolderPathSpec(upToDate, FPS_POSIX, fUpToDateApp);
	// "install-path" is accepted and not used: the update always goes where
	// the outdated bundle is.
	fInstallPath = fOutdatedApp;
	if (restartParams.IsEmpty())
		fRestartParams.Clear();
	else
		fRestartParams.FromFullPath(restartParams, FPS_POSIX);
	fCallerLog = !callerLog.IsEmpty();
	FixFolderPathSpec(logDir, FPS_POSIX, fLogFolder);
	if (!clientInfo.IsEmpty())
		fClientInfoFile.FromFullPath(clientInfo, FPS_POSIX);
	return 0;
}

} // namespace qirn
