#pragma once

#include "core/VKernelTypes.h"

#include <cstdio>
#include <string>

namespace qirn {

class VString;

// The return addresses of a call stack, innermost first, written out with
// their symbol names.
class XLinuxStackCrawl {
public:
	static constexpr int32 kMaxFrames = 48;

	XLinuxStackCrawl() = default;
	virtual ~XLinuxStackCrawl() = default;

	// Keeps up to inMaxCount (at most 48) return addresses of the calling
	// thread after the inSkip innermost ones; none when the stack is not
	// deeper than inSkip.
	void LoadFrames(uint32 inSkip, uint32 inMaxCount);

	// One line per frame, innermost first, numbered from the count - 1 down.
	void Dump(FILE* inFile) const;
	// Appends "   {n} <address> - <symbol>" lines to the text.
	void Dump(VString& ioText) const;

	int32 GetCount() const { return fCount; }
	void* GetFrame(int32 inIndex) const { return inIndex >= 0 && inIndex < fCount ? fFrames[inIndex] : nullptr; }

	// The demangled name of the symbol holding inAddress, or "<inline>"
	// when the address belongs to none that the dynamic linker knows.
	static void GetSymbolName(void* inAddress, VString& outName);
	static std::string GetSymbolName(void* inAddress);

	// A strict order: fewer frames first, then the addresses in order, so
	// that crawls can be keys of ordered containers.
	bool operator<(const XLinuxStackCrawl& inOther) const;

private:
	void* fFrames[kMaxFrames] = {};
	int32 fCount = 0;
};

} // namespace qirn
