// LogMessage of a short text against spdlog's asynchronous logger with the
// overrun-oldest policy, a queue of the ring's size and one worker: both keep
// the newest entries and hand them to a sink that does nothing, off the
// logging threads. From 1 and 8 threads at once.
#include "core/VObject.h"
#include "core/VString.h"
#include "process/VLogger.h"

#include <benchmark/benchmark.h>
#include <spdlog/async.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include <atomic>
#include <memory>

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

} // namespace
