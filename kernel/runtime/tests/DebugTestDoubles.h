#pragma once

// A handler that answers as a test scripts it and a logger that records
// what the debug manager hands it.
#include "bags_xml/VValueBag.h"
#include "core/StStringConverter.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "process/ILogger.h"
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

class RecordingLogger : public VObject, public ILogger {
public:
	uint32 fMask = 0xF0; // INFO and above
	std::vector<std::string> fMessages; // "level:message" of the bags
	std::vector<VError> fErrors;
	std::vector<std::string> fAsserts;

	bool ShouldLog(EMessageLevel inLevel) const override { return (fMask & (1u << (inLevel & 31))) != 0; }
	void LogBag(const VValueBag* inBag) override
	{
		VString message;
		inBag->GetString(ILoggerBagKeys::message, message);
		StStringConverter<char> utf8(message, VTC_UTF_8);
		fMessages.push_back(std::to_string(ILoggerBagKeys::level.Get(*inBag)) + ":" + utf8.GetCPointer());
	}
	void LogErrorIfNecessary(VErrorBase* inError) override { fErrors.push_back(inError->GetError()); }
	void LogAssertIfNecessary(const char* inCondition, const char* inFile, int inLine) override
	{
		fAsserts.push_back(std::string(inCondition) + "|" + inFile + "|" + std::to_string(inLine));
	}
};

} // namespace qirn::testing
