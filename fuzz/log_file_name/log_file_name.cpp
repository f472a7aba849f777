// The names of the file logger's numbered files: the log's name and a
// number make "<name>_<n>.txt" in the log folder, and the logger finds the
// run it continues by looking for those files. The first input byte picks
// how the name is read (UTF-8 or raw UTF-16 units) and whether files are
// made on disk; four bytes give the number. What must hold: a file's path
// lies directly in the log folder or is refused, its name is the one built,
// and the logger starts on the file the log writes.
#include "FuzzSupport.h"

#include "core/VString.h"
#include "files/VFile.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"
#include "process/VLog4jMsgFileLogger.h"
#include "process/VSplitableLogFile.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

using namespace qirn;

// A folder of the run's own, made once; emptied after each input.
const std::string& LogFolderText()
{
	static const std::string folder = [] {
		char pattern[] = "/tmp/qirn-fuzz-logs-XXXXXX";
		const char* made = mkdtemp(pattern);
		QIRN_FUZZ_CHECK(made != nullptr);
		return std::string(made) + "/";
	}();
	return folder;
}

VRefPtr<VFolder> LogFolder()
{
	VString posix;
	posix.FromBlock(LogFolderText().data(), LogFolderText().size(), VTC_UTF_8);
	return VRefPtr<VFolder>::Adopt(new VFolder(VFilePath(posix, FPS_POSIX)));
}

void EmptyLogFolder()
{
	std::error_code error;
	for (const auto& entry : std::filesystem::directory_iterator(LogFolderText(), error))
		std::filesystem::remove_all(entry.path(), error);
}

bool Exists(const VFilePath& inPath)
{
	VRefPtr<VFile> file = VRefPtr<VFile>::Adopt(new VFile(inPath));
	return file->Exists();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* inData, size_t inSize)
{
	fuzz::StartKernel();
	if (inSize < 5)
		return 0;
	fuzz::StFuzzInput input;
	const uint8_t mode = inData[0];
	int32 number;
	std::memcpy(&number, inData + 1, sizeof number);
	VString name;
	if ((mode & 1) != 0)
		name.FromBlock(inData + 5, (inSize - 5) & ~size_t(1), VTC_UTF_16_SMALLENDIAN);
	else
		name.FromBlock(inData + 5, inSize - 5, VTC_UTF_8);

	VString fileName;
	VLog4jMsgFileLogger::BuildLogFileName(name, number, fileName);
	VString expected(name);
	expected.AppendCString("_");
	expected.AppendLong(number);
	expected.AppendCString(".txt");
	QIRN_FUZZ_CHECK(fileName.EqualToStringRaw(expected));

	const VRefPtr<VFolder> folder = LogFolder();
	VFilePath path;
	VSplitableLogFile::BuildFilePath(folder.Get(), name, number, path);
	if (!path.IsEmpty()) {
		QIRN_FUZZ_CHECK(path.IsValid() && path.IsFile());
		VFilePath parent;
		QIRN_FUZZ_CHECK(path.GetParent(parent));
		QIRN_FUZZ_CHECK(parent.GetPath().EqualToStringRaw(folder->GetPath().GetPath()));
		VString last;
		path.GetName(last);
		QIRN_FUZZ_CHECK(last.EqualToStringRaw(fileName));
	}
	if ((mode & 2) == 0)
		return 0;

	// On disk: a small run of files from 1, then the logger continues it.
	const int32 run = 1 + (mode >> 2) % 3;
	bool made = true;
	for (int32 n = 1; n <= run; ++n) {
		VSplitableLogFile log(folder.Get(), name, n, false);
		const bool opened = log.Open(true, false);
		VFilePath written;
		VSplitableLogFile::BuildFilePath(folder.Get(), name, n, written);
		// Opened exactly when the name makes a file of the folder.
		if (written.IsEmpty()) {
			QIRN_FUZZ_CHECK(!opened);
		} else if (opened) {
			QIRN_FUZZ_CHECK(Exists(written));
		}
		made = made && opened;
		log.Close();
	}
	{
		VLog4jMsgFileLogger logger(folder.Get(), name);
		logger.Start();
		// A logger without a name never starts.
		if (made && !name.IsEmpty()) {
			QIRN_FUZZ_CHECK(logger.IsStarted());
			// The run was continued, not another begun after it.
			VFilePath next;
			VSplitableLogFile::BuildFilePath(folder.Get(), name, run + 1, next);
			QIRN_FUZZ_CHECK(!Exists(next));
		}
		logger.Stop();
	}
	EmptyLogFolder();
	return 0;
}
