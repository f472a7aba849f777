// URLs parsed, and parsed then written back encoded: VURL against GLib's
// GUri and uriparser, in the same run. VURL and GLib decode every part and
// encode them again; uriparser keeps pointers into the text and joins them
// back, without decoding.
#include "files/VURL.h"

#include <benchmark/benchmark.h>
#include <glib.h>
#include <uriparser/Uri.h>

#include <string>
#include <vector>

using namespace qirn;

namespace {

constexpr int kURLCount = 1'000'000;
constexpr int kDistinct = 10'000;

// Web and file URLs of every shape: user information, ports, IPv6 hosts,
// parameters, queries, fragments, escapes of ASCII and of UTF-8 text.
const std::vector<std::string>& Corpus()
{
	static const std::vector<std::string> sCorpus = [] {
		const char* hosts[] = {"example.com", "ann:secret@files.example.org:8443", "[2001:db8::1]:80", "",
							   "localhost", "a-much-longer-host-name.subdomain.example.net"};
		const char* folders[] = {"docs", "Application%20Support", "caf%C3%A9", "src/kernel/files", "a%3Fb", "x"};
		const char* tails[] = {"", "?q=1&r=two", ";type=a", "#section-2", "?name=%E6%97%A5%E6%9C%AC#top",
							   "?a=b;c=d&e=%20f"};
		std::vector<std::string> urls;
		urls.reserve(kDistinct);
		for (int i = 0; i < kDistinct; ++i) {
			const char* host = hosts[i % 6];
			std::string url = *host == 0 ? "file://" : (i % 3 == 0 ? "https://" : "http://");
			url += host;
			url += "/";
			url += folders[(i / 6) % 6];
			url += "/item" + std::to_string(i) + (i % 4 == 0 ? "/" : ".txt");
			url += tails[(i / 36) % 6];
			urls.push_back(std::move(url));
		}
		return urls;
	}();
	return sCorpus;
}

const std::vector<VString>& CorpusAsStrings()
{
	static const std::vector<VString> sStrings = [] {
		std::vector<VString> strings;
		for (const std::string& url : Corpus())
			strings.emplace_back(url.c_str());
		return strings;
	}();
	return sStrings;
}

// ---------------------------------------------------------------------------
// Parsing

void BM_URLParse_Ours(benchmark::State& state)
{
	const std::vector<VString>& urls = CorpusAsStrings();
	for (auto _ : state) {
		VURL url;
		for (int i = 0; i < kURLCount; ++i) {
			url.FromString(urls[i % kDistinct], true);
			benchmark::DoNotOptimize(url.IsValid());
		}
	}
	state.SetItemsProcessed(state.iterations() * kURLCount);
}
BENCHMARK(BM_URLParse_Ours)->Unit(benchmark::kMillisecond);

void BM_URLParse_PeerGLib(benchmark::State& state)
{
	const std::vector<std::string>& urls = Corpus();
	for (auto _ : state) {
		for (int i = 0; i < kURLCount; ++i) {
			GUri* uri = g_uri_parse(urls[i % kDistinct].c_str(), G_URI_FLAGS_NONE, nullptr);
			benchmark::DoNotOptimize(uri);
			g_uri_unref(uri);
		}
	}
	state.SetItemsProcessed(state.iterations() * kURLCount);
}
BENCHMARK(BM_URLParse_PeerGLib)->Unit(benchmark::kMillisecond);

void BM_URLParse_PeerUriparser(benchmark::State& state)
{
	const std::vector<std::string>& urls = Corpus();
	for (auto _ : state) {
		for (int i = 0; i < kURLCount; ++i) {
			UriUriA uri;
			const char* error = nullptr;
			int result = uriParseSingleUriA(&uri, urls[i % kDistinct].c_str(), &error);
			benchmark::DoNotOptimize(result);
			if (result == URI_SUCCESS)
				uriFreeUriMembersA(&uri);
		}
	}
	state.SetItemsProcessed(state.iterations() * kURLCount);
}
BENCHMARK(BM_URLParse_PeerUriparser)->Unit(benchmark::kMillisecond);

// ---------------------------------------------------------------------------
// Parsing, then writing the URL back encoded from its parts

void BM_URLRoundTrip_Ours(benchmark::State& state)
{
	const std::vector<VString>& urls = CorpusAsStrings();
	for (auto _ : state) {
		VURL url;
		VString encoded;
		for (int i = 0; i < kURLCount; ++i) {
			url.FromString(urls[i % kDistinct], true);
			// Rebuilt from the parts, not the copy of the given text.
			url.GetRelativeURL(encoded, true);
			benchmark::DoNotOptimize(encoded.GetCPointer());
		}
	}
	state.SetItemsProcessed(state.iterations() * kURLCount);
}
BENCHMARK(BM_URLRoundTrip_Ours)->Unit(benchmark::kMillisecond);

void BM_URLRoundTrip_PeerGLib(benchmark::State& state)
{
	const std::vector<std::string>& urls = Corpus();
	for (auto _ : state) {
		for (int i = 0; i < kURLCount; ++i) {
			GUri* uri = g_uri_parse(urls[i % kDistinct].c_str(), G_URI_FLAGS_NONE, nullptr);
			char* text = g_uri_to_string(uri);
			benchmark::DoNotOptimize(text);
			g_free(text);
			g_uri_unref(uri);
		}
	}
	state.SetItemsProcessed(state.iterations() * kURLCount);
}
BENCHMARK(BM_URLRoundTrip_PeerGLib)->Unit(benchmark::kMillisecond);

void BM_URLRoundTrip_PeerUriparser(benchmark::State& state)
{
	const std::vector<std::string>& urls = Corpus();
	std::string text;
	for (auto _ : state) {
		for (int i = 0; i < kURLCount; ++i) {
			UriUriA uri;
			const char* error = nullptr;
			if (uriParseSingleUriA(&uri, urls[i % kDistinct].c_str(), &error) == URI_SUCCESS) {
				int needed = 0;
				uriToStringCharsRequiredA(&uri, &needed);
				text.resize(static_cast<size_t>(needed) + 1);
				uriToStringA(text.data(), &uri, needed + 1, nullptr);
				benchmark::DoNotOptimize(text.data());
				uriFreeUriMembersA(&uri);
			}
		}
	}
	state.SetItemsProcessed(state.iterations() * kURLCount);
}
BENCHMARK(BM_URLRoundTrip_PeerUriparser)->Unit(benchmark::kMillisecond);

} // namespace
