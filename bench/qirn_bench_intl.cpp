// Collated comparison, the kernel's hottest text path: VString's
// CompareToString and EqualToString against ICU's Collator::compare used
// directly, on short words, plain and accented, in the same run.
#include "core/VIntlMgr.h"
#include "core/VString.h"
#include "runtime/VTask.h"

#include <benchmark/benchmark.h>
#include <unicode/coll.h>

#include <memory>
#include <vector>

using namespace qirn;

namespace {

constexpr int kComparisons = 1'000'000;

const char* const kPlainWords[] = {"apple", "Apple", "banana", "cherry", "date", "Date", "fig", "grape",
								   "kiwi", "lemon", "lime", "mango", "melon", "olive", "peach", "pear",
								   "plum", "PLUM", "quince", "berry"};
const char* const kAccentedWords[] = {"caf\xC3\xA9", "cafe", "na\xC3\xAFve", "naive", "r\xC3\xA9sum\xC3\xA9",
									  "resume", "\xC3\xA9t\xC3\xA9", "ete", "Stra\xC3\x9F" "e", "strasse",
									  "\xC3\xBC" "ber", "uber", "fa\xC3\xA7" "ade", "facade", "ni\xC3\xB1o",
									  "nino", "co\xC3\xB6perate", "cooperate", "\xC3\x85ngstr\xC3\xB6m",
									  "angstrom"};

template <size_t N>
std::vector<VString> Words(const char* const (&inWords)[N])
{
	return std::vector<VString>(std::begin(inWords), std::end(inWords));
}

// The current task compares in US English, as the peer does.
void UseUSEnglish()
{
	if (VTask::GetCurrentIntlManager()->GetDialectCode() != DC_ENGLISH_US)
		VTask::SetCurrentDialectCode(DC_ENGLISH_US);
}

std::unique_ptr<icu::Collator> PeerCollator(bool inDiacritical)
{
	UErrorCode status = U_ZERO_ERROR;
	std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale("en_US"), status));
	collator->setStrength(inDiacritical ? icu::Collator::TERTIARY : icu::Collator::PRIMARY);
	collator->setAttribute(UCOL_NORMALIZATION_MODE, UCOL_ON, status);
	return collator;
}

// Every word against every word, round after round, for 1 million
// comparisons (the word lists have 20 words: 2500 rounds).
template <class Compare>
void Run(benchmark::State& state, const std::vector<VString>& inWords, Compare inCompare)
{
	const int rounds = kComparisons / static_cast<int>(inWords.size() * inWords.size());
	for (auto _ : state) {
		int sum = 0;
		for (int round = 0; round < rounds; ++round) {
			for (const VString& a : inWords) {
				for (const VString& b : inWords)
					sum += inCompare(a, b);
			}
		}
		benchmark::DoNotOptimize(sum);
	}
	state.SetItemsProcessed(state.iterations() * rounds * static_cast<int64_t>(inWords.size() * inWords.size()));
}

template <bool kEqual>
void RunOurs(benchmark::State& state, const std::vector<VString>& inWords, bool inDiacritical)
{
	UseUSEnglish();
	Run(state, inWords, [inDiacritical](const VString& inA, const VString& inB) {
		if constexpr (kEqual)
			return inA.EqualToString(inB, inDiacritical) ? 1 : 0;
		else
			return static_cast<int>(inA.CompareToString(inB, inDiacritical));
	});
}

template <bool kEqual>
void RunPeer(benchmark::State& state, const std::vector<VString>& inWords, bool inDiacritical)
{
	std::unique_ptr<icu::Collator> collator = PeerCollator(inDiacritical);
	Run(state, inWords, [&collator](const VString& inA, const VString& inB) {
		UErrorCode status = U_ZERO_ERROR;
		UCollationResult result =
			collator->compare(inA.GetCPointer(), inA.GetLength(), inB.GetCPointer(), inB.GetLength(), status);
		if constexpr (kEqual)
			return result == UCOL_EQUAL ? 1 : 0;
		else
			return static_cast<int>(result);
	});
}

// ---------------------------------------------------------------------------
// Plain words, accents and case ignored

void BM_ComparePlain_Ours(benchmark::State& state)
{
	RunOurs<false>(state, Words(kPlainWords), false);
}
BENCHMARK(BM_ComparePlain_Ours)->Unit(benchmark::kMillisecond);

void BM_ComparePlain_Peer(benchmark::State& state)
{
	RunPeer<false>(state, Words(kPlainWords), false);
}
BENCHMARK(BM_ComparePlain_Peer)->Unit(benchmark::kMillisecond);

void BM_EqualPlain_Ours(benchmark::State& state)
{
	RunOurs<true>(state, Words(kPlainWords), false);
}
BENCHMARK(BM_EqualPlain_Ours)->Unit(benchmark::kMillisecond);

void BM_EqualPlain_Peer(benchmark::State& state)
{
	RunPeer<true>(state, Words(kPlainWords), false);
}
BENCHMARK(BM_EqualPlain_Peer)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Accented words, accents and case ignored, then counted

void BM_CompareAccented_Ours(benchmark::State& state)
{
	RunOurs<false>(state, Words(kAccentedWords), false);
}
BENCHMARK(BM_CompareAccented_Ours)->Unit(benchmark::kMillisecond);

void BM_CompareAccented_Peer(benchmark::State& state)
{
	RunPeer<false>(state, Words(kAccentedWords), false);
}
BENCHMARK(BM_CompareAccented_Peer)->Unit(benchmark::kMillisecond);

void BM_EqualAccented_Ours(benchmark::State& state)
{
	RunOurs<true>(state, Words(kAccentedWords), false);
}
BENCHMARK(BM_EqualAccented_Ours)->Unit(benchmark::kMillisecond);

void BM_EqualAccented_Peer(benchmark::State& state)
{
	RunPeer<true>(state, Words(kAccentedWords), false);
}
BENCHMARK(BM_EqualAccented_Peer)->Unit(benchmark::kMillisecond);

void BM_CompareDiacritical_Ours(benchmark::State& state)
{
	RunOurs<false>(state, Words(kAccentedWords), true);
}
BENCHMARK(BM_CompareDiacritical_Ours)->Unit(benchmark::kMillisecond);

void BM_CompareDiacritical_Peer(benchmark::State& state)
{
	RunPeer<false>(state, Words(kAccentedWords), true);
}
BENCHMARK(BM_CompareDiacritical_Peer)->Unit(benchmark::kMillisecond);

void BM_EqualDiacritical_Ours(benchmark::State& state)
{
	RunOurs<true>(state, Words(kAccentedWords), true);
}
BENCHMARK(BM_EqualDiacritical_Ours)->Unit(benchmark::kMillisecond);

void BM_EqualDiacritical_Peer(benchmark::State& state)
{
	RunPeer<true>(state, Words(kAccentedWords), true);
}
BENCHMARK(BM_EqualDiacritical_Peer)->Unit(benchmark::kMillisecond);

} // namespace
