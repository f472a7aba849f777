// The updater's error raisers, log helpers and file helpers.

#include "UpdaterErrors.h"

#include "bags_xml/VValueBag.h"
#include "files/FileErrorCodes.h"
#include "files/FolderErrorCodes.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"
#include "json/VJSONObject.h"
#include "process/ILoggerBagKeys.h"
#include "process/VLogger.h"
#include "process/VProcess.h"
#include "runtime/VErrorBase.h"
#include "runtime/VErrorContext.h"
#include "testing/RaisedErrors.h"
#include "testing/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace {

using namespace qirn;
using qirn::testing::RaisedErrors;
using qirn::testing::TempFolder;

struct Entry {
	std::string fMessage;
	sLONG fLevel = -1; // -1: no level attribute (an INFO entry)
	sLONG fComponent = 0;
};

// The entries logged since the last call: the test process's logger queues
// them, its delivery task being stopped.
std::vector<Entry> TakeEntries()
{
	std::vector<Entry> entries;
	for (const VValueBag* bag : VProcess::sInstance.load()->GetLogger()->Read()) {
		Entry entry;
		VString text;
		bag->GetString(ILoggerBagKeys::message, text);
		entry.fMessage = to_string(text);
		bag->GetLong(ILoggerBagKeys::level, entry.fLevel);
		bag->GetLong(ILoggerBagKeys::component_signature, entry.fComponent);
		entries.push_back(entry);
		bag->Release();
	}
	return entries;
}

std::string Parameter(const VErrorBase* inError, const char* inName)
{
	VString text;
	if (inError != nullptr && inError->GetParameters() != nullptr)
		inError->GetParameters()->GetProperty(VString(inName)).GetString(text);
	return to_string(text);
}

VFilePath PosixPath(const std::string& inPath, bool inFolder = false)
{
	return VFilePath(VString((inFolder ? inPath + "/" : inPath).c_str()), FPS_POSIX);
}

std::string KernelText(const VFilePath& inPath)
{
	VString text;
	inPath.GetPath(text);
	return to_string(text);
}

TEST(UpdaterErrors, RaisersNameTheirPaths)
{
	const VFilePath source = PosixPath("/a/src.txt");
	const VFilePath destination = PosixPath("/b/dst", true);
	constexpr VError kCode = MAKE_VERROR('UPQX', 77);
	struct Case {
		const char* fName;
		std::function<VError()> fRaise;
		std::vector<std::pair<const char*, std::string>> fParameters;
	};
	const std::vector<Case> cases = {
		{"path", [&] { return ThrowErrorWithPath(kCode, source); }, {{"path", KernelText(source)}}},
		{"paths",
		 [&] { return ThrowErrorWithPaths(kCode, source, destination); },
		 {{"srcPath", KernelText(source)}, {"dstPath", KernelText(destination)}}},
		{"service", [&] { return ThrowServiceError(kCode, VString("Trash")); }, {{"ServiceName", "Trash"}}},
	};
	for (const Case& c : cases) {
		SCOPED_TRACE(c.fName);
		RaisedErrors raised;
		EXPECT_EQ(c.fRaise(), kCode);
		ASSERT_EQ(raised.Codes(), std::vector<VError>{kCode});
		for (const auto& [name, value] : c.fParameters)
			EXPECT_EQ(Parameter(raised.LastError(), name), value) << name;
	}
	RaisedErrors raised;
	EXPECT_EQ(ThrowErrorWithPath(VE_OK, source), VE_OK);
	EXPECT_EQ(ThrowErrorWithPaths(VE_OK, source, destination), VE_OK);
	EXPECT_EQ(ThrowServiceError(VE_OK, VString("x")), VE_OK);
	EXPECT_TRUE(raised.Codes().empty());
}

TEST(UpdaterErrors, LogEntriesCarryLevelAndComponent)
{
	TakeEntries();
	const VString name("Tool.app");
	LogInfo("moving %S aside (%d)", &name, 3);
	LogError("failed: %s", "why");
	const std::vector<Entry> entries = TakeEntries();
	ASSERT_EQ(entries.size(), 2u);
	EXPECT_EQ(entries[0].fMessage, "moving Tool.app aside (3)");
	// INFO is the level's default: the entry carries none.
	EXPECT_EQ(entries[0].fLevel, -1);
	EXPECT_EQ(entries[0].fComponent, static_cast<sLONG>('QXUP'));
	EXPECT_EQ(entries[1].fMessage, "failed: why");
	EXPECT_EQ(entries[1].fLevel, static_cast<sLONG>(EML_Error));
}

TEST(UpdaterErrors, DumpErrorStackLogsEachError)
{
	VRefPtr<VErrorContext> context = VRefPtr<VErrorContext>::Adopt(new VErrorContext());
	for (int number = 1; number <= 3; ++number) {
		auto* error = new VErrorBase(MAKE_VERROR('UPQX', 900 + number));
		error->SetDescription(VString(("error " + std::to_string(number)).c_str()));
		context->PushError(error);
		error->Release();
	}
	TakeEntries();
	DumpErrorStack(context.Get(), true);
	DumpErrorStack(context.Get(), false);
	DumpErrorStack(nullptr, true);
	std::vector<std::string> messages;
	for (const Entry& entry : TakeEntries()) {
		messages.push_back(entry.fMessage);
		EXPECT_EQ(entry.fLevel, static_cast<sLONG>(EML_Error));
	}
	EXPECT_EQ(messages, (std::vector<std::string>{"error 3", "error 2", "error 1", "error 1", "error 2", "error 3"}));
}

TEST(UpdaterErrors, FindFileByExt)
{
	TempFolder temp;
	std::filesystem::create_directories(temp / "full/sub.txt");
	std::filesystem::create_directories(temp / "empty");
	std::ofstream(temp / "full/a.log") << "x";
	std::ofstream(temp / "full/b.TXT") << "x";

	VFilePath found;
	EXPECT_EQ(FindFileByExt(PosixPath(temp / "full", true), VString("txt"), found), VE_OK);
	EXPECT_EQ(to_string(found.GetPath(FPS_POSIX)), temp / "full/b.TXT");

	found = PosixPath("/leftover");
	EXPECT_EQ(FindFileByExt(PosixPath(temp / "empty", true), VString("txt"), found), VE_FILE_NOT_FOUND);
	EXPECT_TRUE(found.IsEmpty());

	RaisedErrors raised;
	EXPECT_EQ(FindFileByExt(PosixPath(temp / "full/a.log"), VString("txt"), found), MAKE_VERROR('qirn', 3));
	EXPECT_EQ(FindFileByExt(VFilePath(), VString("txt"), found), MAKE_VERROR('qirn', 3));
	EXPECT_TRUE(raised.Codes().empty());
}

TEST(UpdaterErrors, RobustCopies)
{
	TempFolder temp;
	std::filesystem::create_directories(temp / "src/inner");
	std::ofstream(temp / "src/file.txt") << "content";
	std::ofstream(temp / "src/inner/deep.txt") << "deep";

	// The destination's missing folders are made.
	EXPECT_EQ(RobustCopyFile(PosixPath(temp / "src/file.txt"), PosixPath(temp / "made/here/file.txt"), 0), VE_OK);
	EXPECT_TRUE(std::filesystem::exists(temp / "made/here/file.txt"));
	EXPECT_TRUE(RobustCopyFolderContent(PosixPath(temp / "src", true), PosixPath(temp / "copy/of", true), 0));
	EXPECT_TRUE(std::filesystem::exists(temp / "copy/of/inner/deep.txt"));

	RaisedErrors raised;
	const VFilePath missing = PosixPath(temp / "src/missing.txt");
	const VFilePath target = PosixPath(temp / "made/missing.txt");
	EXPECT_EQ(RobustCopyFile(missing, target, 0), VE_UPQX_FILE_COPY_FAILED);
	EXPECT_EQ(raised.Last(), VE_UPQX_FILE_COPY_FAILED);
	EXPECT_EQ(Parameter(raised.LastError(), "srcPath"), KernelText(missing));
	EXPECT_EQ(Parameter(raised.LastError(), "dstPath"), KernelText(target));

	raised.Clear();
	const VFilePath missingFolder = PosixPath(temp / "nothing", true);
	EXPECT_FALSE(RobustCopyFolderContent(missingFolder, PosixPath(temp / "copy2", true), 0));
	EXPECT_EQ(raised.Codes(), std::vector<VError>{VE_FOLDER_NOT_FOUND});
	EXPECT_EQ(Parameter(raised.LastError(), "path"), KernelText(missingFolder));
	EXPECT_FALSE(std::filesystem::exists(temp / "copy2"));
}

} // namespace
