#include "runtime/platform/XLinuxStackCrawl.h"

#include "runtime/platform/XLinuxSystem.h"

#include <algorithm>
#include <cstdlib>
#include <dlfcn.h>
#include <execinfo.h>

namespace qirn {

namespace {

constexpr int kCaptureFrames = 58;

} // namespace

__attribute__((noinline)) void XLinuxStackCrawl::LoadFrames(uint32 inSkip, uint32 inMaxCount)
{
	void* captured[kCaptureFrames];
	const int count = ::backtrace(captured, kCaptureFrames);
	const uint32 maxCount = std::min<uint32>(inMaxCount, kMaxFrames);
	if (count > 0 && static_cast<uint32>(count) > inSkip) {
		const uint32 kept = std::min<uint32>(static_cast<uint32>(count) - inSkip, maxCount);
		std::copy(captured + inSkip, captured + inSkip + kept, fFrames);
		fCount = static_cast<int32>(kept);
	} else {
		fCount = 0;
	}
}

void XLinuxStackCrawl::Dump(FILE* inFile) const
{
	if (fCount < 1 || inFile == nullptr)
		return;
	char** symbols = ::backtrace_symbols(fFrames, fCount);
	if (symbols == nullptr)
		return;
	for (int32 i = 0; i < fCount; ++i)
		std::fprintf(inFile, "  :: frame %u: %s\n", static_cast<unsigned>(fCount - 1 - i), symbols[i]);
	std::free(symbols);
}

std::string XLinuxStackCrawl::GetSymbolName(void* inAddress)
{
	Dl_info info{};
	if (::dladdr(inAddress, &info) == 0 || info.dli_sname == nullptr || *info.dli_sname == 0)
		return "<inline>";
	return XLinuxSystem::DemangleSymbol(info.dli_sname);
}

bool XLinuxStackCrawl::operator<(const XLinuxStackCrawl& inOther) const
{
	if (fCount != inOther.fCount)
		return fCount < inOther.fCount;
	return std::lexicographical_compare(fFrames, fFrames + fCount, inOther.fFrames, inOther.fFrames + inOther.fCount);
}

} // namespace qirn
