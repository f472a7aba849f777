#include "host/HostBundle.h"

#include "host/HostPropertyList.h"

#include <plist/plist.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace qirn::host {

namespace {

bool CopyText(const std::string& inText, char* outValue, size_t inSize)
{
	if (outValue == nullptr || inSize <= inText.size())
		return false;
	std::memcpy(outValue, inText.c_str(), inText.size() + 1);
	return true;
}

bool EndsWithComponent(const std::string& inPath, size_t inEnd, const char* inName, size_t* outStart)
{
	size_t length = std::strlen(inName);
	if (inEnd < length + 1 || inPath.compare(inEnd - length, length, inName) != 0 || inPath[inEnd - length - 1] != '/')
		return false;
	*outStart = inEnd - length - 1;
	return true;
}

// Read once: the executable does not move while the process runs.
const std::string& MainBundlePath()
{
	static const std::string sPath = [] {
		char exe[4096];
		return CopyExecutablePath(exe, sizeof(exe)) ? GetBundlePathForExecutable(exe) : std::string();
	}();
	return sPath;
}

} // namespace

bool CopyExecutablePath(char* outPath, size_t inSize)
{
	if (outPath == nullptr || inSize < 2)
		return false;
	ssize_t length = ::readlink("/proc/self/exe", outPath, inSize - 1);
	if (length <= 0 || static_cast<size_t>(length) >= inSize - 1)
		return false;
	outPath[length] = 0;
	return true;
}

std::string GetBundlePathForExecutable(const std::string& inExecutablePath)
{
	size_t slash = inExecutablePath.rfind('/');
	if (slash == std::string::npos)
		return std::string();
	std::string folder = inExecutablePath.substr(0, slash == 0 ? 1 : slash);
	size_t macos = 0, contents = 0;
	if (EndsWithComponent(folder, folder.size(), "MacOS", &macos) &&
		EndsWithComponent(folder, macos, "Contents", &contents) && contents > 0)
		return folder.substr(0, contents);
	return folder;
}

std::string GetInfoPlistPath(const std::string& inBundlePath)
{
	std::string contents = inBundlePath + "/Contents";
	struct stat info {};
	if (::stat(contents.c_str(), &info) == 0 && S_ISDIR(info.st_mode))
		return contents + "/Info.plist";
	return inBundlePath + "/Info.plist";
}

bool CopyBundleInfoString(const char* inBundlePath, const char* inKey, char* outValue, size_t inSize)
{
	if (inBundlePath == nullptr || *inBundlePath == 0 || inKey == nullptr)
		return false;
	std::string path = GetInfoPlistPath(inBundlePath);
	FILE* file = std::fopen(path.c_str(), "rb");
	if (file == nullptr)
		return false;
	std::string data;
	char chunk[4096];
	size_t read = 0;
	while ((read = std::fread(chunk, 1, sizeof(chunk), file)) > 0 && data.size() < (64u << 20))
		data.append(chunk, read);
	std::fclose(file);
	if (data.empty())
		return false;

	// A binary list is read as its XML form, so that both forms of a list
	// give the same answers (texts in UTF-8, the last of a key held twice).
	if (IsBinaryPropertyList(data.data(), data.size())) {
		std::string xml;
		if (!CopyBinaryPropertyListAsXML(data.data(), data.size(), xml))
			return false;
		data.swap(xml);
	}
	plist_t root = nullptr;
	plist_from_memory(data.data(), static_cast<uint32_t>(data.size()), &root);
	if (root == nullptr)
		return false;
	bool found = false;
	if (plist_get_node_type(root) == PLIST_DICT) {
		plist_t item = plist_dict_get_item(root, inKey);
		if (item != nullptr && plist_get_node_type(item) == PLIST_STRING) {
			uint64_t length = 0;
			const char* text = plist_get_string_ptr(item, &length);
			if (text != nullptr)
				found = CopyText(std::string(text, length), outValue, inSize);
		}
	}
	plist_free(root);
	return found;
}

bool CopyMainBundlePath(char* outPath, size_t inSize)
{
	const std::string& path = MainBundlePath();
	return !path.empty() && CopyText(path, outPath, inSize);
}

bool CopyMainBundleInfoString(const char* inKey, char* outValue, size_t inSize)
{
	const std::string& path = MainBundlePath();
	return !path.empty() && CopyBundleInfoString(path.c_str(), inKey, outValue, inSize);
}

} // namespace qirn::host
