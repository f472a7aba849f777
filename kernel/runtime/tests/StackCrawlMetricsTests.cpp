#include "core/VLeaksChecker.h"
#include "core/VString.h"
#include "runtime/VSystem.h"
#include "runtime/VMetricsManager.h"
#include "runtime/platform/XLinuxStackCrawl.h"
#include "runtime/platform/XLinuxSystem.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <thread>

namespace qirn {
namespace {

__attribute__((noinline)) void LoadInto(XLinuxStackCrawl& ioCrawl, uint32 inSkip, uint32 inMax)
{
	ioCrawl.LoadFrames(inSkip, inMax);
	asm volatile("" ::: "memory"); // not a tail call: this frame stays on the stack
}

std::string DumpToText(const XLinuxStackCrawl& inCrawl)
{
	char* text = nullptr;
	size_t size = 0;
	FILE* file = ::open_memstream(&text, &size);
	inCrawl.Dump(file);
	std::fclose(file);
	std::string result(text, size);
	std::free(text);
	return result;
}

TEST(StackCrawl, KeepsFramesAfterTheSkippedOnes)
{
	XLinuxStackCrawl crawl;
	EXPECT_EQ(crawl.GetCount(), 0);
	LoadInto(crawl, 0, 4);
	ASSERT_EQ(crawl.GetCount(), 4);
	// Innermost first: the crawl's own loader (exported by the kernel
	// library; a sanitizer may add its own frame before it), then this
	// file's helper, which the dynamic linker does not know by name.
	int32 loader = 0;
	while (loader < 3 && XLinuxStackCrawl::GetSymbolName(crawl.GetFrame(loader)) !=
							 "qirn::XLinuxStackCrawl::LoadFrames(unsigned int, unsigned int)")
		++loader;
	ASSERT_LT(loader, 3);
	EXPECT_EQ(XLinuxStackCrawl::GetSymbolName(crawl.GetFrame(loader + 1)), "<inline>");

	XLinuxStackCrawl skipped;
	LoadInto(skipped, static_cast<uint32>(loader + 1), 2);
	ASSERT_EQ(skipped.GetCount(), 2);
	EXPECT_EQ(skipped.GetFrame(0), crawl.GetFrame(loader + 1));
}

TEST(StackCrawl, CountIsClampedToFortyEight)
{
	// Deep enough: recurse past 48 frames.
	struct Recurse {
		static __attribute__((noinline)) void Down(int inDepth, XLinuxStackCrawl& ioCrawl)
		{
			if (inDepth == 0)
				ioCrawl.LoadFrames(0, 1000);
			else
				Down(inDepth - 1, ioCrawl);
			asm volatile("" ::: "memory");
		}
	};
	XLinuxStackCrawl crawl;
	Recurse::Down(60, crawl);
	EXPECT_EQ(crawl.GetCount(), XLinuxStackCrawl::kMaxFrames);
}

TEST(StackCrawl, SkipBeyondTheStackGivesNothing)
{
	XLinuxStackCrawl crawl;
	LoadInto(crawl, 0, 5);
	LoadInto(crawl, 1000, 8);
	EXPECT_EQ(crawl.GetCount(), 0);
	EXPECT_EQ(DumpToText(crawl), "");
}

TEST(StackCrawl, FileDumpNumbersFramesDownToZero)
{
	XLinuxStackCrawl crawl;
	LoadInto(crawl, 0, 3);
	ASSERT_EQ(crawl.GetCount(), 3);
	std::string text = DumpToText(crawl);
	size_t two = text.find("  :: frame 2: ");
	size_t one = text.find("  :: frame 1: ");
	size_t zero = text.find("  :: frame 0: ");
	EXPECT_EQ(two, 0u);
	EXPECT_LT(two, one);
	EXPECT_LT(one, zero);
	EXPECT_EQ(text.back(), '\n');
}

TEST(StackCrawl, TextDumpAppendsNumberedLines)
{
	XLinuxStackCrawl crawl;
	LoadInto(crawl, 0, 3);
	ASSERT_EQ(crawl.GetCount(), 3);
	VString text("head\n");
	crawl.Dump(text);

	VString expected("head\n");
	for (int32 i = 0; i < 3; ++i) {
		VString address, symbol;
		address.FromHexLong(static_cast<sLONG8>(reinterpret_cast<uintptr_t>(crawl.GetFrame(i))), true);
		XLinuxStackCrawl::GetSymbolName(crawl.GetFrame(i), symbol);
		expected.AppendCString("   {");
		expected.AppendLong(2 - i);
		expected.AppendCString("} ");
		expected.AppendString(address);
		expected.AppendCString(" - ");
		expected.AppendString(symbol);
		expected.AppendUniChar(u'\n');
	}
	EXPECT_TRUE(text.EqualToStringRaw(expected));

	XLinuxStackCrawl empty;
	VString untouched("x");
	empty.Dump(untouched);
	EXPECT_TRUE(untouched.EqualToStringRaw(VString("x")));
}

TEST(StackCrawl, SymbolNamesAsText)
{
	int local = 0;
	VString name;
	XLinuxStackCrawl::GetSymbolName(&local, name);
	EXPECT_TRUE(name.EqualToStringRaw(VString("<inline>")));
	VSystem::DemangleSymbol("_ZN4qirn16XLinuxStackCrawl10LoadFramesEjj", name);
	EXPECT_TRUE(name.EqualToStringRaw(VString("qirn::XLinuxStackCrawl::LoadFrames(unsigned int, unsigned int)")));
	VSystem::DemangleSymbol("plain_c_name", name);
	EXPECT_TRUE(name.EqualToStringRaw(VString("plain_c_name")));
}

TEST(StackCrawl, AnAddressOutsideEverySymbolIsInline)
{
	int local = 0;
	EXPECT_EQ(XLinuxStackCrawl::GetSymbolName(&local), "<inline>");
	EXPECT_EQ(XLinuxStackCrawl::GetSymbolName(nullptr), "<inline>");
}

TEST(StackCrawl, OrderIsStrict)
{
	XLinuxStackCrawl none, one, other;
	LoadInto(one, 0, 1);
	LoadInto(other, 0, 2);
	EXPECT_TRUE(none < one);
	EXPECT_FALSE(one < none);
	EXPECT_TRUE(one < other);
	EXPECT_FALSE(one < one);
}

TEST(StackCrawl, Demangling)
{
	EXPECT_EQ(XLinuxSystem::DemangleSymbol("_ZN4qirn16XLinuxStackCrawl10LoadFramesEjj"),
			  "qirn::XLinuxStackCrawl::LoadFrames(unsigned int, unsigned int)");
	EXPECT_EQ(XLinuxSystem::DemangleSymbol("main"), "main");
	EXPECT_EQ(XLinuxSystem::DemangleSymbol("_Znot valid"), "_Znot valid");
}

TEST(LeaksChecker, RegistersOnlyWhileTheCheckIsOn)
{
	VLeaksChecker checker;
	XLinuxStackCrawl crawl;
	checker.RegisterBlock(crawl);
	EXPECT_EQ(crawl.GetCount(), 0);
	EXPECT_EQ(checker.GetLiveBlockCount(), 0);

	checker.SetLeaksCheck(true);
	checker.SetStackFramesToSkip(0);
	checker.RegisterBlock(crawl);
	EXPECT_GT(crawl.GetCount(), 0);
	EXPECT_LE(crawl.GetCount(), 8);
	EXPECT_EQ(checker.GetLiveBlockCount(), 1);
	checker.UnregisterBlock(crawl);
	EXPECT_EQ(checker.GetLiveBlockCount(), 0);

	XLinuxStackCrawl empty;
	checker.SetStackFramesToSkip(10000);
	checker.RegisterBlock(empty);
	EXPECT_EQ(empty.GetCount(), 0);
	EXPECT_EQ(checker.GetLiveBlockCount(), 0);
	checker.UnregisterBlock(empty);
	EXPECT_EQ(checker.GetLiveBlockCount(), 0);
}

TEST(Metrics, NothingIsCollectedBeforeStart)
{
	VMetricsManager metrics;
	metrics.Push(kMetricsKindProgressIndicator, 1000);
	EXPECT_TRUE(metrics.GetRecords().empty());
}

TEST(Metrics, StartFiltersByKindAndDuration)
{
	VMetricsManager metrics;
	metrics.Start(100, 4);
	struct Case {
		uint32 fKind;
		uint64 fDuration;
		bool fKept;
	};
	const Case cases[] = {
		{2, 250, true},
		{2, 100, true},
		{2, 99, false},
		{1, 250, false},
		{34, 250, true}, // only the low five bits count
	};
	size_t kept = 0;
	for (const Case& c : cases) {
		metrics.Push(static_cast<EMetricsKind>(c.fKind), c.fDuration);
		if (c.fKept)
			++kept;
		EXPECT_EQ(metrics.GetRecords().size(), kept) << c.fKind << " " << c.fDuration;
	}
	std::vector<VMetricsManager::Record> records = metrics.GetRecords();
	ASSERT_EQ(records.size(), 3u);
	EXPECT_EQ(records[0].fDuration, 250u); // oldest first
	EXPECT_EQ(records[1].fDuration, 100u);
}

TEST(Metrics, ResetStopsCollectionUntilTheNextStart)
{
	VMetricsManager metrics;
	metrics.Start(0, 0xFFFFFFFF);
	metrics.Push(kMetricsKindProgressIndicator, 5);
	metrics.Reset();
	EXPECT_TRUE(metrics.GetRecords().empty());
	metrics.Push(kMetricsKindProgressIndicator, 5);
	EXPECT_TRUE(metrics.GetRecords().empty());
	metrics.Start(0, 4);
	metrics.Push(kMetricsKindProgressIndicator, 5);
	EXPECT_EQ(metrics.GetRecords().size(), 1u);
}

TEST(Metrics, ConcurrentPushesAreAllKept)
{
	VMetricsManager metrics;
	metrics.Start(0, 4);
	std::vector<std::thread> threads;
	for (int t = 0; t < 4; ++t) {
		threads.emplace_back([&]() {
			for (int i = 0; i < 500; ++i)
				metrics.Push(kMetricsKindProgressIndicator, static_cast<uint64>(i));
		});
	}
	for (std::thread& thread : threads)
		thread.join();
	EXPECT_EQ(metrics.GetRecords().size(), 2000u);
}

} // namespace
} // namespace qirn
