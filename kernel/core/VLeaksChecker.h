#pragma once

#include "core/VKernelTypes.h"

#include <atomic>
#include <cstdio>
#include <string>

namespace qirn {

class XLinuxStackCrawl;

// Counts the blocks registered with a stack crawl while the check is on,
// and opens the leaks report file.
class VLeaksChecker {
public:
	VLeaksChecker() = default;
	virtual ~VLeaksChecker() = default;

	// Answers the previous state.
	bool SetLeaksCheck(bool inCheck) { return fCheck.exchange(inCheck); }
	bool GetLeaksCheck() const { return fCheck.load(); }
	void SetStackFramesToSkip(int32 inCount) { fFramesToSkip = inCount; }
	int32 GetStackFramesToSkip() const { return fFramesToSkip; }
	int32 GetLiveBlockCount() const { return fLiveBlocks.load(); }

	// When the check is on, loads up to 8 frames of the caller's stack into
	// the crawl, skipping the configured number; a crawl with frames counts
	// as a live block.
	void RegisterBlock(XLinuxStackCrawl& ioCrawl);
	void UnregisterBlock(XLinuxStackCrawl& ioCrawl);

	// Called by the stack-crawl registration: a crawl that captured at least
	// one frame counts as a live block.
	void CountRegisteredBlock(int32 inFramesLoaded)
	{
		if (inFramesLoaded > 0)
			++fLiveBlocks;
	}
	void CountUnregisteredBlock(int32 inFramesLoaded)
	{
		if (inFramesLoaded > 0)
			--fLiveBlocks;
	}

	// Creates the running program's report file (see GetDumpFilePath) with
	// its date line and leak count, and leaves it open for the caller's
	// details.
	FILE* OpenDumpFile(const char* inName) const;
	// The same for the program at the given path.
	FILE* OpenDumpFileFor(const char* inExecutablePath, const char* inName) const;

	// "<bundle path without extension>.<inName>.leaks" beside the bundle of a
	// program in one; "<folder>/<program without extension>.<inName>.leaks"
	// for a program outside a bundle. Empty for a path without a folder.
	static std::string GetDumpFilePath(const std::string& inExecutablePath, const char* inName);

private:
	int32 fFramesToSkip = 4;
	std::atomic<int32> fLiveBlocks{0};
	std::atomic<bool> fCheck{false};
};

} // namespace qirn
