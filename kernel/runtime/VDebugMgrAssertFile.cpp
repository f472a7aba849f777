// The debug manager's assert file: the bundle's path less its extension,
// followed by "_asserts.txt". It is written with the C library's own file
// functions, so that a report about the kernel's files does not go through
// them.
#include "runtime/VDebugMgr.h"

#include "core/StStringConverter.h"
#include "core/VString.h"
#include "host/HostBundle.h"
#include "runtime/platform/XLinuxStackCrawl.h"

#include <cstdio>
#include <ctime>
#include <sys/stat.h>

namespace qirn {

namespace {

constexpr size_t kMaxPathBytes = 4096;

// The local time by strftime's format, or an empty text when it does not fit.
std::string LocalTime(const char* inFormat)
{
	char text[200];
	const std::time_t now = std::time(nullptr);
	std::tm local{};
	::localtime_r(&now, &local);
	const size_t length = std::strftime(text, sizeof(text), inFormat, &local);
	return std::string(text, length);
}

constexpr const char* kBannerTimeFormat = "%A, %B %d, %Y %I:%M:%S %p";

} // namespace

std::string VDebugMgr::_MakeAssertFilePath(const std::string& inBundlePath)
{
	// Only the bundle's own name loses its extension: a dot in a folder
	// above it ("/opt/tools.d/Tool") belongs to that folder. A name that
	// begins with its only dot (".Tool") has no extension.
	std::string path = inBundlePath;
	const size_t slash = path.rfind('/');
	const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
	const size_t dot = path.rfind('.');
	if (dot != std::string::npos && dot > nameStart)
		path.erase(dot);
	return path + "_asserts.txt";
}

std::string VDebugMgr::_GetAssertFilePath()
{
	if (fAssertFilePath.empty()) {
		char bundle[kMaxPathBytes];
		if (host::CopyMainBundlePath(bundle, sizeof(bundle)))
			fAssertFilePath = _MakeAssertFilePath(bundle);
	}
	return fAssertFilePath;
}

FILE* VDebugMgr::_OpenAssertFile(bool inWithDate, bool inWithStackCrawl)
{
	const std::string path = _GetAssertFilePath();
	if (path.empty())
		return nullptr;

	FILE* file = nullptr;
	if (!fAssertFileOpened) {
		// A new run starts a new file.
		fAssertFileOpened = true;
		file = std::fopen(path.c_str(), "we");
		if (file != nullptr)
			std::fprintf(file, "QX log file opened on %s\n\n", LocalTime(kBannerTimeFormat).c_str());
	} else {
		file = std::fopen(path.c_str(), "ae");
		if (file == nullptr)
			return nullptr;
		struct stat status {};
		if (::fstat(::fileno(file), &status) == 0 && status.st_size >= kAssertFileRotationSize) {
			std::fclose(file);
			const std::string moved = path + std::to_string(fAssertFileRotations);
			if (std::rename(path.c_str(), moved.c_str()) == 0) {
				++fAssertFileRotations;
				file = std::fopen(path.c_str(), "we");
				if (file != nullptr)
					std::fprintf(file, "%u nth log opened on %s\n\n", fAssertFileRotations + 1,
								 LocalTime(kBannerTimeFormat).c_str());
			} else {
				// The full file could not be moved aside: entries go on
				// growing it rather than emptying it over what it holds.
				file = std::fopen(path.c_str(), "ae");
			}
		}
	}
	if (file == nullptr)
		return nullptr;

	if (inWithDate)
		std::fprintf(file, "\n%s\n", LocalTime("%m/%d/%y, %X").c_str());
	else if (inWithStackCrawl)
		std::fputc('\n', file);
	if (inWithStackCrawl) {
		XLinuxStackCrawl crawl;
		crawl.LoadFrames(4, 8);
		crawl.Dump(file);
	}
	return file;
}

void VDebugMgr::WriteToAssertFile(const VString& inText, bool inWithDate, bool inWithStackCrawl)
{
	// Line endings are written as they are.
	StStringConverter<char> converter(inText, VTC_UTF_8, eCRM_NONE);
	std::lock_guard<std::mutex> lock(fFileLock);
	FILE* file = _OpenAssertFile(inWithDate, inWithStackCrawl);
	if (file == nullptr)
		return;
	if (converter.IsOK())
		std::fputs(converter.GetCPointer(), file);
	std::fclose(file);
}

} // namespace qirn
