// Runs a harness without a fuzzing engine: each file named, and each file in
// each folder named (in name order), goes once through LLVMFuzzerTestOneInput.
// The default build runs every harness this way over its seeds, so the
// inputs the fuzzer found stay regression tests. No file at all is a failure:
// a harness whose corpus went missing would otherwise pass by testing nothing.
#include "FuzzSupport.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int* ioArgc, char*** ioArgv);

namespace {

bool RunFile(const std::filesystem::path& inPath)
{
	std::ifstream stream(inPath, std::ios::binary);
	if (!stream) {
		std::fprintf(stderr, "cannot read %s\n", inPath.c_str());
		return false;
	}
	std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
	// A copy of its own, exactly as long as the input, so that a read past
	// the end reaches the address sanitizer's red zone.
	std::vector<uint8_t> exact(bytes);
	LLVMFuzzerTestOneInput(exact.empty() ? nullptr : exact.data(), exact.size());
	return true;
}

} // namespace

int main(int argc, char** argv)
{
	if (LLVMFuzzerInitialize != nullptr)
		LLVMFuzzerInitialize(&argc, &argv);
	size_t count = 0;
	for (int i = 1; i < argc; ++i) {
		std::filesystem::path path(argv[i]);
		std::vector<std::filesystem::path> files;
		std::error_code error;
		if (std::filesystem::is_directory(path, error)) {
			for (const auto& entry : std::filesystem::directory_iterator(path, error))
				if (entry.is_regular_file())
					files.push_back(entry.path());
			std::sort(files.begin(), files.end());
		} else {
			files.push_back(path);
		}
		for (const auto& file : files) {
			if (!RunFile(file))
				return 1;
			++count;
		}
	}
	std::printf("%zu inputs ran\n", count);
	return count > 0 ? 0 : 1;
}
