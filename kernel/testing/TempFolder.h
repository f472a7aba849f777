#pragma once

// A temporary folder for one test, removed with everything in it at the end.

#include <cstdlib>
#include <filesystem>
#include <string>

namespace qirn::testing {

class TempFolder {
public:
	TempFolder() : TempFolder(std::filesystem::temp_directory_path().string()) {}
	// In a given folder (another file system than the temporary folder's,
	// say).
	explicit TempFolder(const std::string& inParent)
	{
		std::string pattern = inParent + "/qirn-test-XXXXXX";
		if (::mkdtemp(pattern.data()) != nullptr)
			fPath = pattern;
	}
	~TempFolder()
	{
		std::error_code ignored;
		if (!fPath.empty())
			std::filesystem::remove_all(fPath, ignored);
	}
	TempFolder(const TempFolder&) = delete;
	TempFolder& operator=(const TempFolder&) = delete;

	const std::string& Path() const { return fPath; }
	std::string operator/(const std::string& inName) const { return fPath + "/" + inName; }

private:
	std::string fPath;
};

} // namespace qirn::testing
