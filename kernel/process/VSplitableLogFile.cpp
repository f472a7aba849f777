#include "process/VSplitableLogFile.h"

#include "core/StStringConverter.h"
#include "files/VFile.h"
#include "files/VFilePath.h"
#include "files/VFolder.h"
#include "files/platform/XLinuxPathBytes.h"
#include "runtime/VErrorContext.h"

#include <cstdarg>
#include <string>

namespace qirn {

int32 VSplitableLogFile::sDefaultMaxLogsToKeep = 50;

VSplitableLogFile::VSplitableLogFile(VFolder* inFolder, const VString& inName, int32 inNumber, bool inBinary)
	: fFolder(inFolder), fName(inName), fNumber(inNumber), fMaxLogsToKeep(sDefaultMaxLogsToKeep), fBinary(inBinary)
{
}

VSplitableLogFile::~VSplitableLogFile()
{
	Close();
}

void VSplitableLogFile::BuildLogFileNameWithExt(const VString& inName, int32 inNumber, const VString& inExtension,
												VString& outName)
{
	outName.FromString(inName);
	outName.AppendCString("_");
	outName.AppendLong(inNumber);
	if (inExtension.GetLength() > 0)
		outName.AppendString(inExtension);
	else
		outName.AppendCString(".txt");
}

void VSplitableLogFile::BuildLogFileName(const VString& inName, int32 inNumber, VString& outName)
{
	BuildLogFileNameWithExt(inName, inNumber, VString(), outName);
}

void VSplitableLogFile::GetCurrentFileName(VString& outName) const
{
	BuildLogFileName(fName, fNumber, outName);
}

void VSplitableLogFile::GetFolderPath(VFilePath& outPath) const
{
	if (fFolder)
		outPath.FromFilePath(fFolder->GetPath());
	else
		outPath.Clear();
}

void VSplitableLogFile::BuildFilePath(const VFolder* inFolder, const VString& inName, int32 inNumber,
									  VFilePath& outPath)
{
	outPath.Clear();
	if (inFolder == nullptr)
		return;
	VString fileName;
	BuildLogFileName(inName, inNumber, fileName);
	// A ':' would make the name several elements ("::" one up), and a NUL
	// would end it early: the file would lie elsewhere than named.
	if (fileName.FindUniChar(u':') > 0 || VFilePath::BadChar(fileName, FPS_SYSTEM))
		return;
	outPath.FromFilePath(inFolder->GetPath());
	if (!outPath.ToSubFile(fileName))
		outPath.Clear();
}

void VSplitableLogFile::_BuildFilePath(VFilePath& outPath, int32 inNumber) const
{
	BuildFilePath(fFolder.Get(), fName, inNumber, outPath);
}

bool VSplitableLogFile::_OpenStream(const VFilePath& inPath, bool inTruncate)
{
	// The path's bytes as the file layer makes them, so that the file opened
	// is the one every other call names (an escaped byte stays that byte).
	VString posix;
	inPath.GetPosixPath(posix);
	std::string bytes;
	if (posix.IsEmpty() || !XLinuxPathBytes::ToBytes(posix, bytes))
		return false;
	// "a" appends to the file when it exists and makes it when not, as
	// opening for reading and then reopening for appending would.
	const char* mode = inTruncate ? (fBinary ? "wbe" : "we") : (fBinary ? "abe" : "ae");
	fStream = std::fopen(bytes.c_str(), mode);
	if (fStream == nullptr)
		return false;
	// Texts are gathered here, and each run goes out in one write: a stream
	// buffer of its own would keep what a failed write left behind.
	std::setvbuf(fStream, nullptr, _IONBF, 0);
	fWritten = 0;
	if (!inTruncate && std::fseek(fStream, 0, SEEK_END) == 0) {
		const long end = std::ftell(fStream);
		if (end > 0)
			fWritten = end;
	}
	return true;
}

bool VSplitableLogFile::Open(bool inTruncate, bool inNextFree)
{
	if (fStream == nullptr) {
		VFilePath path;
		_BuildFilePath(path, fNumber);
		if (path.IsEmpty() || !path.IsValid())
			return false;
		if (inNextFree) {
			while (VFile(path).Exists()) {
				++fNumber;
				_BuildFilePath(path, fNumber);
			}
		}
		{
			// A folder that cannot be made shows as a file that cannot be
			// opened: nothing is reported from here.
			StErrorContextInstaller silent(false, true);
			fFolder->CreateRecursive();
		}
		if (!_OpenStream(path, inTruncate)) {
			fJustOpened = true;
			return false;
		}
	}
	fJustOpened = true;
	return true;
}

bool VSplitableLogFile::Open(int32 inNumber, bool inTruncate)
{
	fNumber = inNumber;
	return Open(inTruncate, false);
}

void VSplitableLogFile::_WritePending()
{
	if (fPending.empty())
		return;
	if (fStream != nullptr) {
		size_t done = 0;
		while (done < fPending.size()) {
			const size_t put = std::fwrite(fPending.data() + done, 1, fPending.size() - done, fStream);
			done += put;
			if (std::ferror(fStream) != 0) {
				// A full disk, say: what is not written is lost, never kept
				// or tried again, and the stream is ready for the next run.
				std::clearerr(fStream);
				break;
			}
			if (put == 0)
				break;
		}
		fWritten += static_cast<sLONG8>(done);
	}
	fPending.clear();
	// A very long text leaves a large buffer behind: give it back.
	if (fPending.capacity() > 4 * kFlushThreshold)
		fPending.shrink_to_fit();
}

void VSplitableLogFile::Flush()
{
	if (fStream != nullptr)
		_WritePending();
}

void VSplitableLogFile::Close()
{
	if (fStream == nullptr)
		return;
	_WritePending();
	if (fStream != stdout)
		std::fclose(fStream);
	fStream = nullptr;
	fWritten = 0;
}

void VSplitableLogFile::SetLogNumber(int32 inNumber, bool inTruncate)
{
	fNumber = inNumber;
	if (fStream != nullptr) {
		Close();
		Open(inTruncate, false);
	}
}

int32 VSplitableLogFile::CheckLogSize()
{
	if (fStream == nullptr || GetSize() <= kSplitSize)
		return 0;
	Close();
	const int32 old = fNumber;
	fNumber = old + 1;
	if (old >= fMaxLogsToKeep && fMaxLogsToKeep > 0) {
		VFilePath oldest;
		_BuildFilePath(oldest, old + 1 - fMaxLogsToKeep);
		if (oldest.IsValid() && !oldest.IsEmpty()) {
			VString posix;
			oldest.GetPosixPath(posix);
			std::string bytes;
			if (XLinuxPathBytes::ToBytes(posix, bytes)) {
				if (std::FILE* file = std::fopen(bytes.c_str(), "re"); file != nullptr) {
					std::fclose(file);
					std::remove(bytes.c_str());
				}
			}
		}
	}
	Open(true, false);
	return fNumber;
}

void VSplitableLogFile::CheckEndOfLine()
{
	// No separator is ever set: only the mark of a fresh file is cleared.
	fJustOpened = false;
}

void VSplitableLogFile::AppendBytes(std::string_view inBytes)
{
	CheckLogSize();
	if (fStream == nullptr)
		return;
	CheckEndOfLine();
	fPending.append(inBytes);
	if (fPending.size() >= kFlushThreshold)
		_WritePending();
}

void VSplitableLogFile::AppendString(const char* inText)
{
	if (inText != nullptr)
		AppendBytes(std::string_view(inText));
}

void VSplitableLogFile::AppendString(const VString& inText)
{
	StStringConverter<char> utf8(inText, VTC_UTF_8);
	AppendBytes(std::string_view(utf8.GetCPointer(), static_cast<size_t>(utf8.GetLength())));
}

void VSplitableLogFile::AppendFormattedString(const char* inFormat, ...)
{
	if (inFormat == nullptr)
		return;
	va_list args;
	va_start(args, inFormat);
	va_list again;
	va_copy(again, args);
	char small[512];
	const int length = std::vsnprintf(small, sizeof(small), inFormat, args);
	va_end(args);
	if (length >= 0 && static_cast<size_t>(length) < sizeof(small)) {
		AppendBytes(std::string_view(small, static_cast<size_t>(length)));
	} else if (length > 0) {
		// Any length is written whole.
		std::string large(static_cast<size_t>(length) + 1, '\0');
		std::vsnprintf(large.data(), large.size(), inFormat, again);
		large.resize(static_cast<size_t>(length));
		AppendBytes(large);
	}
	va_end(again);
}

} // namespace qirn
