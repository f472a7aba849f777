#pragma once

#include "core/VObject.h"
#include "process/ILogger.h"
#include "runtime/VCriticalSection.h"

#include <array>
#include <atomic>
#include <vector>

namespace qirn {

class VTask;

// The process logger. Any task queues entries in a ring of the 1000 newest;
// the "Logger" task hands them every 100 ms, in one batch, to each listener,
// the most recently added first. Logging costs one retain and one store
// under a short lock: formatting and output happen on the "Logger" task.
class VLogger : public VObject, public ILogger {
public:
	static constexpr int32 kRingSize = 1000;
	static constexpr int32 kDeliveryPeriodMilliseconds = 100;
	static constexpr int32 kStopMilliseconds = 3000;
	static constexpr size_t kTaskStackSize = 64000;

	VLogger();
	// Stops the "Logger" task and waits for its end before letting go of the
	// listeners and the queued entries, so that no delivery outlives them.
	~VLogger() override;

	VLogger(const VLogger&) = delete;
	VLogger& operator=(const VLogger&) = delete;

	void Start() override;
	// Ends the "Logger" task, waiting at most 3 s. The logger stays started:
	// entries are still queued, and only Flush delivers them.
	void Stop() override;
	bool IsStarted() const override;
	bool ShouldLog(EMessageLevel inLevel) const override;
	void LogBag(const VValueBag* inBag) override;
	void LogMessage(EMessageLevel inLevel, const VString& inMessage, const VString& inSource) override;
	void Flush() override;

	bool WithDump(bool inSet) override { return WithTag(EML_Dump, inSet); }
	bool WithTrace(bool inSet) override { return WithTag(EML_Trace, inSet); }
	bool WithAssert(bool inSet) override { return WithTag(EML_Assert, inSet); }
	bool WithDebug(bool inSet) override { return WithTag(EML_Debug, inSet); }
	bool WithInfo(bool inSet) override { return WithTag(EML_Information, inSet); }
	bool WithWarning(bool inSet) override { return WithTag(EML_Warning, inSet); }
	bool WithError(bool inSet) override { return WithTag(EML_Error, inSet); }
	bool WithFatal(bool inSet) override { return WithTag(EML_Fatal, inSet); }
	// Takes or leaves level (inTag & 31); answers whether it was taken.
	bool WithTag(unsigned inTag, bool inSet);

	// The first listener starts the "Logger" task.
	bool AddLogListener(ILogListener* inListener) override;
	// The listener first receives what is queued.
	bool RemoveLogListener(ILogListener* inListener) override;

	// Takes the queued entries out, oldest first; the caller releases each.
	std::vector<const VValueBag*> Read();
	// Queues an entry whatever its level.
	void AddLogBag(const VValueBag* inBag);

	// The body of the "Logger" task.
	void LogReaderTaskProc();

private:
	void _Store(const VValueBag* inBag);

	std::array<const VValueBag*, kRingSize> fRing{};
	int32 fWriteIndex = 0;
	bool fWrapped = false;
	VCriticalSection fQueueLock;
	VCriticalSection fListenerLock;
	std::atomic<uint32> fLevelMask{kDefaultMessageLevelMask};
	std::atomic<bool> fStarted{false};
	std::vector<ILogListener*> fListeners; // the most recently added first
	VTask* fTask = nullptr;
	// Set when Stop let go of the ended task: none is started again.
	bool fTaskEnded = false;
};

} // namespace qirn
