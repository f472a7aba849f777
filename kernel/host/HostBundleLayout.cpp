#include "host/HostBundleLayout.h"

#include "host/HostBundle.h"

#include <filesystem>
#include <limits.h>

namespace qirn::host {

namespace {

constexpr char kFrameworkExtension[] = ".framework";

// The path without its trailing slashes ("/" stays).
std::string WithoutTrailingSlash(const std::string& inPath)
{
	std::string path(inPath);
	while (path.size() > 1 && path.back() == '/')
		path.pop_back();
	return path;
}

} // namespace

bool IsFrameworkPath(const std::string& inBundlePath)
{
	const std::string path = WithoutTrailingSlash(inBundlePath);
	const size_t length = sizeof(kFrameworkExtension) - 1;
	const size_t slash = path.rfind('/');
	const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
	if (path.size() - nameStart <= length)
		return false;
	for (size_t i = 0; i < length; ++i) {
		char c = path[path.size() - length + i];
		if (c >= 'A' && c <= 'Z')
			c = static_cast<char>(c - 'A' + 'a');
		if (c != kFrameworkExtension[i])
			return false;
	}
	return true;
}

std::string GetBundleContentsPath(const std::string& inBundlePath)
{
	const std::string bundle = WithoutTrailingSlash(inBundlePath);
	if (IsFrameworkPath(bundle))
		return bundle;
	std::error_code error;
	const std::string contents = bundle + "/Contents";
	return std::filesystem::is_directory(contents, error) ? contents : bundle;
}

std::string GetBundleExecutablePath(const std::string& inBundlePath)
{
	const std::string bundle = WithoutTrailingSlash(inBundlePath);
	if (IsFrameworkPath(bundle)) {
		const size_t slash = bundle.rfind('/');
		const std::string name = bundle.substr(slash == std::string::npos ? 0 : slash + 1);
		return bundle + "/" + name.substr(0, name.size() - (sizeof(kFrameworkExtension) - 1));
	}
	char name[NAME_MAX + 1];
	if (!CopyBundleInfoString(bundle.c_str(), "CFBundleExecutable", name, sizeof(name)) || name[0] == '\0' ||
		std::string(name).find('/') != std::string::npos)
		return std::string();
	const std::string contents = GetBundleContentsPath(bundle);
	return contents == bundle ? bundle + "/" + name : contents + "/MacOS/" + name;
}

std::string GetBundleResourcesPath(const std::string& inBundlePath)
{
	return GetBundleContentsPath(inBundlePath) + "/Resources";
}

std::string GetBundlePlugInsPath(const std::string& inBundlePath)
{
	return GetBundleContentsPath(inBundlePath) + "/PlugIns";
}

std::string GetBundleFrameworksPath(const std::string& inBundlePath)
{
	return GetBundleContentsPath(inBundlePath) + "/Frameworks";
}

} // namespace qirn::host
