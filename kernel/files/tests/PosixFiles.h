#pragma once

// Small file fixtures for the tests of the POSIX file layer: write, read and
// list real files, and build folders deeper than PATH_MAX.

#include <algorithm>
#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qirn::testing {

inline bool WriteFile(const std::string& inPath, const std::string& inText, mode_t inMode = 0644)
{
	const int file = ::open(inPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, inMode);
	if (file < 0)
		return false;
	const bool written = ::write(file, inText.data(), inText.size()) == static_cast<ssize_t>(inText.size());
	::close(file);
	return written && ::chmod(inPath.c_str(), inMode) == 0;
}

// The file's bytes, or "<errno N>" when it cannot be read.
inline std::string ReadFile(const std::string& inPath)
{
	const int file = ::open(inPath.c_str(), O_RDONLY | O_CLOEXEC);
	if (file < 0)
		return "<errno " + std::to_string(errno) + ">";
	std::string text;
	char buffer[65536];
	ssize_t got;
	while ((got = ::read(file, buffer, sizeof(buffer))) > 0)
		text.append(buffer, static_cast<size_t>(got));
	::close(file);
	return text;
}

inline bool Exists(const std::string& inPath)
{
	struct stat status{};
	return ::lstat(inPath.c_str(), &status) == 0;
}

inline std::string LinkText(const std::string& inPath)
{
	char text[PATH_MAX];
	const ssize_t length = ::readlink(inPath.c_str(), text, sizeof(text));
	return length < 0 ? "<errno " + std::to_string(errno) + ">" : std::string(text, static_cast<size_t>(length));
}

inline mode_t Mode(const std::string& inPath)
{
	struct stat status{};
	return ::lstat(inPath.c_str(), &status) == 0 ? status.st_mode & 07777 : 0;
}

// The names in a folder, sorted, "." and ".." left out.
inline std::vector<std::string> Names(const std::string& inFolder)
{
	std::vector<std::string> names;
	DIR* folder = ::opendir(inFolder.c_str());
	if (folder == nullptr)
		return names;
	while (const dirent* entry = ::readdir(folder)) {
		const std::string name = entry->d_name;
		if (name != "." && name != "..")
			names.push_back(name);
	}
	::closedir(folder);
	std::sort(names.begin(), names.end());
	return names;
}

// A chain of folders below inRoot whose path is longer than PATH_MAX, made
// one level at a time (the system refuses such paths whole); answers the
// path of the deepest one.
inline std::string MakeDeepFolder(const std::string& inRoot, size_t inMinLength = PATH_MAX + 200)
{
	const std::string name(200, 'd');
	std::string path = inRoot;
	int at = ::open(inRoot.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
	while (at >= 0 && path.size() < inMinLength) {
		if (::mkdirat(at, name.c_str(), 0755) != 0 && errno != EEXIST)
			break;
		const int next = ::openat(at, name.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
		::close(at);
		at = next;
		path += "/" + name;
	}
	if (at >= 0)
		::close(at);
	return path;
}

} // namespace qirn::testing
