#pragma once
// The QX updater: the application object of a command-line process that
// replaces an application bundle by a newer one, with roll-back, relaunches
// it and disposes of the old one.

#include "VUpdateCommandLine.h"

#include "core/VRefPtr.h"
#include "process/VProcessIPC.h"

#include <memory>

namespace qirn {

class VErrorContext;
class VFolder;
class VLocalizationManager;
class VLog4jMsgFileLogger;

class VUpdateEngine : public VProcessIPC {
public:
	VUpdateEngine();
	~VUpdateEngine() override;

	// The process's start-up, then the localization of the updater's and the
	// kernel's messages.
	bool Init(uint32 inFlags) override;

	const VUpdateCommandLine& GetCommandLine() const { return fCommandLine; }

	// The suffix of the name the outdated bundle takes while it is replaced.
	static constexpr const char* kOldSuffix = "old";
	// A free name beside the source: its name without extension, then
	// "_<suffix><NNNN>" (or "<NNNN>" without suffix), then its extension,
	// for the first NNNN from 0001 to 9999 naming no entry of any kind. False
	// when all are taken (outPath then holds the last one).
	static bool _ComputeTempFolderPath(const VFilePath& inSource, VFilePath& outPath, const VString* inSuffix);

protected:
	// The whole update, on the main task.
	void DoRun() override;
	void DoQuit() override;
	uint32 DoParseCommandLine(VCommandLineParser& ioParser) override;

private:
	void _InitLocalizationManager();
	bool _InitLog();
	void _DeInitLog();
	void _ApplyUpdate();
	bool _WaitForPidToQuit();
	[[nodiscard]] VFolder* _SwapApplications(VFolder& inOutdated, VFolder& inUpToDate, VFolder& inInstall);
	void _RollBack(VRefPtr<VFolder>& ioOld, const VFolder& inOutdated, const VFolder& inInstall);
	void _DisposeOfOldApplication(const VFolder& inOld);
	bool _LaunchApplication(const VFilePath& inPath);
	void _LogProgressToCaller(const char* inText, int inNumber);
	void _ReportFailure(const VErrorContext& inContext);

	VUpdateCommandLine fCommandLine;
	std::unique_ptr<VLog4jMsgFileLogger> fFileLogger;
	VRefPtr<VLocalizationManager> fLocalizationManager;
};

} // namespace qirn
