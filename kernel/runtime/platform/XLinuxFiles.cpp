#include "runtime/platform/XLinuxFiles.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace qirn {

FILE* XLinuxFiles::OpenForReading(const char* inPath)
{
	return std::fopen(inPath, "re");
}

bool XLinuxFiles::ReadText(const char* inPath, std::string& outText, size_t inLimit)
{
	int file = ::open(inPath, O_RDONLY | O_CLOEXEC);
	if (file < 0)
		return false;
	outText.clear();
	char buffer[4096];
	bool ok = true;
	while (outText.size() < inLimit) {
		ssize_t count = ::read(file, buffer, sizeof(buffer));
		if (count > 0)
			outText.append(buffer, static_cast<size_t>(count));
		else if (count == 0)
			break;
		else if (errno != EINTR) {
			ok = false;
			break;
		}
	}
	::close(file);
	if (outText.size() > inLimit)
		outText.resize(inLimit);
	return ok;
}

std::string XLinuxFiles::Trim(const std::string& inText)
{
	const char* kSpace = " \t\r\n\f\v";
	size_t first = inText.find_first_not_of(kSpace);
	if (first == std::string::npos)
		return std::string();
	size_t last = inText.find_last_not_of(kSpace);
	return inText.substr(first, last - first + 1);
}

std::vector<std::string> XLinuxFiles::SplitLines(const std::string& inText)
{
	std::vector<std::string> lines;
	size_t start = 0;
	while (start < inText.size()) {
		size_t end = inText.find('\n', start);
		if (end == std::string::npos)
			end = inText.size();
		lines.emplace_back(inText, start, end - start);
		start = end + 1;
	}
	return lines;
}

std::string XLinuxFiles::ReadFirstLine(const char* inPath)
{
	std::string text;
	if (!ReadText(inPath, text, 64 * 1024))
		return std::string();
	size_t end = text.find('\n');
	return Trim(end == std::string::npos ? text : text.substr(0, end));
}

} // namespace qirn
