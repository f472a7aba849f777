// The process logger: the ring, the levels, the listeners and their
// deliveries, and its end while a delivery runs.
#include "bags_xml/VValueBag.h"
#include "core/StStringConverter.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "process/VLogger.h"
#include "process/VProcess.h"
#include "runtime/VError.h"
#include "runtime/VErrorBase.h"
#include "runtime/VTask.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace qirn {
namespace {

std::string UTF8(const VString& inText)
{
	StStringConverter<char> utf8(inText, VTC_UTF_8);
	return utf8.GetCPointer();
}

std::string Message(const VValueBag* inBag)
{
	VString message;
	inBag->GetString(ILoggerBagKeys::message, message);
	return UTF8(message);
}

std::string StringOf(const VValueBag* inBag, const StPackedDictionaryKey& inKey)
{
	VString text;
	inBag->GetString(inKey, text);
	return UTF8(text);
}

VRefPtr<VLogger> NewStartedLogger()
{
	VRefPtr<VLogger> logger = VRefPtr<VLogger>::Adopt(new VLogger());
	logger->Start();
	return logger;
}

void LogText(VLogger& ioLogger, const std::string& inText, EMessageLevel inLevel = EML_Information)
{
	VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag());
	bag->SetString(ILoggerBagKeys::message, VString(inText.c_str()));
	if (inLevel != EML_Information)
		ILoggerBagKeys::level.Set(*bag, inLevel);
	ioLogger.LogBag(bag.Get());
}

// The messages of what Read takes out, releasing the bags.
std::vector<std::string> ReadMessages(VLogger& ioLogger)
{
	std::vector<std::string> messages;
	for (const VValueBag* bag : ioLogger.Read()) {
		messages.push_back(Message(bag));
		bag->Release();
	}
	return messages;
}

// Records each batch as the messages it held, under the given name; runs
// an optional hook inside Put.
class RecordingListener : public VObject, public ILogListener {
public:
	explicit RecordingListener(std::string inName, std::vector<std::string>* ioCalls = nullptr)
		: fName(std::move(inName)), fCalls(ioCalls)
	{
	}
	void Put(const std::vector<const VValueBag*>& inBags) override
	{
		std::vector<std::string> batch;
		for (const VValueBag* bag : inBags)
			batch.push_back(Message(bag));
		std::lock_guard<std::mutex> lock(fMutex);
		fBatches.push_back(batch);
		if (fCalls != nullptr)
			fCalls->push_back(fName);
		if (fWhilePut)
			fWhilePut();
	}
	std::vector<std::vector<std::string>> Batches()
	{
		std::lock_guard<std::mutex> lock(fMutex);
		return fBatches;
	}

	std::function<void()> fWhilePut;

private:
	std::string fName;
	std::vector<std::string>* fCalls;
	std::mutex fMutex;
	std::vector<std::vector<std::string>> fBatches;
};

std::vector<std::string> Numbered(int inFrom, int inTo)
{
	std::vector<std::string> texts;
	for (int i = inFrom; i <= inTo; ++i)
		texts.push_back(std::to_string(i));
	return texts;
}

TEST(Logger, TheRingKeepsTheThousandNewestOldestFirst)
{
	struct Case {
		int fLogged;
		int fFirst;
	};
	for (const Case& c : {Case{1, 1}, Case{999, 1}, Case{1000, 1}, Case{1001, 2}, Case{2500, 1501}}) {
		SCOPED_TRACE(c.fLogged);
		VRefPtr<VLogger> logger = NewStartedLogger();
		for (int i = 1; i <= c.fLogged; ++i)
			LogText(*logger, std::to_string(i));
		EXPECT_EQ(ReadMessages(*logger), Numbered(c.fFirst, c.fLogged));
		EXPECT_TRUE(logger->Read().empty());
		// After a read the ring starts over, wrapped or not.
		LogText(*logger, "next");
		EXPECT_EQ(ReadMessages(*logger), std::vector<std::string>{"next"});
	}
}

TEST(Logger, LevelsFollowTheMaskOnceStarted)
{
	VRefPtr<VLogger> logger = VRefPtr<VLogger>::Adopt(new VLogger());
	for (uint32 level = 0; level < 8; ++level)
		EXPECT_FALSE(logger->ShouldLog(static_cast<EMessageLevel>(level))) << level;
	LogText(*logger, "before start");
	EXPECT_TRUE(logger->Read().empty());
	EXPECT_FALSE(logger->IsStarted());
	logger->Start();
	EXPECT_TRUE(logger->IsStarted());

	const bool expected[8] = {false, false, false, false, true, true, true, true};
	for (uint32 level = 0; level < 8; ++level)
		EXPECT_EQ(logger->ShouldLog(static_cast<EMessageLevel>(level)), expected[level]) << level;
	// A level takes its bit modulo 32.
	EXPECT_TRUE(logger->ShouldLog(static_cast<EMessageLevel>(36)));

	LogText(*logger, "debug", EML_Debug);
	EXPECT_TRUE(logger->Read().empty());
	EXPECT_FALSE(logger->WithDebug(true));
	EXPECT_TRUE(logger->WithDebug(true));
	LogText(*logger, "debug", EML_Debug);
	EXPECT_EQ(ReadMessages(*logger), std::vector<std::string>{"debug"});

	struct Switch {
		bool (VLogger::*fWith)(bool);
		EMessageLevel fLevel;
		bool fBefore;
	};
	const Switch switches[] = {
		{&VLogger::WithDump, EML_Dump, false},		 {&VLogger::WithTrace, EML_Trace, false},
		{&VLogger::WithAssert, EML_Assert, false},	 {&VLogger::WithInfo, EML_Information, true},
		{&VLogger::WithWarning, EML_Warning, true},	 {&VLogger::WithError, EML_Error, true},
		{&VLogger::WithFatal, EML_Fatal, true},
	};
	for (const Switch& s : switches) {
		SCOPED_TRACE(GetMessageLevelName(s.fLevel));
		EXPECT_EQ(((*logger).*s.fWith)(!s.fBefore), s.fBefore);
		EXPECT_EQ(logger->ShouldLog(s.fLevel), !s.fBefore);
		EXPECT_EQ(((*logger).*s.fWith)(s.fBefore), !s.fBefore);
	}
	EXPECT_FALSE(logger->WithTag(33, true)); // bit 1, TRACE
	EXPECT_TRUE(logger->ShouldLog(EML_Trace));
}

TEST(Logger, AddLogBagIgnoresTheLevel)
{
	VRefPtr<VLogger> logger = VRefPtr<VLogger>::Adopt(new VLogger()); // not even started
	VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag());
	ILoggerBagKeys::level.Set(*bag, EML_Dump);
	bag->SetString(ILoggerBagKeys::message, VString("dump"));
	logger->AddLogBag(bag.Get());
	EXPECT_EQ(bag->GetRefCount(), 2u);
	EXPECT_EQ(ReadMessages(*logger), std::vector<std::string>{"dump"});
	EXPECT_EQ(bag->GetRefCount(), 1u);
}

TEST(Logger, LogMessageBuildsAnEntry)
{
	VRefPtr<VLogger> logger = NewStartedLogger();
	logger->LogMessage(EML_Information, VString("hello"), VString("app"));
	logger->LogMessage(EML_Error, VString("bad"), VString());
	logger->LogMessage(EML_Debug, VString("dropped"), VString("app"));
	const std::vector<const VValueBag*> bags = logger->Read();
	ASSERT_EQ(bags.size(), 2u);
	EXPECT_FALSE(bags[0]->AttributeExists(ILoggerBagKeys::level));
	EXPECT_EQ(Message(bags[0]), "hello");
	EXPECT_EQ(StringOf(bags[0], ILoggerBagKeys::source), "app");
	sLONG level = 0;
	EXPECT_TRUE(bags[1]->GetLong(ILoggerBagKeys::level, level));
	EXPECT_EQ(level, 6);
	EXPECT_EQ(StringOf(bags[1], ILoggerBagKeys::source), UTF8(VProcess::sInstance.load()->GetLogSourceIdentifier()));
	for (const VValueBag* bag : bags)
		bag->Release();
}

TEST(Logger, LevelNames)
{
	struct Case {
		int64 fLevel;
		const char* fName;
	};
	const Case cases[] = {{0, "DUMP"}, {1, "TRACE"}, {2, "ASSERT"}, {3, "DEBUG"}, {4, "INFO"},  {5, "WARN"},
						  {6, "ERROR"}, {7, "FATAL"}, {8, "INFO"},  {31, "INFO"}, {-1, "INFO"}, {-7, "INFO"}};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fLevel);
		EXPECT_STREQ(GetMessageLevelName(static_cast<EMessageLevel>(c.fLevel)), c.fName);
	}
}

TEST(Logger, SequenceNumbersGoUpByOne)
{
	const uint64 first = ILogger::GetSequenceNumber();
	EXPECT_GE(first, 1u);
	EXPECT_EQ(ILogger::GetSequenceNumber(), first + 1);
}

TEST(Logger, ListenersGetEachBatchOnceNewestFirst)
{
	VRefPtr<VLogger> logger = NewStartedLogger();
	std::vector<std::string> calls;
	VRefPtr<RecordingListener> older = VRefPtr<RecordingListener>::Adopt(new RecordingListener("older", &calls));
	VRefPtr<RecordingListener> newer = VRefPtr<RecordingListener>::Adopt(new RecordingListener("newer", &calls));
	EXPECT_FALSE(logger->AddLogListener(nullptr));
	EXPECT_TRUE(logger->AddLogListener(older.Get()));
	EXPECT_FALSE(logger->AddLogListener(older.Get()));
	EXPECT_EQ(older->GetRefCount(), 2u);
	EXPECT_TRUE(logger->AddLogListener(newer.Get()));
	// The "Logger" task runs from now on: stop it so that only the explicit
	// flushes below deliver.
	logger->Stop();

	LogText(*logger, "a");
	LogText(*logger, "b");
	logger->Flush();
	logger->Flush(); // nothing queued: nobody is called
	EXPECT_EQ(calls, (std::vector<std::string>{"newer", "older"}));
	EXPECT_EQ(older->Batches(), (std::vector<std::vector<std::string>>{{"a", "b"}}));

	// A listener leaving gets what was queued first.
	LogText(*logger, "c");
	EXPECT_TRUE(logger->RemoveLogListener(older.Get()));
	EXPECT_EQ(older->Batches(), (std::vector<std::vector<std::string>>{{"a", "b"}, {"c"}}));
	EXPECT_EQ(older->GetRefCount(), 1u);
	EXPECT_FALSE(logger->RemoveLogListener(older.Get()));
	EXPECT_FALSE(logger->RemoveLogListener(nullptr));
	// Stopped, yet still started: entries queue, and only Flush delivers.
	EXPECT_TRUE(logger->IsStarted());
	LogText(*logger, "d");
	logger->Flush();
	EXPECT_EQ(newer->Batches(), (std::vector<std::vector<std::string>>{{"a", "b"}, {"c"}, {"d"}}));
}

// A listener that leaves, or brings another, while it receives a batch: the
// batch goes to the listeners there were when it started.
TEST(Logger, AListenerMayLeaveDuringItsDelivery)
{
	VRefPtr<VLogger> logger = NewStartedLogger();
	std::vector<std::string> calls;
	RecordingListener* leaving = new RecordingListener("leaving", &calls);
	VRefPtr<RecordingListener> other = VRefPtr<RecordingListener>::Adopt(new RecordingListener("other", &calls));
	VRefPtr<RecordingListener> late = VRefPtr<RecordingListener>::Adopt(new RecordingListener("late", &calls));
	ASSERT_TRUE(logger->AddLogListener(other.Get()));
	ASSERT_TRUE(logger->AddLogListener(leaving));
	logger->Stop();
	bool left = false;
	leaving->fWhilePut = [&]() {
		if (std::exchange(left, true))
			return;
		EXPECT_TRUE(logger->RemoveLogListener(leaving));
		EXPECT_TRUE(logger->AddLogListener(late.Get()));
	};
	leaving->Release(); // the logger's reference only
	LogText(*logger, "a");
	logger->Flush();
	EXPECT_EQ(calls, (std::vector<std::string>{"leaving", "other"}));
	LogText(*logger, "b");
	logger->Flush();
	EXPECT_EQ(calls, (std::vector<std::string>{"leaving", "other", "late", "other"}));
}

TEST(Logger, TheLoggerTaskDeliversWithoutAsking)
{
	VRefPtr<VLogger> logger = NewStartedLogger();
	VRefPtr<RecordingListener> listener = VRefPtr<RecordingListener>::Adopt(new RecordingListener("l"));
	testing::Gate delivered;
	std::atomic<bool> onLoggerTask{false};
	listener->fWhilePut = [&]() {
		VString name;
		VTask::GetCurrent()->GetName(name);
		onLoggerTask = UTF8(name) == "Logger";
		delivered.Open();
	};
	ASSERT_TRUE(logger->AddLogListener(listener.Get()));
	LogText(*logger, "by itself");
	ASSERT_TRUE(delivered.Wait());
	EXPECT_TRUE(onLoggerTask.load());
	EXPECT_EQ(listener->Batches(), (std::vector<std::vector<std::string>>{{"by itself"}}));
}

// The end of a logger while its task is inside a listener waits for that
// delivery to end before the listener and the entries go.
TEST(Logger, DestroyedDuringADeliveryWaitsForIt)
{
	VLogger* logger = new VLogger();
	logger->Start();
	RecordingListener* listener = new RecordingListener("l");
	testing::Gate inside, leave;
	std::atomic<bool> putEnded{false};
	listener->fWhilePut = [&]() {
		inside.Open();
		leave.Wait();
		putEnded = true;
	};
	ASSERT_TRUE(logger->AddLogListener(listener));
	LogText(*logger, "x");
	ASSERT_TRUE(inside.Wait());
	std::atomic<bool> destroyed{false};
	std::thread destroyer([&]() {
		logger->Release();
		destroyed = true;
	});
	// The destruction cannot end while the delivery goes on.
	VTask::Sleep(50);
	EXPECT_FALSE(destroyed.load());
	EXPECT_EQ(listener->GetRefCount(), 3u); // ours, the list's and the delivery's
	leave.Open();
	destroyer.join();
	EXPECT_TRUE(putEnded.load());
	EXPECT_EQ(listener->GetRefCount(), 1u);
	listener->Release();
}

// Tasks log while listeners come and go and the "Logger" task delivers:
// nothing is lost that the ring could hold, nothing is delivered twice to a
// listener, and the sanitizers see no race.
TEST(Logger, TasksLogWhileListenersComeAndGo)
{
	constexpr int kTasks = 8;
	constexpr int kPerTask = 2000;
	VRefPtr<VLogger> logger = NewStartedLogger();
	VRefPtr<RecordingListener> steady = VRefPtr<RecordingListener>::Adopt(new RecordingListener("steady"));
	ASSERT_TRUE(logger->AddLogListener(steady.Get()));
	std::atomic<int> finished{0};
	std::vector<VTask*> tasks;
	for (int t = 0; t < kTasks; ++t) {
		tasks.push_back(new VTask(0, ETaskStyle::kPreemptive, [&, t]() {
			for (int i = 0; i < kPerTask; ++i)
				logger->LogMessage(EML_Information, VString(std::to_string(t * kPerTask + i).c_str()), VString("t"));
			++finished;
		}));
		ASSERT_TRUE(tasks.back()->Run());
	}
	int rounds = 0;
	while (finished.load() < kTasks || rounds < 20) {
		VRefPtr<RecordingListener> passing = VRefPtr<RecordingListener>::Adopt(new RecordingListener("passing"));
		EXPECT_TRUE(logger->AddLogListener(passing.Get()));
		logger->LogMessage(EML_Warning, VString("from the main task"), VString());
		EXPECT_TRUE(logger->RemoveLogListener(passing.Get()));
		EXPECT_EQ(passing->GetRefCount(), 1u);
		++rounds;
	}
	for (VTask* task : tasks) {
		EXPECT_TRUE(task->WaitForDeath(testing::kHangMilliseconds));
		task->Release();
	}
	logger->Flush();
	std::vector<bool> seen(kTasks * kPerTask, false);
	size_t delivered = 0;
	for (const std::vector<std::string>& batch : steady->Batches()) {
		EXPECT_LE(batch.size(), static_cast<size_t>(VLogger::kRingSize));
		for (const std::string& message : batch) {
			if (message == "from the main task")
				continue;
			const size_t number = std::stoul(message);
			ASSERT_LT(number, seen.size());
			EXPECT_FALSE(seen[number]) << number;
			seen[number] = true;
			++delivered;
		}
	}
	EXPECT_GT(delivered, 0u);
}

TEST(Logger, ErrorsBecomeEntriesWithTheirCodeAndComponent)
{
	VRefPtr<VLogger> logger = NewStartedLogger();
	VRefPtr<VErrorBase> error = VRefPtr<VErrorBase>::Adopt(new VErrorBase(MAKE_VERROR('qtst', 602)));
	error->SetDescription(VString("it broke"));
	logger->LogErrorIfNecessary(error.Get());
	logger->WithError(false);
	logger->LogErrorIfNecessary(error.Get());
	const std::vector<const VValueBag*> bags = logger->Read();
	ASSERT_EQ(bags.size(), 1u);
	const VValueBag* bag = bags[0];
	EXPECT_EQ(ILoggerBagKeys::level.Get(*bag), EML_Error);
	EXPECT_EQ(Message(bag), "it broke");
	sLONG8 code = 0;
	EXPECT_TRUE(bag->GetLong8(ILoggerBagKeys::error_code, code));
	EXPECT_EQ(static_cast<VError>(code), MAKE_VERROR('qtst', 602));
	sLONG component = 0;
	EXPECT_TRUE(bag->GetLong(ILoggerBagKeys::component_signature, component));
	EXPECT_EQ(static_cast<uint32>(component), static_cast<uint32>('qtst'));
	EXPECT_TRUE(bag->AttributeExists(ILoggerBagKeys::task_id));
	EXPECT_TRUE(bag->AttributeExists(ILoggerBagKeys::source));
	EXPECT_FALSE(bag->AttributeExists(ILoggerBagKeys::stack_crawl)); // none captured
	bag->Release();
}

TEST(Logger, AssertionsNameTheFileAndCarryACleanedCrawl)
{
	struct Case {
		const char* fFile;
		const char* fName;
	};
	VRefPtr<VLogger> logger = NewStartedLogger();
	logger->LogAssertIfNecessary("not taken", "a.cpp", 1);
	EXPECT_TRUE(logger->Read().empty());
	logger->WithAssert(true);
	for (const Case& c : {Case{"src/kernel/VFoo.cpp", "VFoo.cpp"}, Case{"VBar.cpp", "VBar.cpp"}, Case{"dir/", ""},
						  Case{"/", ""}, Case{"", ""}}) {
		SCOPED_TRACE(c.fFile);
		logger->LogAssertIfNecessary("x > 0", c.fFile, 42);
		const std::vector<const VValueBag*> bags = logger->Read();
		ASSERT_EQ(bags.size(), 1u);
		EXPECT_EQ(ILoggerBagKeys::level.Get(*bags[0]), EML_Assert);
		EXPECT_EQ(Message(bags[0]), "x > 0");
		EXPECT_EQ(StringOf(bags[0], ILoggerBagKeys::file_name), c.fName);
		sLONG line = 0;
		EXPECT_TRUE(bags[0]->GetLong(ILoggerBagKeys::line_number, line));
		EXPECT_EQ(line, 42);
		const std::string crawl = StringOf(bags[0], ILoggerBagKeys::stack_crawl);
		EXPECT_NE(crawl.find(" <- "), std::string::npos) << crawl;
		EXPECT_EQ(crawl.find('\n'), std::string::npos) << crawl;
		bags[0]->Release();
	}
}

} // namespace
} // namespace qirn
