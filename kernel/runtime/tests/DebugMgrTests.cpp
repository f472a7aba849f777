// The debug manager's reports: who gets them, the handler's answers, and
// when nothing is reported. Each test has a manager of its own, except those
// that go through the task's error stack to the process's one.
#include "DebugTestDoubles.h"
#include "FreshTask.h"

#include "process/VProcess.h"
#include "runtime/StThrowError.h"
#include "runtime/VDebugContext.h"
#include "runtime/VDebugMgr.h"
#include "runtime/VError.h"
#include "runtime/VErrorContext.h"
#include "runtime/VTask.h"
#include "testing/RaisedErrors.h"
#include "testing/TestThreads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

namespace qirn {
namespace {

using testing::ProcessLogRecorder;
using testing::ScriptedDebugHandler;

constexpr VError kFirst = MAKE_VERROR('qtst', 1);
constexpr VError kSecond = MAKE_VERROR('qtst', 2);

VRefPtr<VErrorBase> MakeError(VError inCode)
{
	return VRefPtr<VErrorBase>::Adopt(new VErrorBase(inCode));
}

std::string ErrorText(VError inCode)
{
	VString dump;
	MakeError(inCode)->DumpToString(dump);
	StStringConverter<char> utf8(dump, VTC_UTF_8);
	return std::string("Error: ") + utf8.GetCPointer() + "\n";
}

class DebugMgr : public ::testing::Test {
protected:
	void SetUp() override
	{
		fManager.Init();
		fHandler = VRefPtr<ScriptedDebugHandler>::Adopt(new ScriptedDebugHandler);
	}

	// What reaches the process's logger from now to the end of the test.
	ProcessLogRecorder* InstallLogger()
	{
		fLogger = std::make_unique<ProcessLogRecorder>();
		return fLogger.get();
	}

	VDebugMgr fManager;
	VRefPtr<ScriptedDebugHandler> fHandler;
	std::unique_ptr<ProcessLogRecorder> fLogger;
};

TEST_F(DebugMgr, FlagsAnswerTheirPreviousValue)
{
	EXPECT_FALSE(fManager.SetBreakOnAssert(true));
	EXPECT_TRUE(fManager.SetBreakOnAssert(false));
	EXPECT_FALSE(fManager.SetBreakOnDebugMsg(true));
	EXPECT_TRUE(fManager.GetBreakOnDebugMsg());
	EXPECT_FALSE(fManager.SetLogInDebugger(true));
	EXPECT_TRUE(fManager.SetLogInDebugger(false));
	EXPECT_TRUE(fManager.SetMessagesEnabled(false)); // Init turned them on
	EXPECT_FALSE(fManager.GetMessagesEnabled());
	EXPECT_FALSE(fManager.SetAssertFileEnabled(true));
	EXPECT_TRUE(fManager.IsDebuggerAvailable());
	VDebuggerType type = 0;
	EXPECT_TRUE(fManager._GetDebuggerType(&type));
	EXPECT_EQ(type, 2);
	EXPECT_TRUE(fManager._GetDebuggerType(nullptr));
	fManager.DeInit();
	EXPECT_FALSE(fManager.GetMessagesEnabled());
	EXPECT_FALSE(fManager.GetAssertFileEnabled());
}

TEST_F(DebugMgr, TheHandlerIsKeptOnceAndLetGoWhenReplaced)
{
	ScriptedDebugHandler* handler = fHandler.Get();
	fManager.SetDebugMessageHandler(handler);
	EXPECT_EQ(handler->GetRefCount(), 2u);
	fManager.SetDebugMessageHandler(handler);
	EXPECT_EQ(handler->GetRefCount(), 2u);
	VRefPtr<ScriptedDebugHandler> other = VRefPtr<ScriptedDebugHandler>::Adopt(new ScriptedDebugHandler);
	fManager.SetDebugMessageHandler(other.Get());
	EXPECT_EQ(handler->GetRefCount(), 1u);
	EXPECT_EQ(other->GetRefCount(), 2u);
	fManager.DeInit();
	EXPECT_EQ(other->GetRefCount(), 1u);
}

TEST_F(DebugMgr, AThrownErrorGoesToTheLoggerTheHandlerAndStandardErrorWhenAsked)
{
	ProcessLogRecorder* logger = InstallLogger();
	fManager.SetDebugMessageHandler(fHandler.Get());
	VRefPtr<VErrorBase> error = MakeError(kFirst);

	::testing::internal::CaptureStderr();
	fManager.ErrorThrown(error.Get());
	EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

	fManager.SetLogInDebugger(true);
	::testing::internal::CaptureStderr();
	fManager.ErrorThrown(error.Get());
	EXPECT_EQ(::testing::internal::GetCapturedStderr(), ErrorText(kFirst));

	EXPECT_EQ(logger->Errors(), (std::vector<VError>{kFirst, kFirst}));
	EXPECT_EQ(fHandler->fErrors, (std::vector<VError>{kFirst, kFirst}));
}

TEST_F(DebugMgr, WithoutAHandlerAThrownErrorOnlyReachesTheLogger)
{
	ProcessLogRecorder* logger = InstallLogger();
	VRefPtr<VErrorBase> error = MakeError(kFirst);
	::testing::internal::CaptureStderr();
	fManager.ErrorThrown(error.Get());
	EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
	EXPECT_EQ(logger->Errors(), std::vector<VError>{kFirst});
}

TEST_F(DebugMgr, IgnoringAnErrorCodeOrEveryError)
{
	fManager.SetDebugMessageHandler(fHandler.Get());
	VRefPtr<VErrorBase> first = MakeError(kFirst);
	VRefPtr<VErrorBase> second = MakeError(kSecond);

	fHandler->fAnswers = {kDebugIgnoreThis};
	fManager.ErrorThrown(first.Get());
	fManager.ErrorThrown(first.Get());
	fManager.ErrorThrown(second.Get());
	EXPECT_EQ(fHandler->fErrors, (std::vector<VError>{kFirst, kSecond}));

	// An answer outside the known ones goes on.
	fHandler->fAnswers = {7, kDebugIgnoreAll};
	fManager.ErrorThrown(second.Get());
	fManager.ErrorThrown(second.Get());
	fManager.ErrorThrown(second.Get());
	fManager.ErrorThrown(MakeError(MAKE_VERROR('qtst', 3)).Get());
	EXPECT_EQ(fHandler->fErrors, (std::vector<VError>{kFirst, kSecond, kSecond, kSecond}));
}

TEST_F(DebugMgr, NothingIsReportedWhenMessagesAreOffOutsideATaskOrInLowLevelMode)
{
	ProcessLogRecorder* logger = InstallLogger();
	logger->Take(EML_Assert);
	fManager.SetDebugMessageHandler(fHandler.Get());
	VRefPtr<VErrorBase> error = MakeError(kFirst);

	fManager.SetMessagesEnabled(false);
	fManager.ErrorThrown(error.Get());
	EXPECT_FALSE(fManager.AssertFailed("x", "f.cpp", 1));
	fManager.SetMessagesEnabled(true);

	std::thread([&]() {
		fManager.ErrorThrown(error.Get());
		EXPECT_FALSE(fManager.AssertFailed("x", "f.cpp", 2));
		VDebugMgr::StartLowLevelMode(); // nothing outside a task
		VDebugMgr::Break();
	}).join();

	VDebugMgr::StartLowLevelMode();
	VDebugMgr::StartLowLevelMode();
	fManager.ErrorThrown(error.Get());
	VDebugMgr::StopLowLevelMode();
	EXPECT_FALSE(fManager.AssertFailed("x", "f.cpp", 3));
	VDebugMgr::StopLowLevelMode();
	// One stop too many leaves the mode off rather than on for good.
	VDebugMgr::StopLowLevelMode();
	EXPECT_EQ(VTask::GetCurrent()->GetDebugContext().fLowLevelModeCount, 0u);

	EXPECT_TRUE(fHandler->fErrors.empty());
	EXPECT_TRUE(fHandler->fAsserts.empty());
	EXPECT_TRUE(logger->Errors().empty());
	EXPECT_TRUE(logger->Asserts().empty());

	fManager.ErrorThrown(error.Get());
	EXPECT_EQ(fHandler->fErrors.size(), 1u);
}

// Without a report going on, a failed assertion answers the break flag.
TEST_F(DebugMgr, AnUnreportedAssertionAnswersTheBreakFlag)
{
	fManager.SetBreakOnAssert(true);
	EXPECT_TRUE(fManager.AssertFailed("x", "f.cpp", 1)); // no handler
	fManager.SetMessagesEnabled(false);
	EXPECT_TRUE(fManager.AssertFailed("x", "f.cpp", 1));
	fManager.SetMessagesEnabled(true);
	VDebugMgr::StartLowLevelMode();
	EXPECT_TRUE(fManager.AssertFailed("x", "f.cpp", 1));
	VDebugMgr::StopLowLevelMode();
	EXPECT_TRUE(testing::OnAnotherThread([&]() { return fManager.AssertFailed("x", "f.cpp", 1); }));
	fManager.SetBreakOnAssert(false);
	EXPECT_FALSE(fManager.AssertFailed("x", "f.cpp", 1));
}

TEST_F(DebugMgr, TheHandlerDecidesAFailedAssertion)
{
	ProcessLogRecorder* logger = InstallLogger();
	logger->Take(EML_Assert);
	fManager.SetDebugMessageHandler(fHandler.Get());
	fManager.SetBreakOnAssert(true); // a handler's answer wins over it

	fHandler->fAnswers = {kDebugGoOn, kDebugBreak, 9};
	EXPECT_FALSE(fManager.AssertFailed("a > 0", "file.cpp", 10));
	EXPECT_TRUE(fManager.AssertFailed("a > 0", "file.cpp", 10));
	EXPECT_FALSE(fManager.AssertFailed("a > 0", "file.cpp", 10));

	// Ignored by file and line: the same place is not asked again, nor
	// logged, another line or another file (by case too) is.
	fHandler->fAnswers = {kDebugIgnoreThis};
	EXPECT_FALSE(fManager.AssertFailed("a > 0", "file.cpp", 10));
	EXPECT_FALSE(fManager.AssertFailed("b", "file.cpp", 10));
	EXPECT_FALSE(fManager.AssertFailed("a > 0", "file.cpp", 11));
	EXPECT_FALSE(fManager.AssertFailed("a > 0", "File.cpp", 10));
	EXPECT_FALSE(fManager.AssertFailed("a > 0", "dir/file.cpp", 10));
	EXPECT_EQ(fHandler->fAsserts.size(), 7u);
	EXPECT_EQ(fHandler->fAsserts.back(), "a > 0|dir/file.cpp|10");
	EXPECT_EQ(logger->Asserts().size(), 7u);

	fHandler->fAnswers = {kDebugIgnoreAll};
	EXPECT_FALSE(fManager.AssertFailed("c", "other.cpp", 1));
	EXPECT_FALSE(fManager.AssertFailed("d", "other.cpp", 2));
	EXPECT_EQ(fHandler->fAsserts.size(), 8u);
}

TEST_F(DebugMgr, AFailedAssertionIsEchoedWhenAsked)
{
	fManager.SetLogInDebugger(true);
	::testing::internal::CaptureStderr();
	fManager.AssertFailed("n != 0", "src/a.cpp", 42);
	std::thread([&]() { fManager.AssertFailed("outside", "b.cpp", 1); }).join();
	EXPECT_EQ(::testing::internal::GetCapturedStderr(),
			  "Assert Failed: n != 0, src/a.cpp, 42\nAssert Failed: outside, b.cpp, 1\n");
}

// What the handler or the report itself raises is neither reported again
// nor left among the task's errors.
TEST_F(DebugMgr, AReportRaisesNothingOfItsOwn)
{
	fManager.SetDebugMessageHandler(fHandler.Get());
	fHandler->fWhileAsked = [this]() {
		_ThrowError(kSecond);
		fManager.ErrorThrown(MakeError(kSecond).Get());
	};
	testing::RaisedErrors raised;
	fManager.ErrorThrown(MakeError(kFirst).Get());
	EXPECT_EQ(fHandler->fErrors, std::vector<VError>{kFirst});
	EXPECT_TRUE(raised.Codes().empty());
	EXPECT_FALSE(VTask::GetCurrent()->GetDebugContext().fInDebugReport);
}

TEST_F(DebugMgr, DebugMessagesGoToTheLoggerAtDebugLevel)
{
	ProcessLogRecorder* logger = InstallLogger();
	fManager.DebugMsg(VString("not taken\n"));
	EXPECT_TRUE(logger->Messages().empty());

	logger->Take(EML_Debug);
	fManager.DebugMsg(VString("two lines\n\n"));
	fManager.DebugMsg(VString("no line feed"));
	EXPECT_EQ(logger->Messages(), (std::vector<std::string>{"3:two lines\n", "3:no line feed"}));

	fManager.SetLogInDebugger(true);
	::testing::internal::CaptureStderr();
	fManager.DebugMsg(VString("caf\xC3\xA9\n"));
	VDebugMgr::StartLowLevelMode();
	fManager.DebugMsg(VString("low level\n")); // echoed, not logged
	VDebugMgr::StopLowLevelMode();
	std::thread([&]() { fManager.DebugMsg(VString("outside\n")); }).join();
	EXPECT_EQ(::testing::internal::GetCapturedStderr(), "caf\xC3\xA9\nlow level\n");
	EXPECT_EQ(logger->Messages().size(), 3u);
}

void Formatted(VDebugMgr& ioManager, const char* inFormat, ...)
{
	va_list args;
	va_start(args, inFormat);
	ioManager.DebugMsg(inFormat, args);
	va_end(args);
}

TEST_F(DebugMgr, FormattedDebugMessages)
{
	ProcessLogRecorder* logger = InstallLogger();
	logger->Take(EML_Debug);
	fManager.SetLogInDebugger(true);
	::testing::internal::CaptureStderr();
	Formatted(fManager, "%d apples and %s\n", 3, "pears");
	VDebugMgr::StartLowLevelMode();
	Formatted(fManager, "raw %d\n", 7);
	VDebugMgr::StopLowLevelMode();
	fManager.SetMessagesEnabled(false);
	Formatted(fManager, "off %d\n", 8);
	EXPECT_EQ(::testing::internal::GetCapturedStderr(), "3 apples and pears\nraw 7\n");
	EXPECT_EQ(logger->Messages(), std::vector<std::string>{"3:3 apples and pears"});
}

// A task that refuses breaks goes on where a break was asked.
TEST_F(DebugMgr, ATaskThatRefusesBreaksGoesOn)
{
	fManager.SetDebugMessageHandler(fHandler.Get());
	VDebugContext& context = VTask::GetCurrent()->GetDebugContext();
	context.fNoBreak = 1;
	fManager.SetBreakOnDebugMsg(true);
	fManager.DebugMsg(VString("x"));
	fHandler->fAnswers = {kDebugBreak};
	fManager.ErrorThrown(MakeError(kFirst).Get());
	VDebugMgr::Break();
	context.fNoBreak = 0;
	EXPECT_EQ(fHandler->fErrors.size(), 1u);
}

// Tasks reporting at the same time share the ignore lists: each error code
// and each assertion is asked about once, whichever task reports it first.
TEST_F(DebugMgr, TasksReportingAtOnceAreEachAskedOnce)
{
	class CountingHandler : public VObject, public IDebugMessageHandler {
	public:
		std::atomic<int> fErrors{0}, fAsserts{0};
		int32 AssertFailed(VDebugContext&, const char*, const char*, int) override
		{
			++fAsserts;
			return kDebugIgnoreThis;
		}
		int32 ErrorThrown(VDebugContext&, VErrorBase*) override
		{
			++fErrors;
			return kDebugIgnoreThis;
		}
	};
	VRefPtr<CountingHandler> handler = VRefPtr<CountingHandler>::Adopt(new CountingHandler);
	fManager.SetDebugMessageHandler(handler.Get());
	constexpr int kTasks = 4;
	constexpr int kCodes = 20;
	std::vector<VRefPtr<VTask>> tasks;
	for (int t = 0; t < kTasks; ++t) {
		tasks.push_back(VRefPtr<VTask>::Adopt(new VTask(0, ETaskStyle::kPreemptive, [this]() {
			for (int round = 0; round < 3; ++round) {
				for (int code = 0; code < kCodes; ++code) {
					fManager.ErrorThrown(MakeError(MAKE_VERROR('qtst', 100 + code)).Get());
					fManager.AssertFailed("shared", "shared.cpp", code);
				}
			}
		})));
	}
	for (VRefPtr<VTask>& task : tasks)
		ASSERT_TRUE(task->Run());
	for (VRefPtr<VTask>& task : tasks)
		ASSERT_TRUE(task->WaitForDeath(testing::kHangMilliseconds));
	// A task may be asked about a code another one is being asked about.
	EXPECT_GE(handler->fErrors.load(), kCodes);
	EXPECT_LE(handler->fErrors.load(), kCodes * kTasks);
	EXPECT_GE(handler->fAsserts.load(), kCodes);
	EXPECT_LE(handler->fAsserts.load(), kCodes * kTasks);
	const int before = handler->fErrors.load() + handler->fAsserts.load();
	fManager.ErrorThrown(MakeError(MAKE_VERROR('qtst', 100)).Get());
	fManager.AssertFailed("shared", "shared.cpp", 0);
	EXPECT_EQ(handler->fErrors.load() + handler->fAsserts.load(), before);
}

// The process's manager hears of errors raised on a task's stack, unless a
// silent or filtering scope keeps them quiet.
TEST(DebugMgrOfTheProcess, HearsOfErrorsNoScopeKeepsQuiet)
{
	VRefPtr<ScriptedDebugHandler> handler = VRefPtr<ScriptedDebugHandler>::Adopt(new ScriptedDebugHandler);
	VDebugMgr& manager = VDebugMgr::Get();
	ASSERT_TRUE(manager.GetMessagesEnabled()); // the process turned it on
	manager.SetDebugMessageHandler(handler.Get());
	testing::RunInFreshTask([]() {
		{
			StErrorContextInstaller plain(false);
			_ThrowError(kFirst);
		}
		{
			StErrorContextInstaller silent(false, true);
			StErrorContextInstaller inner(false);
			_ThrowError(kSecond);
		}
		{
			StErrorContextInstaller filtering({kSecond});
			_ThrowError(kSecond);
			_ThrowError(kFirst); // dropped with the filtered error
		}
		{
			StErrorContextInstaller plain(false);
			StThrowError error(kSecond);
		}
	});
	manager.SetDebugMessageHandler(nullptr);
	EXPECT_EQ(handler->fErrors, (std::vector<VError>{kFirst, kSecond}));
}

} // namespace
} // namespace qirn
