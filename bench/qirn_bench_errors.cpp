// Error scopes: raising an error inside a scope that filters its code, and
// opening and closing an empty scope, 1,000,000 times each. The peer is a
// per-thread stack of contexts, each a std::vector of std::system_error
// objects with its filtered std::error_code values, raising by constructing
// a std::system_error (code and message) and pushing it on the top context.
#include "files/VStream.h"
#include "runtime/VError.h"
#include "runtime/VErrorContext.h"
#include "runtime/VTask.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <system_error>
#include <vector>

namespace {

constexpr int kCount = 1000000;

// The peer's error stack.
struct PeerContext {
	std::vector<std::system_error> fErrors;
	std::vector<std::error_code> fFiltered;
	bool fDropping = false;
};

thread_local std::vector<PeerContext> tPeerStack;

class PeerScope {
public:
	explicit PeerScope(std::vector<std::error_code>&& inFiltered = {})
	{
		tPeerStack.emplace_back();
		tPeerStack.back().fFiltered = std::move(inFiltered);
	}
	~PeerScope()
	{
		PeerContext top = std::move(tPeerStack.back());
		tPeerStack.pop_back();
		if (!top.fDropping && !tPeerStack.empty())
			for (std::system_error& error : top.fErrors)
				tPeerStack.back().fErrors.push_back(std::move(error));
	}
};

void PeerRaise(std::error_code inCode)
{
	PeerContext& top = tPeerStack.back();
	top.fErrors.emplace_back(inCode);
	for (auto context = tPeerStack.rbegin(); context != tPeerStack.rend(); ++context)
		if (std::find(context->fFiltered.begin(), context->fFiltered.end(), inCode) != context->fFiltered.end()) {
			top.fDropping = true;
			break;
		}
}

void BM_FilteredRaise_Ours(benchmark::State& state)
{
	for (auto _ : state) {
		for (int i = 0; i < kCount; ++i) {
			qirn::StErrorContextInstaller scope({qirn::VE_STREAM_EOF});
			qirn::_ThrowError(qirn::VE_STREAM_EOF);
		}
		benchmark::DoNotOptimize(qirn::VTask::GetLastError());
	}
	state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_FilteredRaise_Ours)->Unit(benchmark::kMillisecond);

void BM_FilteredRaise_Peer(benchmark::State& state)
{
	const std::error_code eof = std::make_error_code(std::errc::io_error);
	PeerScope bottom;
	for (auto _ : state) {
		for (int i = 0; i < kCount; ++i) {
			PeerScope scope({eof});
			PeerRaise(eof);
		}
		benchmark::DoNotOptimize(tPeerStack.back().fErrors.size());
	}
	state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_FilteredRaise_Peer)->Unit(benchmark::kMillisecond);

void BM_EmptyScope_Ours(benchmark::State& state)
{
	for (auto _ : state) {
		for (int i = 0; i < kCount; ++i) {
			qirn::StErrorContextInstaller scope;
			benchmark::DoNotOptimize(scope.GetContext());
		}
	}
	state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_EmptyScope_Ours)->Unit(benchmark::kMillisecond);

void BM_EmptyScope_Peer(benchmark::State& state)
{
	PeerScope bottom;
	for (auto _ : state) {
		for (int i = 0; i < kCount; ++i) {
			PeerScope scope;
			benchmark::DoNotOptimize(tPeerStack.back());
		}
	}
	state.SetItemsProcessed(state.iterations() * kCount);
}
BENCHMARK(BM_EmptyScope_Peer)->Unit(benchmark::kMillisecond);

} // namespace

