#include "runtime/platform/XLinuxStackCrawl.h"

#include "core/VString.h"
#include "runtime/VSystem.h"
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

namespace {

const char* FindSymbol(void* inAddress)
{
	Dl_info info{};
	if (::dladdr(inAddress, &info) == 0 || info.dli_sname == nullptr || *info.dli_sname == 0)
		return nullptr;
	return info.dli_sname;
}

} // namespace

void XLinuxStackCrawl::GetSymbolName(void* inAddress, VString& outName)
{
	if (const char* symbol = FindSymbol(inAddress))
		VSystem::DemangleSymbol(symbol, outName);
	else
		outName.FromCString("<inline>");
}

std::string XLinuxStackCrawl::GetSymbolName(void* inAddress)
{
	const char* symbol = FindSymbol(inAddress);
	return symbol != nullptr ? XLinuxSystem::DemangleSymbol(symbol) : std::string("<inline>");
}

void XLinuxStackCrawl::Dump(VString& ioText) const
{
	VString address, symbol;
	for (int32 i = 0; i < fCount; ++i) {
		ioText.AppendCString("   {");
		ioText.AppendLong(fCount - 1 - i);
		ioText.AppendCString("} ");
		address.FromHexLong(static_cast<sLONG8>(reinterpret_cast<uintptr_t>(fFrames[i])), true);
		ioText.AppendString(address);
		ioText.AppendCString(" - ");
		GetSymbolName(fFrames[i], symbol);
		ioText.AppendString(symbol);
		ioText.AppendUniChar(u'\n');
	}
}

bool XLinuxStackCrawl::operator<(const XLinuxStackCrawl& inOther) const
{
	if (fCount != inOther.fCount)
		return fCount < inOther.fCount;
	return std::lexicographical_compare(fFrames, fFrames + fCount, inOther.fFrames, inOther.fFrames + inOther.fCount);
}

} // namespace qirn
