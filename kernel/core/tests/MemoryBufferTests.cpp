#include "TestPool.h"
#include "testing/TempFolder.h"

#include "core/VLeaksChecker.h"
#include "core/VMemStats.h"
#include "core/VMemoryBuffer.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace qirn {
namespace {

constexpr size_t kMiB = 1024 * 1024;

TEST(MemoryBuffer, AmortizedGrowth)
{
	struct Case {
		size_t fNeeded;
		size_t fCapacity;
	};
	const Case cases[] = {
		{1, 1024},
		{1024, 2048},
		{3000, 5120},
		{10 * kMiB, 11 * kMiB},
	};
	for (const Case& c : cases) {
		VMemoryBuffer<> buffer;
		ASSERT_TRUE(buffer._EnlargeAmortized(c.fNeeded)) << c.fNeeded;
		EXPECT_EQ(buffer.GetAllocatedSize(), c.fCapacity) << c.fNeeded;
		EXPECT_EQ(buffer.GetDataSize(), 0u);
	}
}

TEST(MemoryBuffer, AppendsKeepEveryByteAcrossGrowth)
{
	VMemoryBuffer<> buffer;
	std::string expected;
	for (int i = 0; i < 2000; ++i) {
		std::string piece = std::to_string(i) + ",";
		ASSERT_TRUE(buffer.AddData(piece.data(), piece.size()));
		expected += piece;
	}
	ASSERT_EQ(buffer.GetDataSize(), expected.size());
	EXPECT_EQ(std::string(static_cast<const char*>(buffer.GetDataPtr()), buffer.GetDataSize()), expected);
	EXPECT_GE(buffer.GetAllocatedSize(), expected.size());
	EXPECT_EQ(buffer.GetAllocatedSize() % 1024, 0u);
}

TEST(MemoryBuffer, PutDataAndSetSizeZeroTheGap)
{
	VMemoryBuffer<> buffer;
	ASSERT_TRUE(buffer.AddData("ab", 2));
	ASSERT_TRUE(buffer.PutData(5, "xy", 2));
	ASSERT_EQ(buffer.GetDataSize(), 7u);
	EXPECT_EQ(std::string(static_cast<const char*>(buffer.GetDataPtr()), 7), std::string("ab\0\0\0xy", 7));
	ASSERT_TRUE(buffer.SetSize(9));
	EXPECT_EQ(static_cast<const char*>(buffer.GetDataPtr())[8], 0);
	ASSERT_TRUE(buffer.SetSize(1));
	EXPECT_EQ(buffer.GetDataSize(), 1u);
}

// The data a buffer is given may be its own: the source must be found again
// after a growth moves the block, and may overlap the place it goes to.
TEST(MemoryBuffer, ASourceInsideTheBufferSurvivesGrowthAndOverlap)
{
	struct Case {
		const char* fName;
		size_t fFilled; // bytes in the buffer before the write (capacity 1,024)
		bool fAppend;	// AddData, else PutData at fTarget
		size_t fSource;
		size_t fLength;
		size_t fTarget;
	};
	const Case cases[] = {
		{"append all of a full buffer", 1024, true, 0, 1024, 0},
		{"append a middle piece of a full buffer", 1024, true, 100, 500, 0},
		{"put over the end, overlapping the source", 1024, false, 0, 1024, 1000},
		{"put past a gap, growing", 1024, false, 10, 100, 1500},
		{"put inside, overlapping, no growth", 600, false, 0, 400, 100},
		{"put inside, overlapping backwards, no growth", 600, false, 100, 400, 0},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VMemoryBuffer<> buffer;
		std::string model;
		for (size_t i = 0; i < c.fFilled; ++i)
			model += static_cast<char>('a' + i % 26 + (i / 26) % 3);
		ASSERT_TRUE(buffer.SetAllocatedSize(1024));
		ASSERT_TRUE(buffer.AddData(model.data(), model.size()));
		ASSERT_EQ(buffer.GetAllocatedSize(), 1024u);

		const char* source = static_cast<const char*>(buffer.GetDataPtr()) + c.fSource;
		std::string piece = model.substr(c.fSource, c.fLength);
		size_t target = c.fAppend ? model.size() : c.fTarget;
		if (target + piece.size() > model.size())
			model.resize(target + piece.size(), '\0');
		model.replace(target, piece.size(), piece);
		ASSERT_TRUE(c.fAppend ? buffer.AddData(source, c.fLength) : buffer.PutData(c.fTarget, source, c.fLength));
		ASSERT_EQ(buffer.GetDataSize(), model.size());
		EXPECT_EQ(std::string(static_cast<const char*>(buffer.GetDataPtr()), buffer.GetDataSize()), model);
	}
}

TEST(MemoryBuffer, CopiesAreExactAndIndependent)
{
	VMemoryBuffer<> source;
	ASSERT_TRUE(source.AddData("hello", 5));
	VMemoryBuffer<> copy(source);
	EXPECT_EQ(copy.GetAllocatedSize(), 5u);
	EXPECT_EQ(std::string(static_cast<const char*>(copy.GetDataPtr()), 5), "hello");
	static_cast<char*>(copy.GetDataPtr())[0] = 'j';
	EXPECT_EQ(static_cast<const char*>(source.GetDataPtr())[0], 'h');

	VMemoryBuffer<> empty;
	copy = empty;
	EXPECT_EQ(copy.GetDataPtr(), nullptr);
	EXPECT_EQ(copy.GetAllocatedSize(), 0u);

	VMemoryBuffer<> moved(std::move(source));
	EXPECT_EQ(source.GetDataPtr(), nullptr);
	EXPECT_EQ(moved.GetDataSize(), 5u);
}

TEST(MemoryBuffer, HandsOutAndTakesOverItsBlock)
{
	VMemoryBuffer<> buffer;
	ASSERT_TRUE(buffer.AddData("abc", 3));
	void* data = nullptr;
	size_t size = 0, capacity = 0;
	buffer.ForgetData(&data, &size, &capacity);
	EXPECT_EQ(buffer.GetDataPtr(), nullptr);
	EXPECT_EQ(size, 3u);
	VMemoryBuffer<> other;
	other.SetDataPtr(data, size, capacity);
	EXPECT_EQ(std::string(static_cast<const char*>(other.GetDataPtr()), 3), "abc");
}

TEST(MemoryBuffer, RefusedGrowthLeavesTheBufferAsItWas)
{
	VMemoryBuffer<> buffer;
	ASSERT_TRUE(buffer.AddData("keep", 4));
	const void* before = buffer.GetDataPtr();
	volatile size_t huge = SIZE_MAX;
	EXPECT_FALSE(buffer.AddData("x", huge));
	EXPECT_FALSE(buffer._EnlargeAmortized(SIZE_MAX - 10));
	EXPECT_EQ(buffer.GetDataPtr(), before);
	EXPECT_EQ(buffer.GetDataSize(), 4u);
	EXPECT_EQ(buffer.GetAllocatedSize(), 1024u);
}

TEST(MemoryBuffer, FallsBackToTheExactSizeWhenTheAmortizedOneIsRefused)
{
	// A pool manager whose pools hold 3 MiB each: 2.5 MiB amortizes to more
	// than a pool has, so only the exact request can be served.
	testing::StTestPools pools;
	std::unique_ptr<VCppMemMgr> manager(new VCppMemMgr(eAllocator_Pools));
	ASSERT_TRUE(manager->AddVirtualAllocation(12 * kMiB, nullptr, false));
	{
		VMemoryBuffer<> buffer(manager.get());
		const size_t needed = 2 * kMiB + kMiB / 2;
		ASSERT_TRUE(buffer._EnlargeAmortized(needed));
		EXPECT_EQ(buffer.GetAllocatedSize(), needed);
	}
	size_t allocated = 0, used = 0;
	manager->GetMemUsageInfo(allocated, used);
	EXPECT_EQ(used, 0u) << "the buffer gives its block back to its own manager";
}

TEST(MemStats, ClearEmptiesFiguresAndMaps)
{
	VMemStats stats;
	stats.fUsedMem = 10;
	stats.fNbBigBlocks = 2;
	stats.AddObject("VString", 64);
	stats.AddTaggedBlock('memb', 128);
	stats.fPagesBySize[8168].fFull = 1;
	stats.Clear();
	EXPECT_EQ(stats.fUsedMem, 0u);
	EXPECT_EQ(stats.fNbBigBlocks, 0u);
	EXPECT_EQ(stats.fNbObjects, 0u);
	EXPECT_TRUE(stats.fObjectsByClass.empty());
	EXPECT_TRUE(stats.fBlocksByTag.empty());
	EXPECT_TRUE(stats.fPagesBySize.empty());
}

TEST(MemStats, ReportLines)
{
	VMemStats stats;
	stats.fUsedMem = 300;
	stats.fFreeMem = 20;
	stats.fBiggestFreeBlock = 16;
	stats.AddObject("VString", 64);
	stats.AddObject("VString", 32);
	stats.AddTaggedBlock('memb', 128);
	EXPECT_EQ(stats.GetReport(),
			  "Used Mem = 300\nFree Mem = 20\nBiggest Free Block = 16\n\n\n"
			  "Nb Objects = 2\n\n\n"
			  "VString : 2   ,  mem = 96\n\n\n"
			  "Blocks by Tags\n\n\n"
			  "memb : 1   ,  mem = 128\n");
	std::string full = stats.Dump();
	EXPECT_EQ(full.rfind(stats.GetReport(), 0), 0u);
	for (const char* line : {"Nb Big Blocks = 0\n", "Biggest Block = 0\n", "Small Blocks", "Allocation Pages",
							 "Other Big Blocks"})
		EXPECT_NE(full.find(line), std::string::npos) << line;
}

class LeaksReport : public ::testing::Test {
protected:
	std::vector<std::string> ReportLines(VLeaksChecker& inChecker)
	{
		FILE* file = inChecker.OpenDumpFileFor((fRoot / "Demo.app/Contents/MacOS/Demo").c_str(), "run");
		EXPECT_NE(file, nullptr);
		if (file != nullptr)
			std::fclose(file);
		std::ifstream in(fRoot / "Demo.run.leaks");
		std::vector<std::string> lines;
		for (std::string line; std::getline(in, line);)
			lines.push_back(line);
		return lines;
	}
	testing::TempFolder fRoot;
};

TEST_F(LeaksReport, CountSentences)
{
	VLeaksChecker checker;
	auto lines = ReportLines(checker);
	ASSERT_EQ(lines.size(), 2u);
	EXPECT_NE(lines[0].find(", "), std::string::npos) << "date line";
	EXPECT_EQ(lines[1], "No memory leaks.");

	checker.CountRegisteredBlock(3);
	checker.CountRegisteredBlock(0); // no frame captured: not counted
	lines = ReportLines(checker);
	ASSERT_EQ(lines.size(), 3u);
	EXPECT_EQ(lines[1], "You have one leak:");
	EXPECT_EQ(lines[2], "");

	checker.CountRegisteredBlock(1);
	checker.CountRegisteredBlock(1);
	EXPECT_EQ(ReportLines(checker).at(1), "You have 3 leaks:");
	checker.CountUnregisteredBlock(2);
	EXPECT_EQ(checker.GetLiveBlockCount(), 2);
}

TEST_F(LeaksReport, SwitchAndUnwritablePlaces)
{
	VLeaksChecker checker;
	EXPECT_FALSE(checker.SetLeaksCheck(true));
	EXPECT_TRUE(checker.SetLeaksCheck(false));
	EXPECT_EQ(checker.GetStackFramesToSkip(), 4);
	EXPECT_EQ(checker.OpenDumpFileFor("", "run"), nullptr);
	EXPECT_EQ(checker.OpenDumpFileFor("/nonexistent-folder/X.app/Contents/MacOS/X", "run"), nullptr);
}

TEST_F(LeaksReport, APlainProgramsReportStaysInItsOwnFolder)
{
	struct Case {
		const char* fExecutable;
		const char* fReport;
	};
	const Case cases[] = {
		{"/apps/Demo.app/Contents/MacOS/Demo", "/apps/Demo.run.leaks"},
		{"/opt/tools/probe", "/opt/tools/probe.run.leaks"},
		{"/opt/tools/probe.bin", "/opt/tools/probe.run.leaks"},
		{"/opt/tools.d/probe", "/opt/tools.d/probe.run.leaks"},
		{"/probe", "/probe.run.leaks"},
		{"probe", ""},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fExecutable);
		EXPECT_EQ(VLeaksChecker::GetDumpFilePath(c.fExecutable, "run"), c.fReport);
	}

	std::filesystem::create_directory(fRoot / "tools");
	VLeaksChecker checker;
	FILE* file = checker.OpenDumpFileFor((fRoot / "tools/probe").c_str(), "run");
	ASSERT_NE(file, nullptr);
	std::fclose(file);
	EXPECT_TRUE(std::filesystem::exists(fRoot / "tools/probe.run.leaks"));
	EXPECT_FALSE(std::filesystem::exists(fRoot / "tools.run.leaks"));
}

} // namespace
} // namespace qirn
