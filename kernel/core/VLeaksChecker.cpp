#include "core/VLeaksChecker.h"

#include "host/HostBundle.h"
#include "runtime/platform/XLinuxStackCrawl.h"

#include <cstring>
#include <ctime>
#include <string>

namespace qirn {

void VLeaksChecker::RegisterBlock(XLinuxStackCrawl& ioCrawl)
{
	if (!GetLeaksCheck())
		return;
	ioCrawl.LoadFrames(static_cast<uint32>(fFramesToSkip < 0 ? 0 : fFramesToSkip), 8);
	CountRegisteredBlock(ioCrawl.GetCount());
}

void VLeaksChecker::UnregisterBlock(XLinuxStackCrawl& ioCrawl)
{
	CountUnregisteredBlock(ioCrawl.GetCount());
}

FILE* VLeaksChecker::OpenDumpFile(const char* inName) const
{
	char bundle[4096];
	if (!host::CopyMainBundlePath(bundle, sizeof(bundle)))
		return nullptr;
	return OpenDumpFileAt(bundle, inName);
}

FILE* VLeaksChecker::OpenDumpFileAt(const char* inBundlePath, const char* inName) const
{
	if (inBundlePath == nullptr || *inBundlePath == 0)
		return nullptr;
	std::string path(inBundlePath);
	while (path.size() > 1 && path.back() == '/')
		path.pop_back();
	size_t slash = path.rfind('/');
	size_t dot = path.rfind('.');
	if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
		path.erase(dot);
	path += '.';
	path += inName != nullptr ? inName : "";
	path += ".leaks";

	FILE* file = std::fopen(path.c_str(), "w");
	if (file == nullptr)
		return nullptr;

	char date[128];
	std::time_t now = std::time(nullptr);
	std::tm local{};
	::localtime_r(&now, &local);
	if (std::strftime(date, sizeof(date), "%A, %B %d, %Y %I:%M:%S %p\n", &local) > 0)
		std::fputs(date, file);

	int32 leaks = fLiveBlocks.load();
	if (leaks == 0)
		std::fputs("No memory leaks.\n", file);
	else if (leaks == 1)
		std::fputs("You have one leak:\n\n", file);
	else
		std::fprintf(file, "You have %i leaks:\n\n", leaks);
	return file;
}

} // namespace qirn
