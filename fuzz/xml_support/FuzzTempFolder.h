#pragma once

// A temporary folder of the fuzzing process, for readers that take a file:
// made by the first call (from LLVMFuzzerInitialize), removed when the
// process exits normally. Each input is written over the same file, so a
// run of millions of inputs leaves one file behind at most.
#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace qirn::fuzz {

inline const std::string& TempFolderPath()
{
	static const std::string path = [] {
		std::error_code error;
		std::string pattern = (std::filesystem::temp_directory_path(error) / "qirn-fuzz-XXXXXX").string();
		if (error || ::mkdtemp(pattern.data()) == nullptr)
			Fail("no temporary folder", __FILE__, __LINE__);
		static const std::string removed = pattern;
		std::atexit([] {
			std::error_code ignored;
			std::filesystem::remove_all(removed, ignored);
		});
		return pattern;
	}();
	return path;
}

// The input's bytes as the file of that name in the temporary folder; its
// full path.
inline std::string WriteTempFile(const char* inName, const uint8_t* inData, size_t inSize)
{
	const std::string path = TempFolderPath() + "/" + inName;
	FILE* file = std::fopen(path.c_str(), "wb");
	if (file == nullptr)
		Fail("cannot write the temporary file", __FILE__, __LINE__);
	const bool written = inSize == 0 || std::fwrite(inData, 1, inSize, file) == inSize;
	if (std::fclose(file) != 0 || !written)
		Fail("cannot write the temporary file", __FILE__, __LINE__);
	return path;
}

} // namespace qirn::fuzz
