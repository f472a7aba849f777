// Value arrays against the standard library: Sort of 10 million longs and
// reals in five shapes against std::sort, Sort of 1 million words against
// std::sort with ICU's Collator, and 1 million appends against
// std::vector::push_back (appends must stay linear).
#include "core/VArrayLong.h"
#include "core/VArrayReal.h"
#include "core/VArrayString.h"
#include "core/VIntlMgr.h"
#include "runtime/VTask.h"

#include <benchmark/benchmark.h>
#include <unicode/coll.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

using namespace qirn;

namespace {

constexpr int kSortCount = 10'000'000;
constexpr int kWordCount = 1'000'000;
constexpr int kAppendCount = 1'000'000;

enum Shape { kRandom, kSorted, kReversed, kOrganPipe, kAllEqual };

template <typename T>
const std::vector<T>& Values(Shape inShape)
{
	static std::vector<T> shapes[5];
	std::vector<T>& values = shapes[inShape];
	if (values.empty()) {
		values.resize(kSortCount);
		std::mt19937 random(42);
		for (int i = 0; i < kSortCount; ++i) {
			switch (inShape) {
				case kRandom:
					values[i] = static_cast<T>(random()) / (sizeof(T) == 8 ? 7 : 1);
					break;
				case kSorted:
					values[i] = static_cast<T>(i);
					break;
				case kReversed:
					values[i] = static_cast<T>(kSortCount - i);
					break;
				case kOrganPipe:
					values[i] = static_cast<T>(i < kSortCount / 2 ? i : kSortCount - i);
					break;
				case kAllEqual:
					values[i] = static_cast<T>(7);
					break;
			}
		}
	}
	return values;
}

template <class Array, typename T>
void SortOurs(benchmark::State& state, Shape inShape)
{
	const std::vector<T>& source = Values<T>(inShape);
	Array array(kSortCount);
	for (auto _ : state) {
		state.PauseTiming();
		std::memcpy(array.LockAndGetData(), source.data(), source.size() * sizeof(T));
		state.ResumeTiming();
		array.Sort(1, kSortCount, 0);
		benchmark::DoNotOptimize(array.LockAndGetData());
	}
	state.SetItemsProcessed(state.iterations() * kSortCount);
}

template <typename T>
void SortPeer(benchmark::State& state, Shape inShape)
{
	const std::vector<T>& source = Values<T>(inShape);
	std::vector<T> values(source.size());
	for (auto _ : state) {
		state.PauseTiming();
		std::memcpy(values.data(), source.data(), source.size() * sizeof(T));
		state.ResumeTiming();
		std::sort(values.begin(), values.end());
		benchmark::DoNotOptimize(values.data());
	}
	state.SetItemsProcessed(state.iterations() * kSortCount);
}

#define QIRN_SORT_BENCH(Name, Array, T, Shape)                                                                         \
	void BM_Sort10M##Name##_Ours(benchmark::State& state)                                                          \
	{                                                                                                              \
		SortOurs<Array, T>(state, Shape);                                                                          \
	}                                                                                                              \
	BENCHMARK(BM_Sort10M##Name##_Ours)->Unit(benchmark::kMillisecond);                                             \
	void BM_Sort10M##Name##_Peer(benchmark::State& state)                                                          \
	{                                                                                                              \
		SortPeer<T>(state, Shape);                                                                                 \
	}                                                                                                              \
	BENCHMARK(BM_Sort10M##Name##_Peer)->Unit(benchmark::kMillisecond);

QIRN_SORT_BENCH(LongRandom, VArrayLong, sLONG, kRandom)
QIRN_SORT_BENCH(LongSorted, VArrayLong, sLONG, kSorted)
QIRN_SORT_BENCH(LongReversed, VArrayLong, sLONG, kReversed)
QIRN_SORT_BENCH(LongOrganPipe, VArrayLong, sLONG, kOrganPipe)
QIRN_SORT_BENCH(LongAllEqual, VArrayLong, sLONG, kAllEqual)
QIRN_SORT_BENCH(RealRandom, VArrayReal, Real, kRandom)
QIRN_SORT_BENCH(RealSorted, VArrayReal, Real, kSorted)
QIRN_SORT_BENCH(RealReversed, VArrayReal, Real, kReversed)
QIRN_SORT_BENCH(RealOrganPipe, VArrayReal, Real, kOrganPipe)
QIRN_SORT_BENCH(RealAllEqual, VArrayReal, Real, kAllEqual)

// ---------------------------------------------------------------------------
// Words, compared as a person reads them

// Short lowercase words with a few capitals and accents, repeatable.
const std::vector<VString>& Words()
{
	static std::vector<VString> words;
	if (words.empty()) {
		static const char16_t kLetters[] = u"abcdefghijklmnopqrstuvwxyzABCDE\u00E9\u00E8\u00FC\u00E7";
		const int letterCount = static_cast<int>(std::char_traits<char16_t>::length(kLetters));
		std::mt19937 random(7);
		words.reserve(kWordCount);
		for (int i = 0; i < kWordCount; ++i) {
			char16_t word[12];
			const int length = 3 + static_cast<int>(random() % 8);
			for (int k = 0; k < length; ++k)
				word[k] = kLetters[random() % static_cast<unsigned>(letterCount)];
			words.emplace_back(reinterpret_cast<const UniChar*>(word), length);
		}
	}
	return words;
}

// The current task compares in US English, as the peer does.
void UseUSEnglish()
{
	if (VTask::GetCurrentIntlManager()->GetDialectCode() != DC_ENGLISH_US)
		VTask::SetCurrentDialectCode(DC_ENGLISH_US);
}

void BM_SortWords1M_Ours(benchmark::State& state)
{
	UseUSEnglish();
	VArrayString source(kWordCount);
	const std::vector<VString>& words = Words();
	for (int i = 0; i < kWordCount; ++i)
		source.FromString(words[static_cast<size_t>(i)], i + 1);
	VArrayString array;
	for (auto _ : state) {
		state.PauseTiming();
		array.Copy(source);
		state.ResumeTiming();
		array.Sort(1, kWordCount, 0);
		benchmark::DoNotOptimize(array.LockAndGetData());
	}
	state.SetItemsProcessed(state.iterations() * kWordCount);
}
BENCHMARK(BM_SortWords1M_Ours)->Unit(benchmark::kMillisecond);

// The array's order: accents and case count (tertiary strength).
void BM_SortWords1M_Peer(benchmark::State& state)
{
	UErrorCode status = U_ZERO_ERROR;
	std::unique_ptr<icu::Collator> collator(icu::Collator::createInstance(icu::Locale("en_US"), status));
	collator->setStrength(icu::Collator::TERTIARY);
	collator->setAttribute(UCOL_NORMALIZATION_MODE, UCOL_ON, status);
	const std::vector<VString>& source = Words();
	std::vector<VString> words;
	for (auto _ : state) {
		state.PauseTiming();
		words = source;
		state.ResumeTiming();
		std::sort(words.begin(), words.end(), [&collator](const VString& inA, const VString& inB) {
			UErrorCode error = U_ZERO_ERROR;
			return collator->compare(inA.GetCPointer(), inA.GetLength(), inB.GetCPointer(), inB.GetLength(),
									 error) == UCOL_LESS;
		});
		benchmark::DoNotOptimize(words.data());
	}
	state.SetItemsProcessed(state.iterations() * kWordCount);
}
BENCHMARK(BM_SortWords1M_Peer)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Appends one by one

void BM_AppendLong1M_Ours(benchmark::State& state)
{
	for (auto _ : state) {
		VArrayLong array;
		for (int i = 0; i < kAppendCount; ++i)
			array.AppendLong(i);
		benchmark::DoNotOptimize(array.LockAndGetData());
	}
	state.SetItemsProcessed(state.iterations() * kAppendCount);
}
BENCHMARK(BM_AppendLong1M_Ours)->Unit(benchmark::kMillisecond);

void BM_AppendLong1M_Peer(benchmark::State& state)
{
	for (auto _ : state) {
		std::vector<sLONG> values;
		for (int i = 0; i < kAppendCount; ++i)
			values.push_back(i);
		benchmark::DoNotOptimize(values.data());
	}
	state.SetItemsProcessed(state.iterations() * kAppendCount);
}
BENCHMARK(BM_AppendLong1M_Peer)->Unit(benchmark::kMillisecond);

void BM_AppendString1M_Ours(benchmark::State& state)
{
	const std::vector<VString>& words = Words();
	for (auto _ : state) {
		VArrayString array;
		for (int i = 0; i < kAppendCount; ++i)
			array.AppendString(words[static_cast<size_t>(i)]);
		benchmark::DoNotOptimize(array.LockAndGetData());
	}
	state.SetItemsProcessed(state.iterations() * kAppendCount);
}
BENCHMARK(BM_AppendString1M_Ours)->Unit(benchmark::kMillisecond);

void BM_AppendString1M_Peer(benchmark::State& state)
{
	const std::vector<VString>& words = Words();
	for (auto _ : state) {
		std::vector<VString> strings;
		for (int i = 0; i < kAppendCount; ++i)
			strings.push_back(words[static_cast<size_t>(i)]);
		benchmark::DoNotOptimize(strings.data());
	}
	state.SetItemsProcessed(state.iterations() * kAppendCount);
}
BENCHMARK(BM_AppendString1M_Peer)->Unit(benchmark::kMillisecond);

} // namespace
