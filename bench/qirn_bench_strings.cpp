// String building, search and decoding: VString against std::u16string and
// ICU's UnicodeString, in the same run.
#include "core/VString.h"

#include <benchmark/benchmark.h>
#include <unicode/unistr.h>

#include <codecvt>
#include <locale>
#include <string>

using namespace qirn;

namespace {

constexpr int kAppendCount = 10'000'000;
constexpr int kBuiltLength = 1 << 20;
constexpr int kSearchLength = 1 << 20;
constexpr size_t kDecodeBytes = 64u << 20;

// ---------------------------------------------------------------------------
// Appending single characters

void BM_Append_Ours(benchmark::State& state)
{
	for (auto _ : state) {
		VString s;
		for (int i = 0; i < kAppendCount; ++i)
			s.AppendUniChar(static_cast<UniChar>(u'a' + (i & 15)));
		benchmark::DoNotOptimize(s.GetCPointer());
	}
	state.SetItemsProcessed(state.iterations() * kAppendCount);
}
BENCHMARK(BM_Append_Ours)->Unit(benchmark::kMillisecond);

void BM_Append_Peer(benchmark::State& state)
{
	for (auto _ : state) {
		std::u16string s;
		for (int i = 0; i < kAppendCount; ++i)
			s.push_back(static_cast<char16_t>(u'a' + (i & 15)));
		benchmark::DoNotOptimize(s.data());
	}
	state.SetItemsProcessed(state.iterations() * kAppendCount);
}
BENCHMARK(BM_Append_Peer)->Unit(benchmark::kMillisecond);

void BM_Append_PeerICU(benchmark::State& state)
{
	for (auto _ : state) {
		icu::UnicodeString s;
		for (int i = 0; i < kAppendCount; ++i)
			s.append(static_cast<char16_t>(u'a' + (i & 15)));
		benchmark::DoNotOptimize(s.getBuffer());
	}
	state.SetItemsProcessed(state.iterations() * kAppendCount);
}
BENCHMARK(BM_Append_PeerICU)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Building 1 MB from C-string pieces

const char* const kPieces[] = {"key=", "value", "; ", "a somewhat longer piece of text, ", "42", "\n"};

void BM_Build_Ours(benchmark::State& state)
{
	for (auto _ : state) {
		VString s;
		for (int i = 0; s.GetLength() < kBuiltLength; ++i)
			s.AppendCString(kPieces[i % 6]);
		benchmark::DoNotOptimize(s.GetCPointer());
	}
	state.SetItemsProcessed(state.iterations() * kBuiltLength);
}
BENCHMARK(BM_Build_Ours)->Unit(benchmark::kMillisecond);

void BM_Build_Peer(benchmark::State& state)
{
	for (auto _ : state) {
		std::u16string s;
		for (int i = 0; s.size() < static_cast<size_t>(kBuiltLength); ++i) {
			const char* piece = kPieces[i % 6];
			s.append(piece, piece + std::char_traits<char>::length(piece));
		}
		benchmark::DoNotOptimize(s.data());
	}
	state.SetItemsProcessed(state.iterations() * kBuiltLength);
}
BENCHMARK(BM_Build_Peer)->Unit(benchmark::kMillisecond);

void BM_Build_PeerICU(benchmark::State& state)
{
	for (auto _ : state) {
		icu::UnicodeString s;
		for (int i = 0; s.length() < kBuiltLength; ++i) {
			const char* piece = kPieces[i % 6];
			s.append(icu::UnicodeString(piece, static_cast<int32_t>(std::char_traits<char>::length(piece)), US_INV));
		}
		benchmark::DoNotOptimize(s.getBuffer());
	}
	state.SetItemsProcessed(state.iterations() * kBuiltLength);
}
BENCHMARK(BM_Build_PeerICU)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Raw search in 1 MB of text

std::u16string SearchText()
{
	// English-like text with many near misses of the pattern.
	std::u16string text;
	const char16_t* words[] = {u"the ", u"needle ", u"needs ", u"need ", u"a ", u"needless ", u"haystack "};
	uint32_t seed = 7;
	while (text.size() < static_cast<size_t>(kSearchLength)) {
		seed = seed * 1103515245u + 12345u;
		text += words[(seed >> 16) % 7];
	}
	text.resize(kSearchLength - 16);
	text += u"needle in place!";
	return text;
}

const char16_t kPattern[] = u"needle in place";

void BM_Find_Ours(benchmark::State& state)
{
	std::u16string text = SearchText();
	VString haystack(text.data(), static_cast<VIndex>(text.size()));
	VString pattern(kPattern);
	for (auto _ : state)
		benchmark::DoNotOptimize(haystack.FindRawString(pattern, 1));
	state.SetBytesProcessed(state.iterations() * kSearchLength * 2);
}
BENCHMARK(BM_Find_Ours)->Unit(benchmark::kMicrosecond);

void BM_Find_Peer(benchmark::State& state)
{
	std::u16string text = SearchText();
	std::u16string pattern(kPattern);
	for (auto _ : state)
		benchmark::DoNotOptimize(text.find(pattern));
	state.SetBytesProcessed(state.iterations() * kSearchLength * 2);
}
BENCHMARK(BM_Find_Peer)->Unit(benchmark::kMicrosecond);

void BM_Find_PeerICU(benchmark::State& state)
{
	std::u16string text = SearchText();
	icu::UnicodeString haystack(text.data(), static_cast<int32_t>(text.size()));
	icu::UnicodeString pattern(kPattern);
	for (auto _ : state)
		benchmark::DoNotOptimize(haystack.indexOf(pattern));
	state.SetBytesProcessed(state.iterations() * kSearchLength * 2);
}
BENCHMARK(BM_Find_PeerICU)->Unit(benchmark::kMicrosecond);

// ---------------------------------------------------------------------------
// Decoding 64 MB of UTF-8

const std::string& DecodeText()
{
	static const std::string text = [] {
		std::string t;
		const char* pieces[] = {"plain ASCII words and numbers 12345, ", "d\xC3\xA9j\xC3\xA0 vu ",
								"\xE2\x82\xAC" "100 ", "\xF0\x9F\x98\x80 ", "\xD0\x9F\xD1\x80\xD0\xB8 "};
		for (int i = 0; t.size() < kDecodeBytes; ++i)
			t += pieces[i % 10 < 6 ? 0 : i % 5];
		t.resize(kDecodeBytes - 64);
		t += std::string(64, 'x');
		return t;
	}();
	return text;
}

void BM_Decode_Ours(benchmark::State& state)
{
	const std::string& text = DecodeText();
	for (auto _ : state) {
		VString s;
		s.FromBlock(text.data(), text.size(), VTC_UTF_8);
		benchmark::DoNotOptimize(s.GetCPointer());
	}
	state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_Decode_Ours)->Unit(benchmark::kMillisecond);

void BM_Decode_Peer(benchmark::State& state)
{
	const std::string& text = DecodeText();
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
	std::wstring_convert<std::codecvt_utf8_utf16<char16_t>, char16_t> convert;
	for (auto _ : state) {
		std::u16string s = convert.from_bytes(text);
		benchmark::DoNotOptimize(s.data());
	}
#pragma GCC diagnostic pop
	state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_Decode_Peer)->Unit(benchmark::kMillisecond);

void BM_Decode_PeerICU(benchmark::State& state)
{
	const std::string& text = DecodeText();
	for (auto _ : state) {
		icu::UnicodeString s = icu::UnicodeString::fromUTF8(icu::StringPiece(text.data(), static_cast<int32_t>(text.size())));
		benchmark::DoNotOptimize(s.getBuffer());
	}
	state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(text.size()));
}
BENCHMARK(BM_Decode_PeerICU)->Unit(benchmark::kMillisecond);

} // namespace
