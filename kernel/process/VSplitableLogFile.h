#pragma once

#include "core/VKernelTypes.h"
#include "core/VObject.h"
#include "core/VRefPtr.h"
#include "core/VString.h"

#include <cstdio>
#include <string>
#include <string_view>

namespace qirn {

class VFilePath;
class VFolder;

// One of a run of numbered text files "<name>_<n>.txt" in a folder. Before
// each text is added, a file grown past 10 MiB is closed and the next number
// opened, empty; the oldest file beyond the number kept is deleted then.
//
// Texts are gathered in memory and reach the file on Flush (or once 64 KiB
// wait), each gathered run in one write. A write that fails drops its run:
// on a full disk lines are lost, never retried or kept, and the size counted
// for splitting is what reached the file, so writing resumes right once
// there is room again.
//
// No lock is taken: the owner serialises every call.
class VSplitableLogFile : public VObject {
public:
	// A file is split when it has grown beyond this many bytes.
	static constexpr sLONG8 kSplitSize = 10485760;
	static constexpr size_t kFlushThreshold = 65536;
	// The number of files a new log file keeps; 0 or less keeps every file.
	static int32 sDefaultMaxLogsToKeep;

	VSplitableLogFile(VFolder* inFolder, const VString& inName, int32 inNumber, bool inBinary);
	~VSplitableLogFile() override;

	VSplitableLogFile(const VSplitableLogFile&) = delete;
	VSplitableLogFile& operator=(const VSplitableLogFile&) = delete;

	// Opens the file of the current number, emptied with inTruncate, else
	// appended to; with inNextFree, the first number from the current one
	// whose file does not exist. The folder is made when missing. False when
	// no file could be opened. An open file stays as it is.
	bool Open(bool inTruncate, bool inNextFree);
	bool Open(int32 inNumber, bool inTruncate);
	void Close();
	void Flush();
	bool IsOpen() const { return fStream != nullptr; }

	int32 GetLogNumber() const { return fNumber; }
	// Sets the number; an open file is closed and the new number opened.
	void SetLogNumber(int32 inNumber, bool inTruncate);
	int32 GetMaxLogsToKeep() const { return fMaxLogsToKeep; }
	void SetMaxLogsToKeep(int32 inMax) { fMaxLogsToKeep = inMax; }

	// Splits the file when it has grown past kSplitSize: answers the new
	// number, or 0 when nothing changed.
	int32 CheckLogSize();
	void CheckEndOfLine();

	void AppendFormattedString(const char* inFormat, ...) __attribute__((format(printf, 2, 3)));
	void AppendString(const char* inText);
	void AppendString(const VString& inText);
	// The bytes as they stand, a unit 0 included.
	void AppendBytes(std::string_view inBytes);

	// The bytes written to the current file, what waits in memory included.
	sLONG8 GetSize() const { return fWritten + static_cast<sLONG8>(fPending.size()); }

	void GetCurrentFileName(VString& outName) const;
	void GetFolderPath(VFilePath& outPath) const;

	static void BuildLogFileName(const VString& inName, int32 inNumber, VString& outName);
	static void BuildLogFileNameWithExt(const VString& inName, int32 inNumber, const VString& inExtension,
										VString& outName);

	// The path of the file of a number in the folder; cleared without a
	// folder, or when the name holds ':' or a NUL (no name of one element).
	static void BuildFilePath(const VFolder* inFolder, const VString& inName, int32 inNumber, VFilePath& outPath);
	void _BuildFilePath(VFilePath& outPath, int32 inNumber) const;

private:
	bool _OpenStream(const VFilePath& inPath, bool inTruncate);
	void _WritePending();

	std::FILE* fStream = nullptr;
	VRefPtr<VFolder> fFolder;
	VString fName;
	int32 fNumber;
	int32 fMaxLogsToKeep;
	bool fJustOpened = false;
	bool fBinary;
	sLONG8 fWritten = 0;
	std::string fPending;
};

} // namespace qirn
