#pragma once
// What the updater's command line asks for: its options, the two bundles
// and the rule that joins the positional paths with the path options.

#include "core/VString.h"
#include "files/PathStyles.h"
#include "files/VFilePath.h"

namespace qirn {

class VCommandLineParser;

class VUpdateCommandLine {
public:
	// Registers the options, parses, and stores the results: 0 go on, 1 an
	// error (its messages printed), 2 stop without error (help or version).
	// inVersion is what "--version" prints.
	uint32 Parse(VCommandLineParser& ioParser, const VString& inVersion);

	// An empty text clears the path; any other becomes a folder path (a '/'
	// appended when missing) read as a POSIX full path.
	static void FixFolderPathSpec(const VString& inText, FilePathStyle inStyle, VFilePath& outPath);

	VFilePath fLogFolder;		 // invalid when not given
	VFilePath fClientInfoFile;	 // invalid when not given
	VFilePath fOutdatedApp;		 // the bundle to replace
	VFilePath fUpToDateApp;		 // the bundle to install
	VFilePath fInstallPath;		 // where it goes: the outdated bundle's path
	int32 fCallerPid = -1;		 // -1 when not given
	bool fCallerLog = false;	 // the caller reads our progress on standard output
	bool fSilent = false;
	VFilePath fRestartParams;	 // empty when not given
	bool fRestartHeadless = false;
};

} // namespace qirn
