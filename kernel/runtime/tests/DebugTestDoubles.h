#pragma once

// A handler that answers as a test scripts it, and a recorder of what the
// debug manager hands the process logger.
#include "bags_xml/VValueBag.h"
#include "core/StStringConverter.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "process/VLogger.h"
#include "process/VProcess.h"
#include "runtime/IDebugMessageHandler.h"
#include "runtime/VErrorBase.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace qirn::testing {

class ScriptedDebugHandler : public VObject, public IDebugMessageHandler {
public:
	// The answers of the next calls, in order; 0 once they are used up.
	std::deque<int32> fAnswers;
	std::vector<std::string> fAsserts; // "condition|file|line"
	std::vector<VError> fErrors;
	// Run inside ErrorThrown, as a handler that itself raises errors would.
	std::function<void()> fWhileAsked;

	int32 AssertFailed(VDebugContext&, const char* inCondition, const char* inFile, int inLine) override
	{
		fAsserts.push_back(std::string(inCondition) + "|" + inFile + "|" + std::to_string(inLine));
		return _Next();
	}
	int32 ErrorThrown(VDebugContext&, VErrorBase* inError) override
	{
		fErrors.push_back(inError->GetError());
		if (fWhileAsked)
			fWhileAsked();
		return _Next();
	}

private:
	int32 _Next()
	{
		if (fAnswers.empty())
			return kDebugGoOn;
		const int32 answer = fAnswers.front();
		fAnswers.pop_front();
		return answer;
	}
};

// What the process logger queues while it lives, read straight from the
// logger's ring (no listener, so no "Logger" task). Levels the logger leaves
// are taken when asked, for the recorder's life.
class ProcessLogRecorder {
public:
	ProcessLogRecorder() : fLogger(VProcess::sInstance.load()->GetLogger()) { _Drain(nullptr); }
	~ProcessLogRecorder()
	{
		for (unsigned level = 0; level < 32; ++level)
			if ((fTaken & (1u << level)) != 0)
				fLogger->WithTag(level, false);
		_Drain(nullptr);
	}
	ProcessLogRecorder(const ProcessLogRecorder&) = delete;
	ProcessLogRecorder& operator=(const ProcessLogRecorder&) = delete;

	void Take(EMessageLevel inLevel)
	{
		if (!fLogger->WithTag(inLevel, true))
			fTaken |= 1u << inLevel;
	}

	// "level:message" of the entries that are neither errors nor assertions.
	const std::vector<std::string>& Messages() { return _Drain(this).fMessages; }
	const std::vector<VError>& Errors() { return _Drain(this).fErrors; }
	// "message|file_name|line_number"
	const std::vector<std::string>& Asserts() { return _Drain(this).fAsserts; }

private:
	static std::string UTF8(const VString& inText)
	{
		StStringConverter<char> utf8(inText, VTC_UTF_8);
		return utf8.GetCPointer();
	}

	ProcessLogRecorder& _Drain(ProcessLogRecorder* ioInto)
	{
		for (const VValueBag* bag : fLogger->Read()) {
			if (ioInto != nullptr) {
				VString message, file;
				bag->GetString(ILoggerBagKeys::message, message);
				const EMessageLevel level = ILoggerBagKeys::level.Get(*bag);
				if (level == EML_Error) {
					sLONG8 code = 0;
					bag->GetLong8(ILoggerBagKeys::error_code, code);
					fErrors.push_back(static_cast<VError>(code));
				} else if (level == EML_Assert) {
					sLONG line = 0;
					bag->GetString(ILoggerBagKeys::file_name, file);
					bag->GetLong(ILoggerBagKeys::line_number, line);
					fAsserts.push_back(UTF8(message) + "|" + UTF8(file) + "|" + std::to_string(line));
				} else {
					fMessages.push_back(std::to_string(level) + ":" + UTF8(message));
				}
			}
			bag->Release();
		}
		return *this;
	}

	VLogger* fLogger;
	uint32 fTaken = 0; // the levels the recorder turned on
	std::vector<std::string> fMessages;
	std::vector<VError> fErrors;
	std::vector<std::string> fAsserts;
};

} // namespace qirn::testing
