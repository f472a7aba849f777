// LogMessage of a short text against spdlog's asynchronous logger with the
// overrun-oldest policy, a queue of the ring's size and one worker: both keep
// the newest entries and hand them to a sink that does nothing, off the
// logging threads. From 1 and 8 threads at once.
//
// Lines written by the file logger, handed batches of 1000 entries as the
// "Logger" task hands them, against spdlog's file sink writing the same
// line: sequence number, local time with milliseconds, source, level,
// message and attributes, one flush a batch. Both split their files at
// 10 MiB (spdlog's rotating sink) and keep five, so that the run's disk
// use stays small. From 1 thread (spdlog's single-threaded sink) and from
// 4 at once on one logger (its locked sink).
#include "bags_xml/VValueBag.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"
#include "files/PathStyles.h"
#include "files/VFolder.h"
#include "process/VLog4jMsgFileLogger.h"
#include "process/VLogger.h"

#include <benchmark/benchmark.h>
#include <spdlog/async.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/sinks/rotating_file_sink.h>
#include <spdlog/spdlog.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

class CountingListener : public qirn::VObject, public qirn::ILogListener {
public:
	void Put(const std::vector<const qirn::VValueBag*>& inBags) override
	{
		fCount.fetch_add(inBags.size(), std::memory_order_relaxed);
	}
	std::atomic<size_t> fCount{0};
};

// One logger for the whole run, its "Logger" task delivering every 100 ms;
// the process's end stops the task, and the logger is left to the exit.
qirn::VLogger& OurLogger()
{
	static qirn::VLogger* sLogger = []() {
		auto* logger = new qirn::VLogger();
		logger->Start();
		auto* listener = new CountingListener();
		logger->AddLogListener(listener);
		listener->Release();
		return logger;
	}();
	return *sLogger;
}

spdlog::logger& PeerLogger()
{
	// The logger keeps only a weak reference to its pool.
	static std::shared_ptr<spdlog::details::thread_pool> sPool =
		std::make_shared<spdlog::details::thread_pool>(qirn::VLogger::kRingSize, 1);
	static std::shared_ptr<spdlog::async_logger> sLogger = []() {
		auto sink = std::make_shared<spdlog::sinks::null_sink_mt>();
		auto logger = std::make_shared<spdlog::async_logger>("peer", sink, sPool, spdlog::async_overflow_policy::overrun_oldest);
		logger->set_level(spdlog::level::info);
		return logger;
	}();
	return *sLogger;
}

void BM_LogMessage_Ours(benchmark::State& state)
{
	qirn::VLogger& logger = OurLogger();
	const qirn::VString message("Updater starting - 2026-12-10 - 21:40:00");
	const qirn::VString source("bench");
	for (auto _ : state)
		logger.LogMessage(qirn::EML_Information, message, source);
	state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogMessage_Ours)->Threads(1)->Threads(8)->UseRealTime();

void BM_LogMessage_PeerSpdlog(benchmark::State& state)
{
	spdlog::logger& logger = PeerLogger();
	for (auto _ : state)
		logger.info("Updater starting - 2026-12-10 - 21:40:00");
	state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_LogMessage_PeerSpdlog)->Threads(1)->Threads(8)->UseRealTime();

constexpr int kBatch = 1000;
constexpr size_t kSplitBytes = 10485760;
constexpr int kFilesKept = 5;

// A folder for the run's log files, removed at exit.
const std::string& LogFolder()
{
	static const std::string sFolder = []() {
		std::string pattern = std::filesystem::temp_directory_path().string() + "/qirn-bench-logs-XXXXXX";
		if (::mkdtemp(pattern.data()) == nullptr)
			return std::string();
		std::atexit([]() {
			std::error_code ignored;
			std::filesystem::remove_all(LogFolder(), ignored);
		});
		return pattern;
	}();
	return sFolder;
}

qirn::VLog4jMsgFileLogger& OurFileLogger()
{
	static qirn::VLog4jMsgFileLogger* sLogger = []() {
		qirn::VRefPtr<qirn::VFolder> folder = qirn::VRefPtr<qirn::VFolder>::Adopt(
			new qirn::VFolder(qirn::VString((LogFolder() + "/ours/").c_str()), qirn::FPS_POSIX));
		auto* logger = new qirn::VLog4jMsgFileLogger(folder.Get(), qirn::VString("bench"));
		logger->Start(1);
		logger->SetLogMaxNumberToKeep(kFilesKept);
		return logger;
	}();
	return *sLogger;
}

// Each thread's own entries: a bag is not shared between tasks.
std::vector<qirn::VRefPtr<qirn::VValueBag>> MakeBatch(bool inWithAttributes)
{
	std::vector<qirn::VRefPtr<qirn::VValueBag>> bags;
	for (int i = 0; i < kBatch; ++i) {
		auto bag = qirn::VRefPtr<qirn::VValueBag>::Adopt(new qirn::VValueBag());
		bag->SetString(qirn::ILoggerBagKeys::message, qirn::VString("Updater starting - 2026-12-10 - 21:40:00"));
		bag->SetString(qirn::ILoggerBagKeys::source, qirn::VString("bench"));
		if (inWithAttributes) {
			bag->SetLong(qirn::ILoggerBagKeys::task_id, 12);
			bag->SetString(qirn::ILoggerBagKeys::task_name, qirn::VString("Updater"));
			bag->SetString(qirn::ILoggerBagKeys::file_name, qirn::VString("VUpdaterRun.cpp"));
		}
		bags.push_back(bag);
	}
	return bags;
}

void FileLinesOurs(benchmark::State& state, bool inWithAttributes)
{
	qirn::VLog4jMsgFileLogger& logger = OurFileLogger();
	const std::vector<qirn::VRefPtr<qirn::VValueBag>> bags = MakeBatch(inWithAttributes);
	std::vector<const qirn::VValueBag*> batch;
	for (const auto& bag : bags)
		batch.push_back(bag.Get());
	for (auto _ : state)
		logger.GetListener()->Put(batch);
	state.SetItemsProcessed(state.iterations() * kBatch);
}

std::shared_ptr<spdlog::logger> MakePeerFileLogger(const std::string& inName, spdlog::sink_ptr inSink)
{
	auto logger = std::make_shared<spdlog::logger>(inName, std::move(inSink));
	// The same line as ours, the sequence number coming with the message.
	logger->set_pattern("%Y-%m-%dT%H:%M:%S.%e [bench] %l - %v");
	logger->set_level(spdlog::level::info);
	return logger;
}

spdlog::logger& PeerFileLogger(bool inThreaded)
{
	static std::shared_ptr<spdlog::logger> sSingle = MakePeerFileLogger(
		"peer-file-st", std::make_shared<spdlog::sinks::rotating_file_sink_st>(LogFolder() + "/peer-st/bench.txt",
																			   kSplitBytes, kFilesKept));
	static std::shared_ptr<spdlog::logger> sThreaded = MakePeerFileLogger(
		"peer-file-mt", std::make_shared<spdlog::sinks::rotating_file_sink_mt>(LogFolder() + "/peer-mt/bench.txt",
																			   kSplitBytes, kFilesKept));
	return inThreaded ? *sThreaded : *sSingle;
}

std::atomic<unsigned long long> sPeerSequence{0};

void FileLinesPeer(benchmark::State& state, bool inWithAttributes)
{
	spdlog::logger& logger = PeerFileLogger(state.threads() > 1);
	for (auto _ : state) {
		for (int i = 0; i < kBatch; ++i) {
			const unsigned long long sequence = sPeerSequence.fetch_add(1, std::memory_order_relaxed) + 1;
			if (inWithAttributes)
				logger.info("{} Updater starting - 2026-12-10 - 21:40:00 (task={}, taskName={}, fileName={})", sequence,
							12, "Updater", "VUpdaterRun.cpp");
			else
				logger.info("{} Updater starting - 2026-12-10 - 21:40:00 ()", sequence);
		}
		logger.flush();
	}
	state.SetItemsProcessed(state.iterations() * kBatch);
}

void BM_FileLines_Ours(benchmark::State& state)
{
	FileLinesOurs(state, false);
}
BENCHMARK(BM_FileLines_Ours)->Threads(1)->Threads(4)->UseRealTime();

void BM_FileLines_Peer(benchmark::State& state)
{
	FileLinesPeer(state, false);
}
BENCHMARK(BM_FileLines_Peer)->Threads(1)->Threads(4)->UseRealTime();

void BM_FileLinesThreeAttributes_Ours(benchmark::State& state)
{
	FileLinesOurs(state, true);
}
BENCHMARK(BM_FileLinesThreeAttributes_Ours)->Threads(1)->Threads(4)->UseRealTime();

void BM_FileLinesThreeAttributes_Peer(benchmark::State& state)
{
	FileLinesPeer(state, true);
}
BENCHMARK(BM_FileLinesThreeAttributes_Peer)->Threads(1)->Threads(4)->UseRealTime();

} // namespace
