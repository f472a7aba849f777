#pragma once

#include <cstdio>
#include <string>
#include <vector>

namespace qirn {

// Reading the system's small text files (/proc, /sys, /etc). Every file is
// opened close-on-exec, so that a child started meanwhile inherits nothing.
class XLinuxFiles {
public:
	static FILE* OpenForReading(const char* inPath);
	// The whole file (at most inLimit bytes); false when it cannot be read.
	static bool ReadText(const char* inPath, std::string& outText, size_t inLimit = 1 << 20);
	// The first line, without its line end or the white space around it;
	// empty when the file cannot be read.
	static std::string ReadFirstLine(const char* inPath);
	static std::string ReadFirstLine(const std::string& inPath) { return ReadFirstLine(inPath.c_str()); }
	static std::string Trim(const std::string& inText);
	// The lines of a text, without their line feeds.
	static std::vector<std::string> SplitLines(const std::string& inText);
};

} // namespace qirn
