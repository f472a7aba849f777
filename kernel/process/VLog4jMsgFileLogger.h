#pragma once

#include "core/VKernelTypes.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "core/VTime.h"
#include "process/EMessageLevel.h"
#include "process/ILogListener.h"
#include "runtime/VCriticalSection.h"

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace qirn {

class VFilePath;
class VFolder;
class VSplitableLogFile;
class VValueBag;

// Writes the process logger's entries of level INFO and above as one text
// line each into numbered files of a folder (see VSplitableLogFile):
//
//   <sequence> <local time> [<source>[.<sign>]] <LEVEL> - [<code>] <message> (<name>=<value>, ...)
//
// While started, its listener is attached to the process logger.
//
// Lock order: the process logger's listener lock comes before this logger's
// lock (a delivery holds the first while it writes under the second). So
// Start and Stop never call into the process logger while holding this
// logger's lock; they keep each other out with a lock of their own, which
// deliveries never take.
class VLog4jMsgFileLogger : public VObject {
public:
	VLog4jMsgFileLogger(VFolder* inFolder, const VString& inName);
	// Stops first.
	~VLog4jMsgFileLogger() override;

	VLog4jMsgFileLogger(const VLog4jMsgFileLogger&) = delete;
	VLog4jMsgFileLogger& operator=(const VLog4jMsgFileLogger&) = delete;

	// Continues in the highest file of the unbroken run from number 1, or
	// starts file 1.
	virtual void Start();
	// Every queued entry is written first. Stopping a logger that is not
	// started does nothing.
	virtual void Stop();
	virtual bool IsStarted() const;

	// Opens the file of the number for appending and attaches the listener.
	// A folder that cannot be made or a file that cannot be opened leaves
	// the logger not started, and nothing is reported: callers test
	// IsStarted.
	void Start(int32 inNumber);

	// While paused, lines are dropped, not delayed.
	void Pause();
	void Resume();
	bool IsPaused() const;
	void Flush();
	bool ShouldLog(EMessageLevel inLevel) const;

	void GetLogFolderPath(VFilePath& outPath) const;
	void GetLogName(VString& outName) const;
	// Only while started; 0 when not.
	void SetLogMaxNumberToKeep(int32 inMax);
	int32 GetLogMaxNumberToKeep() const;

	static void BuildLogFileName(const VString& inName, int32 inNumber, VString& outName);
	// The parts of an entry's line: its source (with the component's four
	// characters), its level, and its message, prefixed with the error code
	// and followed by the other attributes.
	static void GetLogInfosFromBag(const VValueBag* inBag, VString& outSource, EMessageLevel& outLevel,
								   VString& outMessage);
	static const char* GetMessageLevelName(EMessageLevel inLevel);

	// The listener attached to the process logger. A batch is written under
	// the file logger's lock, with one write at its end.
	class VLog4jLogListener : public VObject, public ILogListener {
	public:
		explicit VLog4jLogListener(VLog4jMsgFileLogger* inLogger) : fLogger(inLogger) {}
		void Put(const std::vector<const VValueBag*>& inBags) override;
		void Log(const char* inSource, EMessageLevel inLevel, const char* inMessage);
		void Log(const VString& inSource, EMessageLevel inLevel, const VString& inMessage);

	private:
		VLog4jMsgFileLogger* fLogger;
	};

	VLog4jLogListener* GetListener() const { return fListener; }

private:
	friend class VLog4jLogListener;

	bool _ShouldWrite(EMessageLevel inLevel) const;
	// Under fLock.
	void _WriteLine(std::string_view inSource, EMessageLevel inLevel, std::string_view inMessage);
	void _AppendTime(std::string& ioLine);

	mutable VCriticalSection fLock;
	VCriticalSection fStartStopLock;
	VTime fStartTime;
	VRefPtr<VFolder> fFolder;
	VString fName;
	std::unique_ptr<VSplitableLogFile> fLogFile;
	bool fPaused = false;
	uint32 fLevelMask = kDefaultMessageLevelMask;
	VLog4jLogListener* fListener;

	// Under fLock: the line being made, and the local time's text up to the
	// seconds for the second last written.
	std::string fLine;
	std::string fMessage;
	std::string fSource;
	std::string fAttributes;
	sLONG8 fTimeSecond = -1;
	char fTimePrefix[24] = {};
};

} // namespace qirn
