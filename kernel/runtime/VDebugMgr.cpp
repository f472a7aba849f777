#include "runtime/VDebugMgr.h"

#include "core/StStringConverter.h"
#include "core/VArrayString.h"
#include "core/VString.h"
#include "bags_xml/VValueBag.h"
#include "process/VLogger.h"
#include "process/VProcess.h"
#include "runtime/IDebugMessageHandler.h"
#include "runtime/VDebugContext.h"
#include "runtime/VErrorContext.h"
#include "runtime/VErrorBase.h"
#include "runtime/VTask.h"

#include <csignal>
#include <cstdlib>

namespace qirn {

VDebugMgr VDebugMgr::sInstance;

namespace {

ILogger* ProcessLogger()
{
	VProcess* process = VProcess::sInstance.load(std::memory_order_acquire);
	return process != nullptr ? process->GetLogger() : nullptr;
}

// Marks the task's report for its duration, so that what the report itself
// raises is not reported. What it raises (a text that found no memory, say)
// is dropped too: a report must not add to the errors the task is handling.
class StDebugReport {
public:
	explicit StDebugReport(VDebugContext& ioContext) : fContext(ioContext), fSilence(false, true)
	{
		fContext.fInDebugReport = true;
	}
	~StDebugReport() { fContext.fInDebugReport = false; }
	StDebugReport(const StDebugReport&) = delete;
	StDebugReport& operator=(const StDebugReport&) = delete;

private:
	VDebugContext& fContext;
	StErrorContextInstaller fSilence;
};

} // namespace

VDebugMgr::VDebugMgr() = default;

VDebugMgr::~VDebugMgr()
{
	if (fMessageHandler != nullptr)
		fMessageHandler->Release();
}

bool VDebugMgr::Init()
{
	fMessagesEnabled.store(true, std::memory_order_relaxed);
	return true;
}

void VDebugMgr::DeInit()
{
	SetDebugMessageHandler(nullptr);
	fMessagesEnabled.store(false, std::memory_order_relaxed);
	fAssertFileEnabled.store(false, std::memory_order_relaxed);
	std::lock_guard<std::mutex> lock(fFileLock);
	fAssertFilePath.clear();
}

void VDebugMgr::SetDebugMessageHandler(IDebugMessageHandler* inHandler)
{
	IDebugMessageHandler* old = nullptr;
	{
		std::lock_guard<std::mutex> lock(fLock);
		if (inHandler == fMessageHandler)
			return;
		old = fMessageHandler;
		fMessageHandler = RetainRefCountable(inHandler);
	}
	if (old != nullptr)
		old->Release();
}

IDebugMessageHandler* VDebugMgr::_RetainHandler() const
{
	std::lock_guard<std::mutex> lock(fLock);
	return RetainRefCountable(fMessageHandler);
}

bool VDebugMgr::SetBreakOnAssert(bool inSet)
{
	return fBreakOnAssert.exchange(inSet, std::memory_order_relaxed);
}

bool VDebugMgr::SetBreakOnDebugMsg(bool inSet)
{
	return fBreakOnDebugMsg.exchange(inSet, std::memory_order_relaxed);
}

bool VDebugMgr::SetMessagesEnabled(bool inSet)
{
	return fMessagesEnabled.exchange(inSet, std::memory_order_relaxed);
}

bool VDebugMgr::SetLogInDebugger(bool inSet)
{
	return fLogInDebugger.exchange(inSet, std::memory_order_relaxed);
}

bool VDebugMgr::SetAssertFileEnabled(bool inSet)
{
	return fAssertFileEnabled.exchange(inSet, std::memory_order_relaxed);
}

void VDebugMgr::StartLowLevelMode()
{
	if (VTask* task = VTask::GetCurrent(); task != nullptr)
		++task->GetDebugContext().fLowLevelModeCount;
}

void VDebugMgr::StopLowLevelMode()
{
	// An unpaired stop leaves the count at 0 rather than wrapping it round to
	// a low-level mode that never ends.
	if (VTask* task = VTask::GetCurrent(); task != nullptr && task->GetDebugContext().fLowLevelModeCount > 0)
		--task->GetDebugContext().fLowLevelModeCount;
}

bool VDebugMgr::_GetDebuggerType(VDebuggerType* outType) const
{
	if (outType != nullptr)
		*outType = 2;
	return true;
}

void VDebugMgr::Break()
{
	VTask* task = VTask::GetCurrent();
	if (task != nullptr && task->GetDebugContext().fNoBreak == 0)
		::raise(SIGTRAP);
}

void VDebugMgr::Abort()
{
	std::exit(0);
}

void VDebugMgr::fprintf_console(const char* inFormat, ...)
{
	va_list args;
	va_start(args, inFormat);
	vfprintf_console(inFormat, args);
	va_end(args);
}

void VDebugMgr::vfprintf_console(const char* inFormat, va_list inArgs)
{
	std::vfprintf(stderr, inFormat, inArgs);
}

void VDebugMgr::_WriteToStandardError(const VString& inText)
{
	StStringConverter<char> converter(inText, VTC_UTF_8, eCRM_NONE);
	if (converter.IsOK())
		std::fwrite(converter.GetCPointer(), 1, converter.GetLength(), stderr);
}

VDebugMgr::EFollowUp VDebugMgr::_Follow(int32 inAnswer, bool* outIgnoreThis, bool* outIgnoreAll) const
{
	switch (inAnswer) {
		case kDebugBreak:
			if (!IsDebuggerAvailable())
				Abort();
			return EFollowUp::kBreak;
		case kDebugQuit:
			Abort();
		case kDebugIgnoreThis:
			*outIgnoreThis = true;
			return EFollowUp::kNone;
		case kDebugIgnoreAll:
			*outIgnoreAll = true;
			return EFollowUp::kNone;
		default:
			return EFollowUp::kNone;
	}
}

void VDebugMgr::ErrorThrown(VErrorBase* inError)
{
	if (inError == nullptr || !GetMessagesEnabled())
		return;
	VTask* task = VTask::GetCurrent();
	if (task == nullptr)
		return;
	VDebugContext& context = task->GetDebugContext();
	if (context.fLowLevelModeCount != 0 || context.fInDebugReport)
		return;

	EFollowUp followUp = EFollowUp::kNone;
	{
		StDebugReport report(context);
		const VError code = inError->GetError();
		{
			std::lock_guard<std::mutex> lock(fLock);
			if (fIgnoreAllErrors || fIgnoredErrors.count(code) != 0)
				return;
		}

		// Errors are thrown far more often than anyone writes them out: the
		// text is made only for the file or the console.
		const bool toFile = GetAssertFileEnabled();
		const bool toConsole = GetLogInDebugger() && IsDebuggerAvailable();
		VString text;
		if (toFile || toConsole) {
			VString dump;
			inError->DumpToString(dump);
			text.AppendCString("Error: ");
			text.AppendString(dump);
			text.AppendUniChar(u'\n');
		}

		if (toFile)
			WriteToAssertFile(text, true, true);
		if (ILogger* logger = ProcessLogger(); logger != nullptr)
			logger->LogErrorIfNecessary(inError);
		if (toConsole)
			_WriteToStandardError(text);

		if (IDebugMessageHandler* handler = _RetainHandler(); handler != nullptr) {
			const int32 answer = handler->ErrorThrown(context, inError);
			handler->Release();
			bool ignoreThis = false, ignoreAll = false;
			followUp = _Follow(answer, &ignoreThis, &ignoreAll);
			std::lock_guard<std::mutex> lock(fLock);
			if (ignoreThis)
				fIgnoredErrors.insert(code);
			if (ignoreAll)
				fIgnoreAllErrors = true;
		}
	}
	if (followUp == EFollowUp::kBreak)
		Break();
}

bool VDebugMgr::_IsAssertIgnored(const VString& inKey) const
{
	std::lock_guard<std::mutex> lock(fLock);
	if (fIgnoreAllAsserts)
		return true;
	if (fIgnoredAsserts == nullptr)
		return false;
	// File names are case-sensitive: keys match code unit for code unit.
	VString key;
	for (sLONG position = 1; position <= fIgnoredAsserts->GetCount(); ++position) {
		fIgnoredAsserts->GetString(key, position);
		if (key.EqualToStringRaw(inKey))
			return true;
	}
	return false;
}

void VDebugMgr::_IgnoreAssert(const VString& inKey)
{
	std::lock_guard<std::mutex> lock(fLock);
	if (fIgnoredAsserts == nullptr)
		fIgnoredAsserts = std::make_unique<VArrayString>();
	fIgnoredAsserts->AppendString(inKey);
}

bool VDebugMgr::AssertFailed(const char* inCondition, const char* inFile, int inLine)
{
	const bool breakOnAssert = GetBreakOnAssert();
	if (!GetMessagesEnabled())
		return breakOnAssert;
	if (inCondition == nullptr)
		inCondition = "";
	if (inFile == nullptr)
		inFile = "";
	if (GetLogInDebugger() && IsDebuggerAvailable())
		fprintf_console("Assert Failed: %s, %s, %d\n", inCondition, inFile, inLine);

	VTask* task = VTask::GetCurrent();
	if (task == nullptr)
		return breakOnAssert;
	VDebugContext& context = task->GetDebugContext();
	if (context.fLowLevelModeCount != 0 || context.fInDebugReport)
		return breakOnAssert;

	StDebugReport report(context);
	VString key;
	key.Printf("%s%d", inFile, inLine);
	if (_IsAssertIgnored(key))
		return false;

	if (GetAssertFileEnabled()) {
		VString text;
		text.Printf("Assert Failed: %s, %s, %d\n", inCondition, inFile, inLine);
		WriteToAssertFile(text, true, true);
	}
	if (ILogger* logger = ProcessLogger(); logger != nullptr)
		logger->LogAssertIfNecessary(inCondition, inFile, inLine);

	IDebugMessageHandler* handler = _RetainHandler();
	if (handler == nullptr)
		return breakOnAssert;
	const int32 answer = handler->AssertFailed(context, inCondition, inFile, inLine);
	handler->Release();
	bool ignoreThis = false, ignoreAll = false;
	const EFollowUp followUp = _Follow(answer, &ignoreThis, &ignoreAll);
	if (ignoreThis)
		_IgnoreAssert(key);
	if (ignoreAll) {
		std::lock_guard<std::mutex> lock(fLock);
		fIgnoreAllAsserts = true;
	}
	return followUp == EFollowUp::kBreak;
}

void VDebugMgr::DebugMsg(const VString& inText)
{
	VTask* task = VTask::GetCurrent();
	if (task == nullptr)
		return;
	VDebugContext& context = task->GetDebugContext();
	if (GetMessagesEnabled() && !context.fInDebugReport) {
		StDebugReport report(context);
		if (context.fLowLevelModeCount == 0) {
			if (GetAssertFileEnabled())
				WriteToAssertFile(inText, true, true);
			if (ILogger* logger = ProcessLogger(); logger != nullptr && logger->ShouldLog(EML_Debug)) {
				VString message(inText);
				if (message.GetLength() > 0 && message.GetUniChar(message.GetLength()) == u'\n')
					message.Truncate(message.GetLength() - 1);
				VValueBag* bag = new VValueBag();
				bag->SetString(ILoggerBagKeys::message, message);
				ILoggerBagKeys::level.Set(*bag, EML_Debug);
				logger->LogBag(bag);
				bag->Release();
			}
		}
		if (GetLogInDebugger() && IsDebuggerAvailable())
			_WriteToStandardError(inText);
	}
	if (GetBreakOnDebugMsg())
		Break();
}

void VDebugMgr::DebugMsg(const char* inFormat, va_list inArgs)
{
	if (inFormat == nullptr || !GetMessagesEnabled())
		return;
	VTask* task = VTask::GetCurrent();
	if (task == nullptr)
		return;
	if (task->GetDebugContext().fLowLevelModeCount == 0) {
		VString text;
		text.VPrintf(inFormat, inArgs);
		DebugMsg(text);
		return;
	}
	// In low-level mode nothing of the kernel's own is used: the text goes
	// straight to standard error.
	if (GetLogInDebugger() && IsDebuggerAvailable())
		std::vfprintf(stderr, inFormat, inArgs);
	if (GetBreakOnDebugMsg())
		Break();
}

} // namespace qirn
