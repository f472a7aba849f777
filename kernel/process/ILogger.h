#pragma once

#include "core/IRefCountable.h"
#include "core/VKernelTypes.h"
#include "process/EMessageLevel.h"
#include "process/ILogListener.h"
#include "process/ILoggerBagKeys.h"

namespace qirn {

class VErrorBase;
class VString;
class VValueBag;

// The process logger as its users see it: entries go in from any task and
// reach the listeners in batches.
class ILogger : public IRefCountable {
public:
	virtual void Start() = 0;
	virtual void Stop() = 0;
	virtual bool IsStarted() const = 0;
	// Whether entries of the level are taken now: never before Start.
	virtual bool ShouldLog(EMessageLevel inLevel) const = 0;
	// Queues an entry (not null) unless its level is not taken.
	virtual void LogBag(const VValueBag* inBag) = 0;
	// An entry of the message; an empty source stands for the process's.
	virtual void LogMessage(EMessageLevel inLevel, const VString& inMessage, const VString& inSource) = 0;
	// Hands what is queued to the listeners now.
	virtual void Flush() = 0;
	// Each takes or leaves its level and answers whether it was taken before.
	virtual bool WithTrace(bool inSet) = 0;
	virtual bool WithDump(bool inSet) = 0;
	virtual bool WithDebug(bool inSet) = 0;
	virtual bool WithWarning(bool inSet) = 0;
	virtual bool WithError(bool inSet) = 0;
	virtual bool WithFatal(bool inSet) = 0;
	virtual bool WithAssert(bool inSet) = 0;
	virtual bool WithInfo(bool inSet) = 0;
	// False for null, or for a listener already there (added) or not there
	// (removed).
	virtual bool AddLogListener(ILogListener* inListener) = 0;
	virtual bool RemoveLogListener(ILogListener* inListener) = 0;

	// The process-wide number of the next log line, from 1.
	static uint64 GetSequenceNumber();

	// A thrown error, as an entry of level ERROR when that level is taken:
	// its bag form, its description, its component and its stack crawl.
	void LogErrorIfNecessary(VErrorBase* inError);
	// A failed assertion, as an entry of level ASSERT when that level is
	// taken: the file's last name, the line and the caller's stack crawl.
	void LogAssertIfNecessary(const char* inMessage, const char* inFile, int inLine);
};

} // namespace qirn
