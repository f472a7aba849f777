#pragma once

#include "core/VKernelTypes.h"
#include "core/VObject.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <memory>
#include <mutex>
#include <set>
#include <string>

namespace qirn {

class IDebugMessageHandler;
class VArrayString;
class VDebugContext;
class VErrorBase;
class VString;

using VDebuggerType = int32;

// The process-wide receiver of debug messages, failed assertions and thrown
// errors. A report can be appended to the assert file next to the
// application, handed to the process logger, echoed on standard error and
// put to a message handler that decides what follows. Nothing is reported
// before Init (the process start-up) or after DeInit, outside a task, or
// while the task is in low-level mode.
//
// The flags are set at start-up and read by every task; the handler, the
// ignore lists and the assert file have locks of their own, so that tasks
// reporting at the same time neither race nor interleave their entries.
class VDebugMgr : public VObject {
public:
	VDebugMgr();
	~VDebugMgr() override;

	VDebugMgr(const VDebugMgr&) = delete;
	VDebugMgr& operator=(const VDebugMgr&) = delete;

	static VDebugMgr& Get() { return sInstance; }

	bool Init();
	// Drops the handler, stops reporting and writing the assert file and
	// forgets its path.
	void DeInit();

	// The same handler again does nothing; null removes the handler.
	void SetDebugMessageHandler(IDebugMessageHandler* inHandler);

	// Each setter answers the previous value.
	bool SetBreakOnAssert(bool inSet);
	bool SetBreakOnDebugMsg(bool inSet);
	bool SetMessagesEnabled(bool inSet);
	bool SetLogInDebugger(bool inSet);
	bool SetAssertFileEnabled(bool inSet);
	bool GetBreakOnAssert() const { return fBreakOnAssert.load(std::memory_order_relaxed); }
	bool GetBreakOnDebugMsg() const { return fBreakOnDebugMsg.load(std::memory_order_relaxed); }
	bool GetMessagesEnabled() const { return fMessagesEnabled.load(std::memory_order_relaxed); }
	bool GetLogInDebugger() const { return fLogInDebugger.load(std::memory_order_relaxed); }
	bool GetAssertFileEnabled() const { return fAssertFileEnabled.load(std::memory_order_relaxed); }
	bool IsDebuggerAvailable() const { return fDebuggerAvailable.load(std::memory_order_relaxed); }

	// The current task's low-level mode; nothing outside a task.
	static void StartLowLevelMode();
	static void StopLowLevelMode();

	bool _GetDebuggerType(VDebuggerType* outType) const;

	// Raises SIGTRAP (the debugger's stop, or the end of a process that has
	// none) unless the current task refuses breaks; nothing outside a task.
	static void Break();
	[[noreturn]] static void Abort();

	static void fprintf_console(const char* inFormat, ...) __attribute__((format(printf, 1, 2)));
	static void vfprintf_console(const char* inFormat, va_list inArgs);

	void DebugMsg(const char* inFormat, va_list inArgs);
	void DebugMsg(const VString& inText);
	// True when the caller is to break.
	bool AssertFailed(const char* inCondition, const char* inFile, int inLine);
	void ErrorThrown(VErrorBase* inError);

	// Appends the text (in UTF-8) to the assert file, after the local date
	// and time and the caller's stack when asked.
	void WriteToAssertFile(const VString& inText, bool inWithDate, bool inWithStackCrawl);

	// The assert file of a bundle: its path less the extension of its last
	// component, followed by "_asserts.txt".
	static std::string _MakeAssertFilePath(const std::string& inBundlePath);
	// Bytes from which the assert file is moved aside for a new one.
	static constexpr long kAssertFileRotationSize = 0xA00001;

private:
	// What a handler's answer asks the reporter to do once its report is over.
	enum class EFollowUp { kNone, kBreak };

	IDebugMessageHandler* _RetainHandler() const;
	EFollowUp _Follow(int32 inAnswer, bool* outIgnoreThis, bool* outIgnoreAll) const;
	bool _IsAssertIgnored(const VString& inKey) const;
	void _IgnoreAssert(const VString& inKey);
	static void _WriteToStandardError(const VString& inText);

	std::string _GetAssertFilePath();
	FILE* _OpenAssertFile(bool inWithDate, bool inWithStackCrawl);

	static VDebugMgr sInstance;

	std::atomic<bool> fDebuggerAvailable{true};
	std::atomic<bool> fMessagesEnabled{false};
	std::atomic<bool> fBreakOnAssert{false};
	std::atomic<bool> fBreakOnDebugMsg{false};
	std::atomic<bool> fLogInDebugger{false};
	std::atomic<bool> fAssertFileEnabled{false};

	// Guards the handler and the ignore lists.
	mutable std::mutex fLock;
	IDebugMessageHandler* fMessageHandler = nullptr;
	std::unique_ptr<VArrayString> fIgnoredAsserts; // "<file><line>" keys, made on first use
	bool fIgnoreAllAsserts = false;
	std::set<VError> fIgnoredErrors;
	bool fIgnoreAllErrors = false;

	// Guards the assert file, whose entries are written whole under it.
	std::mutex fFileLock;
	std::string fAssertFilePath; // empty until first asked
	bool fAssertFileOpened = false;
	uint32 fAssertFileRotations = 0;
};

} // namespace qirn
