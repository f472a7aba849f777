// The file logger: the text of a line, the numbered files it continues and
// splits, bad folders and full disks, and starting and stopping while the
// process logger delivers.
#include "bags_xml/VValueBag.h"
#include "core/StStringConverter.h"
#include "core/VLong8.h"
#include "core/VObject.h"
#include "core/VString.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"
#include "process/VLog4jMsgFileLogger.h"
#include "process/VLogger.h"
#include "process/VProcess.h"
#include "process/VSplitableLogFile.h"
#include "runtime/VError.h"
#include "runtime/VTask.h"
#include "testing/RaisedErrors.h"
#include "testing/TempFolder.h"
#include "testing/TestChild.h"
#include "testing/TestWaits.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <sys/mount.h>
#include <functional>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace qirn {
namespace {

namespace fs = std::filesystem;

std::string UTF8(const VString& inText)
{
	StStringConverter<char> utf8(inText, VTC_UTF_8);
	return std::string(utf8.GetCPointer(), static_cast<size_t>(utf8.GetLength()));
}

std::string ReadFile(const std::string& inPath)
{
	std::ifstream file(inPath, std::ios::binary);
	std::ostringstream text;
	text << file.rdbuf();
	return text.str();
}

void WriteFile(const std::string& inPath, const std::string& inText)
{
	std::ofstream(inPath, std::ios::binary) << inText;
}

std::vector<std::string> Lines(const std::string& inText)
{
	std::vector<std::string> lines;
	size_t start = 0;
	while (start < inText.size()) {
		size_t end = inText.find('\n', start);
		if (end == std::string::npos)
			end = inText.size();
		lines.push_back(inText.substr(start, end - start));
		start = end + 1;
	}
	return lines;
}

VRefPtr<VFolder> FolderAt(const std::string& inPosixPath)
{
	return VRefPtr<VFolder>::Adopt(new VFolder(VString((inPosixPath + "/").c_str()), FPS_POSIX));
}

VRefPtr<VValueBag> Entry(const std::string& inMessage, const std::string& inSource = "app")
{
	VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag());
	bag->SetString(ILoggerBagKeys::message, VString(inMessage.c_str()));
	bag->SetString(ILoggerBagKeys::source, VString(inSource.c_str()));
	return bag;
}

// The file logger's own lines: those of a source only the test writes,
// whatever else the process logger hands it meanwhile.
std::vector<std::string> LinesOf(const std::string& inPath, const std::string& inSource)
{
	std::vector<std::string> mine;
	for (const std::string& line : Lines(ReadFile(inPath)))
		if (line.find(" [" + inSource + "] ") != std::string::npos)
			mine.push_back(line);
	return mine;
}

void Put(VLog4jMsgFileLogger& ioLogger, const std::vector<VRefPtr<VValueBag>>& inBags)
{
	std::vector<const VValueBag*> batch;
	for (const VRefPtr<VValueBag>& bag : inBags)
		batch.push_back(bag.Get());
	ioLogger.GetListener()->Put(batch);
}

// A written INFO line of a source: "<sequence> <time> [<source>] INFO - <rest>",
// the time as "YYYY-MM-DDTHH:MM:SS.mmm".
struct StParsedLine {
	bool fOK = false;
	unsigned long long fSequence = 0;
	std::string fSecond; // the time up to the seconds
	std::string fRest;
};

StParsedLine ParseInfoLine(const std::string& inLine, const std::string& inSource)
{
	StParsedLine parsed;
	size_t pos = 0;
	while (pos < inLine.size() && std::isdigit(static_cast<unsigned char>(inLine[pos])))
		++pos;
	if (pos == 0 || pos >= inLine.size() || inLine[pos] != ' ')
		return parsed;
	parsed.fSequence = std::stoull(inLine.substr(0, pos));
	const std::string time = inLine.substr(pos + 1, 23);
	const char* shape = "dddd-dd-ddTdd:dd:dd.ddd";
	if (time.size() != 23)
		return parsed;
	for (size_t i = 0; i < 23; ++i) {
		const bool digit = std::isdigit(static_cast<unsigned char>(time[i])) != 0;
		if (shape[i] == 'd' ? !digit : time[i] != shape[i])
			return parsed;
	}
	parsed.fSecond = time.substr(0, 19);
	const std::string middle = " [" + inSource + "] INFO - ";
	if (inLine.compare(pos + 24, middle.size(), middle) != 0)
		return parsed;
	parsed.fRest = inLine.substr(pos + 24 + middle.size());
	parsed.fOK = true;
	return parsed;
}

constexpr uint32 kKernelSignature = kCOMPONENT_SIGNATURE_KERNEL;

TEST(FileLogger, EntriesBecomeSourceLevelAndMessage)
{
	struct Case {
		const char* fName;
		std::function<void(VValueBag&)> fFill;
		const char* fSource;
		const char* fLevel;
		const char* fMessage;
	};
	const sLONG8 kernelError602 = (static_cast<sLONG8>(kKernelSignature) << 32) | 602;
	const Case cases[] = {
		{"plain", [](VValueBag& b) { b.SetString(ILoggerBagKeys::message, VString("hello")); b.SetString(ILoggerBagKeys::source, VString("app")); },
		 "app", "INFO", "hello ()"},
		{"error code with a signature",
		 [&](VValueBag& b) {
			 b.SetString(ILoggerBagKeys::source, VString("app"));
			 b.SetString(ILoggerBagKeys::message, VString("failed"));
			 b.SetLong8(ILoggerBagKeys::error_code, kernelError602);
			 ILoggerBagKeys::level.Set(b, EML_Error);
		 },
		 "app.qirn", "ERROR", "[602] failed ()"},
		{"a signature of 0 suppresses the suffix",
		 [&](VValueBag& b) {
			 b.SetString(ILoggerBagKeys::source, VString("app"));
			 b.SetLong8(ILoggerBagKeys::error_code, kernelError602);
			 b.SetLong(ILoggerBagKeys::component_signature, 0);
		 },
		 "app", "INFO", "[602]  ()"},
		{"a component signature of its own",
		 [](VValueBag& b) {
			 b.SetString(ILoggerBagKeys::source, VString("app"));
			 b.SetLong(ILoggerBagKeys::component_signature, static_cast<sLONG>(kKernelSignature));
			 b.SetString(ILoggerBagKeys::message, VString("m"));
		 },
		 "app.qirn", "INFO", "m ()"},
		{"an empty source takes the signature alone",
		 [](VValueBag& b) {
			 b.SetString(ILoggerBagKeys::source, VString(""));
			 b.SetLong(ILoggerBagKeys::component_signature, static_cast<sLONG>(kKernelSignature));
		 },
		 "qirn", "INFO", " ()"},
		{"a negative code keeps its sign",
		 [](VValueBag& b) {
			 b.SetString(ILoggerBagKeys::source, VString("s"));
			 b.SetLong8(ILoggerBagKeys::error_code, -43);
			 b.SetString(ILoggerBagKeys::message, VString("m"));
		 },
		 "s", "INFO", "[-43] m ()"},
		{"known attributes in stored order",
		 [](VValueBag& b) {
			 b.SetLong(ILoggerBagKeys::task_id, 5);
			 b.SetString(ILoggerBagKeys::source, VString("app"));
			 b.SetString(ILoggerBagKeys::task_name, VString("main"));
			 b.SetString(ILoggerBagKeys::message, VString("hi"));
		 },
		 "app", "INFO", "hi (task=5, taskName=main)"},
		{"line feeds of a value",
		 [](VValueBag& b) {
			 b.SetString(ILoggerBagKeys::source, VString("app"));
			 b.SetString(ILoggerBagKeys::stack_crawl, VString("a\nb\n"));
		 },
		 "app", "INFO", " (stackCrawl=a ; b ; )"},
		{"unknown keys as themselves",
		 [](VValueBag& b) {
			 b.SetString(ILoggerBagKeys::source, VString("app"));
			 b.SetString(ILoggerBagKeys::hostname, VString("box"));
			 b.SetBool(ILoggerBagKeys::is_ssl, true);
			 b.SetLong(ILoggerBagKeys::peer_port, 443);
		 },
		 "app", "INFO", " (hostname=box, SSL=true, peerPort=443)"},
		{"levels above 7 and below 0 read INFO",
		 [](VValueBag& b) {
			 b.SetString(ILoggerBagKeys::source, VString("app"));
			 b.SetLong(ILoggerBagKeys::level, -3);
		 },
		 "app", "INFO", " ()"},
		{"UTF-8 text", [](VValueBag& b) { b.SetString(ILoggerBagKeys::source, VString(u"\u00e9t\u00e9")); b.SetString(ILoggerBagKeys::message, VString(u"\u20ac \U0001F600")); },
		 "\xC3\xA9t\xC3\xA9", "INFO", "\xE2\x82\xAC \xF0\x9F\x98\x80 ()"},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag());
		c.fFill(*bag);
		VString source;
		VString message;
		EMessageLevel level = EML_Dump;
		VLog4jMsgFileLogger::GetLogInfosFromBag(bag.Get(), source, level, message);
		EXPECT_EQ(UTF8(source), c.fSource);
		EXPECT_STREQ(VLog4jMsgFileLogger::GetMessageLevelName(level), c.fLevel);
		EXPECT_EQ(UTF8(message), c.fMessage);
	}
	// Without a source, or without a bag, the process's stands in.
	const std::string processSource = UTF8(VProcess::sInstance.load()->GetLogSourceIdentifier());
	VString source;
	VString message;
	EMessageLevel level = EML_Dump;
	VLog4jMsgFileLogger::GetLogInfosFromBag(nullptr, source, level, message);
	EXPECT_EQ(UTF8(source), processSource);
	EXPECT_EQ(level, EML_Information);
	VRefPtr<VValueBag> bag = VRefPtr<VValueBag>::Adopt(new VValueBag());
	bag->SetString(ILoggerBagKeys::message, VString("m"));
	VLog4jMsgFileLogger::GetLogInfosFromBag(bag.Get(), source, level, message);
	EXPECT_EQ(UTF8(source), processSource);
}

TEST(FileLogger, LevelNamesOfTheFileLoggerMatchTheLoggers)
{
	for (int64 level : {-1, 0, 3, 4, 7, 8, 1000})
		EXPECT_STREQ(VLog4jMsgFileLogger::GetMessageLevelName(static_cast<EMessageLevel>(level)),
					 GetMessageLevelName(static_cast<EMessageLevel>(level)))
			<< level;
}

TEST(FileLogger, FileNames)
{
	struct Case {
		const char* fName;
		int32 fNumber;
		const char* fFileName;
	};
	for (const Case& c : {Case{"update", 1, "update_1.txt"}, Case{"a b", 50, "a b_50.txt"}, Case{"x", 0, "x_0.txt"},
						  Case{"x", 2147483647, "x_2147483647.txt"}, Case{"", 7, "_7.txt"}}) {
		SCOPED_TRACE(c.fFileName);
		VString name;
		VLog4jMsgFileLogger::BuildLogFileName(VString(c.fName), c.fNumber, name);
		EXPECT_EQ(UTF8(name), c.fFileName);
	}
	VString name;
	VSplitableLogFile::BuildLogFileNameWithExt(VString("x"), 3, VString(".log"), name);
	EXPECT_EQ(UTF8(name), "x_3.log");
}

// A line is "<sequence> <local time> [<source>] <LEVEL> - <message>\n".
TEST(FileLogger, ALineHasSequenceTimeSourceLevelAndMessage)
{
	testing::TempFolder folder;
	VLog4jMsgFileLogger logger(FolderAt(folder.Path()).Get(), VString("line"));
	logger.Start();
	ASSERT_TRUE(logger.IsStarted());
	const std::time_t before = std::time(nullptr);
	VRefPtr<VValueBag> debug = Entry("never written", "linetest");
	ILoggerBagKeys::level.Set(*debug, EML_Debug);
	Put(logger, {Entry("hello", "linetest"), debug, Entry("again", "linetest")});
	const std::time_t after = std::time(nullptr);

	const std::vector<std::string> lines = LinesOf(folder / "line_1.txt", "linetest");
	ASSERT_EQ(lines.size(), 2u);
	const StParsedLine first = ParseInfoLine(lines[0], "linetest");
	const StParsedLine second = ParseInfoLine(lines[1], "linetest");
	ASSERT_TRUE(first.fOK) << lines[0];
	ASSERT_TRUE(second.fOK) << lines[1];
	EXPECT_EQ(first.fRest, "hello ()");
	EXPECT_EQ(second.fRest, "again ()");
	// One batch takes consecutive numbers.
	EXPECT_EQ(second.fSequence, first.fSequence + 1);
	// Local time, to the second.
	auto local = [](std::time_t inTime) {
		std::tm fields{};
		::localtime_r(&inTime, &fields);
		char text[32];
		std::strftime(text, sizeof(text), "%Y-%m-%dT%H:%M:%S", &fields);
		return std::string(text);
	};
	EXPECT_GE(first.fSecond, local(before));
	EXPECT_LE(first.fSecond, local(after));
	logger.Stop();
	EXPECT_FALSE(logger.IsStarted());
}

TEST(FileLogger, PausedEntriesAreDroppedAndAnyLengthIsWrittenWhole)
{
	testing::TempFolder folder;
	VLog4jMsgFileLogger logger(FolderAt(folder.Path()).Get(), VString("pause"));
	logger.Start();
	ASSERT_TRUE(logger.IsStarted());
	logger.Pause();
	EXPECT_TRUE(logger.IsPaused());
	Put(logger, {Entry("while paused", "pausetest")});
	logger.Resume();
	EXPECT_FALSE(logger.IsPaused());
	const std::string longText(300000, 'x');
	Put(logger, {Entry(longText, "pausetest"), Entry("after", "pausetest")});
	logger.Stop();
	const std::vector<std::string> lines = LinesOf(folder / "pause_1.txt", "pausetest");
	ASSERT_EQ(lines.size(), 2u);
	EXPECT_NE(lines[0].find("INFO - " + longText + " ()"), std::string::npos);
	EXPECT_NE(lines[1].find("INFO - after ()"), std::string::npos);
}

TEST(FileLogger, OnlyInfoAndAboveWhileStarted)
{
	testing::TempFolder folder;
	VLog4jMsgFileLogger logger(FolderAt(folder.Path()).Get(), VString("levels"));
	EXPECT_FALSE(logger.ShouldLog(EML_Error));
	logger.SetLogMaxNumberToKeep(7);
	EXPECT_EQ(logger.GetLogMaxNumberToKeep(), 0);
	logger.Start();
	const bool expected[8] = {false, false, false, false, true, true, true, true};
	for (uint32 level = 0; level < 8; ++level)
		EXPECT_EQ(logger.ShouldLog(static_cast<EMessageLevel>(level)), expected[level]) << level;
	EXPECT_EQ(logger.GetLogMaxNumberToKeep(), 50);
	logger.SetLogMaxNumberToKeep(7);
	EXPECT_EQ(logger.GetLogMaxNumberToKeep(), 7);
	VFilePath path;
	logger.GetLogFolderPath(path);
	EXPECT_EQ(UTF8(path.GetPath(FPS_POSIX)), UTF8(FolderAt(folder.Path())->GetPath().GetPath(FPS_POSIX)));
	VString name;
	logger.GetLogName(name);
	EXPECT_EQ(UTF8(name), "levels");
}

TEST(FileLogger, StartContinuesTheUnbrokenRunFromOne)
{
	struct Case {
		std::vector<int> fPresent;
		int fContinued;
	};
	const Case cases[] = {{{}, 1}, {{1}, 1}, {{1, 2, 3}, 3}, {{2, 3}, 1}, {{1, 2, 4}, 2}};
	for (const Case& c : cases) {
		SCOPED_TRACE(::testing::PrintToString(c.fPresent));
		testing::TempFolder folder;
		for (int number : c.fPresent)
			WriteFile(folder / ("run_" + std::to_string(number) + ".txt"), "old " + std::to_string(number) + "\n");
		VLog4jMsgFileLogger logger(FolderAt(folder.Path()).Get(), VString("run"));
		logger.Start();
		ASSERT_TRUE(logger.IsStarted());
		Put(logger, {Entry("new", "runtest")});
		logger.Stop();
		const std::string path = folder / ("run_" + std::to_string(c.fContinued) + ".txt");
		const std::vector<std::string> lines = Lines(ReadFile(path));
		ASSERT_FALSE(lines.empty());
		// Appended to what the file held.
		const bool existed = std::find(c.fPresent.begin(), c.fPresent.end(), c.fContinued) != c.fPresent.end();
		if (existed) {
			EXPECT_EQ(lines.front(), "old " + std::to_string(c.fContinued));
		}
		EXPECT_EQ(LinesOf(path, "runtest").size(), 1u);
	}
}

// The run is looked for under the name the files are written with: a '/'
// of the kernel's name is a ':' on disk, never a folder.
TEST(FileLogger, StartContinuesTheRunOfANameWithASlash)
{
	testing::TempFolder folder;
	WriteFile(folder / "a:b_1.txt", "old 1\n");
	WriteFile(folder / "a:b_2.txt", "old 2\n");
	VLog4jMsgFileLogger logger(FolderAt(folder.Path()).Get(), VString("a/b"));
	logger.Start();
	ASSERT_TRUE(logger.IsStarted());
	Put(logger, {Entry("new", "slashtest")});
	logger.Stop();
	EXPECT_EQ(LinesOf(folder / "a:b_2.txt", "slashtest").size(), 1u);
	EXPECT_TRUE(LinesOf(folder / "a:b_1.txt", "slashtest").empty());
}

// A name holding ':' is several elements of a path ("::" climbs): no file
// is opened outside the folder, and the logger does not start.
TEST(FileLogger, ANameWithAColonOpensNoFile)
{
	testing::TempFolder folder;
	for (const char* name : {"x:y", "::up", ":"}) {
		SCOPED_TRACE(name);
		VFilePath path;
		VSplitableLogFile::BuildFilePath(FolderAt(folder.Path()).Get(), VString(name), 1, path);
		EXPECT_TRUE(path.IsEmpty());
		VLog4jMsgFileLogger logger(FolderAt(folder.Path()).Get(), VString(name));
		logger.Start();
		EXPECT_FALSE(logger.IsStarted());
	}
}

// Starts at number 50 beside small files 1 to 49, file 50 holding exactly
// 10 MiB: the next line still goes to file 50, the one after opens file 51
// and deletes the oldest file the maximum leaves out.
TEST(FileLogger, SplitsPastTenMebibytesKeepingTheNewest)
{
	struct Case {
		int32 fMax;
		int fDeleted; // 0 for none
	};
	for (const Case& c : {Case{50, 1}, Case{3, 48}, Case{0, 0}}) {
		SCOPED_TRACE(c.fMax);
		testing::TempFolder folder;
		for (int number = 1; number <= 49; ++number)
			WriteFile(folder / ("split_" + std::to_string(number) + ".txt"), "small\n");
		const std::string fifty = folder / "split_50.txt";
		WriteFile(fifty, "");
		fs::resize_file(fifty, VSplitableLogFile::kSplitSize); // sparse: quick
		VLog4jMsgFileLogger logger(FolderAt(folder.Path()).Get(), VString("split"));
		logger.Start();
		ASSERT_TRUE(logger.IsStarted());
		if (c.fMax != 50)
			logger.SetLogMaxNumberToKeep(c.fMax);
		Put(logger, {Entry("crosses", "splittest"), Entry("first of 51", "splittest"), Entry("next", "splittest")});
		logger.Stop();

		EXPECT_GT(fs::file_size(fifty), static_cast<uintmax_t>(VSplitableLogFile::kSplitSize));
		EXPECT_LT(fs::file_size(fifty), static_cast<uintmax_t>(VSplitableLogFile::kSplitSize) + 200);
		std::string tail = ReadFile(fifty).substr(static_cast<size_t>(VSplitableLogFile::kSplitSize));
		EXPECT_NE(tail.find("crosses ()"), std::string::npos) << tail;
		EXPECT_EQ(LinesOf(folder / "split_51.txt", "splittest").size(), 2u);
		EXPECT_EQ(Lines(ReadFile(folder / "split_51.txt")).front().find("first of 51") != std::string::npos, true);
		for (int number = 1; number <= 51; ++number)
			EXPECT_EQ(fs::exists(folder / ("split_" + std::to_string(number) + ".txt")), number != c.fDeleted)
				<< number;
		EXPECT_FALSE(fs::exists(folder / "split_52.txt"));
	}
}

TEST(FileLogger, SplitFilesStartEmptyAndKeepTheMaximum)
{
	// A file split twice by direct appends: each new file starts empty, and
	// with a maximum of 2 only the newest two remain.
	testing::TempFolder folder;
	VSplitableLogFile file(FolderAt(folder.Path()).Get(), VString("direct"), 1, false);
	file.SetMaxLogsToKeep(2);
	ASSERT_TRUE(file.Open(false, false));
	const std::string chunk(1 << 20, 'a');
	for (int i = 0; i < 25; ++i)
		file.AppendBytes(chunk);
	file.Close();
	EXPECT_EQ(file.GetLogNumber(), 3);
	EXPECT_FALSE(fs::exists(folder / "direct_1.txt"));
	EXPECT_EQ(fs::file_size(folder / "direct_2.txt"), 11u << 20);
	EXPECT_EQ(fs::file_size(folder / "direct_3.txt"), 3u << 20);
}

TEST(FileLogger, NextFreeNumberAndReopening)
{
	testing::TempFolder folder;
	WriteFile(folder / "free_4.txt", "x");
	WriteFile(folder / "free_5.txt", "x");
	VSplitableLogFile file(FolderAt(folder.Path()).Get(), VString("free"), 4, true);
	ASSERT_TRUE(file.Open(false, true));
	EXPECT_EQ(file.GetLogNumber(), 6);
	file.AppendString("six");
	file.SetLogNumber(4, true);
	file.AppendString(VString("four"));
	file.Close();
	EXPECT_EQ(ReadFile(folder / "free_6.txt"), "six");
	EXPECT_EQ(ReadFile(folder / "free_4.txt"), "four");
	VString name;
	file.GetCurrentFileName(name);
	EXPECT_EQ(UTF8(name), "free_4.txt");
}

TEST(FileLogger, AFolderThatCannotBeMadeLeavesItNotStarted)
{
	testing::TempFolder folder;
	WriteFile(folder / "plain", "a file, not a folder");
	testing::RaisedErrors raised;
	VLog4jMsgFileLogger logger(FolderAt(folder / "plain/logs").Get(), VString("never"));
	logger.Start();
	EXPECT_FALSE(logger.IsStarted());
	EXPECT_FALSE(logger.ShouldLog(EML_Fatal));
	EXPECT_TRUE(raised.Codes().empty());
	logger.Stop(); // nothing to stop

	// A missing folder is made with its parents.
	VLog4jMsgFileLogger deep(FolderAt(folder / "a/b/c").Get(), VString("deep"));
	deep.Start();
	EXPECT_TRUE(deep.IsStarted());
	deep.Stop();
	EXPECT_TRUE(fs::exists(folder / "a/b/c/deep_1.txt"));
	EXPECT_TRUE(raised.Codes().empty());
}

TEST(FileLogger, AnUnwritableFolderLeavesItNotStartedAsNobody)
{
	testing::UserIds nobody;
	std::string whyNot;
	if (!testing::FindNobody(nobody, whyNot))
		GTEST_SKIP() << whyNot;
	testing::TempFolder folder;
	::chmod(folder.Path().c_str(), 0755);
	ASSERT_EQ(::mkdir((folder / "closed").c_str(), 0755), 0);
	const std::string answer = testing::RunInChild([&] {
		if (!testing::BecomeUser(nobody))
			return std::string("could not become nobody");
		std::string result;
		for (const std::string& path : {folder / "closed", folder / "closed/sub"}) {
			testing::RaisedErrors raised;
			VLog4jMsgFileLogger logger(FolderAt(path).Get(), VString("denied"));
			logger.Start();
			result += std::to_string(logger.IsStarted()) + " " + std::to_string(raised.Codes().size()) + ";";
		}
		return result;
	});
	EXPECT_EQ(answer, "0 0;0 0;");
	EXPECT_TRUE(fs::is_empty(folder / "closed"));
}

// Writes to a full disk lose their lines: nothing blocks, nothing piles up,
// and the size counted for splitting stays what reached the file.
TEST(FileLogger, AFullDiskLosesLinesWithoutBlocking)
{
	if (!fs::exists("/dev/full"))
		GTEST_SKIP() << "no /dev/full";
	testing::TempFolder folder;
	fs::create_symlink("/dev/full", folder / "full_1.txt");
	VLog4jMsgFileLogger logger(FolderAt(folder.Path()).Get(), VString("full"));
	logger.Start(1);
	ASSERT_TRUE(logger.IsStarted());
	const std::string text(4000, 'f');
	std::vector<VRefPtr<VValueBag>> batch;
	for (int i = 0; i < 1000; ++i)
		batch.push_back(Entry(text, "fulltest"));
	// 4 MB a batch: three batches would have split a file that took them.
	for (int round = 0; round < 3; ++round)
		Put(logger, batch);
	logger.Flush();
	EXPECT_TRUE(logger.IsStarted());
	logger.Stop();
	EXPECT_FALSE(fs::exists(folder / "full_2.txt"));

	VSplitableLogFile file(FolderAt(folder.Path()).Get(), VString("full"), 1, false);
	ASSERT_TRUE(file.Open(false, false));
	file.AppendBytes(text);
	file.Flush();
	EXPECT_EQ(file.GetSize(), 0);
}

// In a mount namespace of its own, a small file system fills up: the lines
// that do not fit are lost, and once there is room again lines reach the
// file and the size counted matches the file's.
TEST(FileLogger, LinesReachTheFileAgainOnceThereIsRoom)
{
	const std::string answer = testing::RunInChild([] {
		const std::string why = testing::EnterPrivateMounts();
		if (!why.empty())
			return "skip: " + why;
		testing::TempFolder base;
		if (const std::string noTmpfs = testing::MountTmpfs(base.Path(), 65536); !noTmpfs.empty())
			return "skip: " + noTmpfs;
		std::string result;
		{
			VSplitableLogFile file(FolderAt(base.Path()).Get(), VString("room"), 1, false);
			if (!file.Open(false, false))
				return std::string("not opened");
			{
				std::ofstream filler(base / "filler", std::ios::binary);
				const std::string block(4096, 'z');
				for (int i = 0; i < 64 && filler.good(); ++i)
					filler.write(block.data(), static_cast<std::streamsize>(block.size()));
			}
			file.AppendBytes(std::string(8192, 'l'));
			file.Flush();
			result += std::to_string(file.GetSize()) + " ";
			fs::remove(base / "filler");
			file.AppendBytes("back\n");
			file.Flush();
			result += std::to_string(file.GetSize()) + " ";
			file.Close();
		}
		const uintmax_t size = fs::file_size(base / "room_1.txt");
		const std::string text = ReadFile(base / "room_1.txt");
		result += std::to_string(size) + " " + std::to_string(text.size() >= 5 && text.substr(text.size() - 5) == "back\n");
		::umount(base.Path().c_str());
		return result;
	});
	if (answer.rfind("skip: ", 0) == 0)
		GTEST_SKIP() << answer;
	// What fitted of the first text, if anything, then the whole second one.
	std::istringstream parts(answer);
	long long afterFull = -1;
	long long afterRoom = -1;
	long long onDisk = -1;
	int endsWithBack = 0;
	parts >> afterFull >> afterRoom >> onDisk >> endsWithBack;
	EXPECT_LT(afterFull, 8192) << answer;
	EXPECT_EQ(afterRoom, afterFull + 5) << answer;
	EXPECT_EQ(onDisk, afterRoom) << answer;
	EXPECT_EQ(endsWithBack, 1) << answer;
}

// Records nothing; may hold its delivery on a gate.
class HoldingListener : public VObject, public ILogListener {
public:
	void Put(const std::vector<const VValueBag*>&) override
	{
		if (fHold.exchange(false)) {
			fInside.Open();
			fLeave.Wait();
		}
	}
	std::atomic<bool> fHold{false};
	testing::Gate fInside;
	testing::Gate fLeave;
};

VLogger& ProcessLogger()
{
	return *VProcess::sInstance.load()->GetLogger();
}

// A delivery holds the process logger's listener lock while it waits for
// the file logger's: a Stop meanwhile must not hold the file logger's lock
// while it waits for the delivery.
TEST(FileLogger, StopDuringADeliveryDoesNotDeadlock)
{
	testing::TempFolder folder;
	auto* logger = new VLog4jMsgFileLogger(FolderAt(folder.Path()).Get(), VString("stop"));
	logger->Start();
	ASSERT_TRUE(logger->IsStarted());
	VRefPtr<HoldingListener> holder = VRefPtr<HoldingListener>::Adopt(new HoldingListener());
	holder->fHold = true;
	// Added after the file logger, so delivered to first.
	ASSERT_TRUE(ProcessLogger().AddLogListener(holder.Get()));
	ProcessLogger().LogMessage(EML_Warning, VString("queued before stop"), VString("stoptest"));
	// The test process runs no "Logger" task: a task of the test delivers,
	// as that one would.
	VTask* deliverer = new VTask(0, ETaskStyle::kPreemptive, []() { ProcessLogger().Flush(); });
	ASSERT_TRUE(deliverer->Run());
	ASSERT_TRUE(holder->fInside.Wait());
	std::atomic<bool> stopped{false};
	std::thread stopper([&]() {
		logger->Stop();
		stopped = true;
	});
	VTask::Sleep(50);
	holder->fLeave.Open();
	stopper.join();
	EXPECT_TRUE(deliverer->WaitForDeath(testing::kHangMilliseconds));
	deliverer->Release();
	EXPECT_TRUE(stopped.load());
	EXPECT_FALSE(logger->IsStarted());
	EXPECT_TRUE(ProcessLogger().RemoveLogListener(holder.Get()));
	delete logger;
	EXPECT_EQ(LinesOf(folder / "stop_1.txt", "stoptest").size(), 1u);
}

// Tasks log through the process logger while listeners come and go and a
// file logger starts and stops: no race, no deadlock, and each line written
// whole.
TEST(FileLogger, TasksLogWhileAFileLoggerStartsAndStops)
{
	constexpr int kTasks = 8;
	constexpr int kPerTask = 1500;
	testing::TempFolder folder;
	VLog4jMsgFileLogger logger(FolderAt(folder.Path()).Get(), VString("busy"));
	std::atomic<int> finished{0};
	std::vector<VTask*> tasks;
	for (int t = 0; t < kTasks; ++t) {
		tasks.push_back(new VTask(0, ETaskStyle::kPreemptive, [&, t]() {
			for (int i = 0; i < kPerTask; ++i) {
				ProcessLogger().LogMessage(EML_Information, VString(std::to_string(t * kPerTask + i).c_str()),
										   VString("busytest"));
				if (i % 100 == 0)
					VTask::Sleep(1);
			}
			++finished;
		}));
		ASSERT_TRUE(tasks.back()->Run());
	}
	// What the "Logger" task does, which the test process does not run.
	VTask* deliverer = new VTask(0, ETaskStyle::kPreemptive, [&]() {
		while (finished.load() < kTasks) {
			ProcessLogger().Flush();
			VTask::Sleep(2);
		}
	});
	ASSERT_TRUE(deliverer->Run());
	int rounds = 0;
	while (finished.load() < kTasks || rounds < 10) {
		logger.Start();
		VRefPtr<HoldingListener> passing = VRefPtr<HoldingListener>::Adopt(new HoldingListener());
		EXPECT_TRUE(ProcessLogger().AddLogListener(passing.Get()));
		VTask::Sleep(5);
		EXPECT_TRUE(ProcessLogger().RemoveLogListener(passing.Get()));
		logger.Flush();
		logger.Stop();
		++rounds;
	}
	for (VTask* task : tasks) {
		EXPECT_TRUE(task->WaitForDeath(testing::kHangMilliseconds));
		task->Release();
	}
	EXPECT_TRUE(deliverer->WaitForDeath(testing::kHangMilliseconds));
	deliverer->Release();
	size_t count = 0;
	for (int number = 1; number <= 60; ++number) {
		const std::string path = folder / ("busy_" + std::to_string(number) + ".txt");
		if (!fs::exists(path))
			continue;
		for (const std::string& line : LinesOf(path, "busytest")) {
			const StParsedLine parsed = ParseInfoLine(line, "busytest");
			EXPECT_TRUE(parsed.fOK && parsed.fRest.size() > 3 && parsed.fRest.substr(parsed.fRest.size() - 3) == " ()" &&
						std::isdigit(static_cast<unsigned char>(parsed.fRest[0])))
				<< line;
			++count;
		}
	}
	EXPECT_GT(count, 0u);
}

} // namespace
} // namespace qirn
