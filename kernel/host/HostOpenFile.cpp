#include "host/HostOpenFile.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace qirn::host {

namespace {

// The program's path on PATH; empty entries (the working folder) are never
// searched.
std::string FindOnPath(const char* inName)
{
	const char* path = std::getenv("PATH");
	if (path == nullptr)
		return {};
	std::string entries(path);
	size_t start = 0;
	while (start <= entries.size()) {
		size_t end = entries.find(':', start);
		if (end == std::string::npos)
			end = entries.size();
		if (end > start) {
			std::string candidate = entries.substr(start, end - start) + "/" + inName;
			if (::access(candidate.c_str(), X_OK) == 0)
				return candidate;
		}
		start = end + 1;
	}
	return {};
}

} // namespace

int OpenWithDefaultApplication(const char* inPath)
{
	if (inPath == nullptr || *inPath == 0)
		return EINVAL;
	const std::string program = FindOnPath("xdg-open");
	if (program.empty())
		return ENOENT;
	// The exec's failure comes back through a pipe that closes on exec.
	int report[2];
	if (::pipe2(report, O_CLOEXEC) != 0)
		return errno;
	char* const arguments[] = {const_cast<char*>(program.c_str()), const_cast<char*>(inPath), nullptr};
	// A middle child starts the opener and ends at once, so that the opener
	// belongs to nobody here and nobody has to reap it.
	const pid_t middle = ::fork();
	if (middle < 0) {
		const int error = errno;
		::close(report[0]);
		::close(report[1]);
		return error;
	}
	if (middle == 0) {
		// Only calls that are safe after fork in a threaded process.
		::setsid();
		const pid_t opener = ::fork();
		if (opener == 0) {
			const int null = ::open("/dev/null", O_RDWR);
			if (null >= 0) {
				::dup2(null, 0);
				::dup2(null, 1);
				::dup2(null, 2);
			}
			::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
			::execv(program.c_str(), arguments);
			const int error = errno;
			(void)!::write(report[1], &error, sizeof error);
			::_exit(127);
		}
		::_exit(opener < 0 ? 1 : 0);
	}
	::close(report[1]);
	int status = 0;
	while (::waitpid(middle, &status, 0) < 0 && errno == EINTR) {
	}
	int error = 0;
	ssize_t got;
	do {
		got = ::read(report[0], &error, sizeof error);
	} while (got < 0 && errno == EINTR);
	::close(report[0]);
	if (got == static_cast<ssize_t>(sizeof error))
		return error;
	if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
		return ECHILD;
	return 0;
}

} // namespace qirn::host
