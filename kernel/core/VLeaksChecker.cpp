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
	char executable[4096];
	if (!host::CopyExecutablePath(executable, sizeof(executable)))
		return nullptr;
	return OpenDumpFileFor(executable, inName);
}

std::string VLeaksChecker::GetDumpFilePath(const std::string& inExecutablePath, const char* inName)
{
	std::string bundle = host::GetBundlePathForExecutable(inExecutablePath);
	if (bundle.empty())
		return bundle;
	// A program outside a bundle has its own folder as its bundle: its report
	// goes inside that folder, named after the program, rather than beside
	// the folder where it would land among someone else's files.
	std::string base;
	size_t slash = inExecutablePath.rfind('/');
	if (bundle == inExecutablePath.substr(0, slash == 0 ? 1 : slash))
		base = (bundle == "/" ? "" : bundle) + inExecutablePath.substr(slash);
	else
		base = bundle;
	size_t dot = base.rfind('.');
	if (dot != std::string::npos && dot > base.rfind('/'))
		base.erase(dot);
	return base + "." + (inName != nullptr ? inName : "") + ".leaks";
}

FILE* VLeaksChecker::OpenDumpFileFor(const char* inExecutablePath, const char* inName) const
{
	if (inExecutablePath == nullptr || *inExecutablePath == 0)
		return nullptr;
	std::string path = GetDumpFilePath(inExecutablePath, inName);
	if (path.empty())
		return nullptr;

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
