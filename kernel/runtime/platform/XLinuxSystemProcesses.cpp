#include "runtime/platform/XLinuxFiles.h"
#include "runtime/platform/XLinuxSystem.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <sys/wait.h>
#include <unistd.h>

namespace qirn {

namespace {

bool ParsePid(const char* inName, pid_t* outPid)
{
	if (*inName < '1' || *inName > '9')
		return false;
	char* end = nullptr;
	errno = 0;
	long value = std::strtol(inName, &end, 10);
	if (errno != 0 || *end != 0 || value <= 0 || value > INT_MAX)
		return false;
	*outPid = static_cast<pid_t>(value);
	return true;
}

std::string ProcPath(pid_t inPid, const char* inEntry)
{
	return "/proc/" + std::to_string(inPid) + "/" + inEntry;
}

} // namespace

char XLinuxSystem::ReadProcessState(pid_t inPid)
{
	// "pid (name) S ...": the name may hold spaces and parentheses, so the
	// state follows the last ')'.
	std::string stat;
	if (!XLinuxFiles::ReadText(ProcPath(inPid, "stat").c_str(), stat, 4096))
		return 0;
	size_t close = stat.rfind(')');
	if (close == std::string::npos || close + 2 >= stat.size())
		return 0;
	return stat[close + 2];
}

bool XLinuxSystem::ReadProcessIds(std::vector<pid_t>& ioIds)
{
	DIR* folder = ::opendir("/proc");
	if (folder == nullptr)
		return false;
	std::vector<pid_t> ids;
	while (dirent* entry = ::readdir(folder)) {
		pid_t pid = 0;
		if (!ParsePid(entry->d_name, &pid))
			continue;
		// An ended process waiting to be reaped ('Z') or being torn down
		// ('X') runs no more; one gone since the folder was read neither.
		char state = ReadProcessState(pid);
		if (state != 0 && state != 'Z' && state != 'X')
			ids.push_back(pid);
	}
	::closedir(folder);
	ioIds.insert(ioIds.end(), ids.begin(), ids.end());
	return true;
}

bool XLinuxSystem::ReadProcessName(pid_t inPid, std::string& outName)
{
	if (inPid <= 0)
		return false;
	std::string text;
	if (!XLinuxFiles::ReadText(ProcPath(inPid, "comm").c_str(), text, 256))
		return false;
	if (!text.empty() && text.back() == '\n')
		text.pop_back();
	outName = text;
	return true;
}

bool XLinuxSystem::ReadProcessPath(pid_t inPid, std::string& outPath)
{
	if (inPid <= 0)
		return false;
	std::string link = ProcPath(inPid, "exe");
	std::string buffer(PATH_MAX, '\0');
	for (;;) {
		ssize_t length = ::readlink(link.c_str(), buffer.data(), buffer.size());
		if (length < 0)
			return false;
		if (static_cast<size_t>(length) < buffer.size()) {
			buffer.resize(static_cast<size_t>(length));
			break;
		}
		// Cut: the path is longer than the buffer.
		buffer.resize(buffer.size() * 2);
	}
	if (buffer.empty())
		return false;
	outPath = buffer;
	return true;
}

bool XLinuxSystem::KillProcess(pid_t inPid)
{
	// 0 and the negative ids name process groups (and -1 every process).
	if (inPid <= 0)
		return false;
	return ::kill(inPid, SIGKILL) == 0;
}

bool XLinuxSystem::WaitForProcess(pid_t inPid, bool inBlock, int32* outReason)
{
	if (inPid <= 0) {
		if (outReason != nullptr)
			*outReason = 1;
		return false;
	}
	siginfo_t info{};
	int result;
	while ((result = ::waitid(P_PID, static_cast<id_t>(inPid), &info, WEXITED | (inBlock ? 0 : WNOHANG))) != 0 &&
		   errno == EINTR) {
	}
	if (result != 0) {
		if (errno == ECHILD && outReason != nullptr)
			*outReason = 1;
		return false;
	}
	// Without waiting, a child still running leaves the record empty.
	if (info.si_pid == 0) {
		if (outReason != nullptr)
			*outReason = 2;
		return false;
	}
	return true;
}

} // namespace qirn
